// flashdl and afd-emulator run as processes: what a user types, the exit status and messages
// they see, and what the emulated flash holds afterwards.
#include <signal.h>

#include <gmock/gmock.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "expected_conversation.h"
#include "pty_boot_loader.h"
#include "temp_image.h"

namespace {

using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::Not;

const QString kFlashdl = QStringLiteral(FLASHDL_PATH);
const QString kEmulator = QStringLiteral(AFD_EMULATOR_PATH);

// A command line or an expected output with the files it names: IMAGE, PORT and PORT2 stand for
// them; the log box's line ends are a terminal's.
QString Filled(const std::string& text, const std::string& image, const std::string& port = "",
               const std::string& port2 = "") {
    return QString::fromStdString(text)
        .remove('\r')
        .replace("IMAGE", QString::fromStdString(image))
        .replace("PORT2", QString::fromStdString(port2))
        .replace("PORT", QString::fromStdString(port));
}

// Reads a program's standard output until `text` shows (or ten seconds pass).
void ReadUntil(QProcess& process, std::string* out, const std::string& text) {
    for (int i = 0; i < 100 && out->find(text) == std::string::npos; ++i) {
        process.waitForReadyRead(100);
        *out += process.readAllStandardOutput().toStdString();
    }
}

struct CommandCase {
    const char* command;  // the program, then its arguments; '' an empty one
    int exitCode;
    std::string text;  // on standard output for 0; else on standard error, with nothing on output
};

// Every exit status, and a refusal of each kind with its reason.
TEST(CommandLine, AnswersOrRefusesWithTheReason) {
    const CTempImage image(3000);
    const CommandCase cases[] = {
        {"flashdl --help", 0, "--port PORT"},
        {"flashdl --version", 0, "flashdl " AFD_VERSION_TEXT "\n"},
        {"flashdl --list-ports", 0, "COM1 ... COM9 are accepted too; COMn is /dev/ttyS(n-1).\n"},
        {"flashdl", 2, "Usage: flashdl"},
        {"flashdl --simulate --timeout 3601", 2, "seconds from 1 to 3600, not \"3601\".\n"},
        {"flashdl --port COM1 /dev/null", 2, "/dev/null: it is not a regular file."},
        {"flashdl --port /dev/tty IMAGE", 2, "/dev/tty: it is the terminal this program runs in"},
        {"flashdl --port /dev/afd-no-such-port IMAGE", 2, "Cannot open the serial port /dev/afd-"},
        {"flashdl --port auto --count 65 IMAGE", 2, "controllers from 1 to 64, not \"65\".\n"},
        {"flashdl --port COM1 --port /dev/ttyS0 IMAGE", 2, "COM1 and /dev/ttyS0 are the same"},
        {"flashdl --port COM1 ''", 2, "the image file name is empty."},
        {"flashdl --simulate IMAGE IMAGE", 2, "only one image can be flashed at a time."},
        {"flashdl --port COM1 --simulate", 2, "combined"},
        {"flashdl --port COM1 --count 2 IMAGE", 2, "flashdl: --count needs --port auto"},
        {"flashdl --speed 9600 IMAGE", 2, "Unknown option 'speed'"},
        {"afd-emulator --help", 0, "Usage: afd-emulator"},
        {"afd-emulator --count 65", 2, "--count needs a number from 1 to 64.\n"},
        {"afd-emulator --fail-at two", 2, "--fail-at needs a block number from 1.\n"},
        {"afd-emulator --count 2 --link /tmp/x", 2, "--link names one port; it cannot go with"},
    };
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(c.command);
        const QStringList words = Filled(c.command, image.path).replace("''", "").split(' ');
        QProcess process;
        process.start(words.front() == "flashdl" ? kFlashdl : kEmulator, words.mid(1));
        ASSERT_TRUE(process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit);
        const std::string out = process.readAllStandardOutput().toStdString();
        const std::string err = process.readAllStandardError().toStdString();
        EXPECT_EQ(process.exitCode(), c.exitCode) << err;
        EXPECT_THAT(c.exitCode == 0 ? out : err, HasSubstr(c.text));
        if (c.exitCode != 0) {
            EXPECT_EQ(out, "");
        }
    }
}

struct EndCase {
    const char* arguments;
    // No std::string for the fault: GCC 12 at -O3 takes one inside these brace-initialised cases
    // for one that may be destroyed uninitialised.
    FaultKind fault;  // of PORT's controller; PORT2's answers every command
    int atCommand;
    const char* faultText;
    int signalNumber;  // sent while it waits for the reset; SIGPIPE: its output's reader goes
    int exitCode;
    // Parts of standard output, one a line, in this order: without --json; with it, if any.
    std::string lines;
    std::string events;
    std::string inStderr;  // either way
    bool flashed;          // PORT holds the image afterwards; else its flash is blank
};

// Each way a download ends: its exit status, what a person or a program reads, the flash, and
// the port's lock released.
TEST(Download, EachEndHasItsExitStatusMessagesAndFlash) {
    const CTempImage image(3000);
    const std::string prompt = kPromptLine + kConnectedLines;
    // A terminal has no button to click.
    const std::string stopped =
        kCheckDevicesLine + "(With flashdl: run the command again to start a new download.)\n";
    const EndCase cases[] = {
        {"--port PORT IMAGE", FaultKind::None, -1, "", 0, 0, prompt + kSuccessLine,
         R"({"blocks":3,"event":"start","image":"IMAGE","port":"PORT","size":3000}
"blocks":3,"blocks_sent":3,"event":"progress","lower":0,"port":"PORT","position":23,"upper":23}
{"event":"line","port":"PORT","text":"Flash download successfully finished!"}
{"bytes":3000,"event":"end","exit":0,"port":"PORT","result":"success","seconds":)",
         "", true},
        {"--port PORT --port PORT2 IMAGE", FaultKind::None, -1, "", 0, 0,
         "2 of 2 controllers flashed.\n",
         R"({"event":"summary","exit":0,"ports":[{"bytes":3000,"exit":0,"port":"PORT","result":"success")",
         "", true},
        {"--simulate IMAGE", FaultKind::None, -1, "", 0, 0,
         kSuccessLine + "Emulated flash matches the image (3000 bytes).\n", "", "", false},
        {"--port PORT IMAGE", FaultKind::UnknownReply, 5, ":WHAT#", 0, 1, stopped,
         R"("result":"unrecognised reply")", "was reset", false},
        {"--port PORT IMAGE", FaultKind::ErrorReply, 2, ":EX_ERR#", 0, 1, prompt + kErrorLine,
         R"("bytes":0,"event":"end","exit":1,"port":"PORT","result":"error reply")",
         "reported an error", false},
        {"--port PORT --timeout 1 IMAGE", FaultKind::Silence, 2, "", 0, 1,
         "did not answer within 1 second.\n" + kErrorLine, R"("result":"no answer")",
         "stopped answering", false},
        {"--port PORT IMAGE", FaultKind::HangUp, 2, "", 0, 1, kErrorLine, R"("result":"line lost")",
         "the serial line was lost during the download.", false},
        // With several ports each line names its port; a summary of every port's end comes last.
        {"--port PORT --port /dev/afd-no-such-port IMAGE", FaultKind::None, -1, "", 0, 1,
         "PORT: " + kPromptLine + "PORT: " + kSuccessLine +
             "  /dev/afd-no-such-port  port error  \n1 of 2 controllers flashed; exit status 1.\n",
         R"("exit":2,"port":"/dev/afd-no-such-port","result":"port error")",
         "Cannot open the serial port /dev/afd-no-such-port: no such port;", true},
        {"--port PORT IMAGE", FaultKind::None, -1, "", SIGHUP, 1, stopped, "",
         "the terminal or the session was closed (SIGHUP); stopping the download.", false},
        {"--port PORT IMAGE", FaultKind::None, -1, "", SIGQUIT, 1, stopped, "",
         "asked to quit (SIGQUIT); stopping the download.", false},
        {"--simulate", FaultKind::None, -1, "", SIGTERM, 1, stopped, "",
         "asked to end (SIGTERM); stopping the download.", false},
        {"--port PORT IMAGE", FaultKind::None, -1, "", SIGPIPE, 1, "", "",
         "the standard output was closed; stopping the download.", false},
        {"--port PORT --port /dev/afd-no-such-port IMAGE", FaultKind::None, -1, "", SIGINT, 1, "",
         R"("result":"stopped")",
         "interrupted; stopping the downloads.\n"
         "flashdl: PORT: the download was stopped before it finished.",
         false},
    };
    for (const EndCase& c : cases) {
        for (const bool json : {false, true}) {
            if (json && c.events.empty()) {
                continue;
            }
            SCOPED_TRACE(std::string(c.arguments) + (json ? " --json" : "") + ", signal " +
                         std::to_string(c.signalNumber));
            EmulatorOptions options;
            options.fault = {c.fault, c.atCommand, c.faultText};
            // With its output gone flashdl stops at the first line it writes after the reset.
            options.resetDelayMs = c.signalNumber == SIGPIPE ? 1500 : c.signalNumber ? 600000 : 0;
            CPtyBootLoader controller(options);
            CPtyBootLoader second;
            std::string error;
            ASSERT_TRUE(controller.Start(&error) && second.Start(&error)) << error;
            const std::string port = controller.SlavePath();
            const auto filled = [&](const std::string& text) {
                return Filled(text, image.path, port, second.SlavePath());
            };
            // The lock file QSerialPort keeps for the port while it is open.
            const QString lockFile =
                "/var/lock/LCK.." + QString::fromStdString(port.substr(5)).replace('/', '_');
            QProcess process;
            // Through a shell, where its output's reader can be gone before it writes.
            const char* shell =
                c.signalNumber == SIGPIPE ? "set -o pipefail; \"$@\" | true" : "exec \"$@\"";
            process.start(
                "bash", QStringList{"-c", shell, "bash", kFlashdl} +
                            filled((json ? "--json " : "") + std::string(c.arguments)).split(' '));
            std::string out;
            if (c.signalNumber != 0 && c.signalNumber != SIGPIPE) {
                ReadUntil(process, &out, "waiting for connection");
                EXPECT_EQ(QFile::exists(lockFile), QString(c.arguments).contains("--port"));
                ::kill(static_cast<pid_t>(process.processId()), c.signalNumber);
            }
            ASSERT_TRUE(process.waitForFinished(120000) &&
                        process.exitStatus() == QProcess::NormalExit);
            EXPECT_EQ(process.exitCode(), c.exitCode);
            const std::string err = process.readAllStandardError().toStdString();
            EXPECT_THAT(err, HasSubstr(filled(c.inStderr).toStdString()));
            out += process.readAllStandardOutput().toStdString();
            EXPECT_THAT(out, Not(ContainsRegex("[\r\033]")));
            std::size_t at = 0;
            for (const QString& part : filled(json ? c.events : c.lines).split('\n')) {
                at = out.find(part.toStdString(), at);
                ASSERT_NE(at, std::string::npos) << part.toStdString() << "\n" << out;
            }
            const std::vector<std::uint8_t> blank(image.Flashed().size(), 0xFF);
            EXPECT_EQ(controller.ReadFlash(0x81000000, blank.size()),
                      c.flashed ? image.Flashed() : blank);
            EXPECT_FALSE(QFile::exists(lockFile));
        }
    }
}

// afd-emulator as a user runs it: its linked port takes a download from flashdl, the flash is
// written to the file named, and the link goes when the emulator ends.
TEST(Emulator, ALinkedControllerTakesADownloadAndItsLinkGoesWithIt) {
    const CTempImage image(3000);
    const QTemporaryDir dir;
    const QString link = dir.filePath("ttyEMU0");
    QProcess emulator;
    emulator.start(kEmulator, {"--link", link, "--fast", "--flash-out", dir.filePath("flash")});
    std::string out;
    ReadUntil(emulator, &out, "Ctrl+C ends the emulator");
    EXPECT_THAT(out, HasSubstr(" (also " + link.toStdString() +
                               ")\nChoose that port, then Start Download; Ctrl+C ends the "
                               "emulator.\n"));
    EXPECT_EQ(QProcess::execute(kFlashdl, {"--port", link, image.path.c_str()}), 0);
    ReadUntil(emulator, &out, "far).");
    EXPECT_THAT(out,
                HasSubstr("\nA download reached its quit command (3 blocks received so far).\n"));
    std::ifstream flash(dir.filePath("flash").toStdString(), std::ios::binary);
    EXPECT_EQ(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(flash), {}),
              image.Flashed());
    emulator.terminate();
    ASSERT_TRUE(emulator.waitForFinished(10000));
    EXPECT_EQ(emulator.exitCode(), 0);
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

}  // namespace
