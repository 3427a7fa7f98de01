// Starts the program: its identity, then the main window, modally, until the user quits.
#include "flash_downloader_app.h"

#include <QApplication>

#include "app_resources.h"
#include "flash_downloader_dlg.h"
#include "resource.h"
#include "session_end.h"

void CFlashDownloaderApp::SetUpApplication() {
    QApplication::setApplicationName(QString::fromLatin1(kApplicationName));
    QApplication::setApplicationVersion(QStringLiteral(AFD_VERSION_STRING));
    QApplication::setWindowIcon(LoadAppIcon());
}

bool CFlashDownloaderApp::InitInstance() {
    SetUpApplication();
    CFlashDownloaderDlg dlg;
    const CSessionEnd sessionEnd(dlg);
    dlg.exec();
    return false;
}
