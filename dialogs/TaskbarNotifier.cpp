#include "dialogs/TaskbarNotifier.h"

#include <commctrl.h>

namespace kivra {

namespace {

constexpr wchar_t kNotifierFontFace[] = L"Arial";
constexpr int kNotifierFontPoints = 9;
// The default text rectangle keeps these margins from the window's edges.
constexpr int kTextMarginX = 10;
constexpr int kTextMarginTop = 40;
constexpr int kTextMarginBottom = 25;
// The hover comes almost at once: the text reacts as the mouse arrives.
constexpr DWORD kHoverTimeMs = 1;
// SetWindowPos of every tick: keep the z-order and the activation.
constexpr UINT kTickMoveFlags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;

HFONT MakeNotifierFont(bool underlined)
{
    WindowDc screen(nullptr);
    const int height = -::MulDiv(kNotifierFontPoints, ::GetDeviceCaps(screen.get(), LOGPIXELSY), 72);
    return ::CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, underlined ? TRUE : FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS,
                         kNotifierFontFace);
}

}  // namespace

bool CTaskbarNotifier::Create(HWND parent)
{
    if (hwnd_ != nullptr)
        return false;
    WNDCLASSEXW windowClass{};
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kNotifierClassName;
    if (RegisterWindowClass(windowClass) == 0)
        return false;
    if (!CWindow::Create(0, kNotifierClassName, L"", WS_POPUP, 0, 0, 0, 0, parent))
        return false;
    ::SetWindowLongW(hwnd_, GWL_EXSTYLE, WS_EX_TOOLWINDOW);
    parent_ = parent;
    clickTarget_ = parent;
    normalFont_.reset(MakeNotifierFont(false));
    underlinedFont_.reset(MakeNotifierFont(true));
    Redraw();
    textRect_ = {kTextMarginX, kTextMarginTop, motion_.Width() - kTextMarginX, motion_.Height() - kTextMarginBottom};
    return true;
}

void CTaskbarNotifier::SetSkin(HBITMAP bitmap, int red, int green, int blue)
{
    BITMAP info{};
    if (bitmap == nullptr || ::GetObjectW(bitmap, sizeof(info), &info) == 0)
        return;
    // Our own copy: the skin's bitmap stays the frame context's.
    skin_.reset(static_cast<HBITMAP>(::CopyImage(bitmap, IMAGE_BITMAP, 0, 0, 0)));
    if (!skin_)
        return;
    const int height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    motion_.SetSize(info.bmWidth, height);
    textRect_ = {0, 0, info.bmWidth, height};
    if (red == -1 || green == -1 || blue == -1 || hwnd_ == nullptr)
        return;
    UniqueRegion shape = NotifierRegion(skin_.get(), RGB(red, green, blue));
    if (!shape)
        return;
    // The window owns the region from here on.
    if (::SetWindowRgn(hwnd_, shape.get(), TRUE) != 0) {
        shape.release();
        hasShape_ = true;
    }
}

void CTaskbarNotifier::Show(const wchar_t* text)
{
    if (hwnd_ == nullptr)
        return;
    text_ = text != nullptr ? text : L"";
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
    ::SetForegroundWindow(hwnd_);
    Apply(motion_.Show(work, screenWidth, screenHeight));
}

void CTaskbarNotifier::Hide()
{
    // Every timer, not only the current state's: a Show while disappearing
    // runs the stay timer in that state.
    for (UINT_PTR timer : {kNotifierAppearTimer, kNotifierStayTimer, kNotifierDisappearTimer})
        KillTimer(timer);
    if (hwnd_ != nullptr) {
        ::MoveWindow(hwnd_, 0, 0, 0, 0, TRUE);
        ::ShowWindow(hwnd_, SW_HIDE);
    }
    motion_.Reset();
}

void CTaskbarNotifier::Apply(const NotifierAction& action)
{
    if (action.killTimer != 0)
        KillTimer(action.killTimer);
    if (action.startTimer != 0)
        SetTimer(action.startTimer, action.interval);
    if (action.show)
        ::ShowWindow(hwnd_, SW_SHOW);
    if (action.move) {
        const POINT at = motion_.Position();
        ::SetWindowPos(hwnd_, nullptr, at.x, at.y, motion_.Width(), motion_.Height(), kTickMoveFlags);
    }
    if (action.redraw)
        Redraw();
    if (action.hide)
        Hide();
}

void CTaskbarNotifier::Redraw()
{
    ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

// ---------------------------------------------------------------------------
// Message map

LRESULT CTaskbarNotifier::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE: {  // void OnCreate()
        const LRESULT result = DefaultProc(msg, wParam, lParam);
        OnCreate();
        return result;
    }
    case WM_TIMER:  // void OnTimer(UINT_PTR id)
        OnTimer(wParam);
        return 0;
    case WM_ERASEBKGND:  // bool OnEraseBackground(HDC dc)
        if (OnEraseBackground(reinterpret_cast<HDC>(wParam)))
            return 1;
        break;
    case WM_PAINT:  // void OnPaint()
        OnPaint();
        return 0;
    case WM_MOUSEMOVE:  // void OnMouseMove()
        OnMouseMove();
        return 0;
    case WM_MOUSEHOVER:  // void OnMouseHover()
        OnMouseHover();
        return 0;
    case WM_MOUSELEAVE:  // void OnMouseLeave()
        OnMouseLeave();
        return 0;
    case WM_SETCURSOR:  // bool OnSetCursor(UINT hitTest)
        if (OnSetCursor(LOWORD(lParam)))
            return TRUE;
        break;
    case WM_LBUTTONUP:  // void OnLButtonUp()
        OnLButtonUp();
        break;
    }
    return CWindow::WindowProc(msg, wParam, lParam);
}

void CTaskbarNotifier::OnCreate()
{
    handCursor_ = ::LoadCursorW(nullptr, IDC_HAND);
}

void CTaskbarNotifier::OnTimer(UINT_PTR id)
{
    Apply(motion_.Tick(id));
}

bool CTaskbarNotifier::OnEraseBackground(HDC dc)
{
    if (!skin_ || dc == nullptr)
        return false;  // the class brush
    BITMAP info{};
    ::GetObjectW(skin_.get(), sizeof(info), &info);
    UniqueMemoryDc memory(::CreateCompatibleDC(dc));
    if (!memory)
        return false;
    SelectedObject picture(memory.get(), skin_.get());
    ::BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, memory.get(), 0, 0, SRCCOPY);
    return true;
}

void CTaskbarNotifier::OnPaint()
{
    PaintDc paint(hwnd_);
    if (!paint)
        return;
    HDC dc = paint.get();
    SelectedObject font(dc, mouseOver_ ? underlinedFont_.get() : normalFont_.get());
    ::SetTextColor(dc, mouseOver_ ? kNotifierHoverTextColor : kNotifierTextColor);
    ::SetBkMode(dc, TRANSPARENT);
    RECT rect = textRect_;
    ::DrawTextW(dc, text_.c_str(), -1, &rect, kNotifierTextFormat);
}

void CTaskbarNotifier::OnMouseMove()
{
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof(track);
    track.dwFlags = TME_HOVER | TME_LEAVE;
    track.hwndTrack = hwnd_;
    track.dwHoverTime = kHoverTimeMs;
    ::_TrackMouseEvent(&track);
}

void CTaskbarNotifier::OnMouseHover()
{
    if (mouseOver_)
        return;
    mouseOver_ = true;
    Redraw();
}

void CTaskbarNotifier::OnMouseLeave()
{
    if (!mouseOver_)
        return;
    mouseOver_ = false;
    Redraw();
}

bool CTaskbarNotifier::OnSetCursor(UINT hitTest)
{
    if (hitTest != HTCLIENT || handCursor_ == nullptr)
        return false;
    ::SetCursor(handCursor_);
    return true;
}

void CTaskbarNotifier::OnLButtonUp()
{
    if (clickTarget_ != nullptr)
        ::PostMessageW(clickTarget_, kNotifierClickedMessage, 0, 0);
}

}  // namespace kivra
