// afd-emulator: an emulated hand controller on a pseudo-terminal, for trying the desktop program
// (or flashdl) without a controller. It prints the port to choose and runs until interrupted.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "pty_boot_loader.h"

namespace {
volatile std::sig_atomic_t g_bStop = 0;

// Where the first block of a download is copied to flash.
constexpr std::uint32_t kFlashBase = 0x81000000;
constexpr std::size_t kBlockBytes = 1024;

void OnSignal(int) {
    g_bStop = 1;
}

constexpr int kMostControllers = 64;

int Usage(std::FILE* out, int status) {
    std::fprintf(out,
                 "Usage: afd-emulator [--link PATH] [--fast] [--count N [--fail-at BLOCK]]\n"
                 "                    [--flash-out FILE]\n"
                 "Runs an emulated hand controller on a pseudo-terminal and prints its port.\n"
                 "  --link PATH      also make PATH a symbolic link to the port (e.g. "
                 "/tmp/ttyEMU0)\n"
                 "  --fast           answer at once instead of at the pace of a 115200-baud line\n"
                 "  --count N        run N controllers, each on its own port with its own flash,\n"
                 "                   and print their N ports\n"
                 "  --fail-at BLOCK  the last controller refuses data block BLOCK (from 1) with\n"
                 "                   \":RB_ERR#\", as if its checksum were wrong\n"
                 "  --flash-out FILE after each download, write the first controller's flashed\n"
                 "                   blocks (from 0x81000000, whole 1024-byte blocks) to FILE\n");
    return status;
}

bool WriteFlash(const CPtyBootLoader& loader, const std::string& path) {
    const std::vector<std::uint8_t> flash =
        loader.ReadFlash(kFlashBase, loader.Blocks().size() * kBlockBytes);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(flash.data()),
              static_cast<std::streamsize>(flash.size()));
    return static_cast<bool>(out.flush());
}

// A whole number from 1 to `most`, or 0.
int CountArgument(const char* text, int most) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && value >= 1 && value <= most ? static_cast<int>(value) : 0;
}
}  // namespace

int main(int argc, char** argv) {
    std::string link;
    std::string flashOut;
    EmulatorOptions options;
    options.paceLineRate = true;
    int count = 1;
    int failAt = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--link") == 0 && i + 1 < argc) {
            link = argv[++i];
        } else if (std::strcmp(argv[i], "--flash-out") == 0 && i + 1 < argc) {
            flashOut = argv[++i];
        } else if (std::strcmp(argv[i], "--fast") == 0) {
            options.paceLineRate = false;
        } else if (std::strcmp(argv[i], "--count") == 0 && i + 1 < argc) {
            count = CountArgument(argv[++i], kMostControllers);
            if (count == 0) {
                std::fprintf(stderr, "afd-emulator: --count needs a number from 1 to %d.\n",
                             kMostControllers);
                return 2;
            }
        } else if (std::strcmp(argv[i], "--fail-at") == 0 && i + 1 < argc) {
            failAt = CountArgument(argv[++i], 2080768);
            if (failAt == 0) {
                std::fprintf(stderr, "afd-emulator: --fail-at needs a block number from 1.\n");
                return 2;
            }
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            return Usage(stdout, 0);
        } else {
            return Usage(stderr, 2);
        }
    }
    if (count > 1 && !link.empty()) {
        std::fprintf(stderr, "afd-emulator: --link names one port; it cannot go with --count.\n");
        return 2;
    }
    std::vector<std::unique_ptr<CPtyBootLoader>> loaders;
    for (int n = 1; n <= count; ++n) {
        EmulatorOptions own = options;
        if (n == count && failAt > 0) {
            own.fault = {FaultKind::ErrorReply, DataCommandIndexOfBlock(failAt), "", 0};
        }
        loaders.push_back(std::make_unique<CPtyBootLoader>(own));
        std::string error;
        if (!loaders.back()->Start(&error)) {
            std::fprintf(stderr, "afd-emulator: cannot start the emulated controller: %s\n",
                         error.c_str());
            return 1;
        }
    }
    if (!link.empty()) {
        unlink(link.c_str());
        if (symlink(loaders.front()->SlavePath().c_str(), link.c_str()) != 0) {
            std::fprintf(stderr, "afd-emulator: cannot link %s: %s\n", link.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }
    for (const auto& loader : loaders) {
        const std::string port = loader->SlavePath();
        std::printf("Emulated hand controller listening on %s%s%s%s\n", port.c_str(),
                    link.empty() ? "" : " (also ", link.empty() ? "" : (link + ")").c_str(),
                    failAt > 0 && loader == loaders.back()
                        ? (" (refuses block " + std::to_string(failAt) + ")").c_str()
                        : "");
    }
    std::printf(count == 1 ? "Choose that port, then Start Download; Ctrl+C ends the emulator.\n"
                           : "Choose those ports; Ctrl+C ends the emulators.\n");
    std::fflush(stdout);

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::vector<std::size_t> reported(loaders.size(), 0);
    while (!g_bStop) {
        usleep(200 * 1000);
        for (std::size_t n = 0; n < loaders.size(); ++n) {
            const std::vector<std::string> commands = loaders[n]->Commands();
            if (commands.size() > reported[n] && commands.back() == ":QUIT_COMM#") {
                // The file is complete before the line that announces the end is printed.
                if (n == 0 && !flashOut.empty() && !WriteFlash(*loaders[n], flashOut)) {
                    std::fprintf(stderr, "afd-emulator: cannot write %s: %s\n", flashOut.c_str(),
                                 std::strerror(errno));
                }
                std::printf(
                    "%s%s download reached its quit command (%zu blocks received so "
                    "far).\n",
                    count == 1 ? "A" : loaders[n]->SlavePath().c_str(), count == 1 ? "" : ": a",
                    loaders[n]->Blocks().size());
                std::fflush(stdout);
            }
            reported[n] = commands.size();
        }
    }
    if (!link.empty()) {
        unlink(link.c_str());
    }
    return 0;
}
