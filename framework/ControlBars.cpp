#include "framework/ControlBars.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

namespace kivra {

namespace {

struct FoundBar {
    HWND hwnd;
    UINT id;
    ControlBarSlot slot;
};

bool IsStatusBar(HWND hwnd, UINT id)
{
    if (id == kStatusBarId)
        return true;
    wchar_t name[64] = {};
    ::GetClassNameW(hwnd, name, 64);
    return ::lstrcmpiW(name, STATUSCLASSNAMEW) == 0;
}

bool IsToolBar(HWND hwnd)
{
    wchar_t name[64] = {};
    ::GetClassNameW(hwnd, name, 64);
    return ::lstrcmpiW(name, TOOLBARCLASSNAMEW) == 0;
}

// The bar's present height; a tool bar made without a size gets the height of
// its buttons, with the margin above the first one repeated below the last.
int BarHeight(HWND hwnd)
{
    RECT rect{};
    ::GetWindowRect(hwnd, &rect);
    int height = rect.bottom - rect.top;
    if (height > 0 || !IsToolBar(hwnd))
        return std::max(height, 0);
    auto count = static_cast<int>(::SendMessageW(hwnd, TB_BUTTONCOUNT, 0, 0));
    RECT first{}, last{};
    if (count <= 0 || !::SendMessageW(hwnd, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first)) ||
        !::SendMessageW(hwnd, TB_GETITEMRECT, count - 1, reinterpret_cast<LPARAM>(&last)))
        return 0;
    return last.bottom + first.top;
}

}  // namespace

RECT StackControlBars(const RECT& client, std::span<ControlBarSlot> bars)
{
    RECT left = client;
    for (ControlBarSlot& bar : bars) {
        int height = std::max(bar.height, 0);
        if (bar.atBottom) {
            bar.placed = {client.left, left.bottom - height, client.right, left.bottom};
            left.bottom -= height;
        } else {
            bar.placed = {client.left, left.top, client.right, left.top + height};
            left.top += height;
        }
    }
    if (left.bottom < left.top)
        left.bottom = left.top;
    return left;
}

RECT RepositionBars(HWND parent, UINT firstId, UINT lastId)
{
    RECT client{};
    ::GetClientRect(parent, &client);
    return RepositionBars(parent, client, firstId, lastId);
}

RECT RepositionBars(HWND parent, const RECT& area, UINT firstId, UINT lastId)
{
    const RECT client = area;
    if (!parent || ::IsIconic(parent))
        return client;

    // Direct children only: a plugin panel's own tool bar is not ours to move.
    std::vector<FoundBar> bars;
    for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        auto id = static_cast<UINT>(::GetDlgCtrlID(child));
        if (id < firstId || id > lastId || !(::GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE))
            continue;
        ControlBarSlot slot;
        slot.atBottom = IsStatusBar(child, id);
        slot.height = BarHeight(child);
        bars.push_back({child, id, slot});
    }
    std::stable_sort(bars.begin(), bars.end(), [](const FoundBar& a, const FoundBar& b) { return a.id < b.id; });

    std::vector<ControlBarSlot> slots;
    for (const FoundBar& bar : bars)
        slots.push_back(bar.slot);
    RECT left = StackControlBars(client, slots);

    for (size_t i = 0; i < bars.size(); ++i) {
        const RECT& r = slots[i].placed;
        ::MoveWindow(bars[i].hwnd, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
        if (slots[i].atBottom)
            ::SendMessageW(bars[i].hwnd, WM_SIZE, SIZE_RESTORED,
                           MAKELPARAM(client.right - client.left, client.bottom - client.top));
    }
    return left;
}

}  // namespace kivra
