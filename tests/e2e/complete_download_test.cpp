// Complete downloads through the serial control and a pseudo-terminal: what crossed the line,
// what the emulated flash holds, and what the log box, progress bar and buttons show.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "e2e_support.h"
#include "headless_download.h"
#include "temp_image.h"

namespace {

using namespace e2e;

constexpr int kHangGuardMs = 120000;

class CompleteDownload : public ::testing::TestWithParam<std::size_t> {};

TEST_P(CompleteDownload, WireFlashLogProgressAndButtons) {
    const std::size_t size = GetParam();
    const CTempImage image(size);
    CEmulatedController controller;
    ASSERT_TRUE(controller.Started()) << controller.StartError();
    CPtyBootLoader& loader = controller.Loader();

    CHeadlessDownload download;
    download.Start(controller.Port(), image.path);
    ASSERT_EQ(download.RunUntilEnd(kHangGuardMs), DownloadEnd::Success) << download.LogText();

    EXPECT_GE(loader.WakeUpBytes(), 1);
    EXPECT_EQ(loader.Commands(), ExpectedCommands(size));
    EXPECT_TRUE(loader.Rejected().empty());

    const std::vector<std::uint8_t> flashed = image.Flashed();
    EXPECT_EQ(loader.ReadFlash(0x81000000, flashed.size()), flashed);
    const std::vector<std::vector<std::uint8_t>> blocks = loader.Blocks();
    ASSERT_EQ(blocks.size(), BlockCount(size));
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        ASSERT_EQ(blocks[i].size(), 1025u);
        EXPECT_TRUE(std::equal(blocks[i].begin(), blocks[i].begin() + 1024,
                               flashed.begin() + static_cast<std::ptrdiff_t>(i * 1024)))
            << "block " << i + 1;
        EXPECT_EQ(blocks[i][1024], BitwiseCrc8(blocks[i].data(), 1024)) << "block " << i + 1;
    }

    const int blockCount = static_cast<int>(BlockCount(size));
    EXPECT_EQ(download.ProgressRanges(), (std::vector<std::pair<int, int>>{{0, 20 + blockCount}}));
    std::vector<int> positions = {0, 1};
    for (int pos = 5; pos <= 20 + blockCount; ++pos) {
        positions.push_back(pos);
    }
    EXPECT_EQ(download.ProgressPositions(), positions);
    ASSERT_FALSE(download.ProgressRecords().empty());
    EXPECT_EQ(download.ProgressRecords().front().kind, ProgressRecord::Kind::Range);

    EXPECT_EQ(download.LogText(), kPrompt + kConnected + kSuccess);
    EXPECT_TRUE(download.StartEnabled());
    EXPECT_TRUE(download.OpenEnabled());
    EXPECT_EQ(download.LastEnd(), DownloadEnd::Success);
    EXPECT_TRUE(download.PortError().empty());
}

INSTANTIATE_TEST_SUITE_P(ImageSizes, CompleteDownload,
                         ::testing::Values(0, 1023, 1024, 1025, 2048, 2500, 100 * 1024, 400 * 1024),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                             return "Bytes" + std::to_string(info.param);
                         });

// The port stays open after a download; a second Start Download reopens it and goes again.
TEST(RepeatedDownload, SecondStartFlashesAgainOverTheSameLine) {
    const CTempImage first(3000, 11);
    const CTempImage second(1500, 12);
    CEmulatedController controller;
    ASSERT_TRUE(controller.Started()) << controller.StartError();

    CHeadlessDownload download;
    download.Start(controller.Port(), first.path);
    ASSERT_EQ(download.RunUntilEnd(kHangGuardMs), DownloadEnd::Success) << download.LogText();
    download.Start(controller.Port(), second.path);
    ASSERT_EQ(download.RunUntilEnd(kHangGuardMs), DownloadEnd::Success) << download.LogText();

    // The first image's third block is erased again and not rewritten by the second.
    const std::vector<std::uint8_t> flashed = second.Flashed();
    std::vector<std::uint8_t> expected = flashed;
    expected.resize(3 * 1024, 0xFF);
    EXPECT_EQ(controller.Loader().ReadFlash(0x81000000, expected.size()), expected);
    EXPECT_EQ(download.LogText(), kPrompt + kConnected + kSuccess);
    EXPECT_EQ(download.ProgressRanges(), (std::vector<std::pair<int, int>>{{0, 22}}));
}

}  // namespace
