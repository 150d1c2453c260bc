#include "controls/MenuEx.h"

#include <algorithm>
#include <optional>
#include <unordered_set>

#include "controls/ImageStrip.h"

namespace kivra {

namespace {

// The colours of the owner-drawn menus, read again by every construction.
struct TMenuColours {
    COLORREF highlight = 0;
    COLORREF menu = 0;
    COLORREF iconColumn = 0;
    COLORREF text = 0;
    COLORREF grayedText = 0;
    COLORREF separator = 0;
    COLORREF frame = 0;
};

TMenuColours& MenuColours()
{
    static TMenuColours colours;
    return colours;
}

void ReadMenuColours()
{
    TMenuColours& c = MenuColours();
    // COLOR_MENUHILIGHT exists from Windows 2000 (major version 5) on.
    const bool hasMenuHighlight = LOBYTE(LOWORD(::GetVersion())) >= 5;
    c.highlight = ::GetSysColor(hasMenuHighlight ? COLOR_MENUHILIGHT : COLOR_HIGHLIGHT);
    c.menu = ::GetSysColor(COLOR_MENU);
    c.iconColumn = ::GetSysColor(COLOR_MENUBAR);
    c.text = ::GetSysColor(COLOR_MENUTEXT);
    c.grayedText = ::GetSysColor(COLOR_GRAYTEXT);
    c.separator = ::GetSysColor(COLOR_MENUBAR);
    c.frame = ::GetSysColor(COLOR_BTNSHADOW);
}

// The owner-drawn items of every live menu: item data handed to the system
// is trusted only when it is one of these.
std::unordered_set<const void*>& LiveItems()
{
    static std::unordered_set<const void*> items;
    return items;
}

// Item texts are read into a buffer of this many units.
constexpr int kItemTextUnits = 256;
// The system's check mark bitmap (OBM_CHECK, declared only with OEMRESOURCE).
constexpr int kSystemCheckBitmap = 32760;
// DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_EXPANDTABS.
constexpr UINT kItemTextFormat = 0x65;

void FillSolid(HDC dc, const RECT& rect, COLORREF colour)
{
    UniqueBrush brush(::CreateSolidBrush(colour));
    ::FillRect(dc, &rect, brush.get());
}

// A rectangle with a 1-pixel frame in frame colour, filled with fill.
void FramedRect(HDC dc, const RECT& rect, COLORREF frame, COLORREF fill)
{
    UniquePen pen(::CreatePen(PS_SOLID, 1, frame));
    UniqueBrush brush(::CreateSolidBrush(fill));
    SelectedObject selectedPen(dc, pen.get());
    SelectedObject selectedBrush(dc, brush.get());
    ::Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
}

}  // namespace

TMenuMetrics& MenuMetrics()
{
    static TMenuMetrics metrics;
    return metrics;
}

SIZE MeasureMenuItem(const TMenuItemMeasure& item, TMenuMetrics& metrics)
{
    SIZE size;
    if (!item.fullBitmapSet) {
        size.cx = item.icon.cx + 2 * (metrics.iconMargin + metrics.textGap) + item.text.cx;
        size.cy = item.text.cy + 2 * metrics.textPadding;
    } else {
        size.cx = item.rowPicture.cx - item.smallIconWidth;
        size.cy = item.rowPicture.cy;
    }
    if (item.separator) {
        size.cy = 2 * metrics.textPadding + 1;
        return size;
    }
    const int lowest = item.icon.cy + 2 * metrics.iconTopMargin;
    if (size.cy < lowest) {
        metrics.textPadding += (lowest - size.cy) >> 1;
        size.cy = lowest;
    }
    return size;
}

TPopupPlacement PlacePopup(POINT cursor, const RECT* window, int alignment)
{
    TPopupPlacement placement;
    placement.flags = TPM_RETURNCMD | ((alignment & 0x40) != 0 ? TPM_BOTTOMALIGN : 0);
    placement.at = cursor;
    if (window == nullptr)
        return placement;
    RECT w = *window;
    const bool small = cursor.y - w.top <= kPopupAnchorReachY && w.bottom - cursor.y <= kPopupAnchorReachY &&
                       cursor.x - w.left <= kPopupAnchorReachX && w.right - cursor.x <= kPopupAnchorReachX;
    if (!small)
        w = {cursor.x, cursor.y, cursor.x, cursor.y};
    switch (alignment) {
    case 0:
        placement.at = {w.left, w.bottom};
        break;
    case 1:
    case 0x41:
        placement.at = {w.right, w.top};
        break;
    case 2:
    case 0x42:
        placement.at = {w.right, w.bottom};
        break;
    case 0x40:
        placement.at = {w.left, w.top};
        break;
    default:
        break;  // "mouse" and unknown codes: at the cursor
    }
    return placement;
}

CMenuEx::CMenuEx(HWND owner) : owned_(::CreatePopupMenu()), menu_(owned_.get()), owner_(owner)
{
    MenuMetrics() = TMenuMetrics{};
    ReadMenuColours();
}

CMenuEx::~CMenuEx()
{
    owned_.reset();
    for (const auto& item : items_)
        LiveItems().erase(item.get());
}

void CMenuEx::SetIconStrip(UniqueBitmap strip, SIZE iconSize, COLORREF mask)
{
    if (!strip || iconSize.cx == 0 || iconSize.cy == 0)
        return;
    strip_ = std::move(strip);
    iconSize_ = iconSize;
    mask_ = mask;
}

void CMenuEx::SetItemBackgrounds(UniqueBitmap normal, UniqueBitmap selected)
{
    normalRow_ = std::move(normal);
    selectedRow_ = std::move(selected);
}

void CMenuEx::KeepBitmap(UniqueBitmap bitmap)
{
    if (bitmap)
        kept_.push_back(std::move(bitmap));
}

void CMenuEx::SetRadioGroup(int first, int last)
{
    radioFirst_ = first;
    radioLast_ = last;
}

bool CMenuEx::HasFullBitmapSet() const
{
    return strip_ && normalRow_ && selectedRow_ && iconSize_.cx != 0 && iconSize_.cy != 0;
}

void CMenuEx::MakeOwnerDraw()
{
    const int count = ItemCount();
    for (int position = 0; position < count; ++position) {
        auto item = std::make_unique<TOwnerDrawItem>();
        item->menu = this;
        item->id = ::GetMenuItemID(menu_, position);
        if (item->id == static_cast<UINT>(-1))
            item->id = 0;
        item->text = ItemText(position);
        // Grayed and checked items stay so once they are drawn by us.
        const UINT state = ::GetMenuState(menu_, position, MF_BYPOSITION);
        const UINT kept = state & (MF_GRAYED | MF_DISABLED | MF_CHECKED);
        LiveItems().insert(item.get());
        ::ModifyMenuW(menu_, position, MF_BYPOSITION | MF_OWNERDRAW | kept, item->id,
                      reinterpret_cast<LPCWSTR>(item.get()));
        items_.push_back(std::move(item));
    }
}

CMenuEx::TOwnerDrawItem* CMenuEx::LiveItem(ULONG_PTR data)
{
    auto* item = reinterpret_cast<TOwnerDrawItem*>(data);
    return LiveItems().count(item) != 0 ? item : nullptr;
}

bool CMenuEx::RouteMeasureItem(MEASUREITEMSTRUCT* item)
{
    if (item == nullptr || item->CtlType != ODT_MENU)
        return false;
    TOwnerDrawItem* data = LiveItem(item->itemData);
    if (data == nullptr)
        return false;
    data->menu->MeasureItem(*item);
    return true;
}

bool CMenuEx::RouteDrawItem(const DRAWITEMSTRUCT* item)
{
    if (item == nullptr || item->CtlType != ODT_MENU)
        return false;
    TOwnerDrawItem* data = LiveItem(item->itemData);
    if (data == nullptr)
        return false;
    data->menu->DrawItem(*item);
    return true;
}

void CMenuEx::MeasureItem(MEASUREITEMSTRUCT& item)
{
    const TOwnerDrawItem* data = LiveItem(item.itemData);
    TMenuItemMeasure measure;
    measure.separator = data == nullptr || data->id == 0;
    measure.icon = iconSize_;
    measure.fullBitmapSet = HasFullBitmapSet();
    measure.rowPicture = BitmapSize(normalRow_.get());
    measure.smallIconWidth = ::GetSystemMetrics(SM_CXSMICON);
    if (!measure.fullBitmapSet && data != nullptr) {
        WindowDc dc(owner_);
        if (dc) {
            auto font = reinterpret_cast<HFONT>(::SendMessageW(owner_, WM_GETFONT, 0, 0));
            SelectedObject selected(dc.get(), font);
            ::GetTextExtentPoint32W(dc.get(), data->text.c_str(), static_cast<int>(data->text.size()),
                                    &measure.text);
        }
    }
    const SIZE size = MeasureMenuItem(measure, MenuMetrics());
    item.itemWidth = static_cast<UINT>(std::max<LONG>(size.cx, 0));
    item.itemHeight = static_cast<UINT>(std::max<LONG>(size.cy, 0));
}

void CMenuEx::DrawItem(const DRAWITEMSTRUCT& item)
{
    const TOwnerDrawItem* data = LiveItem(item.itemData);
    if (data == nullptr || item.hDC == nullptr)
        return;
    HDC dc = item.hDC;
    const TMenuMetrics& m = MenuMetrics();
    const RECT& r = item.rcItem;
    const int height = r.bottom - r.top;

    RECT iconColumn = r;
    iconColumn.right = r.left + iconSize_.cx + 2 * m.iconMargin;
    const RECT iconCell = {r.left + m.iconMargin, r.top + m.iconTopMargin, r.left + m.iconMargin + iconSize_.cx,
                           r.top + m.iconTopMargin + iconSize_.cy};
    RECT body = r;
    body.left = iconColumn.right;
    RECT text = body;
    text.left += m.textGap;
    text.top += m.textPadding;

    // Rows are numbered by their height: row n shows the strip's n-th icon.
    const int row = height > 0 ? r.top / height : 0;
    const std::optional<RECT> tile = StripTile(BitmapSize(strip_.get()), iconSize_, row);

    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    if (HasFullBitmapSet() && data->id != 0 && tile) {
        HBITMAP rowPicture = (item.itemState & ODS_SELECTED) ? selectedRow_.get() : normalRow_.get();
        OpaqueCopy(rowPicture, dc, 0, 0, 0, r.top, body.right, height);
        TransparentCopy(strip_.get(), dc, tile->left, tile->top, text.left - iconSize_.cx,
                        r.top + (height - iconSize_.cx) / 2, iconSize_.cx, iconSize_.cy, mask_);
        RECT textRect = text;
        ::DrawTextW(dc, data->text.c_str(), -1, &textRect, kItemTextFormat);
    } else {
        DrawPlain(dc, item, body, iconCell, text, *data);
    }
    ::SetBkMode(dc, oldMode);
}

void CMenuEx::DrawPlain(HDC dc, const DRAWITEMSTRUCT& item, const RECT& body, const RECT& iconCell,
                        const RECT& text, const TOwnerDrawItem& data)
{
    const TMenuColours& c = MenuColours();
    const TMenuMetrics& m = MenuMetrics();
    RECT iconColumn = item.rcItem;
    iconColumn.right = body.left;
    FillSolid(dc, iconColumn, c.iconColumn);

    if (data.id == 0) {
        FillSolid(dc, body, c.menu);
        const int middle = body.top + (body.bottom - body.top) / 2;
        UniquePen pen(::CreatePen(PS_SOLID, 1, c.separator));
        SelectedObject selected(dc, pen.get());
        ::MoveToEx(dc, body.left + m.textGap, middle, nullptr);
        ::LineTo(dc, body.right, middle);
        return;
    }
    const bool grayed = (item.itemState & ODS_GRAYED) != 0;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    if (selected && !grayed && (item.itemAction & (ODA_DRAWENTIRE | ODA_SELECT)) != 0) {
        ::SetTextColor(dc, c.text);
        FramedRect(dc, item.rcItem, c.frame, c.highlight);
    } else {
        ::SetTextColor(dc, grayed ? c.grayedText : c.text);
        FillSolid(dc, body, c.menu);
    }
    if (item.itemState & ODS_CHECKED) {
        ::SetBkColor(dc, c.iconColumn);
        FramedRect(dc, iconCell, c.frame, c.iconColumn);
        UniqueBitmap check(::LoadBitmapW(nullptr, MAKEINTRESOURCEW(kSystemCheckBitmap)));
        const SIZE mark = BitmapSize(check.get());
        ::DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(check.get()), 0,
                     iconCell.left + (iconSize_.cx - mark.cx) / 2 + 1, iconCell.top + (iconSize_.cy - mark.cy) / 2,
                     mark.cx, mark.cy, DST_BITMAP);
    }
    RECT textRect = text;
    ::DrawTextW(dc, data.text.c_str(), -1, &textRect, kItemTextFormat);
}

TPopupResult CMenuEx::PopupAtCursor(HWND owner)
{
    POINT cursor = {};
    ::GetCursorPos(&cursor);
    RECT window = {};
    HWND under = ::WindowFromPoint(cursor);
    const bool hasWindow = under != nullptr && ::GetWindowRect(under, &window);
    const TPopupPlacement placement = PlacePopup(cursor, hasWindow ? &window : nullptr, alignment_);
    return PopupAt(owner, placement.at, placement.flags);
}

TPopupResult CMenuEx::PopupAt(HWND owner, POINT at, UINT flags)
{
    ::SetForegroundWindow(owner);
    const UINT id = static_cast<UINT>(::TrackPopupMenu(menu_, flags | TPM_RETURNCMD, at.x, at.y, 0, owner, nullptr));
    // Also 0: the owner hears that the menu was dismissed.
    ::SendMessageW(owner, WM_COMMAND, id, 0);
    return ApplyChoice(id);
}

TPopupResult CMenuEx::ApplyChoice(UINT id)
{
    const int position = id != 0 ? FindItemById(id) : -1;
    if (position < 0)
        return {};
    if (HasRadioGroup() && position >= radioFirst_ && position <= radioLast_) {
        ::CheckMenuRadioItem(menu_, radioFirst_, radioLast_, position, MF_BYPOSITION);
        return {};
    }
    if (static_cast<size_t>(position) < checkToggles_.size() && checkToggles_[position] != 0) {
        const bool nowChecked = !IsChecked(position);
        ::CheckMenuItem(menu_, position, MF_BYPOSITION | (nowChecked ? MF_CHECKED : MF_UNCHECKED));
        return {id, nowChecked};
    }
    return {};
}

int CMenuEx::ItemCount() const
{
    const int count = ::GetMenuItemCount(menu_);
    return count < 0 ? 0 : count;
}

int CMenuEx::FindItemById(UINT id) const
{
    const int count = ItemCount();
    for (int position = 0; position < count; ++position)
        if (::GetMenuItemID(menu_, position) == id)
            return position;
    return -1;
}

int CMenuEx::FindItemByText(const wchar_t* text) const
{
    if (text == nullptr)
        return -1;
    const int count = ItemCount();
    for (int position = 0; position < count; ++position)
        if (ItemText(position) == text)
            return position;
    return -1;
}

std::wstring CMenuEx::ItemText(int position) const
{
    // Owner-drawn items keep their text in their record, one per position.
    if (position >= 0 && static_cast<size_t>(position) < items_.size())
        return items_[position]->text;
    wchar_t text[kItemTextUnits] = {};
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING;
    info.dwTypeData = text;
    info.cch = kItemTextUnits;
    if (!::GetMenuItemInfoW(menu_, position, TRUE, &info))
        return {};
    text[kItemTextUnits - 1] = 0;
    return text;
}

void CMenuEx::CheckItem(const wchar_t* text, UINT id, int position, bool checked)
{
    const UINT state = checked ? MF_CHECKED : MF_UNCHECKED;
    if (id != 0) {
        ::CheckMenuItem(menu_, id, MF_BYCOMMAND | state);
        return;
    }
    if (text != nullptr && text[0] != 0) {
        const int found = FindItemByText(text);
        if (found >= 0)
            position = found;
    }
    if (position >= 0)
        ::CheckMenuItem(menu_, static_cast<UINT>(position), MF_BYPOSITION | state);
}

bool CMenuEx::IsChecked(int position) const
{
    const UINT state = ::GetMenuState(menu_, static_cast<UINT>(position), MF_BYPOSITION);
    return state != static_cast<UINT>(-1) && (state & MF_CHECKED) != 0;
}

}  // namespace kivra
