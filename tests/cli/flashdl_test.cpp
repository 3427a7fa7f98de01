// flashdl and afd-emulator run as processes: what a user types, the exit status and messages
// they see, and what the emulated flash holds afterwards.
#include <signal.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "expected_conversation.h"
#include "pty_boot_loader.h"
#include "temp_image.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

const QString kFlashdl = QStringLiteral(FLASHDL_PATH);
const QString kEmulator = QStringLiteral(AFD_EMULATOR_PATH);

struct Finished {
    int exitCode;  // -1 when it crashed or the hang guard ran out
    std::string out;
    std::string err;
};

// Standard output and error are pipes, not a terminal: flashdl draws no progress bar.
Finished RunProgram(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    const bool ended =
        process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit;
    return {ended ? process.exitCode() : -1, process.readAllStandardOutput().toStdString(),
            process.readAllStandardError().toStdString()};
}

// A command line as typed: words split at blanks, '' an empty word; IMAGE, PORT and PORT2 stand
// for the files given.
QStringList Words(const char* line, const std::string& image, const std::string& port = "",
                  const std::string& port2 = "") {
    QStringList words = QString(line).split(' ');
    words.replaceInStrings("''", "")
        .replaceInStrings("IMAGE", QString::fromStdString(image))
        .replaceInStrings("PORT2", QString::fromStdString(port2))
        .replaceInStrings("PORT", QString::fromStdString(port));
    return words;
}

// The log box's lines as a terminal shows them.
std::string Plain(std::string lines) {
    lines.erase(std::remove(lines.begin(), lines.end(), '\r'), lines.end());
    return lines;
}

struct CommandCase {
    const char* command;  // the program, then its arguments
    int exitCode;
    // On standard output for 0; for 2 (wrong use: nothing is touched) on standard error, with
    // nothing on standard output.
    std::string text;
};

TEST(CommandLine, AnswersOrRefusesWithTheReason) {
    const CTempImage image(3000);
    const CommandCase cases[] = {
        {"flashdl --help", 0, "--port PORT"},
        {"flashdl --version", 0, "flashdl " AFD_VERSION_TEXT "\n"},
        {"flashdl --list-ports", 0, "COM1 ... COM9 are accepted too; COMn is /dev/ttyS(n-1).\n"},
        {"flashdl", 2, "Usage: flashdl"},
        {"flashdl --port COM1 --simulate", 2, "combined"},
        {"flashdl --simulate --timeout ten", 2, "ten"},
        {"flashdl --simulate --timeout 5 --timeout 6", 2, "--timeout can be given only once."},
        {"flashdl --simulate --timeout 3601", 2,
         "--timeout needs a whole number of seconds from 1 to 3600, not \"3601\"."},
        {"flashdl --port COM1 /dev/null", 2, "/dev/null: it is not a regular file."},
        {"flashdl --port COM1 /nonexistent/fw.bin", 2,
         "/nonexistent/fw.bin: No such file or directory"},
        {"flashdl --port /dev/tty IMAGE", 2, "/dev/tty: it is the terminal this program runs in"},
        {"flashdl --port /dev/afd-no-such-port IMAGE", 2,
         "Cannot open the serial port /dev/afd-no-such-port"},
        {"flashdl --speed 9600 IMAGE", 2, "Unknown option 'speed'"},
        {"flashdl --port COM1 --count 2 IMAGE", 2, "flashdl: --count needs --port auto"},
        {"flashdl --simulate --count 2", 2, "needs --port auto"},
        {"flashdl --port auto --count 1 --count 2 IMAGE", 2, "--count can be given only once."},
        {"flashdl --port auto --count 0 IMAGE", 2,
         "--count needs a whole number of controllers from 1 to 64, not \"0\"."},
        {"flashdl --port auto --count 65 IMAGE", 2, "from 1 to 64, not \"65\"."},
        {"flashdl --port COM1 --port COM1 IMAGE", 2, "the port COM1 is named twice."},
        {"flashdl --port COM1 --port /dev/ttyS0 IMAGE", 2,
         "COM1 and /dev/ttyS0 are the same port."},
        {"flashdl --port auto --port COM1 IMAGE", 2,
         "--port auto cannot be combined with other --port options."},
        {"flashdl --port '' IMAGE", 2, "the port name is empty."},
        {"flashdl --port COM1", 2, "name the image file to flash."},
        {"flashdl --port COM1 ''", 2, "the image file name is empty."},
        {"flashdl --simulate IMAGE IMAGE", 2, "only one image can be flashed at a time."},
        {"flashdl --list-ports IMAGE", 2, "--list-ports takes no image."},
        {"flashdl --json --list-ports", 2, "--json goes only with --port or --simulate."},
        {"afd-emulator --help", 0, "Usage: afd-emulator"},
        {"afd-emulator --speed", 2, "Usage: afd-emulator"},
        {"afd-emulator --count 0", 2, "--count needs a number from 1 to 64.\n"},
        {"afd-emulator --count 65", 2, "--count needs a number from 1 to 64.\n"},
        {"afd-emulator --fail-at two", 2, "--fail-at needs a block number from 1.\n"},
        {"afd-emulator --count 2 --link /tmp/x", 2,
         "--link names one port; it cannot go with --count.\n"},
    };
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(c.command);
        const QStringList words = Words(c.command, image.path);
        const Finished result =
            RunProgram(words.front() == "flashdl" ? kFlashdl : kEmulator, words.mid(1));
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        EXPECT_THAT(c.exitCode == 0 ? result.out : result.err, HasSubstr(c.text));
        if (c.exitCode != 0) {
            EXPECT_EQ(result.out, "");
        }
    }
}

struct DownloadCase {
    const char* arguments;  // PORT and PORT2: two emulated controllers, the first with the fault
    // No std::string for the fault: GCC 12 at -O3 takes one inside these brace-initialised cases
    // for one that may be destroyed uninitialised.
    FaultKind fault;
    int atCommand;
    const char* faultText;
    int exitCode;
    std::string inStdout;  // without --json
    const char* events;    // with --json: parts of the events, one a line, in this order
    std::string inStderr;  // either way
    bool flashed;          // PORT holds the image afterwards; else its flash is blank
};

// Each download's end, once as a person reads it and once as a program reads it.
TEST(Download, ExitStatusMessagesAndFlash) {
    const CTempImage image(3000);
    const std::string prompt = Plain(kPromptLine + kConnectedLines);
    const DownloadCase cases[] = {
        {"--port PORT IMAGE", FaultKind::None, -1, "", 0, prompt + Plain(kSuccessLine),
         R"({"event":"line","port":"PORT","text":"Please wait ..."}
"blocks":3,"blocks_sent":3,"event":"progress","lower":0,"port":"PORT","position":23,"upper":23}
{"event":"line","port":"PORT","text":"Flash download successfully finished!"}
{"bytes":3000,"event":"end","exit":0,"port":"PORT","result":"success","seconds":)",
         "", true},
        {"--port PORT --port PORT2 IMAGE", FaultKind::None, -1, "", 0,
         "2 of 2 controllers flashed.\n",
         R"({"event":"summary","exit":0,"ports":[{"bytes":3000,"exit":0,"port":"PORT","result":"success")",
         "", true},
        {"--simulate IMAGE", FaultKind::None, -1, "", 0,
         Plain(kSuccessLine) + "Emulated flash matches the image (3000 bytes).\n",
         R"("result":"success")", "", false},
        // A terminal has no button to click.
        {"--port PORT IMAGE", FaultKind::UnknownReply, 5, ":WHAT#", 1,
         Plain(kCheckDevicesLine) +
             "(With flashdl: run the command again to start a new download.)\n",
         R"("result":"unrecognised reply")", "was reset", false},
        {"--port PORT IMAGE", FaultKind::ErrorReply, 2, ":EX_ERR#", 1, prompt + Plain(kErrorLine),
         R"("bytes":0,"event":"end","exit":1,"port":"PORT","result":"error reply")",
         "reported an error", false},
        {"--port PORT --timeout 1 IMAGE", FaultKind::Silence, 2, "", 1,
         "did not answer within 1 second.\n" + Plain(kErrorLine), R"("result":"no answer")",
         "stopped answering", false},
        {"--port PORT IMAGE", FaultKind::HangUp, 2, "", 1, Plain(kErrorLine),
         R"("result":"line lost")", "the serial line was lost during the download.", false},
        {"--port PORT --port /dev/afd-no-such-port IMAGE", FaultKind::None, -1, "", 1,
         "1 of 2 controllers flashed; exit status 1.\n",
         R"("exit":2,"port":"/dev/afd-no-such-port","result":"port error")",
         "Cannot open the serial port /dev/afd-no-such-port: no such port;", true},
    };
    for (const DownloadCase& c : cases) {
        for (const bool json : {false, true}) {
            SCOPED_TRACE(std::string(c.arguments) + (json ? " --json" : ""));
            EmulatorOptions options;
            options.fault = {c.fault, c.atCommand, c.faultText};
            CPtyBootLoader controller(options);
            CPtyBootLoader second;
            std::string error;
            ASSERT_TRUE(controller.Start(&error) && second.Start(&error)) << error;
            const QString port = QString::fromStdString(controller.SlavePath());
            QStringList arguments =
                Words(c.arguments, image.path, controller.SlavePath(), second.SlavePath());
            if (json) {
                arguments.prepend("--json");
            }
            const Finished result = RunProgram(kFlashdl, arguments);
            EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
            EXPECT_THAT(result.err, HasSubstr(c.inStderr));
            EXPECT_THAT(result.out, Not(testing::ContainsRegex("[\r\033]")));
            if (!json) {
                EXPECT_THAT(result.out, HasSubstr(c.inStdout));
            } else {
                EXPECT_THAT(result.out, StartsWith(R"({"blocks":3,"event":"start","image":")" +
                                                   image.path + "\""));
                std::size_t at = 0;
                for (const QString& part : QString(c.events).replace("PORT", port).split('\n')) {
                    at = result.out.find(part.toStdString(), at);
                    ASSERT_NE(at, std::string::npos) << part.toStdString() << "\n" << result.out;
                }
                for (const QString& line : QString::fromStdString(result.out).split('\n')) {
                    EXPECT_TRUE(line.isEmpty() || QJsonDocument::fromJson(line.toUtf8()).isObject())
                        << line.toStdString();
                }
            }
            std::vector<std::uint8_t> flash = image.Flashed();
            if (!c.flashed) {
                flash.assign(flash.size(), 0xFF);
            }
            EXPECT_EQ(controller.ReadFlash(0x81000000, flash.size()), flash);
        }
    }
}

// Reads a program's standard output until `text` shows (or ten seconds pass).
void ReadUntil(QProcess& process, std::string* out, const std::string& text) {
    for (int i = 0; i < 100 && out->find(text) == std::string::npos; ++i) {
        process.waitForReadyRead(100);
        *out += process.readAllStandardOutput().toStdString();
    }
}

struct EndCase {
    int signalNumber;       // sent while it waits for the reset; 0: its output's reader goes
    const char* arguments;  // PORT: a controller that resets only once the output is gone
    std::string inStderr;
    std::string inStdout;
};

// The line stops, the port's lock and the temporary files go, messages say why, status 1.
TEST(Download, EndedBySignalOrClosedOutputCleansUp) {
    const CTempImage image(3000);
    const EndCase cases[] = {
        {SIGHUP, "--port PORT IMAGE",
         "the terminal or the session was closed (SIGHUP); stopping the download.", ""},
        {SIGHUP, "--simulate", "(SIGHUP); stopping the download.", ""},
        {SIGQUIT, "--port PORT IMAGE", "asked to quit (SIGQUIT); stopping the download.", ""},
        {SIGTERM, "--simulate", "asked to end (SIGTERM); stopping the download.", ""},
        {0, "--port PORT IMAGE", "the standard output was closed; stopping the download.", ""},
        {SIGINT, "--json --port PORT --port /dev/afd-no-such-port IMAGE",
         "interrupted; stopping the downloads.", R"("result":"stopped")"},
    };
    for (const EndCase& c : cases) {
        SCOPED_TRACE(std::string(c.arguments) + ", signal " + std::to_string(c.signalNumber));
        EmulatorOptions options;
        options.resetDelayMs = c.signalNumber == 0 ? 1500 : 10 * 60 * 1000;
        CPtyBootLoader controller(options);
        std::string error;
        ASSERT_TRUE(controller.Start(&error)) << error;
        // The lock file QSerialPort keeps for the port while it is open.
        const std::string lockFile =
            "/var/lock/LCK.." + QString::fromStdString(controller.SlavePath().substr(5))
                                    .replace('/', '_')
                                    .toStdString();
        const QStringList arguments = Words(c.arguments, image.path, controller.SlavePath());
        const QTemporaryDir tempDir;
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TMPDIR", tempDir.path());
        process.setProcessEnvironment(environment);
        std::string out;
        if (c.signalNumber == 0) {
            // The reader is gone before the first line is written or soon after.
            process.start(
                "bash",
                QStringList{"-c", "set -o pipefail; \"$@\" | true", "bash", kFlashdl} + arguments);
        } else {
            process.start(kFlashdl, arguments);
            ReadUntil(process, &out, "waiting for connection");
            EXPECT_EQ(std::filesystem::exists(lockFile), arguments.contains("--port"));
            ::kill(static_cast<pid_t>(process.processId()), c.signalNumber);
        }
        ASSERT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitCode(), 1);
        EXPECT_THAT(out + process.readAllStandardOutput().toStdString(), HasSubstr(c.inStdout));
        const std::string err = process.readAllStandardError().toStdString();
        EXPECT_THAT(err, HasSubstr(c.inStderr));
        EXPECT_THAT(err, HasSubstr("the download was stopped before it finished."));
        EXPECT_FALSE(std::filesystem::exists(lockFile));
        EXPECT_TRUE(controller.Blocks().empty());
        EXPECT_TRUE(
            QDir(tempDir.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    }
}

// afd-emulator as a user runs it, with the flash of its first controller written to a file.
class Emulator : public ::testing::Test {
protected:
    // Returns the ports it prints.
    std::vector<std::string> Start(QStringList arguments) {
        m_process.start(kEmulator, arguments << "--fast"
                                             << "--flash-out" << m_dir.filePath("flash"));
        ReadUntil(m_process, &out, "Ctrl+C ends the emulator");
        std::vector<std::string> ports;
        const std::string listening = "Emulated hand controller listening on ";
        for (auto at = out.find(listening); at != std::string::npos;
             at = out.find(listening, at + 1)) {
            const std::size_t begin = at + listening.size();
            ports.push_back(out.substr(begin, out.find_first_of(" \n", begin) - begin));
        }
        return ports;
    }
    // Once the end of a download is announced, the flash it holds.
    std::vector<std::uint8_t> FlashAfterQuit() {
        ReadUntil(m_process, &out, "far).");
        QFile file(m_dir.filePath("flash"));
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
    }
    int Terminate() {
        m_process.terminate();
        return m_process.waitForFinished(10000) ? m_process.exitCode() : -1;
    }

    const QTemporaryDir m_dir;
    QProcess m_process;
    const CTempImage image{3000};
    std::string out;
};

TEST_F(Emulator, ALinkedControllerTakesADownloadAndItsLinkGoesWithIt) {
    const QString link = m_dir.filePath("ttyEMU0");
    const auto ports = Start({"--link", link});
    ASSERT_EQ(ports.size(), 1u) << out;
    EXPECT_THAT(out,
                HasSubstr(ports[0] + " (also " + link.toStdString() +
                          ")\nChoose that port, then Start Download; Ctrl+C ends the emulator.\n"));
    EXPECT_EQ(RunProgram(kFlashdl, {"--port", link, image.path.c_str()}).exitCode, 0);
    EXPECT_EQ(FlashAfterQuit(), image.Flashed());
    EXPECT_THAT(out,
                HasSubstr("\nA download reached its quit command (3 blocks received so far).\n"));
    EXPECT_EQ(Terminate(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link.toStdString())));
}

// Both flashed at once by one flashdl: each line and the summary tell each port's end.
TEST_F(Emulator, OfTwoControllersTheLastRefusesTheBlockNamed) {
    const auto ports = Start({"--count", "2", "--fail-at", "2"});
    ASSERT_EQ(ports.size(), 2u) << out;
    EXPECT_THAT(out,
                HasSubstr(ports[1] +
                          " (refuses block 2)\nChoose those ports; Ctrl+C ends the emulators.\n"));
    const Finished result = RunProgram(
        kFlashdl, {"--port", ports[0].c_str(), "--port", ports[1].c_str(), image.path.c_str()});
    EXPECT_EQ(result.exitCode, 1);
    const std::size_t summary = result.out.find("Summary:\n");
    for (std::size_t line = 0; line < summary; line = result.out.find('\n', line) + 1) {
        EXPECT_EQ(result.out.compare(line, 5, "/dev/"), 0) << result.out;
    }
    EXPECT_THAT(result.out.substr(summary), HasSubstr("\n  " + ports[0] + "  success  "));
    EXPECT_THAT(result.out.substr(summary), HasSubstr("\n  " + ports[1] + "  error reply  "));
    EXPECT_THAT(result.out, HasSubstr("\n1 of 2 controllers flashed; exit status 1.\n"));
    EXPECT_THAT(result.err, HasSubstr(ports[1] + ": the hand controller reported an error"));
    EXPECT_EQ(FlashAfterQuit(), image.Flashed());
    EXPECT_THAT(out,
                HasSubstr("\n" + ports[0] +
                          ": a download reached its quit command (3 blocks received so far).\n"));
    EXPECT_THAT(out, Not(HasSubstr(ports[1] + ": a download")));
    Terminate();
}

}  // namespace
