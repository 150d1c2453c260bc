#include "plugin/ManagerPlugin.h"

#include "config/Configure.h"
#include "config/SkinPluginPanel.h"
#include "config/XmlDocument.h"
#include "framework/DiskFile.h"
#include "framework/Handles.h"
#include "framework/Text.h"
#include "plugin/ManagerHost.h"
#include "plugin/ServiceRegistry.h"
#include "plugin/ShellMessages.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <string>
#include <type_traits>

namespace kivra {

static_assert(std::is_same_v<CommandCallback, TCommandFunction>);

namespace {

// A fixed text field of a plugin's record, read within its width whether or
// not it is terminated: at most N - 1 units, as a copy into a field of the
// same size keeps.
template <typename Char, size_t N>
std::basic_string<Char> FieldText(const Char (&field)[N])
{
    size_t length = 0;
    while (length < N - 1 && field[length] != 0)
        ++length;
    return std::basic_string<Char>(field, length);
}

}  // namespace

TWaitRequest WaitRequestOf(const TParam& param)
{
    TWaitRequest request;
    request.close = param.nCode == 0;
    request.background = static_cast<COLORREF>(param.wParam);
    request.textColour = static_cast<COLORREF>(param.lParam);
    if (param.pszText != nullptr)
        request.text = std::wstring(param.pszText, wcsnlen(param.pszText, kWaitRequestTextChars));
    request.image = static_cast<HBITMAP>(param.pData);
    if (param.rcLeft != param.rcRight && param.rcTop != param.rcBottom)
        request.sizeRect = RECT{param.rcLeft, param.rcTop, param.rcRight, param.rcBottom};
    return request;
}

TStatusPaneRequest StatusPaneRequestOf(const TStatusPaneInfo& pane)
{
    return {FieldText(pane.szCommandName), pane.nPaneId, FieldText(pane.szText), pane.hIcon};
}

TButtonChange ButtonChangeOf(const TButtonInfo& info)
{
    TButtonChange change;
    change.name = FieldText(info.szName);
    change.owner = FieldText(info.szOwner);
    change.service = FieldText(info.szService);
    change.normalImage = FieldText(info.szNormalImage);
    change.downImage = FieldText(info.szDownImage);
    change.focusImage = FieldText(info.szFocusImage);
    change.hoverImage = FieldText(info.szHoverImage);
    change.disabledImage = FieldText(info.szDisableImage);
    change.caption = FieldText(info.szCaption);
    change.tooltip = FieldText(info.szTooltip);
    change.hide = info.bHide != 0;
    return change;
}

TCommandRequest CommandRequestOf(const TCommandItem& item)
{
    return {FieldText(item.szName), FieldText(item.szService), item.nCommandId, item.pfnFunction, item.bEnable != 0};
}

TMenuCheckRequest MenuCheckRequestOf(const TMenuCheckInfo& check)
{
    return {FieldText(check.szMenuName), FieldText(check.szItemText), check.nCommandId, check.nPosition,
            check.bCheck != 0};
}

namespace {

// What the built-in plugin keeps while it is bound: made by its LoadPlugin,
// dropped by its UnloadPlugin.
struct ManagerState {
    CPluginInterface* iface = nullptr;  // the registry owns it
    IManagerHost* host = nullptr;       // the main window, not ours; null without one
    bool nextTopMostRaises = true;      // "manager/PutWindowTopMost" alternates
    // The logo handed out by "manager/SetWindowIcon". The built-in plugin is
    // unloaded last, when no plugin window is left to show it.
    UniqueIcon windowIcon;
};

std::unique_ptr<ManagerState> g_state;

// PluginMessageBox's caption, for the whole process (plugins call it before
// and after the built-in plugin is bound).
wchar_t g_messageBoxCaption[kMessageBoxCaptionUnits] = L"Bramic";

// Translations written into a caller's buffer are cut to this many units
// (the size of TranslateText's buffer) unless the caller says how large its
// buffer is.
constexpr size_t kCallerTextUnits = kTranslateTextUnits;

IManagerHost* Host()
{
    return g_state ? g_state->host : nullptr;
}

// The main window's handle while the plugin has a host; null otherwise.
HWND HostWindow()
{
    IManagerHost* host = Host();
    return host ? host->HostWindow() : nullptr;
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

// 2 "manager/Notification/DisplayWnd": the notifier with pszText; nothing
// without a text.
int __cdecl NotificationDisplayWnd(TService*, TParam* param)
{
    IManagerHost* host = Host();
    if (host == nullptr || param == nullptr || param->pszText == nullptr)
        return 0;
    return host->ShowNotification(param->pszText) ? 1 : 0;
}

// The services that only ask the shell to do something: 1 when it was done.
template <bool (IManagerHost::*Need)()>
int __cdecl AskHost(TService*, TParam*)
{
    IManagerHost* host = Host();
    return host != nullptr && (host->*Need)() ? 1 : 0;
}

// The services that hand a plugin's record (pData) to the shell, read into
// the shell's request by Read.
template <typename Record, auto Read, auto Need>
int __cdecl WithRecord(TService*, TParam* param)
{
    IManagerHost* host = Host();
    if (host == nullptr || param == nullptr || param->pData == nullptr)
        return 0;
    return (host->*Need)(Read(*static_cast<const Record*>(param->pData))) ? 1 : 0;
}

// 3 "manager/MainApp/ShowStatusBar", TStatusPaneInfo
constexpr TServiceHandler MainAppShowStatusBar =
    WithRecord<TStatusPaneInfo, StatusPaneRequestOf, &IManagerHost::ShowStatusPane>;
// 16 "manager/ModifyButtonInfo", TButtonInfo
constexpr TServiceHandler ModifyButtonInfo = WithRecord<TButtonInfo, ButtonChangeOf, &IManagerHost::ModifyButton>;
// 22 "manager/EnableCommandItem", TCommandItem
constexpr TServiceHandler EnableCommandItem =
    WithRecord<TCommandItem, CommandRequestOf, &IManagerHost::EnableCommandItem>;
// 23 "manager/RegisterCommandFunction", TCommandItem
constexpr TServiceHandler RegisterCommandFunction =
    WithRecord<TCommandItem, CommandRequestOf, &IManagerHost::RegisterCommandFunction>;
// 25 "manager/CheckMenuItem", TMenuCheckInfo
constexpr TServiceHandler CheckMenuItemService =
    WithRecord<TMenuCheckInfo, MenuCheckRequestOf, &IManagerHost::SetMenuCheck>;

// 8 "manager/CheckDropzoneItem": the floating window with the drop-zone item.
constexpr TServiceHandler CheckDropzoneItem = AskHost<&IManagerHost::ToggleDropZone>;
// 5 "manager/ShowSetWindow"
constexpr TServiceHandler ShowSetWindow = AskHost<&IManagerHost::ShowSettingDialog>;

// 6 "manager/Dropzone/UpdateLastData": the low 8 bits of wParam as the new
// sample, lParam as the number, pszText (when set) as the tooltip.
int __cdecl DropzoneUpdateLastData(TService*, TParam* param)
{
    IManagerHost* host = Host();
    if (host == nullptr || param == nullptr)
        return 0;
    const auto sample = static_cast<unsigned char>(param->wParam & 0xFF);
    return host->UpdateDropZoneData(sample, static_cast<long>(param->lParam), param->pszText) ? 1 : 0;
}

// 7 "manager/Dropzone/ShowDataStatus": the graph on (wParam not 0) or off.
int __cdecl DropzoneShowDataStatus(TService*, TParam* param)
{
    IManagerHost* host = Host();
    if (host == nullptr || param == nullptr)
        return 0;
    return host->ShowDropZoneDataStatus(param->wParam != 0) ? 1 : 0;
}

// 9 "manager/Tray/SetToolTip": pszText becomes the tray icon's tip.
int __cdecl TraySetToolTip(TService*, TParam* param)
{
    IManagerHost* host = Host();
    return host != nullptr && param != nullptr && param->pszText != nullptr && host->SetTrayTip(param->pszText) ? 1
                                                                                                               : 0;
}

// 10 "manager/ChangeTrayIcon": the HICON in pData becomes the tray icon's picture.
int __cdecl ChangeTrayIcon(TService*, TParam* param)
{
    IManagerHost* host = Host();
    return host != nullptr && param != nullptr && param->pData != nullptr &&
                   host->SetTrayIcon(static_cast<HICON>(param->pData))
               ? 1
               : 0;
}

// The services that send (or post) one message to the main window.
enum class Delivery { Send, Post };
template <Delivery How, UINT Message, WPARAM WParam, LPARAM LParam>
int __cdecl TellHostWindow(TService*, TParam*)
{
    HWND host = HostWindow();
    if (host == nullptr)
        return 0;
    if (How == Delivery::Send)
        ::SendMessageW(host, Message, WParam, LParam);
    else
        ::PostMessageW(host, Message, WParam, LParam);
    return 1;
}

// 11 "manager/PopupTray": a tray double click, sent.
constexpr TServiceHandler PopupTray = TellHostWindow<Delivery::Send, kTrayCallbackMessage, 0, WM_LBUTTONDBLCLK>;
// 12 "manager/ShowTray": hides the main window to the tray.
constexpr TServiceHandler ShowTray = TellHostWindow<Delivery::Send, WM_SYSCOMMAND, SC_MINIMIZE, 0>;

// 13 "manager/ProgramExit": the exit confirmation, then the exit operation.
// Answers the confirmation's "no" (0); 1 when the application is ending.
int __cdecl ProgramExit(TService*, TParam*)
{
    IManagerHost* host = Host();
    if (host == nullptr || !host->ConfirmExit())
        return 0;
    host->ExitOperation();
    return 1;
}

// 14 "manager/ShowWaitDlg": opens, updates or closes the wait dialog.
int __cdecl ShowWaitDlg(TService*, TParam* param)
{
    IManagerHost* host = Host();
    if (host == nullptr || param == nullptr)
        return 0;
    host->ShowWaitDialog(WaitRequestOf(*param));
    return 1;
}

// 15 "manager/LoadImage": pszText is an image file name (skin folder first,
// then common\); the bitmap handle comes back in pData itself (null when the
// image does not load). The caller owns the bitmap.
int __cdecl LoadImageService(TService*, TParam* param)
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

// 17 "manager/ShowAboutDlg": the About box, modally.
constexpr TServiceHandler ShowAboutDlg = AskHost<&IManagerHost::ShowAboutDialog>;

// 18 "manager/ShowMainWindow": a tray double click, posted.
constexpr TServiceHandler ShowMainWindow = TellHostWindow<Delivery::Post, kTrayCallbackMessage, 0, WM_LBUTTONDBLCLK>;

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
constexpr TServiceHandler HideMainWindow = TellHostWindow<Delivery::Post, WM_SYSCOMMAND, SC_CLOSE, 0>;

// 21 "manager/ShowHelpFile": the help, opened or brought to the front.
constexpr TServiceHandler ShowHelpFile = AskHost<&IManagerHost::OpenHelp>;
// 24 "manager/UpgradeOnline": update.exe, started or brought to the front.
constexpr TServiceHandler UpgradeOnline = AskHost<&IManagerHost::StartUpgrade>;

// 26 "manager/MaximizeWindow": max mode, when the skin has one.
constexpr TServiceHandler MaximizeWindow = AskHost<&IManagerHost::SwitchToMaxMode>;
// 27 "manager/RestoreWindow": normal mode.
constexpr TServiceHandler RestoreWindow = AskHost<&IManagerHost::SwitchToNormalMode>;

// 28 "manager/PutWindowTopMost": top-most and back, in turns; the first call raises.
int __cdecl PutWindowTopMost(TService*, TParam*)
{
    HWND host = HostWindow();
    if (host == nullptr)
        return 0;
    bool& raises = g_state->nextTopMostRaises;
    ::SetWindowPos(host, raises ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    raises = !raises;
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
    if (g_state == nullptr || !::IsWindow(window))
        return 0;
    // Loaded once: every window that asks shows the same icon, which must
    // outlive them all, so it is kept while the plugin is bound.
    UniqueIcon& icon = g_state->windowIcon;
    if (!icon) {
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
        icon.reset(LoadIconFile(iconPath));
        if (!icon)
            return 0;
    }
    ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon.get()));
    ::SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon.get()));
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
const TService kServices[kManagerServiceCount] = {
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
    Record("manager/LoadImage", LoadImageService),
    Record("manager/ModifyButtonInfo", ModifyButtonInfo),
    Record("manager/ShowAboutDlg", ShowAboutDlg),
    Record("manager/ShowMainWindow", ShowMainWindow),
    Record("manager/ShowWindow", ShowWindowService),
    Record("manager/HideMainWindow", HideMainWindow),
    Record("manager/ShowHelpFile", ShowHelpFile),
    Record("manager/EnableCommandItem", EnableCommandItem),
    Record("manager/RegisterCommandFunction", RegisterCommandFunction),
    Record("manager/UpgradeOnline", UpgradeOnline),
    Record("manager/CheckMenuItem", CheckMenuItemService),
    Record("manager/MaximizeWindow", MaximizeWindow),
    Record("manager/RestoreWindow", RestoreWindow),
    Record("manager/PutWindowTopMost", PutWindowTopMost),
    Record("manager/SelectPluginName", SelectPluginName),
    Record("manager/DeletePluginRes", DeletePluginRes),
    Record("manager/SetWindowIcon", SetWindowIcon),
};

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

// bool LoadPlugin(CPluginInterface* iface, void* host): host is the shell's
// IManagerHost (CServiceRegistry::SetHost), or null without a main window.
bool __cdecl LoadPlugin(CPluginInterface* iface, void* host)
{
    std::unique_ptr<ManagerState> state(new (std::nothrow) ManagerState());
    if (!state)
        return false;
    state->iface = iface;
    state->host = static_cast<IManagerHost*>(host);
    g_state = std::move(state);
    // The shell makes its dialogs; plugins take this pointer as the parent
    // object of their settings pages.
    IManagerHost* shell = Host();
    CWindow* settingDialog = shell != nullptr ? shell->CreateSettingDialogs() : nullptr;

    CServiceRegistry* registry = CServiceRegistry::GetRegistry();
    for (TService record : kServices) {
        record.pInterface = iface;
        if (std::strcmp(record.szName, kProvideSetCWndService) == 0)
            record.hWnd = reinterpret_cast<HWND>(settingDialog);
        if (registry != nullptr)
            registry->AddService(&record);
    }
    // The dialog's window is made before its object is first handed out.
    if (registry != nullptr && settingDialog != nullptr)
        registry->SetDataRecordReader(kProvideSetCWndService, [] {
            if (IManagerHost* host = Host())
                host->MakeSettingDialogs();
        });
    return true;
}

// bool UnloadPlugin(void)
bool __cdecl UnloadPlugin()
{
    if (IManagerHost* host = Host())
        host->ReleaseFrameContext();  // and with it the configuration
    g_state.reset();
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

int __cdecl PanelServiceHandler(TService* service, TParam*)
{
    IManagerHost* host = Host();
    return host != nullptr && service != nullptr && host->ShowPluginPanel(FieldText(service->szName)) ? 1 : 0;
}

int __cdecl MenuServiceHandler(TService* service, TParam*)
{
    IManagerHost* host = Host();
    return host != nullptr && service != nullptr && host->PopUpSkinMenu(FieldText(service->szName)) ? 1 : 0;
}

PluginEntryPoints ManagerPluginEntryPoints()
{
    return {ExecuteService, UnloadPlugin, GetPluginInfo, LoadPlugin, CheckDependenceInfo};
}

CPluginInterface* ManagerPluginInterface()
{
    return g_state ? g_state->iface : nullptr;
}

IManagerHost* ManagerPluginHost()
{
    return Host();
}

std::span<const TService> ManagerServiceTable()
{
    return kServices;
}

void ForgetSettingDialog()
{
    if (CServiceRegistry* registry = CServiceRegistry::ExistingRegistry())
        if (TService* stored = registry->FindService(kProvideSetCWndService))
            stored->hWnd = nullptr;
}

bool NextTopMostCallRaises()
{
    return g_state ? g_state->nextTopMostRaises : true;
}

void SetMessageBoxCaption(const wchar_t* caption)
{
    CopyText(g_messageBoxCaption, caption);
}

const wchar_t* MessageBoxCaption()
{
    return g_messageBoxCaption;
}

}  // namespace kivra
