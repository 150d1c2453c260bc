// TrayMenu: the tray icon's menu (the skin menu "tray") and its drop-zone
// item, the check item that says whether the floating window stands in for
// the main window while that one is hidden in the tray.
//
//   - "manager/CheckDropzoneItem" toggles the item: ToggleDropZone, then the
//     caller shows or hides the floating window as answered;
//   - a right click on the tray icon pops the menu up (PopupFromTray); once
//     it closes the floating window shows when the item is checked and the
//     main window is hidden, and hides otherwise;
//   - SC_MINIMIZE shows the floating window when DropZoneChecked().
#pragma once

#include <windows.h>

#include <functional>
#include <optional>

namespace kivra {

class CMenuEx;

class TrayMenu {
public:
    // menu: the tray menu (not owned: the command registry keeps it);
    // dropZoneItemId: its drop-zone item's command id, -1 for none.
    void Attach(CMenuEx* menu, int dropZoneItemId);

    CMenuEx* Menu() const { return menu_; }
    HMENU Handle() const;
    int DropZoneItemId() const { return dropZoneId_; }
    bool HasDropZoneItem() const { return menu_ != nullptr && dropZoneId_ > 0; }

    bool DropZoneChecked() const;
    // Sets the check mark only; a grayed item stays grayed.
    void SetDropZoneChecked(bool checked);
    // Toggles the item; answers its new state (the floating window shows when
    // true), nothing when there is no item.
    std::optional<bool> ToggleDropZone();
    // Pops the menu up at the cursor for owner (the chosen command runs).
    // Answers whether the floating window is to show now, the item checked
    // and the main window hidden once the menu has closed (its command may
    // have restored or hidden the window); nothing when there is no menu or
    // no drop-zone item.
    std::optional<bool> PopupFromTray(HWND owner, const std::function<bool()>& mainWindowVisible);

private:
    CMenuEx* menu_ = nullptr;
    int dropZoneId_ = -1;
};

}  // namespace kivra
