// flashdl flashing the emulated boot loader: what it prints, its exit status, what the flash
// holds afterwards, and the progress bar it draws on a terminal.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "emulator_options.h"
#include "flashdl_runner.h"
#include "pty_boot_loader.h"
#include "temp_image.h"

namespace {

const std::string kPrompt = "Please reset the KESTRANE(VELMORA), waiting for connection ...\n";
const std::string kConnected =
    "Connected.\nProcessing ...\nTotal progress may need 5 minutes.\nPlease wait ...\n";
const std::string kSuccess = "Flash download successfully finished!\n";
const std::string kError =
    "Error occurs! Transmission stop. Please check all the devices, then try again.\n";
const std::string kCheckDevices =
    "Please make sure all devices is OK, then click Start Download.\n";

constexpr int kFirstEraseCommand = 2;
constexpr int kFirstDataCommand = 2 + 2 * 68;

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(Simulate, FlashesTheEmulatorAndSaysTheFlashMatches) {
    const CTempImage image(3000);
    const FlashdlResult result = RunFlashdl({"--simulate", QString::fromStdString(image.path)});
    ASSERT_TRUE(result.finished) << result.err;
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    const std::size_t firstLineEnd = result.out.find('\n');
    ASSERT_NE(firstLineEnd, std::string::npos) << result.out;
    EXPECT_NE(result.out.find(image.path + " (3000 bytes)"), std::string::npos) << result.out;
    EXPECT_EQ(result.out.substr(firstLineEnd + 1),
              kPrompt + kConnected + kSuccess + "Emulated flash matches the image (3000 bytes).\n");
    // Not a terminal: no bar, no carriage returns, no escape sequences.
    EXPECT_EQ(result.out.find_first_of("\r\033"), std::string::npos);
    EXPECT_EQ(result.err, "");
}

class PortFlash : public ::testing::Test {
protected:
    void StartController(EmulatorOptions options = {}) {
        controller = std::make_unique<CPtyBootLoader>(options);
        std::string error;
        ASSERT_TRUE(controller->Start(&error)) << error;
    }
    FlashdlResult Flash(const CTempImage& image, QStringList extra = {}) {
        QStringList arguments = {"--port", QString::fromStdString(controller->SlavePath())};
        arguments << extra << QString::fromStdString(image.path);
        return RunFlashdl(arguments);
    }
    std::unique_ptr<CPtyBootLoader> controller;
};

TEST_F(PortFlash, ExitsZeroAndTheFlashHoldsTheImage) {
    StartController();
    const CTempImage image(5000);
    const FlashdlResult result = Flash(image);
    ASSERT_TRUE(result.finished) << result.err;
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_EQ(result.out, kPrompt + kConnected + kSuccess);
    EXPECT_EQ(result.err, "");
    const std::vector<std::uint8_t> flashed = image.Flashed();
    EXPECT_EQ(controller->ReadFlash(0x81000000, flashed.size()), flashed);
    EXPECT_EQ(controller->Commands().back(), ":QUIT_COMM#");
}

struct FailureCase {
    const char* name;
    FaultKind kind;
    int atCommand;
    const char* text;
    std::string outTail;  // how stdout ends
    std::string inStderr;
};
// Names the case in test listings instead of dumping its bytes.
void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class FailedDownload : public PortFlash, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailedDownload, ExitsOneWithTheLogLineAndAMessage) {
    const FailureCase& c = GetParam();
    EmulatorOptions options;
    options.fault.kind = c.kind;
    options.fault.atCommand = c.atCommand;
    options.fault.text = c.text;
    StartController(options);
    const CTempImage image(3000);
    const FlashdlResult result = Flash(image, {"--timeout", "2"});
    ASSERT_TRUE(result.finished) << result.err;
    EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
    EXPECT_TRUE(EndsWith(result.out, c.outTail)) << result.out;
    EXPECT_NE(result.err.find(c.inStderr), std::string::npos) << result.err;
    EXPECT_EQ(result.out.find(kSuccess), std::string::npos) << result.out;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FailedDownload,
    ::testing::Values(
        FailureCase{"EraseError", FaultKind::ErrorReply, kFirstEraseCommand, ":EX_ERR#",
                    kPrompt + kConnected + kError, "reported an error"},
        FailureCase{"WriteError", FaultKind::ErrorReply, kFirstDataCommand + 1, ":WE_ERR#",
                    kPrompt + kConnected + kError, "reported an error"},
        FailureCase{"UnknownReply", FaultKind::UnknownReply, kFirstEraseCommand, "", kCheckDevices,
                    "reset"},
        FailureCase{"Silence", FaultKind::Silence, kFirstDataCommand, "",
                    "did not answer within 2 seconds.\n" + kError, "stopped answering"},
        FailureCase{"HangUp", FaultKind::HangUp, kFirstDataCommand, "", kError, "lost"}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

// The bar's percentage for each position of a download of `blocks` blocks, with repeats of the
// same percentage dropped: exactly what a terminal must be shown.
std::vector<int> ExpectedBarPercents(int blocks) {
    const int upper = 20 + blocks;
    std::vector<int> positions = {0, 1};
    for (int pos = 5; pos <= upper; ++pos) {
        positions.push_back(pos);
    }
    std::vector<int> percents;
    for (const int pos : positions) {
        const int percent = 100 * pos / upper;
        if (percents.empty() || percents.back() != percent) {
            percents.push_back(percent);
        }
    }
    return percents;
}

TEST_F(PortFlash, OnATerminalRedrawsTheBarOnlyWhenItsPercentageChanges) {
    StartController();
    const CTempImage image(100 * 1024);  // 120 positions: many share a percentage
    const FlashdlResult result =
        RunFlashdlOnTerminal({"--port", QString::fromStdString(controller->SlavePath()),
                              QString::fromStdString(image.path)});
    ASSERT_TRUE(result.finished) << result.err;
    ASSERT_EQ(result.exitCode, 0) << result.err;

    // Every redraw starts by going back to the start of the line and erasing it.
    const std::string erase = "\r\033[K";
    std::vector<std::string> pieces;
    for (std::size_t at = 0; at <= result.out.size();) {
        const std::size_t next = result.out.find(erase, at);
        pieces.push_back(result.out.substr(at, next - at));
        if (next == std::string::npos) {
            break;
        }
        at = next + erase.size();
    }
    const std::regex barPattern(R"(\[(#*)(-*)\] +(\d+)%(\n?))");
    std::vector<int> progressDraws;
    std::string lines;
    std::string lastBar;
    bool afterLine = false;
    for (const std::string& piece : pieces) {
        std::smatch match;
        if (piece.empty()) {
            continue;
        }
        if (!std::regex_match(piece, match, barPattern)) {
            lines += piece;
            afterLine = true;
            continue;
        }
        const std::string bar = match[1].str() + match[2].str() + match[3].str();
        if (afterLine) {
            // A log line pushed the bar down: it is drawn again exactly as it was.
            EXPECT_EQ(bar, lastBar);
        } else {
            progressDraws.push_back(std::stoi(match[3].str()));
        }
        lastBar = bar;
        afterLine = false;
    }
    EXPECT_EQ(progressDraws, ExpectedBarPercents(100));
    EXPECT_EQ(lines, kPrompt + kConnected + kSuccess);
    // The finished bar stays on a line of its own.
    EXPECT_TRUE(EndsWith(result.out, "[##################################################] 100%\n"))
        << result.out.substr(result.out.size() > 200 ? result.out.size() - 200 : 0);
}

}  // namespace
