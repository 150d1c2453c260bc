// connect: the connection panel of the demo product. It shows the network,
// the signal and the connection figures where the skin's "connect" section
// places them, and offers the services the skin's buttons and menus call:
//
//   connect/GetPanelHandle     the panel (the shell shows it through
//                              "connect/ShowPluginPanel")
//   connect/ToggleConnection   connects or disconnects (a simulation)
//   connect/SetModeAuto, connect/SetMode3G, connect/SetMode2G
//   connect/ToggleRoaming
//   connect/GetSettingHandle   its page of the settings dialog
//
// While connected it counts the time and the data once a second, writes the
// skin's status panes "signal", "network" and "duration" and feeds the
// download speed to the floating drop zone's graph. A notification says when
// the connection goes up or down; the settings page turns both on or off.
// Connecting dials for a few seconds under the shell's wait dialog, and while
// the simulated connection is up the modem library reports it, so the shell
// asks to disconnect before it exits.
#include <windows.h>

#include <cmath>
#include <cwchar>
#include <string>

#include "kivra_plugin.h"
#include "../shared/PluginKit.h"

namespace {

constexpr char kName[] = "connect";
constexpr UINT_PTR kClockTimer = 1;
// Dialling: this many steps of the wait dialog's progress bar.
constexpr int kDialSteps = 12;
constexpr DWORD kDialStepMs = 250;
constexpr COLORREF kWaitBackground = RGB(218, 233, 210);
constexpr COLORREF kWaitText = RGB(31, 58, 86);

CPluginInterface* g_iface = nullptr;
HWND g_panel = nullptr;
HWND g_settingsPage = nullptr;
kit::PanelSkin g_skin;

struct {
    bool connected = false;
    bool roaming = false;
    const wchar_t* network = L"HSPA+";
    int seconds = 0;
    double speedKBps = 0;  // download speed, kB/s
    double receivedMb = 0;
    double sentMb = 0;
} g_state;

// The settings page's options.
bool g_notifyChanges = true;
bool g_graphInDropZone = true;

std::wstring Format(const wchar_t* format, double value)
{
    wchar_t text[64];
    swprintf(text, 64, format, value);
    return text;
}

std::wstring Duration()
{
    wchar_t text[16];
    swprintf(text, 16, L"%02d:%02d:%02d", g_state.seconds / 3600, g_state.seconds / 60 % 60, g_state.seconds % 60);
    return text;
}

void UpdateStatusPanes()
{
    kit::SetStatusPane(g_iface, "signal", g_state.connected ? L"Signal: good" : L"Signal: -");
    kit::SetStatusPane(g_iface, "network", g_state.network);
    kit::SetStatusPane(g_iface, "duration", Duration());
}

void Paint(HWND, HDC dc, const RECT& client)
{
    HBRUSH fill = CreateSolidBrush(g_skin.BackgroundColour());
    FillRect(dc, &client, fill);
    DeleteObject(fill);
    kit::DrawBitmap(dc, g_skin.Background(), 0, 0);

    kit::DrawControlTile(dc, g_skin.Control("signal-meter"), g_state.connected ? 4 : 1, g_skin.Mask());
    kit::DrawControlText(dc, g_skin.Control("operator-label"), L"Kivra Net");
    const wchar_t* state = g_state.connected ? L"IDS_STATE_CONNECTED" : L"IDS_STATE_DISCONNECTED";
    kit::DrawControlText(dc, g_skin.Control("state-label"),
                         kit::Text(state) + L"  \u00b7  " + g_state.network);
    if (g_state.roaming) {
        // Hidden by the skin until roaming is allowed.
        if (const TPluginControl* badge = g_skin.Control("roaming-badge")) {
            TPluginControl shown = *badge;
            shown.bVisible = 1;
            kit::DrawControlText(dc, &shown, kit::Text(L"IDS_STATE_ROAMING"));
        }
    }
    kit::DrawControlText(dc, g_skin.Control("duration-title"), kit::Text(L"IDS_LABEL_DURATION"));
    kit::DrawControlText(dc, g_skin.Control("duration-value"), Duration());
    kit::DrawControlText(dc, g_skin.Control("received-title"), kit::Text(L"IDS_LABEL_RECEIVED"));
    kit::DrawControlText(dc, g_skin.Control("received-value"), Format(L"%.1f MB", g_state.receivedMb));
    kit::DrawControlText(dc, g_skin.Control("sent-title"), kit::Text(L"IDS_LABEL_SENT"));
    kit::DrawControlText(dc, g_skin.Control("sent-value"), Format(L"%.1f MB", g_state.sentMb));
    kit::DrawControlText(dc, g_skin.Control("speed-title"), kit::Text(L"IDS_LABEL_SPEED"));
    kit::DrawControlText(dc, g_skin.Control("speed-value"),
                         g_state.connected ? Format(L"%.0f kB/s", g_state.speedKBps) : std::wstring(L"-"));
}

// One second of a simulated download: a speed that drifts between about 160
// and 500 kB/s, drawn in the drop zone as a bar of a pixel per 15 kB/s, low enough to leave
// the number above it readable.
void CountOneSecond()
{
    ++g_state.seconds;
    g_state.speedKBps = 300 + 140 * std::sin(g_state.seconds / 3.0) + g_state.seconds * 53 % 60;
    g_state.receivedMb += g_state.speedKBps / 1000;
    g_state.sentMb += 0.04;
    if (g_graphInDropZone) {
        const int speed = static_cast<int>(g_state.speedKBps);
        kit::FeedDropZone(g_iface, speed / 15, speed,
                          kit::Text(L"IDS_LABEL_RECEIVED") + L": " + Format(L"%.1f MB", g_state.receivedMb));
    }
}

// The settings page was applied: the drop zone follows its option at once.
void OnSettingsApplied()
{
    kit::ShowDropZoneData(g_iface, g_state.connected && g_graphInDropZone);
}
kit::SettingsPage g_settings = {
    kName,
    L"connect",
    {{"notify", L"IDS_SET_NOTIFY_CONNECTION", &g_notifyChanges}, {"dropzone", L"IDS_SET_DROPZONE_SPEED", &g_graphInDropZone}},
    {},
    OnSettingsApplied,
};

LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        return 1;  // Paint covers everything
    case WM_PAINT:
        kit::PaintBuffered(window, Paint);
        return 0;
    case WM_TIMER:
        CountOneSecond();
        UpdateStatusPanes();
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
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

// Dials as a modem library's dial call does: blocking this thread. The wait
// dialog runs on a thread of its own, so it goes on painting meanwhile.
void Dial()
{
    InitWaitDlg(1, kDialSteps, 0.0f, 0.0f, kWaitBackground, kWaitText);
    TParam picture{};
    picture.pszText = const_cast<wchar_t*>(L"wait.JPG");
    kit::Call(g_iface, KIVRA_SVC_LOAD_IMAGE, &picture);
    if (picture.pData != nullptr) {
        SetWaitDlgBkImage(static_cast<HBITMAP>(picture.pData));
        DeleteObject(picture.pData);  // the wait dialog made its own brush
    }
    SetProgressStep(0);
    SetWaitDlgText(kit::Text(L"IDS_STATE_CONNECTING").c_str());
    ShowWaitTipWindow(GetAncestor(g_panel, GA_ROOT), true);
    for (int step = 1; step <= kDialSteps; ++step) {
        Sleep(kDialStepMs);
        SetProgressStep(step);
    }
    ShowWaitTipWindow(nullptr, false);
}

// What the modem library reports (sdk/marvik.h): "connected" while the
// simulated connection is up, else what it reported before.
constexpr wchar_t kModemStateVariable[] = L"KIVRA_MODEM_STATE";
wchar_t g_modemStateBefore[32];
bool g_hadModemState = false;

void ReportConnection(bool connected)
{
    if (connected) {
        const DWORD length = GetEnvironmentVariableW(kModemStateVariable, g_modemStateBefore, 32);
        g_hadModemState = length > 0 && length < 32;  // a longer value means nothing to the library
        SetEnvironmentVariableW(kModemStateVariable, L"connected");
    } else {
        SetEnvironmentVariableW(kModemStateVariable, g_hadModemState ? g_modemStateBefore : nullptr);
    }
}

int __cdecl ToggleConnection(TService*, TParam*)
{
    if (!g_state.connected)
        Dial();
    g_state.connected = !g_state.connected;
    ReportConnection(g_state.connected);
    if (g_state.connected) {
        g_state.seconds = 0;
        SetTimer(g_panel, kClockTimer, 1000, nullptr);
    } else {
        KillTimer(g_panel, kClockTimer);
    }
    EnableModeItems(!g_state.connected);
    UpdateStatusPanes();
    InvalidateRect(g_panel, nullptr, FALSE);
    kit::ShowDropZoneData(g_iface, g_state.connected && g_graphInDropZone);
    if (g_notifyChanges)
        kit::Notify(g_iface, kit::Text(g_state.connected ? L"IDS_NOTIFY_CONNECTED" : L"IDS_NOTIFY_DISCONNECTED"));
    return 1;
}

int SetNetwork(const wchar_t* network)
{
    g_state.network = network;
    UpdateStatusPanes();
    InvalidateRect(g_panel, nullptr, FALSE);
    return 1;
}
int __cdecl SetModeAuto(TService*, TParam*) { return SetNetwork(L"HSPA+"); }
int __cdecl SetMode3G(TService*, TParam*) { return SetNetwork(L"3G"); }
int __cdecl SetMode2G(TService*, TParam*) { return SetNetwork(L"EDGE"); }

int __cdecl ToggleRoaming(TService*, TParam*)
{
    g_state.roaming = !g_state.roaming;
    InvalidateRect(g_panel, nullptr, FALSE);
    return 1;
}

}  // namespace

KIVRA_KIT_ENTRY_POINTS(kName)

KIVRA_PLUGIN_EXPORT bool __cdecl LoadPlugin(CPluginInterface* iface, void* host)
{
    const HWND main = kit::Open(iface, host, kName, g_iface, g_skin);
    g_panel = kit::CreatePanel(main, L"KivraConnectPanel", PanelProc);
    g_settingsPage = kit::CreateSettingsPage(iface, &g_settings);
    TService services[] = {
        kit::Service("connect" KIVRA_SUFFIX_GET_PANEL_HANDLE, kit::AnswerWindow<&g_panel>),
        kit::Service("connect" KIVRA_SUFFIX_GET_SETTING_HANDLE, kit::AnswerWindow<&g_settingsPage>),
        kit::Service("connect/ToggleConnection", ToggleConnection),
        kit::Service("connect/SetModeAuto", SetModeAuto),
        kit::Service("connect/SetMode3G", SetMode3G),
        kit::Service("connect/SetMode2G", SetMode2G),
        kit::Service("connect/ToggleRoaming", ToggleRoaming),
    };
    kit::RegisterServices(iface, services);
    UpdateStatusPanes();
    return true;
}

KIVRA_PLUGIN_EXPORT bool __cdecl UnloadPlugin(void)
{
    if (g_panel != nullptr)
        DestroyWindow(g_panel);
    kit::DestroySettingsPage(g_settingsPage);
    g_panel = g_settingsPage = nullptr;
    g_skin.Release();
    g_iface = nullptr;
    return true;
}
