// CShellFrame: the main window's frame, all of it in one owner. It holds
//   - the skin state (FrameContext: the two display modes with their
//     backgrounds and regions, the drawn title bar, the accelerator table,
//     the panel places and panels), made with the configuration;
//   - the commands with the menus, the tool bars and the status bar they run
//     in (CommandRegistry), the menu band of a shaped window, the tray menu;
//   - the skin buttons (ButtonRegistry) and the tooltip control they share;
//   - the tray icon and the auxiliary windows: the floating window, the
//     notifier and the settings dialogs.
// The main window owns one and builds it in start-up order by direct calls
// (CNurelMainWindow::StartUp), and takes it down in shutdown order; nothing
// else holds these parts. The built-in plugin reaches them through the main
// window (IManagerHost).
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "controls/MenuBand.h"
#include "controls/TrayIcon.h"
#include "dialogs/FloatDlg.h"
#include "dialogs/SettingDialogs.h"
#include "dialogs/TaskbarNotifier.h"
#include "framework/Handles.h"
#include "mainwindow/ButtonRegistry.h"
#include "mainwindow/CommandRegistry.h"
#include "mainwindow/FrameContext.h"
#include "mainwindow/SkinButtons.h"
#include "mainwindow/TrayMenu.h"
#include "plugin/ManagerHost.h"

namespace kivra {

class CServiceRegistry;

class CShellFrame {
public:
    CShellFrame();
    ~CShellFrame();
    CShellFrame(const CShellFrame&) = delete;
    CShellFrame& operator=(const CShellFrame&) = delete;

    // --- The skin state ------------------------------------------------------
    // The frame context with the process's configuration, which it makes
    // (config.xml, the language file, the skin). False when the configuration
    // cannot be had; a later call tries again.
    bool MakeContext();
    // Null before MakeContext and after ReleaseContext.
    FrameContext* Context() const { return context_.get(); }
    // The frame context goes (menu bar, accelerator table, regions, panel
    // map), then the configuration; window lets go of the menu bar first.
    void ReleaseContext(HWND window);

    // --- Start-up steps, in their order ---------------------------------------
    // The tooltip control the skin buttons share will be owned by owner,
    // active, its delays 100 ms and autoPopDelay. It is made when first
    // asked for (Tooltip) or once the main window is up (MakeDeferredWindows):
    // a mouse move over the window as it shows does not make it (with a
    // thousand buttons their tips take a good part of the start-up).
    void PrepareTooltip(HWND owner, int autoPopDelay);
    // The taskbar notifier, owned by the desktop, with the skin's notifier
    // section; its clicks go to clickTarget. And the floating window, hidden,
    // with the desktop as parent and the skin's picture and opacities
    // ("skin/float-dlg"); its clicks go to mainWindow as tray clicks.
    // Neither shows at start, so each is made when first needed (Notifier,
    // FloatDialog) or once the main window is up (MakeDeferredWindows, which
    // makes the tooltip too), whichever comes first: the window shows sooner.
    void PrepareNotifier(HWND clickTarget) { notifierClickTarget_ = clickTarget; }
    void PrepareFloatDialog(HWND mainWindow) { floatMainWindow_ = mainWindow; }
    void MakeDeferredWindows();
    // The skinned frame, in this order: the skin's icon, size and shape
    // (FrameContext::SetUpWindow), the menus with the tray menu, the drawn
    // title bar, the tool area, the status bar, the accelerator table and the
    // control bars' layout. Answers 1.
    int SetUpFrame(HWND window, const TShownIcon& shownIcon = {});
    // After the plugins are loaded: the plugin panels, the skin buttons, the
    // skin's start service and the max panel, in that order.
    void CreatePanelsButtonsAndStartService(CServiceRegistry& registry);
    // The tray icon, registered with tip and icon, kept out of the tray until
    // the window hides there; its right click pops up the tray menu.
    void AddTrayIcon(const wchar_t* tip, HWND window, HICON icon);

    // --- Running ---------------------------------------------------------------
    // The window's SC_KEYMENU (key 0 for a lone Alt or F10, else the
    // character of Alt+key): true when the menu band took it.
    bool OnKeyMenu(wchar_t key) { return menuBand_ && menuBand_->OnKeyMenu(key); }
    // The control bars: below the drawn title bar when that lies over the
    // client area (a shaped window), the menu band first, then the tool bars
    // at the top and the status bar at the bottom.
    void LayOutBars();
    // Max mode, when the skin enables it, and normal mode; the skin buttons go
    // to their places in the new size. False when the mode did not switch.
    bool SwitchToMaxMode();
    bool SwitchToNormalMode();

    // --- The manager services that reach these parts ------------------------
    // "manager/MainApp/ShowStatusBar": false when there is no such pane.
    bool ShowStatusPane(const TStatusPaneRequest& pane);
    // "manager/EnableCommandItem": false when no command was enabled or grayed.
    bool EnableCommandItem(const TCommandRequest& item);
    // "manager/RegisterCommandFunction": false when there is no command to set.
    bool RegisterCommandFunction(const TCommandRequest& item);
    // "manager/CheckMenuItem": false when the menu or the item does not exist.
    bool SetMenuCheck(const TMenuCheckRequest& check);
    // "manager/ModifyButtonInfo": false when no button matched.
    bool ModifyButton(const TButtonChange& change);
    // "<plugin>/ShowPluginPanel": the panel of showService in place of the
    // one shown (leaving max mode), and the one-of-many tool bars hold its
    // button. False when the service names no panel.
    bool ShowPluginPanel(const std::string& showService);
    // A named skin menu's service: pops the menu up at the cursor, runs the
    // chosen command, and puts a check-toggle item's new state on its command
    // in every menu. False when there is no such menu.
    bool PopUpSkinMenu(const std::string& name);

    // --- The parts ------------------------------------------------------------
    // The commands; null once DestroyCommands ran.
    CommandRegistry* Commands() const { return commands_.get(); }
    ButtonRegistry& Buttons() { return buttons_; }
    TrayMenu& Tray() { return tray_; }
    CMenuBand* MenuBand() const { return menuBand_.get(); }
    // The tooltip control, made on the first call after PrepareTooltip with
    // the tips of the skin buttons made so far (later ones add theirs); null
    // before PrepareTooltip and after DestroyTooltip.
    HWND Tooltip();
    // The tooltip control if made already, else null.
    HWND ExistingTooltip() const { return tooltip_.get(); }
    CTrayIcon& TrayIcon() { return trayIcon_; }
    const CTrayIcon& TrayIcon() const { return trayIcon_; }
    // Made on the first call after its Prepare step; not made again once
    // DestroyAuxiliaryWindows ran.
    CFloatDlg& FloatDialog();
    CTaskbarNotifier& Notifier();
    CSettingDialogs& Settings() { return settings_; }

    // --- Shutdown steps ---------------------------------------------------------
    // The settings dialog, the floating window, the system settings page and
    // the notifier.
    void DestroyAuxiliaryWindows();
    // The menu band and the tray menu (whose menus the commands own) let go
    // of them, then the commands go with their menus and bars.
    void DestroyCommands();
    void DestroyTooltip()
    {
        tooltipOwner_ = nullptr;  // not made again
        tooltip_.reset();
    }

private:
    void SetUpMenus();
    void BuildToolArea();
    // The status bar of the skin's panes; answers its height (pane 0 plus
    // SM_CYFRAME), 0 without one.
    int CreateStatusBar();
    unsigned CommandIdForName(const char* name) const;
    void PlaceButtons();
    TButtonHost ButtonHost();

    // In this order: the parts below use the context's and the commands'.
    std::unique_ptr<FrameContext> context_;
    std::unique_ptr<CommandRegistry> commands_;
    ButtonRegistry buttons_;
    TrayMenu tray_;
    std::unique_ptr<CMenuBand> menuBand_;  // the menu bar of a shaped window
    UniqueWindow tooltip_;
    HWND tooltipOwner_ = nullptr;  // none: the tooltip is not made
    int tooltipAutoPopDelay_ = 0;
    CTrayIcon trayIcon_;
    CFloatDlg floatDlg_;
    HWND floatMainWindow_ = nullptr;  // none: the floating window is not made
    CTaskbarNotifier notifier_;
    HWND notifierClickTarget_ = nullptr;  // none: the notifier is not made
    CSettingDialogs settings_;
};

}  // namespace kivra
