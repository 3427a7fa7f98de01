// Ends the main window cleanly when the session ends the program (SIGTERM, a closed terminal's
// SIGHUP, Ctrl-C, SIGQUIT): the boxes it has open close, then the window and with it the port,
// whose lock is released, instead of the program dying with the port held.
#pragma once

#include "flash_downloader_dlg.h"
#include "serial/interrupt_watcher.h"

class CSessionEnd {
public:
    explicit CSessionEnd(CFlashDownloaderDlg& dlg);

private:
    CInterruptWatcher m_watcher;
};
