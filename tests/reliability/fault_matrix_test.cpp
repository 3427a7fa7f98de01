// Every fault the line can bring, injected at every command of a two-block download in turn; after
// each, the same serial control must flash a healthy controller exactly.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>
#include <chrono>

#include "download_sequencer.h"
#include "event_loop_timer.h"
#include "event_pump.h"
#include "expected_download.h"
#include "memory_host.h"
#include "mscomm.h"
#include "pty_boot_loader.h"
#include "temp_image.h"

namespace {

using namespace rel;

constexpr int kQuitCommand = 142;  // the last command index of a 2000-byte download
constexpr int kSilenceTimeoutMs = 200;
constexpr int kGuardReplyTimeoutMs = 3000;  // where no silence is planned, only a hang guard
const std::string kCheckDevicesLine =
    "Please make sure all devices is OK, then click Start Download.\r\n";

// Counts where the sequencer hands bytes to the port, so a write to a line already gone counts.
class CCountingComm : public CMSComm {
public:
    void SetOutput(const std::uint8_t* data, std::size_t size) override {
        written += size;
        CMSComm::SetOutput(data, size);
    }
    std::size_t written = 0;
};

// Asked for 100 ms, ticks every 5 ms: most of each of the ~3000 downloads would be the first wait.
class CShortTick : public CEventLoopTimer {
public:
    using CEventLoopTimer::CEventLoopTimer;
    void Start(int /*intervalMs*/) override { CEventLoopTimer::Start(5); }
};

// The parameter: an error or unknown reply as the boot loader sends it, "Silence" or "HangUp".
class FaultMatrix : public ::testing::TestWithParam<const char*> {
protected:
    FaultMatrix() {  // wired as the headless download, with the window's records in memory
        QObject::connect(&m_comm, &CMSComm::OnComm, &m_comm, [this] { m_seq.OnCommEvent(); });
        m_seq.SetEndCallback([this](DownloadEnd) {
            m_ended = true;
            if (m_loop != nullptr) {
                m_loop->quit();
            }
        });
    }
    DownloadEnd Run(const std::string& port, int replyTimeoutMs, bool stopWhileWaking) {
        m_ended = false;
        m_seq.SetReplyTimeoutMs(replyTimeoutMs);
        m_seq.OnSelchangePortCombo(0, port);
        m_seq.SetFilePath(m_image.path);
        m_seq.OnStartDownload();
        if (stopWhileWaking) {  // no reply is awaited while waking: only a second click ends it
            PumpFor(2 * kSilenceTimeoutMs + 50);
            EXPECT_TRUE(m_seq.IsDownloading());
            m_seq.OnStartDownload();
        }
        QEventLoop wait;
        QTimer::singleShot(20000, &wait, &QEventLoop::quit);  // a hang guard, gone with the loop
        m_loop = &wait;
        if (!m_ended) {
            wait.exec();
        }
        m_loop = nullptr;
        return m_ended ? m_seq.LastEnd() : DownloadEnd::None;
    }
    void InjectAt(int k);
    void DownloadCleanly();

    CTempImage m_image{2000, 11};  // two blocks, the second one short
    const std::vector<std::string> m_commands = ExpectedCommands(2000);
    const std::vector<std::vector<std::uint8_t>> m_blocks = ExpectedBlocks(m_image.bytes);
    std::vector<std::size_t> m_fds;  // after each clean download, both controllers running
    const std::string m_fault = GetParam();
    const FaultKind m_kind = m_fault == "Silence"  ? FaultKind::Silence
                             : m_fault == "HangUp" ? FaultKind::HangUp
                             : m_fault == ":WHAT#" ? FaultKind::UnknownReply
                                                   : FaultKind::ErrorReply;
    CCountingComm m_comm;
    CMemoryLog m_log;
    CMemoryProgress m_progress;
    CMemoryButtons m_buttons;
    CShortTick m_wakeUp{false, [this] { m_seq.OnTimer(); }};
    CEventLoopTimer m_reply{true, [this] { m_seq.OnReplyTimeout(); }};
    CDownloadSequencer m_seq{DownloadHost{m_comm, m_log, m_progress, m_buttons, m_wakeUp, m_reply}};
    QEventLoop* m_loop = nullptr;
    bool m_ended = false;
};

void FaultMatrix::InjectAt(int k) {
    EmulatorOptions options;
    options.fault = FaultPlan{m_kind, k, m_fault[0] == ':' ? m_fault : "", 3};
    const std::unique_ptr<CPtyBootLoader> started = StartController(options);
    ASSERT_NE(started, nullptr);
    CPtyBootLoader& faulty = *started;
    const bool silence = m_kind == FaultKind::Silence;
    const std::size_t writtenBefore = m_comm.written;
    const DownloadEnd end =
        Run(faulty.SlavePath(), silence ? kSilenceTimeoutMs : kGuardReplyTimeoutMs, silence && !k);

    // The four status lines come with the version reply, the answer to command 1.
    const std::string before = k <= 1 ? kPromptLine : kPromptLine + kConnectedLines;
    std::vector<std::string> logs = {before + kErrorLine};
    DownloadEnd expected = DownloadEnd::ErrorReply;
    if (m_kind == FaultKind::UnknownReply || (silence && k == 0)) {
        expected = silence ? DownloadEnd::Stopped : DownloadEnd::Unrecognised;
        logs = {kCheckDevicesLine};
    } else if (silence) {
        expected = DownloadEnd::Timeout;
        logs = {before + "The hand controller did not answer within 200 ms.\r\n" + kErrorLine};
    } else if (m_kind == FaultKind::HangUp) {
        expected = DownloadEnd::LineLost;
        logs.clear();  // the pseudo-terminal tells a lost line in one of several words
        for (const char* reason : {"the device is gone (adapter unplugged?)",
                                   "reading from it failed (adapter unplugged or line hung up)",
                                   "writing to it failed (adapter unplugged or line hung up)"}) {
            logs.push_back(before + "The serial line to " + faulty.SlavePath() +
                           " was lost: " + reason + ".\r\n" + kErrorLine);
        }
    }
    ASSERT_EQ(end, expected) << DownloadEndName(end) << "; log:\n" << m_log.text;
    EXPECT_NE(std::find(logs.begin(), logs.end(), m_log.text), logs.end()) << m_log.text;
    EXPECT_TRUE(m_buttons.start && m_buttons.open);
    EXPECT_TRUE(!silence || k > 0 || faulty.WakeUpBytes() >= 3);

    // Nothing more goes out: no wake-up tick, no command, no reply time-out left to fire; ten
    // wake-up ticks are time enough for a timer left running to write.
    const std::size_t writtenAtEnd = m_comm.written;
    PumpFor(50);
    EXPECT_EQ(m_comm.written, writtenAtEnd) << "written after the end";
    EXPECT_FALSE(m_wakeUp.IsActive() || m_reply.IsActive());
    const std::size_t written = writtenAtEnd - writtenBefore, received = faulty.BytesReceived();
    EXPECT_TRUE(m_kind == FaultKind::HangUp ? received <= written : received == written)
        << received << " bytes received, " << written << " written";  // all, unless hung up

    // The boot loader got exactly the commands up to the one that failed, and their blocks.
    const std::vector<std::string> sent(m_commands.begin(), m_commands.begin() + k);
    EXPECT_EQ(faulty.Commands(), sent);
    auto blocks = std::count(sent.begin(), sent.end(), ":DOWN DATA#");
    if (m_kind == FaultKind::HangUp && k > 0 && sent.back() == ":DOWN DATA#") {
        --blocks;  // the line went before the block came in
    }
    EXPECT_EQ(faulty.Blocks(), decltype(m_blocks)(m_blocks.begin(), m_blocks.begin() + blocks));
    DownloadCleanly();
}

// The same serial control, sequencer and image, against a controller that was reset.
void FaultMatrix::DownloadCleanly() {
    const std::unique_ptr<CPtyBootLoader> started = StartController();
    ASSERT_NE(started, nullptr);
    CPtyBootLoader& healthy = *started;
    const std::size_t writtenBefore = m_comm.written;
    ASSERT_EQ(Run(healthy.SlavePath(), kGuardReplyTimeoutMs, false), DownloadEnd::Success)
        << m_log.text << (m_log.portErrors.empty() ? "" : m_log.portErrors.back());
    EXPECT_EQ(m_log.text, kSuccessLog);
    EXPECT_TRUE(m_buttons.start && m_buttons.open);
    EXPECT_EQ(healthy.Commands(), m_commands);
    EXPECT_EQ(healthy.Blocks(), m_blocks);
    EXPECT_EQ(healthy.ReadFlash(kFlashBase, 2048), m_image.Flashed());
    // Every byte that reached the controller is one this download wrote.
    const std::size_t written = m_comm.written - writtenBefore;
    EXPECT_TRUE(PumpUntil([&] { return healthy.BytesReceived() == written; }));
    m_fds.push_back(OpenFileDescriptors());
}

TEST_P(FaultMatrix, EveryCommandEndsDefinedAndTheNextDownloadSucceeds) {
    ASSERT_EQ(m_commands.size(), static_cast<std::size_t>(kQuitCommand));
    const auto started = std::chrono::steady_clock::now();
    for (int k = 0; k <= kQuitCommand && !HasFailure(); ++k) {  // the first failure says enough
        SCOPED_TRACE(::testing::Message() << m_fault << " at command " << k);
        InjectAt(k);
    }
    // No end leaves a file or a line open: the image stream and the old port are closed.
    ASSERT_EQ(m_fds.size(), kQuitCommand + 1u);
    EXPECT_EQ(m_fds.back(), m_fds[1]);
    std::printf(
        "[fault matrix] %-8s 143 faults, each followed by a clean download; open fds %zu "
        "after the 2nd, %zu after the last; %.1f s\n",
        m_fault.c_str(), m_fds[1], m_fds.back(),
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix,
                         ::testing::Values(":EI_ERR#", ":BI_ERR#", ":RB_ERR#", ":WI_ERR#",
                                           ":EX_ERR#", ":BX_ERR#", ":WE_ERR#", ":WHAT#", "Silence",
                                           "HangUp"),
                         [](const auto& info) {
                             std::string name = info.param;
                             name.erase(std::remove_if(name.begin(), name.end(),
                                                       [](char c) { return c == ':' || c == '#'; }),
                                        name.end());
                             return name;
                         });

}  // namespace
