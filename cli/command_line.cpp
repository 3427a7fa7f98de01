// Parses flashdl's options; every combination that cannot work is a usage error here, before
// any port or file is touched.
#include "command_line.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

namespace {

constexpr int kDefaultTimeoutSeconds = kReplyTimeoutMs / 1000;
constexpr int kLongestTimeoutSeconds = 3600;

FlashdlRequest UsageError(std::string message) {
    FlashdlRequest request;
    request.action = FlashdlRequest::Action::UsageError;
    request.error = std::move(message);
    return request;
}

}  // namespace

std::string SynopsisText() {
    return "Usage: flashdl --port PORT [--timeout SECONDS] IMAGE\n"
           "       flashdl --simulate [--timeout SECONDS] [IMAGE]\n"
           "       flashdl --list-ports | --help | --version\n";
}

std::string UsageText() {
    return SynopsisText() +
           "\n"
           "Writes a raw firmware image into the hand controller's external flash through its\n"
           "boot loader, over a serial line at 115200 baud, 8N1.\n"
           "\n"
           "  --port PORT          the serial port the controller is on: COM1 ... COM9 or a\n"
           "                       device such as /dev/ttyUSB0\n"
           "  --simulate           flash into a built-in emulated controller instead; without\n"
           "                       IMAGE a 64 KiB demo image is generated\n"
           "  --timeout SECONDS    how long a command may wait for its reply (default 10)\n"
           "  --list-ports         list the serial ports found\n"
           "  -h, --help           show this help\n"
           "  --version            show the version\n"
           "\n"
           "Reset the hand controller when asked; flashdl waits for it until then. Ctrl-C stops\n"
           "the download; so do SIGTERM, SIGHUP, SIGQUIT and a closed standard output.\n"
           "\n"
           "Exit status: 0 when the download finished, 1 when it failed on the way, 2 when it\n"
           "could not start (bad command line, unreadable image, port that cannot be opened).\n";
}

FlashdlRequest ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption port("port", "", "PORT");
    const QCommandLineOption simulate("simulate");
    const QCommandLineOption listPorts("list-ports");
    const QCommandLineOption timeout("timeout", "", "SECONDS");
    const QCommandLineOption help(QStringList{"h", "help"});
    const QCommandLineOption version("version");
    parser.addOptions({port, simulate, listPorts, timeout, help, version});

    if (!parser.parse(arguments)) {
        return UsageError(parser.errorText().toStdString());
    }
    if (parser.isSet(help)) {
        FlashdlRequest request;
        request.action = FlashdlRequest::Action::Help;
        return request;
    }
    if (parser.isSet(version)) {
        FlashdlRequest request;
        request.action = FlashdlRequest::Action::Version;
        return request;
    }

    FlashdlRequest request;
    int timeoutSeconds = kDefaultTimeoutSeconds;
    if (parser.values(timeout).size() > 1) {
        return UsageError("--timeout can be given only once.");
    }
    if (parser.isSet(timeout)) {
        bool ok = false;
        timeoutSeconds = parser.value(timeout).toInt(&ok);
        if (!ok || timeoutSeconds < 1 || timeoutSeconds > kLongestTimeoutSeconds) {
            return UsageError("--timeout needs a whole number of seconds from 1 to " +
                              std::to_string(kLongestTimeoutSeconds) + ", not \"" +
                              parser.value(timeout).toStdString() + "\".");
        }
    }
    request.replyTimeoutMs = timeoutSeconds * 1000;

    const int modes = (parser.isSet(port) ? 1 : 0) + (parser.isSet(simulate) ? 1 : 0) +
                      (parser.isSet(listPorts) ? 1 : 0);
    if (modes == 0) {
        return UsageError("say which port to use with --port, or use --simulate or --list-ports.");
    }
    if (modes > 1) {
        return UsageError("--port, --simulate and --list-ports cannot be combined.");
    }
    const QStringList positional = parser.positionalArguments();
    if (parser.isSet(listPorts)) {
        if (!positional.isEmpty()) {
            return UsageError("--list-ports takes no image.");
        }
        request.action = FlashdlRequest::Action::ListPorts;
        return request;
    }
    if (positional.size() > 1) {
        return UsageError("only one image can be flashed at a time.");
    }
    if (!positional.isEmpty()) {
        request.imagePath = positional.front().toStdString();
        if (request.imagePath->empty()) {
            return UsageError("the image file name is empty.");
        }
    }
    if (parser.isSet(simulate)) {
        request.action = FlashdlRequest::Action::Simulate;
        return request;
    }
    request.port = parser.value(port).toStdString();
    if (request.port.empty()) {
        return UsageError("the port name is empty.");
    }
    if (!request.imagePath) {
        return UsageError("name the image file to flash.");
    }
    request.action = FlashdlRequest::Action::Flash;
    return request;
}
