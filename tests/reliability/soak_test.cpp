// 200 downloads one after another through the main window, each against a freshly reset emulated
// controller and checked against its own image; open descriptors and memory must not grow.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <memory>

#include "demo_image.h"
#include "expected_download.h"
#include "flash_downloader_dlg.h"
#include "pty_boot_loader.h"
#include "temp_image.h"
#include "widget_test_helpers.h"

namespace {

using namespace rel;

// Allocator noise and Qt's lazily grown caches stay well below this; anything that keeps more
// than 11 KiB per download (a read buffer, a thread's stack, a log document) passes it within
// the 190 downloads measured. Smaller unreachable leaks are LeakSanitizer's to find.
constexpr std::size_t kMemoryGrowthBoundKiB = 2048;

TEST(Soak, TwoHundredDownloadsThroughTheMainWindowLeaveNothingBehind) {
    CTempImage image(3000);
    std::unique_ptr<CPtyBootLoader> controller;  // the one the port points at
    CFlashDownloaderDlg dlg;
    dlg.show();
    auto* start = FindControl<QPushButton>(dlg, "IDC_START_DOWNLOAD");
    auto* open = FindControl<QPushButton>(dlg, "IDC_OPEN_FILE");
    auto* ports = FindControl<QComboBox>(dlg, "IDC_PORT_COMBO");
    auto* log = FindControl<QPlainTextEdit>(dlg, "IDC_LOG");
    ASSERT_TRUE(start != nullptr && open != nullptr && ports != nullptr && log != nullptr);
    dlg.SetFileChooser([&image](QWidget*) { return QString::fromStdString(image.path); });
    open->click();

    const QString successLog = QString::fromStdString(kSuccessLog).replace("\r\n", "\n");
    std::size_t fdsAtTenth = 0, kibAtTenth = 0;
    for (int n = 1; n <= 200; ++n) {
        SCOPED_TRACE(::testing::Message() << "download " << n);
        // A new image every time, so that each check sees this download's bytes.
        image.bytes = MakeDemoImage(3000, static_cast<std::uint32_t>(n));
        image.Write(image.bytes);
        std::unique_ptr<CPtyBootLoader> next = StartController();
        ASSERT_NE(next, nullptr);
        ports->setCurrentIndex(
            dlg.AddPortEntry(QString::fromStdString(next->SlavePath()), "emulated controller"));
        ASSERT_EQ(dlg.Download().PortName(), next->SlavePath());
        start->click();
        controller = std::move(next);  // the port now points at the new one; the one before goes
        ASSERT_TRUE(SpinUntil([&] { return dlg.Download().LastEnd() != DownloadEnd::None; }));
        ASSERT_EQ(dlg.Download().LastEnd(), DownloadEnd::Success)
            << log->toPlainText().toStdString();
        EXPECT_EQ(log->toPlainText(), successLog);
        EXPECT_TRUE(start->isEnabled() && open->isEnabled());
        ASSERT_EQ(controller->ReadFlash(kFlashBase, 3072), image.Flashed());
        ASSERT_EQ(controller->Blocks(), ExpectedBlocks(image.bytes));
        if (n == 10) {  // by then every cache and pool has reached its size
            fdsAtTenth = OpenFileDescriptors();
            kibAtTenth = ResidentKiB();
        }
    }
    const std::size_t fds = OpenFileDescriptors(), kib = ResidentKiB();
    std::printf(
        "[soak] 200 downloads; open fds %zu at the 10th, %zu at the 200th; VmRSS %+lld KiB "
        "from the 10th\n",
        fdsAtTenth, fds, static_cast<long long>(kib) - static_cast<long long>(kibAtTenth));
    EXPECT_EQ(fds, fdsAtTenth);
#ifndef AFD_ADDRESS_SANITIZER
    EXPECT_LE(kib, kibAtTenth + kMemoryGrowthBoundKiB);
#endif
}

}  // namespace
