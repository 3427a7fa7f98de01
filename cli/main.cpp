// flashdl: writes a firmware image into the hand controller's flash from the command line, or
// into an emulated controller to try the tool without one.
#include <QCoreApplication>
#include <csignal>
#include <cstdio>

#include "command_line.h"
#include "console_reporter.h"
#include "download_outcome.h"
#include "flash_commands.h"
#include "json_reporter.h"

int main(int argc, char* argv[]) {
#if !defined(_WIN32)
    // A closed standard output (its reader gone) must not kill flashdl before it has stopped the
    // line, released the port and removed its temporary files; the write just fails.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("flashdl");
    QCoreApplication::setApplicationVersion(AFD_VERSION_TEXT);

    const FlashdlRequest request = ParseCommandLine(QCoreApplication::arguments());
    CConsoleReporter console(stdout, stderr, CConsoleReporter::IsTerminal(stdout));
    CJsonReporter json(stdout, stderr);
    IFlashReport& reporter = request.json ? static_cast<IFlashReport&>(json) : console;
    switch (request.action) {
        case FlashdlRequest::Action::Help:
            std::fputs(UsageText().c_str(), stdout);
            return kExitSuccess;
        case FlashdlRequest::Action::Version:
            std::printf("flashdl %s\n", AFD_VERSION_TEXT);
            return kExitSuccess;
        case FlashdlRequest::Action::UsageError:
            std::fprintf(stderr, "flashdl: %s\n%s", request.error.c_str(), SynopsisText().c_str());
            return kExitCannotStart;
        case FlashdlRequest::Action::ListPorts:
            return RunListPortsCommand(stdout);
        case FlashdlRequest::Action::Simulate:
            return RunSimulateCommand(request, reporter);
        case FlashdlRequest::Action::Flash:
            return RunFlashCommand(request, reporter);
    }
    return kExitCannotStart;
}
