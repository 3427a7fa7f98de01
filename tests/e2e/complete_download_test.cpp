// Downloads through the serial control and a pseudo-terminal against the emulated boot loader:
// images of every awkward size over a line that delivers replies oddly, success replies out of
// order (which reset the download), and no usable image (which sends nothing). Each checks the
// line settings, what crossed the line, what the emulated flash holds, and what the log box,
// progress bar and buttons show.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "event_pump.h"
#include "expected_conversation.h"
#include "headless_download.h"
#include "pty_boot_loader.h"
#include "pty_line_settings.h"
#include "temp_image.h"

namespace {

constexpr std::size_t kImageBytes = 2500;  // three blocks, the last one short
constexpr int kFirstData = DataCommandIndexOfBlock(1);

// One download against an emulated controller on a fresh pseudo-terminal, run to its end.
struct PtyDownload {
    explicit PtyDownload(const std::string& imagePath, FaultPlan fault = {})
        : loader(EmulatorOptions{0, false, 0, std::move(fault)}) {
        std::string error;
        EXPECT_TRUE(loader.Start(&error)) << error;  // else the port is refused: a quick end
        download.Start(loader.SlavePath(), imagePath);
        // Every start opens the line before it looks at the image.
        EXPECT_EQ(loader.LineSettings(), sim::kBootLoaderLine);
        end = download.RunUntilEnd(30000);  // a mere hang guard
    }
    // After an end the buttons work again and nothing more goes out, not even a wake-up tick.
    void ExpectIdleAfterEnd() {
        EXPECT_TRUE(download.StartEnabled() && download.OpenEnabled());
        const std::size_t received = loader.BytesReceived();
        PumpFor(300);  // three wake-up ticks
        EXPECT_EQ(loader.BytesReceived(), received);
    }

    CPtyBootLoader loader;
    CHeadlessDownload download;  // declared last: closes the port before the emulator goes
    DownloadEnd end = DownloadEnd::None;
};

TEST(EndToEnd, CompleteDownloadsOfEveryAwkwardSizeAndOverAnOddLine) {
    using K = FaultKind;
    std::vector<std::pair<std::size_t, FaultPlan>> table;
    for (const std::size_t bytes : {0, 1023, 1024, 1025, 2048, 2500, 100 * 1024, 400 * 1024}) {
        table.push_back({bytes, {}});
    }
    // A reply in two reads, or followed by a zero byte and junk.
    for (const auto& [quirk, at] : {std::pair{K::SplitReply, 0},
                                    {K::SplitReply, kFirstData},
                                    {K::ZeroAfterReply, 0},
                                    {K::ZeroAfterReply, kFirstData + 1}}) {
        table.push_back({kImageBytes, {quirk, at, "", 3}});
    }
    for (const auto& [bytes, quirk] : table) {
        SCOPED_TRACE(::testing::Message() << bytes << " bytes, quirk " << int(quirk.kind));
        const CTempImage image(bytes);
        PtyDownload run(image.path, quirk);
        ASSERT_EQ(run.end, DownloadEnd::Success) << run.download.LogText();
        run.ExpectIdleAfterEnd();
        EXPECT_EQ(run.loader.Commands(), ExpectedCommands(bytes));
        const std::vector<std::uint8_t> flashed = image.Flashed();
        EXPECT_EQ(run.loader.ReadFlash(0x81000000, flashed.size()), flashed);

        // The erase phase moves the bar after the first sector and every fourth one, then each
        // block.
        const int upper = 20 + static_cast<int>(flashed.size() / 1024);
        std::vector<int> positions = {0, 1};
        for (int pos = 5; pos <= upper; ++pos) {
            positions.push_back(pos);
        }
        EXPECT_EQ(run.download.ProgressRecords().front().kind, ProgressRecord::Kind::Range);
        EXPECT_EQ(run.download.ProgressRanges(), (std::vector<std::pair<int, int>>{{0, upper}}));
        EXPECT_EQ(run.download.ProgressPositions(), positions);
        EXPECT_EQ(run.download.LogText(), kSuccessLog);
    }
}

// Success replies the boot loader never gives at that point must not steer the download anywhere
// harmful (no success before the quit, no blank check of a sector not being erased): they reset
// it, and nothing more is sent.
TEST(EndToEnd, OutOfOrderRepliesResetTheDownload) {
    const CTempImage image(kImageBytes);
    const std::vector<std::string> all = ExpectedCommands(kImageBytes);
    const std::pair<int, const char*> table[] = {
        {5, ":QUIT_OK#"},
        {kFirstData, ":QUIT_OK#"},
        {kFirstData + 1, ":EX_OK#"},
        {3, ":RB_OK#"},
        {5, ":WE_OK#"},
        {kFirstData + 1, ":RB_OK#"},
        {1, ":English Ver2.0#"},
        {1, ":ENGLISH VER1.0#"},
        {0, ":ok#"},
    };
    for (const auto& [atCommand, reply] : table) {
        SCOPED_TRACE(::testing::Message() << reply << " at command " << atCommand);
        PtyDownload run(image.path, {FaultKind::ErrorReply, atCommand, reply});
        ASSERT_EQ(run.end, DownloadEnd::Unrecognised) << run.download.LogText();
        EXPECT_EQ(run.download.LogText(), kCheckDevicesLine);
        run.ExpectIdleAfterEnd();
        EXPECT_EQ(run.loader.Commands(),
                  std::vector<std::string>(all.begin(), all.begin() + atCommand));
    }
}

TEST(EndToEnd, NoUsableImageSaysWhyAndSendsNothing) {
    const std::string missing = "/nonexistent-folder/image.bin";
    const std::string folder = std::filesystem::temp_directory_path().string();
    const std::pair<std::string, std::string> table[] = {
        {"", ""},
        {missing, "Cannot open " + missing + ": No such file or directory.\r\n"},
        {folder, "Cannot open " + folder + ": it is a folder, not a file.\r\n"},
        // Reading it would never end.
        {"/dev/zero", "Cannot open /dev/zero: it is not a regular file.\r\n"},
    };
    for (const auto& [path, reason] : table) {
        SCOPED_TRACE(path);
        PtyDownload run(path);
        ASSERT_EQ(run.end, DownloadEnd::NoImage);
        EXPECT_EQ(run.download.LogText(), kNoDataFileLine + reason);
        EXPECT_TRUE(run.download.ProgressRecords().empty());
        run.ExpectIdleAfterEnd();
        EXPECT_EQ(run.loader.BytesReceived(), 0u);
    }
}

}  // namespace
