// Entry point of the desktop program; it takes no command line beyond Qt's own options.
#include <QApplication>

#include "flash_downloader_app.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    CFlashDownloaderApp theApp;
    theApp.InitInstance();
    return theApp.ExitInstance();
}
