#include "window_soak.h"

#include <QComboBox>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "app/flash_downloader_dlg.h"
#include "bench_clock.h"
#include "event_wait.h"
#include "sim/demo_image.h"
#include "sim/pty_boot_loader.h"
#include "tests/support/temp_image.h"

namespace bench {
namespace {

constexpr std::size_t kImageBytes = 3000;
constexpr int kFloodMs = 3000;

long OpenFileDescriptors() {
    using std::filesystem::directory_iterator;
    return static_cast<long>(
        std::distance(directory_iterator("/proc/self/fd"), directory_iterator()));
}

// Starts a download on `controller`'s line; false with an error line unless it ends in `expected`.
bool Download(CFlashDownloaderDlg& dlg, const CPtyBootLoader& controller, DownloadEnd expected,
              int guardMs, const char* what) {
    auto* ports = dlg.findChild<QComboBox*>(QStringLiteral("IDC_PORT_COMBO"));
    ports->setCurrentIndex(dlg.AddPortEntry(QString::fromStdString(controller.SlavePath()),
                                            QStringLiteral("emulated")));
    dlg.OnStartDownload();
    SpinUntil([&dlg] { return dlg.Download().LastEnd() != DownloadEnd::None; }, guardMs);
    const DownloadEnd end = dlg.Download().LastEnd();
    if (end != expected) {
        std::printf("error %s ended %s\n", what,
                    end == DownloadEnd::None ? "in a hang" : DownloadEndName(end));
        return false;
    }
    return true;
}

}  // namespace

bool RunWindowSoak(CFlashDownloaderDlg& dlg, int downloads, int guardMs) {
    CTempImage image(kImageBytes);
    dlg.SetFileChooser([&image](QWidget*) { return QString::fromStdString(image.path); });
    dlg.OnOpenDataFile();
    const int measuredFrom = std::min(10, downloads);  // by then every cache has reached its size
    long fdsFrom = 0, kbFrom = 0;
    std::unique_ptr<CPtyBootLoader> controller;  // the one the port points at
    for (int n = 1; n <= downloads; ++n) {
        // Each download its own bytes, so the flash shows this download's work.
        image.bytes = MakeDemoImage(kImageBytes, static_cast<std::uint32_t>(n));
        image.Write(image.bytes);
        auto next = std::make_unique<CPtyBootLoader>();
        std::string error;
        if (!next->Start(&error)) {
            std::printf("error soak: %s\n", error.c_str());
            return false;
        }
        const std::string what = "soak download " + std::to_string(n);
        if (!Download(dlg, *next, DownloadEnd::Success, guardMs, what.c_str())) {
            return false;
        }
        controller = std::move(next);  // the controller before goes only now, its port closed
        if (controller->ReadFlash(0x81000000, image.Flashed().size()) != image.Flashed()) {
            std::printf("error %s: the flash does not hold the image\n", what.c_str());
            return false;
        }
        if (n == measuredFrom) {
            fdsFrom = OpenFileDescriptors();
            kbFrom = ResidentKb();
        }
    }
    std::printf("soak_downloads %d\nsoak_fd_growth %ld\nsoak_rss_growth_kb %ld\n", downloads,
                OpenFileDescriptors() - fdsFrom, ResidentKb() - kbFrom);

    // The first erase is refused, then the controller sends without pause: the window must stop
    // reading at the end, and its memory stay flat.
    EmulatorOptions flooding;
    flooding.fault = {FaultKind::Flood, 2, ":EX_ERR#", 0};
    CPtyBootLoader flooder(flooding);
    std::string error;
    if (!flooder.Start(&error)) {
        std::printf("error flood: %s\n", error.c_str());
        return false;
    }
    if (!Download(dlg, flooder, DownloadEnd::ErrorReply, guardMs, "flooded download")) {
        return false;
    }
    const long kbAtEnd = ResidentKb();
    SpinUntil([] { return false; }, kFloodMs);  // the flood goes on meanwhile
    std::printf("flood_rss_growth_kb %ld\nflood_in_buffer_bytes %zu\n", ResidentKb() - kbAtEnd,
                dlg.Comm().GetInBufferCount());
    return true;
}

}  // namespace bench
