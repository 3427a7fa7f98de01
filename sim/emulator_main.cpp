// afd-emulator: an emulated hand controller on a pseudo-terminal, for trying the desktop program
// (or flashdl) without a controller. It prints the port to choose and runs until interrupted.
#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "pty_boot_loader.h"

namespace {
volatile std::sig_atomic_t g_bStop = 0;

void OnSignal(int) {
    g_bStop = 1;
}

int Usage(std::FILE* out, int status) {
    std::fprintf(out,
                 "Usage: afd-emulator [--link PATH] [--fast]\n"
                 "Runs an emulated hand controller on a pseudo-terminal and prints its port.\n"
                 "  --link PATH  also make PATH a symbolic link to the port (e.g. /tmp/ttyEMU0)\n"
                 "  --fast       answer at once instead of at the pace of a 115200-baud line\n");
    return status;
}
}  // namespace

int main(int argc, char** argv) {
    std::string link;
    EmulatorOptions options;
    options.paceLineRate = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--link") == 0 && i + 1 < argc) {
            link = argv[++i];
        } else if (std::strcmp(argv[i], "--fast") == 0) {
            options.paceLineRate = false;
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            return Usage(stdout, 0);
        } else {
            return Usage(stderr, 2);
        }
    }
    CPtyBootLoader loader(options);
    std::string error;
    if (!loader.Start(&error)) {
        std::fprintf(stderr, "afd-emulator: cannot start the emulated controller: %s\n",
                     error.c_str());
        return 1;
    }
    const std::string port = loader.SlavePath();
    if (!link.empty()) {
        unlink(link.c_str());
        if (symlink(port.c_str(), link.c_str()) != 0) {
            std::fprintf(stderr, "afd-emulator: cannot link %s: %s\n", link.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }
    std::printf("Emulated hand controller listening on %s%s%s\n", port.c_str(),
                link.empty() ? "" : " (also ", link.empty() ? "" : (link + ")").c_str());
    std::printf("Choose that port, then Start Download; Ctrl+C ends the emulator.\n");
    std::fflush(stdout);

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::size_t reported = 0;
    while (!g_bStop) {
        usleep(200 * 1000);
        const std::vector<std::string> commands = loader.Commands();
        if (commands.size() > reported && commands.back() == ":QUIT_COMM#") {
            std::printf("A download reached its quit command (%zu blocks received so far).\n",
                        loader.Blocks().size());
            std::fflush(stdout);
        }
        reported = commands.size();
    }
    if (!link.empty()) {
        unlink(link.c_str());
    }
    return 0;
}
