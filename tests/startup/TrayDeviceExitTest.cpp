// The shell's own behaviours in a running main window: the tray life, F1,
// device arrivals with the warning sweep, and both ways out.
#include "tests/startup/ShellTestSupport.h"

#include <dbt.h>

#include <gtest/gtest.h>

#include "dialogs/WaitDlg.h"
#include "framework/Text.h"
#include "plugin/ManagerPlugin.h"
#include "plugin/ServiceRegistry.h"
#include "tests/support/MessageBoxWatcher.h"

using namespace kivra;
using namespace kivra::testing;

namespace {

class ShellBehaviourTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        product_ = PrimeConfiguration(L"behaviour", L"Kivra Behaviour");
        ASSERT_NE(product_, nullptr);
    }
    void TearDown() override
    {
        DestroyConfigure();
        SetEnvironmentVariableW(L"KIVRA_MODEM_STATE", nullptr);
    }
    // CallService through the built-in plugin, as a plugin calls it.
    static int Call(const char* path, TParam param = {})
    {
        TService service{};
        CopyText(service.szName, path);
        return ManagerPluginInterface()->CallService(&service, &param);
    }

    std::unique_ptr<e2e::FixtureProduct> product_;
};

TEST_F(ShellBehaviourTest, TrayIconAppearsOnlyWhileTheWindowIsInTheTray)
{
    RunShell({[](CMainDlg& shell) {
                  ASSERT_TRUE(shell.TrayIcon().Added());
                  EXPECT_FALSE(shell.TrayIcon().InTray()) << "an icon right after start-up";
                  EXPECT_STREQ(shell.TrayIcon().Record().szTip, L"Kivra Behaviour");
                  // A tip set while the window shows waits for the next minimise.
                  TParam tip{};
                  tip.pszText = const_cast<wchar_t*>(L"Connected to the network");
                  EXPECT_EQ(Call("manager/Tray/SetToolTip", tip), 1);
                  EXPECT_EQ(Call("manager/ShowTray"), 1);
                  EXPECT_FALSE(shell.IsVisible());
                  EXPECT_TRUE(shell.TrayIcon().InTray());
                  EXPECT_STREQ(shell.TrayIcon().Record().szTip, L"Connected to the network");
                  shell.Send(kTrayCallbackMessage, 0, WM_LBUTTONDBLCLK);
                  EXPECT_TRUE(shell.IsVisible());
                  EXPECT_FALSE(shell.TrayIcon().InTray());
                  EXPECT_FALSE(shell.InTray());
                  // Another icon's double click is not ours.
                  shell.Send(WM_SYSCOMMAND, SC_MINIMIZE);
                  shell.Send(kTrayCallbackMessage, 7, WM_LBUTTONDBLCLK);
                  EXPECT_FALSE(shell.IsVisible());
                  EXPECT_EQ(Call("manager/PopupTray"), 1);
                  EXPECT_TRUE(shell.IsVisible());
                  EXPECT_FALSE(shell.TrayIcon().InTray());
              },
              [](CMainDlg& shell) { shell.Post(WM_CLOSE); }});
}

TEST_F(ShellBehaviourTest, F1BringsAnOpenHelpWindowForward)
{
    // The fixture names no help title: the help's window is "Bramic Help".
    HWND help = CreateWindowExW(0, L"STATIC", L"Bramic Help", WS_POPUP | WS_VISIBLE, 0, 0, 60, 60, nullptr, nullptr,
                                nullptr, nullptr);
    ShowWindow(help, SW_MINIMIZE);
    RunShell({[&](CMainDlg& shell) {
        EXPECT_EQ(shell.Send(WM_HELP), TRUE);
        EXPECT_FALSE(IsIconic(help)) << "F1 did not bring the open help forward";
        shell.Post(WM_CLOSE);
    }});
    DestroyWindow(help);
}

// Timer 3's ticks are sent rather than waited for: 300 ms each, so tick 33
// is about 10 seconds after the arrival.
TEST_F(ShellBehaviourTest, AnArrivalAnswersWarningsFor60TicksAndOtherDeviceEventsDoNot)
{
    RunShell({[](CMainDlg& shell) {
        HWND window = shell.Handle();
        shell.Send(WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0);
        EXPECT_FALSE(KillTimer(window, kWarningSweepTimer)) << "a removal started the sweep";

        HWND warning = nullptr;
        MSG answer{};
        const auto answered = [&] { return PeekMessageW(&answer, warning, WM_COMMAND, WM_COMMAND, PM_REMOVE) != 0; };
        shell.Send(WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
        for (int tick = 1; tick <= kWarningSweepTicks; ++tick) {
            if (tick == 33)
                warning = CreateWindowExW(0, L"STATIC", L"Unsafe Removal of Device", WS_POPUP, 0, 0, 10, 10,
                                          nullptr, nullptr, nullptr, nullptr);
            if (tick == 40)  // restarts the timer's period, not the count
                shell.Send(WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
            shell.Send(WM_TIMER, kWarningSweepTimer);
            if (tick == 33) {
                ASSERT_TRUE(answered()) << "not answered within the sweep";
                EXPECT_EQ(answer.wParam, static_cast<WPARAM>(IDOK));
            }
            while (answered()) {
            }
        }
        shell.Send(WM_TIMER, kWarningSweepTimer);
        EXPECT_FALSE(answered()) << "the tick after the 60th answered a warning";
        EXPECT_FALSE(KillTimer(window, kWarningSweepTimer)) << "the sweep did not stop after its 60 ticks";
        DestroyWindow(warning);
        shell.Post(WM_CLOSE);
    }});
}

TEST_F(ShellBehaviourTest, CloseBoxRefusesWhileConnectedAndProgramExitEndsOnYes)
{
    // One step: a tick inside the first message box would start the next step.
    const INT_PTR result = RunShell({[](CMainDlg& shell) {
        SetEnvironmentVariableW(L"KIVRA_MODEM_STATE", L"connected");
        {
            MessageBoxWatcher watcher(L"Probe: hang up first", IDOK);  // the fixture's translation
            shell.Send(WM_SYSCOMMAND, SC_CLOSE);
            EXPECT_TRUE(watcher.Seen());
        }
        EXPECT_EQ(shell.Result(), kDialogFailed) << "closed while connected";
        // An open wait dialog goes with the window.
        TParam wait{};
        wait.nCode = 1;
        EXPECT_EQ(Call("manager/ShowWaitDlg", wait), 1);
        EXPECT_TRUE(WaitDialogActive());
        SetEnvironmentVariableW(L"KIVRA_MODEM_STATE", L"disconnected");
        MessageBoxWatcher watcher(L"Probe: leave now?", IDYES);
        EXPECT_EQ(Call("manager/ProgramExit"), 1);
    }});
    EXPECT_EQ(result, IDOK);
    for (int i = 0; i < 100 && WaitDialogActive(); ++i)
        Sleep(20);
    EXPECT_FALSE(WaitDialogActive()) << "the wait dialog outlived the main window";
}

}  // namespace
