// PluginKit.h - the little the sample plugins share, built on kivra_plugin.h
// alone: calling services, the plugin's section of the skin, a panel window
// that paints without flicker, and drawing texts and strip tiles where the
// skin places a panel's controls. Copy it along with a sample.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

#include "kivra_plugin.h"

namespace kit {

// Copies text into a 64-byte name field, cut to 63 characters.
inline void CopyName(char (&field)[KIVRA_NAME_SIZE], const char* text)
{
    std::strncpy(field, text, KIVRA_NAME_SIZE - 1);
    field[KIVRA_NAME_SIZE - 1] = 0;
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
    wcsncpy(pane.szText, text.c_str(), KIVRA_NAME_SIZE - 1);
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
        iface_ = iface;
        CopyName(skin_.szPluginName, pluginName);
        skin_.pControls = &list_;
        TParam param{};
        param.pData = &skin_;
        Call(iface, KIVRA_SVC_SELECT_PLUGIN_NAME, &param);
        return skin_.bFound != 0;
    }

    void Release()
    {
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

// Draws text into the control's rectangle with the control's font and colour.
// A control the skin does not have, or hides, draws nothing.
inline void DrawControlText(HDC dc, const TPluginControl* control, const std::wstring& text,
                            UINT format = DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS)
{
    if (control == nullptr || !control->bVisible)
        return;
    HFONT font = CreateFontW(control->nFontSize, 0, 0, 0, control->nFontWeight, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, 0, 0, CLEARTYPE_QUALITY, 0,
                             control->szFontFace[0] ? control->szFontFace : L"Tahoma");
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

// A hidden child window of parent, of a window class registered here, that
// paints through paint(hdc, client) into a picture first (no flicker).
using PaintFunction = void (*)(HWND window, HDC dc, const RECT& client);

inline HWND CreatePanel(HWND parent, const wchar_t* className, WNDPROC proc)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = className;
    RegisterClassW(&wc);
    return CreateWindowExW(0, className, L"", WS_CHILD | WS_CLIPCHILDREN, 0, 0, 100, 100, parent, nullptr,
                           wc.hInstance, nullptr);
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

}  // namespace kit

// The five entry points, exported undecorated.
#define KIVRA_PLUGIN_EXPORT extern "C" __declspec(dllexport)
