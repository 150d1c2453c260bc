// Control bars: the tool bars and the status bar of a window, found by their
// control ids and laid out along its client edges whenever it changes size.
//
// A control bar is a visible direct child whose id lies in a range (normally
// kFirstControlBarId..kLastControlBarId). The status bar (id kStatusBarId, or
// any msctls_statusbar32 window) docks at the bottom; every other bar docks at
// the top, one under the other in id order (bars of the same id in their
// z-order), each as high as it already is. The bars take the full client width.
#pragma once

#include <windows.h>

#include <span>

namespace kivra {

constexpr UINT kFirstControlBarId = 0xE800;
constexpr UINT kLastControlBarId = 0xE8FF;
constexpr UINT kToolBarId = 0xE800;    // every tool bar of the main window
constexpr UINT kStatusBarId = 0xE801;  // the status bar

// One bar for StackControlBars: where it docks and how high it is; placed is
// set to its rectangle in the parent's client coordinates.
struct ControlBarSlot {
    bool atBottom = false;
    int height = 0;
    RECT placed{};
};

// Stacks the bars, in order, from the top and from the bottom edge of client.
// Answers the client area that is left between them; when the bars are taller
// than the client area they overlap and the area left is empty.
RECT StackControlBars(const RECT& client, std::span<ControlBarSlot> bars);

// Lays out parent's control bars with ids firstId..lastId (nothing while the
// parent is minimised). The status bar is then sent WM_SIZE so that it
// arranges its parts and grip itself. Answers the client area left between
// the bars (the whole client area without bars).
RECT RepositionBars(HWND parent, UINT firstId = kFirstControlBarId, UINT lastId = kLastControlBarId);
// The same within area of parent's client area (the bars take its width);
// answers what is left of area.
RECT RepositionBars(HWND parent, const RECT& area, UINT firstId = kFirstControlBarId,
                    UINT lastId = kLastControlBarId);

}  // namespace kivra
