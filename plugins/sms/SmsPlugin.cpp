// sms: the messages panel of the demo product: the folders (received and
// sent), a search field, the list of messages and a reading pane, where the
// skin's "sms" section places them, and the buttons under the list (new,
// reply, delete, forward).
//
//   sms/GetPanelHandle    the panel (shown through "sms/ShowPluginPanel")
//   sms/GetSettingHandle  its page of the settings dialog
//   sms/NewMessage        opens a new message to write
//
// Every message is kept in the database (MessageStore.h): the modem's
// messages are imported at start and whenever the modem library says one
// came (unless the settings page says otherwise, a notification tells so),
// and the list shows the database, so the messages are there without a
// modem too. Deleting asks whether the SIM should lose the message as well.
// Sending goes through the modem library, which splits a long text into
// parts; the new-message dialog counts them while the user types.
//
// LoadPlugin makes only the empty panel. Once the main window is up (or
// when a service needs them first) come the panel's skin section, controls
// and list with the store, the settings and the modem; the settings page
// comes with the shell's first ask.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "kivra_plugin.h"
#include "marvik.h"
#include "ostel.h"
#include "../shared/PluginKit.h"
#include "MessageList.h"
#include "MessageStore.h"
#include "SmsResources.h"

namespace {

constexpr char kName[] = "sms";
constexpr int kSearchId = 100;
constexpr int kListId = 101;
constexpr int kReaderId = 102;
constexpr int kFolderRowHeight = 26;
constexpr int kSearchHeight = 20;
constexpr int kMaxNumber = 32;        // units of a number typed in the dialog
constexpr int kMaxTextUnits = 32000;  // more parts than any modem sends

CPluginInterface* g_iface = nullptr;
HWND g_panel = nullptr;
HWND g_search = nullptr;
HWND g_list = nullptr;
HWND g_reader = nullptr;  // the selected message, read-only
HWND g_settingsPage = nullptr;
HFONT g_font = nullptr;
HFONT g_boldFont = nullptr;
kit::PanelSkin g_skin;
int g_busCookie = 0;
kit::Once g_content;  // the skin section and the controls
kit::Once g_started;  // the settings and the modem, with the store
std::unique_ptr<sms::MessageStore> g_store;  // from OpenStore to UnloadPlugin
std::unique_ptr<sms::MessageList> g_rows;

sms::Folder g_folder = sms::Folder::Inbox;
long long g_selected = 0;  // the id of the message shown in the reading pane

bool g_notifyArrivals = true;
kit::SettingsPage g_settings = {kName, L"sms", {{"notify", L"IDS_SET_NOTIFY_SMS", &g_notifyArrivals}}};

std::wstring WindowText(HWND window)
{
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The kept messages, opened when first needed.
void OpenStore()
{
    if (g_store != nullptr)
        return;
    g_store = std::make_unique<sms::MessageStore>();
    g_rows = std::make_unique<sms::MessageList>(*g_store);
}

void EnsureStarted()
{
    if (!g_started.First())
        return;
    OpenStore();
    kit::LoadSettingsOnce(g_settings);
    ModemStart(nullptr);
}

// Lists the folder again as the search field says, keeping the selection.
// Without the list yet, nothing: it is filled when made.
void ShowList()
{
    if (g_list == nullptr)
        return;
    g_rows->Show(g_list, g_folder, WindowText(g_search), g_selected);
    InvalidateRect(g_panel, nullptr, FALSE);
}

// The message of the selected row goes into the reading pane, read.
void OnSelected(int row)
{
    g_selected = g_rows->IdAt(row);
    sms::StoredMessage message;
    if (g_selected == 0 || !g_store->Read(g_selected, message)) {
        SetWindowTextW(g_reader, L"");
        return;
    }
    // Its sender and whole time first: the list shows only the day of an older one.
    const std::wstring shown = message.sender + L"  \x00B7  " + sms::LocalDateTimeText(message.utc) + L"\r\n" + message.text;
    SetWindowTextW(g_reader, shown.c_str());
    if (message.unread) {
        g_store->MarkRead(g_selected);
        g_rows->Forget(g_selected);
        ListView_RedrawItems(g_list, row, row);
    }
}

// The modem's messages, each with its id there, with their whole texts.
struct OnModem {
    int id;
    sms::SimMessage message;
};
std::vector<OnModem> ModemMessages()
{
    std::vector<OnModem> messages;
    int count = 0;
    if (ModemListMessages(nullptr, 0, &count) != MODEM_OK || count <= 0)
        return messages;
    std::vector<TModemMessage> listed(static_cast<size_t>(count));
    listed[0].cbSize = sizeof(TModemMessage);
    if (ModemListMessages(listed.data(), count, &count) != MODEM_OK)
        return messages;
    for (int i = 0; i < count && i < static_cast<int>(listed.size()); ++i) {
        const TModemMessage& record = listed[static_cast<size_t>(i)];
        std::wstring text(record.text);
        if (record.textLength >= MODEM_MESSAGE_TEXT) {  // cut in the record: ask for the whole text
            text.assign(static_cast<size_t>(record.textLength) + 1, L'\0');
            const int length = ModemGetMessageText(record.id, text.data(), static_cast<int>(text.size()));
            text.resize(static_cast<size_t>(std::max(0, std::min(length, record.textLength))));
        }
        messages.push_back({record.id, sms::FromModem(record, text)});
    }
    return messages;
}

// Imports the modem's messages; true when one was new.
bool ImportFromModem()
{
    std::vector<sms::SimMessage> messages;
    for (OnModem& listed : ModemMessages())
        messages.push_back(std::move(listed.message));
    const bool added = !messages.empty() && g_store->Import(messages) > 0;
    if (added)
        ShowList();
    return added;
}

void MakeContent();

// The modem library's news, on the user-interface thread. An arriving
// message changes the modem's list first and is announced after, so the
// import of the change may already have taken it in: it is announced all the
// same. Messages that are simply on the SIM are never announced.
void __cdecl OnBus(unsigned long message, unsigned int wParam, long, void*)
{
    static bool takenInUnannounced = false;
    if (kit::MainWindowUp(message, wParam)) {
        MakeContent();  // the list is ready before the panel first shows
        kit::FillSettingsPage(g_settingsPage);
        EnsureStarted();
        ImportFromModem();  // what the SIM holds already
        return;
    }
    if (message != MODEM_BUS_MESSAGE && message != MODEM_BUS_STATUS)
        return;
    EnsureStarted();  // the modem may speak first, started by another plugin
    if (message == MODEM_BUS_MESSAGE) {
        const bool added = ImportFromModem() || takenInUnannounced;
        takenInUnannounced = false;
        if (added && g_notifyArrivals)
            kit::Notify(g_iface, kit::Text(L"IDS_NOTIFY_NEW_SMS"));
    } else if (wParam & MODEM_CHANGED_MESSAGES) {
        takenInUnannounced = ImportFromModem() || takenInUnannounced;
    }
}

// The new-message dialog: the number, the text and the parts it will take.
struct Draft {
    std::wstring to;
    std::wstring text;
};

void ShowParts(HWND dialog)
{
    const std::wstring text = WindowText(GetDlgItem(dialog, IDC_COMPOSE_TEXT));
    const int parts = ModemCountMessageParts(text.c_str());
    const bool fits = parts >= 1 && parts <= MODEM_MAX_PARTS;
    SetDlgItemTextW(dialog, IDC_COMPOSE_PARTS,
                    fits ? (kit::Text(L"IDS_SMS_PARTS") + L" " + std::to_wstring(parts)).c_str()
                         : kit::Text(L"IDS_SMS_TOO_LONG").c_str());
    EnableWindow(GetDlgItem(dialog, IDOK), fits);
}

// Sends the draft; true when every part went.
bool Send(HWND dialog, const Draft& draft)
{
    int partsSent = 0;
    HCURSOR before = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    const int result = ModemSendMessage(draft.to.c_str(), draft.text.c_str(), &partsSent);
    SetCursor(before);
    if (result == MODEM_OK)
        return true;
    wchar_t why[256] = {};
    ModemLastError(why, 256);
    kit::Ask(dialog, kit::Text(L"IDS_SMS_SEND_FAILED") + L"\n" + why, MB_OK | MB_ICONWARNING);
    return false;
}

INT_PTR CALLBACK ComposeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* draft = reinterpret_cast<Draft*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        draft = reinterpret_cast<Draft*>(lParam);
        SetWindowTextW(dialog, kit::Text(L"IDS_SMS_NEW").c_str());
        SetDlgItemTextW(dialog, IDC_COMPOSE_TO_LABEL, kit::Text(L"IDS_SMS_TO").c_str());
        SetDlgItemTextW(dialog, IDOK, kit::Text(L"IDS_SMS_SEND").c_str());
        SetDlgItemTextW(dialog, IDCANCEL, kit::Text(L"cancel").c_str());
        SendDlgItemMessageW(dialog, IDC_COMPOSE_TO, EM_LIMITTEXT, kMaxNumber, 0);
        SendDlgItemMessageW(dialog, IDC_COMPOSE_TEXT, EM_LIMITTEXT, kMaxTextUnits, 0);
        SetDlgItemTextW(dialog, IDC_COMPOSE_TO, draft->to.c_str());
        SetDlgItemTextW(dialog, IDC_COMPOSE_TEXT, draft->text.c_str());
        ShowParts(dialog);
        SetFocus(GetDlgItem(dialog, draft->to.empty() ? IDC_COMPOSE_TO : IDC_COMPOSE_TEXT));
        return FALSE;  // the focus is set
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_COMPOSE_TEXT && HIWORD(wParam) == EN_CHANGE) {
            ShowParts(dialog);
        } else if (LOWORD(wParam) == IDOK) {
            draft->to = WindowText(GetDlgItem(dialog, IDC_COMPOSE_TO));
            draft->text = WindowText(GetDlgItem(dialog, IDC_COMPOSE_TEXT));
            if (Send(dialog, *draft))
                EndDialog(dialog, IDOK);
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
        }
        return TRUE;
    }
    return FALSE;
}

// This computer's zone.
int LocalZoneQuarterHours()
{
    TIME_ZONE_INFORMATION zone;
    const DWORD which = GetTimeZoneInformation(&zone);
    const long bias = zone.Bias + (which == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : 0);
    return static_cast<int>(-bias / 15);
}

// Opens the dialog with a draft; a message sent is kept in the sent folder.
void Compose(const Draft& start)
{
    Draft draft = start;
    if (DialogBoxParamW(kit::ThisModule(), MAKEINTRESOURCEW(IDD_COMPOSE), GetAncestor(g_panel, GA_ROOT), ComposeProc,
                        reinterpret_cast<LPARAM>(&draft)) != IDOK)
        return;
    g_store->AddSent(draft.to, draft.text, sms::NowUtc(), LocalZoneQuarterHours());
    if (g_folder == sms::Folder::Sent)
        ShowList();
}

// Deletes the selected message here, and from the SIM too when the user says so.
void DeleteSelected()
{
    sms::StoredMessage message;
    if (g_selected == 0 || !g_store->Read(g_selected, message))
        return;
    // The modem's own record of the message, when it still holds it.
    int onSim = 0;
    if (!message.simIndexes.empty())
        for (const OnModem& listed : ModemMessages())
            if (onSim == 0 && sms::MessageStore::SameMessage(message, listed.message))
                onSim = listed.id;
    bool goneFromSim = onSim == 0;
    if (onSim != 0) {
        const int answer = kit::Ask(g_panel, kit::Text(L"IDS_SMS_DELETE_SIM"), MB_YESNOCANCEL | MB_ICONQUESTION);
        if (answer == IDCANCEL)
            return;
        if (answer == IDYES) {
            goneFromSim = ModemDeleteMessage(onSim) == MODEM_OK;
            if (!goneFromSim)
                kit::Ask(g_panel, kit::Text(L"IDS_SMS_DELETE_SIM_FAILED"), MB_OK | MB_ICONWARNING);
        }
    } else if (kit::Ask(g_panel, kit::Text(L"IDS_SMS_DELETE_ASK"), MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return;
    }
    g_store->Delete(g_selected, goneFromSim);
    g_selected = 0;
    SetWindowTextW(g_reader, L"");
    ShowList();
}

void ShowFolder(sms::Folder folder)
{
    g_folder = folder;
    g_selected = 0;
    SetWindowTextW(g_reader, L"");
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    std::wstring title = kit::Text(folder == sms::Folder::Sent ? L"IDS_SMS_TO" : L"IDS_SMS_FROM");
    column.pszText = title.data();
    ListView_SetColumn(g_list, sms::kColumnSender, &column);
    ShowList();
}

void Paint(HWND, HDC dc, const RECT& client)
{
    kit::DrawBackground(dc, client, g_skin.BackgroundColour(), g_skin.Background());

    kit::DrawControlText(dc, g_skin.Control("folder-title"), kit::Text(L"IDS_SMS_FOLDERS"));
    if (const TPluginControl* folders = g_skin.Control("folder-list")) {
        TPluginControl line = *folders;
        int row = 0;
        for (sms::Folder folder : {sms::Folder::Inbox, sms::Folder::Sent}) {
            line.rect.top = folders->rect.top + row++ * kFolderRowHeight;
            line.rect.bottom = line.rect.top + kFolderRowHeight - 2;
            if (folder == g_folder) {
                HBRUSH mark = CreateSolidBrush(RGB(214, 234, 248));
                FillRect(dc, &line.rect, mark);
                DeleteObject(mark);
            }
            kit::DrawControlText(dc, &line, L"   " + kit::Text(folder == sms::Folder::Sent ? L"IDS_SMS_OUTBOX"
                                                                                          : L"IDS_SMS_INBOX"));
        }
    }
    const char* buttons[] = {"new-button", "reply-button", "delete-button", "forward-button"};
    for (int i = 0; i < 4; ++i)
        kit::DrawControlTile(dc, g_skin.Control(buttons[i]), i, g_skin.Mask());
}

void OnClick(POINT at)
{
    auto inside = [&](const char* name) {
        const TPluginControl* control = g_skin.Control(name);
        return control != nullptr && PtInRect(&control->rect, at);
    };
    sms::StoredMessage message;
    const bool selected = g_selected != 0 && g_store->Read(g_selected, message);
    if (const TPluginControl* folders = g_skin.Control("folder-list"); folders && PtInRect(&folders->rect, at)) {
        const int row = (at.y - folders->rect.top) / kFolderRowHeight;
        if (row == 0 || row == 1)
            ShowFolder(row == 0 ? sms::Folder::Inbox : sms::Folder::Sent);
    } else if (inside("new-button")) {
        Compose({});
    } else if (inside("reply-button") && selected) {
        Compose({message.sender, L""});
    } else if (inside("forward-button") && selected) {
        Compose({L"", message.text});
    } else if (inside("delete-button") && selected) {
        DeleteSelected();
    }
    InvalidateRect(g_panel, nullptr, FALSE);
}

// The list view's notices: its rows, unread ones in bold, the selection.
LRESULT OnListNotify(NMHDR* header)
{
    switch (header->code) {
    case LVN_GETDISPINFOW:
        g_rows->OnGetDispInfo(reinterpret_cast<NMLVDISPINFOW*>(header));
        return 0;
    case LVN_ITEMCHANGED: {
        const auto* change = reinterpret_cast<NMLISTVIEW*>(header);
        if ((change->uChanged & LVIF_STATE) && (change->uNewState & LVIS_SELECTED) &&
            !(change->uOldState & LVIS_SELECTED))
            OnSelected(change->iItem);
        return 0;
    }
    case NM_CUSTOMDRAW: {
        auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(header);
        if (draw->nmcd.dwDrawStage == CDDS_PREPAINT)
            return CDRF_NOTIFYITEMDRAW;
        if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT && g_rows->Unread(static_cast<int>(draw->nmcd.dwItemSpec))) {
            SelectObject(draw->nmcd.hdc, g_boldFont);
            return CDRF_NEWFONT;
        }
        return CDRF_DODEFAULT;
    }
    }
    return 0;
}


LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (kit::NeedsContent(message, wParam))
        MakeContent();
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        kit::PaintBuffered(window, Paint);
        return 0;
    case WM_LBUTTONDOWN:
        OnClick({static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return 0;
    case WM_COMMAND:  // the search field: the list follows every keystroke
        if (LOWORD(wParam) == kSearchId && HIWORD(wParam) == EN_CHANGE)
            ShowList();
        return 0;
    case WM_NOTIFY:
        if (reinterpret_cast<NMHDR*>(lParam)->idFrom == kListId)
            return OnListNotify(reinterpret_cast<NMHDR*>(lParam));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int __cdecl NewMessage(TService*, TParam*)
{
    EnsureStarted();
    Compose({});
    return 1;
}

HWND Child(DWORD exStyle, const wchar_t* cls, DWORD style, const RECT& at, int id)
{
    HWND child = CreateWindowExW(exStyle, cls, L"", WS_CHILD | WS_VISIBLE | style, at.left, at.top,
                                 at.right - at.left, at.bottom - at.top, g_panel,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), kit::ThisModule(), nullptr);
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(g_font), FALSE);
    return child;
}

// The search field above the list, the list where the skin puts it, and the
// reading pane in the skin's preview place.
void MakeControls()
{
    const TPluginControl* list = g_skin.Control("message-list");
    const TPluginControl* header = g_skin.Control("list-header");
    const TPluginControl* preview = g_skin.Control("preview");
    const RECT listAt = list ? list->rect : RECT{181, 46, 599, 169};
    const RECT headerAt = header ? header->rect : RECT{186, 20, 596, 42};
    const RECT previewAt = preview ? preview->rect : RECT{188, 186, 592, 216};
    TPluginControl style{};
    style.nFontSize = -12;
    g_font = kit::CreateControlFont(list ? *list : style);
    g_boldFont = kit::CreateControlFont(list ? *list : style, FW_BOLD);

    const int searchTop = headerAt.top + (headerAt.bottom - headerAt.top - kSearchHeight) / 2;
    g_search = Child(WS_EX_CLIENTEDGE, L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP,
                     {headerAt.left, searchTop, headerAt.right, searchTop + kSearchHeight}, kSearchId);
    SendMessageW(g_search, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(kit::Text(L"IDS_SMS_SEARCH").c_str()));
    g_list = Child(0, WC_LISTVIEWW,
                   LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | WS_TABSTOP,
                   listAt, kListId);
    ListView_SetExtendedListViewStyle(g_list, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    sms::MessageList::AddColumns(g_list, kit::Text(L"IDS_SMS_FROM"), kit::Text(L"IDS_SMS_TIME"),
                                 kit::Text(L"IDS_SMS_TEXT"));
    g_reader = Child(0, L"EDIT", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL, previewAt, kReaderId);
}

// The panel's skin section, its controls and the kept messages listed.
void MakeContent()
{
    if (!g_content.First())
        return;
    OpenStore();
    g_skin.Load(g_iface, kName);
    MakeControls();
    ShowList();
}

HWND MakeSettingsPage()
{
    return kit::CreateSettingsPage(g_iface, &g_settings);
}

}  // namespace

KIVRA_KIT_ENTRY_POINTS(kName)

KIVRA_PLUGIN_EXPORT bool __cdecl LoadPlugin(CPluginInterface* iface, void* host)
{
    const HWND main = kit::Open(iface, host, g_iface);
    g_panel = kit::CreatePanel(main, L"KivraSmsPanel", PanelProc);
    TService services[] = {
        kit::Service("sms" KIVRA_SUFFIX_GET_PANEL_HANDLE, kit::AnswerWindow<&g_panel>),
        kit::Service("sms" KIVRA_SUFFIX_GET_SETTING_HANDLE, kit::AnswerWindowMadeOnFirstAsk<&g_settingsPage, MakeSettingsPage>),
        kit::Service("sms/NewMessage", NewMessage),
    };
    kit::RegisterServices(iface, services);
    g_busCookie = OpSubscribeOnThisThread(OnBus, nullptr);  // EnsureStarted on its notice
    return true;
}

KIVRA_PLUGIN_EXPORT bool __cdecl UnloadPlugin(void)
{
    OpUnsubscribe(g_busCookie);
    kit::DestroyPanel(g_panel);  // with its controls
    kit::DestroySettingsPage(g_settingsPage);
    g_search = g_list = g_reader = g_settingsPage = nullptr;
    DeleteObject(g_font);
    DeleteObject(g_boldFont);
    g_font = g_boldFont = nullptr;
    g_busCookie = 0;
    g_rows.reset();
    g_store.reset();  // its statements finalized before the plugin goes
    g_skin.Release();
    g_content.Reset();
    g_started.Reset();
    g_settings.loaded = false;
    g_iface = nullptr;
    return true;
}
