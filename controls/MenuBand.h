// CMenuBand: a menu bar drawn as a band of text buttons inside the client
// area, for windows whose own menu bar cannot show: a shaped window has no
// caption, so the system's menu bar would sit under its drawn title bar and
// push the client area off the shape. Each button opens one skin menu below
// itself; the chosen command reaches the owner as WM_COMMAND, as from the
// system's menu bar, and menu hints come as WM_MENUSELECT.
//
// Message map:
//   WM_ERASEBKGND            the parent's background shows through
//   WM_SETFOCUS              no button turns hot with the focus
//   reflected WM_COMMAND     a button was pressed: its menu opens
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "controls/MenuEx.h"
#include "framework/Window.h"

namespace kivra {

class CMenuBand : public CWindow {
public:
    // Told what was chosen in one of the band's menus.
    using ChoiceHandler = std::function<void(const TPopupResult& chosen)>;

    // A child band of owner with the given id, as high as its buttons.
    bool Create(HWND owner, UINT id);
    // One button labelled label that opens menu (not owned).
    bool AddMenu(const std::wstring& label, CMenuEx* menu);
    int MenuCount() const { return static_cast<int>(menus_.size()); }
    // The band's height: that of its buttons.
    int Height() const;
    void SetChoiceHandler(ChoiceHandler handler) { onChosen_ = std::move(handler); }
    // Opens the menu of button index below it; answers what was chosen.
    TPopupResult OpenMenu(int index);

    bool OnReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    bool OnEraseBackground(HDC dc);  // WM_ERASEBKGND

    HWND owner_ = nullptr;
    std::vector<CMenuEx*> menus_;
    ChoiceHandler onChosen_;
};

}  // namespace kivra
