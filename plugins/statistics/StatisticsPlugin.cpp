// statistics: the data-usage panel of the demo product: a week of daily
// usage as bars and the totals for today, this month and all time, where the
// skin's "statistics" section places them. While its panel shows, the skin
// button for resetting the counters takes the place of the messages button.
//
//   statistics/GetPanelHandle     the panel (shown through "statistics/ShowPluginPanel")
//   statistics/GetMaxPanelHandle  the larger panel of the full view
//   statistics/ResetUsage         sets the counters to 0
//   statistics/GetSettingHandle   its page of the settings dialog (amounts in MB only)
#include <windows.h>

#include <string>

#include "kivra_plugin.h"
#include "../shared/PluginKit.h"

namespace {

constexpr char kName[] = "statistics";

CPluginInterface* g_iface = nullptr;
HWND g_panel = nullptr;
HWND g_maxPanel = nullptr;
HWND g_settingsPage = nullptr;
kit::PanelSkin g_skin;
bool g_megabytesOnly = false;

double g_days[7] = {180, 240, 95, 310, 420, 260, 150};  // MB, Monday to Sunday
double g_monthMb = 4820;
double g_totalMb = 38150;

std::wstring Megabytes(double value)
{
    wchar_t text[32];
    if (value >= 1000 && !g_megabytesOnly)
        swprintf(text, 32, L"%.2f GB", value / 1000);
    else
        swprintf(text, 32, L"%.0f MB", value);
    return text;
}

// The week's bars in area, scaled to the largest day, with day initials under them.
void DrawWeek(HDC dc, RECT area, const TPluginControl* style)
{
    double top = 1;
    for (double mb : g_days)
        top = mb > top ? mb : top;
    const int slot = (area.right - area.left) / 7;
    const int floor = area.bottom - 22;
    HBRUSH bar = CreateSolidBrush(RGB(19, 166, 164));
    HBRUSH today = CreateSolidBrush(RGB(47, 127, 209));
    for (int day = 0; day < 7; ++day) {
        const int height = static_cast<int>((floor - area.top - 24) * g_days[day] / top);
        RECT column = {area.left + day * slot + slot / 4, floor - height, area.left + (day + 1) * slot - slot / 4, floor};
        FillRect(dc, &column, day == 6 ? today : bar);
        if (style != nullptr) {
            TPluginControl label = *style;
            label.rect = {area.left + day * slot, floor + 4, area.left + (day + 1) * slot, area.bottom};
            kit::DrawControlText(dc, &label, std::wstring(1, L"MTWTFSS"[day]), DT_CENTER | DT_TOP | DT_SINGLELINE);
        }
    }
    DeleteObject(bar);
    DeleteObject(today);
}

void Paint(HWND window, HDC dc, const RECT& client)
{
    HBRUSH fill = CreateSolidBrush(g_skin.BackgroundColour());
    FillRect(dc, &client, fill);
    DeleteObject(fill);
    const TPluginControl* graph = g_skin.Control("usage-graph");
    if (window == g_maxPanel) {
        // The full view: the week across the panel, the totals beside it.
        RECT area = {32, 32, client.right - 220, client.bottom - 24};
        DrawWeek(dc, area, graph);
        const wchar_t* titles[] = {L"IDS_STAT_TODAY", L"IDS_STAT_MONTH", L"IDS_STAT_TOTAL"};
        const char* values[] = {"today-value", "month-value", "total-value"};
        const double amounts[] = {g_days[6], g_monthMb, g_totalMb};
        for (int i = 0; i < 3; ++i) {
            if (const TPluginControl* value = g_skin.Control(values[i])) {
                TPluginControl at = *value;
                at.rect = {client.right - 200, 60 + i * 110, client.right - 24, 84 + i * 110};
                kit::DrawControlText(dc, &at, kit::Text(titles[i]));
                OffsetRect(&at.rect, 0, 34);
                kit::DrawControlText(dc, &at, Megabytes(amounts[i]));
            }
        }
        return;
    }
    kit::DrawBitmap(dc, g_skin.Background(), 0, 0);
    if (graph != nullptr)
        DrawWeek(dc, graph->rect, graph);
    kit::DrawControlTile(dc, g_skin.Control("reset-button"), 0, g_skin.Mask());
    kit::DrawControlTile(dc, g_skin.Control("export-button"), 1, g_skin.Mask());
    kit::DrawControlText(dc, g_skin.Control("today-title"), kit::Text(L"IDS_STAT_TODAY"));
    kit::DrawControlText(dc, g_skin.Control("today-value"), Megabytes(g_days[6]));
    kit::DrawControlText(dc, g_skin.Control("month-title"), kit::Text(L"IDS_STAT_MONTH"));
    kit::DrawControlText(dc, g_skin.Control("month-value"), Megabytes(g_monthMb));
    kit::DrawControlText(dc, g_skin.Control("total-title"), kit::Text(L"IDS_STAT_TOTAL"));
    kit::DrawControlText(dc, g_skin.Control("total-value"), Megabytes(g_totalMb));
}

// Shows or hides the skin button named name (KIVRA_SVC_MODIFY_BUTTON_INFO).
void ShowSkinButton(const wchar_t* name, bool show)
{
    TButtonInfo info{};
    kit::CopyField(info.szName, name);
    info.bHide = show ? 0 : 1;
    TParam param{};
    param.pData = &info;
    kit::Call(g_iface, KIVRA_SVC_MODIFY_BUTTON_INFO, &param);
}

void Redraw()
{
    InvalidateRect(g_panel, nullptr, FALSE);
    InvalidateRect(g_maxPanel, nullptr, FALSE);
}
kit::SettingsPage g_settings = {kName, L"statistics", {{"megabytes", L"IDS_SET_STAT_MEGABYTES", &g_megabytesOnly}}, {}, Redraw};

int __cdecl ResetUsage(TService*, TParam*)
{
    for (double& day : g_days)
        day = 0;
    g_monthMb = 0;
    Redraw();
    return 1;
}

LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        kit::PaintBuffered(window, Paint);
        return 0;
    case WM_SHOWWINDOW:
        // The reset button stands in for the messages button while the usage shows.
        if (window == g_panel) {
            ShowSkinButton(L"btn-reset-usage", wParam != FALSE);
            ShowSkinButton(L"btn-new-sms", wParam == FALSE);
        }
        break;
    case WM_LBUTTONDOWN: {
        const POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        const TPluginControl* reset = g_skin.Control("reset-button");
        if (reset != nullptr && PtInRect(&reset->rect, at))
            ResetUsage(nullptr, nullptr);
        return 0;
    }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

KIVRA_KIT_ENTRY_POINTS(kName)

KIVRA_PLUGIN_EXPORT bool __cdecl LoadPlugin(CPluginInterface* iface, void* host)
{
    const HWND main = kit::Open(iface, host, kName, g_iface, g_skin);
    g_panel = kit::CreatePanel(main, L"KivraStatisticsPanel", PanelProc);
    g_maxPanel = kit::CreatePanel(main, L"KivraStatisticsPanel", PanelProc);
    g_settingsPage = kit::CreateSettingsPage(iface, &g_settings);
    TService services[] = {
        kit::Service("statistics" KIVRA_SUFFIX_GET_PANEL_HANDLE, kit::AnswerWindow<&g_panel>),
        kit::Service("statistics/GetMaxPanelHandle", kit::AnswerWindow<&g_maxPanel>),
        kit::Service("statistics" KIVRA_SUFFIX_GET_SETTING_HANDLE, kit::AnswerWindow<&g_settingsPage>),
        kit::Service("statistics/ResetUsage", ResetUsage),
    };
    kit::RegisterServices(iface, services);
    return true;
}

KIVRA_PLUGIN_EXPORT bool __cdecl UnloadPlugin(void)
{
    DestroyWindow(g_panel);
    DestroyWindow(g_maxPanel);
    kit::DestroySettingsPage(g_settingsPage);
    g_panel = g_maxPanel = g_settingsPage = nullptr;
    g_skin.Release();
    g_iface = nullptr;
    return true;
}
