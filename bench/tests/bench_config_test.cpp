// afd_bench's command line: the smoke sizes, the case list and the usage errors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bench_config.h"

namespace {

TEST(BenchConfig, TheFullRunUsesTheImageSizesTheFiguresAreQuotedFor) {
    bench::BenchConfig config;
    std::string error;
    ASSERT_TRUE(bench::ParseBenchArguments({}, &config, &error)) << error;
    EXPECT_FALSE(config.smoke);
    EXPECT_EQ(config.pacedBytes, 256u * 1024);
    EXPECT_EQ(config.latencyBytes, 256u * 1024);
    EXPECT_EQ(config.latenciesUs, (std::vector<int>{1000, 16000}));
    EXPECT_EQ(config.unpacedBytes, 4u * 1024 * 1024);
    EXPECT_EQ(config.memoryBytes, 4u * 1024 * 1024);
    for (const std::string& name : bench::CaseNames()) {
        EXPECT_TRUE(config.Runs(name)) << name;
    }
}

TEST(BenchConfig, SmokeKeepsEveryCaseButMakesItSmall) {
    bench::BenchConfig config;
    std::string error;
    ASSERT_TRUE(bench::ParseBenchArguments({"--smoke"}, &config, &error)) << error;
    EXPECT_TRUE(config.smoke);
    EXPECT_LE(config.pacedBytes, 4u * 1024);
    EXPECT_LE(config.unpacedBytes, 64u * 1024);
    EXPECT_LE(config.memoryBytes, 64u * 1024);
    EXPECT_EQ(config.startupRuns, 1);
    EXPECT_EQ(config.unpacedRuns, 1);
    EXPECT_EQ(config.programRuns, 1);
    ASSERT_FALSE(config.latenciesUs.empty());  // the latency option's path still runs
    EXPECT_TRUE(config.cases.empty());
}

TEST(BenchConfig, CasesAreChosenByName) {
    bench::BenchConfig config;
    std::string error;
    ASSERT_TRUE(bench::ParseBenchArguments({"--case", "paced,crc", "--markdown"}, &config, &error))
        << error;
    EXPECT_TRUE(config.markdown);
    EXPECT_TRUE(config.Runs("paced"));
    EXPECT_TRUE(config.Runs("crc"));
    EXPECT_FALSE(config.Runs("gui"));
    EXPECT_FALSE(config.Runs("unpaced"));
}

TEST(BenchConfig, ProgramsCanBeNamed) {
    bench::BenchConfig config;
    std::string error;
    ASSERT_TRUE(bench::ParseBenchArguments(
        {"--emulator", "/opt/e", "--flashdl", "/opt/f", "--gui", "/opt/g"}, &config, &error));
    EXPECT_EQ(config.emulatorProgram, "/opt/e");
    EXPECT_EQ(config.flashdlProgram, "/opt/f");
    EXPECT_EQ(config.guiProgram, "/opt/g");
}

TEST(BenchConfig, UsageErrorsSayWhatIsWrong) {
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"--case", "paced,fast"}, "unknown case \"fast\""},
        {{"--fast"}, "unexpected argument \"--fast\""},
        {{"--case"}, "unexpected argument \"--case\""},
        {{"--emulator"}, "unexpected argument \"--emulator\""},
    };
    for (const auto& [args, message] : cases) {
        bench::BenchConfig config;
        std::string error;
        EXPECT_FALSE(bench::ParseBenchArguments(args, &config, &error)) << message;
        EXPECT_EQ(error, message);
    }
}

}  // namespace
