// The main window as users read and handle it: long log lines wrapped inside the box with the
// newest in view, the keyboard moving through the read-only log, files dropped on the window, and
// what assistive technology is told about each control.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QUrl>
#include <functional>
#include <memory>
#include <string>

#include "flash_downloader_dlg.h"
#include "isolated_settings.h"
#include "sim/pty_boot_loader.h"
#include "temp_image.h"
#include "widget_test_helpers.h"

namespace {

class Window : public ::testing::Test {
public:  // the cases' steps drive the window through it
    void SetUp() override {
        dlg.show();
        dlg.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    }
    QPlainTextEdit* Log() { return FindControl<QPlainTextEdit>(dlg, "IDC_LOG"); }

    const bool m_forgotten = (CIsolatedSettings::ForgetAll(), true);  // before the window reads
    CFlashDownloaderDlg dlg{nullptr, [] { return std::vector<SerialPortEntry>(); }};
};

// The last block of the log with text in it: the newest line.
QTextBlock NewestLine(const QPlainTextEdit& log) {
    QTextBlock block = log.document()->lastBlock();
    while (block.isValid() && block.text().isEmpty()) {
        block = block.previous();
    }
    return block;
}

// Lines that run past the box's width wrap inside it: at spaces, and inside a word only when the
// word alone is wider than the box. The newest line is wholly in view.
TEST_F(Window, LongLogLinesWrapInsideTheBoxWithTheNewestInView) {
    const std::string longPath = "/tmp/" + std::string(150, 'f') + "/handset-firmware.bin";
    const struct {
        const char* name;
        std::function<std::string(Window&)> line;  // the line as the log box got it
        bool oneWordWiderThanTheBox;
    } cases[] = {
        {"the reason of a hang-up",
         [](Window& t) {
             EmulatorOptions options;
             options.fault = {FaultKind::HangUp, 20, ""};
             CPtyBootLoader loader(options);
             std::string error;
             EXPECT_TRUE(loader.Start(&error)) << error;
             const CTempImage image(4096);
             FindControl<QComboBox>(t.dlg, "IDC_PORT_COMBO")
                 ->setCurrentIndex(
                     t.dlg.AddPortEntry(QString::fromStdString(loader.SlavePath()), {}));
             t.dlg.SetFileChooser([&](QWidget*) { return QString::fromStdString(image.path); });
             FindControl<QPushButton>(t.dlg, "IDC_OPEN_FILE")->click();
             FindControl<QPushButton>(t.dlg, "IDC_START_DOWNLOAD")->click();
             EXPECT_TRUE(
                 SpinUntil([&] { return t.dlg.Download().LastEnd() == DownloadEnd::LineLost; }));
             // The reason comes before the closing error line.
             return NewestLine(*t.Log()).previous().text().toStdString();
         },
         false},
        {"an image path that cannot be opened",
         [&longPath](Window& t) {
             const std::string line = "Cannot open " + longPath + ": No such file or directory.";
             t.dlg.AppendLine(line + "\r\n");
             return line;
         },
         true},
        {"an image too large",
         [](Window& t) {
             const std::string line =
                 "ERROR!!!The data file is too large: 4294967296 bytes; at most 2130706432 bytes "
                 "fit below the top of the flash address range.";
             t.dlg.AppendLine(line + "\r\n");
             return line;
         },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dlg.Clear();
        for (int i = 0; i < 8; ++i) {
            dlg.AppendLine("Please wait ...\r\n");  // enough to scroll
        }
        const std::string text = c.line(*this);
        ASSERT_GT(text.size(), 60u);
        QPlainTextEdit* log = Log();
        QTextBlock block = log->document()->findBlock(0);
        while (block.isValid() && block.text().toStdString() != text) {
            block = block.next();
        }
        ASSERT_TRUE(block.isValid()) << text;
        QCoreApplication::processEvents();
        const QTextLayout* layout = block.layout();
        ASSERT_GT(layout->lineCount(), 1) << "not wrapped";
        const int boxWidth = log->viewport()->width();
        bool brokeInsideAWord = false;
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            EXPECT_LE(line.naturalTextWidth(), boxWidth) << "line " << i;
            if (i + 1 < layout->lineCount()) {
                const int end = line.textStart() + line.textLength();
                const QString last = block.text().mid(end - 1, 2);
                brokeInsideAWord |= !last.contains(' ');
            }
        }
        EXPECT_EQ(brokeInsideAWord, c.oneWordWiderThanTheBox);

        // The newest line, all of it, lies inside the box.
        const QTextBlock newest = NewestLine(*log);
        const QRect viewport = log->viewport()->rect();
        const QRectF shown(log->cursorRect(QTextCursor(newest)).topLeft(),
                           newest.layout()->boundingRect().size());
        EXPECT_GE(shown.top(), 0);
        EXPECT_LE(shown.bottom(), viewport.height() + 1);
    }
}

// Clicked, the box takes the keyboard: Home, End, the arrows and Shift move and select through
// the text, which no key can change.
TEST_F(Window, TheKeyboardMovesAndSelectsThroughTheReadOnlyLog) {
    dlg.AppendLine("Connected.\r\n");
    dlg.AppendLine("Processing ...\r\n");
    QPlainTextEdit* log = Log();
    const QString text = log->toPlainText();
    QTest::mouseClick(log->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_TRUE(log->hasFocus());
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int position;
        const char* selected;
    } steps[] = {
        {Qt::Key_Home, Qt::ControlModifier, 0, ""},
        {Qt::Key_End, Qt::ShiftModifier, 10, "Connected."},
        {Qt::Key_Home, Qt::NoModifier, 0, ""},
        {Qt::Key_Down, Qt::NoModifier, 11, ""},
        {Qt::Key_Right, Qt::ShiftModifier, 12, "P"},
        {Qt::Key_Left, Qt::NoModifier, 11, ""},
        {Qt::Key_Up, Qt::NoModifier, 0, ""},
        {Qt::Key_X, Qt::NoModifier, 0, ""},
        {Qt::Key_Delete, Qt::NoModifier, 0, ""},
        {Qt::Key_End, Qt::ControlModifier, static_cast<int>(text.size()), ""},
        {Qt::Key_Backspace, Qt::NoModifier, static_cast<int>(text.size()), ""},
        {Qt::Key_A, Qt::ControlModifier, static_cast<int>(text.size()), nullptr},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(::testing::Message()
                     << "key " << QKeySequence(step.key).toString().toStdString());
        QTest::keyClick(log, step.key, step.modifiers);
        EXPECT_EQ(log->textCursor().position(), step.position);
        EXPECT_EQ(log->textCursor().selectedText(),
                  step.selected != nullptr
                      ? QString(step.selected)
                      : QString(text).replace('\n', QChar::ParagraphSeparator));
        EXPECT_EQ(log->toPlainText(), text);
    }
    // A selection being made survives the next line, which still comes into view.
    dlg.AppendLine("Please wait ...\r\n");
    EXPECT_EQ(log->textCursor().selectedText(),
              QString(text).replace('\n', QChar::ParagraphSeparator));
    EXPECT_TRUE(log->toPlainText().endsWith("Please wait ...\n"));
}

// One local file dropped anywhere on the window is the image, as Open Data File makes it; several
// files, a folder, a remote file, or any drop while a download runs is refused and changes nothing.
TEST_F(Window, OneLocalFileDroppedIsTheImageAnythingElseIsRefused) {
    const CTempImage image(1024);
    const QString file = QString::fromStdString(image.path);
    const QTemporaryDir folder;
    EmulatorOptions options;
    options.resetDelayMs = 10 * 60 * 1000;  // a download that waits for the controller
    CPtyBootLoader loader(options);
    std::string error;
    ASSERT_TRUE(loader.Start(&error)) << error;
    const int line = dlg.AddPortEntry(QString::fromStdString(loader.SlavePath()), {});
    const CTempImage earlier(2048);

    // Every control passes drops on to the window.
    for (QWidget* control : dlg.findChildren<QWidget*>()) {
        QWidget* target = control;
        while (target != &dlg && !target->acceptDrops()) {
            target = target->parentWidget();
        }
        EXPECT_EQ(target, &dlg) << control->objectName().toStdString();
    }
    const struct {
        const char* name;
        QList<QUrl> urls;
        bool downloading;
        bool accepted;
    } drops[] = {
        {"a folder", {QUrl::fromLocalFile(folder.path())}, false, false},
        {"two files", {QUrl::fromLocalFile(file), QUrl::fromLocalFile(file)}, false, false},
        {"a remote file", {QUrl("https://example.org/handset.bin")}, false, false},
        {"a file that is not there",
         {QUrl::fromLocalFile(folder.filePath("gone.bin"))},
         false,
         false},
        {"nothing but text", {}, false, false},
        {"one file while a download runs", {QUrl::fromLocalFile(file)}, true, false},
        {"one file", {QUrl::fromLocalFile(file)}, false, true},
    };
    for (const auto& drop : drops) {
        SCOPED_TRACE(drop.name);
        if (drop.downloading != dlg.Download().IsDownloading()) {
            if (drop.downloading) {
                FindControl<QComboBox>(dlg, "IDC_PORT_COMBO")->setCurrentIndex(line);
                dlg.SetFileChooser(
                    [&earlier](QWidget*) { return QString::fromStdString(earlier.path); });
                FindControl<QPushButton>(dlg, "IDC_OPEN_FILE")->click();
            }
            FindControl<QPushButton>(dlg, "IDC_START_DOWNLOAD")->click();  // starts or stops
            ASSERT_EQ(dlg.Download().IsDownloading(), drop.downloading);
        }
        const std::string pathBefore = dlg.Download().FilePath();
        const QString boxBefore = FindControl<QLineEdit>(dlg, "IDC_FILE_PATH")->text();
        QMimeData data;
        data.setUrls(drop.urls);
        data.setText(QStringLiteral("handset.bin"));
        const QPoint at = FindControl(dlg, "IDC_LOG")->geometry().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&dlg, &enter);
        EXPECT_EQ(enter.isAccepted(), drop.accepted);
        QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&dlg, &move);
        EXPECT_EQ(move.isAccepted(), drop.accepted);
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&dlg, &dropped);
        EXPECT_EQ(dropped.isAccepted(), drop.accepted);
        if (drop.accepted) {
            EXPECT_EQ(dlg.Download().FilePath(), image.path);
            EXPECT_EQ(FindControl<QLineEdit>(dlg, "IDC_FILE_PATH")->text(),
                      QDir::toNativeSeparators(file));
        } else {
            EXPECT_EQ(dlg.Download().FilePath(), pathBefore);
            EXPECT_EQ(FindControl<QLineEdit>(dlg, "IDC_FILE_PATH")->text(), boxBefore);
        }
    }
    // The dropped image is the one the next Start Download writes.
    FindControl<QPushButton>(dlg, "IDC_START_DOWNLOAD")->click();
    EXPECT_TRUE(dlg.Download().IsDownloading());
}

// Each control has a name and a description for assistive technology, and the progress bar
// reads out what it shows.
TEST_F(Window, EveryControlIsNamedAndDescribedAndTheBarReadsItsValue) {
    const struct {
        const char* control;
        const char* name;
        QAccessible::Role role;
    } controls[] = {
#ifdef Q_OS_UNIX
        {"IDC_PORT_COMBO", "Serial Port:", QAccessible::ComboBox},
#else
        {"IDC_PORT_COMBO", "Serial Port", QAccessible::ComboBox},
#endif
        {"IDC_OPEN_FILE", "Open Data File", QAccessible::Button},
        {"IDC_FILE_PATH", "Data file", QAccessible::EditableText},
        {"IDC_START_DOWNLOAD", "Start Download", QAccessible::Button},
        {"IDC_LOG", "Log", QAccessible::EditableText},
        {"IDC_PROGRESS", "Progress", QAccessible::ProgressBar},
    };
    for (const auto& c : controls) {
        SCOPED_TRACE(c.control);
        QAccessibleInterface* accessible =
            QAccessible::queryAccessibleInterface(FindControl(dlg, c.control));
        ASSERT_NE(accessible, nullptr);
        QString name = accessible->text(QAccessible::Name);
#ifdef Q_OS_UNIX
        // There a list's name is its current entry; its label is told through a relation.
        if (c.role == QAccessible::ComboBox) {
            EXPECT_EQ(name, "COM1");
            const auto labels = accessible->relations(QAccessible::Label);
            ASSERT_EQ(labels.size(), 1);
            name = labels.first().first->text(QAccessible::Name);
        }
#endif
        EXPECT_EQ(name, c.name);
        EXPECT_GT(accessible->text(QAccessible::Description).size(), 20);
        EXPECT_EQ(accessible->role(), c.role);
    }
    QAccessibleInterface* bar =
        QAccessible::queryAccessibleInterface(FindControl(dlg, "IDC_PROGRESS"));
    dlg.SetRange(0, 100);
    dlg.SetPos(47);
    EXPECT_EQ(bar->text(QAccessible::Value), "47%");
    EXPECT_EQ(bar->valueInterface()->currentValue().toInt(), 47);
    EXPECT_EQ(bar->valueInterface()->maximumValue().toInt(), 100);
}

}  // namespace
