// afd_bench_emulator: the emulated controller in a process of its own, so the benchmark's CPU
// figures count only the tool. Prints "port <device>", serves the line until its input ends, then
// checks the flash against the image and prints "result ok ..." or "result mismatch ...".
#include <unistd.h>

#if defined(__linux__)
#include <sys/prctl.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sim/pty_boot_loader.h"

namespace {

constexpr std::uint32_t kFlashBase = 0x81000000;

struct Options {
    EmulatorOptions emulator;
    std::string verifyImage;
};

bool ParseArguments(int argc, char* argv[], Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--paced") {
            options->emulator.paceLineRate = true;
        } else if (arg == "--latency-us" && i + 1 < argc) {
            options->emulator.replyLatencyUs = std::atoi(argv[++i]);
        } else if (arg == "--verify" && i + 1 < argc) {
            options->verifyImage = argv[++i];
        } else {
            return false;
        }
    }
    return true;
}

// Blocks until the benchmark closes our input: the download is over by then.
void WaitForEndOfInput() {
    char buffer[256];
    while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
    }
}

int Verify(const CPtyBootLoader& loader, const std::string& imagePath) {
    const std::size_t blocks = loader.Blocks().size();
    if (!imagePath.empty()) {
        std::ifstream file(imagePath, std::ios::binary);
        const std::vector<std::uint8_t> image((std::istreambuf_iterator<char>(file)),
                                              std::istreambuf_iterator<char>());
        if (!file.good() && !file.eof()) {
            std::printf("result mismatch cannot read %s\n", imagePath.c_str());
            return 1;
        }
        if (loader.ReadFlash(kFlashBase, image.size()) != image) {
            std::printf("result mismatch flash differs from %s (blocks=%zu)\n", imagePath.c_str(),
                        blocks);
            return 1;
        }
    }
    std::printf("result ok blocks=%zu tool_bytes=%zu\n", blocks, loader.BytesReceived());
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    Options options;
    if (!ParseArguments(argc, argv, &options)) {
        std::fprintf(stderr,
                     "usage: afd_bench_emulator [--paced] [--latency-us N] [--verify IMAGE]\n");
        return 2;
    }
#if defined(__linux__)
    // Paced replies sleep until the moment their last byte has crossed the line; the default
    // 50 µs timer slack would add to every one of them. The line thread inherits this.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    CPtyBootLoader loader(options.emulator);
    std::string error;
    if (!loader.Start(&error)) {
        std::printf("error %s\n", error.c_str());
        return 1;
    }
    std::printf("port %s\n", loader.SlavePath().c_str());
    std::fflush(stdout);
    WaitForEndOfInput();
    loader.Stop();
    const int status = Verify(loader, options.verifyImage);
    std::fflush(stdout);
    return status;
}
