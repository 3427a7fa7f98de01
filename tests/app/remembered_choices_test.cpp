// The port and the image folder chosen in one run come back in the next; settings that are
// missing, unreadable or corrupt are passed over without a word.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <vector>

#include "flash_downloader_dlg.h"
#include "isolated_settings.h"
#include "modal_watcher.h"
#include "resource.h"
#include "temp_image.h"
#include "widget_test_helpers.h"

namespace {

QString SettingsFile() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                     QString::fromLatin1(kSettingsOrganization),
                     QString::fromLatin1(kApplicationName))
        .fileName();
}

void WriteSettingsFile(const QByteArray& content) {
    QDir().mkpath(QFileInfo(SettingsFile()).absolutePath());
    QFile file(SettingsFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

std::unique_ptr<CFlashDownloaderDlg> OpenWindow(std::vector<SerialPortEntry> reported = {}) {
    auto dlg = std::make_unique<CFlashDownloaderDlg>(nullptr, [reported] { return reported; });
    dlg->show();
    return dlg;
}

QString Shown(const CFlashDownloaderDlg& dlg) {
    return FindControl<QComboBox>(dlg, "IDC_PORT_COMBO")->currentText();
}

class RememberedChoices : public ::testing::Test {
protected:
    void SetUp() override { CIsolatedSettings::ForgetAll(); }
};

TEST_F(RememberedChoices, TheLastPortComesBackOnlyWhenListedAndBadSettingsAreIgnored) {
    const struct {
        const char* name;
        std::function<void()> prepare;
        std::vector<SerialPortEntry> reported;
        const char* shown;
    } cases[] = {
        {"nothing remembered", [] {}, {}, "COM1"},
        {"COM3", [] { WriteSettingsFile("[General]\nLastPort=COM3\n"); }, {}, "COM3"},
        {"a reported port that is there",
         [] { WriteSettingsFile("[General]\nLastPort=/dev/ttyUSB3\n"); },
         {{"/dev/ttyUSB3", "CP2102"}},
         "/dev/ttyUSB3 (CP2102)"},
        {"a reported port that is not",
         [] { WriteSettingsFile("[General]\nLastPort=/dev/ttyUSB3\n"); },
         {},
         "COM1"},
        {"a name no list has",
         [] { WriteSettingsFile("[General]\nLastPort=Other port...\n"); },
         {},
         "COM1"},
        {"a list instead of a name",
         [] { WriteSettingsFile("[General]\nLastPort=COM3, COM4\n"); },
         {},
         "COM1"},
        {"binary garbage",
         [] { WriteSettingsFile(QByteArray("\xff\xfe\x00[Gen\x01\nLastPort\x00=COM3\n[[", 27)); },
         {},
         "COM1"},
        {"a folder where the file belongs", [] { QDir().mkpath(SettingsFile()); }, {}, "COM1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CIsolatedSettings::ForgetAll();
        c.prepare();
        const auto dlg = OpenWindow(c.reported);
        EXPECT_EQ(Shown(*dlg), c.shown);
        EXPECT_EQ(dlg->Download().PortName(),
                  dlg->PortNameAt(FindControl<QComboBox>(*dlg, "IDC_PORT_COMBO")->currentIndex())
                      .toStdString());
        // Nothing is said about the settings, and no image is chosen for the user.
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_TRUE(dlg->findChildren<QMessageBox*>().isEmpty());
        EXPECT_EQ(dlg->Download().FilePath(), "");
    }
}

// COM3 and an image in another folder chosen; the next window shows COM3 with an empty path box,
// and its file dialog opens in that folder.
TEST_F(RememberedChoices, ARestartedWindowShowsThePortAndOpensTheFileDialogInTheImagesFolder) {
    const QTemporaryDir folder;
    const QString image = folder.filePath("handset.bin");
    {
        const auto first = OpenWindow();
        FindControl<QComboBox>(*first, "IDC_PORT_COMBO")->setCurrentIndex(2);
        first->SetFileChooser([&](QWidget*) { return image; });
        FindControl<QPushButton>(*first, "IDC_OPEN_FILE")->click();
    }
    const auto second = OpenWindow();
    EXPECT_EQ(Shown(*second), "COM3");
    EXPECT_EQ(second->Download().PortName(), "COM3");
    EXPECT_EQ(FindControl<QLineEdit>(*second, "IDC_FILE_PATH")->text(), "");
    CModalWatcher watcher([&](QWidget* modal) {
        auto* files = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(files, nullptr) << modal->metaObject()->className();
        EXPECT_EQ(QDir(files->directory()).canonicalPath(), QDir(folder.path()).canonicalPath());
        files->reject();
    });
    FindControl<QPushButton>(*second, "IDC_OPEN_FILE")->click();
    EXPECT_EQ(watcher.acted, 1);
}

}  // namespace
