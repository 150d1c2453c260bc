// CShellFrame: the parts of the main window's frame that the skin builds from
// commands: the menus with the tray menu, the tool area, the status bar, the
// skin buttons and the plugin panels, and the commands they all run. The main
// window owns one and installs it into the frame context (FrameExtensions),
// so the frame set-up builds them in its order; start-up then calls
// CreatePanelsButtonsAndStartService once the plugins are loaded.
#pragma once

#include <windows.h>

#include <memory>

#include "controls/MenuBand.h"
#include "mainwindow/ButtonRegistry.h"
#include "mainwindow/CommandRegistry.h"
#include "mainwindow/FrameContext.h"
#include "mainwindow/SkinButtons.h"
#include "mainwindow/TrayMenu.h"

namespace kivra {

class CServiceRegistry;

class CShellFrame : public FrameExtensions {
public:
    CShellFrame();
    ~CShellFrame() override;

    // --- FrameExtensions: the frame set-up's steps -------------------------
    void SetUpMenus(FrameContext& frame) override;
    void BuildToolArea(FrameContext& frame) override;
    int CreateStatusBar(FrameContext& frame, const std::vector<TStatusItem>& items, bool show) override;
    unsigned CommandIdForName(const char* name) override;
    // The control bars: below the drawn title bar when that lies over the
    // client area (a shaped window), the menu band first, then the tool bars
    // at the top and the status bar at the bottom.
    void LayOutBars(FrameContext& frame) override;
    void PlaceButtons(FrameContext& frame) override;

    // The window's SC_KEYMENU (key 0 for a lone Alt or F10, else the
    // character of Alt+key): true when the menu band took it.
    bool OnKeyMenu(wchar_t key) { return menuBand_ && menuBand_->OnKeyMenu(key); }
    CMenuBand* MenuBand() const { return menuBand_.get(); }

    // After the plugins are loaded: the plugin panels, the skin buttons, the
    // skin's start service and the max panel, in that order.
    void CreatePanelsButtonsAndStartService(FrameContext& frame, CServiceRegistry& registry);

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
    bool ModifyButton(FrameContext& frame, const TButtonChange& change);

    // The process's commands; null once DestroyCommands ran.
    CommandRegistry* Commands() { return commands_; }
    ButtonRegistry& Buttons() { return buttons_; }
    TrayMenu& Tray() { return tray_; }

    // The shutdown's end of the commands: the menu band and the tray menu
    // (whose menus the registry owns) let go of them, then the process's
    // command registry is destroyed; nothing here points to it afterwards.
    void DestroyCommands();

    // The handler of every "<plugin>/ShowPluginPanel" service.
    static int __cdecl PanelServiceHandler(TService* service, TParam* param);

private:
    TButtonHost ButtonHost(FrameContext& frame);

    CommandRegistry* commands_;  // the process's; null after DestroyCommands
    ButtonRegistry buttons_;
    TrayMenu tray_;
    std::unique_ptr<CMenuBand> menuBand_;  // the menu bar of a shaped window
};

}  // namespace kivra
