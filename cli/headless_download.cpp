// The headless download: wires the serial control and the timers to the sequencer and records
// what the window would show.
#include "headless_download.h"

#include <QEventLoop>
#include <QObject>

#include "port_names.h"

CHeadlessDownload::CHeadlessDownload()
    : m_wakeUpTimer(false, [this] { m_sequencer.OnTimer(); }),
      m_replyTimer(true, [this] { m_sequencer.OnReplyTimeout(); }),
      m_sequencer(DownloadHost{m_comm, *this, *this, *this, m_wakeUpTimer, m_replyTimer}) {
    QObject::connect(&m_comm, &CMSComm::OnComm, &m_comm, [this] { OnCommEvent(); });
    m_sequencer.SetEndCallback([this](DownloadEnd end) { OnEnd(end); });
}

CHeadlessDownload::~CHeadlessDownload() {
    // The sequencer's end callback must not reach a half-destroyed object.
    m_sequencer.SetEndCallback(nullptr);
}

void CHeadlessDownload::Start(const std::string& portName, const std::string& imagePath) {
    m_bEnded = false;
    m_strPortError.clear();
    m_progressRecords.clear();
    // The sequencer keeps a port number beside the name: n for "COMn", 1 for device paths.
    m_sequencer.OnSelchangePortCombo(ComPortNumber(portName).value_or(1) - 1, portName);
    m_sequencer.SetFilePath(imagePath);
    m_sequencer.OnStartDownload();
}

DownloadEnd CHeadlessDownload::RunUntilEnd(int hangGuardMs) {
    if (!m_bEnded) {
        QEventLoop loop;
        CEventLoopTimer guard(true, [&loop] { loop.quit(); });
        if (hangGuardMs >= 0) {
            guard.Start(hangGuardMs);
        }
        m_quitLoop = [&loop] { loop.quit(); };
        loop.exec();
        m_quitLoop = nullptr;
    }
    return m_bEnded ? m_sequencer.LastEnd() : DownloadEnd::None;
}

bool CHeadlessDownload::Stop() {
    if (!m_sequencer.IsDownloading()) {
        return false;
    }
    m_sequencer.OnStartDownload();
    return true;
}

std::vector<std::pair<int, int>> CHeadlessDownload::ProgressRanges() const {
    std::vector<std::pair<int, int>> ranges;
    for (const ProgressRecord& record : m_progressRecords) {
        if (record.kind == ProgressRecord::Kind::Range) {
            ranges.emplace_back(record.lower, record.upper);
        }
    }
    return ranges;
}

std::vector<int> CHeadlessDownload::ProgressPositions() const {
    std::vector<int> positions;
    for (const ProgressRecord& record : m_progressRecords) {
        if (record.kind == ProgressRecord::Kind::Pos) {
            positions.push_back(record.pos);
        }
    }
    return positions;
}

void CHeadlessDownload::Clear() {
    m_strLog.clear();
}

void CHeadlessDownload::AppendLine(const std::string& line) {
    m_strLog += line;
    if (m_callbacks.onLine) {
        m_callbacks.onLine(line);
    }
}

void CHeadlessDownload::ShowPortError(const std::string& message) {
    m_strPortError = message;
    if (m_callbacks.onPortError) {
        m_callbacks.onPortError(message);
    }
}

void CHeadlessDownload::SetRange(int lower, int upper) {
    m_progressRecords.push_back({ProgressRecord::Kind::Range, lower, upper, 0});
    m_progress.lower = lower;
    m_progress.upper = upper;
    if (m_callbacks.onProgress) {
        m_callbacks.onProgress(m_progress);
    }
}

int CHeadlessDownload::SetPos(int pos) {
    m_progressRecords.push_back({ProgressRecord::Kind::Pos, 0, 0, pos});
    const int old = m_progress.pos;
    m_progress.pos = pos;
    if (m_callbacks.onProgress) {
        m_callbacks.onProgress(m_progress);
    }
    return old;
}

void CHeadlessDownload::OnCommEvent() {
    // The wake-up ticks stop when the boot loader answers them, and at every end.
    const bool waking = m_wakeUpTimer.IsActive();
    m_sequencer.OnCommEvent();
    if (waking && !m_wakeUpTimer.IsActive() && m_sequencer.IsDownloading() &&
        m_callbacks.onAnswered) {
        m_callbacks.onAnswered();
    }
}

void CHeadlessDownload::OnEnd(DownloadEnd end) {
    m_bEnded = true;
    if (m_callbacks.onEnd) {
        m_callbacks.onEnd(end);
    }
    if (m_quitLoop) {
        m_quitLoop();
    }
}
