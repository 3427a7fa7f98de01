// A controller that stops answering, answers late or slowly, keeps saying ":OK#", or wakes late,
// and an image file truncated, grown, rewritten or removed mid-download: each download ends
// defined and flashes only the bytes the image had when it started.
#include <gtest/gtest.h>

#include "event_pump.h"
#include "expected_download.h"
#include "headless_download.h"
#include "pty_boot_loader.h"
#include "temp_image.h"

namespace {

using namespace rel;

constexpr int kWhileErasing = 1, kAfterSecondBlock = 22;  // progress positions
constexpr long kGrow = -1, kRemove = -2, kRewrite = -3, kTruncateAndRewrite = -4;

struct EndCase {
    const char* name;
    std::size_t imageBytes;
    int latencyUs, resetDelayMs, silentFrom, replyTimeoutMs;  // 0 / -1: none, the default
    int changeAtPos;  // 0: the file is left alone; -n: the controller says ":OK#" every n ms
    // Truncated to this length, kGrow (3000 zero bytes appended), kRemove, or rewritten with other
    // bytes of the same length: in place (kRewrite), or truncated first (kTruncateAndRewrite).
    long change;
    DownloadEnd end;
};

void PrintTo(const EndCase& c, std::ostream* os) {
    *os << c.name;
}

class LineEnd : public ::testing::TestWithParam<EndCase> {};

TEST_P(LineEnd, EndsDefinedAndFlashesOnlyBytesOfTheImage) {
    const EndCase& c = GetParam();
    CTempImage image(c.imageBytes, 3);
    EmulatorOptions options;
    options.replyLatencyUs = c.latencyUs;
    options.resetDelayMs = c.resetDelayMs;
    if (c.silentFrom >= 0) {
        options.fault = FaultPlan{FaultKind::Silence, c.silentFrom, "", 3};
    }
    if (c.changeAtPos < 0) {
        options.fault = FaultPlan{FaultKind::RepeatedOk, 0, "", -c.changeAtPos};
    }
    const std::unique_ptr<CPtyBootLoader> started = StartController(options);
    ASSERT_NE(started, nullptr);
    CPtyBootLoader& loader = *started;
    CHeadlessDownload download;
    if (c.replyTimeoutMs > 0) {
        download.SetReplyTimeoutMs(c.replyTimeoutMs);
    }
    bool changed = c.changeAtPos <= 0;
    CHeadlessDownload::Callbacks callbacks;
    callbacks.onProgress = [&](const ProgressState& state) {
        if (changed || state.pos != c.changeAtPos) {
            return;
        }
        changed = true;
        std::error_code ec;
        if (c.change >= 0) {
            std::filesystem::resize_file(image.path, static_cast<std::uintmax_t>(c.change), ec);
        } else if (c.change == kRewrite || c.change == kTruncateAndRewrite) {
            const CTempImage other(c.imageBytes, 11);
            std::fstream file(image.path,
                              std::ios::binary | std::ios::in | std::ios::out |
                                  (c.change == kRewrite ? std::ios::openmode{} : std::ios::trunc));
            file.write(reinterpret_cast<const char*>(other.bytes.data()),
                       static_cast<std::streamsize>(other.bytes.size()));
            EXPECT_TRUE(file.good());
        } else if (c.change == kRemove) {
            std::filesystem::remove(image.path, ec);
        } else {  // zero bytes, unlike the 0xFF filler of a short last block
            std::ofstream(image.path, std::ios::app) << std::string(3000, '\0');
        }
        EXPECT_FALSE(ec) << ec.message();
    };
    download.SetCallbacks(callbacks);
    download.Start(loader.SlavePath(), image.path);
    ASSERT_EQ(download.RunUntilEnd(60000), c.end) << download.LogText();
    ASSERT_TRUE(changed);
    std::string log = kSuccessLog;
    if (c.end == DownloadEnd::Timeout) {
        log = kPromptLine + "The hand controller did not answer within " +
              (c.replyTimeoutMs > 0 ? std::to_string(c.replyTimeoutMs) + " ms" : "10 seconds") +
              ".\r\n" + kErrorLine;
    }
    // A reply that arrives after the end changes nothing, and nothing more is written.
    const std::size_t bytesAtEnd = loader.BytesReceived();
    PumpFor(800);
    EXPECT_EQ(download.LogText(), log);
    EXPECT_TRUE(download.StartEnabled() && download.OpenEnabled() && !download.IsDownloading());
    EXPECT_EQ(loader.BytesReceived(), bytesAtEnd);

    // Only the image's own blocks went out, in order; a failed download never quits.
    const auto expected = ExpectedBlocks(image.bytes);
    const auto sent = loader.Blocks();
    ASSERT_LE(sent.size(), expected.size());
    EXPECT_TRUE(std::equal(sent.begin(), sent.end(), expected.begin()));
    const auto commands = loader.Commands();
    const auto all = ExpectedCommands(c.imageBytes);
    ASSERT_LE(commands.size(), all.size());
    EXPECT_TRUE(std::equal(commands.begin(), commands.end(), all.begin()));
    EXPECT_EQ(commands.size() == all.size(), c.end == DownloadEnd::Success);
    // The flash holds the copied blocks of the image and is erased after them.
    std::vector<std::uint8_t> flash = image.Flashed();
    flash.resize(sent.size() * kBlockData);
    flash.resize(image.Flashed().size() + kBlockData, 0xFF);
    EXPECT_EQ(loader.ReadFlash(kFlashBase, flash.size()), flash);
}

using E = DownloadEnd;
INSTANTIATE_TEST_SUITE_P(
    Ends, LineEnd,
    ::testing::Values(
        // Silence from ":GET_VER00#" on.
        EndCase{"TimeoutDefaultTenSeconds", 2000, 0, 0, 1, 0, 0, 0, E::Timeout},
        // Every answer 400 ms after its command: the wake-up waits for it, the version request not.
        EndCase{"TimeoutLateReplyIgnored", 2000, 400000, 0, -1, 150, 0, 0, E::Timeout},
        // 143 answers of 10 ms take far longer than the time-out, which no single one does.
        EndCase{"TimeoutCountsPerCommand", 2000, 10000, 0, -1, 500, 0, 0, E::Success},
        // Wake-up bytes are ignored for four times the time-out after the reset.
        EndCase{"NoTimeoutWhileWaking", 2000, 0, 800, -1, 200, 0, 0, E::Success},
        // ":OK#" every 100 ms asks for the version again, but the time-out runs from the first
        // request on.
        EndCase{"TimeoutDespiteRepeatedOk", 2000, 0, 0, -1, 1500, -100, 0, E::Timeout},
        // The image was taken whole at Start Download: what happens to the file later changes
        // nothing that goes out.
        EndCase{"TruncatedToNothingWhileErasing", 5000, 0, 0, -1, 0, kWhileErasing, 0, E::Success},
        EndCase{"TruncatedWhileSending", 64 * 1024, 0, 0, -1, 0, kAfterSecondBlock, 10 * 1024,
                E::Success},
        EndCase{"RewrittenInPlaceWhileSending", 64 * 1024, 0, 0, -1, 0, kAfterSecondBlock, kRewrite,
                E::Success},
        EndCase{"TruncatedAndRewrittenWhileSending", 64 * 1024, 0, 0, -1, 0, kAfterSecondBlock,
                kTruncateAndRewrite, E::Success},
        // The length measured at Start Download is what goes out: the bytes added are not sent.
        EndCase{"GrownWhileErasing", 5000, 0, 0, -1, 0, kWhileErasing, kGrow, E::Success},
        EndCase{"GrownWhileSending", 5000, 0, 0, -1, 0, kAfterSecondBlock, kGrow, E::Success},
        // The open stream still reads a file whose name is gone.
        EndCase{"RemovedWhileSending", 5000, 0, 0, -1, 0, kAfterSecondBlock, kRemove, E::Success}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
