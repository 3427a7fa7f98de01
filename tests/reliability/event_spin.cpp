// Event-loop waits for the reliability tests.
#include "event_spin.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace rel {

namespace {
constexpr int kPollMs = 2;
}  // namespace

void SpinFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool SpinUntil(const std::function<bool()>& condition, int hangGuardMs) {
    QDeadlineTimer deadline(hangGuardMs);
    // The emulator's records change on a thread of its own, which posts no events: look at
    // them at least this often even when the line is quiet.
    QTimer poll;
    poll.start(kPollMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

}  // namespace rel
