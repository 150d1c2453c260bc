// The title bar the skin draws over the main window's frame: its pieces, the
// three buttons "minimize", "maximize" and "close", the window icon and the
// caption. Geometry is window-relative (the window DC's coordinates).
#pragma once

#include <windows.h>

#include <vector>

#include "config/SkinRecords.h"

namespace kivra {

// The system sizes the title bar is laid out with.
struct TTitleBarMetrics {
    int iconWidth;    // S, SM_CXSMICON
    int iconHeight;   // T, SM_CYSMICON
    int frameWidth;   // F, SM_CXFRAME
    int frameHeight;  // G, SM_CYFRAME

    static TTitleBarMetrics FromSystem();
};

struct TTitleBarLayout {
    RECT bar;
    RECT minimize;
    RECT maximize;
    RECT close;
};

// The layout for a window windowWidth pixels wide, with h = F / 2 (F >> 1):
// the bar from (h, G) to (width - h, G / 2 + G + T); the buttons S wide from
// G to G + T, close ending at width - 3h, maximize h + S left of close's end,
// minimize h + S left of maximize's end.
TTitleBarLayout LayoutTitleBar(int windowWidth, const TTitleBarMetrics& metrics);

enum class TitleBarButton { None, Minimize, Maximize, Close };

// The first of close, maximize and minimize whose rectangle holds point.
TitleBarButton TitleBarButtonAt(const TTitleBarLayout& layout, POINT windowPoint);

// The system command of a click on button: SC_CLOSE, SC_MINIMIZE, and for
// maximize SC_RESTORE while the window is zoomed, SC_MAXIMIZE otherwise;
// 0 for no button (the click is not the title bar's).
UINT TitleBarCommand(TitleBarButton button, bool zoomed);

// The id a title-bar button entry carries in its owner field.
const wchar_t* TitleBarButtonId(TitleBarButton button);

// The entry among buttons whose owner is the id of button, or null.
const TSkinButton* FindTitleBarButton(const TSkinButton (&buttons)[kTitleBarButtonCount], TitleBarButton button);

// Draws the three buttons with their normal faces; then, when hover is a
// button whose entry has a hover face, that one with its hover face.
void DrawTitleBarButtons(HDC windowDc, const TTitleBarLayout& layout,
                         const TSkinButton (&buttons)[kTitleBarButtonCount], TitleBarButton hover);

// The whole title bar into the window DC: the pieces into the bar, the
// buttons in their normal state, the icon at (F, G) sized S x T and the
// caption (at most 259 characters) in SYSTEM_FIXED_FONT from (F + S, G) to
// (bar right, G + T).
void DrawTitleBar(HDC windowDc, const TTitleBarLayout& layout, const TTitleBarMetrics& metrics,
                  const std::vector<TSkinImage>& images, const TSkinButton (&buttons)[kTitleBarButtonCount],
                  HICON icon, const wchar_t* caption);

}  // namespace kivra
