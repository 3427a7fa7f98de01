// A timer of the thread's event loop behind the sequencer's ITimer: the wake-up tick and the
// reply time-out of the desktop program and flashdl.
#pragma once

#include <QTimer>
#include <functional>

#include "download_host.h"

class CEventLoopTimer : public ITimer {
public:
    CEventLoopTimer(bool singleShot, std::function<void()> onExpiry);
    CEventLoopTimer(const CEventLoopTimer&) = delete;
    CEventLoopTimer& operator=(const CEventLoopTimer&) = delete;

    void Start(int intervalMs) override;
    void Stop() override;
    bool IsActive() const override;

private:
    std::function<void()> m_onExpiry;
    QTimer m_timer;
};
