// CMenuEx: a skin pop-up menu (the tray menu, the menus that buttons and tool
// items open, the menu bar's entries). It wraps a pop-up menu and adds what
// the skin asks for: items drawn by the program with skin row pictures and
// icons cut from a strip, a check-mark cell, one radio group, check-toggle
// items, and a placement that anchors the menu to the small window under the
// cursor (a button, the tray icon).
//
// Owner drawing: the main window hands WM_MEASUREITEM and WM_DRAWITEM of
// menus to RouteMeasureItem / RouteDrawItem, which find the menu that made
// the item (items of other menus are left alone).
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/Handles.h"

namespace kivra {

// Process-wide measures of the owner-drawn menus; every construction of a
// CMenuEx resets them, and measuring an item lower than an icon makes the
// text padding grow (for all menus, until the next construction).
struct TMenuMetrics {
    int iconMargin = 3;     // left and right of the icon in the icon column
    int iconTopMargin = 3;  // above the icon
    int textGap = 5;        // between icon column and text; start of the separator line
    int textPadding = 3;    // above and below the text
};
TMenuMetrics& MenuMetrics();

// What measuring one item needs.
struct TMenuItemMeasure {
    bool separator = false;
    SIZE text = {0, 0};              // extent of the item text in the owner's font
    SIZE icon = {16, 16};            // the menu's icon size
    bool fullBitmapSet = false;      // icon strip, both row pictures and an icon size
    SIZE rowPicture = {0, 0};        // the normal row picture's size
    int smallIconWidth = 16;         // SM_CXSMICON
};
// The item's width and height. Items lower than the icon with its margins
// get that height, and metrics.textPadding grows by half the difference.
SIZE MeasureMenuItem(const TMenuItemMeasure& item, TMenuMetrics& metrics);

// A menu under the cursor is anchored to the window under it only when that
// window is small: the cursor within these distances of its edges.
constexpr int kPopupAnchorReachY = 40;
constexpr int kPopupAnchorReachX = 100;

struct TPopupPlacement {
    POINT at = {0, 0};
    UINT flags = 0;  // TrackPopupMenu flags
};
// Where a menu of this alignment code (TMenuSkin popupType) opens for the
// cursor, over window (null: no window under the cursor).
TPopupPlacement PlacePopup(POINT cursor, const RECT* window, int alignment);

// What choosing an item means to the caller: the command and its new check
// state when a check-toggle item was chosen; id 0 when there is nothing to
// report (dismissed, a radio item, a plain item).
struct TPopupResult {
    UINT id = 0;
    bool checked = false;
};

class CMenuEx {
public:
    // A new, empty pop-up menu; owner's DC and font measure the items.
    explicit CMenuEx(HWND owner);
    ~CMenuEx();
    CMenuEx(const CMenuEx&) = delete;
    CMenuEx& operator=(const CMenuEx&) = delete;

    HMENU Handle() const { return menu_; }
    HWND Owner() const { return owner_; }
    // The menu bar takes the menu over as one of its pop-ups: it is destroyed
    // with the menu bar, not with this object (whose handle stays usable).
    void GiveToMenuBar() { owned_.release(); }

    // Pictures the menu draws with; it keeps them for its life.
    void SetIconStrip(UniqueBitmap strip, SIZE iconSize, COLORREF mask);
    void SetItemBackgrounds(UniqueBitmap normal, UniqueBitmap selected);
    void KeepBitmap(UniqueBitmap bitmap);
    void SetAlignment(int code) { alignment_ = code; }
    int Alignment() const { return alignment_; }
    void SetRadioGroup(int first, int last);
    bool HasRadioGroup() const { return radioFirst_ >= 0 && radioFirst_ < radioLast_; }
    // One flag per appended item, in item order.
    void AppendCheckToggle(bool toggles) { checkToggles_.push_back(toggles ? 1 : 0); }
    // Whether the strip, both row pictures and an icon size are there.
    bool HasFullBitmapSet() const;

    // Converts every item to an owner-drawn one (keeping its id, text and
    // state). The skin menu builder calls it only with the full bitmap set.
    void MakeOwnerDraw();
    bool IsOwnerDrawn() const { return !items_.empty(); }
    void MeasureItem(MEASUREITEMSTRUCT& item);
    void DrawItem(const DRAWITEMSTRUCT& item);
    static bool RouteMeasureItem(MEASUREITEMSTRUCT* item);
    static bool RouteDrawItem(const DRAWITEMSTRUCT* item);

    // Shows the menu for the cursor, sends the chosen command to owner as
    // WM_COMMAND (also 0 when dismissed) and answers ApplyChoice's result.
    TPopupResult PopupAtCursor(HWND owner);
    // The same, with the menu at screen point at (TrackPopupMenu flags; the
    // command is always returned).
    TPopupResult PopupAt(HWND owner, POINT at, UINT flags);
    // After id was chosen: a radio item takes the radio mark (answer 0), a
    // check-toggle item changes its check mark (answer id with the new state).
    TPopupResult ApplyChoice(UINT id);

    int ItemCount() const;
    // Position of the first top-level item with this id / exactly this text; -1.
    int FindItemById(UINT id) const;
    int FindItemByText(const wchar_t* text) const;
    std::wstring ItemText(int position) const;
    // "manager/CheckMenuItem": by id when it is not 0; otherwise by the item
    // with this text, else by position (when 0 or more).
    void CheckItem(const wchar_t* text, UINT id, int position, bool checked);
    bool IsChecked(int position) const;

private:
    struct TOwnerDrawItem {
        CMenuEx* menu;
        UINT id;  // 0 for a separator
        std::wstring text;
    };
    static TOwnerDrawItem* LiveItem(ULONG_PTR data);
    void DrawPlain(HDC dc, const DRAWITEMSTRUCT& item, const RECT& body, const RECT& iconCell, const RECT& text,
                   const TOwnerDrawItem& data);

    UniqueMenu owned_;     // until the menu bar takes the menu over
    HMENU menu_ = nullptr;  // the menu, owned or not
    HWND owner_ = nullptr;
    SIZE iconSize_ = {16, 16};
    UniqueBitmap strip_;
    COLORREF mask_ = 0;
    UniqueBitmap normalRow_;
    UniqueBitmap selectedRow_;
    std::vector<UniqueBitmap> kept_;
    int alignment_ = 0;
    int radioFirst_ = -1;
    int radioLast_ = -1;
    std::vector<unsigned char> checkToggles_;
    std::vector<std::unique_ptr<TOwnerDrawItem>> items_;
};

}  // namespace kivra
