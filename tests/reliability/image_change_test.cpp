// The image file changed while a download reads it: truncated, grown or removed at a point of
// the conversation. The download ends defined, sends only bytes that were in the image, and the
// flash holds nothing else.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "demo_image.h"
#include "event_spin.h"
#include "expected_download.h"
#include "headless_download.h"
#include "pty_boot_loader.h"
#include "temp_image_file.h"

namespace {

using namespace rel;

constexpr int kHangGuardMs = 60000;
constexpr int kSettleMs = 200;
// Progress positions: 1 while erasing; 22 once the second block is in the controller's RAM.
constexpr int kWhileErasing = 1;
constexpr int kAfterSecondBlock = 22;

enum class Change { Truncate, Append, Remove };

struct ChangeCase {
    const char* name;
    std::size_t imageBytes;
    int atPos;
    Change change;
    std::size_t amount;  // the new length when truncating, the bytes added when growing
    DownloadEnd end;
};
void PrintTo(const ChangeCase& c, std::ostream* os) {
    *os << c.name;
}

class ImageChange : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(ImageChange, EndsDefinedAndFlashesOnlyBytesOfTheImage) {
    const ChangeCase& c = GetParam();
    CTempImageFile image(MakeDemoImage(c.imageBytes, 3));
    ASSERT_TRUE(image.Valid());
    CPtyBootLoader loader;
    std::string error;
    ASSERT_TRUE(loader.Start(&error)) << error;

    CHeadlessDownload download;
    bool changed = false;
    CHeadlessDownload::Callbacks callbacks;
    callbacks.onProgress = [&](const ProgressState& state) {
        if (changed || state.pos != c.atPos) {
            return;
        }
        changed = true;
        switch (c.change) {
            case Change::Truncate:
                EXPECT_TRUE(image.Truncate(c.amount));
                break;
            case Change::Append:
                // Zero bytes, unlike the 0xFF filler of a short last block.
                EXPECT_TRUE(image.Append(std::vector<std::uint8_t>(c.amount, 0x00)));
                break;
            case Change::Remove:
                EXPECT_TRUE(image.Remove());
                break;
        }
    };
    download.SetCallbacks(callbacks);
    download.Start(loader.SlavePath(), image.Path());
    const DownloadEnd end = download.RunUntilEnd(kHangGuardMs);
    ASSERT_TRUE(changed);
    ASSERT_EQ(end, c.end) << download.LogText();

    const std::string changedLine =
        "The data file " + image.Path() + " changed while it was being sent.\r\n";
    EXPECT_EQ(download.LogText(),
              kPromptLine + kConnectedLines +
                  (end == DownloadEnd::Success ? kSuccessLine : changedLine + kErrorLine));
    EXPECT_TRUE(download.StartEnabled());
    EXPECT_TRUE(download.OpenEnabled());
    const std::size_t bytesAtEnd = loader.BytesReceived();
    SpinFor(kSettleMs);
    EXPECT_EQ(loader.BytesReceived(), bytesAtEnd);

    // Every block that went out is the image's own, in order, with the right checksum.
    const std::vector<std::vector<std::uint8_t>> expected = ExpectedBlocks(image.Bytes());
    const std::vector<std::vector<std::uint8_t>> sent = loader.Blocks();
    ASSERT_LE(sent.size(), expected.size());
    for (std::size_t b = 0; b < sent.size(); ++b) {
        EXPECT_EQ(sent[b], expected[b]) << "block " << b + 1;
    }
    if (end == DownloadEnd::Success) {
        EXPECT_EQ(sent.size(), expected.size());
        EXPECT_EQ(loader.Commands(), ExpectedCommands(c.imageBytes));
    } else {
        EXPECT_LT(sent.size(), expected.size());
        const std::vector<std::string> commands = loader.Commands();
        EXPECT_EQ(std::count(commands.begin(), commands.end(), ":QUIT_COMM#"), 0);
    }

    // The flash holds the copied blocks of the image and is erased after them.
    const std::size_t copied = sent.size() * kBlockData;
    const std::vector<std::uint8_t> flashed = Flashed(image.Bytes());
    const std::vector<std::uint8_t> flash =
        loader.ReadFlash(kFlashBase, flashed.size() + kBlockData);
    EXPECT_TRUE(std::equal(flash.begin(), flash.begin() + static_cast<std::ptrdiff_t>(copied),
                           flashed.begin()));
    EXPECT_TRUE(std::all_of(flash.begin() + static_cast<std::ptrdiff_t>(copied), flash.end(),
                            [](std::uint8_t byte) { return byte == 0xFF; }));
}

INSTANTIATE_TEST_SUITE_P(
    Changes, ImageChange,
    ::testing::Values(
        // Nothing has been read yet: the first block finds the file empty.
        ChangeCase{"TruncatedToNothingWhileErasing", 5000, kWhileErasing, Change::Truncate, 0,
                   DownloadEnd::ImageChanged},
        // Far more than any read-ahead of the stream is cut off.
        ChangeCase{"TruncatedWhileSending", 64 * 1024, kAfterSecondBlock, Change::Truncate,
                   10 * 1024, DownloadEnd::ImageChanged},
        ChangeCase{"TruncatedInsideTheLastBlockWhileErasing", 64 * 1024 + 500, kWhileErasing,
                   Change::Truncate, 64 * 1024 + 100, DownloadEnd::ImageChanged},
        // The length measured at Start Download is what goes out: the bytes added are not sent.
        ChangeCase{"GrownWhileErasing", 5000, kWhileErasing, Change::Append, 3000,
                   DownloadEnd::Success},
        ChangeCase{"GrownWhileSending", 5000, kAfterSecondBlock, Change::Append, 3000,
                   DownloadEnd::Success},
        // The open stream still reads a file whose name is gone.
        ChangeCase{"RemovedWhileSending", 5000, kAfterSecondBlock, Change::Remove, 0,
                   DownloadEnd::Success}),
    [](const ::testing::TestParamInfo<ChangeCase>& info) { return std::string(info.param.name); });

}  // namespace
