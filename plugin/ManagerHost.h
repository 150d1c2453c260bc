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
//
// The needs take the shell's own types. The plugins' records (TParam,
// TStatusPaneInfo, TButtonInfo, TCommandItem, TMenuCheckInfo) are read by the
// built-in plugin's handlers alone, into the requests below, with every text
// field read within its width, terminated or not.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace kivra {

class CWindow;

// A plugin's command function, run before the command's service (the SDK's
// TCommandFunction).
using CommandCallback = void(__cdecl*)();

// "manager/ShowWaitDlg": the wait dialog closed, or changed where a value is
// given and opened over the main window.
constexpr size_t kWaitRequestTextChars = 255;  // the wait dialog shows no more of a text
struct TWaitRequest {
    bool close = false;                // the dialog closes; nothing else changes
    COLORREF background = 0;           // 0 keeps the background colour
    COLORREF textColour = 0;           // 0 keeps the text colour
    std::optional<std::wstring> text;  // none keeps the text
    HBITMAP image = nullptr;           // null keeps the picture; the caller keeps this one
    std::optional<RECT> sizeRect;      // none keeps the size
};

// "manager/MainApp/ShowStatusBar": the pane of a command named commandName,
// or with an empty name the pane of the command paneId.
struct TStatusPaneRequest {
    std::string commandName;
    unsigned paneId = 0;
    std::wstring text;     // empty keeps the pane's text
    HICON icon = nullptr;  // always applied: null takes the icon away
};

// "manager/ModifyButtonInfo": the first skin button of this name, owner or
// service (each as the skin writes it, empty: not compared) and what changes.
struct TButtonChange {
    std::wstring name, owner, service;
    std::wstring normalImage, downImage, focusImage, hoverImage, disabledImage;  // empty: unchanged
    std::wstring caption, tooltip;                                             // empty: unchanged
    bool hide = false;  // always applied
};

// "manager/EnableCommandItem" and "manager/RegisterCommandFunction".
struct TCommandRequest {
    std::string name;     // may be empty
    std::string service;  // a path or a list of paths, may be empty
    unsigned id = 0;      // 0 or -1: none
    CommandCallback callback = nullptr;
    bool enable = false;  // EnableCommandItem only
};

// "manager/CheckMenuItem": the item of a skin menu (by id when not 0, else by
// its text, else by position when 0 or more) checked or not.
struct TMenuCheckRequest {
    std::string menuName;
    std::wstring itemText;
    unsigned commandId = 0;
    int position = -1;
    bool check = false;
};

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
    // Asked for when the built-in plugin loads: the settings dialog (parent:
    // the desktop) and the system settings page (its child). Answers the
    // settings dialog's window object, which "manager/ProvideSetCWnd" hands
    // to plugins as the parent of their pages; null when there is none. Its
    // window may be made later, by MakeSettingDialogs.
    virtual CWindow* CreateSettingDialogs() = 0;
    // Makes the two dialogs' windows, hidden, unless they are there: the
    // built-in plugin asks before "manager/ProvideSetCWnd" hands the object
    // out. False when there is no settings dialog window.
    virtual bool MakeSettingDialogs() = 0;
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
    // Closes, or updates and opens over the main window, the wait dialog.
    virtual void ShowWaitDialog(const TWaitRequest& request) = 0;

    // --- Help and upgrade ("manager/ShowHelpFile", "manager/UpgradeOnline") -
    // Opens the help file or starts the upgrade program, or brings its window
    // to the front when it is open; false when neither happened.
    virtual bool OpenHelp() = 0;
    virtual bool StartUpgrade() = 0;

    // --- Commands, menus, status bar and skin buttons -------------------------
    // "manager/MainApp/ShowStatusBar": the pane's text and icon; false when
    // there is no such pane.
    virtual bool ShowStatusPane(const TStatusPaneRequest& pane) = 0;
    // "manager/CheckDropzoneItem": the floating window and the tray menu's
    // drop-zone item toggled together; false when there is no such item.
    virtual bool ToggleDropZone() = 0;
    // "manager/ModifyButtonInfo": false when no skin button matched.
    virtual bool ModifyButton(const TButtonChange& change) = 0;
    // "manager/EnableCommandItem": false when no command was enabled or grayed.
    virtual bool EnableCommandItem(const TCommandRequest& item) = 0;
    // "manager/RegisterCommandFunction": false when there is no command to set.
    virtual bool RegisterCommandFunction(const TCommandRequest& item) = 0;
    // "manager/CheckMenuItem": false when the menu or the item does not exist.
    virtual bool SetMenuCheck(const TMenuCheckRequest& check) = 0;

    // --- Plugin panels and skin menus: the services the shell registers itself
    // with the built-in plugin's interface (PanelServiceHandler,
    // MenuServiceHandler) ------------------------------------------------------
    // "<plugin>/ShowPluginPanel": that panel in place of the one shown; false
    // when the service names no panel.
    virtual bool ShowPluginPanel(const std::string& showService) = 0;
    // The service of a named skin menu: the menu pops up at the cursor and the
    // chosen command runs; false when there is no menu of that name.
    virtual bool PopUpSkinMenu(const std::string& name) = 0;

    // --- Frame --------------------------------------------------------------
    // The built-in plugin's UnloadPlugin: the frame context goes, and with it
    // the configuration.
    virtual void ReleaseFrameContext() = 0;

protected:
    // Nobody deletes the shell through this interface.
    ~IManagerHost() = default;
};

}  // namespace kivra
