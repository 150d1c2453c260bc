// Bitmaps as plain pixels, and bitmaps made from pixels: the picture cache of
// the skin keeps pictures this way, and stretched copies of the same picture
// are made once (ScaledCopy).
#pragma once

#include <windows.h>

#include <vector>

namespace kivra {

// The pixels of a bitmap: 32 bits each (blue, green, red, zero), rows from
// the bottom up, as a bottom-up 32-bit DIB holds them.
struct TPicturePixels {
    int width = 0;
    int height = 0;
    std::vector<RGBQUAD> pixels;
};

// Pixels laid out as TPicturePixels holds them, held elsewhere (a mapped
// file): width * height of them at pixels.
struct TPixelsView {
    int width = 0;
    int height = 0;
    const RGBQUAD* pixels = nullptr;
};

// Reads bitmap's pixels (not selected into a DC). False when it cannot be read
// or memory runs out; *pixels is then empty.
bool ReadBitmapPixels(HBITMAP bitmap, TPicturePixels* pixels);

// A bitmap of the pixels, a DIB section: it can be selected into a memory DC
// of any display format, which a 24- or 32-bit device-dependent bitmap cannot
// on a 16-bit display. The caller owns it; null when it cannot be made.
HBITMAP BitmapFromPixels(const TPicturePixels& pixels);
HBITMAP BitmapFromPixels(const TPixelsView& pixels);

// A copy of source stretched to size, as CopyImage(IMAGE_BITMAP, size) stretches
// it, always a DIB section; the caller owns it and source stays the caller's. Skins give
// many buttons the same faces, each stretched to its button: the same pixels
// asked for at the same size again are copied from the first stretch (a copy
// is cheap, a stretch costs two device contexts). Only 32-bit DIB sections
// are remembered, since their pixels can be compared in place; other bitmaps
// are stretched every time. Null when no copy can be made. UI thread only.
HBITMAP ScaledCopy(HBITMAP source, SIZE size);

}  // namespace kivra
