// Wires the serial control and the timers to the sequencer for the fault matrix.
#include "quick_wake_download.h"

#include <QEventLoop>
#include <QObject>
#include <QTimer>

namespace rel {

CQuickWakeDownload::CQuickWakeDownload()
    : m_wakeUpTimer(false, [this] { m_sequencer.OnTimer(); }),
      m_replyTimer(true, [this] { m_sequencer.OnReplyTimeout(); }),
      m_sequencer(DownloadHost{m_port, *this, *this, *this, m_shortTick, m_replyTimer}) {
    QObject::connect(&m_comm, &CMSComm::OnComm, &m_comm, [this] { m_sequencer.OnCommEvent(); });
    m_sequencer.SetEndCallback([this](DownloadEnd) {
        m_bEnded = true;
        if (m_quitLoop) {
            m_quitLoop();
        }
    });
}

CQuickWakeDownload::~CQuickWakeDownload() {
    m_sequencer.SetEndCallback(nullptr);
}

void CQuickWakeDownload::Start(const std::string& portName, const std::string& imagePath) {
    m_bEnded = false;
    m_sequencer.OnSelchangePortCombo(0, portName);
    m_sequencer.SetFilePath(imagePath);
    m_sequencer.OnStartDownload();
}

DownloadEnd CQuickWakeDownload::RunUntilEnd(int hangGuardMs) {
    if (!m_bEnded) {
        QEventLoop loop;
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
        guard.start(hangGuardMs);
        m_quitLoop = [&loop] { loop.quit(); };
        loop.exec();
        m_quitLoop = nullptr;
    }
    return m_bEnded ? m_sequencer.LastEnd() : DownloadEnd::None;
}

int CQuickWakeDownload::SetPos(int pos) {
    const int old = m_nPos;
    m_nPos = pos;
    return old;
}

}  // namespace rel
