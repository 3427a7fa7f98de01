// Every fixed text, caption, font and size of the main window and the About box, verbatim, with
// the pixel sizes worked out here from dialog units of a 9-point font of the test's own.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDebug>
#include <cmath>
#include <ostream>

#include "about_dlg.h"
#include "flash_downloader_dlg.h"
#include "widget_test_helpers.h"

void PrintTo(const QVariant& value, std::ostream* os) {
    QString text;
    QDebug(&text) << value;
    *os << text.toStdString();
}

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

TEST(WindowTexts, EveryTextFontAndSizeOfTheMainWindowAndTheAboutBox) {
    CFlashDownloaderDlg dlg;
    const auto control = [&dlg](const char* name) { return FindControl(dlg, name); };
    const auto* ports = FindControl<QComboBox>(dlg, "IDC_PORT_COMBO");
    QStringList labels;
    const QLabel* logo = nullptr;  // the one label without text
    for (const QLabel* label : dlg.findChildren<QLabel*>()) {
        if (label->text().isEmpty()) {
            logo = label;
        } else {
            labels << label->text();
        }
    }
    ASSERT_NE(logo, nullptr);
    const QSize logoBox = Pixels(153, 7, 160, 47).size();
    const QAction* about = dlg.actions().value(0);

    CAboutDlg box(&dlg);
    QList<QLabel*> lines = box.findChildren<QLabel*>();  // the product line, the icon, the second
    std::sort(lines.begin(), lines.end(), [](auto* a, auto* b) { return a->y() < b->y(); });
    const auto* ok = FindControl<QPushButton>(box, "IDOK");
    ASSERT_TRUE(lines.size() == 3 && about != nullptr && ok != nullptr);

    const struct {
        const char* what;
        QVariant seen, expected;
    } rows[] = {
        {"title", dlg.windowTitle(), "Altrevo Flash Downloader V1.0"},
        {"font", dlg.font().pointSize(), 9},
        {"size", dlg.size(), Pixels(0, 0, 320, 200).size()},
        {"fixed size", dlg.maximumSize(), Pixels(0, 0, 320, 200).size()},
        {"small icon", dlg.windowIcon().availableSizes().contains(QSize(16, 16)), true},
        {"labels", labels, QStringList{"Serial Port:"}},
        {"port list", ports->geometry(),
         Pixels(67, 13, 64, 0).adjusted(0, 0, 0, ports->sizeHint().height())},
        {"Open Data File", control("IDC_OPEN_FILE")->property("text"), "Open Data File"},
        {"Open Data File place", control("IDC_OPEN_FILE")->geometry(), Pixels(7, 41, 81, 14)},
        {"Start Download", control("IDC_START_DOWNLOAD")->property("text"), "Start Download"},
        {"Start Download place", control("IDC_START_DOWNLOAD")->geometry(), Pixels(7, 81, 81, 14)},
        // A default button draws itself as active; only a focused one may look so.
        {"Open Data File default", control("IDC_OPEN_FILE")->property("default"), false},
        {"Start Download default", control("IDC_START_DOWNLOAD")->property("default"), false},
        {"hidden OK", control("IDOK")->isVisibleTo(&dlg), false},
        {"hidden Cancel", control("IDCANCEL")->isVisibleTo(&dlg), false},
        {"path box", control("IDC_FILE_PATH")->geometry(), Pixels(7, 61, 306, 14)},
        {"log box", control("IDC_LOG")->geometry(), Pixels(7, 101, 306, 74)},
        {"progress bar", control("IDC_PROGRESS")->geometry(), Pixels(7, 179, 306, 14)},
        {"progress label", control("IDC_PROGRESS")->property("text"), "0%"},
        {"logo place", logo->geometry(), QRect(Pixels(153, 7, 0, 0).topLeft(), logoBox)},
        {"logo fits", logoBox.expandedTo(logo->pixmap().size()), logoBox},
        {"logo fills",
         logo->pixmap().width() == logoBox.width() || logo->pixmap().height() == logoBox.height(),
         true},
        {"port list's name", ports->accessibleName(), "Serial Port"},
        {"Open Data File's name", control("IDC_OPEN_FILE")->accessibleName(), "Open Data File"},
        {"path box's name", control("IDC_FILE_PATH")->accessibleName(), "Data file"},
        {"Start Download's name", control("IDC_START_DOWNLOAD")->accessibleName(),
         "Start Download"},
        {"log box's name", control("IDC_LOG")->accessibleName(), "Log"},
        {"progress bar's name", control("IDC_PROGRESS")->accessibleName(), "Progress"},
        {"About entry", about->text(), "About Altrevo FLASH DOWNLOADER(&A)..."},
        {"About key", about->shortcut(), QKeySequence(Qt::Key_F1)},
        {"About on the context menu", dlg.contextMenuPolicy() == Qt::ActionsContextMenu, true},
        {"About title", box.windowTitle(), "About Altrevo Flash Downloader"},
        {"About font", box.font().pointSize(), 9},
        {"About size", box.size(), Pixels(0, 0, 235, 55).size()},
        {"product line", lines.value(0)->text(), "Altrevo Flash Downloader V1.0"},
        {"product line place", lines.value(0)->geometry(), Pixels(40, 10, 119, 8)},
        {"icon place", lines.value(1)->geometry(),
         QRect(Pixels(11, 17, 0, 0).topLeft(), QSize(32, 32))},
        {"icon", lines.value(1)->pixmap().size(), QSize(32, 32)},
        {"second line", lines.value(2)->text(), "Firmware download for hand controllers"},
        {"second line place", lines.value(2)->geometry(), Pixels(40, 25, 181, 8)},
        {"OK", ok->text(), "OK"},
        {"OK default", ok->isDefault(), true},
        {"OK place", ok->geometry(), Pixels(178, 7, 50, 14)},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.seen, row.expected) << row.what;
    }
}

}  // namespace
