// The main window inside the test program: start-up with a fixture product,
// the state it leaves, the messages it routes, and the shutdown.
#include "tests/startup/ShellTestSupport.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>

#include "plugin/ManagerPlugin.h"
#include "dialogs/SettingDialogs.h"
#include "dialogs/SettingDlg.h"
#include "framework/ControlBars.h"
#include "ostel.h"
#include "plugin/ManagerPlugin.h"
#include "plugin/ServiceRegistry.h"
#include "tests/support/MessageBoxWatcher.h"

using namespace kivra;
using namespace kivra::testing;

namespace {

constexpr wchar_t kTitle[] = L"Kivra In Process";

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        product_ = PrimeConfiguration(L"inprocess", kTitle);
        ASSERT_NE(product_, nullptr) << "the fixture configuration does not load";
    }
    void TearDown() override { DestroyConfigure(); }

    std::unique_ptr<e2e::FixtureProduct> product_;
};

TEST_F(MainWindowTest, StartUpLeavesTheShellRunningAndWmCloseEndsItWithOk)
{
    HWND settingDialog = nullptr;
    const INT_PTR result = RunShell({[&](CMainDlg& shell) {
        EXPECT_TRUE(shell.IsVisible());
        EXPECT_EQ(shell.GetText(), kTitle);
        EXPECT_STREQ(MessageBoxCaption(), kTitle);

        // The registry with the built-in plugin, and this window as its host.
        CServiceRegistry* registry = CServiceRegistry::GetRegistry();
        ASSERT_NE(ManagerPluginInterface(), nullptr);
        EXPECT_EQ(registry->HostWindow(), shell.Handle());
        EXPECT_EQ(registry->Host(), static_cast<IManagerHost*>(&shell));
        EXPECT_NE(registry->FindService("manager/ShowMainWindow"), nullptr);

        // The floating dialog exists, hidden. No plugin here has a settings
        // page, so the settings dialog's window waits until it is asked for,
        // and is then made hidden.
        EXPECT_TRUE(shell.FloatDialog().IsWindow());
        EXPECT_FALSE(shell.FloatDialog().IsVisible());
        CSettingDlg* settings = shell.Frame().Settings().SettingDialog();
        ASSERT_NE(settings, nullptr);
        EXPECT_FALSE(settings->IsWindow());
        TService provide{};
        std::strcpy(provide.szName, "manager/ProvideSetCWnd");
        TParam none{};
        ASSERT_EQ(registry->CallService(&provide, &none), 1);
        settingDialog = KivraWindowHandle(provide.hWnd);
        EXPECT_EQ(settingDialog, settings->Handle());
        EXPECT_TRUE(settings->IsWindow());
        EXPECT_FALSE(settings->IsVisible());

        // The start-up rectangle is the window's.
        const RECT now = shell.WindowRect();
        EXPECT_TRUE(EqualRect(&now, &shell.StartupRect()));

        // The mutex a second instance looks for.
        HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, kSingleInstanceMutexName);
        EXPECT_NE(mutex, nullptr);
        if (mutex)
            CloseHandle(mutex);
        EXPECT_EQ(shell.SkinVersion(), L"7.7.1");
    },
    [&](CMainDlg& shell) {
        // The tooltip, made once the window was up without being asked for,
        // owned by the window, with its delays.
        HWND tooltip = shell.Frame().ExistingTooltip();
        ASSERT_NE(tooltip, nullptr);
        EXPECT_EQ(GetWindow(tooltip, GW_OWNER), shell.Handle());
        EXPECT_EQ(SendMessageW(tooltip, TTM_GETDELAYTIME, TTDT_AUTOPOP, 0), 30000);
        EXPECT_EQ(SendMessageW(tooltip, TTM_GETDELAYTIME, TTDT_INITIAL, 0), 100);
        shell.Post(WM_CLOSE);
    }});
    EXPECT_EQ(result, IDOK);

    // The shutdown ran: the frame context went with the configuration.
    EXPECT_EQ(ManagerPluginInterface(), nullptr);
    EXPECT_EQ(ExistingConfigure(), nullptr);
    EXPECT_FALSE(IsWindow(settingDialog));
    EXPECT_EQ(TPostMessage(0x7FFF, 0, 0), 0) << "the bus still runs";
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, kSingleInstanceMutexName);
    EXPECT_EQ(mutex, nullptr) << "the mutex outlived the shell";
    if (mutex)
        CloseHandle(mutex);
}

TEST_F(MainWindowTest, OkAndCancelCommandsDoNotEndTheDialog)
{
    const INT_PTR result = RunShell({[](CMainDlg& shell) {
                                         shell.Send(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED));
                                         shell.Send(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED));
                                         EXPECT_EQ(shell.Result(), kDialogFailed) << "EndDialog was called";
                                     },
                                     [](CMainDlg& shell) {
                                         EXPECT_TRUE(shell.IsWindow());
                                         shell.Post(WM_CLOSE);
                                     }});
    EXPECT_EQ(result, IDOK);
}

TEST_F(MainWindowTest, SystemCommandIdsInCommandsAreSystemCommands)
{
    RunShell({[](CMainDlg& shell) {
                  // A menu item or button carrying SC_MINIMIZE hides the window to the tray.
                  shell.Send(WM_COMMAND, MAKEWPARAM(SC_MINIMIZE, 0));
                  EXPECT_FALSE(shell.IsVisible());
                  // The tray double click brings it back.
                  shell.Send(kTrayCallbackMessage, 0, WM_LBUTTONDBLCLK);
                  EXPECT_TRUE(shell.IsVisible());
                  EXPECT_FALSE(IsIconic(shell.Handle()));
              },
              [](CMainDlg& shell) { shell.Post(WM_CLOSE); }});
}

TEST_F(MainWindowTest, SkinAcceleratorsReachTheWindowThroughTheMessageFilter)
{
    // The fixture skin binds F9 to SC_MINIMIZE.
    RunShell({[](CMainDlg& shell) {
                  ASSERT_NE(shell.Frame().Context()->AcceleratorTable(), nullptr);
                  shell.Post(WM_KEYDOWN, VK_F9, 1);
              },
              [](CMainDlg& shell) {
                  EXPECT_FALSE(shell.IsVisible()) << "F9 did not minimise";
                  shell.Post(WM_CLOSE);
              }});
}

TEST_F(MainWindowTest, MaximisedPlacementIsTheStartupRectangle)
{
    RunShell({[](CMainDlg& shell) {
        MINMAXINFO info{};
        shell.Send(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
        const RECT& rect = shell.StartupRect();
        EXPECT_EQ(info.ptMaxPosition.x, rect.left);
        EXPECT_EQ(info.ptMaxPosition.y, rect.top);
        EXPECT_EQ(info.ptMaxSize.x, rect.right - rect.left);
        EXPECT_EQ(info.ptMaxSize.y, rect.bottom - rect.top);
        EXPECT_EQ(info.ptMaxTrackSize.x, rect.right - rect.left);
        EXPECT_EQ(info.ptMaxTrackSize.y, rect.bottom - rect.top);
        shell.Post(WM_CLOSE);
    }});
}

TEST_F(MainWindowTest, QueryDragIconAnswersTheWindowIcon)
{
    RunShell({[](CMainDlg& shell) {
        const LRESULT icon = shell.Send(WM_QUERYDRAGICON);
        EXPECT_NE(icon, 0);
        EXPECT_EQ(reinterpret_cast<HICON>(icon), shell.WindowIcon());
        EXPECT_EQ(shell.Send(WM_GETICON, ICON_BIG), icon) << "the logo replaced the main icon";
        shell.Post(WM_CLOSE);
    }});
}

// What the services bound to another window's messages receive.
struct BoundCall {
    int count = 0;
    TParam param{};
};
BoundCall g_bound;

int __cdecl RecordBoundCall(TService*, TParam* param)
{
    ++g_bound.count;
    g_bound.param = *param;
    return 1;
}

TEST_F(MainWindowTest, MessagesForOtherWindowsReachTheServicesBoundToThem)
{
    constexpr UINT kBoundMessage = WM_APP + 5;
    HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    g_bound = {};
    RunShell({[&](CMainDlg& shell) {
        TService bound{};
        CopyText(bound.szName, "test/Bound");
        bound.uMessage = kBoundMessage;
        bound.pfnHandler = RecordBoundCall;
        bound.hWnd = other;
        ASSERT_EQ(ManagerPluginInterface()->RegisterService(&bound), 1);
        TService moves = bound;
        CopyText(moves.szName, "test/Moves");
        moves.uMessage = WM_MOUSEMOVE;
        ASSERT_EQ(ManagerPluginInterface()->RegisterService(&moves), 1);
        // Handled in order before the close.
        PostMessageW(other, kBoundMessage, 7, 8);
        PostMessageW(other, WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
        PostMessageW(shell.Handle(), kBoundMessage, 9, 9);  // the main window's own messages are not offered
        shell.Post(WM_CLOSE);
    }});
    DestroyWindow(other);
    EXPECT_EQ(g_bound.count, 1) << "mouse moves and the window's own messages are not offered";
    EXPECT_EQ(g_bound.param.nCode, 5);
    EXPECT_EQ(g_bound.param.wParam, 7u);
    EXPECT_EQ(g_bound.param.lParam, 8);
}

TEST_F(MainWindowTest, SecondStartWithTheSameTitleEndsAtOnce)
{
    // A window of that title and the mutex, as a running instance leaves them.
    HWND first = CreateWindowExW(0, L"STATIC", kTitle, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, kSingleInstanceMutexName);
    bool stepRan = false;
    const INT_PTR result = RunShell({[&](CMainDlg& shell) {
        stepRan = true;
        shell.Post(WM_CLOSE);
    }});
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(stepRan) << "the second start ran its modal loop";
    // The first one was sent the tray double click.
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, first, kTrayCallbackMessage, kTrayCallbackMessage, PM_REMOVE));
    EXPECT_EQ(msg.lParam, WM_LBUTTONDBLCLK);
    CloseHandle(mutex);
    DestroyWindow(first);
}

TEST_F(MainWindowTest, TitleWithoutTheMutexIsNoRunningInstance)
{
    HWND stranger = CreateWindowExW(0, L"STATIC", kTitle, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    const INT_PTR result = RunShell({[](CMainDlg& shell) { shell.Post(WM_CLOSE); }});
    EXPECT_EQ(result, IDOK);
    DestroyWindow(stranger);
}

TEST_F(MainWindowTest, SizeLaysTheControlBarsOut)
{
    RunShell({[](CMainDlg& shell) {
        // A bar of the tool-bar range, placed anywhere, 20 pixels high.
        HWND bar = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 30, 40, 50, 20, shell.Handle(),
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(kToolBarId)), nullptr, nullptr);
        ASSERT_NE(bar, nullptr);
        const RECT client = shell.ClientRect();
        shell.Send(WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
        const RECT placed = WindowRef(bar).RectInParent();
        EXPECT_EQ(placed.left, 0);
        EXPECT_EQ(placed.top, 0);
        EXPECT_EQ(placed.right, client.right);
        EXPECT_EQ(placed.bottom - placed.top, 20);
        DestroyWindow(bar);
        shell.Post(WM_CLOSE);
    }});
}

// The WM_NCLBUTTONDOWN messages sent to the shell, seen by a hook.
std::vector<std::pair<WPARAM, LPARAM>> g_captionPresses;
HWND g_watched = nullptr;

LRESULT CALLBACK WatchCaptionPresses(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->hwnd == g_watched && sent->message == WM_NCLBUTTONDOWN)
        g_captionPresses.emplace_back(sent->wParam, sent->lParam);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(MainWindowTest, ALeftPressOnTheShapedWindowDragsItByItsCaption)
{
    g_captionPresses.clear();
    RunShell({[](CMainDlg& shell) {
        ASSERT_TRUE(shell.Frame().Context()->PixelCoordinates()) << "the fixture skin cuts a shape";
        g_watched = shell.Handle();
        HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, WatchCaptionPresses, nullptr, GetCurrentThreadId());
        // The move loop the caption press starts ends at the button's release.
        shell.Post(WM_LBUTTONUP, 0, MAKELPARAM(50, 60));
        shell.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 60));
        UnhookWindowsHookEx(hook);
        g_watched = nullptr;
        POINT screen = {50, 60};
        ClientToScreen(shell.Handle(), &screen);
        ASSERT_EQ(g_captionPresses.size(), 1u);
        EXPECT_EQ(g_captionPresses[0].first, static_cast<WPARAM>(HTCAPTION));
        EXPECT_EQ(g_captionPresses[0].second, MAKELPARAM(screen.x, screen.y)) << "not in screen coordinates";
        shell.Post(WM_CLOSE);
    }});
}

TEST(MainWindowWithoutConfigurationTest, ReportsTheBrokenConfigurationAndEnds)
{
    // The test program's folder has no product: the configuration cannot load.
    DestroyConfigure();
    MessageBoxWatcher watcher(kConfigBrokenText, IDOK);
    // The step's timer may tick inside the message box's own loop; the
    // window must never have been shown.
    bool shownWhenStepRan = false;
    const INT_PTR result = RunShell({[&](CMainDlg& shell) {
        shownWhenStepRan = shell.IsVisible();
        shell.Post(WM_CLOSE);
    }});
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(shownWhenStepRan);
    EXPECT_TRUE(watcher.Seen());
    EXPECT_EQ(ManagerPluginInterface(), nullptr) << "plugins were bound without a configuration";
}

TEST(IconPositionTest, CentresTheIconWithTheOddPixelRight)
{
    EXPECT_EQ(IconPosition({0, 0, 100, 60}, 32, 32).x, 34);
    EXPECT_EQ(IconPosition({0, 0, 100, 60}, 32, 32).y, 14);
    EXPECT_EQ(IconPosition({0, 0, 33, 33}, 32, 32).x, 1);
    EXPECT_EQ(IconPosition({0, 0, 10, 10}, 32, 32).x, -10);
}

}  // namespace
