// Driving real windows in tests: spinning the event loop until something happens, and finding
// controls by their names.
#pragma once

#include <QString>
#include <QWidget>

#include "event_pump.h"

// Processes events until `condition` holds; false when the hang guard runs out first.
template <class Condition>
bool SpinUntil(Condition condition, int hangGuardMs = 60000) {
    return PumpUntil(condition, hangGuardMs);
}

template <class T = QWidget>
T* FindControl(const QWidget& window, const char* name) {
    return window.findChild<T*>(QString::fromLatin1(name));
}
