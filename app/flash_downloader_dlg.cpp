// The main window: lays out the controls from dialog units, hands every click, port choice, timer
// tick and receive event to the download sequencer, and asks before the program ends.
#include "flash_downloader_dlg.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPixmap>
#include <QShowEvent>
#include <QTextCursor>

#include "about_dlg.h"
#include "app_resources.h"
#include "dialog_units.h"
#include "resource.h"
#include "serial/port_names.h"

#ifdef Q_OS_WIN
#define NOMINMAX
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
constexpr char kOtherPortEntry[] = "Other port...";

QString PortEntryText(const QString& name, const QString& description) {
    return description.isEmpty() ? name : name + QStringLiteral(" (") + description + ')';
}

}  // namespace

CFlashDownloaderDlg::CFlashDownloaderDlg(QWidget* parent)
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
      m_wakeUpTimer(false, [this] { m_download.OnTimer(); }),
      m_replyTimer(true, [this] { m_download.OnReplyTimeout(); }),
      m_download(DownloadHost{m_comm, *this, *this, *this, m_wakeUpTimer, m_replyTimer}) {
    setObjectName(QStringLiteral("IDD_DOWNLOADER_DIALOG"));
    setWindowTitle(QString::fromLatin1(kMainDialogCaption));
    setWindowIcon(m_hIcon);
    setFont(DialogFont());
    CreateControls();
    FillPortList();
    AddAboutEntry();

    connect(&m_btnStart, &QPushButton::clicked, this, &CFlashDownloaderDlg::OnStartDownload);
    connect(&m_btnOpen, &QPushButton::clicked, this, &CFlashDownloaderDlg::OnOpenDataFile);
    connect(&m_comboPort, &QComboBox::currentIndexChanged, this,
            &CFlashDownloaderDlg::OnSelchangePortCombo);
    connect(&m_comm, &CMSComm::OnComm, this, &CFlashDownloaderDlg::OnCommEvent);
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
    m_comboPort.setEditable(false);
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

    // The log box scrolls to its caret on every line; it has no scroll bars of its own.
    m_editLog.setObjectName(QString::fromLatin1(IDC_LOG));
    m_editLog.setGeometry(MapDialogRect(kLogRect, units));
    m_editLog.setReadOnly(true);
    m_editLog.setUndoRedoEnabled(false);
    m_editLog.setLineWrapMode(QPlainTextEdit::NoWrap);
    m_editLog.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_editLog.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_editLog.setFocusPolicy(Qt::ClickFocus);

    m_editFilePath.setObjectName(QString::fromLatin1(IDC_FILE_PATH));
    m_editFilePath.setGeometry(MapDialogRect(kFilePathRect, units));
    m_editFilePath.setReadOnly(true);
    m_editFilePath.setFocusPolicy(Qt::ClickFocus);

    const QRect logo = MapDialogRect(kLogoRect, units);
    m_staticLogo.setGeometry(logo);
    m_staticLogo.setAlignment(Qt::AlignCenter);
    m_staticLogo.setPixmap(QPixmap(QString::fromLatin1(kLogoPath))
                               .scaled(logo.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));

    setTabOrder(&m_comboPort, &m_btnOpen);
    setTabOrder(&m_btnOpen, &m_btnStart);
    m_comboPort.setFocus();
}

void CFlashDownloaderDlg::FillPortList() {
    for (int n = 1; n <= kNumberedPorts; ++n) {
        AddPortEntry(QStringLiteral("COM%1").arg(n), QString());
    }
    // USB adapters and other ports the system knows, after the numbered ones.
    for (const SerialPortEntry& port : ListSerialPorts()) {
        AddPortEntry(QString::fromStdString(port.name), QString::fromStdString(port.description));
    }
    // Last, an entry that asks for any other port by name; it carries no port name itself.
    m_comboPort.addItem(QString::fromLatin1(kOtherPortEntry), QString());
    m_comboPort.setCurrentIndex(0);
}

int CFlashDownloaderDlg::AddPortEntry(const QString& name, const QString& description) {
    const std::string device = ResolvePortName(name.toStdString());
    for (int i = 0; i < m_comboPort.count(); ++i) {
        if (ResolvePortName(PortNameAt(i).toStdString()) == device) {
            return i;
        }
    }
    // New entries go before "Other port...", which stays last.
    int index = m_comboPort.count();
    if (index > 0 && PortNameAt(index - 1).isEmpty()) {
        --index;
    }
    const QSignalBlocker quiet(m_comboPort);  // inserting may move the current index
    m_comboPort.insertItem(index, PortEntryText(name, description), name);
    return index;
}

QString CFlashDownloaderDlg::PortNameAt(int index) const {
    return m_comboPort.itemData(index).toString();
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
}

void CFlashDownloaderDlg::OnSelchangePortCombo() {
    const int index = m_comboPort.currentIndex();
    if (index < 0) {
        return;
    }
    if (PortNameAt(index).isEmpty()) {
        const QString name = (m_askPortName ? m_askPortName(this) : AskPortName(this)).trimmed();
        // Back to a real entry first: the question's own event loop may deliver more changes.
        const QSignalBlocker quiet(m_comboPort);
        m_comboPort.setCurrentIndex(name.isEmpty() ? m_nLastPortIndex : AddPortEntry(name, {}));
    }
    m_nLastPortIndex = m_comboPort.currentIndex();
    m_download.OnSelchangePortCombo(m_nLastPortIndex, PortNameAt(m_nLastPortIndex).toStdString());
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
    const QString path = m_chooseFile ? m_chooseFile(this) : ShowOpenFileDialog(this);
    if (path.isEmpty()) {
        return;
    }
    m_download.SetFilePath(QFile::encodeName(path).toStdString());
    m_editFilePath.setText(QDir::toNativeSeparators(path));
}

QString CFlashDownloaderDlg::ShowOpenFileDialog(QWidget* parent) {
    QFileDialog dialog(parent, QString(), QString(), QString::fromLatin1(kOpenFileFilter));
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
    QTextCursor cursor = m_editLog.textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QString::fromStdString(line));
    m_editLog.setTextCursor(cursor);
    m_editLog.ensureCursorVisible();
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
