// The headless download: wires the serial control and the timers to the sequencer and records
// what the window would show.
#include "headless_download.h"

#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <cctype>

namespace {

// The sequencer keeps a port number beside the name; for "COMn" it is n, for device paths 1.
int PortIndexOf(const std::string& portName) {
    if (portName.size() < 4 || portName.size() > 6) {
        return 0;
    }
    int number = 0;
    for (std::size_t i = 0; i < portName.size(); ++i) {
        const auto c = static_cast<unsigned char>(portName[i]);
        if (i < 3) {
            if (std::toupper(c) != "COM"[i]) {
                return 0;
            }
        } else if (std::isdigit(c)) {
            number = number * 10 + (c - '0');
        } else {
            return 0;
        }
    }
    return number > 0 ? number - 1 : 0;
}

}  // namespace

CHeadlessDownload::CHeadlessDownload()
    : m_wakeUpTimer(false, [this] { m_sequencer.OnTimer(); }),
      m_replyTimer(true, [this] { m_sequencer.OnReplyTimeout(); }),
      m_sequencer(DownloadHost{m_comm, *this, *this, *this, m_wakeUpTimer, m_replyTimer}) {
    QObject::connect(&m_comm, &CMSComm::OnComm, &m_comm, [this] { m_sequencer.OnCommEvent(); });
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
    m_sequencer.OnSelchangePortCombo(PortIndexOf(portName), portName);
    m_sequencer.SetFilePath(imagePath);
    m_sequencer.OnStartDownload();
}

DownloadEnd CHeadlessDownload::RunUntilEnd(int hangGuardMs) {
    if (!m_bEnded) {
        QEventLoop loop;
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
        if (hangGuardMs >= 0) {
            guard.start(hangGuardMs);
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

void CHeadlessDownload::OnEnd(DownloadEnd end) {
    m_bEnded = true;
    if (m_callbacks.onEnd) {
        m_callbacks.onEnd(end);
    }
    if (m_quitLoop) {
        m_quitLoop();
    }
}
