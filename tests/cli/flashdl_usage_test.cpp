// flashdl's command line and the failures before any download starts: help, version, bad
// options, images that cannot be read and ports that cannot be opened.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "flashdl_runner.h"
#include "temp_image.h"

namespace {

struct UsageCase {
    const char* name;
    QStringList arguments;
    int exitCode;
    std::string inStdout;  // must appear on stdout ("" for no check)
    std::string inStderr;  // must appear on stderr ("" for no check)
};
// Names the case in test listings instead of dumping its bytes.
void PrintTo(const UsageCase& c, std::ostream* os) {
    *os << c.name;
}

class CommandLine : public ::testing::TestWithParam<UsageCase> {};

TEST_P(CommandLine, ExitStatusAndMessage) {
    const UsageCase& c = GetParam();
    const FlashdlResult result = RunFlashdl(c.arguments);
    ASSERT_TRUE(result.finished) << result.err;
    EXPECT_EQ(result.exitCode, c.exitCode) << result.out << result.err;
    EXPECT_NE(result.out.find(c.inStdout), std::string::npos) << result.out;
    EXPECT_NE(result.err.find(c.inStderr), std::string::npos) << result.err;
    if (c.exitCode != 0) {
        // Nothing that looks like a download went on.
        EXPECT_EQ(result.out.find("Please reset"), std::string::npos) << result.out;
    }
}

const std::string kMissing = "/nonexistent-folder/firmware.bin";

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLine,
    ::testing::Values(
        UsageCase{"Help", {"--help"}, 0, "--port PORT", ""},
        UsageCase{"ShortHelp", {"-h"}, 0, "--simulate", ""},
        UsageCase{"Version", {"--version"}, 0, "1.0.0.1", ""},
        UsageCase{"ListPorts", {"--list-ports"}, 0, "COM1", ""},
        UsageCase{"UnknownOption", {"--speed", "9600"}, 2, "", "speed"},
        UsageCase{"NoArguments", {}, 2, "", "Usage: flashdl"},
        UsageCase{"PortWithoutImage", {"--port", "COM1"}, 2, "", "image"},
        UsageCase{"PortWithoutName", {"--port"}, 2, "", "port"},
        UsageCase{"PortAndSimulate", {"--port", "COM1", "--simulate"}, 2, "", "combined"},
        UsageCase{"TwoImages", {"--port", "COM1", "a.bin", "b.bin"}, 2, "", "one image"},
        UsageCase{"ZeroTimeout", {"--simulate", "--timeout", "0"}, 2, "", "--timeout"},
        UsageCase{"WordTimeout", {"--simulate", "--timeout", "ten"}, 2, "", "ten"},
        UsageCase{"MissingImage",
                  {"--port", "COM1", QString::fromStdString(kMissing)},
                  2,
                  "",
                  kMissing + ": No such file or directory"},
        UsageCase{"MissingImageSimulated",
                  {"--simulate", QString::fromStdString(kMissing)},
                  2,
                  "",
                  kMissing},
        UsageCase{"FolderAsImage",
                  {"--port", "COM1",
                   QString::fromStdString(std::filesystem::temp_directory_path().string())},
                  2,
                  "",
                  "folder"}),
    [](const ::testing::TestParamInfo<UsageCase>& info) { return std::string(info.param.name); });

TEST(NonexistentPort, ExitsTwoNamingThePort) {
    const CTempImage image(3000);
    const std::string port = "/dev/afd-no-such-port";
    const FlashdlResult result =
        RunFlashdl({"--port", QString::fromStdString(port), QString::fromStdString(image.path)});
    ASSERT_TRUE(result.finished) << result.err;
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("Cannot open the serial port " + port), std::string::npos)
        << result.err;
    EXPECT_EQ(result.out, "");
}

}  // namespace
