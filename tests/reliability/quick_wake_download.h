// A download over the real serial control, the event-loop timers and the sequencer, recording
// the log box and the buttons as the window would show them. Its wake-up tick is 5 ms instead
// of 100 ms: the fault matrix runs close to three thousand downloads, and each would otherwise
// spend most of its time waiting for the first wake-up byte.
#pragma once

#include <functional>
#include <string>

#include "counting_port.h"
#include "download_host.h"
#include "download_sequencer.h"
#include "event_loop_timer.h"
#include "mscomm.h"

namespace rel {

class CQuickWakeDownload : private IDownloadLog, private IProgress, private IButtons {
public:
    static constexpr int kWakeUpTickMs = 5;

    // Needs a QCoreApplication; everything runs on the thread that creates it.
    CQuickWakeDownload();
    ~CQuickWakeDownload() override;
    CQuickWakeDownload(const CQuickWakeDownload&) = delete;
    CQuickWakeDownload& operator=(const CQuickWakeDownload&) = delete;

    void SetReplyTimeoutMs(int ms) { m_sequencer.SetReplyTimeoutMs(ms); }

    // Picks the port and the image, then clicks Start Download.
    void Start(const std::string& portName, const std::string& imagePath);
    // Start Download clicked again while the download runs.
    void Stop() { m_sequencer.OnStartDownload(); }
    // Runs the event loop until the download ends; DownloadEnd::None when the guard ran out.
    DownloadEnd RunUntilEnd(int hangGuardMs);

    bool IsDownloading() const { return m_sequencer.IsDownloading(); }
    const std::string& LogText() const { return m_strLog; }
    bool StartEnabled() const { return m_bStartEnabled; }
    bool OpenEnabled() const { return m_bOpenEnabled; }
    int ProgressPos() const { return m_nPos; }
    // Every byte the sequencer handed to the port since this object was made.
    std::size_t BytesWritten() const { return m_port.BytesWritten(); }
    // Neither a wake-up tick nor a reply time-out is pending.
    bool TimersIdle() const { return !m_wakeUpTimer.IsActive() && !m_replyTimer.IsActive(); }

private:
    // The wake-up timer as the sequencer sees it: asked for 100 ms, it ticks every 5 ms.
    class CShortTick : public ITimer {
    public:
        explicit CShortTick(ITimer& timer) : m_timer(timer) {}
        void Start(int /*intervalMs*/) override { m_timer.Start(kWakeUpTickMs); }
        void Stop() override { m_timer.Stop(); }
        bool IsActive() const override { return m_timer.IsActive(); }

    private:
        ITimer& m_timer;
    };

    void Clear() override { m_strLog.clear(); }
    void AppendLine(const std::string& line) override { m_strLog += line; }
    void ShowPortError(const std::string& message) override { m_strLog += message; }
    void SetRange(int /*lower*/, int /*upper*/) override {}
    int SetPos(int pos) override;
    void EnableStart(bool enable) override { m_bStartEnabled = enable; }
    void EnableOpen(bool enable) override { m_bOpenEnabled = enable; }

    std::string m_strLog;
    bool m_bStartEnabled = true;
    bool m_bOpenEnabled = true;
    int m_nPos = 0;
    bool m_bEnded = false;
    std::function<void()> m_quitLoop;

    CMSComm m_comm;
    CCountingPort m_port{m_comm};
    CEventLoopTimer m_wakeUpTimer;
    CShortTick m_shortTick{m_wakeUpTimer};
    CEventLoopTimer m_replyTimer;
    CDownloadSequencer m_sequencer;
};

}  // namespace rel
