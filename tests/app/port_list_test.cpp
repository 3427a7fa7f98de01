// The port list as users live with it: "Other port..." asks only when chosen, never while the
// keys or the wheel pass over it; long names fit the opened list; adapters
// plugged in and pulled out come and go while the window is open; and the port and image folder
// chosen in one run come back in the next, whatever state the settings are in.
#include <QAbstractItemView>
#include <QFileDialog>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QWheelEvent>
#include <functional>

#include "app_window.h"
#include "remembered_choices.h"
#include "resource.h"

namespace {

class PortList : public AppWindow {
public:
    // A new window whose "Other port..." prompt is answered with `answer` and counted.
    void OpenCountingWindow() {
        OpenWindow();
        dlg->SetPortNameAsker([this](QWidget*) {
            ++prompts;
            return answer;
        });
        ports->setFocus();
    }
    // Down from COM1 onto "Other port...", then `key`.
    void DownToOtherPortThen(Qt::Key key) {
        for (int i = 0; i < 9; ++i) {
            QTest::keyClick(ports, Qt::Key_Down);
        }
        QTest::keyClick(ports, key);
    }
    void Wheel(int notches) {
        const QPointF centre(ports->width() / 2.0, ports->height() / 2.0);
        for (int i = 0; i < notches; ++i) {
            QWheelEvent wheel(centre, ports->mapToGlobal(centre), QPoint(), QPoint(0, -120),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(ports, &wheel);
        }
    }
    // Opens the list and clicks `text`.
    void ClickInTheList(const QString& text) {
        ports->showPopup();
        QAbstractItemView* view = ports->view();
        ASSERT_TRUE(SpinUntil([view] { return view->isVisible(); }, 5000));
        // The list ignores a release that comes within a double-click time of its opening.
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        const QModelIndex index = view->model()->index(ports->findText(text), 0);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
        ASSERT_TRUE(SpinUntil([view] { return !view->isVisible(); }, 5000));
    }
    QStringList Entries() const {
        QStringList texts;
        for (int i = 0; i < ports->count(); ++i) {
            texts << ports->itemText(i);
        }
        return texts;
    }

    QString answer;
    int prompts = 0;
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
        {"Down past it", [](PortList& t) { t.DownToOtherPortThen(Qt::Key_Down); }, "", 0,
         "Other port...", "COM9"},
        {"the wheel past it", [](PortList& t) { t.Wheel(12); }, "", 0, "Other port...", "COM9"},
        {"Tab away", [](PortList& t) { t.DownToOtherPortThen(Qt::Key_Tab); }, "", 0, "COM9",
         "COM9"},
        {"Enter, cancelled", [](PortList& t) { t.DownToOtherPortThen(Qt::Key_Return); }, "", 1,
         "COM9", "COM9"},
        {"Space, answered", [](PortList& t) { t.DownToOtherPortThen(Qt::Key_Space); }, "/dev/pts/9",
         1, "/dev/pts/9", "/dev/pts/9"},
        {"a click, answered", [](PortList& t) { t.ClickInTheList("Other port..."); }, "COM12", 1,
         "COM12", "COM12"},
        {"a click on COM3", [](PortList& t) { t.ClickInTheList("COM3"); }, "", 0, "COM3", "COM3"},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        prompts = 0;
        answer = way.typed;
        OpenCountingWindow();
        way.act(*this);
        EXPECT_EQ(prompts, way.prompts);
        EXPECT_EQ(ports->currentText(), way.shown);
        EXPECT_EQ(PortInEffect(), way.inEffect);
        EXPECT_EQ(ports->itemText(ports->count() - 1), "Other port...");
    }
}

// A name wider than the screen widens the opened list to the screen's width, and is the box's
// tooltip.
TEST_F(PortList, ALongNameWidensTheOpenedListToTheScreen) {
    const QString endless = "/dev/" + QString(400, 'x');
    reported = {{endless.toStdString(), ""}};
    OpenCountingWindow();
    ports->setCurrentIndex(ports->IndexOfPort(endless));
    EXPECT_EQ(ports->toolTip(), endless);
    ports->showPopup();
    QWidget* popup = ports->view()->window();
    ASSERT_TRUE(SpinUntil([popup] { return popup->isVisible(); }, 5000));
    const QRect screen = ports->screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(popup->geometry()));
    EXPECT_EQ(popup->width(), screen.width());
}

// Adapters join and leave the list in place, the selected one stays selected by name, a port
// that went away gives way to COM1, and nothing asks; the window asks the system by itself. The
// port of a running download stays listed, even unplugged, until the download ends. The next
// window shows the port chosen last with an empty path box, and opens the file dialog in the
// folder of the image chosen last.
TEST_F(PortList, AdaptersComeAndGoAndTheNextWindowRemembersThePortAndFolder) {
    const QString usb0 = "/dev/ttyUSB0 (FT232R)", acm0 = "/dev/ttyACM0";
    reported = {{"/dev/ttyUSB0", "FT232R"}};
    OpenCountingWindow();
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
        EXPECT_EQ(Entries(), numbered + step.entries + QStringList{"Other port..."});
        EXPECT_EQ(ports->currentText(), step.shown);
        EXPECT_EQ(PortInEffect(), dlg->PortNameAt(ports->currentIndex()));
        EXPECT_EQ(dlg->Download().PortNumber(), ports->currentIndex() + 1);
        EXPECT_EQ(inserted.size(), step.inserted);
        EXPECT_EQ(removed.size(), step.removed);
    }
    // The port that went away is still the one chosen last, for the next run.
    EXPECT_EQ(CRememberedChoices::LastPort(), acm0);
    // Often enough for a new port to show within 5 seconds.
    reported = {{"/dev/ttyUSB0", "FT232R"}};
    EXPECT_TRUE(SpinUntil([&] { return ports->findText(usb0) >= 0; }, 5000));

    EmulatorOptions options;
    options.resetDelayMs = 10 * 60 * 1000;  // the controller is never reset: the download waits
    loader = std::make_unique<CPtyBootLoader>(options);
    std::string error;
    ASSERT_TRUE(loader->Start(&error)) << error;
    const QString line = QString::fromStdString(loader->SlavePath());
    reported = {{line.toStdString(), "emulated"}};
    dlg->RefreshPorts();
    ports->setCurrentIndex(ports->IndexOfPort(line));
    ChooseImage(2048);
    dlg->ClickStart();
    ASSERT_TRUE(dlg->Download().IsDownloading());
    reported.clear();  // unplugged
    dlg->RefreshPorts();
    EXPECT_EQ(ports->currentText(), line + " (emulated)");
    EXPECT_EQ(PortInEffect(), line);
    dlg->ClickStart();  // stops the wait
    dlg->RefreshPorts();
    EXPECT_EQ(ports->IndexOfPort(line), -1);
    EXPECT_EQ(ports->currentText(), "COM1");
    EXPECT_EQ(prompts, 0);

    ports->setCurrentIndex(2);
    OpenCountingWindow();
    EXPECT_EQ(ports->currentText(), "COM3");
    EXPECT_EQ(PortInEffect(), "COM3");
    EXPECT_EQ(FindControl<QLineEdit>(*dlg, "IDC_FILE_PATH")->text(), "");
    CModalWatcher watcher([&](QWidget* modal) {
        auto* files = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(files, nullptr) << modal->metaObject()->className();
        EXPECT_EQ(QDir(files->directory()).canonicalPath(),
                  QFileInfo(QString::fromStdString(image->path)).canonicalPath());
        files->reject();
    });
    FindControl<QPushButton>(*dlg, "IDC_OPEN_FILE")->click();
    EXPECT_EQ(watcher.acted, 1);
}

QString SettingsFile() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                     QString::fromLatin1(kSettingsOrganization),
                     QString::fromLatin1(kApplicationName))
        .fileName();
}

// The last port comes back only when it is listed; settings that are missing, unreadable or
// corrupt are passed over without a word, and no image is ever chosen for the user.
TEST_F(PortList, TheLastPortComesBackOnlyWhenListedAndBadSettingsAreIgnored) {
    const struct {
        const char* name;
        QByteArray settings;  // empty: a folder where the file belongs
        std::vector<SerialPortEntry> reported;
        QString shown;
    } cases[] = {
        {"COM3", "[General]\nLastPort=COM3", {}, "COM3"},
        {"a port that is there",
         "[General]\nLastPort=/dev/ttyUSB3",
         {{"/dev/ttyUSB3", "CP"}},
         "/dev/ttyUSB3 (CP)"},
        {"a port that is not", "[General]\nLastPort=/dev/ttyUSB3", {}, "COM1"},
        {"a name no list has", "[General]\nLastPort=Other port...", {}, "COM1"},
        {"a list instead of a name", "[General]\nLastPort=COM3, COM4", {}, "COM1"},
        {"binary garbage",
         QByteArray("\xff\xfe\x00[Gen\x01\nLastPort\x00=COM3\n[[", 27),
         {},
         "COM1"},
        {"a folder", {}, {}, "COM1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CIsolatedSettings::ForgetAll();
        if (c.settings.isEmpty()) {
            QDir().mkpath(SettingsFile());
        } else {
            QDir().mkpath(QFileInfo(SettingsFile()).path());
            QFile file(SettingsFile());
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(c.settings);
        }
        reported = c.reported;
        OpenWindow();
        EXPECT_EQ(ports->currentText(), c.shown);
        EXPECT_EQ(PortInEffect(), dlg->PortNameAt(ports->currentIndex()));
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_TRUE(dlg->findChildren<QMessageBox*>().isEmpty());
        EXPECT_EQ(dlg->Download().FilePath(), "");
    }
}

}  // namespace
