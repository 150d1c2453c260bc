// ManagerHost.h - what the built-in plugin needs from the shell. The main
// window implements it and hands itself to the plugins as their host object
// (CServiceRegistry::SetHost); the built-in plugin's LoadPlugin takes that
// object as an IManagerHost and reaches the shell through it alone: the
// plugin layer includes no shell header and never names the main window.
//
// One pure virtual per need, grouped by the part of the shell that answers
// it. A new need goes here in its group (with the service it serves), is
// implemented in CNurelMainWindow and in the test hosts
// (tests/support/StubManagerHost.h), and gets its handler in the manager's
// table.
#pragma once

#include <windows.h>

#include "kivra_plugin.h"

namespace kivra {

class CWindow;

class IManagerHost {
public:
    // --- The main window --------------------------------------------------
    // Its handle, to which "manager/PopupTray", "manager/ShowTray",
    // "manager/ShowMainWindow", "manager/ShowWindow", "manager/HideMainWindow"
    // and "manager/PutWindowTopMost" send or post.
    virtual HWND HostWindow() const = 0;

    // --- Exit ("manager/ProgramExit") ---------------------------------------
    // The exit confirmation, in message boxes owned by the main window; true
    // when the user agreed to end.
    virtual bool ConfirmExit() = 0;
    // Closes the wait dialog when it is open and ends the main window's modal
    // loop with IDOK, which ends the application.
    virtual void ExitOperation() = 0;

    // --- Display modes ("manager/MaximizeWindow", "manager/RestoreWindow") ---
    // Max mode, when the skin enables it; false when nothing could change.
    virtual bool SwitchToMaxMode() = 0;
    // Normal mode; false when there is no frame to switch.
    virtual bool SwitchToNormalMode() = 0;

    // --- Settings dialog ----------------------------------------------------
    // Made when the built-in plugin loads: the settings dialog (parent: the
    // desktop) and the system settings page (its child), both hidden. Answers
    // the settings dialog's window object, which "manager/ProvideSetCWnd"
    // hands to plugins as the parent of their pages; null when none was made.
    virtual CWindow* CreateSettingDialogs() = 0;
    // "manager/ShowSetWindow": the settings dialog to the foreground, shown.
    // False when there is none.
    virtual bool ShowSettingDialog() = 0;

    // --- Notifier ("manager/Notification/DisplayWnd") ----------------------
    // Slides the taskbar notifier out with text; false when there is none.
    virtual bool ShowNotification(const wchar_t* text) = 0;

    // --- Floating window ("manager/Dropzone/...") --------------------------
    // A new sample for its graph, the number to show and (when not null) its
    // tooltip; false when there is no floating window.
    virtual bool UpdateDropZoneData(unsigned char sample, long number, const wchar_t* tip) = 0;
    // Its graph and number on, or its picture; false when there is none.
    virtual bool ShowDropZoneDataStatus(bool on) = 0;

    // --- About ("manager/ShowAboutDlg") -------------------------------------
    // Runs the About box modally; false when it could not be shown.
    virtual bool ShowAboutDialog() = 0;

    // --- Tray icon ("manager/Tray/SetToolTip", "manager/ChangeTrayIcon") ----
    // A new tip (cut to 127 characters; null counts as empty) or picture (not
    // owned) for the tray icon: at once while it is in the tray, else the next
    // time the main window hides there. False before start-up made the icon.
    virtual bool SetTrayTip(const wchar_t* tip) = 0;
    virtual bool SetTrayIcon(HICON icon) = 0;

    // --- Wait dialog ("manager/ShowWaitDlg") --------------------------------
    // Closes (nCode 0), or updates and opens over the main window, the wait
    // dialog, with the words of request as the service documents them.
    virtual void ShowWaitDialog(const TParam& request) = 0;

    // --- Help and upgrade ("manager/ShowHelpFile", "manager/UpgradeOnline") -
    // Opens the help file or starts the upgrade program, or brings its window
    // to the front when it is open; false when neither happened.
    virtual bool OpenHelp() = 0;
    virtual bool StartUpgrade() = 0;

    // --- Commands, menus, status bar and skin buttons -------------------------
    // The records are a plugin's: their text fields are read within their
    // width, terminated or not.
    // "manager/MainApp/ShowStatusBar": the pane's text and icon; false when
    // there is no such pane.
    virtual bool ShowStatusPane(const TStatusPaneInfo& pane) = 0;
    // "manager/CheckDropzoneItem": the floating window and the tray menu's
    // drop-zone item toggled together; false when there is no such item.
    virtual bool ToggleDropZone() = 0;
    // "manager/ModifyButtonInfo": false when no skin button matched.
    virtual bool ModifyButton(const TButtonInfo& info) = 0;
    // "manager/EnableCommandItem": false when no command was enabled or grayed.
    virtual bool EnableCommandItem(const TCommandItem& item) = 0;
    // "manager/RegisterCommandFunction": false when there is no command to set.
    virtual bool RegisterCommandFunction(const TCommandItem& item) = 0;
    // "manager/CheckMenuItem": false when the menu or the item does not exist.
    virtual bool SetMenuCheck(const TMenuCheckInfo& check) = 0;

    // --- Frame --------------------------------------------------------------
    // The built-in plugin's UnloadPlugin: the frame context goes, and with it
    // the configuration.
    virtual void ReleaseFrameContext() = 0;

protected:
    // Nobody deletes the shell through this interface.
    ~IManagerHost() = default;
};

}  // namespace kivra
