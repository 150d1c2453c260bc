#include "plugin/ManagerPlugin.h"

#include "app/ExitConfirmation.h"
#include "config/Configure.h"
#include "config/SkinToolArea.h"
#include "config/XmlDocument.h"
#include "dialogs/SettingDlg.h"
#include "dialogs/SystemSetDlg.h"
#include "framework/DiskFile.h"
#include "framework/Handles.h"
#include "framework/Text.h"
#include "mainwindow/FrameContext.h"
#include "mainwindow/NurelMainWindow.h"
#include "plugin/ServiceRegistry.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <string>

namespace kivra {

namespace {

CPluginInterface* g_interface = nullptr;  // the registry owns it
void* g_host = nullptr;                   // the main window object, not ours
std::unique_ptr<CSettingDlg> g_settingDialog;
std::unique_ptr<CSystemSetDlg> g_systemSettingPage;
wchar_t g_messageBoxCaption[kMessageBoxCaptionUnits] = L"Bramic";
bool g_nextTopMostRaises = true;
UniqueIcon g_windowIcon;  // the logo handed out by "manager/SetWindowIcon"

// Translations written into a caller's buffer are cut to this many units
// (the size of TranslateText's buffer) unless the caller says how large its
// buffer is.
constexpr size_t kCallerTextUnits = kTranslateTextUnits;

// The main window's handle while the plugin has a host; null otherwise.
HWND HostWindow()
{
    if (g_host == nullptr)
        return nullptr;
    CServiceRegistry* registry = CServiceRegistry::ExistingRegistry();
    return registry ? registry->HostWindow() : nullptr;
}

CNurelMainWindow* HostMainWindow()
{
    return dynamic_cast<CNurelMainWindow*>(CWindow::FromHandle(HostWindow()));
}

// ---------------------------------------------------------------------------
// Handlers, in table order. Each answers int handler(TService*, TParam*); the
// registry ignores the answer, so it matters only to direct callers.

// 1 "manager/Configure/GetString": translates param->pszText in place.
// The caller's buffer has no stated size: a non-zero wParam gives its
// capacity in units, otherwise it is taken to hold kCallerTextUnits. Only the
// translation and its terminator are written, never the rest of the buffer.
// Answers whether the id was found (or empty).
int __cdecl ConfigureGetString(TService*, TParam* param)
{
    if (param == nullptr || param->pszText == nullptr)
        return 0;
    const size_t capacity = param->wParam != 0 ? static_cast<size_t>(param->wParam) : kCallerTextUnits;
    wchar_t translated[kTranslateTextUnits];
    bool found = false;
    if (CConfigure* configure = GetConfigure())
        found = configure->Language().Translate(param->pszText, translated);
    else
        CopyText(translated, param->pszText);
    const size_t length = wcsnlen(translated, kTranslateTextUnits);
    CopyText(param->pszText, std::min(length + 1, capacity), translated);
    return found ? 1 : 0;
}

// 2 "manager/Notification/DisplayWnd"
int __cdecl NotificationDisplayWnd(TService*, TParam*)
{
    return 0;  // Shows the taskbar notifier with pszText once the notifier window exists.
}

// 3 "manager/MainApp/ShowStatusBar"
int __cdecl MainAppShowStatusBar(TService*, TParam*)
{
    return 0;  // Updates a status-bar pane (TStatusPaneInfo) once the status bar exists.
}

// 5 "manager/ShowSetWindow"
int __cdecl ShowSetWindow(TService*, TParam*)
{
    if (!g_settingDialog || !g_settingDialog->IsWindow())
        return 0;
    ::SetForegroundWindow(g_settingDialog->Handle());
    g_settingDialog->Show(SW_SHOW);
    return 1;
}

// 6 "manager/Dropzone/UpdateLastData"
int __cdecl DropzoneUpdateLastData(TService*, TParam*)
{
    return 0;  // Feeds the floating window's sample curve once the floating window draws one.
}

// 7 "manager/Dropzone/ShowDataStatus"
int __cdecl DropzoneShowDataStatus(TService*, TParam*)
{
    return 0;  // Sets the floating window's data-status flag once the floating window draws one.
}

// 8 "manager/CheckDropzoneItem"
int __cdecl CheckDropzoneItem(TService*, TParam*)
{
    return 0;  // Toggles the floating window through the tray menu's item once the tray menu exists.
}

// 9 "manager/Tray/SetToolTip"
int __cdecl TraySetToolTip(TService*, TParam*)
{
    return 0;  // Sets the tray icon's tip once the tray icon exists.
}

// 10 "manager/ChangeTrayIcon"
int __cdecl ChangeTrayIcon(TService*, TParam*)
{
    return 0;  // Sets the tray icon's picture once the tray icon exists.
}

// 11 "manager/PopupTray": a tray double click, sent.
int __cdecl PopupTray(TService*, TParam*)
{
    HWND host = HostWindow();
    if (host == nullptr)
        return 0;
    ::SendMessageW(host, kTrayCallbackMessage, 0, WM_LBUTTONDBLCLK);
    return 1;
}

// 12 "manager/ShowTray": hides the main window to the tray.
int __cdecl ShowTray(TService*, TParam*)
{
    HWND host = HostWindow();
    if (host == nullptr)
        return 0;
    ::SendMessageW(host, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    return 1;
}

// 13 "manager/ProgramExit": the exit confirmation, then the exit operation.
// Answers the confirmation's "no" (0); 1 when the application is ending.
int __cdecl ProgramExit(TService*, TParam*)
{
    CNurelMainWindow* window = HostMainWindow();
    if (window == nullptr)
        return 0;
    if (!ConfirmExit(window->Handle()))
        return 0;
    window->ExitOperation();
    return 1;
}

// 14 "manager/ShowWaitDlg"
int __cdecl ShowWaitDlg(TService*, TParam*)
{
    return 0;  // Opens, updates or closes the wait dialog once the wait dialog exists.
}

// 15 "manager/LoadImage": pszText is an image file name (skin folder first,
// then common\); the bitmap handle comes back in pData itself (null when the
// image does not load). The caller owns the bitmap.
int __cdecl LoadImage(TService*, TParam* param)
{
    if (param == nullptr)
        return 0;
    param->pData = nullptr;
    if (param->pszText == nullptr)
        return 0;
    CConfigure* configure = GetConfigure();
    if (configure == nullptr)
        return 0;
    HBITMAP bitmap = nullptr;
    const bool loaded = configure->Skin().LoadSkinImage(param->pszText, &bitmap);
    param->pData = bitmap;
    return loaded ? 1 : 0;
}

// 16 "manager/ModifyButtonInfo"
int __cdecl ModifyButtonInfo(TService*, TParam*)
{
    return 0;  // Changes a skin button (TButtonInfo) once the skin buttons exist.
}

// 17 "manager/ShowAboutDlg"
int __cdecl ShowAboutDlg(TService*, TParam*)
{
    return 0;  // Runs the About dialog once it exists.
}

// 18 "manager/ShowMainWindow": a tray double click, posted.
int __cdecl ShowMainWindow(TService*, TParam*)
{
    HWND host = HostWindow();
    if (host == nullptr)
        return 0;
    ::PostMessageW(host, kTrayCallbackMessage, 0, WM_LBUTTONDBLCLK);
    return 1;
}

// 19 "manager/ShowWindow": ShowWindow(host, wParam).
int __cdecl ShowWindowService(TService*, TParam* param)
{
    HWND host = HostWindow();
    if (host == nullptr || param == nullptr)
        return 0;
    ::ShowWindow(host, static_cast<int>(param->wParam));
    return 1;
}

// 20 "manager/HideMainWindow": the close box's path, with the exit confirmation.
int __cdecl HideMainWindow(TService*, TParam*)
{
    HWND host = HostWindow();
    if (host == nullptr)
        return 0;
    ::PostMessageW(host, WM_SYSCOMMAND, SC_CLOSE, 0);
    return 1;
}

// 21 "manager/ShowHelpFile"
int __cdecl ShowHelpFile(TService*, TParam*)
{
    return 0;  // Opens the product's help file (or brings it forward) once help lands.
}

// 22 "manager/EnableCommandItem"
int __cdecl EnableCommandItem(TService*, TParam*)
{
    return 0;  // Enables or disables a command (TCommandItem) once the command registry exists.
}

// 23 "manager/RegisterCommandFunction"
int __cdecl RegisterCommandFunction(TService*, TParam*)
{
    return 0;  // Stores a command's service and function (TCommandItem) once the command registry exists.
}

// 24 "manager/UpgradeOnline"
int __cdecl UpgradeOnline(TService*, TParam*)
{
    return 0;  // Starts update.exe (or brings it forward) once upgrading lands.
}

// 25 "manager/CheckMenuItem"
int __cdecl CheckMenuItem(TService*, TParam*)
{
    return 0;  // Checks a skin menu item (TMenuCheckInfo) once the skin menus exist.
}

// 26 "manager/MaximizeWindow": max mode, when the skin has one.
int __cdecl MaximizeWindow(TService*, TParam*)
{
    FrameContext* frame = ExistingFrameContext();
    if (frame == nullptr || frame->MainWindowHandle() == nullptr || !frame->MaxWindowEnabled())
        return 0;
    frame->SwitchToMaxMode();
    return 1;
}

// 27 "manager/RestoreWindow": normal mode.
int __cdecl RestoreWindow(TService*, TParam*)
{
    FrameContext* frame = ExistingFrameContext();
    if (frame == nullptr || frame->MainWindowHandle() == nullptr)
        return 0;
    frame->SwitchToNormalMode();
    return 1;
}

// 28 "manager/PutWindowTopMost": top-most and back, in turns; the first call raises.
int __cdecl PutWindowTopMost(TService*, TParam*)
{
    HWND host = HostWindow();
    if (host == nullptr)
        return 0;
    ::SetWindowPos(host, g_nextTopMostRaises ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    g_nextTopMostRaises = !g_nextTopMostRaises;
    return 1;
}

// 29 "manager/SelectPluginName": fills the TPluginSkin in pData from the
// skin's section for that plugin; answers whether there is one.
int __cdecl SelectPluginName(TService*, TParam* param)
{
    if (param == nullptr || param->pData == nullptr)
        return 0;
    auto* request = static_cast<TPluginSkin*>(param->pData);
    CConfigure* configure = GetConfigure();
    if (configure == nullptr) {
        request->bFound = 0;
        return 0;
    }
    SelectPluginSkin(configure->Skin(), request);
    return request->bFound ? 1 : 0;
}

// 30 "manager/DeletePluginRes": gives back the control list nodes of pData.
int __cdecl DeletePluginRes(TService*, TParam* param)
{
    if (param == nullptr || param->pData == nullptr)
        return 0;
    DeletePluginResources(static_cast<TPluginSkin*>(param->pData));
    return 1;
}

// 31 "manager/SetWindowIcon": the configured logo on the window in pData.
int __cdecl SetWindowIcon(TService*, TParam* param)
{
    if (param == nullptr || param->pData == nullptr)
        return 0;
    HWND window = static_cast<HWND>(param->pData);
    if (!::IsWindow(window))
        return 0;
    // Loaded once: every window that asks shows the same icon, which must
    // outlive them all, so it is kept until the process ends.
    if (!g_windowIcon) {
        wchar_t folder[kMaxPathChars + 1];
        if (!ExecutableFolder(folder, kMaxPathChars + 1))
            return 0;
        wchar_t configPath[kMaxPathChars + 1];
        if (!CopyText(configPath, folder) || !AppendText(configPath, L"common\\config.xml"))
            return 0;
        CXmlDocument document;
        std::wstring logo;
        if (!document.Load(configPath) || !document.ReadText(L"main-frame/logo", &logo) || logo.empty())
            return 0;
        wchar_t iconPath[kMaxPathChars + 1];
        if (!CopyText(iconPath, folder) || !AppendText(iconPath, L"common\\") ||
            !AppendText(iconPath, logo.c_str()))
            return 0;
        g_windowIcon.reset(LoadIconFile(iconPath));
        if (!g_windowIcon)
            return 0;
    }
    ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(g_windowIcon.get()));
    ::SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(g_windowIcon.get()));
    return 1;
}

TService Record(const char* path, TServiceHandler handler)
{
    TService record{};
    CopyText(record.szName, path);
    record.pfnHandler = handler;
    return record;
}

// The manager's services, in registration order.
TService g_services[kManagerServiceCount] = {
    Record("manager/Configure/GetString", ConfigureGetString),
    Record("manager/Notification/DisplayWnd", NotificationDisplayWnd),
    Record("manager/MainApp/ShowStatusBar", MainAppShowStatusBar),
    Record(kProvideSetCWndService, nullptr),  // a data record: the settings dialog's object
    Record("manager/ShowSetWindow", ShowSetWindow),
    Record("manager/Dropzone/UpdateLastData", DropzoneUpdateLastData),
    Record("manager/Dropzone/ShowDataStatus", DropzoneShowDataStatus),
    Record("manager/CheckDropzoneItem", CheckDropzoneItem),
    Record("manager/Tray/SetToolTip", TraySetToolTip),
    Record("manager/ChangeTrayIcon", ChangeTrayIcon),
    Record("manager/PopupTray", PopupTray),
    Record("manager/ShowTray", ShowTray),
    Record("manager/ProgramExit", ProgramExit),
    Record("manager/ShowWaitDlg", ShowWaitDlg),
    Record("manager/LoadImage", LoadImage),
    Record("manager/ModifyButtonInfo", ModifyButtonInfo),
    Record("manager/ShowAboutDlg", ShowAboutDlg),
    Record("manager/ShowMainWindow", ShowMainWindow),
    Record("manager/ShowWindow", ShowWindowService),
    Record("manager/HideMainWindow", HideMainWindow),
    Record("manager/ShowHelpFile", ShowHelpFile),
    Record("manager/EnableCommandItem", EnableCommandItem),
    Record("manager/RegisterCommandFunction", RegisterCommandFunction),
    Record("manager/UpgradeOnline", UpgradeOnline),
    Record("manager/CheckMenuItem", CheckMenuItem),
    Record("manager/MaximizeWindow", MaximizeWindow),
    Record("manager/RestoreWindow", RestoreWindow),
    Record("manager/PutWindowTopMost", PutWindowTopMost),
    Record("manager/SelectPluginName", SelectPluginName),
    Record("manager/DeletePluginRes", DeletePluginRes),
    Record("manager/SetWindowIcon", SetWindowIcon),
};

TService& ProvideSetCWndRecord()
{
    return g_services[3];
}

// Makes dialog 130 (parent: the desktop) and 131 (its child), both hidden.
// Either may fail when the executable has no such template; the shell goes on
// without them.
void CreateSettingDialogs()
{
    g_systemSettingPage.reset();
    g_settingDialog.reset(new (std::nothrow) CSettingDlg());
    if (g_settingDialog && !g_settingDialog->Create(::GetDesktopWindow()))
        g_settingDialog.reset();
    if (g_settingDialog) {
        g_settingDialog->Hide();
        g_systemSettingPage.reset(new (std::nothrow) CSystemSetDlg());
        if (g_systemSettingPage && !g_systemSettingPage->Create(g_settingDialog->Handle()))
            g_systemSettingPage.reset();
        if (g_systemSettingPage)
            g_systemSettingPage->Hide();
    }
}

// ---------------------------------------------------------------------------
// Entry points.

// void GetPluginInfo(PluginInfo* info)
void __cdecl GetPluginInfo(PluginInfo* info)
{
    if (info == nullptr)
        return;
    std::memset(info, 0, sizeof(PluginInfo));
    CopyText(info->szName, kManagerPluginName);
    CopyText(info->szSecondName, kManagerPluginName);
    info->dwVersion = kManagerPluginVersion;
}

// bool CheckDependenceInfo(unsigned long hostVersion): the shell is its own host.
bool __cdecl CheckDependenceInfo(unsigned long)
{
    return true;
}

// bool LoadPlugin(CPluginInterface* iface, void* host)
bool __cdecl LoadPlugin(CPluginInterface* iface, void* host)
{
    g_interface = iface;
    g_host = host;
    g_nextTopMostRaises = true;

    CreateSettingDialogs();
    // Plugins take this pointer as the parent object of their settings pages.
    ProvideSetCWndRecord().hWnd = reinterpret_cast<HWND>(static_cast<CWindow*>(g_settingDialog.get()));

    CServiceRegistry* registry = CServiceRegistry::GetRegistry();
    for (TService& record : g_services) {
        record.pInterface = iface;
        if (registry != nullptr)
            registry->AddService(&record);
    }
    return true;
}

// bool UnloadPlugin(void)
bool __cdecl UnloadPlugin()
{
    g_interface = nullptr;
    DestroyFrameContext();  // and with it the configuration
    return true;
}

// int ExecuteService(TService* service, TParam* param)
int __cdecl ExecuteService(TService* service, TParam* param)
{
    if (service == nullptr || service->pfnHandler == nullptr)
        return 0;
    return service->pfnHandler(service, param);
}

}  // namespace

void SetMessageBoxCaption(const wchar_t* caption)
{
    CopyText(g_messageBoxCaption, caption);
}

const wchar_t* MessageBoxCaption()
{
    return g_messageBoxCaption;
}

PluginEntryPoints ManagerPluginEntryPoints()
{
    return {ExecuteService, UnloadPlugin, GetPluginInfo, LoadPlugin, CheckDependenceInfo};
}

CPluginInterface* ManagerPluginInterface()
{
    return g_interface;
}

void* ManagerPluginHost()
{
    return g_host;
}

std::span<const TService> ManagerServiceTable()
{
    return g_services;
}

CSettingDlg* SettingDialog()
{
    return g_settingDialog.get();
}

CSystemSetDlg* SystemSettingPage()
{
    return g_systemSettingPage.get();
}

void DestroySettingDialogs()
{
    g_settingDialog.reset();
    g_systemSettingPage.reset();
    ProvideSetCWndRecord().hWnd = nullptr;
    if (CServiceRegistry* registry = CServiceRegistry::ExistingRegistry())
        if (TService* stored = registry->FindService(kProvideSetCWndService))
            stored->hWnd = nullptr;
}

bool NextTopMostCallRaises()
{
    return g_nextTopMostRaises;
}

}  // namespace kivra

extern "C" KIVRA_API int __cdecl PluginMessageBox(const wchar_t* text, HWND owner, unsigned type,
                                                  const wchar_t* caption)
{
    return ::MessageBoxW(owner, text, caption != nullptr ? caption : kivra::g_messageBoxCaption, type);
}
