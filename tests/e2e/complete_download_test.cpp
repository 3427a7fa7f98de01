// Downloads through the serial control and a pseudo-terminal, of images of every awkward size and
// over a line that delivers replies oddly: what crossed the line, what the emulated flash holds,
// and what the log box, progress bar and buttons show; replies out of order, which reset the
// download; and no usable image, which sends nothing.
#include <algorithm>
#include <filesystem>
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

// Success replies the boot loader never gives at that point must not steer the download anywhere
// harmful (no success before the quit, no blank check of a sector not being erased): they reset it.
struct OutOfOrderCase {
    const char* name;
    int atCommand;
    const char* reply;
};
void PrintTo(const OutOfOrderCase& c, std::ostream* os) {
    *os << c.name;
}

class OutOfOrderReply : public EndToEnd, public ::testing::WithParamInterface<OutOfOrderCase> {};

TEST_P(OutOfOrderReply, ResetsAndSendsNothingMore) {
    const OutOfOrderCase& c = GetParam();
    const CTempImage image(kImageBytes);
    Start(WithFault(FaultKind::ErrorReply, c.atCommand, c.reply), image.path);
    ASSERT_EQ(download.RunUntilEnd(kHangGuardMs), DownloadEnd::Unrecognised) << download.LogText();
    EXPECT_EQ(download.LogText(), kCheckDevicesLine);
    EXPECT_TRUE(download.StartEnabled() && download.OpenEnabled());
    PumpFor(300);  // three wake-up ticks
    const std::vector<std::string> all = ExpectedCommands(kImageBytes);
    EXPECT_EQ(loader->Commands(), std::vector<std::string>(all.begin(), all.begin() + c.atCommand));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, OutOfOrderReply,
    ::testing::Values(OutOfOrderCase{"QuitOkInTheErase", 5, ":QUIT_OK#"},
                      OutOfOrderCase{"QuitOkForABlock", kFirstData, ":QUIT_OK#"},
                      OutOfOrderCase{"EraseOkForACopy", kFirstData + 1, ":EX_OK#"},
                      OutOfOrderCase{"RamOkInTheErase", 3, ":RB_OK#"},
                      OutOfOrderCase{"WriteOkForABlankCheck", 5, ":WE_OK#"},
                      OutOfOrderCase{"RamOkRepeatedForACopy", kFirstData + 1, ":RB_OK#"},
                      OutOfOrderCase{"OtherVersion", 1, ":English Ver2.0#"},
                      OutOfOrderCase{"VersionInCapitals", 1, ":ENGLISH VER1.0#"},
                      OutOfOrderCase{"OkInSmallLetters", 0, ":ok#"}),
    [](const auto& info) { return std::string(info.param.name); });

struct ImageCase {
    const char* name;
    std::string path;
    std::string log;
};
void PrintTo(const ImageCase& c, std::ostream* os) {
    *os << c.name;
}

class NoImage : public EndToEnd, public ::testing::WithParamInterface<ImageCase> {};

TEST_P(NoImage, LogSaysWhyAndNothingIsSent) {
    Start({}, GetParam().path);
    EXPECT_EQ(download.RunUntilEnd(kHangGuardMs), DownloadEnd::NoImage);
    EXPECT_EQ(download.LogText(), GetParam().log);
    EXPECT_TRUE(download.ProgressRecords().empty());
    ExpectNothingSent();
}

const std::string kMissing = "/nonexistent-folder/image.bin";
const std::string kFolder = std::filesystem::temp_directory_path().string();
INSTANTIATE_TEST_SUITE_P(Paths, NoImage,
                         ::testing::Values(ImageCase{"NoneChosen", "", kNoDataFileLine},
                                           ImageCase{"Missing", kMissing,
                                                     kNoDataFileLine + "Cannot open " + kMissing +
                                                         ": No such file or directory.\r\n"},
                                           ImageCase{"Folder", kFolder,
                                                     kNoDataFileLine + "Cannot open " + kFolder +
                                                         ": it is a folder, not a file.\r\n"},
                                           // Reading it would never end.
                                           ImageCase{"Device", "/dev/zero",
                                                     kNoDataFileLine +
                                                         "Cannot open /dev/zero: it is not a "
                                                         "regular file.\r\n"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
