// The About entry in the main window's system menu, on the real windows platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QTest>

#include "about_dlg.h"
#include "flash_downloader_dlg.h"
#include "modal_watcher.h"
#include "resource.h"

#include <windows.h>

namespace {

// Under Wine on a busy X server a window may take many seconds to be mapped; nothing here waits
// for it to be drawn, only for what the window manager side of Win32 reports.
constexpr int kDeadlineMs = 60000;

std::wstring MenuText(HMENU menu, int index) {
    wchar_t text[256] = {};
    GetMenuStringW(menu, static_cast<UINT>(index), text, 256, MF_BYPOSITION);
    return text;
}

std::wstring WindowText(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

bool IsSeparator(HMENU menu, int index) {
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE;
    return GetMenuItemInfoW(menu, static_cast<UINT>(index), TRUE, &item) &&
           (item.fType & MFT_SEPARATOR) != 0;
}

TEST(WindowsSystemMenu, AboutEntryFollowsASeparatorAndOpensTheAboutBox) {
    CFlashDownloaderDlg dlg;
    dlg.show();
    const HWND window = reinterpret_cast<HWND>(dlg.winId());
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return IsWindowVisible(window) != FALSE; }, kDeadlineMs));
    const HMENU menu = GetSystemMenu(window, FALSE);
    ASSERT_NE(menu, nullptr);

    // The system's own entries stay, and the About entry comes last, after a separator.
    EXPECT_NE(GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND), static_cast<UINT>(-1));
    const int count = GetMenuItemCount(menu);
    ASSERT_GE(count, 3);
    EXPECT_EQ(GetMenuItemID(menu, count - 1), IDM_ABOUTBOX);
    EXPECT_EQ(MenuText(menu, count - 1), QString::fromLatin1(IDS_ABOUTBOX).toStdWString());
    EXPECT_TRUE(IsSeparator(menu, count - 2));
    EXPECT_FALSE(IsSeparator(menu, count - 3));
    // Showing the window again must not add a second entry.
    dlg.hide();
    dlg.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return IsWindowVisible(window) != FALSE; }, kDeadlineMs));
    EXPECT_EQ(GetMenuItemCount(menu), count);

    // Choosing the entry sends the command the way the system menu does; the box that opens is
    // a window of its own, owned by the main window, with the About caption in its title bar.
    std::wstring caption;
    HWND owner = nullptr;
    bool visible = false;
    CModalWatcher watcher([&](QWidget* modal) {
        if (qobject_cast<CAboutDlg*>(modal) == nullptr) {
            return;
        }
        const HWND box = reinterpret_cast<HWND>(modal->winId());
        visible = QTest::qWaitFor([&] { return IsWindowVisible(box) != FALSE; }, kDeadlineMs);
        caption = WindowText(box);
        owner = GetWindow(box, GW_OWNER);
    });
    ASSERT_TRUE(PostMessageW(window, WM_SYSCOMMAND, IDM_ABOUTBOX, 0));
    EXPECT_TRUE(QTest::qWaitFor([&] { return watcher.acted > 0; }, kDeadlineMs));
    EXPECT_EQ(watcher.acted, 1);
    EXPECT_TRUE(visible);
    EXPECT_EQ(caption, QString::fromLatin1(kAboutCaption).toStdWString());
    EXPECT_EQ(owner, window);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
