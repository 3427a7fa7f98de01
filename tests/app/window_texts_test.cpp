// What the user reads and how big it is drawn: every fixed text of the main window, the About box,
// the port question and the port error box verbatim, the dialogs' 9-point font, and their sizes
// in pixels against dialog units worked out here from a 9-point font of their own.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QTest>
#include <cmath>
#include <memory>

#include "about_dlg.h"
#include "flash_downloader_dlg.h"
#include "modal_watcher.h"
#include "widget_test_helpers.h"

namespace {

// Dialog units to pixels through a 9-point font of the application's face: x and width in
// quarters of the average letter width (rounded), y and height in eighths of the font height.
QRect Pixels(int x, int y, int width, int height) {
    QFont font = QApplication::font();
    font.setPointSize(9);
    const QFontMetrics metrics(font);
    const double cx = std::round(metrics.horizontalAdvance(QStringLiteral(
                                     "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                                 52.0);
    const double cy = metrics.height();
    return QRect(std::lround(x * cx / 4), std::lround(y * cy / 8), std::lround(width * cx / 4),
                 std::lround(height * cy / 8));
}

QString TextOf(const QWidget* widget) {
    return widget->property("text").toString();
}

TEST(WindowTexts, MainWindowTextsFontAndSize) {
    CFlashDownloaderDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), "Altrevo Flash Downloader V1.0");
    EXPECT_EQ(dlg.font().pointSize(), 9);
    EXPECT_EQ(dlg.size(), Pixels(0, 0, 320, 200).size());

    const struct {
        const char* name;
        const char* text;
        bool shown;
    } buttons[] = {{"IDC_OPEN_FILE", "Open Data File", true},
                   {"IDC_START_DOWNLOAD", "Start Download", true},
                   {"IDOK", "??", false},
                   {"IDCANCEL", "??", false}};
    for (const auto& b : buttons) {
        const QWidget* button = FindControl(dlg, b.name);
        ASSERT_NE(button, nullptr) << b.name;
        EXPECT_EQ(TextOf(button), b.text) << b.name;
        EXPECT_EQ(button->isVisibleTo(&dlg), b.shown) << b.name;
        EXPECT_EQ(button->font().pointSize(), 9) << b.name;
    }
    QStringList labels;
    for (const QLabel* label : dlg.findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) {
            labels << label->text();
        } else {  // the logo, scaled into its box
            const QRect box = Pixels(153, 7, 160, 47);
            const QSize logo = label->pixmap().size();
            EXPECT_EQ(label->geometry(), box);
            EXPECT_TRUE(logo.width() == box.width() || logo.height() == box.height()) << "fits";
            EXPECT_TRUE(logo.width() <= box.width() && logo.height() <= box.height()) << "fits";
        }
    }
    EXPECT_EQ(labels, QStringList{"Serial Port:"});

    // The About entry: on the window's context menu and on F1.
    const QList<QAction*> actions = dlg.actions();
    ASSERT_EQ(actions.size(), 1);
    EXPECT_EQ(actions[0]->text(), "About Altrevo FLASH DOWNLOADER(&A)...");
    EXPECT_EQ(actions[0]->shortcut(), QKeySequence(Qt::Key_F1));
#ifndef Q_OS_WIN
    EXPECT_EQ(dlg.contextMenuPolicy(), Qt::ActionsContextMenu);
#endif
}

TEST(WindowTexts, AboutBoxTextsFontAndLayout) {
    CFlashDownloaderDlg owner;
    CAboutDlg about(&owner);
    EXPECT_EQ(about.windowTitle(), "About Altrevo Flash Downloader");
    EXPECT_EQ(about.font().pointSize(), 9);
    EXPECT_EQ(about.size(), Pixels(0, 0, 235, 55).size());
    QList<QLabel*> labels = about.findChildren<QLabel*>();
    std::sort(labels.begin(), labels.end(),
              [](const QLabel* a, const QLabel* b) { return a->y() < b->y(); });
    ASSERT_EQ(labels.size(), 3);
    // The product line first, then the icon, then the second line.
    EXPECT_EQ(labels[0]->text(), "Altrevo Flash Downloader V1.0");
    EXPECT_EQ(labels[0]->textFormat(), Qt::PlainText);  // an ampersand shows as itself
    EXPECT_EQ(labels[0]->geometry(), Pixels(40, 10, 119, 8));
    EXPECT_EQ(labels[1]->geometry(), QRect(Pixels(11, 17, 0, 0).topLeft(), QSize(32, 32)));
    EXPECT_EQ(labels[1]->pixmap().size(), QSize(32, 32));
    EXPECT_EQ(labels[2]->text(), "Firmware download for hand controllers");
    EXPECT_EQ(labels[2]->geometry(), Pixels(40, 25, 181, 8));
    const auto* ok = FindControl<QPushButton>(about, "IDOK");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(ok->geometry(), Pixels(178, 7, 50, 14));
}

// The question behind "Other port...", and the box that says a port cannot be opened.
TEST(WindowTexts, PortQuestionAndPortErrorBox) {
    CFlashDownloaderDlg dlg;
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    CModalWatcher asked([](QWidget* modal) {
        auto* question = qobject_cast<QInputDialog*>(modal);
        ASSERT_NE(question, nullptr) << modal->metaObject()->className();
        EXPECT_EQ(question->windowTitle(), "Other port...");
        EXPECT_EQ(question->labelText(),
                  "Port name or device path (for example COM12, /dev/ttyUSB0 or the emulator's "
                  "/dev/pts/N):");
        question->setTextValue(QStringLiteral("/dev/afd-no-such-port"));
        question->accept();
    });
    const QString typed = CFlashDownloaderDlg::AskPortName(&dlg);
    EXPECT_EQ(asked.acted, 1);
    EXPECT_EQ(typed, "/dev/afd-no-such-port");

    FindControl<QComboBox>(dlg, "IDC_PORT_COMBO")->setCurrentIndex(dlg.AddPortEntry(typed, {}));
    FindControl<QPushButton>(dlg, "IDC_START_DOWNLOAD")->click();
    auto* box = dlg.findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(SpinUntil([box] { return box->isVisible(); }));
    EXPECT_EQ(box->windowTitle(), "Altrevo Flash Downloader");
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    EXPECT_EQ(box->text(),
              "Cannot open the serial port /dev/afd-no-such-port: no such port; check the port "
              "name and that the adapter is plugged in.");
    box->button(QMessageBox::Ok)->click();
}

}  // namespace
