// CToolBarEx: a tool bar of the tool area. A common-controls tool bar whose
// background is a skin colour or a tiled skin picture with a logo at its
// right end, whose button images come from one skin strip, whose tooltips
// come from the buttons' texts or the command registry, and which can keep
// its last chosen button pressed (one of many). Clicks that come less than
// 300 ms after the last accepted click of any tool bar are dropped.
//
// Message map:
//   WM_ERASEBKGND               background and logo
//   WM_LBUTTONDOWN              click guard, one-of-many, then the default
//   WM_RBUTTONDOWN              ignored
//   WM_NOTIFY TTN_NEEDTEXTW     the tooltip text (from the bar's own tooltip)
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Handles.h"
#include "framework/Window.h"

namespace kivra {

// Clicks closer together than this are one click too many.
constexpr DWORD kToolBarClickGuardMs = 300;

// The guard shared by all tool bars: remembers the last accepted click.
class ClickGuard {
public:
    // True (and remembered) when at least kToolBarClickGuardMs have passed
    // since the last accepted click, or when none was accepted yet.
    bool Accept(DWORD now);

private:
    DWORD last_ = 0;
    bool any_ = false;
};
ClickGuard& ToolBarClickGuard();

// The longest tooltip a tool bar shows, without its terminator.
constexpr size_t kToolTipChars = 79;
// The tooltip from the first of the texts that is not empty; of a text with
// a line feed only what follows the first one; cut to kToolTipChars.
std::wstring ToolTipText(const std::wstring& buttonText, const std::wstring& resourceText,
                         const std::wstring& commandText);

// Where the logo goes on a bar of this client size, with the logo size cut
// to the bar (the cut size is what the bar keeps).
RECT LogoPlace(const RECT& bar, SIZE* logo);

class CToolBarEx : public CWindow {
public:
    // The tooltip of a command (the command registry's), for ids whose
    // button has no text.
    using CommandTooltip = std::function<std::wstring(UINT id)>;

    CToolBarEx() = default;
    ~CToolBarEx() override;

    // A child tool bar of parent with flat, wrapping buttons and tooltips,
    // id 0xE800 by default. buttonSize and imageSize are used when neither is 0 x 0.
    bool Create(HWND parent, SIZE buttonSize, SIZE imageSize, UINT id = 0xE800);

    // One button per id, in order; id 0 is a separator. Buttons take the
    // images of the strip in order.
    bool SetButtons(const std::vector<UINT>& ids);
    // Cuts bitmap into images of the bar's image size, 192,192,192
    // transparent. The bitmap stays the caller's.
    bool SetButtonImages(HBITMAP bitmap);
    void SetButtonText(UINT id, const std::wstring& text);
    std::wstring ButtonText(UINT id) const;
    // The bar's background: a colour, then a picture instead (tiled).
    void SetBackgroundColour(COLORREF colour);
    void SetBackgroundImage(HBITMAP image);
    // The logo at the right end (tiled from the logo's corner); null is ignored.
    void SetLogo(HBITMAP logo);
    SIZE LogoSize() const { return logoSize_; }
    void SetCommandTooltip(CommandTooltip lookup) { commandTooltip_ = std::move(lookup); }

    // One of many: the first button is pressed and the last chosen stays pressed.
    void SetOneOfMany(bool on);
    bool OneOfMany() const { return oneOfMany_; }
    UINT HeldId() const { return held_; }
    // One of many: id becomes the pressed button instead of the one before.
    void Hold(UINT id);
    const std::vector<UINT>& ButtonIds() const { return ids_; }
    bool IsPressed(UINT id) const;
    // The hot button's id, or -1 when none is hot.
    int HotId() const;
    void EnableButton(UINT id, bool enable);

    // The tooltip of button id, after the rules of ToolTipText.
    std::wstring TooltipFor(UINT id) const;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    bool OnEraseBackground(HDC dc);                // WM_ERASEBKGND
    bool OnLButtonDown();                          // WM_LBUTTONDOWN; false drops the click
    bool OnNotify(NMHDR* header, LRESULT* result); // WM_NOTIFY; true when answered

    UniqueBrush background_;
    UniqueBrush logo_;
    SIZE logoSize_ = {0, 0};
    bool oneOfMany_ = false;
    UINT held_ = 0;
    std::vector<UINT> ids_;
    SIZE imageSize_ = {16, 15};  // the common control's default
    HIMAGELIST images_ = nullptr;  // destroyed with the bar
    CommandTooltip commandTooltip_;
};

}  // namespace kivra
