// Drawing of skin image lists: the pieces of a title bar or a background,
// each copied from its image to its place in the area being drawn.
#pragma once

#include <windows.h>

#include <vector>

#include "config/SkinRecords.h"

namespace kivra {

// Where one piece goes inside the area and how much of it is copied.
struct TPiecePlacement {
    RECT to;   // the piece's "to" with each zero coordinate taken from the area
    int width;   // min(to width, area width)
    int height;  // min(to height, area height)
};

// A zero coordinate of piece.to stands for the same coordinate of area.
TPiecePlacement PlacePiece(const TSkinImage& piece, const RECT& area);

// Draws the pieces that have a bitmap, in list order, into dc: a block of the
// placement's size is copied (SRCCOPY) from the image at (from.left, from.top)
// to (to.left, to.top). An image smaller than the block is first stretched to
// the block's size. Pieces with an empty placement are skipped. The bitmaps
// stay the list's.
void DrawImageList(HDC dc, const std::vector<TSkinImage>& pieces, const RECT& area);

// Copies width x height of bitmap from its top-left corner to (x, y) of dc.
void DrawBitmapAt(HDC dc, HBITMAP bitmap, int x, int y, int width, int height);

}  // namespace kivra
