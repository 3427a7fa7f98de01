// Downloads through the real main window: Start Download clicked, the emulated controller on a
// pseudo-terminal as the chosen port, and the log box, buttons and progress bar followed to the
// end.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "controls/labelled_progress_ctrl.h"
#include "dialog_test_support.h"
#include "flash_downloader_dlg.h"
#include "sim/demo_image.h"
#include "sim/pty_boot_loader.h"

namespace {

constexpr char kPrompt[] = "Please reset the KESTRANE(VELMORA), waiting for connection ...";
constexpr char kCheckDevices[] = "Please make sure all devices is OK, then click Start Download.";
constexpr char kNoDataFile[] = "ERROR!!!Cannot find the data file.";
constexpr char kConnected[] = "Connected.";
constexpr char kProcessing[] = "Processing ...";
constexpr char kDuration[] = "Total progress may need 5 minutes.";
constexpr char kWait[] = "Please wait ...";
constexpr char kSuccess[] = "Flash download successfully finished!";
constexpr char kError[] =
    "Error occurs! Transmission stop. Please check all the devices, then try again.";

constexpr std::uint32_t kFlashBase = 0x81000000;
// Command index of the first ":DOWN DATA#": wake-up, version, then 68 erase and blank checks.
constexpr int kFirstDataCommand = 2 + 2 * 68;

// The main window, with every progress position it is given recorded together with what the
// buttons and the log box showed at that moment.
class CRecordingDlg : public CFlashDownloaderDlg {
public:
    struct Step {
        int pos;
        bool startEnabled;
        bool openEnabled;
        QString log;
    };

    void SetRange(int lower, int upper) override {
        ranges.emplace_back(lower, upper);
        CFlashDownloaderDlg::SetRange(lower, upper);
    }
    int SetPos(int pos) override {
        steps.push_back({pos, Start()->isEnabled(), Open()->isEnabled(), LogBoxText(*this)});
        return CFlashDownloaderDlg::SetPos(pos);
    }

    QPushButton* Start() const { return FindControl<QPushButton>(*this, "IDC_START_DOWNLOAD"); }
    QPushButton* Open() const { return FindControl<QPushButton>(*this, "IDC_OPEN_FILE"); }
    CLabelledProgressCtrl* Progress() const {
        return FindControl<CLabelledProgressCtrl>(*this, "IDC_PROGRESS");
    }

    std::vector<std::pair<int, int>> ranges;
    std::vector<Step> steps;
};

class DialogDownload : public ::testing::Test {
protected:
    // Shown, as in the program: the progress bar moves only once it has a window.
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_dlg->show();
    }

    // Starts the emulated controller and picks its line in the window's port list.
    void ConnectEmulator(EmulatorOptions options = {}) {
        m_loader = std::make_unique<CPtyBootLoader>(options);
        std::string error;
        ASSERT_TRUE(m_loader->Start(&error)) << error;
        const QString port = QString::fromStdString(m_loader->SlavePath());
        const int index = m_dlg->AddPortEntry(port, QStringLiteral("emulated controller"));
        FindControl<QComboBox>(*m_dlg, "IDC_PORT_COMBO")->setCurrentIndex(index);
        ASSERT_EQ(m_dlg->Download().PortName(), m_loader->SlavePath());
    }

    // Writes an image and chooses it with Open Data File.
    std::vector<std::uint8_t> ChooseImage(std::size_t size, const char* name = "image.bin") {
        std::vector<std::uint8_t> image = MakeDemoImage(size, static_cast<std::uint32_t>(size));
        const QString path = m_dir.filePath(QString::fromLatin1(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(image.data()), static_cast<qint64>(image.size()));
        file.close();
        m_dlg->SetFileChooser([path](QWidget*) { return path; });
        m_dlg->Open()->click();
        return image;
    }

    bool WaitForEnd() {
        return SpinUntil([this] { return m_dlg->Download().LastEnd() != DownloadEnd::None; });
    }

    QTemporaryDir m_dir;
    // The window goes before the controller, so the port is closed while the line still exists.
    std::unique_ptr<CPtyBootLoader> m_loader;
    std::unique_ptr<CRecordingDlg> m_dlg = std::make_unique<CRecordingDlg>();

    void TearDown() override {
        m_dlg.reset();
        m_loader.reset();
    }
};

TEST_F(DialogDownload, ACompleteDownloadFollowsTheLogBoxButtonsAndProgressToTheEnd) {
    ConnectEmulator();
    const std::vector<std::uint8_t> image = ChooseImage(2500);

    m_dlg->Start()->click();
    EXPECT_EQ(LogBoxText(*m_dlg), LogLines({kPrompt}));
    EXPECT_TRUE(m_dlg->Start()->isEnabled());
    EXPECT_TRUE(m_dlg->Open()->isEnabled());

    ASSERT_TRUE(WaitForEnd());
    ASSERT_EQ(m_dlg->Download().LastEnd(), DownloadEnd::Success);
    EXPECT_EQ(LogBoxText(*m_dlg),
              LogLines({kPrompt, kConnected, kProcessing, kDuration, kWait, kSuccess}));
    EXPECT_TRUE(m_dlg->Start()->isEnabled());
    EXPECT_TRUE(m_dlg->Open()->isEnabled());

    // 0 at the start; 1 and 5 to 20 in the erase phase; 21 to 23 for the three blocks.
    std::vector<int> expected = {0, 1};
    for (int pos = 5; pos <= 23; ++pos) {
        expected.push_back(pos);
    }
    std::vector<int> positions;
    for (const auto& step : m_dlg->steps) {
        positions.push_back(step.pos);
    }
    EXPECT_EQ(positions, expected);
    ASSERT_EQ(m_dlg->ranges.size(), 1u);
    EXPECT_EQ(m_dlg->ranges.front(), std::make_pair(0, 23));
    EXPECT_EQ(m_dlg->Progress()->GetPos(), 23);

    ASSERT_FALSE(m_dlg->steps.empty());
    EXPECT_TRUE(m_dlg->steps.front().startEnabled);
    EXPECT_EQ(m_dlg->steps.front().log, QString());  // set before the prompt is written
    const QString working = LogLines({kPrompt, kConnected, kProcessing, kDuration, kWait});
    for (std::size_t i = 1; i < m_dlg->steps.size(); ++i) {
        const auto& step = m_dlg->steps[i];
        EXPECT_FALSE(step.startEnabled) << "position " << step.pos;
        EXPECT_FALSE(step.openEnabled) << "position " << step.pos;
        EXPECT_EQ(step.log, working) << "position " << step.pos;
    }

    EXPECT_EQ(m_loader->ReadFlash(kFlashBase, image.size()), image);
    const std::vector<std::string> commands = m_loader->Commands();
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands.back(), ":QUIT_COMM#");
    EXPECT_EQ(m_loader->Blocks().size(), 3u);
}

struct FailedDownloadCase {
    const char* name;
    FaultPlan fault;
    DownloadEnd end;
    QString log;
    bool openEnabled;
    int lastPos;
};

void PrintTo(const FailedDownloadCase& c, std::ostream* os) {
    *os << c.name;
}

class DialogDownloadFailure : public DialogDownload,
                              public ::testing::WithParamInterface<FailedDownloadCase> {};

TEST_P(DialogDownloadFailure, EndsWithTheLogBoxAndButtonsAsTheEndSays) {
    const FailedDownloadCase& c = GetParam();
    EmulatorOptions options;
    options.fault = c.fault;
    ConnectEmulator(options);
    const std::vector<std::uint8_t> image = ChooseImage(5000);

    m_dlg->Start()->click();
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(m_dlg->Download().LastEnd(), c.end);
    EXPECT_EQ(LogBoxText(*m_dlg), c.log);
    EXPECT_TRUE(m_dlg->Start()->isEnabled());
    EXPECT_EQ(m_dlg->Open()->isEnabled(), c.openEnabled);
    ASSERT_FALSE(m_dlg->steps.empty());
    EXPECT_EQ(m_dlg->steps.back().pos, c.lastPos);
    EXPECT_EQ(m_dlg->Progress()->GetPos(), c.lastPos);
    EXPECT_FALSE(m_dlg->Download().IsDownloading());
}

INSTANTIATE_TEST_SUITE_P(
    Ends, DialogDownloadFailure,
    ::testing::Values(
        // The blank check of the second sector fails: no progress position after the start.
        FailedDownloadCase{"BlankCheckError",
                           {FaultKind::ErrorReply, 5, ":BX_ERR#"},
                           DownloadEnd::ErrorReply,
                           LogLines({kPrompt, kConnected, kProcessing, kDuration, kWait, kError}),
                           true,
                           0},
        FailedDownloadCase{"RamErrorOnTheFirstBlock",
                           {FaultKind::ErrorReply, kFirstDataCommand, ":RB_ERR#"},
                           DownloadEnd::ErrorReply,
                           LogLines({kPrompt, kConnected, kProcessing, kDuration, kWait, kError}),
                           true,
                           20},
        FailedDownloadCase{"FlashErrorOnTheSecondBlock",
                           {FaultKind::ErrorReply, kFirstDataCommand + 3, ":WE_ERR#"},
                           DownloadEnd::ErrorReply,
                           LogLines({kPrompt, kConnected, kProcessing, kDuration, kWait, kError}),
                           true,
                           22},
        // A reply the boot loader never sends resets the download: the log box holds the
        // prompt to check the devices, and both buttons work again.
        FailedDownloadCase{"UnrecognisedReplyInTheErasePhase",
                           {FaultKind::UnknownReply, 10, ":WHAT#"},
                           DownloadEnd::Unrecognised,
                           LogLines({kCheckDevices}),
                           true,
                           1}),
    [](const ::testing::TestParamInfo<FailedDownloadCase>& info) {
        return std::string(info.param.name);
    });

TEST_F(DialogDownload, StartDownloadWhileWaitingStopsAndTheNextClickStartsAfresh) {
    EmulatorOptions options;
    options.resetDelayMs = 10 * 60 * 1000;  // the controller is never reset
    ConnectEmulator(options);
    ChooseImage(1024);

    m_dlg->Start()->click();
    EXPECT_EQ(LogBoxText(*m_dlg), LogLines({kPrompt}));
    ASSERT_TRUE(SpinUntil([this] { return m_loader->WakeUpBytes() >= 2; }));

    m_dlg->Start()->click();
    EXPECT_EQ(m_dlg->Download().LastEnd(), DownloadEnd::Stopped);
    EXPECT_FALSE(m_dlg->Download().IsDownloading());
    EXPECT_EQ(LogBoxText(*m_dlg), LogLines({kCheckDevices}));
    EXPECT_TRUE(m_dlg->Start()->isEnabled());
    EXPECT_TRUE(m_dlg->Open()->isEnabled());

    m_dlg->Start()->click();
    EXPECT_TRUE(m_dlg->Download().IsDownloading());
    EXPECT_EQ(LogBoxText(*m_dlg), LogLines({kPrompt}));
}

TEST_F(DialogDownload, WithoutAnImageStartDownloadSaysSoAndStartsOnceOneIsChosen) {
    ConnectEmulator();

    m_dlg->Start()->click();
    EXPECT_EQ(m_dlg->Download().LastEnd(), DownloadEnd::NoImage);
    EXPECT_FALSE(m_dlg->Download().IsDownloading());
    EXPECT_EQ(LogBoxText(*m_dlg), LogLines({kNoDataFile}));
    EXPECT_TRUE(m_dlg->Start()->isEnabled());
    EXPECT_TRUE(m_dlg->Open()->isEnabled());

    const std::vector<std::uint8_t> image = ChooseImage(1500);
    m_dlg->Start()->click();
    EXPECT_EQ(LogBoxText(*m_dlg), LogLines({kPrompt}));
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(m_dlg->Download().LastEnd(), DownloadEnd::Success);
    EXPECT_EQ(m_loader->ReadFlash(kFlashBase, image.size()), image);
}

TEST_F(DialogDownload, APortThatCannotBeOpenedIsToldInAMessageBoxOfTheWindow) {
    const QString missing = m_dir.filePath(QStringLiteral("no-such-port"));
    const int index = m_dlg->AddPortEntry(missing, QString());
    FindControl<QComboBox>(*m_dlg, "IDC_PORT_COMBO")->setCurrentIndex(index);
    ChooseImage(100);

    m_dlg->Start()->click();
    EXPECT_EQ(m_dlg->Download().LastEnd(), DownloadEnd::PortError);
    EXPECT_FALSE(m_dlg->Download().IsDownloading());
    EXPECT_EQ(LogBoxText(*m_dlg), QString());
    QMessageBox* box = nullptr;
    ASSERT_TRUE(SpinUntil([&] {
        box = m_dlg->findChild<QMessageBox*>();
        return box != nullptr && box->isVisible();
    }));
    EXPECT_TRUE(box->text().contains(missing)) << box->text().toStdString();
    EXPECT_EQ(box->parentWidget(), m_dlg.get());
    box->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(m_dlg->Start()->isEnabled());
}

// The quit question and the About box keep the event loop running: the download goes on while
// either is open, and answering No or closing About leaves it untouched.
TEST_F(DialogDownload, TheDownloadGoesOnWhileTheQuitQuestionAndTheAboutBoxAreOpen) {
    // Slow enough replies and enough blocks that the download is still running when each box
    // closes.
    EmulatorOptions options;
    options.replyLatencyUs = 1000;
    ConnectEmulator(options);
    const std::vector<std::uint8_t> image = ChooseImage(64 * 1024);
    m_dlg->Start()->click();

    // Each box stays open until the controller has answered 30 more commands.
    std::size_t commandsAtOpen = 0;
    auto readyAfterProgress = [&](QWidget*) {
        const std::size_t now = m_loader->Commands().size();
        if (commandsAtOpen == 0) {
            commandsAtOpen = now + 1;
        }
        return now >= commandsAtOpen + 30;
    };
    {
        CModalWatcher answerNo(readyAfterProgress, [](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            box->button(QMessageBox::No)->click();
        });
        QTest::keyClick(m_dlg.get(), Qt::Key_Escape);
        EXPECT_TRUE(answerNo.Acted());
    }
    EXPECT_TRUE(m_dlg->isVisible());
    EXPECT_TRUE(m_dlg->Download().IsDownloading());

    commandsAtOpen = 0;
    {
        CModalWatcher closeAbout(readyAfterProgress, [](QWidget* modal) {
            auto* ok = FindControl<QPushButton>(*modal, "IDOK");
            ASSERT_NE(ok, nullptr);
            ok->click();
        });
        EXPECT_TRUE(m_dlg->OnSysCommand(0x0010));
        EXPECT_TRUE(closeAbout.Acted());
    }
    EXPECT_TRUE(m_dlg->Download().IsDownloading());

    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(m_dlg->Download().LastEnd(), DownloadEnd::Success);
    EXPECT_EQ(LogBoxText(*m_dlg),
              LogLines({kPrompt, kConnected, kProcessing, kDuration, kWait, kSuccess}));
    EXPECT_EQ(m_loader->ReadFlash(kFlashBase, image.size()), image);
}

TEST_F(DialogDownload, YesToTheQuitQuestionEndsTheWindowAndClosesThePort) {
    EmulatorOptions options;
    options.resetDelayMs = 10 * 60 * 1000;
    ConnectEmulator(options);
    ChooseImage(1024);
    m_dlg->Start()->click();
    ASSERT_TRUE(m_dlg->Comm().GetPortOpen());

    CModalWatcher answerYes([](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        box->button(QMessageBox::Yes)->click();
    });
    m_dlg->close();
    EXPECT_TRUE(answerYes.Acted());
    EXPECT_FALSE(m_dlg->isVisible());
    EXPECT_EQ(m_dlg->result(), QDialog::Rejected);
    EXPECT_FALSE(m_dlg->Comm().GetPortOpen());
}

}  // namespace
