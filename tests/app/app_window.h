// The main window as the tests drive it: on a list of ports the test reports, with the emulated
// controller on a pseudo-terminal, and with every progress position recorded alongside what the
// user saw at that moment.
#pragma once

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QTest>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "flash_downloader_dlg.h"
#include "isolated_settings.h"
#include "modal_watcher.h"
#include "sim/pty_boot_loader.h"
#include "temp_image.h"
#include "widget_test_helpers.h"

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

// How the last download ended, how many of the two buttons work and what the log box says.
using View = std::tuple<DownloadEnd, int, QString>;

class CRecordingDlg : public CFlashDownloaderDlg {
public:
    using CFlashDownloaderDlg::CFlashDownloaderDlg;
    int SetPos(int pos) override {
        steps.emplace_back(pos, Seen());
        return CFlashDownloaderDlg::SetPos(pos);
    }
    View Seen() {
        return {Download().LastEnd(),
                FindControl(*this, "IDC_START_DOWNLOAD")->isEnabled() +
                    FindControl(*this, "IDC_OPEN_FILE")->isEnabled(),
                FindControl<QPlainTextEdit>(*this, "IDC_LOG")->toPlainText()};
    }
    bool Ended() { return Download().LastEnd() != DownloadEnd::None; }
    void ClickStart() { FindControl<QPushButton>(*this, "IDC_START_DOWNLOAD")->click(); }

    std::vector<std::pair<int, View>> steps;
};

class AppWindow : public ::testing::Test {
public:  // table rows drive the window through it
    void SetUp() override {
        CIsolatedSettings::ForgetAll();
        OpenWindow();
    }

    // A new window on the ports in `reported`, shown and active, as in the program: the progress
    // bar moves only once it has a window.
    void OpenWindow() {
        dlg = std::make_unique<CRecordingDlg>(nullptr, [this] { return reported; });
        dlg->show();
        dlg->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
        ports = FindControl<CPortComboBox>(*dlg, "IDC_PORT_COMBO");
    }
    // Starts the emulated controller and picks its line.
    void Connect(EmulatorOptions options) {
        loader = std::make_unique<CPtyBootLoader>(options);
        std::string error;
        ASSERT_TRUE(loader->Start(&error)) << error;
        ports->setCurrentIndex(dlg->AddPortEntry(QString::fromStdString(loader->SlavePath()), {}));
    }
    void ChooseImage(std::size_t size) {
        image = std::make_unique<CTempImage>(size);
        dlg->SetFileChooser([this](QWidget*) { return QString::fromStdString(image->path); });
        FindControl<QPushButton>(*dlg, "IDC_OPEN_FILE")->click();
    }
    QString PortInEffect() const { return QString::fromStdString(dlg->Download().PortName()); }

    std::vector<SerialPortEntry> reported;
    std::unique_ptr<CTempImage> image;
    std::unique_ptr<CPtyBootLoader> loader;
    std::unique_ptr<CRecordingDlg> dlg;  // after the line: the port closes while it still exists
    CPortComboBox* ports = nullptr;
};

// Checks that `modal` is the quit question of a main window, then answers it.
inline void AnswerQuitQuestion(QWidget* modal, QMessageBox::StandardButton answer) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr) << modal->metaObject()->className();
    EXPECT_EQ(box->text(), "Are you sure you want to quit Altrevo Flash Downloader?");
    EXPECT_EQ(box->windowTitle(), "Message");
    EXPECT_EQ(box->icon(), QMessageBox::Question);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Yes));
    EXPECT_NE(qobject_cast<CFlashDownloaderDlg*>(box->parentWidget()), nullptr);
    box->button(answer)->click();
}
