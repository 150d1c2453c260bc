// Skin coordinates of the main window: written in dialog units until the
// window takes its shape from a region (then they are pixels), and relative
// to the right or bottom edge when negative.
#pragma once

#include <windows.h>

namespace kivra {

// Converts rect from dialog units of dialog to pixels, in place: each of the
// four coordinates is converted by its absolute value (left and right
// horizontally, top and bottom vertically) and takes back its sign. Nothing
// changes while pixelCoordinates is set, nor when dialog is not a dialog.
void ConvertDialogUnits(HWND dialog, bool pixelCoordinates, RECT* rect);

// A skin rectangle in client coordinates of an area clientWidth x
// clientHeight: a negative left or top counts from the right or bottom edge,
// a right or bottom of 0 or less as well.
RECT ResolveRect(const RECT& skinRect, int clientWidth, int clientHeight);

}  // namespace kivra
