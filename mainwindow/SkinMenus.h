// The skin's menus ("skin/menu"): named pop-up menus, each registered as a
// service of its name that pops it up at the cursor; the tray menu (named
// "tray", always there) with its drop-zone item; and the menu bar, one entry
// per menu with a "label". Built once by the frame set-up.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "config/LanguageTable.h"
#include "config/Skin.h"
#include "config/SkinRecords.h"
#include "framework/Handles.h"
#include "kivra_plugin.h"

namespace kivra {

class CMenuEx;
class CServiceRegistry;
class CommandRegistry;

// The menu that is the tray icon's.
constexpr char kTrayMenuName[] = "tray";
// The tray menu's item for the floating window, found by this text translated.
constexpr wchar_t kDropZoneItemText[] = L"Drop zone (&D)";

// Where the built menus' services go.
struct TMenuServices {
    CServiceRegistry* registry = nullptr;  // none: no services are registered
    CPluginInterface* manager = nullptr;   // the records' pInterface
};

// Builds one menu of header and items for owner (taking over their
// pictures), registers a service named key that pops it up (the built-in
// plugin's MenuServiceHandler, which asks the main window for the menu of
// that name), and puts it into the menu map under key. Items get their ids
// from the command registry.
CMenuEx* BuildSkinMenu(TMenuSkin& header, std::vector<TMenuItemSkin>& items, const std::wstring& key, HWND owner,
                       const CLanguageTable& language, CommandRegistry& commands, const TMenuServices& services);

// One entry of the menu bar: its translated label and its menu.
struct TMenuBarEntry {
    std::wstring label;
    CMenuEx* menu = nullptr;
};

struct TMenuSetUp {
    CMenuEx* trayMenu = nullptr;  // never null after SetUpMenus
    int dropZoneItemId = -1;      // -1: the tray menu has no drop-zone item
    std::vector<TMenuBarEntry> menuBar;
};

// All named menus, the tray menu with its drop-zone item (checked when the
// floating window starts shown; grayed when the skin says it is not to be
// used), and the menu bar, which replaces menuBar. With attachMenuBar the
// menu bar is set on owner (also when it is empty).
TMenuSetUp SetUpMenus(HWND owner, CSkin& skin, const CLanguageTable& language, CommandRegistry& commands,
                      const TMenuServices& services, UniqueMenu& menuBar, bool attachMenuBar);

}  // namespace kivra
