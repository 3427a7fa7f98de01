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

#include <QTimer>
#include <vector>

#include "controls/hover_gradient_button.h"
#include "controls/labelled_progress_ctrl.h"
#include "download/download_host.h"
#include "download/download_sequencer.h"
#include "port_combo_box.h"
#include "serial/event_loop_timer.h"
#include "serial/mscomm.h"
#include "serial/port_names.h"

class QAction;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QKeyEvent;
class QMimeData;

class CFlashDownloaderDlg : public QDialog, public IDownloadLog, public IProgress, public IButtons {
    Q_OBJECT

public:
    // Shows the file dialog and returns the chosen path, or an empty text when cancelled.
    using FileChooser = std::function<QString(QWidget* parent)>;
    // The serial ports the system reports now.
    using PortEnumerator = std::function<std::vector<SerialPortEntry>()>;

    // Without an enumerator the window lists the ports the system reports.
    explicit CFlashDownloaderDlg(QWidget* parent = nullptr, PortEnumerator enumeratePorts = {});
    ~CFlashDownloaderDlg() override;

    // Handlers of the buttons, the port list, the serial control's event and the About command.
    void OnStartDownload();
    void OnOpenDataFile();
    // `chosen` is false when the list itself moved away from a port the system no longer reports;
    // only a chosen port is remembered for the next run.
    void OnSelchangePortCombo(bool chosen = true);
    // The user chose "Other port...": asks for the port's name.
    void OnOtherPort();
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
    // The file dialog, opened in `folder` (the current one when empty).
    static QString ShowOpenFileDialog(QWidget* parent, const QString& folder);

    // Asks the system for its ports now, as the window does every second.
    void RefreshPorts();
    // How often the window asks the system for its ports.
    static constexpr int kPortPollMs = 1000;

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
    // One local file dropped while no download runs is taken as the image; anything else is
    // refused, and the pointer shows it while dragging.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
#ifdef Q_OS_WIN
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#endif

private:
    void CreateControls();
    void DescribeControls();
    void FillPortList();
    // What Open Data File and a drop do with the chosen file.
    void TakeImage(const QString& path);
    // The one local file a drag carries; empty when it may not be dropped now.
    QString DroppableFile(const QMimeData* data) const;
    void AddAboutEntry();
    bool ConfirmQuit();
    void EndDialog(int result);

    // The controls, created in tab order.
    CPortComboBox m_comboPort;
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
    PortEnumerator m_enumeratePorts;
    QTimer m_portPoll;
    // The port the running download opened; it stays listed until the download ends.
    QString m_strDownloadPort;

    CMSComm m_comm;
    CEventLoopTimer m_wakeUpTimer;
    CEventLoopTimer m_replyTimer;
    // Last: it holds references to the port, the timers and this window.
    CDownloadSequencer m_download;
};
