// The main window without a controller: its state at start, its layout in dialog units, the port
// list, the file dialog, the About box and the quit question.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include "about_dlg.h"
#include "dialog_test_support.h"
#include "dialog_units.h"
#include "flash_downloader_app.h"
#include "flash_downloader_dlg.h"

namespace {

struct DialogItem {
    const char* name;
    QRect dialogUnits;
};

// Where the main window's controls sit, in dialog units.
const DialogItem kMainWindowItems[] = {
    {"IDC_OPEN_FILE", {7, 41, 81, 14}},  {"IDC_START_DOWNLOAD", {7, 81, 81, 14}},
    {"IDC_PROGRESS", {7, 179, 306, 14}}, {"IDC_LOG", {7, 101, 306, 74}},
    {"IDC_FILE_PATH", {7, 61, 306, 14}},
};

void ShowAndActivate(QWidget& window) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

TEST(DialogUnits, MulDivRoundsHalvesAwayFromZero) {
    const struct {
        int number, numerator, denominator, expected;
    } cases[] = {
        {1, 3, 2, 2},   {-1, 3, 2, -2}, {5, 6, 4, 8}, {7, 13, 8, 11},    {9, -5, 4, -11},
        {2, -3, 4, -2}, {3, 1, 0, 0},   {0, 7, 4, 0}, {200, 13, 8, 325},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MulDiv(c.number, c.numerator, c.denominator), c.expected)
            << c.number << " * " << c.numerator << " / " << c.denominator;
    }
}

TEST(DialogUnits, RectanglesConvertEachFieldOnItsOwn) {
    const struct {
        DialogBaseUnits units;
        QRect dialogUnits;
        QRect pixels;
    } cases[] = {
        {{6, 13}, {7, 41, 81, 14}, {11, 67, 122, 23}},
        {{7, 15}, {7, 179, 306, 14}, {12, 336, 536, 26}},
        {{7, 15}, {153, 7, 160, 47}, {268, 13, 280, 88}},
        {{5, 12}, {67, 13, 64, 108}, {84, 20, 80, 162}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MapDialogRect(c.dialogUnits, c.units), c.pixels)
            << "base units " << c.units.cx << " x " << c.units.cy;
    }
    EXPECT_EQ(MapDialogSize({320, 200}, {6, 13}), QSize(480, 325));
}

TEST(DialogUnits, BaseUnitsAreTheLetterWidthAndTheFontHeight) {
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setPixelSize(12);
    const QFontMetrics metrics(mono);
    const DialogBaseUnits units = DialogBaseUnitsOf(mono);
    EXPECT_EQ(units.cx, metrics.horizontalAdvance(QLatin1Char('A')));
    EXPECT_EQ(units.cy, metrics.height());
}

TEST(MainWindow, StartsWithCom1TheEmptyBoxesAndBothButtonsEnabled) {
    CFlashDownloaderApp::SetUpApplication();
    CFlashDownloaderDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Altrevo Flash Downloader V1.0"));
    EXPECT_EQ(QCoreApplication::applicationVersion(), QStringLiteral("1.0.0.1"));

    auto* combo = FindControl<QComboBox>(dlg, "IDC_PORT_COMBO");
    ASSERT_NE(combo, nullptr);
    ASSERT_GE(combo->count(), 9);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(combo->itemText(i), QStringLiteral("COM%1").arg(i + 1));
    }
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(dlg.Download().PortNumber(), 1);
    EXPECT_EQ(dlg.Download().PortName(), "COM1");

    EXPECT_TRUE(LogBoxText(dlg).isEmpty());
    auto* path = FindControl<QLineEdit>(dlg, "IDC_FILE_PATH");
    ASSERT_NE(path, nullptr);
    EXPECT_TRUE(path->text().isEmpty());
    EXPECT_TRUE(path->isReadOnly());
    auto* log = FindControl<QPlainTextEdit>(dlg, "IDC_LOG");
    ASSERT_NE(log, nullptr);
    EXPECT_TRUE(log->isReadOnly());
    EXPECT_EQ(log->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(log->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

    auto* open = FindControl<QPushButton>(dlg, "IDC_OPEN_FILE");
    auto* start = FindControl<QPushButton>(dlg, "IDC_START_DOWNLOAD");
    ASSERT_NE(open, nullptr);
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(open->text(), QStringLiteral("Open Data File"));
    EXPECT_EQ(start->text(), QStringLiteral("Start Download"));
    EXPECT_TRUE(open->isEnabled());
    EXPECT_TRUE(start->isEnabled());
    EXPECT_NE(FindControl<QWidget>(dlg, "IDC_PROGRESS"), nullptr);

    const QList<QSize> iconSizes = dlg.windowIcon().availableSizes();
    EXPECT_TRUE(iconSizes.contains(QSize(32, 32)));
    EXPECT_TRUE(iconSizes.contains(QSize(16, 16)));
}

TEST(MainWindow, ControlsSitWhereTheirDialogUnitsSay) {
    CFlashDownloaderDlg dlg;
    EXPECT_EQ(dlg.font().pointSize(), 9);
    const DialogBaseUnits units = DialogBaseUnitsOf(dlg.font());
    ASSERT_GT(units.cx, 0);
    ASSERT_GT(units.cy, 0);

    const QSize size = MapDialogSize({320, 200}, units);
    EXPECT_EQ(dlg.size(), size);
    EXPECT_EQ(dlg.minimumSize(), size);
    EXPECT_EQ(dlg.maximumSize(), size);

    for (const DialogItem& item : kMainWindowItems) {
        const QWidget* control = FindControl<QWidget>(dlg, item.name);
        ASSERT_NE(control, nullptr) << item.name;
        EXPECT_EQ(control->geometry(), MapDialogRect(item.dialogUnits, units)) << item.name;
    }
    // The port list's template height is its drop-down list; the box is one line high.
    const auto* combo = FindControl<QComboBox>(dlg, "IDC_PORT_COMBO");
    const QRect comboRect = MapDialogRect({67, 13, 64, 108}, units);
    EXPECT_EQ(combo->pos(), comboRect.topLeft());
    EXPECT_EQ(combo->width(), comboRect.width());
    EXPECT_EQ(combo->height(), combo->sizeHint().height());
}

TEST(MainWindow, OpensCentredWithTheFocusOnThePortListAndTabsThroughTheThreeStops) {
    CFlashDownloaderDlg dlg;
    ShowAndActivate(dlg);
    const QRect screen = dlg.screen()->availableGeometry();
    const QPoint offset = dlg.frameGeometry().center() - screen.center();
    EXPECT_LE(offset.manhattanLength(), 2) << offset.x() << ", " << offset.y();

    const char* const order[] = {"IDC_PORT_COMBO", "IDC_OPEN_FILE", "IDC_START_DOWNLOAD",
                                 "IDC_PORT_COMBO"};
    for (const char* name : order) {
        EXPECT_EQ(QApplication::focusWidget(), FindControl<QWidget>(dlg, name)) << name;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
}

TEST(MainWindow, NeitherActionButtonIsTheDefaultButEnterPressesTheFocusedOne) {
    CFlashDownloaderDlg dlg;
    ShowAndActivate(dlg);
    auto* open = FindControl<QPushButton>(dlg, "IDC_OPEN_FILE");
    auto* start = FindControl<QPushButton>(dlg, "IDC_START_DOWNLOAD");
    // A default button draws itself as active; only the focused one may look so.
    EXPECT_FALSE(open->isDefault());
    EXPECT_FALSE(start->isDefault());

    int chooserCalls = 0;
    dlg.SetFileChooser([&](QWidget*) {
        ++chooserCalls;
        return QString();
    });
    CModalWatcher noQuestion([](QWidget* modal) {
        ADD_FAILURE() << "unexpected modal window " << modal->metaObject()->className();
        modal->close();
    });
    open->setFocus();
    EXPECT_TRUE(open->isDefault());
    QTest::keyClick(open, Qt::Key_Return);
    EXPECT_EQ(chooserCalls, 1);
    EXPECT_FALSE(noQuestion.Acted());

    FindControl<QWidget>(dlg, "IDC_PORT_COMBO")->setFocus();
    EXPECT_FALSE(open->isDefault());
}

TEST(MainWindow, SystemPortsJoinTheListOnceAndSelectingOneNamesThePort) {
    CFlashDownloaderDlg dlg;
    auto* combo = FindControl<QComboBox>(dlg, "IDC_PORT_COMBO");
    const int before = combo->count();

    EXPECT_EQ(dlg.AddPortEntry(QStringLiteral("COM3"), QString()), 2);
#ifdef Q_OS_LINUX
    // The fifth numbered port is this device.
    EXPECT_EQ(dlg.AddPortEntry(QStringLiteral("/dev/ttyS4"), QStringLiteral("16550A")), 4);
#endif
    EXPECT_EQ(combo->count(), before);

    const int usb = dlg.AddPortEntry(QStringLiteral("/dev/ttyUSB7"), QStringLiteral("FT232R"));
    EXPECT_EQ(usb, before - 1);  // before "Other port...", which stays last
    EXPECT_EQ(combo->itemText(combo->count() - 1), QStringLiteral("Other port..."));
    EXPECT_EQ(combo->itemText(usb), QStringLiteral("/dev/ttyUSB7 (FT232R)"));
    EXPECT_EQ(dlg.AddPortEntry(QStringLiteral("/dev/ttyUSB7"), QString()), usb);

    combo->setCurrentIndex(3);
    EXPECT_EQ(dlg.Download().PortNumber(), 4);
    EXPECT_EQ(dlg.Download().PortName(), "COM4");
    combo->setCurrentIndex(usb);
    EXPECT_EQ(dlg.Download().PortName(), "/dev/ttyUSB7");
}

TEST(MainWindow, OtherPortAsksForANameAndCancelGoesBack) {
    CFlashDownloaderDlg dlg;
    auto* combo = FindControl<QComboBox>(dlg, "IDC_PORT_COMBO");
    const int other = combo->count() - 1;
    QString answer = QStringLiteral("/dev/pts/99");
    int asked = 0;
    dlg.SetPortNameAsker([&](QWidget*) {
        ++asked;
        return answer;
    });

    combo->setCurrentIndex(2);
    combo->setCurrentIndex(other);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(combo->currentIndex(), other);  // the new entry took its place
    EXPECT_EQ(combo->currentText(), QStringLiteral("/dev/pts/99"));
    EXPECT_EQ(combo->itemText(combo->count() - 1), QStringLiteral("Other port..."));
    EXPECT_EQ(dlg.Download().PortName(), "/dev/pts/99");

    answer.clear();  // cancelled: back to the port chosen before
    combo->setCurrentIndex(combo->count() - 1);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(combo->currentText(), QStringLiteral("/dev/pts/99"));
    EXPECT_EQ(dlg.Download().PortName(), "/dev/pts/99");
}

TEST(MainWindow, TheChosenPathIsShownAndCancelKeepsIt) {
    CFlashDownloaderDlg dlg;
    auto* open = FindControl<QPushButton>(dlg, "IDC_OPEN_FILE");
    auto* path = FindControl<QLineEdit>(dlg, "IDC_FILE_PATH");
    const QString first = QDir::temp().filePath(QStringLiteral("first.bin"));
    QString answer = first;
    int shown = 0;
    dlg.SetFileChooser([&](QWidget* parent) {
        EXPECT_EQ(parent, &dlg);
        ++shown;
        return answer;
    });

    open->click();
    EXPECT_EQ(path->text(), QDir::toNativeSeparators(first));
    EXPECT_EQ(dlg.Download().FilePath(), QFile::encodeName(first).toStdString());

    answer.clear();  // cancelled
    open->click();
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(path->text(), QDir::toNativeSeparators(first));
    EXPECT_EQ(dlg.Download().FilePath(), QFile::encodeName(first).toStdString());
}

TEST(MainWindow, TheFileDialogFiltersBinFilesAndTakesATypedNewName) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString typed = dir.filePath(QStringLiteral("not-there-yet.bin"));
    CFlashDownloaderDlg dlg;
    auto* path = FindControl<QLineEdit>(dlg, "IDC_FILE_PATH");

    for (const bool confirm : {true, false}) {
        QStringList filters;
        QFileDialog::FileMode mode = QFileDialog::Directory;
        QWidget* parent = nullptr;
        CModalWatcher watcher([&](QWidget* modal) {
            auto* fileDialog = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(fileDialog, nullptr);
            filters = fileDialog->nameFilters();
            mode = fileDialog->fileMode();
            parent = fileDialog->parentWidget();
            if (confirm) {
                fileDialog->selectFile(typed);
                static_cast<QDialog*>(fileDialog)->accept();
            } else {
                fileDialog->reject();
            }
        });
        FindControl<QPushButton>(dlg, "IDC_OPEN_FILE")->click();
        EXPECT_TRUE(watcher.Acted());
        EXPECT_EQ(filters, QStringList{QStringLiteral("Bin File ( *.bin)")});
        EXPECT_EQ(mode, QFileDialog::AnyFile);
        EXPECT_EQ(parent, &dlg);
        // Cancel on the second round keeps the name from the first.
        EXPECT_EQ(path->text(), QDir::toNativeSeparators(typed));
    }
}

TEST(MainWindow, AboutCommandsOpenTheAboutBoxOthersDoNot) {
    CFlashDownloaderDlg dlg;
    ShowAndActivate(dlg);
    for (const unsigned id : {0x0010u, 0x0011u, 0x001Fu}) {
        QString caption;
        QStringList texts;
        QWidget* parent = nullptr;
        CModalWatcher watcher([&](QWidget* modal) {
            caption = modal->windowTitle();
            parent = modal->parentWidget();
            for (const QLabel* label : modal->findChildren<QLabel*>()) {
                if (!label->text().isEmpty()) {
                    texts << label->text();
                }
            }
            auto* ok = FindControl<QPushButton>(*modal, "IDOK");
            ASSERT_NE(ok, nullptr);
            EXPECT_TRUE(ok->isDefault());
            ok->click();
        });
        EXPECT_TRUE(dlg.OnSysCommand(id)) << id;
        EXPECT_TRUE(watcher.Acted()) << id;
        EXPECT_EQ(caption, QStringLiteral("About Altrevo Flash Downloader"));
        EXPECT_TRUE(texts.contains(QStringLiteral("Altrevo Flash Downloader V1.0")));
        EXPECT_EQ(texts.size(), 2);
        EXPECT_EQ(parent, &dlg);
        EXPECT_TRUE(dlg.isVisible());
    }
    for (const unsigned id : {0x0000u, 0x0020u, 0xF060u}) {
        EXPECT_FALSE(dlg.OnSysCommand(id)) << id;
    }
}

TEST(MainWindow, F1AndTheContextMenuEntryOpenAboutAndEscClosesItWithoutAQuestion) {
    CFlashDownloaderDlg dlg;
    ShowAndActivate(dlg);
    const QList<QAction*> actions = dlg.actions();
    ASSERT_EQ(actions.size(), 1);
    EXPECT_EQ(actions.first()->text(), QStringLiteral("About Altrevo FLASH DOWNLOADER(&A)..."));
#ifndef Q_OS_WIN
    EXPECT_EQ(dlg.contextMenuPolicy(), Qt::ActionsContextMenu);
#endif

    int aboutBoxes = 0;
    CModalWatcher watcher([&](QWidget* modal) {
        aboutBoxes += qobject_cast<CAboutDlg*>(modal) != nullptr;
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    QTest::keyClick(&dlg, Qt::Key_F1);
    EXPECT_TRUE(watcher.Acted());
    EXPECT_EQ(aboutBoxes, 1);
    EXPECT_TRUE(dlg.isVisible());
    // Esc ended the About box alone: no quit question followed.
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

enum class QuitTrigger { EscKey, CloseButton, EnterOnPortList, EnterInLogBox, OkCommand };

struct QuitCase {
    QuitTrigger trigger;
    const char* name;
};

class QuitQuestion : public ::testing::TestWithParam<QuitCase> {
protected:
    static void Trigger(CFlashDownloaderDlg& dlg, QuitTrigger trigger) {
        switch (trigger) {
            case QuitTrigger::EscKey:
                QTest::keyClick(&dlg, Qt::Key_Escape);
                break;
            case QuitTrigger::CloseButton:
                dlg.close();
                break;
            case QuitTrigger::EnterOnPortList:
                QTest::keyClick(FindControl<QWidget>(dlg, "IDC_PORT_COMBO"), Qt::Key_Return);
                break;
            case QuitTrigger::EnterInLogBox:
                QTest::keyClick(FindControl<QWidget>(dlg, "IDC_LOG"), Qt::Key_Enter,
                                Qt::KeypadModifier);
                break;
            case QuitTrigger::OkCommand:
                dlg.accept();
                break;
        }
    }
};

TEST_P(QuitQuestion, NoKeepsTheWindowYesEndsIt) {
    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        CFlashDownloaderDlg dlg;
        ShowAndActivate(dlg);
        bool finished = false;
        QObject::connect(&dlg, &QDialog::finished, [&finished] { finished = true; });

        QString text, caption;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        QAbstractButton* defaultButton = nullptr;
        QAbstractButton* yesButton = nullptr;
        QWidget* parent = nullptr;
        CModalWatcher watcher([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (box == nullptr) {
                ADD_FAILURE() << "unexpected modal window " << modal->metaObject()->className()
                              << " \"" << modal->windowTitle().toStdString() << '"';
                modal->close();
                return;
            }
            text = box->text();
            caption = box->windowTitle();
            icon = box->icon();
            buttons = box->standardButtons();
            defaultButton = box->defaultButton();
            yesButton = box->button(QMessageBox::Yes);
            parent = box->parentWidget();
            box->button(answer)->click();
        });
        Trigger(dlg, GetParam().trigger);

        EXPECT_TRUE(watcher.Acted());
        EXPECT_EQ(watcher.ModalsSeen(), 1);
        EXPECT_EQ(text, QStringLiteral("Are you sure you want to quit Altrevo Flash Downloader?"));
        EXPECT_EQ(caption, QStringLiteral("Message"));
        EXPECT_EQ(icon, QMessageBox::Question);
        EXPECT_EQ(buttons, QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(defaultButton, yesButton);
        EXPECT_EQ(parent, &dlg);
        EXPECT_EQ(dlg.isVisible(), answer == QMessageBox::No);
        EXPECT_EQ(finished, answer == QMessageBox::Yes);
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllWaysOut, QuitQuestion,
    ::testing::Values(QuitCase{QuitTrigger::EscKey, "EscKey"},
                      QuitCase{QuitTrigger::CloseButton, "CloseButton"},
                      QuitCase{QuitTrigger::EnterOnPortList, "EnterOnPortList"},
                      QuitCase{QuitTrigger::EnterInLogBox, "EnterInLogBox"},
                      QuitCase{QuitTrigger::OkCommand, "OkCommand"}),
    [](const ::testing::TestParamInfo<QuitCase>& info) { return std::string(info.param.name); });

}  // namespace
