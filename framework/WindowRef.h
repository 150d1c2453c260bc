// A window handle with thin helpers. WindowRef owns nothing: copying it copies
// the handle, and destroying it leaves the window alone. Every helper is safe
// on a null or dead handle (it fails the way the underlying call fails).
#pragma once

#include <windows.h>

#include <string>

namespace kivra {

class WindowRef {
public:
    WindowRef() = default;
    // Implicit on purpose, so HWND and WindowRef mix freely in calls.
    WindowRef(HWND hwnd) : hwnd_(hwnd) {}

    HWND Handle() const { return hwnd_; }
    operator HWND() const { return hwnd_; }
    bool IsWindow() const { return hwnd_ != nullptr && ::IsWindow(hwnd_) != FALSE; }

    // Text of the window (caption, control text); empty on failure.
    std::wstring GetText() const;
    bool SetText(const wchar_t* text) const { return ::SetWindowTextW(hwnd_, text ? text : L"") != FALSE; }
    // Text of the child with this control id.
    std::wstring ItemText(int id) const { return Item(id).GetText(); }
    bool SetItemText(int id, const wchar_t* text) const { return Item(id).SetText(text); }
    std::wstring ClassName() const;

    // ShowWindow; answers whether the window was visible before.
    bool Show(int command = SW_SHOW) const { return ::ShowWindow(hwnd_, command) != FALSE; }
    bool Hide() const { return Show(SW_HIDE); }
    bool IsVisible() const { return ::IsWindowVisible(hwnd_) != FALSE; }
    bool Enable(bool enable = true) const { return ::EnableWindow(hwnd_, enable ? TRUE : FALSE) != FALSE; }
    bool IsEnabled() const { return ::IsWindowEnabled(hwnd_) != FALSE; }
    bool Destroy() const { return ::DestroyWindow(hwnd_) != FALSE; }
    bool Invalidate(bool erase = true) const { return ::InvalidateRect(hwnd_, nullptr, erase ? TRUE : FALSE) != FALSE; }

    // Position and size; for a child in its parent's client coordinates.
    bool Move(int x, int y, int width, int height, bool repaint = true) const
    {
        return ::MoveWindow(hwnd_, x, y, width, height, repaint ? TRUE : FALSE) != FALSE;
    }
    bool Move(const RECT& rect, bool repaint = true) const
    {
        return Move(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, repaint);
    }
    RECT ClientRect() const;
    // Window rectangle in screen coordinates.
    RECT WindowRect() const;
    // Window rectangle in the client coordinates of the parent (screen
    // coordinates for a window without parent).
    RECT RectInParent() const;
    // Whether the window has a frame, scroll bars or a caption around its
    // client area: without them WM_NCPAINT has nothing to paint.
    bool HasNonClientArea() const;

    LRESULT Send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const { return ::SendMessageW(hwnd_, msg, wParam, lParam); }
    bool Post(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const { return ::PostMessageW(hwnd_, msg, wParam, lParam) != FALSE; }

    WindowRef Parent() const { return ::GetParent(hwnd_); }
    // The child with this control id (a dialog item), or a null ref.
    WindowRef Item(int id) const { return hwnd_ ? ::GetDlgItem(hwnd_, id) : nullptr; }
    int Id() const { return ::GetDlgCtrlID(hwnd_); }

    LONG_PTR Style() const { return ::GetWindowLongPtrW(hwnd_, GWL_STYLE); }
    LONG_PTR ExStyle() const { return ::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE); }
    // Removes then adds style bits; with frameChanged the frame is recomputed
    // (needed when caption or border bits change). Answers whether the style changed.
    bool ModifyStyle(LONG_PTR remove, LONG_PTR add, bool frameChanged = false) const;
    bool ModifyExStyle(LONG_PTR remove, LONG_PTR add, bool frameChanged = false) const;

    UINT_PTR SetTimer(UINT_PTR id, UINT milliseconds) const { return ::SetTimer(hwnd_, id, milliseconds, nullptr); }
    bool KillTimer(UINT_PTR id) const { return ::KillTimer(hwnd_, id) != FALSE; }

    HFONT Font() const { return reinterpret_cast<HFONT>(Send(WM_GETFONT)); }
    void SetFont(HFONT font, bool redraw = true) const { Send(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw ? TRUE : FALSE); }

protected:
    HWND hwnd_ = nullptr;
};

}  // namespace kivra
