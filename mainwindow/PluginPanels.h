// The plugin panels: the window each plugin N publishes through its service
// "N/GetPanelHandle", placed at the skin's panel rectangle and shown one at a
// time through the service "N/ShowPluginPanel", which the shell registers
// for each panel (a tool item, menu item or plugin-owned skin button calls
// it). The max panel is the one window shown in max mode instead.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "kivra_plugin.h"
#include "mainwindow/FrameContext.h"

namespace kivra {

class CServiceRegistry;
class CommandRegistry;

constexpr char kGetPanelSuffix[] = "/GetPanelHandle";
constexpr char kShowPanelSuffix[] = "/ShowPluginPanel";

// name followed by suffix, cut to 63 characters.
std::string ServicePath(const char* name, const char* suffix);

// The names of a plugin's szName (a name list: "sms, smsbox" is two plugins'
// worth of panels).
std::vector<std::string> PluginNames(const char* nameList);

// Asks every bound plugin, by each name of its szName, for its panel, places
// it in panelRect (in its own size unless sameSize), and registers the show
// service of each panel that has none yet, with handler and the built-in
// plugin's interface manager. No panel is shown.
void CollectPluginPanels(CServiceRegistry& registry, CPluginInterface* manager, TServiceHandler handler,
                         TPanelState& panels, const RECT& panelRect);

// What the panel switch needs of the main window.
struct TPanelHost {
    HWND window = nullptr;
    int statusBarHeight = 0;   // below the panel when the window fits the panel
    SIZE normalSize = {0, 0};  // zero: the window has no normal mode to go back to
};

// Shows the panel of show service, hiding the one shown before. False when
// service names no panel; true without a change when it is shown already.
// In max mode the window is asked back to normal mode (SC_RESTORE posted).
bool ShowPanel(TPanelState& panels, const char* service, const TPanelHost& host);

// The one-of-many tool bars hold the button whose command calls service.
void HoldToolButtonsOf(CommandRegistry& commands, const char* service);

// The skin's max panel: the window the get-max-panel service yields, moved
// to maxPanelRect. Its visibility is left to the mode switch.
void FetchMaxPanel(CPluginInterface* manager, const char* service, TPanelState& panels, const RECT& maxPanelRect);

}  // namespace kivra
