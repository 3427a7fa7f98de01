// The main window: port list, image selection, the two action buttons, the log box and the
// progress bar, wired to the download sequencer.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>
#include <functional>
#include <string>

#include "controls/hover_gradient_button.h"
#include "controls/labelled_progress_ctrl.h"
#include "download/download_host.h"
#include "download/download_sequencer.h"
#include "serial/event_loop_timer.h"
#include "serial/mscomm.h"

class QAction;
class QKeyEvent;

class CFlashDownloaderDlg : public QDialog, public IDownloadLog, public IProgress, public IButtons {
    Q_OBJECT

public:
    // Shows the file dialog and returns the chosen path, or an empty text when cancelled.
    using FileChooser = std::function<QString(QWidget* parent)>;

    explicit CFlashDownloaderDlg(QWidget* parent = nullptr);
    ~CFlashDownloaderDlg() override;

    // Handlers of the buttons, the port list, the serial control's event and the About command.
    void OnStartDownload();
    void OnOpenDataFile();
    void OnSelchangePortCombo();
    void OnCommEvent();
    // Opens the About box for the About command (any ID whose high bits are IDM_ABOUTBOX);
    // returns false for every other system command, which the caller leaves to the system.
    bool OnSysCommand(unsigned nID);
    void OnOK();
    void OnCancel();
    // The session ends the program (SIGTERM, SIGHUP): the window ends without asking and the
    // port closes at once.
    void EndSession();

    // Adds a port to the list unless it names one already there; returns the port's index.
    int AddPortEntry(const QString& name, const QString& description);
    // The port name behind an entry of the list.
    QString PortNameAt(int index) const;

    // The file dialog; tests put their own chooser in its place.
    void SetFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }
    // Asks for a port the system does not report (an emulated controller's pseudo-terminal, an
    // adapter without a driver entry); returns an empty text when cancelled.
    void SetPortNameAsker(FileChooser asker) { m_askPortName = std::move(asker); }
    static QString AskPortName(QWidget* parent);
    static QString ShowOpenFileDialog(QWidget* parent);

    CDownloadSequencer& Download() { return m_download; }
    const CMSComm& Comm() const { return m_comm; }

    // The log box's two operations; every status line goes through them.
    void Clear() override;
    void AppendLine(const std::string& line) override;
    void ShowPortError(const std::string& message) override;

    void SetRange(int lower, int upper) override;
    int SetPos(int pos) override;

    void EnableStart(bool enable) override;
    void EnableOpen(bool enable) override;

    // Enter and Esc, the close button and the system menu's Close all come here.
    void accept() override;
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
#ifdef Q_OS_WIN
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#endif

private:
    void CreateControls();
    void FillPortList();
    void AddAboutEntry();
    bool ConfirmQuit();
    void EndDialog(int result);

    // The controls, created in tab order.
    QComboBox m_comboPort;
    CHoverGradientButton m_btnOpen;
    CHoverGradientButton m_btnStart;
    // Never shown: the default button, so that neither action button is the default unless it
    // has the focus (Qt would otherwise make the first of them the default).
    QPushButton m_btnOK;
    QPushButton m_btnCancel;
    QLabel m_staticPort;
    CLabelledProgressCtrl m_progress;
    QPlainTextEdit m_editLog;
    QLineEdit m_editFilePath;
    QLabel m_staticLogo;

    QIcon m_hIcon;
    QAction* m_aboutAction = nullptr;  // owned by the dialog
    bool m_bSystemMenuExtended = false;
    bool m_bAskingToQuit = false;
    FileChooser m_chooseFile;
    FileChooser m_askPortName;
    int m_nLastPortIndex = 0;  // the entry to go back to when "Other port..." is cancelled

    CMSComm m_comm;
    CEventLoopTimer m_wakeUpTimer;
    CEventLoopTimer m_replyTimer;
    // Last: it holds references to the port, the timers and this window.
    CDownloadSequencer m_download;
};
