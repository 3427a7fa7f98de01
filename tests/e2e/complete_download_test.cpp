// Downloads through the serial control and a pseudo-terminal against the emulated boot loader,
// which takes in only bytes sent at 115200,n,8,1 without flow control in raw mode, as a real boot
// loader's UART would: what crossed the line, what the flash holds, and what the log box, progress
// bar and buttons show, for complete downloads and early ends; and the line settings themselves.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "event_pump.h"
#include "expected_conversation.h"
#include "headless_download.h"
#include "mscomm.h"
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
    for (const std::size_t bytes : {0, 1023, 1024, 2500, 100 * 1024}) {
        table.push_back({bytes, {}});
    }
    // A reply in two reads, after zero bytes, or followed by a zero byte and junk.
    table.push_back({kImageBytes, {K::SplitReply, kFirstData, "", 3}});
    table.push_back({kImageBytes, {K::NoiseBeforeReply, 1, "", 3}});
    table.push_back({kImageBytes, {K::ZeroAfterReply, 0, "", 3}});
    for (const auto& [bytes, quirk] : table) {
        SCOPED_TRACE(::testing::Message() << bytes << " bytes, quirk " << int(quirk.kind));
        const CTempImage image(bytes);
        PtyDownload run(image.path, quirk);
        ASSERT_EQ(run.end, DownloadEnd::Success) << run.download.LogText();
        run.ExpectIdleAfterEnd();
        EXPECT_EQ(run.loader.Commands(), ExpectedCommands(bytes));
        const std::vector<std::uint8_t> flashed = image.Flashed();
        EXPECT_EQ(run.loader.ReadFlash(0x81000000, flashed.size()), flashed);

        // The bar moves after the first sector and every fourth one, then after each block.
        const int upper = 20 + static_cast<int>(flashed.size() / 1024);
        std::vector<int> positions = {0, 1};
        for (int pos = 5; pos <= upper; ++pos) {
            positions.push_back(pos);
        }
        EXPECT_EQ(run.download.ProgressRanges(), (std::vector<std::pair<int, int>>{{0, upper}}));
        EXPECT_EQ(run.download.ProgressPositions(), positions);
        EXPECT_EQ(run.download.LogText(), kSuccessLog);
    }
}

// Downloads that end early send nothing more and say why: success replies the boot loader never
// gives at that point (which must not steer the download anywhere harmful: no success before the
// quit, no copy of a block not received) and replies not spelt exactly so reset it; an image that
// cannot be used sends nothing.
TEST(EndToEnd, EarlyEndsSayWhyAndSendNothingMore) {
    const CTempImage image(kImageBytes);
    const std::vector<std::string> all = ExpectedCommands(kImageBytes);
    const std::string folder = std::filesystem::temp_directory_path().string();
    const struct {
        std::string path;
        int atCommand;      // where the reply comes instead of the right one
        std::string reply;  // empty: the controller answers rightly
        std::string log;
    } table[] = {
        {image.path, 5, ":QUIT_OK#", kCheckDevicesLine},
        {image.path, kFirstData, ":WE_OK#", kCheckDevicesLine},
        {image.path, 1, ":ENGLISH VER1.0#", kCheckDevicesLine},
        {image.path, 3, ":" + std::string(200, 'A') + "#", kCheckDevicesLine},
        {"", 0, "", kNoDataFileLine},
        {"/nonexistent-folder/image.bin", 0, "",
         kNoDataFileLine +
             "Cannot open /nonexistent-folder/image.bin: No such file or directory.\r\n"},
        {folder, 0, "",
         kNoDataFileLine + "Cannot open " + folder + ": it is a folder, not a file.\r\n"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.reply + " of " + row.path);
        const bool noImage = row.reply.empty();
        FaultPlan fault;
        if (!noImage) {
            fault = {FaultKind::ErrorReply, row.atCommand, row.reply};
        }
        PtyDownload run(row.path, fault);
        ASSERT_EQ(run.end, noImage ? DownloadEnd::NoImage : DownloadEnd::Unrecognised)
            << run.download.LogText();
        EXPECT_EQ(run.download.LogText(), row.log);
        run.ExpectIdleAfterEnd();
        const auto sent = all.begin() + (noImage ? 0 : row.atCommand);
        EXPECT_EQ(run.loader.Commands(), std::vector<std::string>(all.begin(), sent));
        EXPECT_EQ(run.loader.BytesReceived() == 0, noImage);  // not even a wake-up byte
    }
}

// Settings the control is given, what the controller reads back from the line, whether it takes
// a wake-up byte sent at them (a pseudo-terminal runs neither even parity nor 7 data bits).
TEST(LineSettings, TheControllerAnswersOnlyAtItsOwnSettings) {
    const struct {
        const char* given;
        const char* onTheLine;
        bool answered;
    } table[] = {
        {"115200,n,8,1", "115200,n,8,1", true},  {" 115200 , N , 8 , 1 ", "115200,n,8,1", true},
        {"9600,n,8,1", "9600,n,8,1", false},     {"115200,o,8,1", "115200,o,8,1", false},
        {"115200,m,8,1", "115200,m,8,1", false}, {"57600,s,8,2", "57600,s,8,2", false},
        {"115200,n,8,2", "115200,n,8,2", false},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.given);
        CPtyBootLoader loader;
        std::string error;
        ASSERT_TRUE(loader.Start(&error)) << error;
        CMSComm comm;
        comm.SetCommPort(loader.SlavePath());
        comm.SetSettings(row.given);
        ASSERT_TRUE(comm.SetPortOpen(true)) << comm.GetLastErrorText();
        EXPECT_EQ(loader.LineSettings(), row.onTheLine);
        const std::uint8_t wakeUp = 0xAA;
        comm.SetOutput(&wakeUp, 1);
        ASSERT_TRUE(PumpUntil([&] { return loader.BytesReceived() == 1; }));
        EXPECT_EQ(loader.WakeUpBytes(), row.answered ? 1 : 0);
        EXPECT_EQ(loader.BytesAtWrongSettings(), row.answered ? 0u : 1u);
    }
}

}  // namespace
