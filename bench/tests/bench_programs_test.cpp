// The benchmark's programs as the benchmark runs them: afd_bench's model and table, its usage
// error, and afd_bench_gui's start-up figures and download through the real window.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "child_process.h"
#include "emulator_process.h"
#include "sim/demo_image.h"

namespace {

constexpr int kGuardMs = 120000;

struct ProgramRun {
    bench::ChildExit exit;
    std::vector<std::string> lines;
};

ProgramRun RunProgram(std::vector<std::string> argv) {
    bench::ChildLaunch launch;
    launch.argv = std::move(argv);
    launch.pipeStdout = true;
    launch.env = {{"QT_QPA_PLATFORM", "offscreen"}};
    bench::CChildProcess child;
    std::string error;
    ProgramRun run;
    if (!child.Start(launch, &error)) {
        ADD_FAILURE() << error;
        return run;
    }
    std::string line;
    while (child.ReadLine(&line, kGuardMs)) {
        run.lines.push_back(line);
    }
    run.exit = child.Wait(kGuardMs);
    return run;
}

bool HasLine(const ProgramRun& run, const std::string& text) {
    for (const std::string& line : run.lines) {
        if (line.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// afd_bench_gui's "name value" lines.
std::map<std::string, double> Values(const ProgramRun& run) {
    std::map<std::string, double> values;
    for (const std::string& line : run.lines) {
        std::istringstream fields(line);
        std::string name;
        double value = 0;
        if (fields >> name >> value) {
            values[name] = value;
        }
    }
    return values;
}

TEST(BenchProgram, PrintsTheModelItMeasuresAgainstAndItsTable) {
    const ProgramRun run =
        RunProgram({AFD_BENCH_PROGRAM, "--smoke", "--case", "crc", "--markdown"});
    EXPECT_TRUE(run.exit.exited);
    EXPECT_EQ(run.exit.code, 0);
    EXPECT_TRUE(HasLine(run, "fixed: 3724 bytes; per block: 1056 + 14 = 1070 bytes"));
    EXPECT_TRUE(HasLine(run, " 68 x (  20 +  7)  erase + \":EX_OK#\""));
    EXPECT_TRUE(HasLine(run, "2 KiB image: 2 blocks, 5864 bytes, 143 round trips, 0.51 s"));
    EXPECT_TRUE(
        HasLine(run, "| figure | measured | model / reference | ratio | target | verdict |"));
    EXPECT_TRUE(HasLine(run, "| CRC-8 (table-driven) throughput | "));
}

TEST(BenchProgram, AnUnknownCaseIsAUsageError) {
    const std::string log = ::testing::TempDir() + "/bench_usage.log";
    bench::ChildLaunch launch;
    launch.argv = {AFD_BENCH_PROGRAM, "--case", "turbo"};
    launch.stdoutFile = log;
    bench::CChildProcess child;
    std::string error;
    ASSERT_TRUE(child.Start(launch, &error)) << error;
    EXPECT_EQ(child.Wait(kGuardMs).code, 2);
    std::ifstream file(log);
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_NE(text.str().find("unknown case \"turbo\""), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("usage: afd_bench"), std::string::npos) << text.str();
}

class GuiBenchProgram : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::string(AFD_BENCH_GUI).empty()) {
            GTEST_SKIP() << "the desktop program is not built";
        }
    }
};

TEST_F(GuiBenchProgram, StartUpFiguresComeInTheOrderThingsHappen) {
    const ProgramRun run = RunProgram({AFD_BENCH_GUI, "--startup-only"});
    ASSERT_EQ(run.exit.code, 0);
    std::map<std::string, double> v = Values(run);
    for (const char* name : {"startup_main_ms", "startup_application_ms", "startup_dialog_ms",
                             "startup_first_paint_ms", "startup_first_frame_ms"}) {
        ASSERT_EQ(v.count(name), 1u) << name;
    }
    EXPECT_LE(v["startup_main_ms"], v["startup_application_ms"]);
    EXPECT_LE(v["startup_application_ms"], v["startup_dialog_ms"]);
    EXPECT_LE(v["startup_dialog_ms"], v["startup_first_paint_ms"]);
    EXPECT_LE(v["startup_first_paint_ms"], v["startup_first_frame_ms"]);
    EXPECT_GT(v["startup_peak_rss_kb"], 0.0);
    EXPECT_FALSE(HasLine(run, "download_end"));
}

TEST_F(GuiBenchProgram, DownloadsThroughTheWindowAndRepaintsOnlyWhenTheBarMoves) {
    const std::string image = ::testing::TempDir() + "/gui_bench_image.bin";
    {
        const std::vector<std::uint8_t> bytes = MakeDemoImage(5000, 11);
        std::ofstream file(image, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    bench::CEmulatorProcess emulator(AFD_BENCH_EMULATOR);
    bench::EmulatorSettings settings;
    settings.verifyImage = image;
    std::string error;
    ASSERT_TRUE(emulator.Start(settings, &error)) << error;
    const ProgramRun run = RunProgram({AFD_BENCH_GUI, "--port", emulator.Port(), "--image", image,
                                       "--sweeps", "1", "--paints", "20"});
    std::string report;
    EXPECT_TRUE(emulator.Finish(&report)) << report;
    EXPECT_EQ(run.exit.code, 0);
    EXPECT_TRUE(HasLine(run, "download_end success"));
    std::map<std::string, double> v = Values(run);
    EXPECT_EQ(v["download_blocks"], 5.0);
    EXPECT_GE(v["peak_rss_kb"], v["startup_peak_rss_kb"]);
    // Moving the fill a pixel repaints (rounding may skip the odd pixel); staying put does not,
    // but for the one call in a thousand that crosses a pixel.
    EXPECT_GT(v["setpos_repaint_paints_per_call"], 0.9);
    EXPECT_LE(v["setpos_repaint_paints_per_call"], 1.0);
    EXPECT_LT(v["setpos_same_width_paints_per_call"], 0.002);
    EXPECT_EQ(v["button_paints_per_call"], 1.0);
}

}  // namespace
