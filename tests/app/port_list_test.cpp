// The port list as users live with it: "Other port..." asks only when chosen, never while the
// keys or the wheel pass over it; long names fit the opened list and the tooltip; ports the
// system reports come and go while the window is open; the port chosen last time comes back.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QFile>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "flash_downloader_dlg.h"
#include "isolated_settings.h"
#include "modal_watcher.h"
#include "remembered_choices.h"
#include "resource.h"
#include "sim/pty_boot_loader.h"
#include "temp_image.h"
#include "widget_test_helpers.h"

namespace {

const QString kUsb0 = "/dev/ttyUSB0";
const QString kAcm0 = "/dev/ttyACM0";
const QString kLongName = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";

class PortList : public ::testing::Test {
public:  // the cases' steps drive the window through it
    void SetUp() override { CIsolatedSettings::ForgetAll(); }

    // A new window on the ports in `reported`, shown and active, with every prompt counted.
    void OpenWindow() {
        dlg = std::make_unique<CFlashDownloaderDlg>(nullptr, [this] { return reported; });
        dlg->SetPortNameAsker([this](QWidget*) {
            ++prompts;
            return answer;
        });
        dlg->show();
        dlg->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
        ports = FindControl<CPortComboBox>(*dlg, "IDC_PORT_COMBO");
        ASSERT_NE(ports, nullptr);
        ports->setFocus();
    }

    QStringList Entries() const {
        QStringList texts;
        for (int i = 0; i < ports->count(); ++i) {
            texts << ports->itemText(i);
        }
        return texts;
    }
    static QStringList Numbered(const QStringList& more) {
        QStringList texts;
        for (int n = 1; n <= 9; ++n) {
            texts << QStringLiteral("COM%1").arg(n);
        }
        return texts << more << "Other port...";
    }

    void Keys(Qt::Key key, int times) {
        for (int i = 0; i < times; ++i) {
            QTest::keyClick(ports, key);
        }
    }
    void Wheel(int notches) {
        const QPointF centre(ports->width() / 2.0, ports->height() / 2.0);
        for (int i = 0; i < notches; ++i) {
            QWheelEvent wheel(centre, ports->mapToGlobal(centre), QPoint(), QPoint(0, -120),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(ports, &wheel);
        }
    }
    // Opens the list, highlights `text` and picks it with Enter or a click.
    void PickFromList(const QString& text, bool click) {
        ports->showPopup();
        QAbstractItemView* view = ports->view();
        ASSERT_TRUE(SpinUntil([view] { return view->isVisible(); }, 5000));
        const QModelIndex index = view->model()->index(ports->findText(text), 0);
        ASSERT_TRUE(index.isValid()) << text.toStdString();
        if (click) {
            // The list ignores a release that comes within a double-click time of its opening.
            QTest::qWait(QApplication::doubleClickInterval() + 50);
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                              view->visualRect(index).center());
        } else {
            view->setCurrentIndex(index);
            QTest::keyClick(view, Qt::Key_Return);
        }
        ASSERT_TRUE(SpinUntil([view] { return !view->isVisible(); }, 5000));
    }
    QString PortInEffect() const { return QString::fromStdString(dlg->Download().PortName()); }

    std::vector<SerialPortEntry> reported;
    QString answer;  // what the user types into the "Other port..." prompt
    int prompts = 0;
    std::unique_ptr<CFlashDownloaderDlg> dlg;
    CPortComboBox* ports = nullptr;
};

// From COM1, nine entries down is "Other port..."; passing over it or resting on it asks nothing
// and keeps COM9 in effect, choosing it asks once.
TEST_F(PortList, OtherPortAsksOnlyWhenChosenNeverWhileKeysOrTheWheelPassOverIt) {
    const struct {
        const char* name;
        std::function<void(PortList&)> act;
        const char* typed;
        int prompts;
        const char* shown;
        const char* inEffect;
    } ways[] = {
        {"Down twelve times", [](PortList& t) { t.Keys(Qt::Key_Down, 12); }, "", 0, "Other port...",
         "COM9"},
        {"the wheel twelve notches", [](PortList& t) { t.Wheel(12); }, "", 0, "Other port...",
         "COM9"},
        {"End, Up, End, then the letter O",
         [](PortList& t) {
             t.Keys(Qt::Key_End, 1);
             t.Keys(Qt::Key_Up, 1);
             t.Keys(Qt::Key_End, 1);
             QTest::keyClicks(t.ports, "O");
         },
         "", 0, "Other port...", "COM9"},
        {"Down onto it, then Tab away",
         [](PortList& t) {
             t.Keys(Qt::Key_Down, 9);
             t.Keys(Qt::Key_Tab, 1);
         },
         "", 0, "COM9", "COM9"},
        {"Enter on it, cancelled",
         [](PortList& t) {
             t.Keys(Qt::Key_Down, 9);
             t.Keys(Qt::Key_Return, 1);
         },
         "", 1, "COM9", "COM9"},
        {"Space on it, answered",
         [](PortList& t) {
             t.Keys(Qt::Key_Down, 9);
             t.Keys(Qt::Key_Space, 1);
         },
         "/dev/pts/9", 1, "/dev/pts/9", "/dev/pts/9"},
        {"Enter in the opened list, cancelled",
         [](PortList& t) { t.PickFromList("Other port...", false); }, "", 1, "COM1", "COM1"},
        {"a click in the opened list, answered",
         [](PortList& t) { t.PickFromList("Other port...", true); }, "COM12", 1, "COM12", "COM12"},
        {"a click on COM3 in the opened list", [](PortList& t) { t.PickFromList("COM3", true); },
         "", 0, "COM3", "COM3"},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        prompts = 0;
        answer = way.typed;
        OpenWindow();
        way.act(*this);
        EXPECT_EQ(prompts, way.prompts);
        EXPECT_EQ(ports->currentText(), way.shown);
        EXPECT_EQ(PortInEffect(), way.inEffect);
        EXPECT_EQ(ports->itemText(ports->count() - 1), "Other port...");
    }
}

// The list has the keyboard focus at start and shows it: a frame around its text, which goes
// when the focus moves on.
TEST_F(PortList, TheFocusedListShowsTheFocusFrameAroundItsText) {
    OpenWindow();
    ASSERT_EQ(QApplication::focusWidget(), ports);
    const QImage focused = ports->grab().toImage();
    QTest::keyClick(ports, Qt::Key_Tab);
    ASSERT_FALSE(ports->hasFocus());
    const QImage unfocused = ports->grab().toImage();
    QRect changed;
    for (int y = 0; y < focused.height(); ++y) {
        for (int x = 0; x < focused.width(); ++x) {
            if (focused.pixel(x, y) != unfocused.pixel(x, y)) {
                changed |= QRect(x, y, 1, 1);
            }
        }
    }
    // A frame, not a speck: it spans most of the box.
    EXPECT_GT(changed.width(), ports->width() / 2);
    EXPECT_GT(changed.height(), ports->height() / 2);
}

// The opened list is as wide as its widest entry, but no wider than the screen; the closed box
// tells the whole entry as its tooltip.
TEST_F(PortList, LongNamesFitTheOpenedListWithinTheScreenAndTheTooltip) {
    const QString endless = "/dev/" + QString(400, 'x');
    const struct {
        QString name, description;
        bool widerThanScreen;
    } cases[] = {
        {kLongName, "FT232R USB UART (FTDI)", false},
        {endless, "", true},
    };
    for (const auto& c : cases) {
        reported = {{c.name.toStdString(), c.description.toStdString()}};
        OpenWindow();
        const int index = ports->IndexOfPort(c.name);
        ASSERT_EQ(index, 9);
        const QString text = ports->itemText(index);
        ports->setCurrentIndex(index);
        EXPECT_EQ(ports->toolTip(), text);
        EXPECT_EQ(ports->itemData(index, Qt::ToolTipRole).toString(), text);

        ports->showPopup();
        QWidget* popup = ports->view()->window();
        ASSERT_TRUE(SpinUntil([popup] { return popup->isVisible(); }, 5000));
        const QRect screen = ports->screen()->availableGeometry();
        EXPECT_TRUE(screen.contains(popup->geometry())) << text.toStdString();
        const int textWidth = ports->view()->fontMetrics().horizontalAdvance(text);
        if (c.widerThanScreen) {
            EXPECT_EQ(popup->width(), screen.width());
        } else {
            EXPECT_GT(ports->view()->viewport()->width(), textWidth);
            EXPECT_GT(textWidth, ports->width());  // the box alone would clip it
        }
        ports->hidePopup();
    }
}

// Ports join and leave the list in place, the selected one stays selected by name, a port that
// went away gives way to COM1, and nothing asks.
TEST_F(PortList, ReportedPortsComeAndGoInPlaceWithTheSelectionKeptByName) {
    reported = {{kUsb0.toStdString(), "FT232R"}};
    OpenWindow();
    QSignalSpy inserted(ports->model(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(ports->model(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy moves(ports, &QComboBox::currentIndexChanged);
    const struct {
        const char* select;  // chosen before the system reports the new list
        std::vector<SerialPortEntry> reported;
        QStringList entries;
        const char* shown;
        int inserted, removed;
    } steps[] = {
        {"/dev/ttyUSB0 (FT232R)",
         {{kAcm0.toStdString(), ""}, {kUsb0.toStdString(), "FT232R"}},
         Numbered({"/dev/ttyUSB0 (FT232R)", kAcm0}),
         "/dev/ttyUSB0 (FT232R)",
         1,
         0},
        {nullptr,
         {{kAcm0.toStdString(), ""}, {kUsb0.toStdString(), "FT232R"}},
         Numbered({"/dev/ttyUSB0 (FT232R)", kAcm0}),
         "/dev/ttyUSB0 (FT232R)",
         0,
         0},
        {"/dev/ttyACM0", {{kAcm0.toStdString(), ""}}, Numbered({kAcm0}), "/dev/ttyACM0", 0, 1},
        {nullptr, {}, Numbered({}), "COM1", 0, 1},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.shown);
        if (step.select != nullptr) {
            ports->setCurrentIndex(ports->findText(step.select));
        }
        inserted.clear();
        removed.clear();
        moves.clear();
        reported = step.reported;
        dlg->RefreshPorts();
        EXPECT_EQ(Entries(), step.entries);
        EXPECT_EQ(ports->currentText(), step.shown);
        EXPECT_EQ(PortInEffect(), dlg->PortNameAt(ports->currentIndex()));
        EXPECT_EQ(dlg->Download().PortNumber(), ports->currentIndex() + 1);
        EXPECT_EQ(inserted.size(), step.inserted);
        EXPECT_EQ(removed.size(), step.removed);
        // The index moves only when the shown entry moved or went.
        EXPECT_LE(moves.size(), 1);
    }
    EXPECT_EQ(prompts, 0);
    // The port that went away is still the one chosen last, for the next run.
    EXPECT_EQ(CRememberedChoices::LastPort(), kAcm0);

    // The window asks the system by itself, often enough for a port to show within 2 seconds.
    reported = {{kUsb0.toStdString(), "FT232R"}};
    EXPECT_TRUE(SpinUntil([this] { return ports->IndexOfPort(kUsb0) >= 0; }, 5000));
}

// The port of a running download stays listed while the download runs, even unplugged; once it
// ended, the port leaves like any other.
TEST_F(PortList, ThePortOfARunningDownloadStaysUntilItEnds) {
    EmulatorOptions options;
    options.resetDelayMs = 10 * 60 * 1000;  // the controller is never reset: the download waits
    CPtyBootLoader loader(options);
    std::string error;
    ASSERT_TRUE(loader.Start(&error)) << error;
    const QString line = QString::fromStdString(loader.SlavePath());
    const CTempImage image(2048);
    reported = {{line.toStdString(), "emulated"}};
    OpenWindow();
    ports->setCurrentIndex(ports->IndexOfPort(line));
    dlg->SetFileChooser([&](QWidget*) { return QString::fromStdString(image.path); });
    FindControl<QPushButton>(*dlg, "IDC_OPEN_FILE")->click();
    FindControl<QPushButton>(*dlg, "IDC_START_DOWNLOAD")->click();
    ASSERT_TRUE(dlg->Download().IsDownloading());

    reported.clear();  // unplugged
    dlg->RefreshPorts();
    EXPECT_EQ(ports->currentText(), line + " (emulated)");
    EXPECT_EQ(PortInEffect(), line);

    FindControl<QPushButton>(*dlg, "IDC_START_DOWNLOAD")->click();  // stops the wait
    ASSERT_FALSE(dlg->Download().IsDownloading());
    dlg->RefreshPorts();
    EXPECT_EQ(ports->IndexOfPort(line), -1);
    EXPECT_EQ(ports->currentText(), "COM1");
    EXPECT_EQ(prompts, 0);
}

}  // namespace
