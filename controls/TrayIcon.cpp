#include "controls/TrayIcon.h"

#include "framework/Text.h"

namespace kivra {

namespace {

// Shell_NotifyIconW came with Windows 4 (95 and NT 4).
constexpr BYTE kFirstTrayWindowsVersion = 4;

}  // namespace

CTrayIcon::CTrayIcon(NotifyIconFunction notify) : notify_(notify != nullptr ? notify : ::Shell_NotifyIconW) {}

CTrayIcon::~CTrayIcon()
{
    Remove();
}

BOOL CTrayIcon::Notify(DWORD message, UINT flags)
{
    record_.uFlags = flags;
    return notify_(message, &record_);
}

bool CTrayIcon::Prepare(const wchar_t* tip, HWND window, HICON icon)
{
    added_ = false;
    hidden_ = false;
    if (LOBYTE(LOWORD(::GetVersion())) < kFirstTrayWindowsVersion)
        return false;
    if (window == nullptr || !::IsWindow(window))
        return false;
    record_ = {};
    record_.cbSize = kTrayRecordSize;
    record_.hWnd = window;
    record_.hIcon = icon;
    record_.uID = kTrayIconId;
    record_.uCallbackMessage = kTrayCallbackMessage;
    CopyText(record_.szTip, tip);
    return true;
}

BOOL CTrayIcon::Add(const wchar_t* tip, HWND window, HICON icon)
{
    if (!Prepare(tip, window, icon))
        return FALSE;
    added_ = Notify(NIM_ADD, kTrayAddFlags) != FALSE;
    return added_ ? TRUE : FALSE;
}

bool CTrayIcon::Register(const wchar_t* tip, HWND window, HICON icon)
{
    if (!Prepare(tip, window, icon))
        return false;
    added_ = true;
    hidden_ = true;
    return true;
}

void CTrayIcon::Hide()
{
    if (!added_ || hidden_)
        return;
    Notify(NIM_DELETE, NIF_ICON);
    hidden_ = true;
}

void CTrayIcon::Show()
{
    if (!added_ || !hidden_)
        return;
    Notify(NIM_ADD, kTrayAddFlags);
    hidden_ = false;
}

void CTrayIcon::Remove()
{
    if (!added_)
        return;
    // An icon taken out by Hide is not in the tray; deleting it again is harmless.
    Notify(NIM_DELETE, 0);
    added_ = false;
}

LRESULT CTrayIcon::OnTrayNotification(WPARAM wParam, LPARAM lParam)
{
    if (wParam != record_.uID)
        return 0;
    switch (LOWORD(lParam)) {
    case WM_RBUTTONUP:
        if (menu_ != nullptr)
            ::SetForegroundWindow(record_.hWnd);
        break;
    case WM_LBUTTONDBLCLK:
        ::SetForegroundWindow(record_.hWnd);
        ::ShowWindow(record_.hWnd, SW_SHOW);
        ::SendMessageW(record_.hWnd, WM_SYSCOMMAND, SC_RESTORE, 0);
        Hide();
        break;
    default:
        break;
    }
    return 1;
}

void CTrayIcon::SetTip(const wchar_t* tip)
{
    if (!added_)
        return;
    CopyText(record_.szTip, tip);
    if (!hidden_)
        Notify(NIM_MODIFY, NIF_TIP);
}

void CTrayIcon::SetIcon(HICON icon)
{
    if (!added_)
        return;
    record_.hIcon = icon;
    if (!hidden_)
        Notify(NIM_MODIFY, NIF_ICON);
}

void CTrayIcon::OnTaskbarCreated()
{
    // The new taskbar knows no icon: one that was shown is added afresh.
    if (InTray())
        Notify(NIM_ADD, kTrayAddFlags);
}

}  // namespace kivra
