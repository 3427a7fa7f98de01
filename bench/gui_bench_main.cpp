// afd_bench_gui: the main window's figures, printed as "name value" lines for afd_bench: the time
// from process start to the first painted window, a download through the window with its peak
// memory, and the cost of one progress-bar repaint and of one button paint; or, with --soak, what
// a long session of downloads leaves behind.
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/flash_downloader_app.h"
#include "app/flash_downloader_dlg.h"
#include "bench_clock.h"
#include "controls/hover_gradient_button.h"
#include "controls/labelled_progress_ctrl.h"
#include "event_wait.h"
#include "tests/support/isolated_settings.h"
#include "window_soak.h"

namespace {

struct Options {
    std::int64_t spawnNs = 0;  // CLOCK_MONOTONIC just before the benchmark started this process
    bool startupOnly = false;
    std::string port;
    std::string image;
    int sweeps = 10;
    int paints = 2000;
    int guardMs = 600000;
    int soakDownloads = 0;
};

bool ParseArguments(int argc, char* argv[], Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--spawn-ns" && hasValue) {
            options->spawnNs = std::strtoll(argv[++i], nullptr, 10);
        } else if (arg == "--startup-only") {
            options->startupOnly = true;
        } else if (arg == "--port" && hasValue) {
            options->port = argv[++i];
        } else if (arg == "--image" && hasValue) {
            options->image = argv[++i];
        } else if (arg == "--sweeps" && hasValue) {
            options->sweeps = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--paints" && hasValue) {
            options->paints = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--soak" && hasValue) {
            options->soakDownloads = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--guard-ms" && hasValue) {
            options->guardMs = std::atoi(argv[++i]);
        } else {
            return false;
        }
    }
    return options->startupOnly || options->soakDownloads > 0 ||
           (!options->port.empty() && !options->image.empty());
}

void Print(const char* name, double value) {
    std::printf("%s %.6f\n", name, value);
}

double MsSince(std::int64_t fromNs, std::int64_t toNs) {
    return static_cast<double>(toNs - fromNs) * 1e-6;
}

// Notes when the window receives its first paint event, and when that first frame is done.
class CFirstPaintWatcher : public QObject {
public:
    explicit CFirstPaintWatcher(QWidget* window) : m_window(window) {
        window->installEventFilter(this);
    }
    std::int64_t PaintNs() const { return m_paintNs; }
    std::int64_t FrameNs() const { return m_frameNs; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_window && event->type() == QEvent::Paint && m_paintNs == 0) {
            m_paintNs = bench::MonotonicNs();
            // Runs once the whole window, children included, has been painted and flushed.
            QTimer::singleShot(0, this, [this] { m_frameNs = bench::MonotonicNs(); });
        }
        return false;
    }

private:
    QWidget* m_window;
    std::int64_t m_paintNs = 0;
    std::int64_t m_frameNs = 0;
};

bool DownloadThroughWindow(CFlashDownloaderDlg& dlg, const Options& options) {
    auto* combo = dlg.findChild<QComboBox*>(QStringLiteral("IDC_PORT_COMBO"));
    if (combo == nullptr) {
        std::printf("error the port list is missing\n");
        return false;
    }
    const QString image = QString::fromStdString(options.image);
    combo->setCurrentIndex(
        dlg.AddPortEntry(QString::fromStdString(options.port), QStringLiteral("emulated")));
    dlg.SetFileChooser([image](QWidget*) { return image; });
    dlg.OnOpenDataFile();

    const bench::CpuTime cpuBefore = bench::CpuNow();
    const std::int64_t startNs = bench::MonotonicNs();
    dlg.OnStartDownload();
    const bool ended = bench::SpinUntil(
        [&dlg] { return dlg.Download().LastEnd() != DownloadEnd::None; }, options.guardMs);
    const bench::CpuTime cpu = bench::CpuNow() - cpuBefore;
    const double seconds = static_cast<double>(bench::MonotonicNs() - startNs) * 1e-9;
    const DownloadEnd end = dlg.Download().LastEnd();
    std::printf("download_end %s\n", ended ? DownloadEndName(end) : "hang");
    const int blocks = std::max(1, dlg.Download().BlocksSent());
    Print("download_s", seconds);
    Print("download_blocks", blocks);
    Print("thread_cpu_per_block_us", cpu.thread * 1e6 / blocks);
    Print("process_cpu_per_block_us", cpu.Total() * 1e6 / blocks);
    Print("peak_rss_kb", static_cast<double>(bench::PeakResidentKb()));
    return ended && end == DownloadEnd::Success;
}

// SetPos calls that each move the bar's fill by a pixel, so that each one repaints.
void MeasureProgressRepaint(CFlashDownloaderDlg& dlg, const Options& options) {
    auto* progress = dlg.findChild<CLabelledProgressCtrl*>(QStringLiteral("IDC_PROGRESS"));
    if (progress == nullptr) {
        std::printf("error the progress bar is missing\n");
        return;
    }
    const int width = progress->width();
    Print("progress_width_px", width);
    dlg.SetRange(0, width);
    const int paintsBefore = progress->PaintCount();
    const std::int64_t startNs = bench::MonotonicNs();
    int calls = 0;
    for (int sweep = 0; sweep < options.sweeps; ++sweep) {
        for (int pos = 0; pos <= width; ++pos) {
            dlg.SetPos(pos);
            ++calls;
        }
    }
    const double seconds = static_cast<double>(bench::MonotonicNs() - startNs) * 1e-9;
    // Rounding may leave a pixel's width unchanged now and then; those calls cost next to
    // nothing, so the time is shared among the repaints actually made.
    const int paints = std::max(1, progress->PaintCount() - paintsBefore);
    Print("setpos_repaint_us", seconds * 1e6 / paints);
    Print("setpos_repaint_paints_per_call", static_cast<double>(paints) / calls);

    // A thousand positions to the pixel: all but one call in a thousand leave the fill as it is.
    constexpr int kPositionsPerPixel = 1000;
    dlg.SetRange(0, width * kPositionsPerPixel);
    const int stillPaintsBefore = progress->PaintCount();
    const int stillCalls = options.sweeps * (width + 1) * 10;
    const std::int64_t stillStartNs = bench::MonotonicNs();
    for (int pos = 0; pos < stillCalls; ++pos) {
        dlg.SetPos(pos);
    }
    const double stillSeconds = static_cast<double>(bench::MonotonicNs() - stillStartNs) * 1e-9;
    Print("setpos_same_width_ns", stillSeconds * 1e9 / stillCalls);
    Print("setpos_same_width_paints_per_call",
          static_cast<double>(progress->PaintCount() - stillPaintsBefore) / stillCalls);
}

void MeasureButtonPaint(CFlashDownloaderDlg& dlg, const Options& options) {
    auto* button = dlg.findChild<CHoverGradientButton*>(QStringLiteral("IDC_START_DOWNLOAD"));
    if (button == nullptr) {
        std::printf("error the Start Download button is missing\n");
        return;
    }
    Print("button_height_px", button->height());
    const int paintsBefore = button->PaintCount();
    const std::int64_t startNs = bench::MonotonicNs();
    for (int i = 0; i < options.paints; ++i) {
        button->repaint();
    }
    const double seconds = static_cast<double>(bench::MonotonicNs() - startNs) * 1e-9;
    Print("button_paint_us", seconds * 1e6 / options.paints);
    Print("button_paints_per_call",
          static_cast<double>(button->PaintCount() - paintsBefore) / options.paints);
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::int64_t mainNs = bench::MonotonicNs();
    Options options;
    if (!ParseArguments(argc, argv, &options)) {
        std::fprintf(
            stderr,
            "usage: afd_bench_gui --spawn-ns NS (--startup-only | --soak DOWNLOADS | --port "
            "DEVICE --image FILE) [--sweeps N] [--paints N] [--guard-ms MS]\n");
        return 2;
    }
    QApplication application(argc, argv);
    const CIsolatedSettings settings;  // the user's remembered port is no part of a measurement
    const std::int64_t applicationNs = bench::MonotonicNs();
    CFlashDownloaderApp::SetUpApplication();
    CFlashDownloaderDlg dlg;
    const std::int64_t dialogNs = bench::MonotonicNs();
    CFirstPaintWatcher watcher(&dlg);
    dlg.show();
    if (!bench::SpinUntil([&watcher] { return watcher.FrameNs() != 0; }, 30000)) {
        std::printf("error the window was never painted\n");
        return 1;
    }
    const std::int64_t spawnNs = options.spawnNs != 0 ? options.spawnNs : mainNs;
    Print("startup_main_ms", MsSince(spawnNs, mainNs));
    Print("startup_application_ms", MsSince(spawnNs, applicationNs));
    Print("startup_dialog_ms", MsSince(spawnNs, dialogNs));
    Print("startup_first_paint_ms", MsSince(spawnNs, watcher.PaintNs()));
    Print("startup_first_frame_ms", MsSince(spawnNs, watcher.FrameNs()));
    Print("startup_peak_rss_kb", static_cast<double>(bench::PeakResidentKb()));
    if (options.startupOnly || options.soakDownloads > 0) {
        const bool sound = options.startupOnly ||
                           bench::RunWindowSoak(dlg, options.soakDownloads, options.guardMs);
        std::fflush(stdout);
        return sound ? 0 : 1;
    }
    const bool downloaded = DownloadThroughWindow(dlg, options);
    MeasureProgressRepaint(dlg, options);
    MeasureButtonPaint(dlg, options);
    std::fflush(stdout);
    return downloaded ? 0 : 1;
}
