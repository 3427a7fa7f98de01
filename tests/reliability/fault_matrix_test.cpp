// The fault matrix: a two-block download over a real pseudo-terminal, with one fault injected at
// every command in turn (the wake-up, the version request, each erase and blank check, each
// block and copy, the quit), for every fault the line can bring; after each, the same serial
// control must flash a healthy controller exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "demo_image.h"
#include "event_spin.h"
#include "expected_download.h"
#include "process_figures.h"
#include "pty_boot_loader.h"
#include "quick_wake_download.h"
#include "temp_image_file.h"

namespace {

using namespace rel;

constexpr std::size_t kImageBytes = 2000;  // two blocks, the second one short
constexpr int kQuitCommand = 142;          // the last command index of such a download
constexpr int kFirstDataCommand = 138;
constexpr int kSilenceTimeoutMs = 200;
// Where no silence is planned the reply time-out only guards against a hang.
constexpr int kGuardReplyTimeoutMs = 3000;
constexpr int kHangGuardMs = 20000;
// Ten wake-up ticks: a timer left running would write within this.
constexpr int kQuietMs = 50;

struct FaultRow {
    const char* name;
    FaultKind kind;
    const char* text;
};
void PrintTo(const FaultRow& row, std::ostream* os) {
    *os << row.name;
}

// How the pseudo-terminal can report a line that went away.
const char* const kLineLossReasons[] = {
    "the device is gone (adapter unplugged?)",
    "reading from it failed (adapter unplugged or line hung up)",
    "writing to it failed (adapter unplugged or line hung up)",
};

const char* PhaseOf(int k) {
    if (k == 0) {
        return "wake-up";
    }
    if (k == 1) {
        return "version";
    }
    if (k < kFirstDataCommand) {
        return "erase";
    }
    return k < kQuitCommand ? "data" : "quit";
}

std::unique_ptr<CPtyBootLoader> StartEmulator(const EmulatorOptions& options) {
    auto loader = std::make_unique<CPtyBootLoader>(options);
    std::string error;
    if (!loader->Start(&error)) {
        ADD_FAILURE() << "emulator: " << error;
        return nullptr;
    }
    return loader;
}

class FaultMatrix : public ::testing::TestWithParam<FaultRow> {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_image.Valid());
        ASSERT_EQ(m_commands.size(), static_cast<std::size_t>(kQuitCommand));
        ASSERT_EQ(m_blocks.size(), 2u);
    }

    DownloadEnd ExpectedEnd(int k) const {
        switch (GetParam().kind) {
            case FaultKind::UnknownReply:
                return DownloadEnd::Unrecognised;
            case FaultKind::Silence:
                return k == 0 ? DownloadEnd::Stopped : DownloadEnd::Timeout;
            case FaultKind::HangUp:
                return DownloadEnd::LineLost;
            default:
                return DownloadEnd::ErrorReply;
        }
    }

    // The log box as the end leaves it; a lost line is told in one of several words.
    std::vector<std::string> ExpectedLogs(int k, const std::string& port) const {
        // The four status lines come with the version reply, the answer to command 1.
        const std::string before = k <= 1 ? kPromptLine : kPromptLine + kConnectedLines;
        switch (GetParam().kind) {
            case FaultKind::UnknownReply:
                return {kCheckDevicesLine};
            case FaultKind::Silence:
                if (k == 0) {
                    return {kCheckDevicesLine};
                }
                return {before + "The hand controller did not answer within 200 ms.\r\n" +
                        kErrorLine};
            case FaultKind::HangUp: {
                std::vector<std::string> logs;
                for (const char* reason : kLineLossReasons) {
                    logs.push_back(before + "The serial line to " + port + " was lost: " + reason +
                                   ".\r\n" + kErrorLine);
                }
                return logs;
            }
            default:
                return {before + kErrorLine};
        }
    }

    void InjectAt(int k);
    void DownloadCleanly();

    CTempImageFile m_image{MakeDemoImage(kImageBytes, 11)};
    const std::vector<std::string> m_commands = ExpectedCommands(kImageBytes);
    const std::vector<std::vector<std::uint8_t>> m_blocks = ExpectedBlocks(m_image.Bytes());
    CQuickWakeDownload m_download;
    // Open file descriptors after each clean download, both controllers still running.
    std::vector<std::size_t> m_fds;
};

void FaultMatrix::InjectAt(int k) {
    const FaultRow& row = GetParam();
    EmulatorOptions options;
    options.fault = FaultPlan{row.kind, k, row.text != nullptr ? row.text : "", 3};
    const std::unique_ptr<CPtyBootLoader> faulty = StartEmulator(options);
    ASSERT_NE(faulty, nullptr);

    const bool silence = row.kind == FaultKind::Silence;
    m_download.SetReplyTimeoutMs(silence ? kSilenceTimeoutMs : kGuardReplyTimeoutMs);
    const std::size_t writtenBefore = m_download.BytesWritten();
    m_download.Start(faulty->SlavePath(), m_image.Path());
    if (silence && k == 0) {
        // No reply is awaited while waking the controller: the wake-up bytes go on well past the
        // reply time-out, until Start Download is clicked again.
        ASSERT_TRUE(SpinUntil([&] { return faulty->WakeUpBytes() >= 3; }, kHangGuardMs));
        SpinFor(2 * kSilenceTimeoutMs);
        ASSERT_TRUE(m_download.IsDownloading());
        m_download.Stop();
    }
    const DownloadEnd end = m_download.RunUntilEnd(kHangGuardMs);
    ASSERT_EQ(end, ExpectedEnd(k)) << "got " << DownloadEndName(end) << "; log:\n"
                                   << m_download.LogText();
    const std::vector<std::string> logs = ExpectedLogs(k, faulty->SlavePath());
    EXPECT_NE(std::find(logs.begin(), logs.end(), m_download.LogText()), logs.end())
        << "log:\n"
        << m_download.LogText() << "expected:\n"
        << logs.front();
    EXPECT_TRUE(m_download.StartEnabled());
    EXPECT_TRUE(m_download.OpenEnabled());

    // Nothing more goes out: no wake-up tick, no command, no reply time-out left to fire.
    const std::size_t writtenAtEnd = m_download.BytesWritten();
    SpinFor(kQuietMs);
    EXPECT_EQ(m_download.BytesWritten(), writtenAtEnd) << "written after the end";
    EXPECT_TRUE(m_download.TimersIdle());
    const std::size_t written = writtenAtEnd - writtenBefore;
    if (row.kind == FaultKind::HangUp) {
        EXPECT_LE(faulty->BytesReceived(), written);
    } else {
        EXPECT_EQ(faulty->BytesReceived(), written);
    }

    // The boot loader got exactly the commands up to the one that failed, and their blocks.
    const std::vector<std::string> expected(m_commands.begin(), m_commands.begin() + k);
    EXPECT_EQ(faulty->Commands(), expected);
    std::size_t blocks = 0;
    for (const std::string& command : expected) {
        blocks += command == ":DOWN DATA#" ? 1 : 0;
    }
    if (row.kind == FaultKind::HangUp && k > 0 && expected.back() == ":DOWN DATA#") {
        --blocks;  // the line went before the block came in
    }
    const std::vector<std::vector<std::uint8_t>> received = faulty->Blocks();
    ASSERT_EQ(received.size(), blocks);
    for (std::size_t b = 0; b < blocks; ++b) {
        EXPECT_EQ(received[b], m_blocks[b]) << "block " << b + 1;
    }

    // The same serial control, sequencer and image, against a controller that was reset.
    DownloadCleanly();
}

void FaultMatrix::DownloadCleanly() {
    const std::unique_ptr<CPtyBootLoader> healthy = StartEmulator({});
    ASSERT_NE(healthy, nullptr);
    m_download.SetReplyTimeoutMs(kGuardReplyTimeoutMs);
    const std::size_t writtenBefore = m_download.BytesWritten();
    m_download.Start(healthy->SlavePath(), m_image.Path());
    const DownloadEnd end = m_download.RunUntilEnd(kHangGuardMs);
    ASSERT_EQ(end, DownloadEnd::Success)
        << "clean download after the fault ended as " << DownloadEndName(end) << "; log:\n"
        << m_download.LogText();
    EXPECT_EQ(m_download.LogText(), kPromptLine + kConnectedLines + kSuccessLine);
    EXPECT_TRUE(m_download.StartEnabled());
    EXPECT_TRUE(m_download.OpenEnabled());
    EXPECT_EQ(healthy->Commands(), m_commands);
    EXPECT_EQ(healthy->Blocks(), m_blocks);
    const std::vector<std::uint8_t> flashed = Flashed(m_image.Bytes());
    EXPECT_EQ(healthy->ReadFlash(kFlashBase, flashed.size()), flashed);
    // Every byte that reached the controller is one this download wrote.
    const std::size_t written = m_download.BytesWritten() - writtenBefore;
    EXPECT_TRUE(SpinUntil([&] { return healthy->BytesReceived() == written; }, kHangGuardMs))
        << healthy->BytesReceived() << " bytes received, " << written << " written";
    m_fds.push_back(OpenFileDescriptors());
}

TEST_P(FaultMatrix, EveryCommandEndsDefinedAndTheNextDownloadSucceeds) {
    const auto started = std::chrono::steady_clock::now();
    int injected = 0;
    for (int k = 0; k <= kQuitCommand; ++k) {
        SCOPED_TRACE(::testing::Message()
                     << GetParam().name << " at command " << k << " (" << PhaseOf(k) << ")");
        InjectAt(k);
        if (HasFailure()) {
            return;  // the first index that goes wrong says enough
        }
        ++injected;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    // No end leaves a file or a line open: the image stream and the old port are closed.
    ASSERT_EQ(m_fds.size(), static_cast<std::size_t>(kQuitCommand + 1));
    EXPECT_EQ(m_fds.back(), m_fds[1]);
    // The figures for the reliability report.
    std::printf(
        "[fault matrix] %-8s %d faults injected (wake-up 1, version 1, erase 136, data 4, "
        "quit 1), %d clean downloads after them, open fds %zu after the 2nd and %zu "
        "after the last, %.1f s\n",
        GetParam().name, injected, injected, m_fds[1], m_fds.back(), seconds);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix,
                         ::testing::Values(FaultRow{"EI_ERR", FaultKind::ErrorReply, ":EI_ERR#"},
                                           FaultRow{"BI_ERR", FaultKind::ErrorReply, ":BI_ERR#"},
                                           FaultRow{"RB_ERR", FaultKind::ErrorReply, ":RB_ERR#"},
                                           FaultRow{"WI_ERR", FaultKind::ErrorReply, ":WI_ERR#"},
                                           FaultRow{"EX_ERR", FaultKind::ErrorReply, ":EX_ERR#"},
                                           FaultRow{"BX_ERR", FaultKind::ErrorReply, ":BX_ERR#"},
                                           FaultRow{"WE_ERR", FaultKind::ErrorReply, ":WE_ERR#"},
                                           FaultRow{"Unknown", FaultKind::UnknownReply, ":WHAT#"},
                                           FaultRow{"Silence", FaultKind::Silence, nullptr},
                                           FaultRow{"HangUp", FaultKind::HangUp, nullptr}),
                         [](const ::testing::TestParamInfo<FaultRow>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
