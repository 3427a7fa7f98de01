// Helpers for driving the real windows in tests: spinning the event loop, finding controls by
// their names, reading the log box and answering modal boxes while they are open.
#pragma once

#include <QApplication>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <initializer_list>

// Processes events until `condition` holds; false when the hang guard runs out first.
bool SpinUntil(const std::function<bool()>& condition, int hangGuardMs = 60000);

template <class T>
T* FindControl(const QWidget& window, const char* name) {
    return window.findChild<T*>(QString::fromLatin1(name));
}

// The log box's text, and the text that the given status lines make, each ending in "\r\n".
QString LogBoxText(const QWidget& window);
QString LogLines(std::initializer_list<const char*> lines);

// Watches for a modal window while the code under test runs its own event loop (a modal box's
// exec). Once a modal window is active and `ready` allows, `act` runs once on it; a modal dialog
// that `act` leaves open is then rejected, so a failed check cannot hang the test.
class CModalWatcher {
public:
    using Ready = std::function<bool(QWidget* modal)>;
    using Act = std::function<void(QWidget* modal)>;

    CModalWatcher(Ready ready, Act act);
    explicit CModalWatcher(Act act);

    int ModalsSeen() const { return m_nSeen; }
    bool Acted() const { return m_bActed; }

private:
    void Poll();

    Ready m_ready;
    Act m_act;
    QWidget* m_lastModal = nullptr;
    int m_nSeen = 0;
    bool m_bActed = false;
    QTimer m_timer;
};
