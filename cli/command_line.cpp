// Parses flashdl's options; every combination that cannot work is a usage error here, before
// any port or file is touched.
#include "command_line.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include "port_names.h"

namespace {

constexpr int kDefaultTimeoutSeconds = kReplyTimeoutMs / 1000;
constexpr int kLongestTimeoutSeconds = 3600;
constexpr char kAutoPort[] = "auto";
// More than a bench ever holds; each controller takes a port and a few descriptors.
constexpr int kMostControllers = 64;

FlashdlRequest UsageError(std::string message) {
    FlashdlRequest request;
    request.action = FlashdlRequest::Action::UsageError;
    request.error = std::move(message);
    return request;
}

// The ports of --port: named ones, each once, or "auto" alone. Returns what is wrong, if anything.
std::string ParsePorts(const QStringList& values, FlashdlRequest* request) {
    for (const QString& value : values) {
        const std::string name = value.toStdString();
        if (name.empty()) {
            return "the port name is empty.";
        }
        if (name == kAutoPort) {
            request->findPorts = true;
            continue;
        }
        for (const std::string& earlier : request->ports) {
            if (ResolvePortName(earlier) == ResolvePortName(name)) {
                return earlier == name ? "the port " + name + " is named twice."
                                       : earlier + " and " + name + " are the same port.";
            }
        }
        request->ports.push_back(name);
    }
    if (request->findPorts && values.size() > 1) {
        return "--port auto cannot be combined with other --port options.";
    }
    return std::string();
}

std::string ParseCount(const QStringList& values, FlashdlRequest* request) {
    if (values.isEmpty()) {
        return std::string();
    }
    if (values.size() > 1) {
        return "--count can be given only once.";
    }
    if (!request->findPorts) {
        return "--count needs --port auto; with named ports each --port is one controller.";
    }
    bool ok = false;
    request->count = values.front().toInt(&ok);
    if (!ok || request->count < 1 || request->count > kMostControllers) {
        return "--count needs a whole number of controllers from 1 to " +
               std::to_string(kMostControllers) + ", not \"" + values.front().toStdString() + "\".";
    }
    return std::string();
}

}  // namespace

std::string SynopsisText() {
    return "Usage: flashdl --port PORT [--port PORT ...] [--json] [--timeout SECONDS] IMAGE\n"
           "       flashdl --port auto [--count N] [--json] [--timeout SECONDS] IMAGE\n"
           "       flashdl --simulate [--json] [--timeout SECONDS] [IMAGE]\n"
           "       flashdl --list-ports | --help | --version\n";
}

std::string UsageText() {
    return SynopsisText() +
           "\n"
           "Writes a raw firmware image into the hand controller's external flash through its\n"
           "boot loader, over a serial line at 115200 baud, 8N1.\n"
           "\n"
           "  --port PORT          the serial port the controller is on: COM1 ... COM9 or a\n"
           "                       device such as /dev/ttyUSB0. Give it again for each further\n"
           "                       controller: all are flashed at once, each on its own port\n"
           "  --port auto          take the first controller that answers on a USB-serial port\n"
           "                       (built-in ports such as /dev/ttyS0 and COM1 only by name)\n"
           "  --count N            with --port auto: take the first N controllers that answer\n"
           "  --json               one JSON object per line on standard output, for programs;\n"
           "                       messages go to standard error\n"
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
           "could not start (bad command line, unreadable image, port that cannot be opened).\n"
           "With several controllers: 0 only when every one finished, 1 when any did not, 2 when\n"
           "no port could be opened; a summary of every port's end and time comes last.\n";
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
    const QCommandLineOption count("count", "", "N");
    const QCommandLineOption json("json");
    parser.addOptions({port, simulate, listPorts, timeout, help, version, count, json});

    if (!parser.parse(arguments)) {
        return UsageError(parser.errorText().toStdString());
    }
    if (parser.isSet(json) &&
        (parser.isSet(help) || parser.isSet(version) || parser.isSet(listPorts))) {
        return UsageError("--json goes only with --port or --simulate.");
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
    request.json = parser.isSet(json);
    if (parser.isSet(simulate)) {
        if (parser.isSet(count)) {
            return UsageError("--count needs --port auto.");
        }
        request.action = FlashdlRequest::Action::Simulate;
        return request;
    }
    std::string error = ParsePorts(parser.values(port), &request);
    if (error.empty()) {
        error = ParseCount(parser.values(count), &request);
    }
    if (!error.empty()) {
        return UsageError(error);
    }
    if (!request.imagePath) {
        return UsageError("name the image file to flash.");
    }
    request.action = FlashdlRequest::Action::Flash;
    return request;
}
