// flashdl run as a process: its exit statuses and messages, and what the emulated flash holds
// afterwards.
#include <gtest/gtest.h>

#include <ostream>
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

}  // namespace
