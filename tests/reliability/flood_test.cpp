// A controller that refuses a command and then sends without pause: after the error end the
// window reads nothing more, and what keeps arriving does not grow its memory.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>

#include "expected_download.h"
#include "flash_downloader_dlg.h"
#include "temp_image.h"
#include "widget_test_helpers.h"

namespace {

using namespace rel;

// Unbounded reading takes in tens of megabytes a second from a pseudo-terminal.
constexpr std::size_t kFloodGrowthBoundKiB = 16 * 1024;

TEST(Flood, AfterAnErrorEndTheWindowsMemoryStaysFlat) {
    CTempImage image(3000);
    EmulatorOptions options;
    options.fault = FaultPlan{FaultKind::Flood, 2, ":EX_ERR#", 0};  // the first erase
    const std::unique_ptr<CPtyBootLoader> controller = StartController(options);
    ASSERT_NE(controller, nullptr);
    CFlashDownloaderDlg dlg;
    dlg.show();
    auto* ports = FindControl<QComboBox>(dlg, "IDC_PORT_COMBO");
    ports->setCurrentIndex(dlg.AddPortEntry(QString::fromStdString(controller->SlavePath()), {}));
    dlg.SetFileChooser([&image](QWidget*) { return QString::fromStdString(image.path); });
    FindControl<QPushButton>(dlg, "IDC_OPEN_FILE")->click();
    FindControl<QPushButton>(dlg, "IDC_START_DOWNLOAD")->click();
    ASSERT_TRUE(SpinUntil([&] { return dlg.Download().LastEnd() != DownloadEnd::None; }));
    ASSERT_EQ(dlg.Download().LastEnd(), DownloadEnd::ErrorReply);

    const std::size_t kibAtEnd = ResidentKiB();
    PumpFor(3000);
    const std::size_t kib = ResidentKiB();
    std::printf("[flood] VmRSS %+lld KiB over 3 s of flood after the end\n",
                static_cast<long long>(kib) - static_cast<long long>(kibAtEnd));
    EXPECT_LE(dlg.Comm().GetInBufferCount(), 1024u);
#ifndef AFD_ADDRESS_SANITIZER
    EXPECT_LE(kib, kibAtEnd + kFloodGrowthBoundKiB);
#endif
    EXPECT_EQ(
        FindControl<QPlainTextEdit>(dlg, "IDC_LOG")->toPlainText(),
        QString::fromStdString(kPromptLine + kConnectedLines + kErrorLine).replace("\r\n", "\n"));
}

}  // namespace
