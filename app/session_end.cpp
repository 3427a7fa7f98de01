// Closes the window's boxes and then the window when a signal ends the session.
#include "session_end.h"

#include <QApplication>
#include <QDialog>

namespace {

void EndWindow(CFlashDownloaderDlg& dlg) {
    // Each box (the quit question, the About box, the file dialog) runs an event loop of its own
    // inside the window's; they end first, innermost first.
    QWidget* box = QApplication::activeModalWidget();
    while (box != nullptr && box != &dlg && qobject_cast<QDialog*>(box) != nullptr) {
        static_cast<QDialog*>(box)->reject();
        QWidget* next = QApplication::activeModalWidget();
        box = next != box ? next : nullptr;  // one that will not go is left to the window's end
    }
    dlg.EndSession();
}

}  // namespace

CSessionEnd::CSessionEnd(CFlashDownloaderDlg& dlg)
    : m_watcher(EndingSignals(), [&dlg](int) { EndWindow(dlg); }) {}
