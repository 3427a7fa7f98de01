// The main window driven for real: its state at start and its layout in dialog units, the port
// list, the file dialog, the About box, the quit question, and downloads against the emulated
// controller on a pseudo-terminal with the log box, buttons and progress bar followed.
#include <signal.h>

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QMessageBox>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "dialog_units.h"
#include "flash_downloader_app.h"
#include "flash_downloader_dlg.h"
#include "isolated_settings.h"
#include "modal_watcher.h"
#include "session_end.h"
#include "sim/pty_boot_loader.h"
#include "temp_image.h"
#include "widget_test_helpers.h"

void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

// The log box keeps each CR LF as one line break.
const QString kPrompt = "Please reset the KESTRANE(VELMORA), waiting for connection ...\n";
const QString kWorking =
    kPrompt + "Connected.\nProcessing ...\nTotal progress may need 5 minutes.\nPlease wait ...\n";
const QString kSuccess = kWorking + "Flash download successfully finished!\n";
const QString kError =
    kWorking + "Error occurs! Transmission stop. Please check all the devices, then try again.\n";
const QString kCheckDevices = "Please make sure all devices is OK, then click Start Download.\n";
using View = std::tuple<DownloadEnd, int, QString>;

// Checks that `modal` is the quit question of a main window, then answers it.
void AnswerQuitQuestion(QWidget* modal, QMessageBox::StandardButton answer) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr) << modal->metaObject()->className();
    EXPECT_EQ(box->text(), "Are you sure you want to quit Altrevo Flash Downloader?");
    EXPECT_EQ(box->windowTitle(), "Message");
    EXPECT_EQ(box->icon(), QMessageBox::Question);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Yes));
    EXPECT_NE(qobject_cast<CFlashDownloaderDlg*>(box->parentWidget()), nullptr);
    box->button(answer)->click();
}

// The main window, recording every progress position with what the buttons and log box showed.
class CRecordingDlg : public CFlashDownloaderDlg {
public:
    int SetPos(int pos) override {
        steps.emplace_back(pos, Seen());
        return CFlashDownloaderDlg::SetPos(pos);
    }
    void ClickStart() { FindControl<QPushButton>(*this, "IDC_START_DOWNLOAD")->click(); }
    // How the last download ended, how many of the two buttons work and what the log box says.
    View Seen() {
        return {Download().LastEnd(),
                FindControl(*this, "IDC_START_DOWNLOAD")->isEnabled() +
                    FindControl(*this, "IDC_OPEN_FILE")->isEnabled(),
                FindControl<QPlainTextEdit>(*this, "IDC_LOG")->toPlainText()};
    }

    std::vector<std::pair<int, View>> steps;
};

class MainWindow : public ::testing::Test {
protected:
    // Shown, as in the program: the progress bar moves only once it has a window.
    void SetUp() override {
        dlg.show();
        dlg.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    }

    // Starts the emulated controller, picks its line and chooses an image unless `imageSize` is 0.
    void Connect(EmulatorOptions options, std::size_t imageSize) {
        m_loader = std::make_unique<CPtyBootLoader>(options);
        std::string error;
        ASSERT_TRUE(m_loader->Start(&error)) << error;
        const QString port = QString::fromStdString(m_loader->SlavePath());
        FindControl<QComboBox>(dlg, "IDC_PORT_COMBO")->setCurrentIndex(dlg.AddPortEntry(port, {}));
        if (imageSize > 0) {
            ChooseImage(imageSize);
        }
    }
    void ChooseImage(std::size_t size) {
        m_image = std::make_unique<CTempImage>(size);
        dlg.SetFileChooser([this](QWidget*) { return QString::fromStdString(m_image->path); });
        FindControl<QPushButton>(dlg, "IDC_OPEN_FILE")->click();
    }
    std::unique_ptr<CTempImage> m_image;
    std::unique_ptr<CPtyBootLoader> m_loader;
    const bool m_forgotten = (CIsolatedSettings::ForgetAll(), true);  // before the window reads
    CRecordingDlg dlg;  // last, so it goes first: the port closes while the line still exists
};

TEST_F(MainWindow, StartsOnCom1WithEmptyBoxesAndBothButtonsEnabledLaidOutInDialogUnits) {
    CFlashDownloaderApp::SetUpApplication();
    EXPECT_EQ(dlg.windowTitle(), "Altrevo Flash Downloader V1.0");
    EXPECT_TRUE(dlg.windowIcon().availableSizes().contains(QSize(16, 16)));
    const auto* ports = FindControl<QComboBox>(dlg, "IDC_PORT_COMBO");
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(ports->itemText(i), QStringLiteral("COM%1").arg(i + 1));
    }
    EXPECT_EQ(ports->itemText(ports->count() - 1), "Other port...");
    EXPECT_EQ(ports->currentIndex(), 0);
    EXPECT_EQ(dlg.Download().PortName(), "COM1");
    EXPECT_EQ(dlg.Seen(), View(DownloadEnd::None, 2, QString()));

    // Dialog units: x and width in quarters of the average letter width (rounded), y and height
    // in eighths of the font height, each rounded on its own with halves going up.
    const QFontMetrics metrics(dlg.font());
    const double cx = std::round(metrics.horizontalAdvance(QStringLiteral(
                                     "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                                 52.0);
    const auto pixels = [cx, cy = metrics.height()](int x, int y, int width, int height) {
        return QRect(std::lround(x * cx / 4), std::lround(y * cy / 8.0),
                     std::lround(width * cx / 4), std::lround(height * cy / 8.0));
    };
    EXPECT_EQ(dlg.minimumSize(), pixels(0, 0, 320, 200).size());
    EXPECT_EQ(dlg.maximumSize(), dlg.minimumSize());
    const struct {
        const char* name;
        QRect geometry;
        const char* text;  // the log box has no "text"
    } controls[] = {
        {"IDC_OPEN_FILE", pixels(7, 41, 81, 14), "Open Data File"},
        {"IDC_START_DOWNLOAD", pixels(7, 81, 81, 14), "Start Download"},
        {"IDC_FILE_PATH", pixels(7, 61, 306, 14), ""},
        {"IDC_LOG", pixels(7, 101, 306, 74), ""},
        {"IDC_PROGRESS", pixels(7, 179, 306, 14), "0%"},
        // The port list's template height (108) is its drop-down list; the box is one line high.
        {"IDC_PORT_COMBO", pixels(67, 13, 64, 0).adjusted(0, 0, 0, ports->sizeHint().height()), ""},
    };
    for (const auto& c : controls) {
        const QWidget* control = FindControl(dlg, c.name);
        ASSERT_NE(control, nullptr) << c.name;
        EXPECT_EQ(control->geometry(), c.geometry) << c.name;
        EXPECT_EQ(control->property("text").toString(), c.text) << c.name;
        EXPECT_TRUE(control->isEnabled()) << c.name;
        // A default button draws itself as active; only a focused one may look so.
        EXPECT_FALSE(control->property("default").toBool()) << c.name;
    }
    for (const unsigned id : {0x0000u, 0x0020u, 0xF060u}) {
        EXPECT_FALSE(dlg.OnSysCommand(id)) << "not the About command: " << id;
    }
    // Tab goes round the three stops, starting on the port list.
    for (const char* name :
         {"IDC_PORT_COMBO", "IDC_OPEN_FILE", "IDC_START_DOWNLOAD", "IDC_PORT_COMBO"}) {
        EXPECT_EQ(QApplication::focusWidget(), FindControl(dlg, name)) << name;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
}

TEST_F(MainWindow, PortsJoinTheListOnceAndOtherPortAsksWithCancelGoingBack) {
    auto* ports = FindControl<QComboBox>(dlg, "IDC_PORT_COMBO");
    EXPECT_EQ(dlg.AddPortEntry("COM3", {}), 2);
    const int usb = dlg.AddPortEntry("/dev/ttyUSB7", "FT232R");
    EXPECT_EQ(usb, ports->count() - 2);  // before "Other port...", which stays last
    EXPECT_EQ(ports->itemText(usb), "/dev/ttyUSB7 (FT232R)");
    EXPECT_EQ(dlg.AddPortEntry("/dev/ttyUSB7", {}), usb);
    ports->setCurrentIndex(3);
    EXPECT_EQ(dlg.Download().PortNumber(), 4);

    QString answer;
    int asked = 0;
    dlg.SetPortNameAsker([&](QWidget* parent) {
        EXPECT_EQ(parent, &dlg);
        ++asked;
        return answer;
    });
    // Cancelled, the choice goes back to COM4; answered, the new port is added and chosen.
    for (const auto& [typed, port] :
         {std::pair{"", "COM4"}, std::pair{"/dev/pts/9", "/dev/pts/9"}}) {
        answer = typed;
        ports->setFocus();
        ports->setCurrentIndex(ports->count() - 1);  // shown, not yet chosen
        QTest::keyClick(ports, Qt::Key_Return);
        EXPECT_EQ(ports->currentText(), port);
        EXPECT_EQ(dlg.Download().PortName(), port);
        EXPECT_EQ(ports->itemText(ports->count() - 1), "Other port...");
    }
    EXPECT_EQ(asked, 2);
}

// Enter on the focused Open Data File presses it rather than asking to quit; the file dialog
// takes a name typed in, and its Cancel keeps the path chosen before.
TEST_F(MainWindow, EnterOnOpenDataFileShowsTheFileDialogWhoseCancelKeepsThePath) {
    const QString typed = QDir::temp().filePath(QStringLiteral("afd-not-there-yet.bin"));
    auto* open = FindControl(dlg, "IDC_OPEN_FILE");
    open->setFocus();
    for (const auto result : {QDialog::Accepted, QDialog::Rejected}) {
        CModalWatcher watcher([&](QWidget* modal) {
            auto* files = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(files, nullptr) << modal->metaObject()->className();
            EXPECT_EQ(files->nameFilters(), QStringList{"Bin File ( *.bin)"});
            EXPECT_EQ(files->fileMode(), QFileDialog::AnyFile);
            EXPECT_EQ(files->parentWidget(), &dlg);
            files->selectFile(typed);
            static_cast<QDialog*>(files)->done(result);
        });
        QTest::keyClick(open, Qt::Key_Return);
        EXPECT_EQ(watcher.acted, 1);
        EXPECT_EQ(FindControl<QLineEdit>(dlg, "IDC_FILE_PATH")->text(),
                  QDir::toNativeSeparators(typed));
        EXPECT_EQ(dlg.Download().FilePath(), QFile::encodeName(typed).toStdString());
    }
}

// Each way out asks first, and No keeps the window; Yes ends it.
TEST_F(MainWindow, EveryWayOutAsksAndOnlyYesEndsTheWindow) {
    // Esc, the close button, the OK command, Enter on the port list, keypad Enter in the log box.
    const std::function<void()> waysOut[] = {
        [&] { QTest::keyClick(&dlg, Qt::Key_Escape); },
        [&] { dlg.close(); },
        [&] { dlg.accept(); },
        [&] { QTest::keyClick(FindControl(dlg, "IDC_PORT_COMBO"), Qt::Key_Return); },
        [&] { QTest::keyClick(FindControl(dlg, "IDC_LOG"), Qt::Key_Enter, Qt::KeypadModifier); },
    };
    for (const auto& wayOut : waysOut) {
        CModalWatcher watcher([](QWidget* modal) { AnswerQuitQuestion(modal, QMessageBox::No); });
        wayOut();
        EXPECT_EQ(watcher.acted, 1) << "way out " << &wayOut - waysOut;
        EXPECT_TRUE(dlg.isVisible());
    }
    CModalWatcher watcher([](QWidget* modal) { AnswerQuitQuestion(modal, QMessageBox::Yes); });
    waysOut[4]();
    EXPECT_EQ(watcher.acted, 1);
    EXPECT_FALSE(dlg.isVisible());
}

struct DownloadCase {
    const char* name;
    FaultPlan fault;
    QString log;
    int lastPos;
    friend void PrintTo(const DownloadCase& c, std::ostream* os) { *os << c.name; }
};

// Commands: 0 the wake-up, 1 the version, 2 to 137 the erase and blank checks, then two per
// block. An unrecognised reply resets the download: only the prompt to check the devices stays.
const DownloadCase kThreeBlockEnds[] = {
    {"Success", {}, kSuccess, 23},
    {"BlankCheckError", {FaultKind::ErrorReply, 5, ":BX_ERR#"}, kError, 0},
    {"FlashErrorOnBlock2", {FaultKind::ErrorReply, 141, ":WE_ERR#"}, kError, 22},
    {"UnknownReply", {FaultKind::UnknownReply, 10, ":WHAT#"}, kCheckDevices, 1},
};

class DownloadEnds : public MainWindow, public ::testing::WithParamInterface<DownloadCase> {};

// A three-block image: the bar is set to 0 before the prompt, then to 1 and 5 to 20 while
// erasing and 21 to 23 for the blocks, up to where the download ends; from the first move on
// both buttons are disabled and the log box holds the working lines.
TEST_P(DownloadEnds, FollowTheLogBoxButtonsAndProgressToTheEnd) {
    const DownloadCase& c = GetParam();
    EmulatorOptions options;
    options.fault = c.fault;
    Connect(options, 2500);
    dlg.ClickStart();
    EXPECT_EQ(dlg.Seen(), View(DownloadEnd::None, 2, kPrompt));  // Start Download stops the wait
    ASSERT_TRUE(SpinUntil([this] { return dlg.Download().LastEnd() != DownloadEnd::None; }));
    const DownloadEnd end = c.fault.kind == FaultKind::None         ? DownloadEnd::Success
                            : c.fault.kind == FaultKind::ErrorReply ? DownloadEnd::ErrorReply
                                                                    : DownloadEnd::Unrecognised;
    EXPECT_EQ(dlg.Seen(), View(end, 2, c.log));
    EXPECT_EQ(FindControl<CLabelledProgressCtrl>(dlg, "IDC_PROGRESS")->GetUpper(), 23);

    std::vector<int> expected;  // the erase phase moves the bar to 1, then on from 5
    for (int pos = 0; pos <= c.lastPos; ++pos) {
        if (pos < 2 || pos > 4) {
            expected.push_back(pos);
        }
    }
    ASSERT_EQ(dlg.steps.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(dlg.steps[i],
                  std::pair(expected[i], i == 0 ? View(DownloadEnd::None, 2, QString())
                                                : View(DownloadEnd::None, 0, kWorking)));
    }
}

INSTANTIATE_TEST_SUITE_P(ThreeBlocks, DownloadEnds, ::testing::ValuesIn(kThreeBlockEnds),
                         [](const auto& info) { return std::string(info.param.name); });

// Everything that ends a start early: a port that cannot be opened (told in a message box that
// is not waited for), no image, and Start Download again while waiting for the controller. Yes
// to the quit question then ends the window and closes the port.
TEST_F(MainWindow, StartProblemsStopWhileWaitingAndYesToQuit) {
    const QString missing = QStringLiteral("/dev/afd-no-such-port");
    FindControl<QComboBox>(dlg, "IDC_PORT_COMBO")->setCurrentIndex(dlg.AddPortEntry(missing, {}));
    dlg.ClickStart();
    EXPECT_EQ(dlg.Download().LastEnd(), DownloadEnd::PortError);
    auto* box = dlg.findChild<QMessageBox*>();
    ASSERT_TRUE(box != nullptr && SpinUntil([box] { return box->isVisible(); }));
    EXPECT_TRUE(box->text().contains(missing)) << box->text().toStdString();
    box->button(QMessageBox::Ok)->click();

    EmulatorOptions options;
    options.resetDelayMs = 10 * 60 * 1000;  // the controller is never reset
    Connect(options, 0);
    dlg.ClickStart();
    EXPECT_EQ(dlg.Seen(), View(DownloadEnd::NoImage, 2, "ERROR!!!Cannot find the data file.\n"));

    ChooseImage(1024);
    dlg.ClickStart();
    EXPECT_EQ(dlg.Seen(), View(DownloadEnd::None, 2, kPrompt));
    ASSERT_TRUE(SpinUntil([this] { return m_loader->WakeUpBytes() >= 2; }));
    dlg.ClickStart();
    EXPECT_EQ(dlg.Seen(), View(DownloadEnd::Stopped, 2, kCheckDevices));
    dlg.ClickStart();
    EXPECT_EQ(dlg.Seen(), View(DownloadEnd::None, 2, kPrompt));

    CModalWatcher answerYes([](QWidget* modal) { AnswerQuitQuestion(modal, QMessageBox::Yes); });
    dlg.close();
    EXPECT_EQ(answerYes.acted, 1);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_FALSE(dlg.Comm().GetPortOpen());
}

// The session ends the program (a closed terminal's SIGHUP) while a download waits and the quit
// question is open: the question goes, the window ends without asking, and the port closes with
// its lock released.
TEST_F(MainWindow, SessionEndClosesTheQuestionTheWindowAndThePort) {
    EmulatorOptions options;
    options.resetDelayMs = 10 * 60 * 1000;  // the controller is never reset
    Connect(options, 1024);
    dlg.ClickStart();
    std::string device = m_loader->SlavePath().substr(5);  // the lock's name: "pts_3"
    std::replace(device.begin(), device.end(), '/', '_');
    const std::string lock = "/var/lock/LCK.." + device;
    ASSERT_TRUE(std::filesystem::exists(lock)) << lock;

    const CSessionEnd sessionEnd(dlg);
    CModalWatcher hangUp([](QWidget* modal) {
        ::raise(SIGHUP);
        EXPECT_TRUE(SpinUntil([modal] { return !modal->isVisible(); }, 5000));
    });
    dlg.close();
    EXPECT_EQ(hangUp.acted, 1);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_FALSE(dlg.Comm().GetPortOpen());
    EXPECT_FALSE(std::filesystem::exists(lock));
    const int wakeUps = m_loader->WakeUpBytes();
    PumpFor(300);
    EXPECT_EQ(m_loader->WakeUpBytes(), wakeUps);
}

// The quit question and the About box keep the event loop running: the controller answers 30
// more commands while each is open, and after No and Esc the download goes on to its end.
TEST_F(MainWindow, TheDownloadGoesOnUnderTheQuitQuestionAndTheAboutBox) {
    EmulatorOptions options;
    options.replyLatencyUs = 1000;  // slow enough that the download outlasts both boxes
    Connect(options, 64 * 1024);
    dlg.ClickStart();
    // Connected first: a controller that never answers would leave the boxes open for good.
    ASSERT_TRUE(SpinUntil([this] { return m_loader->Commands().size() >= 2; }));
    std::size_t commandsAtOpen = 0;
    CModalWatcher answer(
        [this](QWidget* modal) {
            if (modal->windowTitle() != "About Altrevo Flash Downloader") {
                AnswerQuitQuestion(modal, QMessageBox::No);
                return;
            }
            EXPECT_EQ(modal->parentWidget(), &dlg);
            const auto labels = modal->findChildren<QLabel*>();
            EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [](const QLabel* label) {
                return label->text() == "Altrevo Flash Downloader V1.0";
            }));
            QTest::keyClick(modal, Qt::Key_Escape);  // which must not ask to quit
        },
        [&] {
            return m_loader->Commands().size() >= commandsAtOpen + 30 ||
                   !dlg.Download().IsDownloading();
        });
    // F1 while the window is active, Esc, and the About command, whose low four bits don't count.
    for (const int way : {0, 1, 2}) {
        commandsAtOpen = m_loader->Commands().size();
        if (way == 2) {
            EXPECT_TRUE(dlg.OnSysCommand(0x001F));
        } else {
            QTest::keyClick(&dlg, way == 0 ? Qt::Key_F1 : Qt::Key_Escape);
        }
        EXPECT_EQ(answer.acted, way + 1);
        EXPECT_TRUE(dlg.Download().IsDownloading());
    }
    ASSERT_TRUE(SpinUntil([this] { return dlg.Download().LastEnd() != DownloadEnd::None; }));
    EXPECT_EQ(dlg.Seen(), View(DownloadEnd::Success, 2, kSuccess));
    EXPECT_EQ(m_loader->ReadFlash(0x81000000, m_image->bytes.size()), m_image->bytes);
}

}  // namespace
