#include "event_wait.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

namespace bench {

bool SpinUntil(const std::function<bool()>& done, int guardMs) {
    QElapsedTimer elapsed;
    elapsed.start();
    // Wakes the loop now and then, so the guard is looked at even when nothing else happens.
    QTimer tick;
    tick.start(50);
    while (!done()) {
        if (elapsed.elapsed() > guardMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

}  // namespace bench
