// CTaskbarNotifier: the message window that slides out of the taskbar's side
// of the screen, stays a second and slides back ("manager/Notification/
// DisplayWnd"). Its look is a skin bitmap whose mask-coloured pixels are cut
// out of the window shape, with the text centred in a skin rectangle; under
// the mouse the text is underlined and blue. A click posts
// kNotifierClickedMessage to the click target.
//
// The motion (sides, timers, states) is NotifierMotion's; this class only
// carries out what it answers. The main window's frame owns one, made when
// the main window applies the skin and destroyed at shutdown.
#pragma once

#include <string>

#include "dialogs/NotifierMotion.h"
#include "framework/Handles.h"
#include "framework/Window.h"

namespace kivra {

// Posted to the click target (wParam 0, lParam 0) when the notifier is clicked.
constexpr UINT kNotifierClickedMessage = WM_USER + 123;
constexpr wchar_t kNotifierClassName[] = L"KivraTaskbarNotifier";
// Without a skin bitmap the window keeps this size.
constexpr int kNotifierDefaultSize = 400;
constexpr COLORREF kNotifierTextColor = RGB(0, 0, 0);
constexpr COLORREF kNotifierHoverTextColor = RGB(0, 0, 200);
// DrawTextW: centred, word-wrapped, cut with an ellipsis.
constexpr UINT kNotifierTextFormat = DT_CENTER | DT_VCENTER | DT_WORDBREAK | DT_END_ELLIPSIS;

class CTaskbarNotifier : public CWindow {
public:
    CTaskbarNotifier() = default;

    // Makes the hidden popup window owned by parent (the desktop window at
    // start-up), its fonts and the default text rectangle. The click target
    // is parent until SetClickTarget says otherwise.
    bool Create(HWND parent);
    // Where the click message goes. Start-up names the main window: the
    // desktop, the notifier's parent, would drop it.
    void SetClickTarget(HWND target) { clickTarget_ = target; }

    // Takes a copy of bitmap (the caller keeps its own) as the window's look:
    // the size becomes the bitmap's and the text rectangle the whole bitmap.
    // With none of red, green and blue -1, the pixels of that colour are cut
    // out of the window shape. A null bitmap changes nothing.
    void SetSkin(HBITMAP bitmap, int red, int green, int blue);
    void SetTextRect(const RECT& rect) { textRect_ = rect; }

    // Shows text (see NotifierMotion for what happens in each state).
    void Show(const wchar_t* text);
    // Stops every timer, hides the window and moves it out of the way.
    void Hide();

    const std::wstring& Text() const { return text_; }
    const RECT& TextRect() const { return textRect_; }
    const NotifierMotion& Motion() const { return motion_; }
    bool MouseOver() const { return mouseOver_; }
    // Whether a window region cut from the skin is in force.
    bool HasShape() const { return hasShape_; }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void Apply(const NotifierAction& action);
    void Redraw();

    void OnCreate();                    // WM_CREATE
    void OnTimer(UINT_PTR id);          // WM_TIMER
    bool OnEraseBackground(HDC dc);     // WM_ERASEBKGND; false: default
    void OnPaint();                     // WM_PAINT
    void OnMouseMove();                 // WM_MOUSEMOVE
    void OnMouseHover();                // WM_MOUSEHOVER
    void OnMouseLeave();                // WM_MOUSELEAVE
    bool OnSetCursor(UINT hitTest);     // WM_SETCURSOR; true: set here
    void OnLButtonUp();                 // WM_LBUTTONUP

    HWND parent_ = nullptr;
    HWND clickTarget_ = nullptr;
    UniqueFont normalFont_;
    UniqueFont underlinedFont_;
    HCURSOR handCursor_ = nullptr;  // shared system cursor, not destroyed
    UniqueBitmap skin_;
    bool hasShape_ = false;
    RECT textRect_ = {};
    std::wstring text_;
    bool mouseOver_ = false;
    NotifierMotion motion_;
};

}  // namespace kivra
