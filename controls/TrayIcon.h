// CTrayIcon: the application's one notification-area (tray) icon.
//
// The icon is registered once at start-up (Register: kept out of the tray,
// the shell is not even asked) and shown only while the main window is hidden
// to the tray: Show puts it back when the
// window is minimised, Hide takes it out when the window comes back. Tip and
// icon changes go into the stored record, so a change made while the icon is
// out of the tray shows when it is put back. When Explorer restarts it
// forgets every icon and broadcasts "TaskbarCreated"; OnTaskbarCreated then
// adds the icon again if it was in the tray.
//
// Life: not added -> added and hidden (start-up) -> shown (minimised) ->
// hidden (double click, "manager/PopupTray") -> ... -> removed (destructor).
// On Windows before version 4, or without a valid main window, the icon is
// never added and every later operation does nothing.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstddef>

#include "plugin/ShellMessages.h"

namespace kivra {
// The record size that includes guidItem and ends before hBalloonIcon.
constexpr DWORD kTrayRecordSize = 952;
static_assert(offsetof(NOTIFYICONDATAW, hBalloonIcon) == kTrayRecordSize);
constexpr UINT kTrayIconId = 0;
constexpr UINT kTrayAddFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
// The tip holds 127 characters and the terminator.
constexpr size_t kTrayTipUnits = 128;
static_assert(sizeof(NOTIFYICONDATAW::szTip) / sizeof(wchar_t) == kTrayTipUnits);
// The broadcast Explorer sends when it (re)creates the taskbar.
constexpr wchar_t kTaskbarCreatedMessageName[] = L"TaskbarCreated";

// Shell_NotifyIconW, or a stand-in that records the calls.
using NotifyIconFunction = BOOL(WINAPI*)(DWORD message, PNOTIFYICONDATAW data);

class CTrayIcon {
public:
    explicit CTrayIcon(NotifyIconFunction notify = ::Shell_NotifyIconW);
    virtual ~CTrayIcon();  // Remove
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Registers the icon with tip (cut to 127 characters), the window that
    // gets the callback message, and icon, and puts it into the tray; nonzero
    // on success.
    BOOL Add(const wchar_t* tip, HWND window, HICON icon);
    // The same registration kept out of the tray, as Add then Hide would
    // leave it, without the two calls to the shell (each a round trip to the
    // notification area); Show puts it in. False without a valid window.
    bool Register(const wchar_t* tip, HWND window, HICON icon);
    // Out of the tray (kept registered for Show).
    void Hide();
    // Back into the tray with the stored record.
    void Show();
    // Gone for good.
    void Remove();

    // The mouse message of a callback (lParam) for the icon wParam: 0 when
    // wParam is not this icon's, else 1. A double click brings the window
    // forward, shows it, sends it SC_RESTORE and takes the icon out of the
    // tray; a right-button release brings the window to the front when a
    // tray menu exists, so the menu the window pops up closes properly.
    virtual LRESULT OnTrayNotification(WPARAM wParam, LPARAM lParam);

    // New tip or icon in the record, and on the shown icon when it is in the
    // tray. Nothing before Add succeeded. A null tip counts as empty.
    void SetTip(const wchar_t* tip);
    void SetIcon(HICON icon);

    // After "TaskbarCreated": the icon comes back when it was in the tray.
    void OnTaskbarCreated();

    // The tray menu, not owned; null until the skin's tray menu is built.
    void SetMenu(HMENU menu) { menu_ = menu; }
    HMENU Menu() const { return menu_; }

    bool Added() const { return added_; }
    bool InTray() const { return added_ && !hidden_; }
    const NOTIFYICONDATAW& Record() const { return record_; }

private:
    BOOL Notify(DWORD message, UINT flags);
    // Fills the record; false when no icon can be had here.
    bool Prepare(const wchar_t* tip, HWND window, HICON icon);

    NotifyIconFunction notify_;
    bool added_ = false;
    bool hidden_ = false;
    NOTIFYICONDATAW record_ = {};
    HMENU menu_ = nullptr;
};

}  // namespace kivra
