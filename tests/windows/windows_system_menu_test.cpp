// The About entry in the main window's system menu, on the real windows platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "about_dlg.h"
#include "flash_downloader_dlg.h"
#include "modal_watcher.h"
#include "resource.h"

#include <windows.h>

namespace {

std::wstring MenuText(HMENU menu, int index) {
    wchar_t text[256] = {};
    GetMenuStringW(menu, static_cast<UINT>(index), text, 256, MF_BYPOSITION);
    return text;
}

TEST(WindowsSystemMenu, AboutEntryFollowsASeparatorAndOpensTheAboutBox) {
    CFlashDownloaderDlg dlg;
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    const HWND window = reinterpret_cast<HWND>(dlg.winId());
    const HMENU menu = GetSystemMenu(window, FALSE);
    ASSERT_NE(menu, nullptr);

    const int count = GetMenuItemCount(menu);
    ASSERT_GE(count, 2);
    EXPECT_EQ(GetMenuItemID(menu, count - 1), IDM_ABOUTBOX);
    EXPECT_EQ(MenuText(menu, count - 1), QString::fromLatin1(IDS_ABOUTBOX).toStdWString());
    MENUITEMINFOW separator{};
    separator.cbSize = sizeof separator;
    separator.fMask = MIIM_FTYPE;
    ASSERT_TRUE(GetMenuItemInfoW(menu, static_cast<UINT>(count - 2), TRUE, &separator));
    EXPECT_TRUE(separator.fType & MFT_SEPARATOR);
    // Showing the window again must not add a second entry.
    dlg.hide();
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    EXPECT_EQ(GetMenuItemCount(menu), count);

    // Choosing the entry sends the command the way the system menu does.
    QString caption;
    CModalWatcher watcher([&caption](QWidget* modal) {
        if (qobject_cast<CAboutDlg*>(modal) != nullptr) {
            caption = modal->windowTitle();
        }
    });
    PostMessageW(window, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return watcher.acted > 0; }, 10000));
    EXPECT_EQ(watcher.acted, 1);
    EXPECT_EQ(caption, QString::fromLatin1(kAboutCaption));
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
