// Renders the main window halfway through a download against the emulated controller and saves
// it as a PNG: afd_window_screenshot <file.png> (run under a display server such as Xvfb).
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "controls/labelled_progress_ctrl.h"
#include "flash_downloader_app.h"
#include "flash_downloader_dlg.h"
#include "sim/demo_image.h"
#include "sim/pty_boot_loader.h"

namespace {

constexpr std::size_t kImageBytes = 48 * 1024;

bool SpinUntil(const std::function<bool()>& condition, int hangGuardMs) {
    QElapsedTimer guard;
    guard.start();
    while (!condition()) {
        if (guard.elapsed() > hangGuardMs) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::usleep(500);
    }
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: afd_window_screenshot <file.png>\n");
        return 2;
    }
    CFlashDownloaderApp::SetUpApplication();

    EmulatorOptions options;
    options.paceLineRate = true;  // as slow as a real line, so the picture catches it halfway
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
    if (!dlg.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
