// statistics: the data-usage panel of the demo product: the last 30 days as
// bars (received, with sent on top) and the totals for today, this month and
// all time, where the skin's "statistics" section places them. Every
// connection session is kept in the database (UsageStore.h) from the modem
// library's link figures, and a notification comes when the month's usage
// reaches 90% and 100% of the limit set on the settings page. While its panel
// shows, the skin button for resetting the counters takes the place of the
// messages button. LoadPlugin makes only the empty panels: the skin section
// comes with the first show, the settings page with the shell's first ask,
// and the store, the settings and the modem once the main window is up.
//
//   statistics/GetPanelHandle     the panel (shown through "statistics/ShowPluginPanel")
//   statistics/GetMaxPanelHandle  the larger panel of the full view
//   statistics/ResetUsage         forgets the recorded usage, once the user agrees
//   statistics/GetSettingHandle   its page of the settings dialog
#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "kivra_plugin.h"
#include "marvik.h"
#include "ostel.h"
#include "../shared/PluginKit.h"
#include "UsageStore.h"

namespace {

constexpr char kName[] = "statistics";
constexpr UINT_PTR kPollTimer = 1;
constexpr UINT kPollMs = 5000;  // how often the link's figures are kept
constexpr int kChartDays = 30;
constexpr COLORREF kReceivedColour = RGB(19, 166, 164);
constexpr COLORREF kSentColour = RGB(47, 127, 209);

CPluginInterface* g_iface = nullptr;
HWND g_panel = nullptr;
HWND g_maxPanel = nullptr;
HWND g_settingsPage = nullptr;
kit::PanelSkin g_skin;
int g_busCookie = 0;
kit::Once g_started;  // the store, the settings and the modem
void EnsureStarted();
std::unique_ptr<statistics::UsageStore> g_store;  // from EnsureStarted to UnloadPlugin
std::unique_ptr<statistics::UsageRecorder> g_recorder;

// The settings page's values.
bool g_megabytesOnly = false;
std::wstring g_limitMb = L"0";  // the monthly limit in MB; 0: none

// What the panels show, read from the store after every change.
struct {
    std::vector<statistics::DayUsage> days;  // the last kChartDays, today last
    int firstDay = 0;
    long long today = 0;
    long long month = 0;
    long long total = 0;
} g_figures;

long long LimitMegabytes()
{
    return std::max(0LL, std::wcstoll(g_limitMb.c_str(), nullptr, 10));
}

std::wstring Amount(long long bytes)
{
    const double mb = static_cast<double>(bytes) / statistics::kBytesPerMegabyte;
    wchar_t text[32];
    if (mb >= 1000 && !g_megabytesOnly)
        swprintf(text, 32, L"%.2f GB", mb / 1000);
    else
        swprintf(text, 32, L"%.0f MB", mb);
    return text;
}

void ReadFigures()
{
    const statistics::Moment now = statistics::Now();
    int monthFirst = 0, monthLast = 0;
    statistics::MonthOf(now.day, monthFirst, monthLast);
    g_figures.firstDay = now.day - kChartDays + 1;
    g_figures.days = g_store->Days(g_figures.firstDay, kChartDays);
    g_figures.today = g_store->Sum(now.day, now.day);
    g_figures.month = g_store->Sum(monthFirst, monthLast);
    g_figures.total = g_store->Sum(0, now.day);
}

void Redraw()
{
    ReadFigures();
    InvalidateRect(g_panel, nullptr, FALSE);
    InvalidateRect(g_maxPanel, nullptr, FALSE);
}

// The days' bars in area, received with sent on top, scaled to the largest
// day, with the day of the month under every fifth bar and today's.
void DrawDays(HDC dc, RECT area, const TPluginControl* style)
{
    long long top = statistics::kBytesPerMegabyte;  // at least 1 MB high, so a quiet month stays low
    for (const statistics::DayUsage& day : g_figures.days)
        top = std::max(top, day.received + day.sent);
    const int count = static_cast<int>(g_figures.days.size());
    if (count == 0)
        return;
    const int slot = std::max(1, static_cast<int>(area.right - area.left) / count);
    const int floor = area.bottom - 18;
    const int height = floor - area.top - 20;
    HBRUSH received = CreateSolidBrush(kReceivedColour);
    HBRUSH sent = CreateSolidBrush(kSentColour);
    for (int i = 0; i < count; ++i) {
        const statistics::DayUsage& day = g_figures.days[static_cast<size_t>(i)];
        const int left = area.left + i * slot + slot / 5;
        const int right = area.left + (i + 1) * slot - slot / 5;
        const int receivedTop = floor - static_cast<int>(height * day.received / top);
        const int sentTop = receivedTop - static_cast<int>(height * day.sent / top);
        RECT bar = {left, receivedTop, right, floor};
        FillRect(dc, &bar, received);
        bar = {left, sentTop, right, receivedTop};
        FillRect(dc, &bar, sent);
        if (style != nullptr && ((count - 1 - i) % 5 == 0)) {
            TPluginControl label = *style;
            label.rect = {area.left + i * slot - slot, floor + 2, area.left + (i + 2) * slot, area.bottom};
            const int dayOfMonth = kit::DateOf(g_figures.firstDay + i).day;
            kit::DrawControlText(dc, &label, std::to_wstring(dayOfMonth), DT_CENTER | DT_TOP | DT_SINGLELINE);
        }
    }
    if (style != nullptr) {
        TPluginControl label = *style;
        label.rect = {area.left, area.top, area.right, area.top + 16};
        kit::DrawControlText(dc, &label, Amount(top), DT_LEFT | DT_TOP | DT_SINGLELINE);
    }
    DeleteObject(received);
    DeleteObject(sent);
}

std::wstring MonthText()
{
    const long long limit = LimitMegabytes();
    return limit > 0 ? Amount(g_figures.month) + L" / " + Amount(limit * statistics::kBytesPerMegabyte)
                     : Amount(g_figures.month);
}

void Paint(HWND window, HDC dc, const RECT& client)
{
    // The full view has no picture of its own.
    const bool fullView = window == g_maxPanel;
    kit::DrawBackground(dc, client, g_skin.BackgroundColour(), fullView ? nullptr : g_skin.Background());
    const TPluginControl* graph = g_skin.Control("usage-graph");
    const wchar_t* titles[] = {L"IDS_STAT_TODAY", L"IDS_STAT_MONTH", L"IDS_STAT_TOTAL"};
    const std::wstring amounts[] = {Amount(g_figures.today), MonthText(), Amount(g_figures.total)};
    if (fullView) {
        // The full view: the days across the panel, the totals beside them.
        DrawDays(dc, {32, 32, client.right - 220, client.bottom - 24}, graph);
        const char* values[] = {"today-value", "month-value", "total-value"};
        for (int i = 0; i < 3; ++i) {
            if (const TPluginControl* value = g_skin.Control(values[i])) {
                TPluginControl at = *value;
                at.rect = {client.right - 200, 60 + i * 110, client.right - 24, 84 + i * 110};
                kit::DrawControlText(dc, &at, kit::Text(titles[i]));
                OffsetRect(&at.rect, 0, 34);
                kit::DrawControlText(dc, &at, amounts[i]);
            }
        }
        return;
    }
    if (graph != nullptr)
        DrawDays(dc, graph->rect, graph);
    kit::DrawControlTile(dc, g_skin.Control("reset-button"), 0, g_skin.Mask());
    kit::DrawControlTile(dc, g_skin.Control("export-button"), 1, g_skin.Mask());
    const char* names[][2] = {{"today-title", "today-value"}, {"month-title", "month-value"}, {"total-title", "total-value"}};
    for (int i = 0; i < 3; ++i) {
        kit::DrawControlText(dc, g_skin.Control(names[i][0]), kit::Text(titles[i]));
        kit::DrawControlText(dc, g_skin.Control(names[i][1]), amounts[i]);
    }
}

// The month's usage against the limit: a notification at 90% and at 100%.
void CheckLimit()
{
    int monthFirst = 0, monthLast = 0;
    statistics::MonthOf(statistics::Now().day, monthFirst, monthLast);
    kit::Settings settings(kName);
    const int notice = statistics::LimitNotice(settings, g_figures.month, LimitMegabytes(), monthFirst);
    if (notice != 0)
        kit::Notify(g_iface, kit::Text(notice >= 100 ? L"IDS_NOTIFY_LIMIT_100" : L"IDS_NOTIFY_LIMIT_90"));
}

// Keeps the link's figures now.
void Record()
{
    TModemStatus status{};
    status.cbSize = sizeof(status);
    if (ModemGetStatus(&status) == MODEM_OK)
        g_recorder->Update(status.link == MODEM_LINK_UP, status.linkSeconds, status.bytesReceived,
                           status.bytesSent, statistics::Now());
}

// Keeps the figures, shows them and weighs them against the limit.
void Poll()
{
    Record();
    Redraw();
    CheckLimit();
}

void __cdecl OnBus(unsigned long message, unsigned int wParam, long, void*)
{
    if (kit::MainWindowUp(message, wParam)) {
        kit::FillSettingsPage(g_settingsPage);
        EnsureStarted();
    } else if (message == MODEM_BUS_LINK && g_started.Done())  // else the start records it
        Poll();
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

void OnSettingsApplied()
{
    EnsureStarted();
    Redraw();
    CheckLimit();  // a lower limit may be reached already
}
kit::SettingsPage g_settings = {
    kName,
    L"statistics",
    {{"megabytes", L"IDS_SET_STAT_MEGABYTES", &g_megabytesOnly}},
    {{"limit", L"IDS_SET_STAT_LIMIT", &g_limitMb, ES_NUMBER}},
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
    g_store = std::make_unique<statistics::UsageStore>();
    g_recorder = std::make_unique<statistics::UsageRecorder>(*g_store);
    kit::LoadSettingsOnce(g_settings);
    ModemStart(nullptr);
    SetTimer(g_panel, kPollTimer, kPollMs, nullptr);
    Poll();
}

int __cdecl ResetUsage(TService*, TParam*)
{
    EnsureStarted();
    if (kit::Ask(g_panel, kit::Text(L"IDS_STAT_RESET_ASK"), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return 0;
    g_store->Clear();
    Redraw();
    return 1;
}

LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (kit::NeedsContent(message, wParam))
        g_skin.LoadOnce(g_iface, kName);
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        EnsureStarted();  // the figures
        kit::PaintBuffered(window, Paint);
        return 0;
    case WM_TIMER:
        Poll();
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
    const HWND main = kit::Open(iface, host, g_iface);
    g_panel = kit::CreatePanel(main, L"KivraStatisticsPanel", PanelProc);
    g_maxPanel = kit::CreatePanel(main, L"KivraStatisticsPanel", PanelProc);
    TService services[] = {
        kit::Service("statistics" KIVRA_SUFFIX_GET_PANEL_HANDLE, kit::AnswerWindow<&g_panel>),
        kit::Service("statistics/GetMaxPanelHandle", kit::AnswerWindow<&g_maxPanel>),
        kit::Service("statistics" KIVRA_SUFFIX_GET_SETTING_HANDLE, kit::AnswerWindowMadeOnFirstAsk<&g_settingsPage, MakeSettingsPage>),
        kit::Service("statistics/ResetUsage", ResetUsage),
    };
    kit::RegisterServices(iface, services);
    g_busCookie = OpSubscribeOnThisThread(OnBus, nullptr);  // EnsureStarted on its notice
    return true;
}

KIVRA_PLUGIN_EXPORT bool __cdecl UnloadPlugin(void)
{
    OpUnsubscribe(g_busCookie);
    if (g_recorder != nullptr)
        Record();  // the last figures of a link still up
    kit::DestroyPanel(g_panel);
    kit::DestroyPanel(g_maxPanel);
    kit::DestroySettingsPage(g_settingsPage);
    g_settingsPage = nullptr;
    g_busCookie = 0;
    g_recorder.reset();
    g_store.reset();  // its statements finalized before the plugin goes
    g_skin.Release();
    g_started.Reset();
    g_settings.loaded = false;
    g_iface = nullptr;
    return true;
}
