// Image strips and the transparent copy: the drawing rules that the image
// button, the tool bar and the owner-drawn menu share. No window needed.
#pragma once

#include <windows.h>

#include <optional>

namespace kivra {

// Strip pixels of this colour are cut away by the tool bars' image lists,
// and image buttons erase their background with it.
constexpr COLORREF kControlMaskColor = RGB(192, 192, 192);

// The size of a bitmap in pixels; 0 x 0 for none.
SIZE BitmapSize(HBITMAP bitmap);

// Tile index of a strip of tile-sized pictures: laid out across when the
// strip is at least (index + 1) tiles wide and one tile high, else down when
// it is one tile wide and (index + 1) tiles high. None for a negative index,
// an empty tile size, or a strip too small for the index.
std::optional<RECT> StripTile(SIZE strip, SIZE tile, int index);

// Copies width x height of bitmap from (sourceX, sourceY) to (targetX,
// targetY) of target, leaving the pixels of exactly mask colour out (the
// target shows through them). The bitmap stays the caller's.
void TransparentCopy(HBITMAP bitmap, HDC target, int sourceX, int sourceY, int targetX, int targetY, int width,
                     int height, COLORREF mask);

// Copies width x height of bitmap from (sourceX, sourceY) opaque.
void OpaqueCopy(HBITMAP bitmap, HDC target, int sourceX, int sourceY, int targetX, int targetY, int width,
                int height);

}  // namespace kivra
