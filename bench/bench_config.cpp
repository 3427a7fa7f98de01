// afd_bench's command line.
#include "bench_config.h"

#include <sstream>

namespace bench {

const std::vector<std::string>& CaseNames() {
    static const std::vector<std::string> names = {"paced", "latency", "unpaced",  "flashdl",
                                                   "gui",   "soak",    "parallel", "crc"};
    return names;
}

namespace {

void ApplySmoke(BenchConfig* config) {
    // A few seconds in all: every path runs, no figure means much.
    config->smoke = true;
    config->pacedBytes = 2 * 1024;
    config->latencyBytes = 2 * 1024;
    config->latenciesUs = {1000};
    config->unpacedBytes = 64 * 1024;
    config->unpacedRuns = 1;
    config->memoryBytes = 64 * 1024;
    config->startupRuns = 1;
    config->programRuns = 1;
    config->parallelBytes = 2 * 1024;
    config->repaintSweeps = 1;
    config->buttonPaints = 50;
    config->soakDownloads = 20;
    config->crcSeconds = 0.05;
}

bool KnownCase(const std::string& name) {
    for (const std::string& known : CaseNames()) {
        if (known == name) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool ParseBenchArguments(const std::vector<std::string>& args, BenchConfig* config,
                         std::string* error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--smoke") {
            ApplySmoke(config);
        } else if (arg == "--markdown") {
            config->markdown = true;
        } else if (arg == "--case" && hasValue) {
            std::istringstream names(args[++i]);
            std::string name;
            while (std::getline(names, name, ',')) {
                if (!KnownCase(name)) {
                    *error = "unknown case \"" + name + "\"";
                    return false;
                }
                config->cases.insert(name);
            }
        } else if (arg == "--emulator" && hasValue) {
            config->emulatorProgram = args[++i];
        } else if (arg == "--flashdl" && hasValue) {
            config->flashdlProgram = args[++i];
        } else if (arg == "--gui" && hasValue) {
            config->guiProgram = args[++i];
        } else {
            *error = "unexpected argument \"" + arg + "\"";
            return false;
        }
    }
    return true;
}

std::string BenchUsage() {
    std::string names;
    for (const std::string& name : CaseNames()) {
        names += (names.empty() ? "" : ",") + name;
    }
    return "usage: afd_bench [--smoke] [--markdown] [--case " + names +
           "]\n"
           "                 [--emulator PROGRAM] [--flashdl PROGRAM] [--gui PROGRAM]\n"
           "  --smoke     small images, a few seconds in all (figures mean little)\n"
           "  --markdown  print the table as Markdown\n"
           "  --case      run only these cases (comma-separated)\n";
}

}  // namespace bench
