// flashdl and afd-emulator run as processes: their exit statuses and messages, and what the
// emulated flash holds afterwards.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "flashdl_runner.h"
#include "pty_boot_loader.h"
#include "temp_image.h"

namespace {

const std::string kPromptAndConnected =
    "Please reset the KESTRANE(VELMORA), waiting for connection ...\n"
    "Connected.\nProcessing ...\nTotal progress may need 5 minutes.\nPlease wait ...\n";
const std::string kSuccess = "Flash download successfully finished!\n";
const std::string kError =
    "Error occurs! Transmission stop. Please check all the devices, then try again.\n";
const std::string kMissing = "/nonexistent-folder/firmware.bin";
const std::string kNoPort = "/dev/afd-no-such-port";

// The controller's fault without a std::string of its own: GCC 12 at -O3 takes a string inside
// these brace-initialised cases for one that may be destroyed uninitialised.
struct ControllerFault {
    FaultKind kind = FaultKind::None;
    int atCommand = -1;
    const char* text = "";
};

struct RunCase {
    const char* name;
    QStringList arguments;  // IMAGE: a 3000-byte image; PORT: an emulated controller's port
    ControllerFault fault;  // of that controller
    int exitCode;
    std::string inStdout;
    std::string inStderr;
    bool imageFlashed = false;  // the controller on PORT holds the image whatever the status
};
void PrintTo(const RunCase& c, std::ostream* os) {
    *os << c.name;
}
// Wrong use: status 2, the reason on standard error, and no download starts.
RunCase Usage(const char* name, QStringList arguments, std::string inStderr) {
    return RunCase{name, std::move(arguments), {}, 2, "", std::move(inStderr)};
}

class Flashdl : public ::testing::TestWithParam<RunCase> {};

TEST_P(Flashdl, ExitStatusMessagesAndFlash) {
    const RunCase& c = GetParam();
    EmulatorOptions options;
    options.fault.kind = c.fault.kind;
    options.fault.atCommand = c.fault.atCommand;
    options.fault.text = c.fault.text;
    CPtyBootLoader controller(options);
    std::string error;
    ASSERT_TRUE(controller.Start(&error)) << error;
    const CTempImage image(3000);
    QStringList arguments = c.arguments;
    arguments.replaceInStrings("IMAGE", QString::fromStdString(image.path))
        .replaceInStrings("PORT", QString::fromStdString(controller.SlavePath()));
    const FlashdlResult result = RunFlashdl(arguments);
    EXPECT_EQ(result.exitCode, c.exitCode) << result.out << result.err;
    EXPECT_NE(result.out.find(c.inStdout), std::string::npos) << result.out;
    EXPECT_NE(result.err.find(c.inStderr), std::string::npos) << result.err;
    // Off a terminal there is no bar: no carriage returns, no escape sequences.
    EXPECT_EQ(result.out.find_first_of("\r\033"), std::string::npos) << result.out;
    if (c.exitCode == 2) {
        EXPECT_EQ(result.out.find("Please reset"), std::string::npos) << "no download starts";
    }
    if (c.arguments.contains("PORT")) {
        std::vector<std::uint8_t> flash = image.Flashed();
        if (c.exitCode != 0 && !c.imageFlashed) {
            flash.assign(flash.size(), 0xFF);  // an error in the first erase leaves it blank
        }
        EXPECT_EQ(controller.ReadFlash(0x81000000, flash.size()), flash);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Flashdl,
    ::testing::Values(
        RunCase{"Help", {"--help"}, {}, 0, "--port PORT", ""},
        RunCase{"Version", {"--version"}, {}, 0, "flashdl " AFD_VERSION_TEXT "\n", ""},
        Usage("NoArguments", {}, "Usage: flashdl"),
        Usage("PortAndSimulate", {"--port", "COM1", "--simulate"}, "combined"),
        Usage("WordTimeout", {"--simulate", "--timeout", "ten"}, "ten"),
        Usage("TwoTimeouts", {"--simulate", "--timeout", "5", "--timeout", "6"},
              "--timeout can be given only once."),
        Usage("DeviceAsImage", {"--port", "COM1", "/dev/null"},
              "/dev/null: it is not a regular file."),
        Usage("OwnTerminalAsPort", {"--port", "/dev/tty", "IMAGE"},
              "/dev/tty: it is the terminal this program runs in"),
        Usage("UnknownOption", {"--speed", "9600", "IMAGE"}, "Unknown option 'speed'"),
        RunCase{"MissingImage",
                {"--port", "COM1", QString::fromStdString(kMissing)},
                {},
                2,
                "",
                kMissing + ": No such file or directory"},
        RunCase{"NonexistentPort",
                {"--port", QString::fromStdString(kNoPort), "IMAGE"},
                {},
                2,
                "",
                "Cannot open the serial port " + kNoPort},
        RunCase{"Simulate",
                {"--simulate", "IMAGE"},
                {},
                0,
                kSuccess + "Emulated flash matches the image (3000 bytes).\n",
                ""},
        RunCase{"Port", {"--port", "PORT", "IMAGE"}, {}, 0, kPromptAndConnected + kSuccess, ""},
        // The reset leaves no button to click in a terminal.
        RunCase{"UnknownReply",
                {"--port", "PORT", "IMAGE"},
                {FaultKind::UnknownReply, 5, ":WHAT#"},
                1,
                "Please make sure all devices is OK, then click Start Download.\n(With flashdl: "
                "run the command again to start a new download.)\n",
                "was reset"},
        RunCase{"ErrorReply",
                {"--port", "PORT", "IMAGE"},
                {FaultKind::ErrorReply, 2, ":EX_ERR#"},
                1,
                kPromptAndConnected + kError,
                "reported an error"},
        RunCase{"Timeout",
                {"--port", "PORT", "--timeout", "1", "IMAGE"},
                {FaultKind::Silence, 2, ""},
                1,
                "did not answer within 1 second.\n" + kError,
                "stopped answering"},
        Usage("CountWithoutAuto", {"--port", "PORT", "--count", "2", "IMAGE"},
              "flashdl: --count needs --port auto"),
        Usage("PortNamedTwice", {"--port", "PORT", "--port", "PORT", "IMAGE"}, "is named twice."),
        Usage("AutoAndANamedPort", {"--port", "auto", "--port", "PORT", "IMAGE"},
              "--port auto cannot be combined with other --port options."),
        Usage("CountZero", {"--port", "auto", "--count", "0", "IMAGE"},
              "--count needs a whole number of controllers from 1 to 64, not \"0\"."),
        RunCase{"ListPorts",
                {"--list-ports"},
                {},
                0,
                "COM1 ... COM9 are accepted too; COMn is /dev/ttyS(n-1).\n",
                ""},
        Usage("ListPortsWithImage", {"--list-ports", "IMAGE"}, "takes no image."),
        Usage("TwoImages", {"--simulate", "IMAGE", "IMAGE"}, "one image"),
        Usage("NoImage", {"--port", "COM1"}, "name the image file to flash."),
        Usage("EmptyImageName", {"--port", "COM1", ""}, "image file name is empty."),
        Usage("EmptyPortName", {"--port", "", "IMAGE"}, "the port name is empty."),
        Usage("OnePortTwoNames", {"--port", "COM1", "--port", "/dev/ttyS0", "IMAGE"},
              "COM1 and /dev/ttyS0 are the same port."),
        Usage("CountWithSimulate", {"--simulate", "--count", "2"}, "needs --port auto"),
        Usage("CountTwice", {"--port", "auto", "--count", "1", "--count", "2", "IMAGE"},
              "--count can be given only once."),
        Usage("CountAboveTheMost", {"--port", "auto", "--count", "65", "IMAGE"},
              "from 1 to 64, not \"65\"."),
        Usage("TimeoutAboveAnHour", {"--simulate", "--timeout", "3601"},
              "--timeout needs a whole number of seconds from 1 to 3600, not \"3601\"."),
        RunCase{"OneOfTwoPortsMissing",
                {"--port", "PORT", "--port", QString::fromStdString(kNoPort), "IMAGE"},
                {},
                1,
                "1 of 2 controllers flashed; exit status 1.\n",
                "Cannot open the serial port " + kNoPort + ": no such port;",
                true},
        Usage("JsonWithListPorts", {"--json", "--list-ports"}, "--json goes only"),
        // Each end as a program reads it.
        RunCase{"JsonErrorReply",
                {"--json", "--port", "PORT", "IMAGE"},
                {FaultKind::ErrorReply, 2, ":EX_ERR#"},
                1,
                "\"result\":\"error reply\"",
                "reported an error"},
        RunCase{"JsonUnknownReply",
                {"--json", "--port", "PORT", "IMAGE"},
                {FaultKind::UnknownReply, 5, ":WHAT#"},
                1,
                "\"result\":\"unrecognised reply\"",
                "was reset"},
        RunCase{"JsonNoAnswer",
                {"--json", "--port", "PORT", "--timeout", "1", "IMAGE"},
                {FaultKind::Silence, 2, ""},
                1,
                "\"result\":\"no answer\"",
                "stopped answering"},
        RunCase{"JsonLineLost",
                {"--json", "--port", "PORT", "IMAGE"},
                {FaultKind::HangUp, 2, ""},
                1,
                "\"result\":\"line lost\"",
                "the serial line was lost during the download."},
        RunCase{"JsonOneOfTwoPortsMissing",
                {"--json", "--port", "PORT", "--port", QString::fromStdString(kNoPort), "IMAGE"},
                {},
                1,
                "\"result\":\"port error\"",
                "Cannot open the serial port " + kNoPort + ": no such port;",
                true},
        RunCase{"Json",
                {"--json", "--port", "PORT", "IMAGE"},
                {},
                0,
                "\"event\":\"end\",\"exit\":0,\"port\":\"",
                ""}),
    [](const auto& info) { return std::string(info.param.name); });

// The lock file QSerialPort keeps for a port while it is open.
std::string LockFileOf(const std::string& device) {
    std::string name = device.substr(std::string("/dev/").size());
    std::replace(name.begin(), name.end(), '/', '_');
    return "/var/lock/LCK.." + name;
}

struct SignalCase {
    const char* name;
    int signalNumber;  // 0: the reader of standard output goes away instead
    bool simulate;     // into the built-in emulator, whose temporary image must go too
    std::string inStderr;
};
void PrintTo(const SignalCase& c, std::ostream* os) {
    *os << c.name;
}

class FlashdlEnded : public ::testing::TestWithParam<SignalCase> {};

// While it waits for the reset, or as soon as it next prints: the line stops, the port's lock and
// the temporary files go, a message says why, and the status is 1.
TEST_P(FlashdlEnded, BySignalOrClosedOutputCleansUp) {
    const SignalCase& c = GetParam();
    EmulatorOptions options;
    // Resets only once the output is gone; otherwise never.
    options.resetDelayMs = c.signalNumber == 0 ? 1500 : 10 * 60 * 1000;
    CPtyBootLoader controller(options);
    std::string error;
    ASSERT_TRUE(controller.Start(&error)) << error;
    const CTempImage image(3000);
    const QTemporaryDir tempDir;
    ASSERT_TRUE(tempDir.isValid());
    // Standard output goes into a pipe of the test's own, whose reader can go away.
    int outPipe[2];
    ASSERT_EQ(::pipe2(outPipe, O_CLOEXEC), 0);
    QProcess process;
    process.setChildProcessModifier([&outPipe] { ::dup2(outPipe[1], STDOUT_FILENO); });
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TMPDIR", tempDir.path());
    process.setProcessEnvironment(environment);
    const QStringList arguments =
        c.simulate ? QStringList{"--simulate"}
                   : QStringList{"--port", QString::fromStdString(controller.SlavePath()),
                                 QString::fromStdString(image.path)};
    process.start(QStringLiteral(FLASHDL_PATH), arguments);
    ::close(outPipe[1]);
    ASSERT_TRUE(process.waitForStarted());
    std::string out;
    char buffer[256];
    ssize_t got = 0;
    while (out.find("waiting for connection") == std::string::npos &&
           (got = ::read(outPipe[0], buffer, sizeof buffer)) > 0) {
        out.append(buffer, static_cast<std::size_t>(got));
    }
    ASSERT_NE(out.find("waiting for connection"), std::string::npos) << out;
    if (!c.simulate) {
        EXPECT_TRUE(std::filesystem::exists(LockFileOf(controller.SlavePath())));
    }
    if (c.signalNumber != 0) {
        ::kill(static_cast<pid_t>(process.processId()), c.signalNumber);
    }
    ::close(outPipe[0]);
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 1);
    const std::string err = process.readAllStandardError().toStdString();
    EXPECT_NE(err.find(c.inStderr + "; stopping the download."), std::string::npos) << err;
    EXPECT_NE(err.find("the download was stopped before it finished."), std::string::npos) << err;
    if (!c.simulate) {
        EXPECT_FALSE(std::filesystem::exists(LockFileOf(controller.SlavePath())));
        EXPECT_TRUE(controller.Blocks().empty());
    }
    EXPECT_TRUE(
        QDir(tempDir.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

INSTANTIATE_TEST_SUITE_P(Ends, FlashdlEnded,
                         ::testing::Values(SignalCase{"Hangup", SIGHUP, false, "(SIGHUP)"},
                                           SignalCase{"HangupSimulated", SIGHUP, true, "(SIGHUP)"},
                                           SignalCase{"Quit", SIGQUIT, false, "(SIGQUIT)"},
                                           SignalCase{"Terminate", SIGTERM, true, "(SIGTERM)"},
                                           SignalCase{"ClosedOutput", 0, false,
                                                      "the standard output was closed"}),
                         [](const auto& info) { return std::string(info.param.name); });

// afd-emulator as a user runs it: the options it refuses, and the ports it prints taking a
// download from flashdl, with each download's end announced and --flash-out holding the flash.
struct EmulatorUsageCase {
    const char* name;
    QStringList arguments;
    int exitCode;
    std::string inStdout;
    std::string inStderr;
};
void PrintTo(const EmulatorUsageCase& c, std::ostream* os) {
    *os << c.name;
}

class EmulatorUsage : public ::testing::TestWithParam<EmulatorUsageCase> {};

TEST_P(EmulatorUsage, RefusesWhatCannotWork) {
    const EmulatorUsageCase& c = GetParam();
    const FlashdlResult result = RunProgram(QStringLiteral(AFD_EMULATOR_PATH), c.arguments);
    EXPECT_EQ(result.exitCode, c.exitCode) << result.out << result.err;
    EXPECT_NE(result.out.find(c.inStdout), std::string::npos) << result.out;
    EXPECT_NE(result.err.find(c.inStderr), std::string::npos) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EmulatorUsage,
    ::testing::Values(
        EmulatorUsageCase{"Help", {"--help"}, 0, "Usage: afd-emulator", ""},
        EmulatorUsageCase{"UnknownOption", {"--speed"}, 2, "", "Usage: afd-emulator"},
        EmulatorUsageCase{
            "CountZero", {"--count", "0"}, 2, "", "--count needs a number from 1 to 64.\n"},
        EmulatorUsageCase{
            "CountTooHigh", {"--count", "65"}, 2, "", "--count needs a number from 1 to 64.\n"},
        EmulatorUsageCase{
            "FailAtWord", {"--fail-at", "two"}, 2, "", "--fail-at needs a block number from 1.\n"},
        EmulatorUsageCase{"LinkWithCount",
                          {"--count", "2", "--link", "/tmp/afd-no-link"},
                          2,
                          "",
                          "--link names one port; it cannot go with --count.\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Reads the emulator's standard output until `text` shows (or ten seconds pass).
std::string ReadUntil(QProcess& process, std::string* out, const std::string& text) {
    for (int i = 0; i < 100 && out->find(text) == std::string::npos; ++i) {
        process.waitForReadyRead(100);
        *out += process.readAllStandardOutput().toStdString();
    }
    return *out;
}

struct EmulatorRunCase {
    const char* name;
    bool link;  // one controller, reached through --link; else two, the second refusing block 2
};
void PrintTo(const EmulatorRunCase& c, std::ostream* os) {
    *os << c.name;
}

class EmulatorRun : public ::testing::TestWithParam<EmulatorRunCase> {};

TEST_P(EmulatorRun, ItsPortsTakeADownloadAndItAnnouncesEachEnd) {
    const EmulatorRunCase& c = GetParam();
    const QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString link = dir.filePath("ttyEMU0");
    const QString flashOut = dir.filePath("flash.bin");
    QProcess emulator;
    emulator.start(
        QStringLiteral(AFD_EMULATOR_PATH),
        c.link ? QStringList{"--fast", "--link", link, "--flash-out", flashOut}
               : QStringList{"--fast", "--count", "2", "--fail-at", "2", "--flash-out", flashOut});
    ASSERT_TRUE(emulator.waitForStarted());
    std::string out;
    ReadUntil(emulator, &out, "Ctrl+C ends the emulator");
    std::vector<std::string> ports;
    const std::string kListening = "Emulated hand controller listening on ";
    for (std::size_t at = out.find(kListening); at != std::string::npos;
         at = out.find(kListening, at + 1)) {
        const std::size_t begin = at + kListening.size();
        ports.push_back(out.substr(begin, out.find_first_of(" \n", begin) - begin));
    }
    ASSERT_EQ(ports.size(), c.link ? 1u : 2u) << out;
    const CTempImage image(3000);
    if (c.link) {
        EXPECT_NE(out.find(ports[0] + " (also " + link.toStdString() +
                           ")\nChoose that port, "
                           "then Start Download; Ctrl+C ends the emulator.\n"),
                  std::string::npos)
            << out;
        const FlashdlResult result =
            RunFlashdl({"--port", link, QString::fromStdString(image.path)});
        EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
        ReadUntil(emulator, &out, "far).");
        EXPECT_NE(out.find("\nA download reached its quit command (3 blocks received so far).\n"),
                  std::string::npos)
            << out;
    } else {
        EXPECT_NE(out.find(ports[1] + " (refuses block 2)\nChoose those ports; Ctrl+C ends the "
                                      "emulators.\n"),
                  std::string::npos)
            << out;
        const FlashdlResult result =
            RunFlashdl({"--port", QString::fromStdString(ports[0]), "--port",
                        QString::fromStdString(ports[1]), QString::fromStdString(image.path)});
        EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
        EXPECT_NE(result.out.find("1 of 2 controllers flashed; exit status 1.\n"),
                  std::string::npos)
            << result.out;
        ReadUntil(emulator, &out, "far).");
        EXPECT_NE(out.find("\n" + ports[0] +
                           ": a download reached its quit command (3 blocks received so far).\n"),
                  std::string::npos)
            << out;
        EXPECT_EQ(out.find(ports[1] + ": a download"), std::string::npos) << out;
    }
    QFile flash(flashOut);
    ASSERT_TRUE(flash.open(QIODevice::ReadOnly));
    const QByteArray held = flash.readAll();
    EXPECT_EQ(std::vector<std::uint8_t>(held.begin(), held.end()), image.Flashed());
    emulator.terminate();
    ASSERT_TRUE(emulator.waitForFinished(10000));
    EXPECT_EQ(emulator.exitCode(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link.toStdString())))
        << "the link goes with the emulator";
}

INSTANTIATE_TEST_SUITE_P(Runs, EmulatorRun,
                         ::testing::Values(EmulatorRunCase{"Linked", true},
                                           EmulatorRunCase{"TwoOneRefusingABlock", false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
