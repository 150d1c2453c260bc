#include "dialogs/FloatDlg.h"

#include <commctrl.h>
#include <windowsx.h>

#include "config/XmlDocument.h"
#include "framework/ModulePath.h"
#include "plugin/ShellMessages.h"
#include "resources/resource.h"

namespace kivra {

CFloatDlg::CFloatDlg()
    : CDialog(IDD_FLOAT),
      graphBackground_(::CreateSolidBrush(RGB(0, 0, 0))),
      graphPen_(::CreatePen(PS_SOLID, 1, kFloatGraphColor))
{
}

bool CFloatDlg::SetBackgroundImage(const wchar_t* path)
{
    if (path == nullptr || path[0] == 0 || hwnd_ == nullptr)
        return false;
    const RECT window = WindowRect();
    HBITMAP picture = nullptr;
    if (!LoadPictureFile(path, window.right - window.left, window.bottom - window.top, &picture))
        return false;
    UniqueBitmap owned(picture);  // the brush keeps a copy of its own
    UniqueBrush brush(::CreatePatternBrush(owned.get()));
    if (!brush)
        return false;
    background_ = std::move(brush);
    Invalidate(true);
    return true;
}

void CFloatDlg::SetNormalOpacity(BYTE opacity)
{
    normalOpacity_ = opacity;
    if (!hovering_)
        ApplyOpacity(opacity);
    Invalidate(true);
}

void CFloatDlg::SetHoverOpacity(BYTE opacity)
{
    hoverOpacity_ = opacity;
    if (hovering_)
        ApplyOpacity(opacity);
    Invalidate(true);
}

void CFloatDlg::ApplyOpacity(BYTE opacity)
{
    if (hwnd_ != nullptr)
        ::SetLayeredWindowAttributes(hwnd_, 0, opacity, LWA_ALPHA);
}

void CFloatDlg::UpdateLastData(BYTE sample, long number, const wchar_t* tip)
{
    history_.Push(sample);
    number_ = SampleNumberText(number);
    if (tip != nullptr)
        SetTip(tip);
    Invalidate(true);
}

void CFloatDlg::ShowDataStatus(bool on)
{
    const bool changed = on != dataStatus_;
    dataStatus_ = on;
    if (!on) {
        number_.clear();
        SetItemText(IDC_FLOAT_TEXT, L"");
    }
    if (changed) {
        SetTip(L"");
        Invalidate(true);
    }
}

void CFloatDlg::SetTip(const wchar_t* text)
{
    tip_ = text != nullptr ? text : L"";
    if (tooltip_ == nullptr)
        return;
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(hwnd_);
    tool.lpszText = const_cast<wchar_t*>(tip_.c_str());
    ::SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void CFloatDlg::PostTrayClick(UINT mouseMessage)
{
    if (mainWindow_ != nullptr)
        ::PostMessageW(mainWindow_, kTrayCallbackMessage, 0, mouseMessage);
}

// ---------------------------------------------------------------------------
// Initialisation

bool CFloatDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    // The product's own picture until the skin gives one.
    const std::wstring picture = ExecutableRelativePath(kFloatPictureFile);
    if (!picture.empty())
        SetBackgroundImage(picture.c_str());

    // One sample per pixel column.
    const RECT window = WindowRect();
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    history_.Resize(width > 0 ? static_cast<size_t>(width) : 0);

    ::SetWindowLongW(hwnd_, GWL_EXSTYLE, WS_EX_LAYERED | WS_EX_TOOLWINDOW);
    normalOpacity_ = kFloatNormalOpacity;
    hoverOpacity_ = kFloatHoverOpacity;
    ApplyOpacity(normalOpacity_);

    CreateTooltip();

    // Near the top-right corner of the screen, one window width from the edge.
    // Not shown yet: the window stands in for the main window only when that
    // hides, and a flash of it at start-up would be the program's first window.
    ::SetWindowPos(hwnd_, HWND_TOPMOST, ::GetSystemMetrics(SM_CXSCREEN) - 2 * width, height, 0, 0,
                   SWP_NOSIZE | SWP_NOACTIVATE);
    return true;
}

void CFloatDlg::CreateTooltip()
{
    tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    if (tooltip_ == nullptr)
        return;
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(hwnd_);
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, kFloatTipWidth);
}

bool CFloatDlg::DoDataExchange(bool fromControls)
{
    if (!fromControls)
        SetItemText(IDC_FLOAT_TEXT, number_.c_str());
    return true;
}

bool CFloatDlg::PreTranslateMessage(MSG* msg)
{
    if (msg->message == WM_MOUSEMOVE && tooltip_ != nullptr)
        ::SendMessageW(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
    return CDialog::PreTranslateMessage(msg);
}

// ---------------------------------------------------------------------------
// Message map

LRESULT CFloatDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_LBUTTONDOWN: {  // void OnLButtonDown(LPARAM point)
        const LRESULT result = DefaultProc(msg, wParam, lParam);
        OnLButtonDown(lParam);
        return result;
    }
    case WM_MOUSEACTIVATE:  // a click never activates it (see the header)
        return MA_NOACTIVATE;
    case WM_RBUTTONDOWN:  // the tray menu, as for a right click on the tray icon
        PostTrayClick(WM_RBUTTONUP);
        return 0;
    case WM_LBUTTONDBLCLK:  // the main window, as for a double click on the tray icon
        PostTrayClick(WM_LBUTTONDBLCLK);
        return 0;
    case WM_MOUSEMOVE:  // void OnMouseMove(LPARAM point)
        OnMouseMove(lParam);
        break;
    case WM_MOUSELEAVE:  // void OnMouseLeave()
        OnMouseLeave();
        return 0;
    case WM_ERASEBKGND:  // void OnEraseBackground(HDC dc)
        OnEraseBackground(reinterpret_cast<HDC>(wParam));
        return 1;
    case WM_PAINT:  // void OnPaint()
        OnPaint();
        return 0;
    case WM_CTLCOLORSTATIC:  // HBRUSH OnCtlColorStatic(HDC dc)
        return reinterpret_cast<LRESULT>(OnCtlColorStatic(reinterpret_cast<HDC>(wParam)));
    case WM_NOTIFY:  // bool OnNotify(NMHDR* header)
        if (OnNotify(reinterpret_cast<NMHDR*>(lParam)))
            return 0;
        break;
    case WM_TIMER:
        if (wParam == kFloatSwallowedTimer)
            return 0;
        break;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}

void CFloatDlg::OnLButtonDown(LPARAM point)
{
    // Dragged by any point: a press on the caption, which takes screen
    // coordinates.
    POINT screen = {GET_X_LPARAM(point), GET_Y_LPARAM(point)};
    ::ClientToScreen(hwnd_, &screen);
    Post(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(screen.x, screen.y));
}

void CFloatDlg::OnMouseMove(LPARAM point)
{
    const POINT at = {GET_X_LPARAM(point), GET_Y_LPARAM(point)};
    const RECT client = ClientRect();
    if (hovering_ || !::PtInRect(&client, at))
        return;
    hovering_ = true;
    ApplyOpacity(hoverOpacity_);
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof(track);
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = hwnd_;
    ::TrackMouseEvent(&track);
}

void CFloatDlg::OnMouseLeave()
{
    hovering_ = false;
    ApplyOpacity(normalOpacity_);
}

void CFloatDlg::OnEraseBackground(HDC dc)
{
    // The graph covers the whole window itself; the picture needs erasing.
    if (dataStatus_ || dc == nullptr || !background_)
        return;
    const RECT client = ClientRect();
    ::FillRect(dc, &client, background_.get());
}

void CFloatDlg::OnPaint()
{
    PaintDc paint(hwnd_);
    HDC dc = paint.get();
    if (dc != nullptr && IsVisible()) {
        if (dataStatus_) {
            const RECT client = ClientRect();
            ::FillRect(dc, &client, graphBackground_.get());
            SelectedObject pen(dc, graphPen_.get());
            const std::vector<BYTE>& samples = history_.Samples();
            for (size_t i = 0; i < samples.size(); ++i) {
                const int x = static_cast<int>(i);
                ::MoveToEx(dc, x, client.bottom, nullptr);
                ::LineTo(dc, x, BarTop(client.bottom, samples[i]));
            }
            UpdateData(false);
        } else {
            number_.clear();
            SetItemText(IDC_FLOAT_TEXT, L"");
        }
    }
}

HBRUSH CFloatDlg::OnCtlColorStatic(HDC dc)
{
    ::SetTextColor(dc, kFloatGraphColor);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetBkColor(dc, RGB(0, 0, 0));
    return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

bool CFloatDlg::OnNotify(NMHDR* header)
{
    // The tool's text until the first UpdateLastData gives it one.
    if (header == nullptr || header->hwndFrom != tooltip_ || header->code != TTN_GETDISPINFOW)
        return false;
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
    info->lpszText = const_cast<wchar_t*>(tip_.c_str());
    return true;
}

}  // namespace kivra
