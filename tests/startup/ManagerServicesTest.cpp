// The built-in plugin's table, its LoadPlugin and UnloadPlugin, and the
// services that need no skin, with the plugin bound to a plain host window.
#include "plugin/ManagerPlugin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "dialogs/SettingDialogs.h"
#include "dialogs/SettingDlg.h"
#include "dialogs/SystemSetDlg.h"
#include "framework/Text.h"
#include "plugin/PluginLoader.h"
#include "plugin/ServiceRegistry.h"
#include "tests/support/StubManagerHost.h"

using namespace kivra;
using kivra::testing::StubManagerHost;

namespace {

const char* const kExpectedPaths[] = {
    "manager/Configure/GetString",     "manager/Notification/DisplayWnd", "manager/MainApp/ShowStatusBar",
    "manager/ProvideSetCWnd",          "manager/ShowSetWindow",           "manager/Dropzone/UpdateLastData",
    "manager/Dropzone/ShowDataStatus", "manager/CheckDropzoneItem",       "manager/Tray/SetToolTip",
    "manager/ChangeTrayIcon",          "manager/PopupTray",               "manager/ShowTray",
    "manager/ProgramExit",             "manager/ShowWaitDlg",             "manager/LoadImage",
    "manager/ModifyButtonInfo",        "manager/ShowAboutDlg",            "manager/ShowMainWindow",
    "manager/ShowWindow",              "manager/HideMainWindow",          "manager/ShowHelpFile",
    "manager/EnableCommandItem",       "manager/RegisterCommandFunction", "manager/UpgradeOnline",
    "manager/CheckMenuItem",           "manager/MaximizeWindow",          "manager/RestoreWindow",
    "manager/PutWindowTopMost",        "manager/SelectPluginName",        "manager/DeletePluginRes",
    "manager/SetWindowIcon",
};

TEST(ManagerTableTest, HoldsThe31ServicesInRegistrationOrder)
{
    const auto table = ManagerServiceTable();
    ASSERT_EQ(table.size(), std::size(kExpectedPaths));
    for (size_t i = 0; i < table.size(); ++i) {
        EXPECT_STREQ(table[i].szName, kExpectedPaths[i]) << i;
        EXPECT_EQ(table[i].uMessage, 0u) << i;
        // Only ProvideSetCWnd is a data record.
        EXPECT_EQ(table[i].pfnHandler == nullptr, std::strcmp(kExpectedPaths[i], kProvideSetCWndService) == 0) << i;
    }
}

// A host that makes the shell's own settings dialogs around a plain window.
class SettingDialogsHost : public StubManagerHost {
public:
    using StubManagerHost::StubManagerHost;
    CWindow* CreateSettingDialogs() override { return dialogs.Create(); }
    bool MakeSettingDialogs() override { return dialogs.Make(); }
    bool ShowSettingDialog() override { return dialogs.Show(); }

    CSettingDialogs dialogs;  // the pair as the main window's frame holds it
};

// The built-in plugin bound to a plain window as its host, as start-up binds
// it. The host starts hidden (showing and destroying a visible window costs
// a while under Xvfb).
class ManagerPluginBoundTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host_ = CreateWindowExW(0, L"STATIC", L"Manager Host", WS_POPUP, 20, 20, 80, 60, nullptr,
                                nullptr, nullptr, nullptr);
        ASSERT_NE(host_, nullptr);
        hostObject_ = std::make_unique<SettingDialogsHost>(host_);
        registry_ = CServiceRegistry::GetRegistry();
        ASSERT_NE(registry_, nullptr);
        registry_->SetHost(hostObject_.get(), host_);
        ASSERT_EQ(BindPlugin(registry_, ManagerPluginEntryPoints()), 1);
    }
    void TearDown() override
    {
        DestroySettingDialogs();
        UnloadAllPlugins();
        CServiceRegistry::DestroyRegistry();
        DestroyWindow(host_);
    }

    // CallService through the built-in plugin's interface, as plugins call it.
    int Call(const char* path, TParam* param = nullptr, TService* record = nullptr)
    {
        TService local{};
        TService* service = record ? record : &local;
        CopyText(service->szName, path);
        TParam zero{};
        return ManagerPluginInterface()->CallService(service, param ? param : &zero);
    }
    // The handler itself, for its own answer (CallService answers 1 once found).
    static int Handler(const char* path, TParam* param)
    {
        for (const TService& record : ManagerServiceTable())
            if (std::strcmp(record.szName, path) == 0 && record.pfnHandler != nullptr) {
                TService copy = record;
                return record.pfnHandler(&copy, param);
            }
        return -1;
    }
    bool TopMost() const { return (GetWindowLongW(host_, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

    // The host's settings dialogs.
    CSettingDlg* SettingDialog() const { return hostObject_->dialogs.SettingDialog(); }
    CSystemSetDlg* SystemSettingPage() const { return hostObject_->dialogs.SystemSettingPage(); }
    void DestroySettingDialogs() { hostObject_->dialogs.Destroy(); }

    std::unique_ptr<SettingDialogsHost> hostObject_;
    HWND host_ = nullptr;
    CServiceRegistry* registry_ = nullptr;
};

TEST_F(ManagerPluginBoundTest, LoadPluginStoresEveryServiceWithTheBuiltInInterface)
{
    EXPECT_EQ(registry_->Services().size(), std::size(kExpectedPaths));
    for (const char* path : kExpectedPaths) {
        const TService* stored = registry_->FindService(path);
        ASSERT_NE(stored, nullptr) << path;
        EXPECT_EQ(stored->pInterface, ManagerPluginInterface()) << path;
    }
    // Newest first: the last of the table is at the front.
    EXPECT_STREQ(registry_->Services().front()->szName, "manager/SetWindowIcon");
    EXPECT_STREQ(registry_->Services().back()->szName, "manager/Configure/GetString");
}

TEST_F(ManagerPluginBoundTest, SettingDialogsAreMadeHiddenWhenProvideSetCWndFirstHandsThemOut)
{
    // LoadPlugin makes the object only; the first call makes its window
    // before the caller reads the handle, and later calls find it made. The
    // system settings page, which never shows, waits for the dialog's first
    // show.
    ASSERT_NE(SettingDialog(), nullptr);
    EXPECT_FALSE(SettingDialog()->IsWindow());
    EXPECT_EQ(SystemSettingPage(), nullptr);
    HWND handedOut = nullptr;
    for (int call = 0; call < 2; ++call) {
        TService record{};
        ASSERT_EQ(Call(kProvideSetCWndService, nullptr, &record), 1);
        ASSERT_NE(KivraWindowHandle(record.hWnd), nullptr) << call;
        if (call == 0)
            handedOut = KivraWindowHandle(record.hWnd);
        EXPECT_EQ(KivraWindowHandle(record.hWnd), handedOut) << "made once";
    }
    EXPECT_EQ(SettingDialog()->Handle(), handedOut);
    EXPECT_FALSE(SettingDialog()->IsVisible());
    EXPECT_EQ(GetWindow(SettingDialog()->Handle(), GW_OWNER), nullptr);
    EXPECT_EQ(SystemSettingPage(), nullptr);
    Call("manager/ShowSetWindow");
    ASSERT_NE(SystemSettingPage(), nullptr);
    EXPECT_EQ(SettingDialog()->Handle(), handedOut) << "the same dialog shows";
    EXPECT_EQ(SystemSettingPage()->Parent().Handle(), SettingDialog()->Handle());
    EXPECT_NE(SystemSettingPage()->Style() & WS_CHILD, 0);
    EXPECT_FALSE(SystemSettingPage()->IsVisible());
}

TEST_F(ManagerPluginBoundTest, ProvideSetCWndCopiesItsRecordOverTheCallersRecord)
{
    TService record{};
    record.uMessage = 99;
    record.pfnHandler = reinterpret_cast<TServiceHandler>(1);
    EXPECT_EQ(Call(kProvideSetCWndService, nullptr, &record), 1);
    EXPECT_STREQ(record.szName, kProvideSetCWndService);
    EXPECT_EQ(record.uMessage, 0u);
    EXPECT_EQ(record.pfnHandler, nullptr);
    EXPECT_EQ(record.pInterface, ManagerPluginInterface());
    // Not a window handle: the settings dialog's object.
    EXPECT_EQ(reinterpret_cast<void*>(record.hWnd), static_cast<void*>(static_cast<CWindow*>(SettingDialog())));

    // Once the dialogs are gone nobody is handed the old pointer.
    DestroySettingDialogs();
    TService after{};
    EXPECT_EQ(Call(kProvideSetCWndService, nullptr, &after), 1);
    EXPECT_EQ(after.hWnd, nullptr);
}

TEST_F(ManagerPluginBoundTest, PutWindowTopMostTwiceLeavesTheWindowNotTopMost)
{
    ASSERT_FALSE(TopMost());
    EXPECT_TRUE(NextTopMostCallRaises());
    Call("manager/PutWindowTopMost");
    EXPECT_TRUE(TopMost());
    EXPECT_FALSE(NextTopMostCallRaises());
    Call("manager/PutWindowTopMost");
    EXPECT_FALSE(TopMost());
    EXPECT_TRUE(IsWindowVisible(host_));
}

TEST_F(ManagerPluginBoundTest, HostServicesDoNothingWithoutAHost)
{
    UnloadAllPlugins();
    CServiceRegistry::DestroyRegistry();
    registry_ = CServiceRegistry::GetRegistry();
    registry_->SetHost(nullptr, nullptr);
    ASSERT_EQ(BindPlugin(registry_, ManagerPluginEntryPoints()), 1);

    TParam param{};
    param.wParam = SW_SHOW;
    for (const char* path : {"manager/PutWindowTopMost", "manager/ShowWindow", "manager/ShowTray",
                             "manager/PopupTray", "manager/ShowMainWindow", "manager/HideMainWindow",
                             "manager/ProgramExit", "manager/MaximizeWindow", "manager/RestoreWindow"})
        EXPECT_EQ(Handler(path, &param), 0) << path;
    EXPECT_TRUE(NextTopMostCallRaises());
    EXPECT_FALSE(IsWindowVisible(host_)) << "the window was shown";
    EXPECT_FALSE(TopMost());
}

TEST_F(ManagerPluginBoundTest, ShowWindowAppliesTheShowCommandToTheHost)
{
    TParam param{};
    param.wParam = SW_SHOWNOACTIVATE;
    Call("manager/ShowWindow", &param);
    EXPECT_TRUE(IsWindowVisible(host_));
    param.wParam = SW_HIDE;
    Call("manager/ShowWindow", &param);
    EXPECT_FALSE(IsWindowVisible(host_));
}

TEST_F(ManagerPluginBoundTest, TrayAndCloseServicesSendOrPostToTheHost)
{
    MSG msg;
    Call("manager/ShowMainWindow");
    ASSERT_TRUE(PeekMessageW(&msg, host_, 0x0466, 0x0466, PM_REMOVE)) << "ShowMainWindow posts the tray callback";
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_EQ(msg.lParam, WM_LBUTTONDBLCLK);
    Call("manager/HideMainWindow");
    ASSERT_TRUE(PeekMessageW(&msg, host_, WM_SYSCOMMAND, WM_SYSCOMMAND, PM_REMOVE));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(SC_CLOSE));
}

TEST_F(ManagerPluginBoundTest, ConfigureGetStringWritesNoFurtherThanTheTranslation)
{
    // No product here: every id translates to itself.
    wchar_t buffer[16];
    std::fill(std::begin(buffer), std::end(buffer), L'#');
    CopyText(buffer, 4, L"abc");
    buffer[4] = L'#';
    TParam param{};
    param.pszText = buffer;
    EXPECT_EQ(Handler("manager/Configure/GetString", &param), 0) << "not found";
    EXPECT_STREQ(buffer, L"abc");
    for (size_t i = 4; i < 16; ++i)
        ASSERT_EQ(buffer[i], L'#') << "written past the text at " << i;

    // A capacity in wParam cuts the text to the caller's buffer.
    param.wParam = 3;
    Handler("manager/Configure/GetString", &param);
    EXPECT_STREQ(buffer, L"ab");
    EXPECT_EQ(buffer[3], 0) << "the old terminator";
    EXPECT_EQ(buffer[4], L'#');

    param.pszText = nullptr;
    EXPECT_EQ(Handler("manager/Configure/GetString", &param), 0);
}

TEST_F(ManagerPluginBoundTest, LoadImageAnswersInPDataAndClearsItWhenNothingLoads)
{
    // The bitmap comes back in pData itself: a caller that zeroed its TParam,
    // as every caller does, gets the handle there.
    TParam param{};
    param.pData = reinterpret_cast<void*>(static_cast<INT_PTR>(0x1234));
    EXPECT_EQ(Handler("manager/LoadImage", &param), 0) << "no name";
    EXPECT_EQ(param.pData, nullptr);
    // A name without a configuration: nothing loads, the output is cleared.
    param.pszText = const_cast<wchar_t*>(L"back.bmp");
    param.pData = reinterpret_cast<void*>(static_cast<INT_PTR>(0x1234));
    EXPECT_EQ(Handler("manager/LoadImage", &param), 0);
    EXPECT_EQ(param.pData, nullptr);
}

TEST_F(ManagerPluginBoundTest, RecordServicesIgnoreMissingRecords)
{
    TParam param{};
    for (const char* path : {"manager/SelectPluginName", "manager/DeletePluginRes", "manager/SetWindowIcon"})
        EXPECT_EQ(Handler(path, &param), 0) << path;
    // A pData that is no window is not sent anything.
    param.pData = reinterpret_cast<void*>(0x12345678);
    EXPECT_EQ(Handler("manager/SetWindowIcon", &param), 0);
}

TEST_F(ManagerPluginBoundTest, ShowSetWindowShowsTheSettingsDialog)
{
    ASSERT_NE(SettingDialog(), nullptr);
    Call("manager/ShowSetWindow");
    EXPECT_TRUE(SettingDialog()->IsVisible());
}

TEST_F(ManagerPluginBoundTest, UnloadPluginForgetsTheInterface)
{
    ASSERT_NE(ManagerPluginInterface(), nullptr);
    UnloadAllPlugins();
    EXPECT_EQ(ManagerPluginInterface(), nullptr);
}

}  // namespace
