// The main window: lays out the controls from dialog units, hands every click, port choice, timer
// tick and receive event to the download sequencer, and asks before the program ends.
#include "flash_downloader_dlg.h"

#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QPixmap>
#include <QScrollBar>
#include <QShowEvent>
#include <QTextCursor>
#include <QTextOption>
#include <QUrl>

#include "about_dlg.h"
#include "app_resources.h"
#include "dialog_units.h"
#include "remembered_choices.h"
#include "resource.h"

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace {

// The window and its controls in dialog units: x, y, width, height.
constexpr QSize kDialogSize(320, 200);
constexpr QRect kPortComboRect(67, 13, 64, 108);  // the height includes the drop-down list
constexpr QRect kOpenFileRect(7, 41, 81, 14);
constexpr QRect kStartDownloadRect(7, 81, 81, 14);
constexpr QRect kOKRect(260, 37, 50, 14);
constexpr QRect kCancelRect(260, 23, 50, 14);
constexpr QRect kPortLabelRect(7, 13, 49, 8);
constexpr QRect kProgressRect(7, 179, 306, 14);
constexpr QRect kLogRect(7, 101, 306, 74);
constexpr QRect kFilePathRect(7, 61, 306, 14);
constexpr QRect kLogoRect(153, 7, 160, 47);

constexpr int kNumberedPorts = 9;  // "COM1" to "COM9"

}  // namespace

CFlashDownloaderDlg::CFlashDownloaderDlg(QWidget* parent, PortEnumerator enumeratePorts)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      m_comboPort(this),
      m_btnOpen(QStringLiteral("Open Data File"), this),
      m_btnStart(QStringLiteral("Start Download"), this),
      m_btnOK(QStringLiteral("??"), this),
      m_btnCancel(QStringLiteral("??"), this),
      m_staticPort(QStringLiteral("Serial Port:"), this),
      m_progress(this),
      m_editLog(this),
      m_editFilePath(this),
      m_staticLogo(this),
      m_hIcon(LoadAppIcon()),
      m_enumeratePorts(enumeratePorts ? std::move(enumeratePorts)
                                      : PortEnumerator(ListSerialPorts)),
      m_wakeUpTimer(false, [this] { m_download.OnTimer(); }),
      m_replyTimer(true, [this] { m_download.OnReplyTimeout(); }),
      m_download(DownloadHost{m_comm, *this, *this, *this, m_wakeUpTimer, m_replyTimer}) {
    setObjectName(QStringLiteral("IDD_DOWNLOADER_DIALOG"));
    setWindowTitle(QString::fromLatin1(kMainDialogCaption));
    setWindowIcon(m_hIcon);
    setFont(DialogFont());
    CreateControls();
    DescribeControls();
    FillPortList();
    AddAboutEntry();
    setAcceptDrops(true);

    connect(&m_btnStart, &QPushButton::clicked, this, &CFlashDownloaderDlg::OnStartDownload);
    connect(&m_btnOpen, &QPushButton::clicked, this, &CFlashDownloaderDlg::OnOpenDataFile);
    connect(&m_comboPort, &CPortComboBox::PortSelected, this,
            [this](int, const QString&, bool chosen) { OnSelchangePortCombo(chosen); });
    connect(&m_comboPort, &CPortComboBox::OtherPortChosen, this, &CFlashDownloaderDlg::OnOtherPort);
    connect(&m_comm, &CMSComm::OnComm, this, &CFlashDownloaderDlg::OnCommEvent);
    // Adapters plugged in or pulled out while the window is open.
    connect(&m_portPoll, &QTimer::timeout, this, &CFlashDownloaderDlg::RefreshPorts);
    m_portPoll.start(kPortPollMs);
}

CFlashDownloaderDlg::~CFlashDownloaderDlg() {
    // The port goes after the sequencer; nothing it raises while closing may reach a handler.
    disconnect(&m_comm, nullptr, this, nullptr);
    m_wakeUpTimer.Stop();
    m_replyTimer.Stop();
}

void CFlashDownloaderDlg::CreateControls() {
    const DialogBaseUnits units = DialogBaseUnitsOf(font());
    setFixedSize(MapDialogSize(kDialogSize, units));

    // A combo box's template height is its drop-down list; the box itself is one line high.
    const QRect combo = MapDialogRect(kPortComboRect, units);
    m_comboPort.setObjectName(QString::fromLatin1(IDC_PORT_COMBO));
    m_comboPort.setGeometry(combo.x(), combo.y(), combo.width(), m_comboPort.sizeHint().height());
    const int itemHeight = qMax(1, m_comboPort.fontMetrics().height());
    m_comboPort.setMaxVisibleItems(
        qMax(kNumberedPorts, (combo.height() - m_comboPort.height()) / itemHeight));

    m_btnOpen.setObjectName(QString::fromLatin1(IDC_OPEN_FILE));
    m_btnOpen.setGeometry(MapDialogRect(kOpenFileRect, units));
    m_btnStart.setObjectName(QString::fromLatin1(IDC_START_DOWNLOAD));
    m_btnStart.setGeometry(MapDialogRect(kStartDownloadRect, units));

    m_btnOK.setObjectName(QStringLiteral("IDOK"));
    m_btnOK.setGeometry(MapDialogRect(kOKRect, units));
    m_btnOK.setDefault(true);
    m_btnOK.hide();
    m_btnCancel.setObjectName(QStringLiteral("IDCANCEL"));
    m_btnCancel.setGeometry(MapDialogRect(kCancelRect, units));
    m_btnCancel.hide();

    m_staticPort.setGeometry(MapDialogRect(kPortLabelRect, units));
    m_staticPort.setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_progress.setObjectName(QString::fromLatin1(IDC_PROGRESS));
    m_progress.setGeometry(MapDialogRect(kProgressRect, units));
    m_progress.setFocusPolicy(Qt::NoFocus);

    // The log box has no scroll bars of its own: long lines wrap inside its width (within a word
    // only when the word alone is wider), the newest line is kept in view, and once clicked the
    // keyboard moves and selects through the text.
    m_editLog.setObjectName(QString::fromLatin1(IDC_LOG));
    m_editLog.setGeometry(MapDialogRect(kLogRect, units));
    m_editLog.setReadOnly(true);
    m_editLog.setUndoRedoEnabled(false);
    m_editLog.setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_editLog.setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_editLog.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_editLog.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_editLog.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_editLog.setFocusPolicy(Qt::ClickFocus);
    // Drops anywhere on the window are the window's.
    m_editLog.setAcceptDrops(false);
    m_editLog.viewport()->setAcceptDrops(false);

    m_editFilePath.setObjectName(QString::fromLatin1(IDC_FILE_PATH));
    m_editFilePath.setGeometry(MapDialogRect(kFilePathRect, units));
    m_editFilePath.setReadOnly(true);
    m_editFilePath.setFocusPolicy(Qt::ClickFocus);
    m_editFilePath.setAcceptDrops(false);

    const QRect logo = MapDialogRect(kLogoRect, units);
    m_staticLogo.setGeometry(logo);
    m_staticLogo.setAlignment(Qt::AlignCenter);
    m_staticLogo.setPixmap(QPixmap(QString::fromLatin1(kLogoPath))
                               .scaled(logo.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));

    setTabOrder(&m_comboPort, &m_btnOpen);
    setTabOrder(&m_btnOpen, &m_btnStart);
    m_comboPort.setFocus();
}

void CFlashDownloaderDlg::DescribeControls() {
    const struct {
        QWidget* control;
        const char* name;
        const char* description;
    } controls[] = {
        {&m_comboPort, "Serial Port",
         "The serial port the hand controller is connected to; Other port... asks for any other "
         "port by name"},
        {&m_btnOpen, "Open Data File", "Chooses the firmware image to write into the flash"},
        {&m_editFilePath, "Data file", "The firmware image the next download writes"},
        {&m_btnStart, "Start Download",
         "Starts the download; reset the hand controller when the log asks. Clicked while "
         "waiting for the controller, it stops"},
        {&m_editLog, "Log", "What the download has done so far, newest line last"},
        {&m_progress, "Progress", "How much of the download is done"},
    };
    for (const auto& c : controls) {
        c.control->setAccessibleName(QString::fromLatin1(c.name));
        c.control->setAccessibleDescription(QString::fromLatin1(c.description));
    }
    m_staticPort.setBuddy(&m_comboPort);
}

void CFlashDownloaderDlg::FillPortList() {
    // USB adapters and other ports the system knows come after the numbered ones.
    m_comboPort.Fill(m_enumeratePorts());
    // The port chosen last time, if it is there; the image is never chosen for the user.
    m_comboPort.SelectPort(CRememberedChoices::LastPort());
    m_download.OnSelchangePortCombo(m_comboPort.currentIndex(),
                                    m_comboPort.CurrentPort().toStdString());
}

void CFlashDownloaderDlg::RefreshPorts() {
    // Not under the user's pointer: the opened list keeps its entries until it closes.
    if (m_comboPort.IsListOpen()) {
        return;
    }
    if (!m_download.IsDownloading()) {
        m_strDownloadPort.clear();
    }
    m_comboPort.UpdateReportedPorts(m_enumeratePorts(), m_strDownloadPort);
}

int CFlashDownloaderDlg::AddPortEntry(const QString& name, const QString& description) {
    return m_comboPort.AddPortEntry(name, description);
}

QString CFlashDownloaderDlg::PortNameAt(int index) const {
    return m_comboPort.PortNameAt(index);
}

void CFlashDownloaderDlg::AddAboutEntry() {
    m_aboutAction = new QAction(QString::fromLatin1(IDS_ABOUTBOX), this);
    m_aboutAction->setShortcut(QKeySequence(Qt::Key_F1));
    m_aboutAction->setShortcutContext(Qt::WindowShortcut);
    connect(m_aboutAction, &QAction::triggered, this, [this] { OnSysCommand(IDM_ABOUTBOX); });
    addAction(m_aboutAction);
#ifndef Q_OS_WIN
    // Only Windows lets a program add to the window's system menu; elsewhere the entry is on the
    // window's own context menu.
    setContextMenuPolicy(Qt::ActionsContextMenu);
#endif
}

void CFlashDownloaderDlg::showEvent(QShowEvent* event) {
#ifdef Q_OS_WIN
    if (!m_bSystemMenuExtended) {
        HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(winId()), FALSE);
        if (menu != nullptr) {
            const std::wstring text = QString::fromLatin1(IDS_ABOUTBOX).toStdWString();
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, text.c_str());
        }
        m_bSystemMenuExtended = true;
    }
#endif
    QDialog::showEvent(event);
}

#ifdef Q_OS_WIN
bool CFlashDownloaderDlg::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
    const MSG* msg = static_cast<const MSG*>(message);
    if (eventType == "windows_generic_MSG" && msg->message == WM_SYSCOMMAND &&
        (static_cast<unsigned>(msg->wParam) & 0xFFF0u) == IDM_ABOUTBOX) {
        // Opened from the event loop rather than inside the system's menu processing.
        QMetaObject::invokeMethod(
            this, [this] { OnSysCommand(IDM_ABOUTBOX); }, Qt::QueuedConnection);
        *result = 0;
        return true;
    }
    return QDialog::nativeEvent(eventType, message, result);
}
#endif

bool CFlashDownloaderDlg::OnSysCommand(unsigned nID) {
    if ((nID & 0xFFF0u) != IDM_ABOUTBOX) {
        return false;
    }
    // Modal, but the event loop keeps running: a download goes on while the box is open.
    CAboutDlg about(this);
    about.exec();
    return true;
}

void CFlashDownloaderDlg::OnStartDownload() {
    m_download.OnStartDownload();
    if (m_download.IsDownloading()) {
        m_strDownloadPort = QString::fromStdString(m_download.PortName());
    }
}

void CFlashDownloaderDlg::OnSelchangePortCombo(bool chosen) {
    const QString port = m_comboPort.CurrentPort();
    m_download.OnSelchangePortCombo(m_comboPort.IndexOfPort(port), port.toStdString());
    if (chosen) {
        CRememberedChoices::SetLastPort(port);
    }
}

void CFlashDownloaderDlg::OnOtherPort() {
    const QString name = (m_askPortName ? m_askPortName(this) : AskPortName(this)).trimmed();
    // Cancelled: back to the port in effect before.
    m_comboPort.setCurrentIndex(name.isEmpty() ? m_comboPort.IndexOfPort(m_comboPort.CurrentPort())
                                               : AddPortEntry(name, {}));
}

QString CFlashDownloaderDlg::AskPortName(QWidget* parent) {
    return QInputDialog::getText(parent, QString::fromLatin1(kOtherPortEntry),
                                 QStringLiteral("Port name or device path (for example COM12, "
                                                "/dev/ttyUSB0 or the emulator's /dev/pts/N):"));
}

void CFlashDownloaderDlg::OnCommEvent() {
    m_download.OnCommEvent();
}

void CFlashDownloaderDlg::OnOpenDataFile() {
    const QString path = m_chooseFile
                             ? m_chooseFile(this)
                             : ShowOpenFileDialog(this, CRememberedChoices::LastImageFolder());
    if (path.isEmpty()) {
        return;
    }
    TakeImage(path);
}

void CFlashDownloaderDlg::TakeImage(const QString& path) {
    m_download.SetFilePath(QFile::encodeName(path).toStdString());
    m_editFilePath.setText(QDir::toNativeSeparators(path));
    CRememberedChoices::SetLastImageFolder(QFileInfo(path).absolutePath());
}

QString CFlashDownloaderDlg::DroppableFile(const QMimeData* data) const {
    if (m_download.IsDownloading() || data == nullptr || data->urls().size() != 1) {
        return QString();
    }
    const QUrl url = data->urls().constFirst();
    if (!url.isLocalFile()) {
        return QString();
    }
    const QFileInfo file(url.toLocalFile());
    return file.isFile() ? file.absoluteFilePath() : QString();
}

void CFlashDownloaderDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (DroppableFile(event->mimeData()).isEmpty()) {
        event->ignore();
    } else {
        event->acceptProposedAction();
    }
}

void CFlashDownloaderDlg::dragMoveEvent(QDragMoveEvent* event) {
    // A download may have started since the drag came in.
    if (DroppableFile(event->mimeData()).isEmpty()) {
        event->ignore();
    } else {
        event->acceptProposedAction();
    }
}

void CFlashDownloaderDlg::dropEvent(QDropEvent* event) {
    const QString path = DroppableFile(event->mimeData());
    if (path.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    TakeImage(path);
}

QString CFlashDownloaderDlg::ShowOpenFileDialog(QWidget* parent, const QString& folder) {
    // A folder that has gone since is no place to start.
    const QString start = QDir(folder).exists() ? folder : QString();
    QFileDialog dialog(parent, QString(), start, QString::fromLatin1(kOpenFileFilter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The name of a file that does not exist yet is taken as typed; Start Download says so.
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted) {
        return QString();
    }
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : QFileInfo(files.first()).absoluteFilePath();
}

void CFlashDownloaderDlg::Clear() {
    m_editLog.clear();
}

void CFlashDownloaderDlg::AppendLine(const std::string& line) {
    // A selection the user is making stays as it is; a mere caret goes along to the end.
    const int anchor = m_editLog.textCursor().anchor();
    const int position = m_editLog.textCursor().position();
    QTextCursor end(m_editLog.document());
    end.movePosition(QTextCursor::End);
    end.insertText(QString::fromStdString(line));
    if (anchor != position) {
        QTextCursor selection(m_editLog.document());
        selection.setPosition(anchor);
        selection.setPosition(position, QTextCursor::KeepAnchor);
        m_editLog.setTextCursor(selection);
    } else {
        m_editLog.setTextCursor(end);
        m_editLog.ensureCursorVisible();
    }
    // The newest line in view, also under a selection.
    QScrollBar* scroll = m_editLog.verticalScrollBar();
    scroll->setValue(scroll->maximum());
}

void CFlashDownloaderDlg::ShowPortError(const std::string& message) {
    // Not waited for here: the sequencer's handler runs to its end before the user answers.
    auto* box = new QMessageBox(QMessageBox::Warning, QString::fromLatin1(kApplicationName),
                                QString::fromStdString(message), QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("portErrorBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void CFlashDownloaderDlg::SetRange(int lower, int upper) {
    m_progress.SetRange(lower, upper);
}

int CFlashDownloaderDlg::SetPos(int pos) {
    return m_progress.SetPos(pos);
}

void CFlashDownloaderDlg::EnableStart(bool enable) {
    m_btnStart.setEnabled(enable);
}

void CFlashDownloaderDlg::EnableOpen(bool enable) {
    m_btnOpen.setEnabled(enable);
}

void CFlashDownloaderDlg::keyPressEvent(QKeyEvent* event) {
    // A focused push button takes Enter as its own click; anywhere else Enter would end the
    // program at once, which in the middle of a flash leaves the controller unusable. So it
    // asks first, like Esc.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        event->accept();
        OnOK();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CFlashDownloaderDlg::accept() {
    OnOK();
}

void CFlashDownloaderDlg::reject() {
    OnCancel();
}

void CFlashDownloaderDlg::OnOK() {
    if (ConfirmQuit()) {
        EndDialog(QDialog::Accepted);
    }
}

void CFlashDownloaderDlg::OnCancel() {
    if (ConfirmQuit()) {
        EndDialog(QDialog::Rejected);
    }
}

void CFlashDownloaderDlg::EndSession() {
    EndDialog(QDialog::Rejected);
}

bool CFlashDownloaderDlg::ConfirmQuit() {
    if (m_bAskingToQuit) {
        return false;
    }
    m_bAskingToQuit = true;
    // The question keeps the event loop running: a download goes on until the answer is Yes.
    const QMessageBox::StandardButton answer = QMessageBox::question(
        this, QString::fromLatin1(kQuitQuestionCaption), QString::fromLatin1(kQuitQuestion),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    m_bAskingToQuit = false;
    return answer == QMessageBox::Yes;
}

void CFlashDownloaderDlg::EndDialog(int result) {
    // The window ends here; so do the wake-up bytes and the port.
    m_wakeUpTimer.Stop();
    m_replyTimer.Stop();
    if (m_comm.GetPortOpen()) {
        m_comm.SetPortOpen(false);
    }
    QDialog::done(result);
}
