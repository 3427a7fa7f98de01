// The main window driven for real against the emulated controller: a first download from choosing
// the file to quitting and the next window, what stops a start, files dropped on the window, the
// session's end, the log box as users read and handle it, and the port list as adapters come and
// go and "Other port..." is passed over or chosen.
#include <gtest/gtest.h>
#include <signal.h>

#include <QAbstractItemView>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QUrl>
#include <QWheelEvent>
#include <functional>

#include "flash_downloader_dlg.h"
#include "isolated_settings.h"
#include "modal_watcher.h"
#include "remembered_choices.h"
#include "resource.h"
#include "session_end.h"
#include "sim/pty_boot_loader.h"
#include "temp_image.h"
#include "widget_test_helpers.h"

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

// How the last download ended, how many of the two buttons work and what the log box says.
using View = std::tuple<DownloadEnd, int, QString>;

// The main window with every progress position recorded alongside what the user saw then.
class CRecordingDlg : public CFlashDownloaderDlg {
public:
    using CFlashDownloaderDlg::CFlashDownloaderDlg;
    int SetPos(int pos) override {
        steps.emplace_back(pos, Seen());
        return CFlashDownloaderDlg::SetPos(pos);
    }
    View Seen() {
        return {Download().LastEnd(),
                FindControl(*this, "IDC_START_DOWNLOAD")->isEnabled() +
                    FindControl(*this, "IDC_OPEN_FILE")->isEnabled(),
                FindControl<QPlainTextEdit>(*this, "IDC_LOG")->toPlainText()};
    }
    bool Ended() { return Download().LastEnd() != DownloadEnd::None; }
    void ClickStart() { FindControl<QPushButton>(*this, "IDC_START_DOWNLOAD")->click(); }

    std::vector<std::pair<int, View>> steps;
};

// The window on the ports the test reports, with the emulated controller on a pseudo-terminal.
class AppWindow : public ::testing::Test {
protected:
    void SetUp() override {
        CIsolatedSettings::ForgetAll();
        OpenWindow();
    }

    // A new window, shown and active as in the program: the progress bar moves only once it has a
    // window.
    void OpenWindow() {
        dlg = std::make_unique<CRecordingDlg>(nullptr, [this] { return reported; });
        dlg->show();
        dlg->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
        ports = FindControl<CPortComboBox>(*dlg, "IDC_PORT_COMBO");
    }
    // Starts the emulated controller, has the system report its line and picks it.
    void Connect(EmulatorOptions options) {
        loader = std::make_unique<CPtyBootLoader>(options);
        std::string error;
        ASSERT_TRUE(loader->Start(&error)) << error;
        reported = {{loader->SlavePath(), "emulated"}};
        dlg->RefreshPorts();
        ports->setCurrentIndex(ports->IndexOfPort(QString::fromStdString(loader->SlavePath())));
    }
    QString PortInEffect() const { return QString::fromStdString(dlg->Download().PortName()); }

    std::vector<SerialPortEntry> reported;
    std::unique_ptr<CPtyBootLoader> loader;
    std::unique_ptr<CRecordingDlg> dlg;  // after the line: the port closes while it still exists
    CPortComboBox* ports = nullptr;
};

// The log box keeps each CR LF as one line break.
const QString kPrompt = "Please reset the KESTRANE(VELMORA), waiting for connection ...\n";
const QString kWorking =
    kPrompt + "Connected.\nProcessing ...\nTotal progress may need 5 minutes.\nPlease wait ...\n";
const QString kCheckDevices = "Please make sure all devices is OK, then click Start Download.\n";

// The window opens on COM1 with empty boxes, both buttons working and the focus on the port list.
// Enter on the focused Open Data File shows the file dialog, whose Cancel keeps the file chosen.
// The download goes on under the About box and the quit question each way out asks, moves the bar
// through all 64 blocks and fills the flash; then Yes ends the window. The next window comes up on
// the port chosen last with an empty path box, and opens the file dialog in the image's folder.
TEST_F(AppWindow, AFirstDownloadGoesOnUnderTheAboutBoxAndEveryQuitQuestion) {
    EXPECT_EQ(dlg->Seen(), View(DownloadEnd::None, 2, QString()));
    EXPECT_EQ(PortInEffect(), "COM1");
    for (const char* name :
         {"IDC_PORT_COMBO", "IDC_OPEN_FILE", "IDC_START_DOWNLOAD", "IDC_PORT_COMBO"}) {
        EXPECT_EQ(QApplication::focusWidget(), FindControl(*dlg, name)) << name;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }

    EmulatorOptions options;
    options.replyLatencyUs = 1000;  // slow enough that the download outlasts every box
    Connect(options);
    const CTempImage file(64 * 1024);
    const QString path = QString::fromStdString(file.path);
    QWidget* open = FindControl(*dlg, "IDC_OPEN_FILE");
    open->setFocus();
    for (const auto result : {QDialog::Accepted, QDialog::Rejected}) {
        CModalWatcher watcher([&](QWidget* modal) {
            auto* files = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(files, nullptr) << modal->metaObject()->className();
            EXPECT_EQ(files->nameFilters(), QStringList{"Bin File ( *.bin)"});
            EXPECT_EQ(files->fileMode(), QFileDialog::AnyFile);
            EXPECT_EQ(files->parentWidget(), dlg.get());
            files->selectFile(result == QDialog::Accepted ? path : path + ".other");
            static_cast<QDialog*>(files)->done(result);
        });
        QTest::keyClick(open, Qt::Key_Return);
        EXPECT_EQ(watcher.acted, 1);
        EXPECT_EQ(FindControl<QLineEdit>(*dlg, "IDC_FILE_PATH")->text(),
                  QDir::toNativeSeparators(path));
        EXPECT_EQ(dlg->Download().FilePath(), file.path);
    }

    dlg->activateWindow();  // after the file dialog, for F1
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    dlg->ClickStart();
    EXPECT_EQ(dlg->Seen(), View(DownloadEnd::None, 2, kPrompt));
    // Connected first: a controller that never answers would leave the boxes open for good.
    ASSERT_TRUE(SpinUntil([this] { return loader->Commands().size() >= 2; }));
    // F1 and the About command, whose low four bits don't count, open the About box; Esc, the
    // close button, the OK command, Enter on the port list and keypad Enter in the log box ask.
    const std::function<void()> boxes[] = {
        [&] { QTest::keyClick(dlg.get(), Qt::Key_F1); },
        [&] { EXPECT_TRUE(dlg->OnSysCommand(0x001F)); },
        [&] { QTest::keyClick(dlg.get(), Qt::Key_Escape); },
        [&] { dlg->close(); },
        [&] { dlg->accept(); },
        [&] { QTest::keyClick(ports, Qt::Key_Return); },
        [&] { QTest::keyClick(FindControl(*dlg, "IDC_LOG"), Qt::Key_Enter, Qt::KeypadModifier); },
    };
    {
        std::size_t commandsAtOpen = 0;
        QMessageBox::StandardButton quit = QMessageBox::No;
        // Each box stays open while the controller answers 20 more commands.
        CModalWatcher answer(
            [&](QWidget* modal) {
                EXPECT_EQ(modal->parentWidget(), dlg.get());
                if (modal->windowTitle() == "About Altrevo Flash Downloader") {
                    QTest::keyClick(modal, Qt::Key_Escape);  // which must not ask to quit
                    return;
                }
                auto* box = qobject_cast<QMessageBox*>(modal);
                ASSERT_NE(box, nullptr) << modal->metaObject()->className();
                EXPECT_EQ(box->text(), "Are you sure you want to quit Altrevo Flash Downloader?");
                EXPECT_EQ(box->windowTitle(), "Message");
                EXPECT_EQ(box->icon(), QMessageBox::Question);
                EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
                EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Yes));
                box->button(quit)->click();
            },
            [&] { return loader->Commands().size() >= commandsAtOpen + 20 || dlg->Ended(); });
        for (const auto& openBox : boxes) {
            commandsAtOpen = loader->Commands().size();
            openBox();
            EXPECT_EQ(answer.acted, &openBox - boxes + 1);
            EXPECT_TRUE(dlg->isVisible());
            EXPECT_TRUE(dlg->Download().IsDownloading());
        }
        ASSERT_TRUE(SpinUntil([this] { return dlg->Ended(); }));
        EXPECT_EQ(dlg->Seen(), View(DownloadEnd::Success, 2,
                                    kWorking + "Flash download successfully finished!\n"));
        // The bar: 0 before the prompt, then 1 and 5 to 20 while erasing and one per block, each
        // move with both buttons disabled and the working lines in the log box.
        EXPECT_EQ(FindControl<CLabelledProgressCtrl>(*dlg, "IDC_PROGRESS")->GetUpper(), 84);
        std::vector<std::pair<int, View>> steps = {{0, View(DownloadEnd::None, 2, QString())}};
        for (int pos = 1; pos <= 84; ++pos) {
            if (pos < 2 || pos > 4) {
                steps.emplace_back(pos, View(DownloadEnd::None, 0, kWorking));
            }
        }
        EXPECT_EQ(dlg->steps, steps);
        EXPECT_EQ(loader->ReadFlash(0x81000000, file.bytes.size()), file.bytes);
        for (const unsigned other : {0x0020u, 0xF060u}) {
            EXPECT_FALSE(dlg->OnSysCommand(other)) << other;
        }
        quit = QMessageBox::Yes;
        QTest::keyClick(dlg.get(), Qt::Key_Escape);
        EXPECT_EQ(answer.acted, 8);
        EXPECT_FALSE(dlg->isVisible());
    }

    // The folder is kept, not the file: a later run starts there with nothing chosen.
    EXPECT_EQ(CRememberedChoices::LastImageFolder(), QFileInfo(path).absolutePath());
    OpenWindow();
    EXPECT_EQ(PortInEffect(), QString::fromStdString(loader->SlavePath()));
    EXPECT_EQ(FindControl<QLineEdit>(*dlg, "IDC_FILE_PATH")->text(), "");
    CModalWatcher again([&](QWidget* modal) {
        auto* files = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(files, nullptr) << modal->metaObject()->className();
        EXPECT_EQ(QDir(files->directory()).canonicalPath(), QFileInfo(path).canonicalPath());
        files->reject();
    });
    FindControl<QPushButton>(*dlg, "IDC_OPEN_FILE")->click();
    EXPECT_EQ(again.acted, 1);
}

// Sends a drag over the log box and a drop; returns how many of the three events were accepted.
int Drop(QWidget& window, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    const QPoint at = FindControl(window, "IDC_LOG")->geometry().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    int accepted = 0;
    for (QDropEvent* event : std::initializer_list<QDropEvent*>{&enter, &move, &drop}) {
        QCoreApplication::sendEvent(&window, event);
        accepted += event->isAccepted();
    }
    return accepted;
}

// From COM1, nine entries down is "Other port..."; keys and the wheel pass over it or rest on it
// without asking and keep COM9 in effect, and leaving the list shows COM9 again. Enter on it asks
// (cancelled, COM9 stays), and so does choosing it in the opened list, where a port that cannot be
// opened is typed in (told in a box that is not waited for). No image; drops refused and one local
// file taken as the image; Start Download again while waiting for the controller, which stops the
// wait. Then the session ends (a closed terminal's SIGHUP) under the quit question: the question
// goes, the window ends without asking, and the port closes.
TEST_F(AppWindow, OtherPortStartProblemsDropsAndTheSessionEndingUnderTheQuitQuestion) {
    QStringList answers = {"", "/dev/afd-no-such-port"};
    {
        CModalWatcher asked([&](QWidget* modal) {
            auto* question = qobject_cast<QInputDialog*>(modal);
            ASSERT_NE(question, nullptr) << modal->metaObject()->className();
            EXPECT_EQ(question->windowTitle(), "Other port...");
            EXPECT_EQ(question->labelText(),
                      "Port name or device path (for example COM12, /dev/ttyUSB0 or the "
                      "emulator's /dev/pts/N):");
            question->setTextValue(answers.takeFirst());
            question->accept();
        });
        ports->setFocus();
        for (int i = 0; i < 10; ++i) {
            QTest::keyClick(ports, Qt::Key_Down);
        }
        EXPECT_EQ(ports->currentText(), "Other port...");
        QTest::keyClick(ports, Qt::Key_Tab);
        EXPECT_EQ(ports->currentText(), "COM9");
        ports->setFocus();
        const QPointF centre(ports->width() / 2.0, ports->height() / 2.0);
        QWheelEvent wheel(centre, ports->mapToGlobal(centre), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(ports, &wheel);
        EXPECT_EQ(ports->currentText(), "Other port...");
        EXPECT_EQ(asked.acted, 0);
        EXPECT_EQ(PortInEffect(), "COM9");
        QTest::keyClick(ports, Qt::Key_Return);
        EXPECT_EQ(asked.acted, 1);
        EXPECT_EQ(ports->currentText(), "COM9");
        ports->showPopup();
        ports->view()->setCurrentIndex(ports->model()->index(ports->count() - 1, 0));
        QTest::keyClick(ports->view(), Qt::Key_Return);
        EXPECT_EQ(asked.acted, 2);
    }
    dlg->ClickStart();
    EXPECT_EQ(dlg->Download().LastEnd(), DownloadEnd::PortError);
    auto* box = dlg->findChild<QMessageBox*>();
    ASSERT_TRUE(box != nullptr && SpinUntil([box] { return box->isVisible(); }));
    EXPECT_EQ(box->windowTitle(), "Altrevo Flash Downloader");
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    EXPECT_EQ(box->text(),
              "Cannot open the serial port /dev/afd-no-such-port: no such port; check the port "
              "name and that the adapter is plugged in.");
    box->button(QMessageBox::Ok)->click();

    EmulatorOptions options;
    options.resetDelayMs = 10 * 60 * 1000;  // the controller is never reset
    Connect(options);
    dlg->ClickStart();
    EXPECT_EQ(dlg->Seen(), View(DownloadEnd::NoImage, 2, "ERROR!!!Cannot find the data file.\n"));

    // Every control passes drops on to the window.
    for (QWidget* control : dlg->findChildren<QWidget*>()) {
        QWidget* target = control;
        while (target != dlg.get() && !target->acceptDrops()) {
            target = target->parentWidget();
        }
        EXPECT_EQ(target, dlg.get()) << control->objectName().toStdString();
    }
    const CTempImage file(1024);
    const QUrl url = QUrl::fromLocalFile(QString::fromStdString(file.path));
    const QTemporaryDir folder;
    const QList<QUrl> refused[] = {{QUrl::fromLocalFile(folder.path())},
                                   {url, url},
                                   {QUrl("https://example.org/handset.bin")},
                                   {QUrl::fromLocalFile(folder.filePath("gone.bin"))}};
    for (const QList<QUrl>& urls : refused) {
        EXPECT_EQ(Drop(*dlg, urls), 0) << QUrl::toStringList(urls).join(' ').toStdString();
    }
    EXPECT_EQ(dlg->Download().FilePath(), "");
    EXPECT_EQ(Drop(*dlg, {url}), 3);
    EXPECT_EQ(dlg->Download().FilePath(), file.path);
    EXPECT_EQ(FindControl<QLineEdit>(*dlg, "IDC_FILE_PATH")->text(),
              QDir::toNativeSeparators(QString::fromStdString(file.path)));

    dlg->ClickStart();
    EXPECT_EQ(dlg->Seen(), View(DownloadEnd::None, 2, kPrompt));
    const CTempImage other(2048);
    EXPECT_EQ(Drop(*dlg, {QUrl::fromLocalFile(QString::fromStdString(other.path))}), 0);
    EXPECT_EQ(dlg->Download().FilePath(), file.path);
    ASSERT_TRUE(SpinUntil([this] { return loader->WakeUpBytes() >= 2; }));
    // Unplugged, the port of a running download stays listed and in effect until it ends.
    const QString line = PortInEffect();
    reported.clear();
    dlg->RefreshPorts();
    EXPECT_EQ(ports->currentText(), line + " (emulated)");
    dlg->ClickStart();
    EXPECT_EQ(dlg->Seen(), View(DownloadEnd::Stopped, 2, kCheckDevices));
    dlg->RefreshPorts();
    EXPECT_EQ(ports->IndexOfPort(line), -1);
    reported = {{line.toStdString(), "emulated"}};  // plugged in again
    dlg->RefreshPorts();
    ports->setCurrentIndex(ports->IndexOfPort(line));
    dlg->ClickStart();
    EXPECT_EQ(dlg->Seen(), View(DownloadEnd::None, 2, kPrompt));

    const CSessionEnd sessionEnd(*dlg);
    CModalWatcher hangUp([](QWidget* modal) {
        ::raise(SIGHUP);
        EXPECT_TRUE(SpinUntil([modal] { return !modal->isVisible(); }, 5000));
    });
    dlg->close();
    EXPECT_EQ(hangUp.acted, 1);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_FALSE(dlg->Comm().GetPortOpen());
    const int wakeUps = loader->WakeUpBytes();
    PumpFor(300);
    EXPECT_EQ(loader->WakeUpBytes(), wakeUps);
}

// A line wider than the log box wraps inside it, at spaces, and inside a word only where the word
// alone is wider than the box; the newest line is wholly in view. Clicked, the box takes the keys
// that select text, which no key can change; a selection survives new lines.
TEST_F(AppWindow, TheLogBoxWrapsLongLinesShowsTheNewestAndTakesTheKeyboard) {
    auto* log = FindControl<QPlainTextEdit>(*dlg, "IDC_LOG");
    for (int i = 0; i < 8; ++i) {
        dlg->AppendLine("Please wait ...\r\n");  // enough to scroll
    }
    const QString tooWide = "/tmp/" + QString(150, 'f') + "/handset.bin";  // one word
    const QString line =
        "ERROR!!!The data file is too large: 4294967296 bytes; at most 2130706432 bytes fit below "
        "the top of the flash address range. Cannot open " +
        tooWide + ": No such file.";
    dlg->AppendLine((line + "\r\n").toStdString());
    QCoreApplication::processEvents();
    const QTextBlock block = log->document()->lastBlock().previous();
    ASSERT_EQ(block.text(), line);
    const QRectF shown(log->cursorRect(QTextCursor(block)).topLeft(),
                       block.layout()->boundingRect().size());
    EXPECT_TRUE(shown.top() >= 0 && shown.bottom() <= log->viewport()->height() + 1);
    const QTextLayout* layout = block.layout();
    const int wordStart = static_cast<int>(line.indexOf(tooWide));
    int breaksInsideTheWord = 0;
    for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine row = layout->lineAt(i);
        EXPECT_LE(row.naturalTextWidth(), log->viewport()->width()) << i;
        const int end = row.textStart() + row.textLength();
        if (i + 1 < layout->lineCount() && !line.mid(end - 1, 2).contains(' ')) {
            EXPECT_TRUE(end > wordStart && end < wordStart + tooWide.size()) << i;
            ++breaksInsideTheWord;
        }
    }
    EXPECT_GT(breaksInsideTheWord, 0);

    const QString text = log->toPlainText();
    QTest::mouseClick(log->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_TRUE(log->hasFocus());
    QTest::keyClick(log, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(log, Qt::Key_End, Qt::ShiftModifier);
    QTest::keyClick(log, Qt::Key_X);
    QTest::keyClick(log, Qt::Key_Backspace);
    EXPECT_EQ(log->textCursor().selectedText(), "Please wait ...");
    EXPECT_EQ(log->toPlainText(), text);
    dlg->AppendLine("Please wait ...\r\n");
    EXPECT_EQ(log->textCursor().selectedText(), "Please wait ...");
    EXPECT_TRUE(log->toPlainText().endsWith("Please wait ...\n"));
}

// Adapters join and leave the list in place, the selected one stays selected by name, and a port
// that went away gives way to COM1 yet stays the one chosen last; the window asks the system by
// itself.
TEST_F(AppWindow, AdaptersComeAndGoWhileTheWindowIsOpen) {
    const QString usb0 = "/dev/ttyUSB0 (FT232R)", acm0 = "/dev/ttyACM0";
    reported = {{"/dev/ttyUSB0", "FT232R"}};
    OpenWindow();
    QSignalSpy inserted(ports->model(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(ports->model(), &QAbstractItemModel::rowsRemoved);
    const QStringList numbered = {"COM1", "COM2", "COM3", "COM4", "COM5",
                                  "COM6", "COM7", "COM8", "COM9"};
    const struct {
        QString select;  // chosen before the system reports the new list
        std::vector<SerialPortEntry> reported;
        QStringList entries;
        QString shown;
        int inserted, removed;
    } steps[] = {
        {usb0, {{"/dev/ttyACM0", ""}, {"/dev/ttyUSB0", "FT232R"}}, {usb0, acm0}, usb0, 1, 0},
        {"", {{"/dev/ttyACM0", ""}, {"/dev/ttyUSB0", "FT232R"}}, {usb0, acm0}, usb0, 0, 0},
        {acm0, {{"/dev/ttyACM0", ""}}, {acm0}, acm0, 0, 1},
        {"", {}, {}, "COM1", 0, 1},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.shown.toStdString());
        if (!step.select.isEmpty()) {
            ports->setCurrentIndex(ports->findText(step.select));
        }
        inserted.clear();
        removed.clear();
        reported = step.reported;
        dlg->RefreshPorts();
        QStringList entries;
        for (int i = 0; i < ports->count(); ++i) {
            entries << ports->itemText(i);
        }
        EXPECT_EQ(entries, numbered + step.entries + QStringList{"Other port..."});
        EXPECT_EQ(ports->currentText(), step.shown);
        EXPECT_EQ(PortInEffect(), dlg->PortNameAt(ports->currentIndex()));
        EXPECT_EQ(dlg->Download().PortNumber(), ports->currentIndex() + 1);
        EXPECT_EQ(inserted.size(), step.inserted);
        EXPECT_EQ(removed.size(), step.removed);
    }
    EXPECT_EQ(CRememberedChoices::LastPort(), acm0);
    // Often enough for a new port to show within 5 seconds.
    reported = {{"/dev/ttyUSB0", "FT232R"}};
    EXPECT_TRUE(SpinUntil([&] { return ports->findText(usb0) >= 0; }, 5000));
}

// The last port comes back only when it is listed, whatever its length (the box's tooltip shows
// it whole); settings that are unreadable or not a name are passed over without a word, and no
// image is ever chosen for the user.
TEST_F(AppWindow, TheLastPortComesBackOnlyWhenListedAndBadSettingsAreIgnored) {
    const QString endless = "/dev/" + QString(400, 'x');
    const struct {
        const char* name;
        QByteArray settings;
        std::vector<SerialPortEntry> reported;
        QString shown;
    } cases[] = {
        {"a port that is not there", "[General]\nLastPort=/dev/ttyUSB3", {}, "COM1"},
        {"a list instead of a name", "[General]\nLastPort=COM3, COM4", {}, "COM1"},
        {"binary garbage",
         QByteArray("\xff\xfe\x00[Gen\x01\nLastPort\x00=COM3\n[[", 27),
         {},
         "COM1"},
        {"a long name that is there",
         "[General]\nLastPort=" + endless.toLatin1(),
         {{endless.toStdString(), ""}},
         endless},
    };
    const QString settingsFile =
        QSettings(QSettings::NativeFormat, QSettings::UserScope,
                  QString::fromLatin1(kSettingsOrganization), QString::fromLatin1(kApplicationName))
            .fileName();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CIsolatedSettings::ForgetAll();
        QDir().mkpath(QFileInfo(settingsFile).path());
        QFile file(settingsFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.settings);
        file.close();
        reported = c.reported;
        OpenWindow();
        EXPECT_EQ(ports->currentText(), c.shown);
        EXPECT_EQ(ports->toolTip(), c.shown);
        EXPECT_EQ(PortInEffect(), dlg->PortNameAt(ports->currentIndex()));
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_TRUE(dlg->findChildren<QMessageBox*>().isEmpty());
        EXPECT_EQ(dlg->Download().FilePath(), "");
    }
    // The long name widens the opened list to the screen's width, and no further.
    ports->showPopup();
    const QRect screen = ports->screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(ports->view()->window()->geometry()));
    EXPECT_EQ(ports->view()->window()->width(), screen.width());
}

}  // namespace
