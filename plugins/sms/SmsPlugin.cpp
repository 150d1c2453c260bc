// sms: the messages panel of the demo product: a folder column, the list of
// text messages and a reading pane, where the skin's "sms" section places
// them, and the buttons under the list (new, reply, delete, forward).
//
//   sms/GetPanelHandle    the panel (shown through "sms/ShowPluginPanel")
//   sms/GetSettingHandle  its page of the settings dialog
//   sms/NewMessage        opens an empty message in the reading pane
//
// A message arrives a little while after the start (a simulation); unless the
// settings page says otherwise, a notification tells so.
#include <windows.h>

#include <string>
#include <vector>

#include "kivra_plugin.h"
#include "../shared/PluginKit.h"

namespace {

constexpr char kName[] = "sms";
constexpr int kRowHeight = 18;
constexpr int kEditorId = 100;
constexpr UINT_PTR kArrivalTimer = 1;
constexpr UINT kArrivalDelayMs = 25000;

CPluginInterface* g_iface = nullptr;
HWND g_panel = nullptr;
HWND g_editor = nullptr;  // the message being written, in the reading pane
HWND g_settingsPage = nullptr;
kit::PanelSkin g_skin;

bool g_notifyArrivals = true;
kit::SettingsPage g_settings = {kName, L"sms", {{"notify", L"IDS_SET_NOTIFY_SMS", &g_notifyArrivals}}};

struct Message {
    std::wstring from;
    std::wstring text;
};
std::vector<Message> g_inbox = {
    {L"+44 7700 900123", L"Running late, see you at the station at 7."},
    {L"Kivra Net", L"Your data bundle renews on the 1st. 2.1 GB left this month."},
    {L"Anna", L"Photos from Saturday are in the shared album."},
    {L"+44 7700 900456", L"Your parcel is out for delivery today."},
    {L"Kivra Net", L"Roaming is off. Reply ROAM to allow data abroad."},
};
int g_selected = 0;

void Paint(HWND, HDC dc, const RECT& client)
{
    HBRUSH fill = CreateSolidBrush(g_skin.BackgroundColour());
    FillRect(dc, &client, fill);
    DeleteObject(fill);
    kit::DrawBitmap(dc, g_skin.Background(), 0, 0);

    kit::DrawControlText(dc, g_skin.Control("folder-title"), kit::Text(L"IDS_SMS_INBOX"));
    if (const TPluginControl* folders = g_skin.Control("folder-list")) {
        TPluginControl line = *folders;
        for (const wchar_t* folder : {L"IDS_SMS_OUTBOX", L"IDS_SMS_DRAFTS"}) {
            line.rect.bottom = line.rect.top + 24;
            kit::DrawControlText(dc, &line, L"   " + kit::Text(folder));
            OffsetRect(&line.rect, 0, 26);
        }
    }
    if (const TPluginControl* header = g_skin.Control("list-header")) {
        kit::DrawControlText(dc, header, kit::Text(L"IDS_SMS_FROM"));
        TPluginControl second = *header;
        second.rect.left += 130;
        kit::DrawControlText(dc, &second, kit::Text(L"IDS_SMS_TEXT"));
    }
    if (const TPluginControl* list = g_skin.Control("message-list")) {
        for (size_t i = 0; i < g_inbox.size(); ++i) {
            TPluginControl row = *list;
            row.rect.top = list->rect.top + static_cast<int>(i) * kRowHeight;
            row.rect.bottom = row.rect.top + kRowHeight;
            if (row.rect.bottom > list->rect.bottom)
                break;
            if (static_cast<int>(i) == g_selected) {
                HBRUSH mark = CreateSolidBrush(RGB(214, 234, 248));
                FillRect(dc, &row.rect, mark);
                DeleteObject(mark);
            }
            row.rect.left += 6;
            row.rect.right = row.rect.left + 120;
            kit::DrawControlText(dc, &row, g_inbox[i].from);
            row.rect.left += 130;
            row.rect.right = list->rect.right - 6;
            kit::DrawControlText(dc, &row, g_inbox[i].text);
        }
    }
    if (!IsWindowVisible(g_editor) && g_selected >= 0 && g_selected < static_cast<int>(g_inbox.size()))
        kit::DrawControlText(dc, g_skin.Control("preview"), g_inbox[g_selected].text,
                             DT_LEFT | DT_TOP | DT_WORDBREAK | DT_END_ELLIPSIS);
    const char* buttons[] = {"new-button", "reply-button", "delete-button", "forward-button"};
    for (int i = 0; i < 4; ++i)
        kit::DrawControlTile(dc, g_skin.Control(buttons[i]), i, g_skin.Mask());
}

// Opens the reading pane for writing, with text to start from.
void Compose(const std::wstring& text)
{
    SetWindowTextW(g_editor, text.c_str());
    ShowWindow(g_editor, SW_SHOW);
    SetFocus(g_editor);
    InvalidateRect(g_panel, nullptr, FALSE);
}

void OnClick(POINT at)
{
    auto inside = [&](const char* name) {
        const TPluginControl* control = g_skin.Control(name);
        return control != nullptr && PtInRect(&control->rect, at);
    };
    if (const TPluginControl* list = g_skin.Control("message-list"); list && PtInRect(&list->rect, at)) {
        const int row = (at.y - list->rect.top) / kRowHeight;
        if (row < static_cast<int>(g_inbox.size()))
            g_selected = row;
        ShowWindow(g_editor, SW_HIDE);
    } else if (inside("new-button")) {
        Compose(L"");
    } else if (inside("reply-button") && g_selected >= 0) {
        Compose(L"@" + g_inbox[g_selected].from + L" ");
    } else if (inside("forward-button") && g_selected >= 0) {
        Compose(g_inbox[g_selected].text);
    } else if (inside("delete-button") && g_selected >= 0 && !g_inbox.empty()) {
        g_inbox.erase(g_inbox.begin() + g_selected);
        g_selected = g_inbox.empty() ? -1 : std::min<int>(g_selected, static_cast<int>(g_inbox.size()) - 1);
    }
    InvalidateRect(g_panel, nullptr, FALSE);
}

LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        kit::PaintBuffered(window, Paint);
        return 0;
    case WM_LBUTTONDOWN:
        OnClick({static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return 0;
    case WM_TIMER:  // a message arrives, once
        KillTimer(window, kArrivalTimer);
        g_inbox.insert(g_inbox.begin(), Message{L"Anna", L"Are we still on for dinner at eight?"});
        g_selected = 0;
        InvalidateRect(window, nullptr, FALSE);
        if (g_notifyArrivals)
            kit::Notify(g_iface, kit::Text(L"IDS_NOTIFY_NEW_SMS"));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int __cdecl NewMessage(TService*, TParam*)
{
    Compose(L"");
    return 1;
}

}  // namespace

KIVRA_KIT_ENTRY_POINTS(kName)

KIVRA_PLUGIN_EXPORT bool __cdecl LoadPlugin(CPluginInterface* iface, void* host)
{
    const HWND main = kit::Open(iface, host, kName, g_iface, g_skin);
    g_panel = kit::CreatePanel(main, L"KivraSmsPanel", PanelProc);
    RECT pane = {188, 186, 592, 216};
    if (const TPluginControl* preview = g_skin.Control("preview"))
        pane = preview->rect;
    g_editor = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_MULTILINE | ES_AUTOVSCROLL, pane.left, pane.top,
                               pane.right - pane.left, pane.bottom - pane.top, g_panel,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditorId)), GetModuleHandleW(nullptr),
                               nullptr);
    SendMessageW(g_editor, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    SetTimer(g_panel, kArrivalTimer, kArrivalDelayMs, nullptr);
    g_settingsPage = kit::CreateSettingsPage(iface, &g_settings);
    TService services[] = {
        kit::Service("sms" KIVRA_SUFFIX_GET_PANEL_HANDLE, kit::AnswerWindow<&g_panel>),
        kit::Service("sms" KIVRA_SUFFIX_GET_SETTING_HANDLE, kit::AnswerWindow<&g_settingsPage>),
        kit::Service("sms/NewMessage", NewMessage),
    };
    kit::RegisterServices(iface, services);
    return true;
}

KIVRA_PLUGIN_EXPORT bool __cdecl UnloadPlugin(void)
{
    if (g_panel != nullptr)
        DestroyWindow(g_panel);  // with the editor
    kit::DestroySettingsPage(g_settingsPage);
    g_panel = g_editor = g_settingsPage = nullptr;
    g_skin.Release();
    g_iface = nullptr;
    return true;
}
