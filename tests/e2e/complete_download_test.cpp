// Complete downloads through the serial control and a pseudo-terminal, of images of every
// awkward size and over a line that delivers replies oddly: what crossed the line, what the
// emulated flash holds, and what the log box, progress bar and buttons show.
#include <algorithm>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "e2e_support.h"
#include "temp_image.h"

namespace {

using namespace e2e;

struct DownloadCase {
    const char* name;
    std::size_t bytes;
    FaultKind quirk;
    int atCommand;
};
void PrintTo(const DownloadCase& c, std::ostream* os) {
    *os << c.name;
}

class CompleteDownload : public EndToEnd, public ::testing::WithParamInterface<DownloadCase> {};

TEST_P(CompleteDownload, WireFlashProgressLogAndButtons) {
    const DownloadCase& c = GetParam();
    const CTempImage image(c.bytes);
    EmulatorOptions options = WithFault(c.quirk, c.atCommand);
    // Like a USB adapter's latency timer: the late ":OK#" and the version reply come as two reads.
    options.replyLatencyUs = c.quirk == FaultKind::LateSecondOk ? 10000 : 0;
    Start(options, image.path);
    ASSERT_EQ(download.RunUntilEnd(kHangGuardMs), DownloadEnd::Success) << download.LogText();

    std::vector<std::string> sent = loader->Commands();
    if (c.quirk == FaultKind::LateSecondOk) {
        // The late ":OK#" brings a second version request, which must not bring a second erase.
        const auto again = std::find(sent.begin() + 1, sent.end(), ":GET_VER00#");
        ASSERT_NE(again, sent.end());
        sent.erase(again);
    }
    EXPECT_EQ(sent, ExpectedCommands(c.bytes));
    const std::vector<std::uint8_t> flashed = image.Flashed();
    EXPECT_EQ(loader->ReadFlash(0x81000000, flashed.size()), flashed);

    // The erase phase moves the bar after the first sector and every fourth one, then each block.
    const int upper = 20 + static_cast<int>(flashed.size() / 1024);
    std::vector<int> positions = {0, 1};
    for (int pos = 5; pos <= upper; ++pos) {
        positions.push_back(pos);
    }
    ASSERT_EQ(download.ProgressRanges(), (std::vector<std::pair<int, int>>{{0, upper}}));
    EXPECT_EQ(download.ProgressRecords().front().kind, ProgressRecord::Kind::Range);
    EXPECT_EQ(download.ProgressPositions(), positions);
    EXPECT_EQ(download.LogText(), kPromptLine + kConnectedLines + kSuccessLine);
    EXPECT_TRUE(download.StartEnabled());
    EXPECT_TRUE(download.OpenEnabled());
}

using K = FaultKind;
INSTANTIATE_TEST_SUITE_P(
    Cases, CompleteDownload,
    ::testing::Values(
        DownloadCase{"Bytes0", 0, K::None, -1}, DownloadCase{"Bytes1023", 1023, K::None, -1},
        DownloadCase{"Bytes1024", 1024, K::None, -1}, DownloadCase{"Bytes1025", 1025, K::None, -1},
        DownloadCase{"Bytes2048", 2048, K::None, -1}, DownloadCase{"Bytes2500", 2500, K::None, -1},
        DownloadCase{"Bytes102400", 100 * 1024, K::None, -1},
        DownloadCase{"Bytes409600", 400 * 1024, K::None, -1},
        DownloadCase{"SplitOk", kImageBytes, K::SplitReply, 0},
        DownloadCase{"SplitRamReply", kImageBytes, K::SplitReply, kFirstData},
        DownloadCase{"ZeroAndJunkAfterOk", kImageBytes, K::ZeroAfterReply, 0},
        DownloadCase{"ZeroAndJunkAfterWrite", kImageBytes, K::ZeroAfterReply, kFirstData + 1},
        DownloadCase{"LateSecondOk", kImageBytes, K::LateSecondOk, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
