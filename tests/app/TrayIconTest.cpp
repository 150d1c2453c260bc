// The tray icon's life against a recording stand-in for Shell_NotifyIconW.
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
    DWORD size;
};
std::vector<NotifyCall> g_calls;

BOOL WINAPI RecordNotify(DWORD message, PNOTIFYICONDATAW data)
{
    g_calls.push_back({message, data->uFlags, data->szTip, data->hIcon, data->cbSize});
    return TRUE;
}

// A main window that counts the SC_RESTORE commands it gets.
int g_restores = 0;
LRESULT CALLBACK CountRestores(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_RESTORE)
        ++g_restores;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_calls.clear();
        g_restores = 0;
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = CountRestores;
        windowClass.lpszClassName = L"TrayIconTestWindow";
        RegisterClassW(&windowClass);
        window_ = CreateWindowExW(0, L"TrayIconTestWindow", L"Tray Owner", WS_POPUP, 0, 0, 40, 40, nullptr, nullptr,
                                  nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override { DestroyWindow(window_); }

    // The messages of the calls since the last look.
    static std::vector<DWORD> Take()
    {
        std::vector<DWORD> messages;
        for (const NotifyCall& call : g_calls)
            messages.push_back(call.message);
        g_calls.clear();
        return messages;
    }

    HWND window_ = nullptr;
};

using Calls = std::vector<DWORD>;

TEST_F(TrayIconTest, HiddenAtStartShownOnMinimiseGoneOnDoubleClick)
{
    CTrayIcon tray(RecordNotify);
    HICON icon = LoadIconW(nullptr, IDI_APPLICATION);
    ASSERT_TRUE(tray.Add(L"Kivra", window_, icon));
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].size, 952u);
    EXPECT_EQ(g_calls[0].flags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    tray.Hide();
    EXPECT_EQ(Take(), (Calls{NIM_ADD, NIM_DELETE}));
    EXPECT_FALSE(tray.InTray());

    for (int cycle = 0; cycle < 2; ++cycle) {
        tray.Show();  // minimised
        tray.Show();  // twice does nothing more
        EXPECT_TRUE(tray.InTray());
        EXPECT_EQ(tray.OnTrayNotification(0, WM_LBUTTONDBLCLK), 1);
        EXPECT_TRUE(IsWindowVisible(window_));
        EXPECT_EQ(g_restores, cycle + 1);
        EXPECT_FALSE(tray.InTray());
        EXPECT_EQ(Take(), (Calls{NIM_ADD, NIM_DELETE})) << cycle;
    }

    // Not this icon's notification; other mouse messages do nothing.
    EXPECT_EQ(tray.OnTrayNotification(1, WM_LBUTTONDBLCLK), 0);
    EXPECT_EQ(tray.OnTrayNotification(0, WM_MOUSEMOVE), 1);
    EXPECT_EQ(g_restores, 2);
    tray.Remove();
    tray.Remove();
    EXPECT_EQ(Take(), (Calls{NIM_DELETE}));
}

TEST_F(TrayIconTest, ATipChangedWhileHiddenShowsAtTheNextMinimise)
{
    CTrayIcon tray(RecordNotify);
    tray.SetTip(L"before Add");  // nothing before the icon exists
    EXPECT_TRUE(g_calls.empty());
    tray.Add(std::wstring(300, L't').c_str(), window_, nullptr);
    EXPECT_EQ(g_calls.back().tip, std::wstring(127, L't')) << "the tip holds 127 characters";
    tray.Hide();
    Take();

    HICON icon = LoadIconW(nullptr, IDI_WARNING);
    tray.SetTip(L"Connected");
    tray.SetIcon(icon);
    EXPECT_TRUE(g_calls.empty()) << "no icon in the tray to modify";
    tray.Show();
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].tip, L"Connected");
    EXPECT_EQ(g_calls[0].icon, icon);

    // In the tray a change modifies the shown icon.
    Take();
    tray.SetTip(L"Disconnected");
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(g_calls[0].flags, static_cast<UINT>(NIF_TIP));
}

TEST_F(TrayIconTest, ANewTaskbarGetsTheIconBackOnlyWhenItWasInTheTray)
{
    CTrayIcon tray(RecordNotify);
    tray.Add(L"Kivra", window_, nullptr);
    tray.Hide();
    Take();
    tray.OnTaskbarCreated();
    EXPECT_TRUE(Take().empty()) << "the window is shown: no icon belongs in the tray";
    tray.Show();
    Take();
    tray.OnTaskbarCreated();
    EXPECT_EQ(Take(), (Calls{NIM_ADD}));
    EXPECT_EQ(RegisterWindowMessageW(kTaskbarCreatedMessageName), RegisterWindowMessageW(L"TaskbarCreated"));
}

TEST_F(TrayIconTest, WithoutAWindowNothingIsEverAdded)
{
    CTrayIcon tray(RecordNotify);
    EXPECT_FALSE(tray.Add(L"Kivra", nullptr, nullptr));
    DestroyWindow(window_);
    EXPECT_FALSE(tray.Add(L"Kivra", window_, nullptr));
    tray.Hide();
    tray.Show();
    tray.SetTip(L"x");
    tray.OnTaskbarCreated();
    tray.Remove();
    EXPECT_TRUE(g_calls.empty());
}

}  // namespace
