#include "mainwindow/TrayMenu.h"

#include "controls/MenuEx.h"

namespace kivra {

void TrayMenu::Attach(CMenuEx* menu, int dropZoneItemId)
{
    menu_ = menu;
    dropZoneId_ = dropZoneItemId;
}

HMENU TrayMenu::Handle() const
{
    return menu_ != nullptr ? menu_->Handle() : nullptr;
}

bool TrayMenu::DropZoneChecked() const
{
    if (!HasDropZoneItem())
        return false;
    const UINT state = ::GetMenuState(menu_->Handle(), static_cast<UINT>(dropZoneId_), MF_BYCOMMAND);
    return state != static_cast<UINT>(-1) && (state & MF_CHECKED) != 0;
}

void TrayMenu::SetDropZoneChecked(bool checked)
{
    if (!HasDropZoneItem())
        return;
    // The check mark alone: a skin may have grayed the item, and that stays.
    ::CheckMenuItem(menu_->Handle(), static_cast<UINT>(dropZoneId_), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

std::optional<bool> TrayMenu::ToggleDropZone()
{
    if (!HasDropZoneItem())
        return std::nullopt;
    const bool show = !DropZoneChecked();
    SetDropZoneChecked(show);
    return show;
}

std::optional<bool> TrayMenu::PopupFromTray(HWND owner, const std::function<bool()>& mainWindowVisible)
{
    if (menu_ == nullptr)
        return std::nullopt;
    menu_->PopupAtCursor(owner);
    if (!HasDropZoneItem())
        return std::nullopt;
    // Asked only now: the chosen item may have restored or hidden the window.
    return DropZoneChecked() && !mainWindowVisible();
}

}  // namespace kivra
