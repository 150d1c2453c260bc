// The demo's plugins in the real Kivra.exe, on the product database: the
// messages panel lists the kept messages without a modem and searches them
// as the user types, and a settings page's choice survives a restart.
#include "resources/resource.h"
#include "tests/e2e/KivraRun.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <string>

using namespace kivra::e2e;

namespace {

constexpr wchar_t kDemoTitle[] = L"Kivra Mobile Broadband";
constexpr wchar_t kNotifySmsText[] = L"Tell me when a text message arrives";
constexpr wchar_t kMegabytesText[] = L"Always show amounts in MB";  // the statistics page, the last

// The first descendant of parent of that class (and text, when given).
struct Search {
    const wchar_t* cls;
    const wchar_t* text;
    HWND found;
};
BOOL CALLBACK Match(HWND child, LPARAM lParam)
{
    auto* search = reinterpret_cast<Search*>(lParam);
    wchar_t name[64] = {}, caption[256] = {};
    GetClassNameW(child, name, 64);
    GetWindowTextW(child, caption, 256);
    if (_wcsicmp(name, search->cls) != 0 || (search->text != nullptr && wcscmp(caption, search->text) != 0))
        return TRUE;
    search->found = child;
    return FALSE;
}
HWND FindDescendant(HWND parent, const wchar_t* cls, const wchar_t* text = nullptr)
{
    Search search = {cls, text, nullptr};
    EnumChildWindows(parent, Match, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// FindDescendant, waiting up to timeout: a hidden panel's controls are made
// once the main window is up.
HWND WaitForDescendant(HWND parent, const wchar_t* cls, DWORD timeoutMs = 5000)
{
    HWND found = FindDescendant(parent, cls);
    for (DWORD start = GetTickCount(); found == nullptr && GetTickCount() - start < timeoutMs; Sleep(50))
        found = FindDescendant(parent, cls);
    return found;
}

// Waits until the list view holds count rows.
bool WaitForRows(HWND list, int count, DWORD timeoutMs = 5000)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(50))
        if (static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) == count)
            return true;
    return false;
}

// Opens the settings dialog with its tool item (the fourth, after a separator).
HWND OpenSettings(KivraProcess& kivra, HWND window)
{
    SetForegroundWindow(window);
    Sleep(300);
    RECT bar;
    GetWindowRect(GetDlgItem(window, 0xE800), &bar);
    SetCursorPos(bar.left + 4 + 3 * 76 + 8 + 38, bar.top + 28);
    Sleep(150);
    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, click, sizeof(INPUT));
    return WaitForWindow(kivra.Id(), L"Settings", 5000);
}

TEST(DemoSamplesTest, TheMessagesPanelListsTheKeptMessagesWithoutAModemAndSearchesAsTyped)
{
    DemoProductCopy product(L"messages");
    ASSERT_TRUE(product.Ready());
    ASSERT_TRUE(CopyFileW(DemoDatabaseAsMade().c_str(), (product.Folder() + L"kivra.db").c_str(), FALSE))
        << "the build makes the demo's database";
    KivraProcess kivra;
    HWND window = kivra.StartAndWaitForWindow(product.Folder(), kDemoTitle);
    ASSERT_NE(window, nullptr);

    HWND panel = FindWindowExW(window, nullptr, L"KivraSmsPanel", nullptr);
    ASSERT_NE(panel, nullptr);
    HWND list = WaitForDescendant(panel, WC_LISTVIEWW);
    HWND search = FindDescendant(panel, L"Edit");
    ASSERT_NE(list, nullptr);
    ASSERT_NE(search, nullptr);
    const int all = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    EXPECT_GE(all, 5) << "the demo's received messages, listed with the list";

    SendMessageW(search, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"STATION"));
    EXPECT_TRUE(WaitForRows(list, 1)) << "one message speaks of the station";
    SendMessageW(search, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"no message says this"));
    EXPECT_TRUE(WaitForRows(list, 0));
    SendMessageW(search, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    EXPECT_TRUE(WaitForRows(list, all));
    kivra.CloseAndWait(window);
}

TEST(DemoSamplesTest, ASettingsPageChoiceSurvivesARestart)
{
    DemoProductCopy product(L"settings");
    ASSERT_TRUE(product.Ready());
    for (int start = 0; start < 2; ++start) {
        SCOPED_TRACE(start == 0 ? "first start" : "second start");
        KivraProcess kivra;
        HWND window = kivra.StartAndWaitForWindow(product.Folder(), kDemoTitle);
        ASSERT_NE(window, nullptr);
        HWND settings = OpenSettings(kivra, window);
        ASSERT_NE(settings, nullptr);
        HWND box = FindDescendant(settings, L"Button", kNotifySmsText);
        ASSERT_NE(box, nullptr);
        if (start == 0) {
            EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED) << "on at first";
            SendMessageW(box, BM_SETCHECK, BST_UNCHECKED, 0);
            PressButton(settings, IDC_SETTING_OK);  // applies every page
            EXPECT_TRUE(WaitUntilVisible(settings, false));
        } else {
            EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED) << "kept off";
            PostMessageW(settings, WM_CLOSE, 0, 0);
        }
        EXPECT_TRUE(kivra.CloseAndWait(window));
    }
}

// The pages are made when the shell first asks for them: OK on a page that
// never showed keeps what it had read, it does not write its defaults.
TEST(DemoSamplesTest, OKKeepsTheValuesOfAPageThatNeverShowed)
{
    DemoProductCopy product(L"unseen");
    ASSERT_TRUE(product.Ready());
    for (int start = 0; start < 3; ++start) {
        SCOPED_TRACE(start == 0 ? "set" : start == 1 ? "OK with the page unseen" : "read back");
        KivraProcess kivra;
        HWND window = kivra.StartAndWaitForWindow(product.Folder(), kDemoTitle);
        ASSERT_NE(window, nullptr);
        HWND settings = OpenSettings(kivra, window);
        ASSERT_NE(settings, nullptr);
        HWND box = FindDescendant(settings, L"Button", kMegabytesText);
        ASSERT_NE(box, nullptr);
        EXPECT_FALSE(IsWindowVisible(box)) << "the dialog opens on the first page";
        if (start == 0)
            SendMessageW(box, BM_SETCHECK, BST_CHECKED, 0);
        else
            EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_CHECKED);
        PressButton(settings, IDC_SETTING_OK);
        EXPECT_TRUE(WaitUntilVisible(settings, false));
        EXPECT_TRUE(kivra.CloseAndWait(window));
    }
}

}  // namespace
