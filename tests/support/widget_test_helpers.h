// Driving real windows in tests: spinning the event loop until something happens, and finding
// controls by their names.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QString>
#include <QThread>
#include <QWidget>

// Processes events until `condition` holds; false when the hang guard runs out first. Sleeps far
// less than QTest::qWaitFor, so a download answered command by command does not crawl.
template <class Condition>
bool SpinUntil(Condition condition, int hangGuardMs = 60000) {
    QElapsedTimer guard;
    guard.start();
    while (!condition()) {
        if (guard.elapsed() > hangGuardMs) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::usleep(200);
    }
    return true;
}

template <class T = QWidget>
T* FindControl(const QWidget& window, const char* name) {
    return window.findChild<T*>(QString::fromLatin1(name));
}
