// A timer of the thread's event loop behind the sequencer's ITimer.
#include "event_loop_timer.h"

namespace {

// Coarse timers may fire 5 % late, which would stretch the 100 ms wake-up period noticeably;
// long time-outs do not care and spare the system the wake-ups.
constexpr int kPreciseBelowMs = 1000;

}  // namespace

CEventLoopTimer::CEventLoopTimer(bool singleShot, std::function<void()> onExpiry)
    : m_onExpiry(std::move(onExpiry)) {
    m_timer.setSingleShot(singleShot);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
        if (m_onExpiry) {
            m_onExpiry();
        }
    });
}

void CEventLoopTimer::Start(int intervalMs) {
    m_timer.setTimerType(intervalMs < kPreciseBelowMs ? Qt::PreciseTimer : Qt::CoarseTimer);
    m_timer.start(intervalMs);
}

void CEventLoopTimer::Stop() {
    m_timer.stop();
}

bool CEventLoopTimer::IsActive() const {
    return m_timer.isActive();
}
