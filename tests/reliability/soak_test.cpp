// A long run: 200 downloads one after another through the main window, each against a freshly
// reset emulated controller and each checked against its image, with the process's open file
// descriptors and resident memory compared between the 10th and the 200th.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "demo_image.h"
#include "event_spin.h"
#include "expected_download.h"
#include "flash_downloader_dlg.h"
#include "process_figures.h"
#include "pty_boot_loader.h"
#include "temp_image_file.h"

namespace {

using namespace rel;

constexpr int kDownloads = 200;
constexpr int kBaselineDownload = 10;  // by then every cache and pool has reached its size
constexpr std::size_t kImageBytes = 3000;
constexpr int kHangGuardMs = 60000;
// Allocator noise and Qt's lazily grown caches stay well below this; anything that keeps more
// than 11 KiB per download (a read buffer, a thread's stack, a log document) passes it within
// the 190 downloads measured. Smaller unreachable leaks are LeakSanitizer's to find.
constexpr std::size_t kMemoryGrowthBoundKiB = 2048;

template <class T>
T* Control(const QWidget& window, const char* name) {
    return window.findChild<T*>(QString::fromLatin1(name));
}

TEST(Soak, TwoHundredDownloadsThroughTheMainWindowLeaveNothingBehind) {
    CTempImageFile image(MakeDemoImage(kImageBytes, 1));
    ASSERT_TRUE(image.Valid());
    std::unique_ptr<CPtyBootLoader> controller;  // the one the port points at
    CFlashDownloaderDlg dlg;
    dlg.show();
    auto* start = Control<QPushButton>(dlg, "IDC_START_DOWNLOAD");
    auto* open = Control<QPushButton>(dlg, "IDC_OPEN_FILE");
    auto* ports = Control<QComboBox>(dlg, "IDC_PORT_COMBO");
    auto* log = Control<QPlainTextEdit>(dlg, "IDC_LOG");
    ASSERT_TRUE(start != nullptr && open != nullptr && ports != nullptr && log != nullptr);
    const QString path = QString::fromStdString(image.Path());
    dlg.SetFileChooser([path](QWidget*) { return path; });
    open->click();

    const QString successLog = QString::fromStdString(kPromptLine + kConnectedLines + kSuccessLine)
                                   .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    std::size_t fdsAtBaseline = 0;
    std::size_t kibAtBaseline = 0;
    const auto started = std::chrono::steady_clock::now();
    auto baselineAt = started;
    for (int n = 1; n <= kDownloads; ++n) {
        SCOPED_TRACE(::testing::Message() << "download " << n);
        // A new image every time, so that each check sees this download's bytes.
        ASSERT_TRUE(image.Rewrite(MakeDemoImage(kImageBytes, static_cast<std::uint32_t>(n))));
        auto next = std::make_unique<CPtyBootLoader>();
        std::string error;
        ASSERT_TRUE(next->Start(&error)) << error;
        const QString port = QString::fromStdString(next->SlavePath());
        ports->setCurrentIndex(dlg.AddPortEntry(port, QStringLiteral("emulated controller")));
        ASSERT_EQ(dlg.Download().PortName(), next->SlavePath());

        start->click();
        // The port now points at the new controller; the one before goes.
        controller = std::move(next);
        ASSERT_TRUE(
            SpinUntil([&] { return dlg.Download().LastEnd() != DownloadEnd::None; }, kHangGuardMs));
        ASSERT_EQ(dlg.Download().LastEnd(), DownloadEnd::Success)
            << log->toPlainText().toStdString();
        EXPECT_EQ(log->toPlainText(), successLog);
        EXPECT_TRUE(start->isEnabled());
        EXPECT_TRUE(open->isEnabled());
        const std::vector<std::uint8_t> flashed = Flashed(image.Bytes());
        ASSERT_EQ(controller->ReadFlash(kFlashBase, flashed.size()), flashed);
        ASSERT_EQ(controller->Blocks(), ExpectedBlocks(image.Bytes()));

        // Measured at the same point of every cycle: the port open on the live controller.
        if (n == kBaselineDownload) {
            fdsAtBaseline = OpenFileDescriptors();
            kibAtBaseline = ResidentKiB();
            baselineAt = std::chrono::steady_clock::now();
        }
    }
    const std::size_t fds = OpenFileDescriptors();
    const std::size_t kib = ResidentKiB();
    const auto now = std::chrono::steady_clock::now();
    std::printf(
        "[soak] %d downloads of %zu bytes in %.1f s (%.1f ms each from the %dth on); "
        "open fds %zu at the %dth, %zu at the %dth; VmRSS %zu KiB at the %dth, %zu KiB "
        "at the %dth (%+lld KiB)\n",
        kDownloads, kImageBytes, std::chrono::duration<double>(now - started).count(),
        std::chrono::duration<double, std::milli>(now - baselineAt).count() /
            (kDownloads - kBaselineDownload),
        kBaselineDownload, fdsAtBaseline, kBaselineDownload, fds, kDownloads, kibAtBaseline,
        kBaselineDownload, kib, kDownloads,
        static_cast<long long>(kib) - static_cast<long long>(kibAtBaseline));

    EXPECT_EQ(fds, fdsAtBaseline);
    if (!kAddressSanitizer) {
        EXPECT_LE(kib, kibAtBaseline + kMemoryGrowthBoundKiB);
    }
}

}  // namespace
