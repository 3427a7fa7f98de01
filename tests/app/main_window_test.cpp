// The main window driven for real against the emulated controller: a first download from choosing
// the file to quitting, every way a download ends, what stops a start, files dropped on the
// window, the session's end, and the log box as users read and handle it.
#include <signal.h>

#include <QFileDialog>
#include <QInputDialog>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>
#include <QUrl>
#include <algorithm>
#include <filesystem>
#include <functional>

#include "app_window.h"
#include "session_end.h"

namespace {

// The log box keeps each CR LF as one line break.
const QString kPrompt = "Please reset the KESTRANE(VELMORA), waiting for connection ...\n";
const QString kWorking =
    kPrompt + "Connected.\nProcessing ...\nTotal progress may need 5 minutes.\nPlease wait ...\n";
const QString kSuccess = kWorking + "Flash download successfully finished!\n";
const QString kError =
    kWorking + "Error occurs! Transmission stop. Please check all the devices, then try again.\n";
const QString kCheckDevices = "Please make sure all devices is OK, then click Start Download.\n";

// The window opens on COM1 with empty boxes, both buttons working and the focus on the port list.
// Enter on the focused Open Data File shows the file dialog, whose Cancel keeps the file chosen.
// The download goes on under the About box and the quit question each way out asks, and fills the
// flash; then Yes ends the window.
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
    std::size_t commandsAtOpen = 0;
    QMessageBox::StandardButton quit = QMessageBox::No;
    // Each box stays open while the controller answers 20 more commands.
    CModalWatcher answer(
        [&](QWidget* modal) {
            if (modal->windowTitle() != "About Altrevo Flash Downloader") {
                AnswerQuitQuestion(modal, quit);
                return;
            }
            EXPECT_EQ(modal->parentWidget(), dlg.get());
            QTest::keyClick(modal, Qt::Key_Escape);  // which must not ask to quit
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
    EXPECT_EQ(dlg->Seen(), View(DownloadEnd::Success, 2, kSuccess));
    EXPECT_EQ(loader->ReadFlash(0x81000000, file.bytes.size()), file.bytes);
    for (const unsigned other : {0x0020u, 0xF060u}) {
        EXPECT_FALSE(dlg->OnSysCommand(other)) << other;
    }
    quit = QMessageBox::Yes;
    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    EXPECT_EQ(answer.acted, 8);
    EXPECT_FALSE(dlg->isVisible());
}

struct DownloadCase {
    const char* name;
    FaultPlan fault;
    DownloadEnd end;
    QString log;
    int lastPos;
    friend void PrintTo(const DownloadCase& c, std::ostream* os) { *os << c.name; }
};

// Commands: 0 the wake-up, 1 the version, 2 to 137 the erase and blank checks, then two per
// block. An unrecognised reply resets the download: only the prompt to check the devices stays.
const DownloadCase kThreeBlockEnds[] = {
    {"Success", {}, DownloadEnd::Success, kSuccess, 23},
    {"BlankCheckError", {FaultKind::ErrorReply, 5, ":BX_ERR#"}, DownloadEnd::ErrorReply, kError, 0},
    {"FlashErrorOnBlock2",
     {FaultKind::ErrorReply, 141, ":WE_ERR#"},
     DownloadEnd::ErrorReply,
     kError,
     22},
    {"UnknownReply",
     {FaultKind::UnknownReply, 10, ":WHAT#"},
     DownloadEnd::Unrecognised,
     kCheckDevices,
     1},
};

class DownloadEnds : public AppWindow, public ::testing::WithParamInterface<DownloadCase> {};

// A three-block image: the bar is set to 0 before the prompt, then to 1 and 5 to 20 while
// erasing and 21 to 23 for the blocks, up to where the download ends; from the first move on
// both buttons are disabled and the log box holds the working lines.
TEST_P(DownloadEnds, FollowTheLogBoxButtonsAndProgressToTheEnd) {
    const DownloadCase& c = GetParam();
    EmulatorOptions options;
    options.fault = c.fault;
    Connect(options);
    ChooseImage(2500);
    dlg->ClickStart();
    EXPECT_EQ(dlg->Seen(), View(DownloadEnd::None, 2, kPrompt));  // Start Download stops the wait
    ASSERT_TRUE(SpinUntil([this] { return dlg->Ended(); }));
    EXPECT_EQ(dlg->Seen(), View(c.end, 2, c.log));
    EXPECT_EQ(FindControl<CLabelledProgressCtrl>(*dlg, "IDC_PROGRESS")->GetUpper(), 23);
    std::vector<std::pair<int, View>> expected = {{0, View(DownloadEnd::None, 2, QString())}};
    for (int pos = 1; pos <= c.lastPos; ++pos) {
        if (pos < 2 || pos > 4) {
            expected.emplace_back(pos, View(DownloadEnd::None, 0, kWorking));
        }
    }
    EXPECT_EQ(dlg->steps, expected);
}

INSTANTIATE_TEST_SUITE_P(ThreeBlocks, DownloadEnds, ::testing::ValuesIn(kThreeBlockEnds),
                         [](const auto& info) { return std::string(info.param.name); });

// Sends a drag over the log box and a drop; returns how many of the three events were accepted.
int Drop(QWidget& window, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    data.setText(QStringLiteral("handset.bin"));
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

// A port typed in under "Other port..." that cannot be opened (told in a box that is not waited
// for); no image; drops refused and one local file taken as the image; Start Download again while
// waiting for the controller, which stops the wait. Then the session ends (a closed terminal's
// SIGHUP) under the quit question: the question goes, the window ends without asking, and the
// port closes with its lock released.
TEST_F(AppWindow, StartProblemsDropsAndTheSessionEndingUnderTheQuitQuestion) {
    const QString missing = QStringLiteral("/dev/afd-no-such-port");
    {
        CModalWatcher asked([&](QWidget* modal) {
            auto* question = qobject_cast<QInputDialog*>(modal);
            ASSERT_NE(question, nullptr) << modal->metaObject()->className();
            EXPECT_EQ(question->windowTitle(), "Other port...");
            EXPECT_EQ(question->labelText(),
                      "Port name or device path (for example COM12, /dev/ttyUSB0 or the "
                      "emulator's /dev/pts/N):");
            question->setTextValue(missing);
            question->accept();
        });
        ports->setCurrentIndex(ports->count() - 1);
        QTest::keyClick(ports, Qt::Key_Return);
        EXPECT_EQ(asked.acted, 1);
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
                                   {QUrl::fromLocalFile(folder.filePath("gone.bin"))},
                                   {}};
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
    dlg->ClickStart();
    EXPECT_EQ(dlg->Seen(), View(DownloadEnd::Stopped, 2, kCheckDevices));
    dlg->ClickStart();
    EXPECT_EQ(dlg->Seen(), View(DownloadEnd::None, 2, kPrompt));
    std::string device = loader->SlavePath().substr(5);  // the lock's name: "pts_3"
    std::replace(device.begin(), device.end(), '/', '_');
    const std::string lock = "/var/lock/LCK.." + device;
    ASSERT_TRUE(std::filesystem::exists(lock)) << lock;

    const CSessionEnd sessionEnd(*dlg);
    CModalWatcher hangUp([](QWidget* modal) {
        ::raise(SIGHUP);
        EXPECT_TRUE(SpinUntil([modal] { return !modal->isVisible(); }, 5000));
    });
    dlg->close();
    EXPECT_EQ(hangUp.acted, 1);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_FALSE(dlg->Comm().GetPortOpen());
    EXPECT_FALSE(std::filesystem::exists(lock));
    const int wakeUps = loader->WakeUpBytes();
    PumpFor(300);
    EXPECT_EQ(loader->WakeUpBytes(), wakeUps);
}

// Lines wider than the log box wrap inside it, at spaces, and inside a word only when the word
// alone is wider than the box; the newest line is wholly in view. Clicked, the box takes the keys
// that move and select through the text, which no key can change; a selection survives new lines.
TEST_F(AppWindow, TheLogBoxWrapsLongLinesShowsTheNewestAndTakesTheKeyboard) {
    auto* log = FindControl<QPlainTextEdit>(*dlg, "IDC_LOG");
    for (int i = 0; i < 8; ++i) {
        dlg->AppendLine("Please wait ...\r\n");  // enough to scroll
    }
    const std::pair<std::string, bool> lines[] = {
        // the line, and whether one word is too wide
        {"ERROR!!!The data file is too large: 4294967296 bytes; at most 2130706432 bytes fit "
         "below the top of the flash address range.",
         false},
        {"Cannot open /tmp/" + std::string(150, 'f') + "/handset.bin: No such file.", true},
    };
    for (const auto& [text, oneWordTooWide] : lines) {
        dlg->AppendLine(text + "\r\n");
    }
    QCoreApplication::processEvents();
    QTextBlock block = log->document()->lastBlock().previous();  // the newest line
    const QRectF shown(log->cursorRect(QTextCursor(block)).topLeft(),
                       block.layout()->boundingRect().size());
    EXPECT_TRUE(shown.top() >= 0 && shown.bottom() <= log->viewport()->height() + 1);
    for (auto line = std::rbegin(lines); line != std::rend(lines);
         ++line, block = block.previous()) {
        ASSERT_EQ(block.text().toStdString(), line->first);
        const QTextLayout* layout = block.layout();
        EXPECT_GT(layout->lineCount(), 1) << line->first;
        bool brokeInsideAWord = false;
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine row = layout->lineAt(i);
            EXPECT_LE(row.naturalTextWidth(), log->viewport()->width()) << line->first;
            const int end = row.textStart() + row.textLength();
            brokeInsideAWord |=
                i + 1 < layout->lineCount() && !block.text().mid(end - 1, 2).contains(' ');
        }
        EXPECT_EQ(brokeInsideAWord, line->second) << line->first;
    }

    dlg->Clear();
    dlg->AppendLine("Connected.\r\n");
    dlg->AppendLine("Processing ...\r\n");
    const QString text = log->toPlainText();
    const QString all = QString(text).replace('\n', QChar::ParagraphSeparator);
    const int end = static_cast<int>(text.size());
    QTest::mouseClick(log->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_TRUE(log->hasFocus());
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int position;
        QString selected;
    } steps[] = {
        {Qt::Key_Home, Qt::ControlModifier, 0, ""},
        {Qt::Key_End, Qt::ShiftModifier, 10, "Connected."},
        {Qt::Key_X, Qt::NoModifier, 10, "Connected."},
        {Qt::Key_Down, Qt::NoModifier, 22, ""},
        {Qt::Key_Backspace, Qt::NoModifier, 22, ""},
        {Qt::Key_A, Qt::ControlModifier, end, all},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(QKeySequence(step.key | step.modifiers).toString().toStdString());
        QTest::keyClick(log, step.key, step.modifiers);
        EXPECT_EQ(log->textCursor().position(), step.position);
        EXPECT_EQ(log->textCursor().selectedText(), step.selected);
        EXPECT_EQ(log->toPlainText(), text);
    }
    dlg->AppendLine("Please wait ...\r\n");
    EXPECT_EQ(log->textCursor().selectedText(), all);
    EXPECT_TRUE(log->toPlainText().endsWith("Please wait ...\n"));
}

}  // namespace
