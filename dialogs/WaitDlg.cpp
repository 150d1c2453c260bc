#include "dialogs/WaitDlg.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cwchar>

#include "framework/Text.h"
#include "resources/resource.h"

namespace kivra {

namespace {

RECT WorkAreaOf(HMONITOR monitor)
{
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (monitor == nullptr || !::GetMonitorInfoW(monitor, &info))
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &info.rcWork, 0);
    return info.rcWork;
}

TWaitParent DescribeParent(HWND parent)
{
    TWaitParent described;
    described.visible = ::IsWindowVisible(parent) != FALSE;
    described.iconic = ::IsIconic(parent) != FALSE;
    ::GetWindowRect(parent, &described.window);
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    described.restored = ::GetWindowPlacement(parent, &placement) ? placement.rcNormalPosition : described.window;
    // The restored rectangle is in workspace coordinates (from the work
    // area's corner) unless the window is a tool window.
    HMONITOR monitor = ::MonitorFromRect(&described.restored, MONITOR_DEFAULTTONEAREST);
    described.workArea = WorkAreaOf(monitor);
    if ((::GetWindowLongW(parent, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) == 0) {
        MONITORINFO info{};
        info.cbSize = sizeof(info);
        if (::GetMonitorInfoW(monitor, &info))
            ::OffsetRect(&described.restored, info.rcWork.left - info.rcMonitor.left,
                         info.rcWork.top - info.rcMonitor.top);
    }
    return described;
}

// The life of one opening: closed -> starting (OpenWaitDialog won the swap)
// -> open (the window exists) -> closed (the thread ended it).
enum WaitState : int { kWaitClosed, kWaitStarting, kWaitOpen };
std::atomic<int> g_state{kWaitClosed};
std::atomic<HWND> g_window{nullptr};
// A close asked for while the dialog was still starting.
std::atomic<bool> g_closeRequested{false};

int TruncatedOffset(int freeSpace, float factor, float fallback)
{
    const double f = std::isfinite(factor) ? factor : fallback;
    const double offset = std::trunc(static_cast<double>(freeSpace) * f);
    // Far outside any screen, but never an overflowing conversion.
    constexpr double kLimit = 1 << 30;
    return static_cast<int>(offset < -kLimit ? -kLimit : offset > kLimit ? kLimit : offset);
}

DWORD WINAPI WaitThread(void* parameter)
{
    HWND parent = static_cast<HWND>(parameter);
    if (parent == nullptr)
        parent = ::GetDesktopWindow();
    {
        CWaitDlg dialog(parent);
        dialog.DoModal(parent);
    }
    g_window.store(nullptr);
    g_state.store(kWaitClosed);
    return 0;
}

}  // namespace

SharedBrush MakeSharedBrush(HBRUSH brush)
{
    if (brush == nullptr)
        return {};
    return SharedBrush(brush, [](HBRUSH b) { ::DeleteObject(b); });
}

// ---------------------------------------------------------------------------
// Settings

WaitSettings::WaitSettings()
{
    CopyText(values_.text, kDefaultWaitText);
}

void WaitSettings::Reset()
{
    WaitSnapshot fresh;
    CopyText(fresh.text, kDefaultWaitText);
    SharedBrush old;  // deleted outside the guard
    std::lock_guard<std::mutex> lock(guard_);
    old = std::move(values_.brush);
    values_ = std::move(fresh);
}

void WaitSettings::Init(int showProgress, int rangeMax, COLORREF background, COLORREF text)
{
    SharedBrush brush = MakeSharedBrush(::CreateSolidBrush(background));
    std::lock_guard<std::mutex> lock(guard_);
    values_.showProgress = showProgress != 0;
    values_.rangeMax = rangeMax;
    values_.textColour = text;
    values_.brush.swap(brush);
}

void WaitSettings::SetBackgroundColour(COLORREF colour)
{
    SetBackgroundBrush(MakeSharedBrush(::CreateSolidBrush(colour)));
}

bool WaitSettings::SetBackgroundImage(HBITMAP bitmap)
{
    BITMAP info{};
    if (bitmap == nullptr || ::GetObjectW(bitmap, sizeof(info), &info) != sizeof(info) || info.bmWidth <= 0 ||
        info.bmHeight == 0)
        return false;
    // The brush keeps its own copy of the pattern; the bitmap stays the caller's.
    SharedBrush brush = MakeSharedBrush(::CreatePatternBrush(bitmap));
    if (!brush)
        return false;
    SetBackgroundBrush(std::move(brush));
    return true;
}

void WaitSettings::SetBackgroundBrush(SharedBrush brush)
{
    {
        std::lock_guard<std::mutex> lock(guard_);
        values_.brush.swap(brush);
    }
    // brush now holds the old one: deleted here unless the dialog still paints with it.
}

void WaitSettings::SetProgressPosition(int position)
{
    std::lock_guard<std::mutex> lock(guard_);
    values_.position = position;
}

void WaitSettings::SetPlacement(float vertical, float horizontal)
{
    std::lock_guard<std::mutex> lock(guard_);
    values_.vertical = vertical;
    values_.horizontal = horizontal;
}

void WaitSettings::SetSizeRect(const RECT& rect)
{
    std::lock_guard<std::mutex> lock(guard_);
    values_.sizeRect = rect;
}

void WaitSettings::SetTextColour(COLORREF colour)
{
    std::lock_guard<std::mutex> lock(guard_);
    values_.textColour = colour;
}

void WaitSettings::SetText(const wchar_t* text)
{
    if (text == nullptr)
        return;
    wchar_t cut[kWaitTextUnits];
    CopyText(cut, text);  // read the caller's text outside the guard
    std::lock_guard<std::mutex> lock(guard_);
    std::wmemcpy(values_.text, cut, kWaitTextUnits);
}

WaitSnapshot WaitSettings::Snapshot() const
{
    std::lock_guard<std::mutex> lock(guard_);
    return values_;
}

WaitSettings& TheWaitSettings()
{
    static WaitSettings* settings = new WaitSettings;
    return *settings;
}

// ---------------------------------------------------------------------------
// Placement

SIZE WaitDialogSize(const RECT& window, const RECT& sizeRect)
{
    // An inverted rectangle would give a negative size: it is ignored too.
    if (sizeRect.left < sizeRect.right && sizeRect.top < sizeRect.bottom)
        return {sizeRect.right - sizeRect.left, sizeRect.bottom - sizeRect.top};
    return {window.right - window.left, window.bottom - window.top};
}

POINT WaitDialogPosition(const RECT& parentArea, SIZE dialog, float horizontal, float vertical)
{
    const int freeWidth = (parentArea.right - parentArea.left) - dialog.cx;
    const int freeHeight = (parentArea.bottom - parentArea.top) - dialog.cy;
    return {parentArea.left + TruncatedOffset(freeWidth, horizontal, kDefaultHorizontalFactor),
            parentArea.top + TruncatedOffset(freeHeight, vertical, kDefaultVerticalFactor)};
}

RECT WaitParentArea(const TWaitParent& parent)
{
    if (!parent.visible)
        return parent.workArea;
    return parent.iconic ? parent.restored : parent.window;
}

POINT KeepInside(POINT at, SIZE size, const RECT& workArea)
{
    at.x = std::max<LONG>(workArea.left, std::min<LONG>(at.x, workArea.right - size.cx));
    at.y = std::max<LONG>(workArea.top, std::min<LONG>(at.y, workArea.bottom - size.cy));
    return at;
}

// ---------------------------------------------------------------------------
// Opening and closing

bool OpenWaitDialog(HWND parent)
{
    int expected = kWaitClosed;
    if (!g_state.compare_exchange_strong(expected, kWaitStarting))
        return false;  // open, or being opened by another caller
    g_closeRequested.store(false);
    HANDLE thread = ::CreateThread(nullptr, 0, WaitThread, parent, 0, nullptr);
    if (thread == nullptr) {
        g_state.store(kWaitClosed);
        return false;
    }
    ::SetThreadPriority(thread, THREAD_PRIORITY_ABOVE_NORMAL);
    ::CloseHandle(thread);  // the thread ends by itself
    ::Sleep(kWaitOpenPauseMs);
    return true;
}

void CloseWaitDialog()
{
    if (g_state.load() == kWaitStarting) {
        g_closeRequested.store(true);
        // The dialog may have come up between the two reads; then it missed
        // the request and is closed below.
    }
    if (g_state.load() == kWaitOpen)
        if (HWND window = g_window.load())
            ::PostMessageW(window, WM_CLOSE, 0, 0);
}

HWND OpenWaitDialogWindow()
{
    return g_state.load() == kWaitOpen ? g_window.load() : nullptr;
}

bool WaitDialogActive()
{
    return g_state.load() != kWaitClosed;
}

void ShowWaitDialogRequest(const TWaitRequest& request, HWND host)
{
    static_assert(kWaitTextUnits == kWaitRequestTextChars + 1, "a request's text is read as far as the dialog shows it");
    if (request.close) {
        CloseWaitDialog();
        return;
    }
    WaitSettings& settings = TheWaitSettings();
    if (request.background != 0)
        settings.SetBackgroundColour(request.background);
    if (request.textColour != 0)
        settings.SetTextColour(request.textColour);
    if (request.text)
        settings.SetText(request.text->c_str());
    if (request.image != nullptr)
        settings.SetBackgroundImage(request.image);
    if (request.sizeRect)
        settings.SetSizeRect(*request.sizeRect);
    if (!WaitDialogActive())
        OpenWaitDialog(host);
}

// ---------------------------------------------------------------------------
// The dialog

CWaitDlg::CWaitDlg(HWND parent) : CDialog(IDD_WAIT), parent_(parent)
{
    CopyText(displayed_, kDefaultWaitText);
}

LRESULT CWaitDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_TIMER:  // void OnTimer(UINT_PTR id)
        OnTimer(wParam);
        return DefaultProc(msg, wParam, lParam);
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:  // LRESULT OnCtlColor(UINT msg, HDC dc, HWND control)
        DefaultProc(msg, wParam, lParam);
        return OnCtlColor(msg, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case kWaitRefreshTextMessage:  // void OnRefreshText()
        OnRefreshText();
        return 0;
    case WM_CLOSE:  // void OnClose()
        OnClose();
        return 0;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}

bool CWaitDlg::OnInitDialog()
{
    const WaitSnapshot settings = TheWaitSettings().Snapshot();
    CopyText(displayed_, settings.text);
    CDialog::OnInitDialog();  // moves the text into control 1009

    progress_ = Item(IDC_WAIT_PROGRESS);
    showProgress_ = settings.showProgress;
    const SIZE size = Place(settings);
    progress_.Send(PBM_SETRANGE, 0, MAKELPARAM(0, static_cast<WORD>(settings.rangeMax & 0xFFFF)));
    if (!showProgress_) {
        progress_.Hide();
        WindowRef text = Item(IDC_WAIT_TEXT);
        const RECT textClient = text.ClientRect();
        text.Move(0, CentredTextTop(size.cy, textClient.bottom), textClient.right, textClient.bottom);
    }
    timer_ = SetTimer(kWaitRefreshTimer, kWaitRefreshPeriodMs);

    // Shown without taking the activation: activating it would wait for the
    // owner's thread, which is the one that is busy.
    ::SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE |
                                                   SWP_SHOWWINDOW);
    g_window.store(hwnd_);
    g_state.store(kWaitOpen);
    if (g_closeRequested.exchange(false))
        Post(WM_CLOSE);
    return false;  // no control takes the focus
}

SIZE CWaitDlg::Place(const WaitSnapshot& settings)
{
    const SIZE size = WaitDialogSize(WindowRect(), settings.sizeRect);
    RECT area{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    if (parent_ != nullptr && parent_ != ::GetDesktopWindow())
        area = WaitParentArea(DescribeParent(parent_));
    POINT at = WaitDialogPosition(area, size, settings.horizontal, settings.vertical);
    // Whatever the parent's place, the dialog is seen whole on one screen.
    const RECT wanted{at.x, at.y, at.x + size.cx, at.y + size.cy};
    at = KeepInside(at, size, WorkAreaOf(::MonitorFromRect(&wanted, MONITOR_DEFAULTTONEAREST)));
    Move(at.x, at.y, size.cx, size.cy);
    return size;
}

bool CWaitDlg::DoDataExchange(bool fromControls)
{
    if (fromControls)
        ::GetDlgItemTextW(hwnd_, IDC_WAIT_TEXT, displayed_, static_cast<int>(kWaitTextUnits));
    else
        SetItemText(IDC_WAIT_TEXT, displayed_);
    return true;
}

void CWaitDlg::OnTimer(UINT_PTR id)
{
    if (id != kWaitRefreshTimer)
        return;
    const WaitSnapshot settings = TheWaitSettings().Snapshot();
    if (std::wcscmp(displayed_, settings.text) != 0) {
        CopyText(displayed_, settings.text);
        UpdateData(false);
    } else {
        // Colours and brush may have changed.
        Invalidate(true);
    }
    if (showProgress_)
        progress_.Send(PBM_SETPOS, static_cast<WPARAM>(settings.position));
}

LRESULT CWaitDlg::OnCtlColor(UINT msg, HDC dc, HWND control)
{
    const WaitSnapshot settings = TheWaitSettings().Snapshot();
    // Held until the next paint asks again, so the system never paints with a
    // brush the settings have let go of meanwhile.
    brushInUse_ = settings.brush;
    if (msg == WM_CTLCOLORSTATIC) {
        ::SetTextColor(dc, settings.textColour);
        ::SetBkMode(dc, TRANSPARENT);
        // A picture brush lines up with the dialog's, not with the control's corner.
        const RECT placed = WindowRef(control).RectInParent();
        ::SetBrushOrgEx(dc, -placed.left, -placed.top, nullptr);
    }
    return reinterpret_cast<LRESULT>(brushInUse_.get());
}

void CWaitDlg::OnRefreshText()
{
    CopyText(displayed_, TheWaitSettings().Snapshot().text);
    UpdateData(false);
}

void CWaitDlg::OnClose()
{
    if (timer_ != 0)
        KillTimer(kWaitRefreshTimer);
    CDialog::OnOK();  // the framework's OK: data from the controls, then IDOK
}

}  // namespace kivra
