// The shape of a skinned window: a region cut out of its background bitmap,
// where every pixel of the mask colour is transparent.
//
// The shape is not the exact pixel mask. It is the intersection of two
// polygons: one through the leftmost and rightmost opaque pixel of every row,
// one through the topmost and bottommost opaque pixel of every column. That
// keeps the region to two polygons however ragged the picture is, and skins
// are drawn for it: a hole inside the picture stays part of the window.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "config/SkinRecords.h"
#include "framework/Handles.h"

namespace kivra {

// Whether the pixel at (x, y) of the picture being outlined is opaque.
using OpaquePixelTest = std::function<bool(int x, int y)>;

// The row outline of a width x height picture: 2 * height points. For each
// row with an opaque pixel, its leftmost opaque pixel is appended at the front
// and its rightmost one stored at the back, filling from the last slot
// towards the front; rows without one add nothing. The slots left between the
// two ends repeat the last front point. Empty when no pixel is opaque.
std::vector<POINT> RowOutline(int width, int height, const OpaquePixelTest& opaque);

// The same per column: 2 * width points, the topmost opaque pixel of each
// column at the front, the bottommost at the back.
std::vector<POINT> ColumnOutline(int width, int height, const OpaquePixelTest& opaque);

// The region of a bitmap's opaque pixels (colour not exactly mask): the
// row outline polygon AND the column outline polygon, both ALTERNATE-filled
// with the pixel positions as vertices. Null when the bitmap cannot be read,
// has no opaque pixel, or the outlines enclose nothing (a single opaque row or
// column): an empty window region would make the window vanish.
UniqueRegion RegionFromBitmap(HBITMAP bitmap, COLORREF mask);

// The region of one display mode, from the first piece of its background.
//   - region is emptied; with *regionFlag clear there is no region and
//     nothing else changes;
//   - otherwise *regionFlag is cleared and, when the first piece has a bitmap
//     that yields a region, set again; the region is then moved by the dialog
//     frame (SM_CXDLGFRAME, SM_CYDLGFRAME) and *size becomes the bitmap's size
//     plus both frames. *size is left alone when there is no region.
// Answers whether a region was built.
bool BuildModeRegion(const std::vector<TSkinImage>& background, COLORREF mask, bool* regionFlag,
                     UniqueRegion* region, SIZE* size);

// An independent copy of region (null for a null region or on failure), for
// callers that hand a region over, e.g. to SetWindowRgn, and keep their own.
UniqueRegion CopyRegion(HRGN region);

}  // namespace kivra
