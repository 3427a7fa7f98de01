// What afd_bench runs: the image sizes of each case, the programs it starts, and which cases.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <vector>

namespace bench {

struct BenchConfig {
    bool smoke = false;
    bool markdown = false;
    std::set<std::string> cases;  // empty: all of them
    std::string emulatorProgram;
    std::string flashdlProgram;
    std::string guiProgram;  // empty when the desktop program is not built

    std::size_t pacedBytes = 256 * 1024;
    std::size_t latencyBytes = 256 * 1024;
    std::vector<int> latenciesUs = {1000, 16000};
    std::size_t unpacedBytes = 4 * 1024 * 1024;
    int unpacedRuns = 3;
    std::size_t memoryBytes = 4 * 1024 * 1024;  // flashdl and the window
    int startupRuns = 5;
    int programRuns = 3;  // flashdl and the window's download
    std::size_t parallelBytes = 64 * 1024;
    int parallelControllers = 4;
    int repaintSweeps = 10;
    int buttonPaints = 2000;
    int soakDownloads = 200;  // through one window, one after another
    double crcSeconds = 1.0;

    bool Runs(const std::string& name) const { return cases.empty() || cases.count(name) != 0; }
};

// The case names --case accepts.
const std::vector<std::string>& CaseNames();

// Parses the command line; false with `error` set for a usage error.
bool ParseBenchArguments(const std::vector<std::string>& args, BenchConfig* config,
                         std::string* error);
std::string BenchUsage();

}  // namespace bench
