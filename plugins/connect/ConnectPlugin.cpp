// connect: the connection panel of the demo product. It shows the modem's
// network, technology, registration and signal where the skin's "connect"
// section places them, asks for the SIM's PIN when the SIM wants it, and
// connects through the modem library (marvik.h) with the access point of its
// settings page. It offers the services the skin's buttons and menus call:
//
//   connect/GetPanelHandle     the panel (the shell shows it through
//                              "connect/ShowPluginPanel")
//   connect/ToggleConnection   connects or disconnects
//   connect/SetModeAuto, connect/SetMode3G, connect/SetMode2G
//                              the network mode the user prefers (kept)
//   connect/ToggleRoaming      allows or forbids connecting while roaming
//   connect/GetSettingHandle   its page of the settings dialog
//
// The modem library posts every change on the message bus; the panel then
// reads the state (ModemGetStatus never blocks), and once a second while the
// link is up for its duration and data, writes the skin's status panes
// "signal", "network" and "duration" and feeds the download speed to the
// drop zone's graph. A notification says when the link goes up or down.
// Where the system has no dial-up networking (Wine), only the demo product
// shows a simulated link instead, labelled so; any other product says it
// cannot connect. LoadPlugin makes only the empty panel: its skin section
// comes with its first show, the settings page with the shell's first ask,
// and the kept settings and the modem once the main window is up.
#include <windows.h>

#include <cwchar>
#include <string>

#include "kivra_plugin.h"
#include "marvik.h"
#include "ostel.h"
#include "../shared/PluginKit.h"
#include "ConnectResources.h"

namespace {

constexpr char kName[] = "connect";
constexpr UINT_PTR kClockTimer = 1;
constexpr UINT kClockMs = 1000;
constexpr UINT kAskForPin = WM_APP + 1;     // posted: the SIM wants its PIN
constexpr UINT kLinkFailed = WM_APP + 2;    // posted: wParam the system's dial-up error
constexpr int kSignalTiles = 6;             // the signal meter's strip: 0 to 5 bars
constexpr COLORREF kWaitBackground = RGB(218, 233, 210);
constexpr COLORREF kWaitText = RGB(31, 58, 86);

CPluginInterface* g_iface = nullptr;
HWND g_panel = nullptr;
HWND g_settingsPage = nullptr;
kit::PanelSkin g_skin;
int g_busCookie = 0;
kit::Once g_started;  // the kept settings and the modem
void EnsureStarted();

TModemStatus g_status{};      // as last read
DWORD g_lastReceived = 0;     // for the speed, a second ago
double g_speedKBps = 0;
bool g_pinOffered = false;    // the PIN dialog came up for the SIM's present lock
bool g_dialling = false;      // the wait dialog shows

// The settings page's values, and the menus' choices, kept in the database.
bool g_notifyChanges = true;
bool g_graphInDropZone = true;
std::wstring g_apn = L"internet";
std::wstring g_user;
std::wstring g_password;
bool g_allowRoaming = false;
std::wstring g_mode = L"auto";

std::wstring Format(const wchar_t* format, double value)
{
    wchar_t text[64];
    swprintf(text, 64, format, value);
    return text;
}

std::wstring Megabytes(DWORD bytes)
{
    return Format(L"%.1f MB", bytes / 1e6);
}

std::wstring Duration(DWORD seconds)
{
    wchar_t text[16];
    swprintf(text, 16, L"%02lu:%02lu:%02lu", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

bool LinkUp()
{
    return g_status.link == MODEM_LINK_UP;
}

// The panel's first line: the network, or why there is none.
std::wstring NetworkText()
{
    if (!g_status.present)
        return kit::Text(L"IDS_STATE_NO_MODEM");
    switch (g_status.sim) {
    case MODEM_SIM_ABSENT: return kit::Text(L"IDS_STATE_NO_SIM");
    case MODEM_SIM_PIN: return kit::Text(L"IDS_STATE_PIN");
    case MODEM_SIM_PUK: return kit::Text(L"IDS_STATE_PUK");
    }
    switch (g_status.registration) {
    case MODEM_REG_HOME:
    case MODEM_REG_ROAMING: return g_status.operatorName[0] ? g_status.operatorName : L"-";
    case MODEM_REG_DENIED: return kit::Text(L"IDS_STATE_DENIED");
    default: return kit::Text(L"IDS_STATE_SEARCHING");
    }
}

std::wstring LinkText()
{
    std::wstring text = kit::Text(LinkUp() ? L"IDS_STATE_CONNECTED"
                                  : g_status.link == MODEM_LINK_DIALLING ? L"IDS_STATE_CONNECTING"
                                                                         : L"IDS_STATE_DISCONNECTED");
    if (g_status.linkSimulated)
        text += L" " + kit::Text(L"IDS_STATE_SIMULATED");
    if (g_status.accessTechName[0])
        text += std::wstring(L"  \u00b7  ") + g_status.accessTechName;
    return text;
}

std::wstring SignalText()
{
    if (!g_status.present || g_status.signalDbm == MODEM_SIGNAL_UNKNOWN)
        return kit::Text(L"IDS_LABEL_SIGNAL") + L": -";
    return kit::Text(L"IDS_LABEL_SIGNAL") + L": " + std::to_wstring(g_status.signalDbm) + L" dBm";
}

void UpdateStatusPanes()
{
    kit::SetStatusPane(g_iface, "signal", SignalText());
    std::wstring network = NetworkText();
    if (g_status.accessTechName[0])
        network += std::wstring(L" ") + g_status.accessTechName;
    kit::SetStatusPane(g_iface, "network", network);
    kit::SetStatusPane(g_iface, "duration", Duration(LinkUp() ? g_status.linkSeconds : 0));
}

void Paint(HWND, HDC dc, const RECT& client)
{
    kit::DrawBackground(dc, client, g_skin.BackgroundColour(), g_skin.Background());

    const int bars = g_status.present ? g_status.signalBars : 0;
    kit::DrawControlTile(dc, g_skin.Control("signal-meter"), bars < 0 ? 0 : bars >= kSignalTiles ? kSignalTiles - 1 : bars,
                         g_skin.Mask());
    kit::DrawControlText(dc, g_skin.Control("operator-label"), NetworkText());
    kit::DrawControlText(dc, g_skin.Control("state-label"), LinkText());
    if (g_status.registration == MODEM_REG_ROAMING) {
        // Hidden by the skin until the modem roams.
        if (const TPluginControl* badge = g_skin.Control("roaming-badge")) {
            TPluginControl shown = *badge;
            shown.bVisible = 1;
            kit::DrawControlText(dc, &shown, kit::Text(L"IDS_STATE_ROAMING"));
        }
    }
    const bool up = LinkUp();
    kit::DrawControlText(dc, g_skin.Control("duration-title"), kit::Text(L"IDS_LABEL_DURATION"));
    kit::DrawControlText(dc, g_skin.Control("duration-value"), Duration(up ? g_status.linkSeconds : 0));
    kit::DrawControlText(dc, g_skin.Control("received-title"), kit::Text(L"IDS_LABEL_RECEIVED"));
    kit::DrawControlText(dc, g_skin.Control("received-value"), Megabytes(up ? g_status.bytesReceived : 0));
    kit::DrawControlText(dc, g_skin.Control("sent-title"), kit::Text(L"IDS_LABEL_SENT"));
    kit::DrawControlText(dc, g_skin.Control("sent-value"), Megabytes(up ? g_status.bytesSent : 0));
    kit::DrawControlText(dc, g_skin.Control("speed-title"), kit::Text(L"IDS_LABEL_SPEED"));
    kit::DrawControlText(dc, g_skin.Control("speed-value"), up ? Format(L"%.0f kB/s", g_speedKBps) : std::wstring(L"-"));
}

// The network mode items can be changed only while disconnected. A command
// item with a name and no id only enables or grays that command.
void EnableModeItems(bool enable)
{
    for (const char* name : {"mode-auto", "mode-3g", "mode-2g"}) {
        TCommandItem command{};
        kit::CopyName(command.szName, name);
        command.bEnable = enable ? 1 : 0;
        TParam param{};
        param.pData = &command;
        kit::Call(g_iface, KIVRA_SVC_ENABLE_COMMAND_ITEM, &param);
    }
}

void ShowDialling(bool show)
{
    if (show == g_dialling)
        return;
    g_dialling = show;
    if (!show) {
        ShowWaitTipWindow(nullptr, false);
        return;
    }
    InitWaitDlg(0, 0, 0.0f, 0.0f, kWaitBackground, kWaitText);
    TParam picture{};
    picture.pszText = const_cast<wchar_t*>(L"wait.JPG");
    kit::Call(g_iface, KIVRA_SVC_LOAD_IMAGE, &picture);
    if (picture.pData != nullptr) {
        SetWaitDlgBkImage(static_cast<HBITMAP>(picture.pData));
        DeleteObject(picture.pData);  // the wait dialog made its own brush
    }
    SetWaitDlgText(kit::Text(L"IDS_STATE_CONNECTING").c_str());
    ShowWaitTipWindow(GetAncestor(g_panel, GA_ROOT), true);
}

void OnLinkChanged(bool up)
{
    ShowDialling(false);
    g_lastReceived = g_status.bytesReceived;
    g_speedKBps = 0;
    if (up)
        SetTimer(g_panel, kClockTimer, kClockMs, nullptr);
    else
        KillTimer(g_panel, kClockTimer);
    EnableModeItems(!up);
    kit::ShowDropZoneData(g_iface, up && g_graphInDropZone);
    if (g_notifyChanges)
        kit::Notify(g_iface, kit::Text(up ? L"IDS_NOTIFY_CONNECTED" : L"IDS_NOTIFY_DISCONNECTED"));
}

// Reads the modem's state and shows it.
void Refresh()
{
    const bool wasUp = LinkUp();
    TModemStatus status{};
    status.cbSize = sizeof(status);
    if (ModemGetStatus(&status) != MODEM_OK)
        status.present = 0;
    g_status = status;
    if (LinkUp() != wasUp)
        OnLinkChanged(LinkUp());
    // Ask for the PIN once for each time the SIM locks; Cancel leaves it locked.
    if (g_status.present && g_status.sim == MODEM_SIM_PIN && !g_pinOffered) {
        g_pinOffered = true;
        PostMessageW(g_panel, kAskForPin, 0, 0);
    } else if (g_status.sim != MODEM_SIM_PIN) {
        g_pinOffered = false;
    }
    UpdateStatusPanes();
    InvalidateRect(g_panel, nullptr, FALSE);
}

// The modem library's news, on the user-interface thread.
void __cdecl OnBus(unsigned long message, unsigned int wParam, long lParam, void*)
{
    if (kit::MainWindowUp(message, wParam)) {
        kit::FillSettingsPage(g_settingsPage);
        EnsureStarted();
    }
    if (!g_started.Done())
        return;  // the start reads the modem's state
    if (message == MODEM_BUS_LINK && wParam == MODEM_LINK_DOWN && lParam != 0)
        PostMessageW(g_panel, kLinkFailed, static_cast<WPARAM>(lParam), 0);
    if (message == MODEM_BUS_STATUS || message == MODEM_BUS_LINK)
        Refresh();
}

// One second of the link: its figures, and the download speed in the drop zone.
void OnClock()
{
    Refresh();
    if (!LinkUp())
        return;
    g_speedKBps = static_cast<DWORD>(g_status.bytesReceived - g_lastReceived) / 1000.0;
    g_lastReceived = g_status.bytesReceived;
    if (g_graphInDropZone) {
        // A pixel per 15 kB/s leaves the number above the bars readable.
        const int speed = static_cast<int>(g_speedKBps);
        kit::FeedDropZone(g_iface, speed / 15, speed,
                          kit::Text(L"IDS_LABEL_RECEIVED") + L": " + Megabytes(g_status.bytesReceived));
    }
}

std::wstring LastModemError()
{
    wchar_t text[256] = {};
    ModemLastError(text, 256);
    return text;
}

// The PIN dialog: the prompt, the tries left (where the modem says), and a
// word when the last PIN was wrong. Answers the PIN typed, or nothing.
struct PinRequest {
    int triesLeft;
    bool wrongBefore;
    wchar_t pin[16];
};

INT_PTR CALLBACK PinDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        const auto* request = reinterpret_cast<const PinRequest*>(lParam);
        SetWindowTextW(dialog, kit::Text(L"IDS_PIN_TITLE").c_str());
        SetDlgItemTextW(dialog, IDC_PIN_PROMPT, kit::Text(request->wrongBefore ? L"IDS_PIN_WRONG" : L"IDS_PIN_PROMPT").c_str());
        if (request->triesLeft != MODEM_TRIES_UNKNOWN)
            SetDlgItemTextW(dialog, IDC_PIN_TRIES,
                            (kit::Text(L"IDS_PIN_TRIES") + L" " + std::to_wstring(request->triesLeft)).c_str());
        SetDlgItemTextW(dialog, IDOK, kit::Text(L"OK").c_str());
        SetDlgItemTextW(dialog, IDCANCEL, kit::Text(L"cancel").c_str());
        SendDlgItemMessageW(dialog, IDC_PIN_EDIT, EM_LIMITTEXT, 8, 0);  // a PIN has 4 to 8 digits
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            auto* request = reinterpret_cast<PinRequest*>(GetWindowLongPtrW(dialog, DWLP_USER));
            GetDlgItemTextW(dialog, IDC_PIN_EDIT, request->pin, static_cast<int>(std::size(request->pin)));
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

// Asks for the PIN until the SIM takes one or the user cancels.
void AskForPin()
{
    bool wrongBefore = false;
    for (;;) {
        Refresh();
        if (!g_status.present || g_status.sim != MODEM_SIM_PIN)
            return;
        PinRequest request = {g_status.pinTriesLeft, wrongBefore, {}};
        const INT_PTR answer = DialogBoxParamW(kit::ThisModule(), MAKEINTRESOURCEW(IDD_PIN), GetAncestor(g_panel, GA_ROOT),
                                               PinDialogProc, reinterpret_cast<LPARAM>(&request));
        if (answer != IDOK)
            return;
        const int result = ModemEnterPin(request.pin);
        SecureZeroMemory(request.pin, sizeof(request.pin));
        if (result == MODEM_OK)
            break;
        if (result == MODEM_E_SIM_LOCKED) {
            kit::Ask(g_panel, kit::Text(L"IDS_STATE_PUK"), MB_OK | MB_ICONWARNING);
            break;
        }
        if (result != MODEM_E_REFUSED && result != MODEM_E_BAD_ARGUMENT) {
            kit::Ask(g_panel, kit::Text(L"IDS_PIN_FAILED") + L"\n" + LastModemError(), MB_OK | MB_ICONWARNING);
            break;
        }
        wrongBefore = true;
    }
    Refresh();
}

LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (kit::NeedsContent(message, wParam))
        g_skin.LoadOnce(g_iface, kName);
    switch (message) {
    case WM_ERASEBKGND:
        return 1;  // Paint covers everything
    case WM_PAINT:  // the state last read: the start reads it once the window is up, and redraws
        kit::PaintBuffered(window, Paint);
        return 0;
    case WM_TIMER:
        OnClock();
        return 0;
    case kAskForPin:
        AskForPin();
        return 0;
    case kLinkFailed:
        kit::Ask(window, kit::Text(L"IDS_CONNECT_FAILED") + L" (" + std::to_wstring(wParam) + L")", MB_OK | MB_ICONWARNING);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int __cdecl ToggleConnection(TService*, TParam*)
{
    EnsureStarted();
    Refresh();
    if (LinkUp() || g_status.link == MODEM_LINK_DIALLING) {
        if (g_status.linkSimulated)
            ModemSetSimulatedLink(0);
        else
            ModemDisconnect();  // the bus says when it is down
        Refresh();
        return 1;
    }
    if (g_status.registration == MODEM_REG_ROAMING && !g_allowRoaming) {
        kit::Ask(g_panel, kit::Text(L"IDS_CONNECT_ROAMING_OFF"), MB_OK | MB_ICONINFORMATION);
        return 1;
    }
    int result = ModemConnect(g_apn.c_str(), g_user.c_str(), g_password.c_str());
    if (result == MODEM_E_NOT_SUPPORTED)
        result = ModemSetSimulatedLink(1);  // refused too, except in the demo product
    switch (result) {
    case MODEM_OK:
        Refresh();
        ShowDialling(g_status.link == MODEM_LINK_DIALLING);
        break;
    case MODEM_E_BUSY:
        break;  // a dial is under way
    case MODEM_E_NO_MODEM:
        kit::Ask(g_panel, kit::Text(L"IDS_STATE_NO_MODEM"), MB_OK | MB_ICONWARNING);
        break;
    case MODEM_E_SIM_LOCKED:
        g_pinOffered = true;
        AskForPin();
        break;
    case MODEM_E_NOT_SUPPORTED:
        kit::Ask(g_panel, kit::Text(L"IDS_CONNECT_NOT_SUPPORTED"), MB_OK | MB_ICONWARNING);
        break;
    default:
        kit::Ask(g_panel, kit::Text(L"IDS_CONNECT_FAILED") + L"\n" + LastModemError(), MB_OK | MB_ICONWARNING);
        break;
    }
    return 1;
}

// The network mode the user prefers. The modem library sets no mode, so it
// is kept for the day it does and changes nothing now.
int SetMode(const wchar_t* mode)
{
    EnsureStarted();
    g_mode = mode;
    kit::Settings(kName).Set("mode", g_mode);
    return 1;
}
int __cdecl SetModeAuto(TService*, TParam*) { return SetMode(L"auto"); }
int __cdecl SetMode3G(TService*, TParam*) { return SetMode(L"3g"); }
int __cdecl SetMode2G(TService*, TParam*) { return SetMode(L"2g"); }

int __cdecl ToggleRoaming(TService*, TParam*)
{
    EnsureStarted();
    g_allowRoaming = !g_allowRoaming;
    kit::Settings(kName).SetFlag("roaming", g_allowRoaming);
    return 1;
}

// The settings page was applied: the drop zone follows its option at once.
void OnSettingsApplied()
{
    kit::ShowDropZoneData(g_iface, LinkUp() && g_graphInDropZone);
}
kit::SettingsPage g_settings = {
    kName,
    L"connect",
    {{"notify", L"IDS_SET_NOTIFY_CONNECTION", &g_notifyChanges}, {"dropzone", L"IDS_SET_DROPZONE_SPEED", &g_graphInDropZone}},
    {{"apn", L"IDS_SET_APN", &g_apn}, {"user", L"IDS_SET_USER", &g_user},
     {"password", L"IDS_SET_PASSWORD", &g_password, ES_PASSWORD}},
    OnSettingsApplied,
};
HWND MakeSettingsPage()
{
    return kit::CreateSettingsPage(g_iface, &g_settings);
}

void EnsureStarted()
{
    if (!g_started.First())
        return;
    kit::LoadSettingsOnce(g_settings);
    kit::Settings kept(kName);
    g_allowRoaming = kept.Flag("roaming", g_allowRoaming);
    g_mode = kept.Text("mode", g_mode);
    // Finds the modem on the ports Windows lists, on a thread of its own; the
    // bus says when it is there.
    ModemStart(nullptr);
    Refresh();
}

}  // namespace

KIVRA_KIT_ENTRY_POINTS(kName)

KIVRA_PLUGIN_EXPORT bool __cdecl LoadPlugin(CPluginInterface* iface, void* host)
{
    const HWND main = kit::Open(iface, host, g_iface);
    g_panel = kit::CreatePanel(main, L"KivraConnectPanel", PanelProc);
    TService services[] = {
        kit::Service("connect" KIVRA_SUFFIX_GET_PANEL_HANDLE, kit::AnswerWindow<&g_panel>),
        kit::Service("connect" KIVRA_SUFFIX_GET_SETTING_HANDLE, kit::AnswerWindowMadeOnFirstAsk<&g_settingsPage, MakeSettingsPage>),
        kit::Service("connect/ToggleConnection", ToggleConnection),
        kit::Service("connect/SetModeAuto", SetModeAuto),
        kit::Service("connect/SetMode3G", SetMode3G),
        kit::Service("connect/SetMode2G", SetMode2G),
        kit::Service("connect/ToggleRoaming", ToggleRoaming),
    };
    kit::RegisterServices(iface, services);
    g_busCookie = OpSubscribeOnThisThread(OnBus, nullptr);  // EnsureStarted on its notice
    return true;
}

KIVRA_PLUGIN_EXPORT bool __cdecl UnloadPlugin(void)
{
    OpUnsubscribe(g_busCookie);
    ShowDialling(false);
    kit::DestroyPanel(g_panel);
    kit::DestroySettingsPage(g_settingsPage);
    g_settingsPage = nullptr;
    g_busCookie = 0;
    g_skin.Release();
    g_started.Reset();
    g_settings.loaded = false;
    g_iface = nullptr;
    return true;
}
