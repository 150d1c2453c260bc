// PluginKit.h - the little the sample plugins share, built on kivra_plugin.h
// alone: calling services, the plugin's section of the skin, a panel window
// that paints without flicker, drawing texts and strip tiles where the skin
// places a panel's controls, a settings page of check boxes and text fields
// kept in the database (PluginData.h), notifications and the drop zone's
// graph, and the few pieces that keep LoadPlugin short (kit::Once and what
// follows it). Copy it, and PluginData.h, along with a sample.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "kivra_plugin.h"
#include "PluginData.h"

namespace kit {

// Copies text into a fixed field of the records, cut to fit and always
// terminated; the rest of the field is zeroed. A null text leaves it empty.
template <typename Char, size_t N>
inline void CopyField(Char (&field)[N], const Char* text)
{
    size_t at = 0;
    for (; text != nullptr && text[at] != 0 && at + 1 < N; ++at)
        field[at] = text[at];
    for (; at < N; ++at)
        field[at] = 0;
}

// Copies text into a 64-byte name field, cut to 63 characters.
inline void CopyName(char (&field)[KIVRA_NAME_SIZE], const char* text)
{
    CopyField(field, text);
}

// GetPluginInfo's answer: the plugin's name, the first part of its service paths.
inline void FillPluginInfo(PluginInfo* info, const char* name)
{
    std::memset(info, 0, sizeof(*info));
    CopyName(info->szName, name);
    CopyName(info->szSecondName, name);
    info->dwVersion = 0x100;
}

// A record for RegisterService: path and handler, everything else 0.
inline TService Service(const char* path, TServiceHandler handler)
{
    TService service{};
    CopyName(service.szName, path);
    service.pfnHandler = handler;
    return service;
}

// The handler of a service that hands out a window, such as
// "<name>/GetPanelHandle": it puts *window into the caller's hWnd.
template <HWND* window>
int __cdecl AnswerWindow(TService* service, TParam*)
{
    service->hWnd = *window;
    return 1;
}

// The handler of a service that hands out a window made when first asked
// for, such as "<name>/GetSettingHandle": make() makes *window while it has
// none, and it is answered as with AnswerWindow.
template <HWND* window, HWND (*make)()>
int __cdecl AnswerWindowMadeOnFirstAsk(TService* service, TParam*)
{
    if (*window == nullptr)
        *window = make();
    service->hWnd = *window;
    return 1;
}

// Registers every record of services (the shell keeps copies).
template <size_t N>
inline void RegisterServices(CPluginInterface* iface, TService (&services)[N])
{
    for (TService& service : services)
        iface->RegisterService(&service);
}

// Calls a service (or a list of them) with param, or with no arguments.
inline int Call(CPluginInterface* iface, const char* path, TParam* param = nullptr)
{
    if (iface == nullptr)
        return 0;
    TService service = Service(path, nullptr);
    TParam none{};
    return iface->CallService(&service, param != nullptr ? param : &none);
}

// A text of the language file (the id itself when it has none).
inline std::wstring Text(const wchar_t* id)
{
    return TranslateText(id);
}

// Writes text into the status-bar pane that the skin names paneName.
inline void SetStatusPane(CPluginInterface* iface, const char* paneName, const std::wstring& text)
{
    TStatusPaneInfo pane{};
    CopyName(pane.szCommandName, paneName);
    CopyField(pane.szText, text.c_str());
    TParam param{};
    param.pData = &pane;
    Call(iface, KIVRA_SVC_MAIN_APP_SHOW_STATUS_BAR, &param);
}

// The plugin's section of the skin ("skin/plugin" with its name): colours,
// background picture and the controls it places, by name. The pictures are
// the plugin's once handed out; Release gives everything back.
class PanelSkin {
public:
    PanelSkin() { KivraInitControlList(&list_, &sentinel_); }
    ~PanelSkin() { Release(); }
    PanelSkin(const PanelSkin&) = delete;
    PanelSkin& operator=(const PanelSkin&) = delete;

    bool Load(CPluginInterface* iface, const char* pluginName)
    {
        Release();
        loaded_ = true;
        iface_ = iface;
        CopyName(skin_.szPluginName, pluginName);
        skin_.pControls = &list_;
        TParam param{};
        param.pData = &skin_;
        Call(iface, KIVRA_SVC_SELECT_PLUGIN_NAME, &param);
        return skin_.bFound != 0;
    }

    // Load, the first time only until Release: a panel calls it on its first
    // show or paint (NeedsContent).
    void LoadOnce(CPluginInterface* iface, const char* pluginName)
    {
        if (!loaded_)
            Load(iface, pluginName);
    }

    void Release()
    {
        loaded_ = false;
        for (TPluginControlNode* node = sentinel_.pNext; node != &sentinel_; node = node->pNext)
            if (node->control.hImageList != nullptr)
                DeleteObject(node->control.hImageList);
        if (iface_ != nullptr) {
            TParam param{};
            param.pData = &skin_;
            Call(iface_, KIVRA_SVC_DELETE_PLUGIN_RES, &param);
        }
        if (skin_.hBackground != nullptr)
            DeleteObject(skin_.hBackground);
        skin_.hBackground = nullptr;
        skin_.bFound = 0;
    }

    const TPluginControl* Control(const char* name) const
    {
        for (const TPluginControlNode* node = sentinel_.pNext; node != &sentinel_; node = node->pNext)
            if (std::strncmp(node->control.szName, name, KIVRA_NAME_SIZE) == 0)
                return &node->control;
        return nullptr;
    }
    HBITMAP Background() const { return skin_.hBackground; }
    COLORREF BackgroundColour() const { return skin_.crBackground; }
    COLORREF Mask() const { return skin_.crMask; }

private:
    CPluginInterface* iface_ = nullptr;
    bool loaded_ = false;
    TPluginSkin skin_{};
    TPluginControlList list_{};
    TPluginControlNode sentinel_{};
};

// Copies the whole of bitmap to (x, y).
inline void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y)
{
    BITMAP info{};
    if (bitmap == nullptr || !GetObjectW(bitmap, sizeof(info), &info))
        return;
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, bitmap);
    BitBlt(dc, x, y, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
}

// The panel's background: picture (may be null) at the top-left corner of
// client, and colour wherever the picture does not reach. Only that part is
// filled: a panel-sized fill under the picture cost its first paint a
// quarter of a millisecond.
inline void DrawBackground(HDC dc, const RECT& client, COLORREF colour, HBITMAP picture)
{
    BITMAP info{};
    if (picture == nullptr || !GetObjectW(picture, sizeof(info), &info))
        info.bmWidth = info.bmHeight = 0;
    DrawBitmap(dc, picture, 0, 0);
    const RECT uncovered[] = {
        {info.bmWidth, client.top, client.right, client.bottom},   // right of it
        {client.left, info.bmHeight, info.bmWidth, client.bottom},  // below it
    };
    HBRUSH fill = CreateSolidBrush(colour);
    for (const RECT& part : uncovered) {
        RECT inside;
        if (IntersectRect(&inside, &part, &client))
            FillRect(dc, &inside, fill);
    }
    DeleteObject(fill);
}

// The font the skin gives a control (weight: its own when 0); the caller
// deletes it.
inline HFONT CreateControlFont(const TPluginControl& control, int weight = 0)
{
    return CreateFontW(control.nFontSize, 0, 0, 0, weight != 0 ? weight : control.nFontWeight, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY, 0,
                       control.szFontFace[0] ? control.szFontFace : L"Tahoma");
}

// Draws text into the control's rectangle with the control's font and colour.
// A control the skin does not have, or hides, draws nothing.
inline void DrawControlText(HDC dc, const TPluginControl* control, const std::wstring& text,
                            UINT format = DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS)
{
    if (control == nullptr || !control->bVisible)
        return;
    HFONT font = CreateControlFont(*control);
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, control->crFontColor);
    RECT rect = control->rect;
    DrawTextW(dc, text.c_str(), -1, &rect, format);
    SelectObject(dc, old);
    DeleteObject(font);
}

// Draws tile index of the control's image strip (tiles side by side) at the
// control's top-left corner, leaving out the pixels of colour mask.
inline void DrawControlTile(HDC dc, const TPluginControl* control, int index, COLORREF mask)
{
    if (control == nullptr || !control->bVisible || control->hImageList == nullptr)
        return;
    const int w = control->nImageWidth;
    const int h = control->nImageHeight;
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, control->hImageList);
    TransparentBlt(dc, control->rect.left, control->rect.top, w, h, source, index * w, 0, w, h, mask);
    SelectObject(source, old);
    DeleteDC(source);
}

// The plugin's own module (its DLL), for its resources and window classes:
// each plugin registers its classes for itself, and only its own windows use
// its code.
inline HINSTANCE ThisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

// A message box over the main window with the product's title.
inline int Ask(HWND owner, const std::wstring& text, unsigned type)
{
    return PluginMessageBox(text.c_str(), owner != nullptr ? GetAncestor(owner, GA_ROOT) : nullptr, type, nullptr);
}

// Slides the taskbar notifier out with text.
inline void Notify(CPluginInterface* iface, const std::wstring& text)
{
    std::wstring copy = text;  // the service takes a writable text
    TParam param{};
    param.pszText = copy.data();
    Call(iface, KIVRA_SVC_NOTIFICATION_DISPLAY_WND, &param);
}

// The floating drop zone: its graph and number on or off, and one more
// sample (a bar of 0 to 255 pixels) with the number and tooltip shown.
inline void ShowDropZoneData(CPluginInterface* iface, bool on)
{
    TParam param{};
    param.wParam = on ? 1 : 0;
    Call(iface, KIVRA_SVC_DROPZONE_SHOW_DATA_STATUS, &param);
}
inline void FeedDropZone(CPluginInterface* iface, int sample, int number, const std::wstring& tip)
{
    std::wstring copy = tip;
    TParam param{};
    param.wParam = static_cast<WPARAM>(sample < 0 ? 0 : sample > 255 ? 255 : sample);
    param.lParam = number;
    param.pszText = copy.data();
    Call(iface, KIVRA_SVC_DROPZONE_UPDATE_LAST_DATA, &param);
}

// The settings dialog's window, the parent of a settings page. The shell
// hands out its window object (not its handle) in the hWnd field of the
// record "manager/ProvideSetCWnd" copies back; KivraWindowHandle reads the
// handle from it.
inline HWND SettingsDialogWindow(CPluginInterface* iface)
{
    if (iface == nullptr)
        return nullptr;
    TService service = Service(KIVRA_SVC_PROVIDE_SET_CWND, nullptr);
    TParam none{};
    if (iface->CallService(&service, &none) == 0)
        return nullptr;
    return KivraWindowHandle(service.hWnd);
}

// A settings page: a heading, one check box per option and one labelled text
// field per field, a hidden child of the settings dialog. The controls show
// the values each time the page shows (so Cancel drops what the user
// changed); the shell's KIVRA_MSG_APPLY_SETTINGS (on OK, or Apply while the
// page shows) reads them back, keeps them in the database under the page's
// plugin name (kit::Settings) and calls applied. The controls are made once
// the main window is up (FillSettingsPage) or on the page's first show,
// after reading the kept values (LoadSettingsOnce), so a plugin's choices
// survive a restart; a page without controls keeps them on OK. Make it when the shell first asks "<name>/GetSettingHandle"
// (kit::AnswerWindowMadeOnFirstAsk). Texts are text ids. The page's records
// (SettingsPage, Option, Field) are in PluginData.h.
namespace detail {
constexpr int kFirstOptionId = 100;
constexpr int kFirstFieldId = 200;
constexpr int kMargin = 8;
constexpr wchar_t kSettingsPageClass[] = L"KivraKitSettingsPage";

// The controls show the values.
inline void ShowValues(HWND window, const SettingsPage& page)
{
    for (size_t i = 0; i < page.options.size(); ++i)
        CheckDlgButton(window, kFirstOptionId + static_cast<int>(i),
                       *page.options[i].value ? BST_CHECKED : BST_UNCHECKED);
    for (size_t i = 0; i < page.fields.size(); ++i)
        SetDlgItemTextW(window, kFirstFieldId + static_cast<int>(i), page.fields[i].value->c_str());
}

// The controls' values go back into the page's variables.
inline void ReadValues(HWND window, SettingsPage& page)
{
    for (size_t i = 0; i < page.options.size(); ++i)
        *page.options[i].value = IsDlgButtonChecked(window, kFirstOptionId + static_cast<int>(i)) == BST_CHECKED;
    for (size_t i = 0; i < page.fields.size(); ++i) {
        HWND edit = GetDlgItem(window, kFirstFieldId + static_cast<int>(i));
        std::wstring text(static_cast<size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
        text.resize(static_cast<size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
        *page.fields[i].value = text;
    }
}

// Every control across the page, one under the other.
inline void LayOut(HWND window, int width)
{
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT at;
        GetWindowRect(child, &at);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&at), 2);
        MoveWindow(child, at.left, at.top, width - 2 * at.left, at.bottom - at.top, TRUE);
    }
}

// The heading, the check boxes and the labelled fields, made when the page
// first shows (with the kept values read then, unless the plugin read them).
inline void MakeControls(HWND window, SettingsPage& page)
{
    LoadSettingsOnce(page);
    const HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
    int y = 4;
    auto add = [&](DWORD exStyle, const wchar_t* cls, const std::wstring& text, DWORD style, int height, int id) {
        HWND child = CreateWindowExW(exStyle, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, kMargin, y,
                                     300 - 2 * kMargin, height, window,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ThisModule(), nullptr);
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    };
    add(0, L"STATIC", Text(page.titleId), SS_LEFT, 16, -1);
    y += 20;
    add(0, L"STATIC", L"", SS_ETCHEDHORZ, 2, -1);
    y += 12;
    for (size_t i = 0; i < page.options.size(); ++i, y += 24)
        add(0, L"BUTTON", Text(page.options[i].textId), BS_AUTOCHECKBOX | WS_TABSTOP, 20,
            kFirstOptionId + static_cast<int>(i));
    y += 6;
    for (size_t i = 0; i < page.fields.size(); ++i, y += 26) {
        add(0, L"STATIC", Text(page.fields[i].textId), SS_LEFT, 16, -1);
        y += 18;
        add(WS_EX_CLIENTEDGE, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP | page.fields[i].style, 20,
            kFirstFieldId + static_cast<int>(i));
    }
    RECT client;
    GetClientRect(window, &client);
    LayOut(window, client.right);
}

inline LRESULT CALLBACK SettingsPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* page = reinterpret_cast<SettingsPage*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_NCCREATE:
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        break;
    case WM_SIZE:
        LayOut(window, LOWORD(lParam));
        return 0;
    case WM_SHOWWINDOW:
        if (page == nullptr || !wParam)
            break;
        if (GetWindow(window, GW_CHILD) == nullptr) {
            // The shell shows the first page while it fills the hidden
            // dialog at start: FillSettingsPage makes it once the window is up.
            if (!IsWindowVisible(GetParent(window)))
                break;
            MakeControls(window, *page);
        }
        ShowValues(window, *page);
        break;
    case KIVRA_MSG_APPLY_SETTINGS:
        if (page == nullptr)
            return 0;
        // A page that never showed has no controls: its values are the kept ones.
        LoadSettingsOnce(*page);
        if (GetWindow(window, GW_CHILD) != nullptr)
            ReadValues(window, *page);
        SaveSettings(*page);
        if (page->applied != nullptr)
            page->applied();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
}  // namespace detail

// Makes the page in the settings dialog, empty: its controls come with
// FillSettingsPage or its first show, whichever comes first. Null
// when there is no dialog. page must live until DestroySettingsPage.
inline HWND CreateSettingsPage(CPluginInterface* iface, SettingsPage* page)
{
    const HWND dialog = SettingsDialogWindow(iface);
    if (dialog == nullptr)
        return nullptr;
    WNDCLASSW wc{};
    wc.lpfnWndProc = detail::SettingsPageProc;
    wc.hInstance = ThisModule();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = detail::kSettingsPageClass;
    RegisterClassW(&wc);
    return CreateWindowExW(WS_EX_CONTROLPARENT, detail::kSettingsPageClass, L"", WS_CHILD, 0, 0, 300, 200, dialog,
                           nullptr, wc.hInstance, page);
}

// Makes the controls of a page of CreateSettingsPage that has none yet, as
// its first show would: call it once the main window is up (MainWindowUp),
// so the page is whole before the user opens the dialog.
inline void FillSettingsPage(HWND window)
{
    auto* page = reinterpret_cast<SettingsPage*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (window == nullptr || page == nullptr || GetWindow(window, GW_CHILD) != nullptr)
        return;
    detail::MakeControls(window, *page);
    detail::ShowValues(window, *page);
}

// Destroys the page (unless the dialog took it along already) and its class.
inline void DestroySettingsPage(HWND window)
{
    if (IsWindow(window))
        DestroyWindow(window);
    UnregisterClassW(detail::kSettingsPageClass, ThisModule());
}

// A hidden child window of parent, of a window class the plugin registers
// for its own module (DestroyPanel takes the class back), that paints
// through paint(hdc, client) into a picture first (no flicker).
using PaintFunction = void (*)(HWND window, HDC dc, const RECT& client);

inline HWND CreatePanel(HWND parent, const wchar_t* className, WNDPROC proc)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = ThisModule();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = className;
    RegisterClassW(&wc);
    return CreateWindowExW(0, className, L"", WS_CHILD | WS_CLIPCHILDREN, 0, 0, 100, 100, parent, nullptr,
                           wc.hInstance, nullptr);
}

// Destroys a panel of CreatePanel and, once no window of its class is left,
// the class: its window procedure goes with the plugin's library.
inline void DestroyPanel(HWND& window)
{
    if (window == nullptr)
        return;
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    DestroyWindow(window);
    window = nullptr;
    UnregisterClassW(className, ThisModule());  // fails while another panel of it is left
}

inline void PaintBuffered(HWND window, PaintFunction paint)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP picture = CreateCompatibleBitmap(dc, client.right, client.bottom);
    HGDIOBJ old = SelectObject(memory, picture);
    paint(window, memory, client);
    BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteObject(picture);
    DeleteDC(memory);
    EndPaint(window, &ps);
}

// Keeping LoadPlugin short. The shell waits for every LoadPlugin before it
// shows its window, so LoadPlugin only keeps the interface, makes the panel
// (an empty hidden child of the main window), registers the services and
// subscribes to the bus. Everything else is made when first needed, by a
// function of the plugin that begins with "if (!once.First()) return;" and
// is called from every entry that needs what it makes:
//  - the panel's skin section and controls on the panel's first show or
//    paint (NeedsContent), or when a service needs them;
//  - the settings page when the shell first asks for it
//    (AnswerWindowMadeOnFirstAsk), reading its kept values then;
//  - the store, the settings the plugin acts on, ModemStart and the content
//    of a hidden panel once the bus says the main window is up
//    (MainWindowUp), or earlier when a service or another bus message needs
//    them: the user sees the window without waiting for them.
// UnloadPlugin undoes what ran (Done), whether or not it all did, and Resets.
class Once {
public:
    // True the first time only: the part runs from the moment it is asked
    // for, so what it calls may ask for it again.
    bool First()
    {
        const bool first = !done_;
        done_ = true;
        return first;
    }
    bool Done() const { return done_; }
    void Reset() { done_ = false; }

private:
    bool done_ = false;
};

// Whether a panel's message is the first need of its content: it shows
// (WM_SHOWWINDOW with wParam TRUE) or paints, whichever comes first.
inline bool NeedsContent(UINT message, WPARAM wParam)
{
    return (message == WM_SHOWWINDOW && wParam != FALSE) || message == WM_PAINT;
}

// The shell's bus message once its main window is up, shown and painted
// (ostel.h): 0x8069 with wParam 1 (wParam 0 says every plugin is loaded,
// 0x8000 a device arrival).
constexpr unsigned long kBusShellNotice = 0x8069;
inline bool MainWindowUp(unsigned long message, unsigned int wParam)
{
    return message == kBusShellNotice && wParam == 1;
}

// LoadPlugin's first step: keeps iface in kept (for the services to call
// back) and answers the main window, the parent of the plugin's panels.
inline HWND Open(CPluginInterface* iface, void* host, CPluginInterface*& kept)
{
    kept = iface;
    return KivraWindowHandle(host);
}

}  // namespace kit

// The five entry points, exported undecorated.
#define KIVRA_PLUGIN_EXPORT extern "C" __declspec(dllexport)

// Three of them every sample answers alike, for the plugin called name:
// GetPluginInfo with that name, CheckDependenceInfo taking this shell's
// version and later ones, and ExecuteService, which the shell never calls
// (each service has its own handler). The plugin writes LoadPlugin and
// UnloadPlugin itself.
#define KIVRA_KIT_ENTRY_POINTS(name)                                                \
    KIVRA_PLUGIN_EXPORT void __cdecl GetPluginInfo(PluginInfo* info)                \
    {                                                                               \
        kit::FillPluginInfo(info, name);                                            \
    }                                                                               \
    KIVRA_PLUGIN_EXPORT bool __cdecl CheckDependenceInfo(unsigned long hostVersion) \
    {                                                                               \
        return hostVersion >= PLUGIN_HOST_VERSION;                                  \
    }                                                                               \
    KIVRA_PLUGIN_EXPORT int __cdecl ExecuteService(TService*, TParam*)              \
    {                                                                               \
        return 0;                                                                   \
    }
