// Runs the Qt event loop from a test, so serial ports and timers keep working while it waits.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <functional>

// Pumps events until done() holds; false when the time-out, a mere hang guard, ran out first.
inline bool PumpUntil(const std::function<bool()>& done, int guardMs = 10000) {
    const QDeadlineTimer deadline(guardMs);
    bool holds = false;
    while (!(holds = done()) && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return holds;
}

inline void PumpFor(int ms) {
    PumpUntil([] { return false; }, ms);
}
