// Event-loop and modal-box helpers shared by the desktop program's tests.
#include "dialog_test_support.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPointer>
#include <QThread>

bool SpinUntil(const std::function<bool()>& condition, int hangGuardMs) {
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

QString LogBoxText(const QWidget& window) {
    const auto* log = FindControl<QPlainTextEdit>(window, "IDC_LOG");
    return log == nullptr ? QStringLiteral("<no log box>") : log->toPlainText();
}

QString LogLines(std::initializer_list<const char*> lines) {
    QString text;
    for (const char* line : lines) {
        text += QString::fromLatin1(line) + QStringLiteral("\r\n");
    }
    // The log box keeps each CR LF as one line break.
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

CModalWatcher::CModalWatcher(Ready ready, Act act)
    : m_ready(std::move(ready)), m_act(std::move(act)) {
    m_timer.setInterval(5);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { Poll(); });
    m_timer.start();
}

CModalWatcher::CModalWatcher(Act act)
    : CModalWatcher([](QWidget*) { return true; }, std::move(act)) {}

void CModalWatcher::Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible() || m_bActed) {
        return;
    }
    if (modal != m_lastModal) {
        m_lastModal = modal;
        ++m_nSeen;
    }
    if (m_ready(modal)) {
        m_bActed = true;
        m_timer.stop();
        QPointer<QWidget> guard(modal);
        m_act(modal);
        // A failed check inside `act` may leave the box open; nothing would ever close it.
        auto* dialog = qobject_cast<QDialog*>(guard.data());
        if (dialog != nullptr && dialog->isVisible()) {
            dialog->done(QDialog::Rejected);
        }
    }
}
