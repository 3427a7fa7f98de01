// Answers modal windows from inside their own event loops, while the code under test waits in exec.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <functional>

class CModalWatcher {
public:
    // `act` runs on each modal window that shows while the watcher lives, once `ready` holds;
    // `acted` counts them, so an unexpected second box fails a test instead of hanging it.
    explicit CModalWatcher(
        std::function<void(QWidget*)> act, std::function<bool()> ready = [] { return true; }) {
        m_timer.callOnTimeout([this, act = std::move(act), ready = std::move(ready)] {
            const QPointer<QWidget> modal = QApplication::activeModalWidget();
            if (modal == nullptr || !modal->isVisible() || !ready()) {
                return;
            }
            ++acted;
            act(modal);
            // A failed check inside `act` may leave the box open, and nothing else would close it.
            if (auto* dialog = qobject_cast<QDialog*>(modal.data());
                dialog && dialog->isVisible()) {
                dialog->done(QDialog::Rejected);
            }
        });
        m_timer.start(5);
    }

    int acted = 0;

private:
    QTimer m_timer;
};
