// Every fault the line can bring, injected at every command of a two-block download in turn; after
// each, the same serial control must flash a healthy controller exactly.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>

#include "download_sequencer.h"
#include "event_loop_timer.h"
#include "event_pump.h"
#include "expected_conversation.h"
#include "expected_download.h"
#include "memory_host.h"
#include "mscomm.h"
#include "temp_image.h"

namespace {

using namespace rel;

constexpr int kSilenceTimeoutMs = 200;
constexpr int kGuardReplyTimeoutMs = 3000;  // where no silence is planned, only a hang guard

// Asked for 100 ms, ticks every 5 ms: most of each of the ~3000 downloads would be the first wait.
class CShortTick : public CEventLoopTimer {
public:
    using CEventLoopTimer::CEventLoopTimer;
    void Start(int /*intervalMs*/) override { CEventLoopTimer::Start(5); }
};

// The parameter: an error or unknown reply without its ':' and '#', "Silence" or "HangUp".
class FaultMatrix : public ::testing::TestWithParam<const char*> {
protected:
    // Wired as the headless download, with the window's records in memory.
    FaultMatrix() {
        QObject::connect(&m_comm, &CMSComm::OnComm, &m_comm, [this] { m_seq.OnCommEvent(); });
    }
    DownloadEnd Run(const CPtyBootLoader& loader, int replyTimeoutMs, bool stopWhileWaking) {
        QEventLoop wait;
        QTimer::singleShot(20000, &wait, &QEventLoop::quit);  // a hang guard, gone with the loop
        m_seq.SetEndCallback([&wait](DownloadEnd) { wait.quit(); });
        m_seq.SetReplyTimeoutMs(replyTimeoutMs);
        m_seq.OnSelchangePortCombo(0, loader.SlavePath());
        m_seq.SetFilePath(m_image.path);
        m_seq.OnStartDownload();
        if (stopWhileWaking) {  // no reply is awaited while waking: only a second click ends it
            PumpFor(2 * kSilenceTimeoutMs + 50);
            EXPECT_GE(loader.WakeUpBytes(), 3);
            m_seq.OnStartDownload();
        }
        if (m_seq.IsDownloading()) {
            wait.exec();
        }
        return m_seq.LastEnd();
    }
    void InjectAt(int k);
    void DownloadCleanly();

    const CTempImage m_image{2000, 11};  // two blocks, the second one short
    const std::vector<std::string> m_commands = ExpectedCommands(2000);
    std::vector<std::size_t> m_fds;  // after each clean download
    const std::string m_fault = GetParam();
    const FaultKind m_kind = m_fault == "Silence"  ? FaultKind::Silence
                             : m_fault == "HangUp" ? FaultKind::HangUp
                             : m_fault == "WHAT"   ? FaultKind::UnknownReply
                                                   : FaultKind::ErrorReply;
    CMSComm m_comm;
    CMemoryHost m_host;  // its log, progress bar and buttons
    CShortTick m_wakeUp{false, [this] { m_seq.OnTimer(); }};
    CEventLoopTimer m_reply{true, [this] { m_seq.OnReplyTimeout(); }};
    CDownloadSequencer m_seq{
        DownloadHost{m_comm, m_host.log, m_host.progress, m_host.buttons, m_wakeUp, m_reply}};
};

void FaultMatrix::InjectAt(int k) {
    const auto faulty = StartController({0, false, 0, {m_kind, k, ":" + m_fault + "#", 3}});
    ASSERT_NE(faulty, nullptr);
    const bool silence = m_kind == FaultKind::Silence;
    const DownloadEnd end =
        Run(*faulty, silence ? kSilenceTimeoutMs : kGuardReplyTimeoutMs, silence && k == 0);

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
            logs.push_back(before + "The serial line to " + faulty->SlavePath() +
                           " was lost: " + reason + ".\r\n" + kErrorLine);
        }
    }
    const std::string& log = m_host.log.text;
    ASSERT_EQ(end, expected) << DownloadEndName(end) << "; log:\n" << log;
    EXPECT_NE(std::find(logs.begin(), logs.end(), log), logs.end()) << log;
    EXPECT_TRUE(m_host.buttons.start && m_host.buttons.open);

    // Nothing more goes out, and no timer is left to fire: ten ticks would have written by now.
    const std::size_t received = faulty->BytesReceived();
    PumpFor(50);
    EXPECT_EQ(faulty->BytesReceived(), received) << "written after the end";
    EXPECT_FALSE(m_wakeUp.IsActive() || m_reply.IsActive());
    // The boot loader got exactly the commands up to the one that failed.
    EXPECT_EQ(faulty->Commands(), decltype(m_commands)(m_commands.begin(), m_commands.begin() + k));
}

// The same serial control, sequencer and image, against a controller that was reset.
void FaultMatrix::DownloadCleanly() {
    const auto healthy = StartController();
    ASSERT_NE(healthy, nullptr);
    ASSERT_EQ(Run(*healthy, kGuardReplyTimeoutMs, false), DownloadEnd::Success)
        << m_host.log.text << (m_host.log.portErrors.empty() ? "" : m_host.log.portErrors.back());
    EXPECT_EQ(m_host.log.text, kSuccessLog);
    EXPECT_EQ(healthy->Commands(), m_commands);
    EXPECT_EQ(healthy->ReadFlash(0x81000000, 2048), m_image.Flashed());
    m_fds.push_back(OpenFileDescriptors());
}

TEST_P(FaultMatrix, EveryCommandEndsDefinedAndTheNextDownloadSucceeds) {
    const int quit = static_cast<int>(m_commands.size());  // the last command's index
    for (int k = 0; k <= quit && !HasFailure(); ++k) {     // the first failure says enough
        SCOPED_TRACE(::testing::Message() << m_fault << " at command " << k);
        InjectAt(k);
        DownloadCleanly();
    }
    // No end leaves a file or a line open: the image stream and the old port are closed.
    ASSERT_EQ(m_fds.size(), quit + 1u);
    EXPECT_EQ(m_fds.back(), m_fds[1]);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix,
                         ::testing::Values("EI_ERR", "BI_ERR", "RB_ERR", "WI_ERR", "EX_ERR",
                                           "BX_ERR", "WE_ERR", "WHAT", "Silence", "HangUp"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
