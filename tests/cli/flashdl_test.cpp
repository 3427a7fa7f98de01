// flashdl run as a process: its exit statuses and messages, what the emulated flash holds
// afterwards, and the progress bar it draws on a terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "flashdl_runner.h"
#include "pty_boot_loader.h"
#include "temp_image.h"

namespace {

const std::string kPromptAndConnected =
    "Please reset the KESTRANE(VELMORA), waiting for connection ...\n"
    "Connected.\nProcessing ...\nTotal progress may need 5 minutes.\nPlease wait ...\n";
const std::string kSuccess = "Flash download successfully finished!\n";
const std::string kError =
    "Error occurs! Transmission stop. Please check all the devices, then try again.\n";
const std::string kMissing = "/nonexistent-folder/firmware.bin";
const std::string kNoPort = "/dev/afd-no-such-port";

struct RunCase {
    const char* name;
    QStringList arguments;  // IMAGE: a 3000-byte image; PORT: an emulated controller's port
    FaultPlan fault;        // of that controller
    int exitCode;
    std::string inStdout;
    std::string inStderr;
};
void PrintTo(const RunCase& c, std::ostream* os) {
    *os << c.name;
}

class Flashdl : public ::testing::TestWithParam<RunCase> {};

TEST_P(Flashdl, ExitStatusMessagesAndFlash) {
    const RunCase& c = GetParam();
    EmulatorOptions options;
    options.fault = c.fault;
    CPtyBootLoader controller(options);
    std::string error;
    ASSERT_TRUE(controller.Start(&error)) << error;
    const CTempImage image(3000);
    QStringList arguments = c.arguments;
    arguments.replaceInStrings("IMAGE", QString::fromStdString(image.path))
        .replaceInStrings("PORT", QString::fromStdString(controller.SlavePath()));
    const FlashdlResult result = RunFlashdl(arguments);
    EXPECT_EQ(result.exitCode, c.exitCode) << result.out << result.err;
    EXPECT_NE(result.out.find(c.inStdout), std::string::npos) << result.out;
    EXPECT_NE(result.err.find(c.inStderr), std::string::npos) << result.err;
    // Off a terminal there is no bar: no carriage returns, no escape sequences.
    EXPECT_EQ(result.out.find_first_of("\r\033"), std::string::npos) << result.out;
    if (c.exitCode == 2) {
        EXPECT_EQ(result.out.find("Please reset"), std::string::npos) << "no download starts";
    }
    if (c.arguments.contains("PORT")) {
        std::vector<std::uint8_t> flash = image.Flashed();
        if (c.exitCode != 0) {
            flash.assign(flash.size(), 0xFF);  // an error in the first erase leaves it blank
        }
        EXPECT_EQ(controller.ReadFlash(0x81000000, flash.size()), flash);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Flashdl,
    ::testing::Values(
        RunCase{"Help", {"--help"}, {}, 0, "--port PORT", ""},
        RunCase{"Version", {"--version"}, {}, 0, "1.0.0.1", ""},
        RunCase{"NoArguments", {}, {}, 2, "", "Usage: flashdl"},
        RunCase{"PortAndSimulate", {"--port", "COM1", "--simulate"}, {}, 2, "", "combined"},
        RunCase{"WordTimeout", {"--simulate", "--timeout", "ten"}, {}, 2, "", "ten"},
        RunCase{"UnknownOption", {"--speed", "9600", "IMAGE"}, {}, 2, "", "Unknown option 'speed'"},
        RunCase{"MissingImage",
                {"--port", "COM1", QString::fromStdString(kMissing)},
                {},
                2,
                "",
                kMissing + ": No such file or directory"},
        RunCase{"NonexistentPort",
                {"--port", QString::fromStdString(kNoPort), "IMAGE"},
                {},
                2,
                "",
                "Cannot open the serial port " + kNoPort},
        RunCase{"Simulate",
                {"--simulate", "IMAGE"},
                {},
                0,
                kSuccess + "Emulated flash matches the image (3000 bytes).\n",
                ""},
        RunCase{"Port", {"--port", "PORT", "IMAGE"}, {}, 0, kPromptAndConnected + kSuccess, ""},
        RunCase{"ErrorReply",
                {"--port", "PORT", "IMAGE"},
                {FaultKind::ErrorReply, 2, ":EX_ERR#"},
                1,
                kPromptAndConnected + kError,
                "reported an error"},
        RunCase{"Timeout",
                {"--port", "PORT", "--timeout", "1", "IMAGE"},
                {FaultKind::Silence, 2, ""},
                1,
                "did not answer within 1 second.\n" + kError,
                "stopped answering"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FlashdlOnTerminal, RedrawsTheBarOnlyWhenItsPercentageChanges) {
    CPtyBootLoader controller;
    std::string error;
    ASSERT_TRUE(controller.Start(&error)) << error;
    const CTempImage image(100 * 1024);  // 120 positions: many share a percentage
    const FlashdlResult result =
        RunFlashdl({"--port", QString::fromStdString(controller.SlavePath()),
                    QString::fromStdString(image.path)},
                   true);
    ASSERT_EQ(result.exitCode, 0) << result.err;

    std::vector<int> draws;
    const std::regex bar("\r\033\\[K\\[[#-]+\\] +([0-9]+)%");
    for (std::sregex_iterator it(result.out.begin(), result.out.end(), bar), end; it != end; ++it) {
        draws.push_back(std::stoi((*it)[1].str()));
    }
    // The percentages of positions 0, 1 and 5 to 120, each once.
    std::vector<int> percents = {0};
    for (int pos = 5; pos <= 120; ++pos) {
        if (100 * pos / 120 != percents.back()) {
            percents.push_back(100 * pos / 120);
        }
    }
    std::vector<int> changes = draws;
    changes.erase(std::unique(changes.begin(), changes.end()), changes.end());
    EXPECT_EQ(changes, percents);
    // Besides, it is drawn again once below each of the six log lines.
    EXPECT_EQ(draws.size(), percents.size() + 6);
    // The finished bar stays on a line of its own.
    const std::string full = "[" + std::string(50, '#') + "] 100%\n";
    EXPECT_EQ(result.out.substr(result.out.size() - std::min(full.size(), result.out.size())),
              full);
}

}  // namespace
