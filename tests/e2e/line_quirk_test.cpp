// Replies the line delivers oddly but that still mean what they say: split over two reads, with
// zero bytes before or junk after, and a late second ":OK#". Each download must still succeed.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "headless_download.h"
#include "temp_image.h"

namespace {

using namespace e2e;

constexpr int kHangGuardMs = 30000;
constexpr std::size_t kImageBytes = 2500;

struct QuirkCase {
    const char* name;
    FaultKind kind;
    int atCommand;
};
// Names the case in test listings instead of dumping its bytes.
void PrintTo(const QuirkCase& c, std::ostream* os) {
    *os << c.name;
}

class LineQuirk : public ::testing::TestWithParam<QuirkCase> {};

TEST_P(LineQuirk, DownloadStillSucceeds) {
    const QuirkCase& c = GetParam();
    const CTempImage image(kImageBytes);
    CEmulatedController controller(WithFault(c.kind, c.atCommand));
    ASSERT_TRUE(controller.Started()) << controller.StartError();

    CHeadlessDownload download;
    download.Start(controller.Port(), image.path);
    ASSERT_EQ(download.RunUntilEnd(kHangGuardMs), DownloadEnd::Success) << download.LogText();

    EXPECT_EQ(controller.Loader().Commands(), ExpectedCommands(kImageBytes));
    const std::vector<std::uint8_t> flashed = image.Flashed();
    EXPECT_EQ(controller.Loader().ReadFlash(0x81000000, flashed.size()), flashed);
    EXPECT_EQ(download.LogText(), kPrompt + kConnected + kSuccess);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, LineQuirk,
    ::testing::Values(
        QuirkCase{"SplitOk", FaultKind::SplitReply, 0},
        QuirkCase{"SplitVersion", FaultKind::SplitReply, kGetVersionCommand},
        QuirkCase{"SplitBlankCheck", FaultKind::SplitReply, kFirstEraseCommand + 1},
        QuirkCase{"SplitRamReply", FaultKind::SplitReply, kFirstDataCommand},
        QuirkCase{"NoiseBeforeOk", FaultKind::NoiseBeforeReply, 0},
        QuirkCase{"NoiseBeforeErase", FaultKind::NoiseBeforeReply, kFirstEraseCommand},
        QuirkCase{"ZeroAndJunkAfterOk", FaultKind::ZeroAfterReply, 0},
        QuirkCase{"ZeroAndJunkAfterWrite", FaultKind::ZeroAfterReply, kFirstDataCommand + 1}),
    [](const ::testing::TestParamInfo<QuirkCase>& info) { return std::string(info.param.name); });

// A second ":OK#" brings a second version request; the second version reply must not start a
// second erase, or blocks would go to the wrong addresses.
TEST(LateSecondOk, AsksForTheVersionTwiceAndFlashesOnce) {
    const CTempImage image(kImageBytes);
    EmulatorOptions options = WithFault(FaultKind::LateSecondOk, 0);
    // Like a USB adapter's latency timer: a gap between two replies, so that the late ":OK#"
    // and the version reply that follows it reach the tool as two reads, not one.
    options.replyLatencyUs = 10000;
    CEmulatedController controller(options);
    ASSERT_TRUE(controller.Started()) << controller.StartError();

    CHeadlessDownload download;
    download.Start(controller.Port(), image.path);
    ASSERT_EQ(download.RunUntilEnd(kHangGuardMs), DownloadEnd::Success) << download.LogText();

    std::vector<std::string> sent = controller.Loader().Commands();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), ":GET_VER00#"), 2);
    // Apart from the repeated request, the conversation is the usual one.
    const auto second = std::find(sent.begin() + 1, sent.end(), ":GET_VER00#");
    ASSERT_NE(second, sent.end());
    sent.erase(second);
    EXPECT_EQ(sent, ExpectedCommands(kImageBytes));
    const std::vector<std::uint8_t> flashed = image.Flashed();
    EXPECT_EQ(controller.Loader().ReadFlash(0x81000000, flashed.size()), flashed);
    EXPECT_EQ(download.LogText(), kPrompt + kConnected + kSuccess);
}

}  // namespace
