// A download without a window: the serial control, the two timers and the sequencer, with the
// log box, progress bar and buttons kept as records that flashdl and the tests read.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "download_host.h"
#include "download_sequencer.h"
#include "event_loop_timer.h"
#include "mscomm.h"

// One SetRange or SetPos call on the progress bar, in the order they came.
struct ProgressRecord {
    enum class Kind { Range, Pos };
    Kind kind = Kind::Pos;
    int lower = 0;  // Range only
    int upper = 0;  // Range only
    int pos = 0;    // Pos only
};

// Where the bar stands after the calls so far.
struct ProgressState {
    int lower = 0;
    int upper = 100;
    int pos = 0;
};

class CHeadlessDownload : private IDownloadLog, private IProgress, private IButtons {
public:
    // Each is optional; they run on the thread that runs the event loop.
    struct Callbacks {
        std::function<void(const std::string& line)> onLine;  // the line as appended, "\r\n" kept
        std::function<void(const ProgressState& state)> onProgress;
        std::function<void(const std::string& message)> onPortError;
        std::function<void(DownloadEnd end)> onEnd;
        // The boot loader answered the wake-up byte; the version request is on its way.
        std::function<void()> onAnswered;
    };

    // Needs a QCoreApplication; everything runs on the thread that creates it.
    CHeadlessDownload();
    CHeadlessDownload(const CHeadlessDownload&) = delete;
    CHeadlessDownload& operator=(const CHeadlessDownload&) = delete;
    ~CHeadlessDownload() override;

    void SetCallbacks(Callbacks callbacks) { m_callbacks = std::move(callbacks); }
    void SetReplyTimeoutMs(int ms) { m_sequencer.SetReplyTimeoutMs(ms); }

    // Selects the port and the image, then clicks Start Download. An end that comes at once
    // (the port refused, no image) has already happened when this returns.
    void Start(const std::string& portName, const std::string& imagePath);
    // Runs the event loop until the download ends; a negative guard waits without limit.
    // Returns the end, or DownloadEnd::None when the guard expired first.
    DownloadEnd RunUntilEnd(int hangGuardMs);
    // Start Download clicked a second time: stops the download that is active. Does nothing and
    // returns false when none is, where the click would start a new one instead.
    bool Stop();

    bool HasEnded() const { return m_bEnded; }
    DownloadEnd LastEnd() const { return m_sequencer.LastEnd(); }
    bool IsDownloading() const { return m_sequencer.IsDownloading(); }
    int BlocksSent() const { return m_sequencer.BlocksSent(); }

    // The log box's text, as the window would show it (lines end in "\r\n").
    const std::string& LogText() const { return m_strLog; }
    // The port error of the last Start, or empty.
    const std::string& PortError() const { return m_strPortError; }
    // The progress bar calls since the last Start.
    const std::vector<ProgressRecord>& ProgressRecords() const { return m_progressRecords; }
    std::vector<std::pair<int, int>> ProgressRanges() const;
    std::vector<int> ProgressPositions() const;
    const ProgressState& Progress() const { return m_progress; }
    bool StartEnabled() const { return m_bStartEnabled; }
    bool OpenEnabled() const { return m_bOpenEnabled; }

private:
    // IDownloadLog
    void Clear() override;
    void AppendLine(const std::string& line) override;
    void ShowPortError(const std::string& message) override;
    // IProgress
    void SetRange(int lower, int upper) override;
    int SetPos(int pos) override;
    // IButtons
    void EnableStart(bool enable) override { m_bStartEnabled = enable; }
    void EnableOpen(bool enable) override { m_bOpenEnabled = enable; }

    void OnCommEvent();
    void OnEnd(DownloadEnd end);

    Callbacks m_callbacks;
    std::string m_strLog;
    std::string m_strPortError;
    std::vector<ProgressRecord> m_progressRecords;
    ProgressState m_progress;
    bool m_bStartEnabled = true;
    bool m_bOpenEnabled = true;
    bool m_bEnded = false;
    std::function<void()> m_quitLoop;  // set while RunUntilEnd runs

    CMSComm m_comm;
    CEventLoopTimer m_wakeUpTimer;
    CEventLoopTimer m_replyTimer;
    CDownloadSequencer m_sequencer;
};
