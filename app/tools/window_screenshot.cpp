// Renders the main window halfway through a download against the emulated controller and saves
// it as a PNG: afd_window_screenshot <file.png> [--hover] (under Xvfb or the offscreen platform).
// With --hover the controller refuses a block halfway, and the picture shows the pointer resting
// on Start Download for the next attempt.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>
#include <string>
#include <vector>

#include "controls/labelled_progress_ctrl.h"
#include "flash_downloader_app.h"
#include "flash_downloader_dlg.h"
#include "isolated_settings.h"
#include "sim/demo_image.h"
#include "sim/pty_boot_loader.h"
#include "widget_test_helpers.h"

constexpr std::size_t kImageBytes = 48 * 1024;

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: afd_window_screenshot <file.png> [--hover]\n");
        return 2;
    }
    const bool hover = argc > 2 && QString::fromLocal8Bit(argv[2]) == QStringLiteral("--hover");
    CFlashDownloaderApp::SetUpApplication();
    const CIsolatedSettings settings;  // the picture shows no remembered port or folder

    EmulatorOptions options;
    options.paceLineRate = true;  // as slow as a real line, so the picture catches it halfway
    if (hover) {
        // The copy of block 25 of 48 fails: commands 0 and 1, 136 erase commands, two per block.
        options.fault = {FaultKind::ErrorReply, 2 + 136 + 2 * 24 + 1, ":WE_ERR#", 3};
    }
    CPtyBootLoader loader(options);
    std::string error;
    if (!loader.Start(&error)) {
        std::fprintf(stderr, "cannot start the emulated controller: %s\n", error.c_str());
        return 1;
    }
    QTemporaryDir dir(QDir::temp().filePath(QStringLiteral("firmware-XXXXXX")));
    const QString imagePath = dir.filePath(QStringLiteral("handset-firmware.bin"));
    const std::vector<std::uint8_t> image = MakeDemoImage(kImageBytes);
    QFile file(imagePath);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(image.data()),
                   static_cast<qint64>(image.size())) != static_cast<qint64>(image.size())) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(imagePath));
        return 1;
    }
    file.close();

    CFlashDownloaderDlg dlg;
    dlg.show();
    const int port = dlg.AddPortEntry(QString::fromStdString(loader.SlavePath()), QString());
    dlg.findChild<QComboBox*>(QStringLiteral("IDC_PORT_COMBO"))->setCurrentIndex(port);
    dlg.SetFileChooser([imagePath](QWidget*) { return imagePath; });
    dlg.findChild<QPushButton*>(QStringLiteral("IDC_OPEN_FILE"))->click();
    dlg.findChild<QPushButton*>(QStringLiteral("IDC_START_DOWNLOAD"))->click();

    const auto* progress = dlg.findChild<CLabelledProgressCtrl*>(QStringLiteral("IDC_PROGRESS"));
    const int halfway = (progress->GetUpper() + progress->GetLower()) / 2;
    if (!SpinUntil([&] { return progress->GetPos() >= halfway; }, 120000)) {
        std::fprintf(stderr, "the download did not get halfway\n");
        return 1;
    }
    if (hover) {
        auto* start = dlg.findChild<QPushButton*>(QStringLiteral("IDC_START_DOWNLOAD"));
        if (!SpinUntil([&] { return start->isEnabled(); }, 60000)) {
            std::fprintf(stderr, "the download did not end at the refused block\n");
            return 1;
        }
        const QPointF inside(start->width() / 2.0, start->height() / 2.0);
        QMouseEvent move(QEvent::MouseMove, inside, start->mapToGlobal(inside), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(start, &move);
        QElapsedTimer settle;
        settle.start();
        SpinUntil([&] { return settle.elapsed() > 100; }, 1000);  // the hover time passes
    }
    if (!dlg.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
