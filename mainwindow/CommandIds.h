// How the things the skin builds get their command ids. Each rule takes an id
// from the command registry's shared counter (1200 on) when it needs one, so
// ids are handed out in build order: menu items, tool items, status panes,
// then the skin buttons once the plugins are loaded.
#pragma once

#include <string>

#include "config/SkinRecords.h"
#include "mainwindow/CommandRegistry.h"

namespace kivra {

// A menu item: its cmdid; with none, and with a name and a string, the
// command of that name, else a new one registered with the item's service and
// the translated tooltip. 0 when the item gets no id (it is then left out of
// the menu unless it is a separator).
unsigned MenuItemCommandId(CommandRegistry& commands, const TMenuItemSkin& item, const wchar_t* tooltip);

// A tool item: a cmdid is used as it is, and registered with the item's name,
// service and tooltip when no command has it yet; without one, the command
// of the item's name, else (with a service) a new one. 0 makes a separator.
unsigned ToolItemCommandId(CommandRegistry& commands, const TToolItem& item, const wchar_t* tooltip);

// A status pane: its cmdid; with none and a name, the command of that name,
// else a new one registered under the name. 0 is the message pane.
unsigned StatusPaneCommandId(CommandRegistry& commands, const TStatusItem& item);

// The service a skin button's command calls: the owner's show service first
// ("<owner>/ShowPluginPanel"; none for the shell's own owner "system"), then
// the button's own, separated by ";", cut to 63 characters. owner and service
// are 8-bit already.
std::string ButtonCommandService(const char* owner, const char* service);

// A skin button: a cmdid is used as it is and registers nothing; without one,
// the command of the button's name, else a new one registered under the name
// with ButtonCommandService and the tooltip.
unsigned ButtonCommandId(CommandRegistry& commands, const TSkinButton& button, const wchar_t* tooltip);

}  // namespace kivra
