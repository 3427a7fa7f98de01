// afd_bench: runs complete downloads through the real serial control against the emulated
// controller and prints each figure with the line's physical limit, the ratio and its target.
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "bench_cases.h"
#include "bench_config.h"
#include "machine_info.h"

namespace {

// A fresh folder for the images, removed with everything in it at the end.
class CWorkDir {
public:
    CWorkDir() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr ? tmp : "/tmp") + "/afd-bench-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
        }
    }
    ~CWorkDir() {
        std::error_code ignored;
        if (!m_path.empty()) {
            std::filesystem::remove_all(m_path, ignored);
        }
    }
    CWorkDir(const CWorkDir&) = delete;
    CWorkDir& operator=(const CWorkDir&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

void PrintModel(const bench::CWireModel& model, std::size_t pacedBytes) {
    std::printf(
        "The line's limit (115200 8N1: 10 bits a byte, %.0f bytes/s), bytes that must "
        "cross:\n",
        bench::kLineBytesPerSecond);
    for (const bench::Exchange& exchange : model.FixedExchanges()) {
        std::printf("  %3zu x (%4zu + %2zu)  %s\n", exchange.count, exchange.toolBytes,
                    exchange.loaderBytes, exchange.what.c_str());
    }
    const bench::Exchange& block = model.BlockExchange();
    std::printf("  fixed: %zu bytes; per block: %zu + %zu = %zu bytes  %s\n", model.FixedBytes(),
                block.toolBytes, block.loaderBytes, model.BytesPerBlock(), block.what.c_str());
    const std::size_t blocks = bench::CWireModel::BlocksOf(pacedBytes);
    std::printf("  %zu KiB image: %zu blocks, %zu bytes, %zu round trips, %.2f s\n\n",
                pacedBytes / 1024, blocks, model.TotalBytes(blocks), model.RoundTrips(blocks),
                model.WireSeconds(blocks));
}

}  // namespace

int main(int argc, char* argv[]) {
    std::vector<std::string> args(argv + 1, argv + argc);
    bench::BenchConfig config;
    config.emulatorProgram = AFD_BENCH_EMULATOR;
    config.flashdlProgram = AFD_BENCH_FLASHDL;
    config.guiProgram = AFD_BENCH_GUI;
    std::string error;
    if (!bench::ParseBenchArguments(args, &config, &error)) {
        std::fprintf(stderr, "afd_bench: %s\n%s", error.c_str(), bench::BenchUsage().c_str());
        return 2;
    }
    // The download runs on this thread's event loop; no window is needed.
    QCoreApplication application(argc, argv);
    const CWorkDir work;
    if (work.Path().empty()) {
        std::fprintf(stderr, "afd_bench: cannot create a work folder\n");
        return 1;
    }
    std::printf("Machine: %s%s\n\n", bench::MachineSummary().c_str(),
                config.smoke ? "  [smoke run: small images, figures mean little]" : "");
    bench::CBenchCases cases(config, work.Path());
    PrintModel(cases.Model(), config.pacedBytes);

    using Case = void (bench::CBenchCases::*)();
    const std::pair<const char*, Case> kCases[] = {
        {"crc", &bench::CBenchCases::RunCrc},
        {"paced", &bench::CBenchCases::RunPaced},
        {"latency", &bench::CBenchCases::RunLatency},
        {"unpaced", &bench::CBenchCases::RunUnpaced},
        {"flashdl", &bench::CBenchCases::RunFlashdl},
        {"gui", &bench::CBenchCases::RunGui},
        {"soak", &bench::CBenchCases::RunSoak},
        {"parallel", &bench::CBenchCases::RunParallel},
    };
    for (const auto& [name, run] : kCases) {
        if (config.Runs(name)) {
            (cases.*run)();
        }
    }

    const bench::CFigureTable& table = cases.Table();
    std::fputs(config.markdown ? table.Markdown().c_str() : table.Text().c_str(), stdout);
    std::printf("\n%d target(s) missed.\n", table.Gaps());
    if (!cases.Problems().empty()) {
        std::printf("%zu case(s) broken:\n", cases.Problems().size());
        for (const std::string& problem : cases.Problems()) {
            std::printf("  %s\n", problem.c_str());
        }
        return 1;
    }
    return 0;
}
