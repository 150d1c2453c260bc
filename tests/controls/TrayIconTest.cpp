// The tray icon's records against a recording stand-in for Shell_NotifyIconW
// (the main window's tray life, with double clicks, is in tests/startup).
#include "controls/TrayIcon.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kivra;

namespace {

struct NotifyCall {
    DWORD message;
    UINT flags;
    std::wstring tip;
    HICON icon;
};
std::vector<NotifyCall> g_calls;

BOOL WINAPI RecordNotify(DWORD message, PNOTIFYICONDATAW data)
{
    EXPECT_EQ(data->cbSize, 952u);
    g_calls.push_back({message, data->uFlags, data->szTip, data->hIcon});
    return TRUE;
}

std::vector<DWORD> Take()
{
    std::vector<DWORD> messages;
    for (const NotifyCall& call : g_calls)
        messages.push_back(call.message);
    g_calls.clear();
    return messages;
}
using Calls = std::vector<DWORD>;

TEST(TrayIconTest, ChangesWhileHiddenShowAtTheNextAddAndANewTaskbarGetsAShownIconBack)
{
    HWND owner = CreateWindowExW(0, L"STATIC", L"Tray Owner", WS_POPUP, 0, 0, 40, 40, nullptr, nullptr, nullptr,
                                 nullptr);
    CTrayIcon tray(RecordNotify);
    ASSERT_TRUE(tray.Add(std::wstring(300, L't').c_str(), owner, nullptr));
    EXPECT_EQ(g_calls[0].flags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(g_calls[0].tip, std::wstring(127, L't')) << "the tip holds 127 characters";
    tray.Hide();
    tray.OnTaskbarCreated();
    EXPECT_EQ(Take(), (Calls{NIM_ADD, NIM_DELETE})) << "a hidden icon does not come back with a new taskbar";

    HICON icon = LoadIconW(nullptr, IDI_WARNING);
    tray.SetIcon(icon);
    EXPECT_TRUE(g_calls.empty()) << "no icon in the tray to modify";
    tray.Show();
    tray.Show();  // twice does nothing more
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].icon, icon);
    tray.SetTip(L"Disconnected");  // in the tray: the shown icon changes
    EXPECT_EQ(g_calls.back().flags, static_cast<UINT>(NIF_TIP));
    tray.OnTaskbarCreated();
    EXPECT_EQ(Take(), (Calls{NIM_ADD, NIM_MODIFY, NIM_ADD}));
    EXPECT_EQ(tray.OnTrayNotification(1, WM_LBUTTONDBLCLK), 0) << "another icon's notification";
    tray.Remove();
    tray.Remove();
    EXPECT_EQ(Take(), (Calls{NIM_DELETE}));

    // Without a window nothing is ever added, and nothing follows.
    DestroyWindow(owner);
    EXPECT_FALSE(tray.Add(L"Kivra", owner, nullptr));
    tray.Show();
    tray.OnTaskbarCreated();
    EXPECT_TRUE(g_calls.empty());
}

// Start-up registers the icon out of the tray without asking the shell at
// all; minimising then puts it in with what was registered and changed since.
TEST(TrayIconTest, ARegisteredIconReachesTheShellOnlyWhenShown)
{
    HWND owner = CreateWindowExW(0, L"STATIC", L"Tray Owner", WS_POPUP, 0, 0, 40, 40, nullptr, nullptr, nullptr,
                                 nullptr);
    CTrayIcon tray(RecordNotify);
    ASSERT_TRUE(tray.Register(L"Kivra", owner, nullptr));
    EXPECT_TRUE(tray.Added());
    EXPECT_FALSE(tray.InTray());
    tray.SetTip(L"Connected");
    tray.Hide();
    tray.OnTaskbarCreated();
    EXPECT_TRUE(g_calls.empty());
    tray.Show();
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(g_calls[0].tip, L"Connected");
    EXPECT_EQ(g_calls[0].flags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    g_calls.clear();
    tray.Remove();
    Take();
    DestroyWindow(owner);
    EXPECT_FALSE(tray.Register(L"Kivra", owner, nullptr)) << "no window, no icon";
}

}  // namespace
