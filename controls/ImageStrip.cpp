#include "controls/ImageStrip.h"

#include "framework/Handles.h"

namespace kivra {

namespace {

// Memory DCs for the copies, made once per thread and kept: under Wine making
// one costs several times the copy itself, and a skin button's face takes
// one to three of them at every paint. Each copy selects its bitmaps in and
// out again, so the DCs hold nothing between copies.
enum ScratchDc { kSourceDc, kMaskDc, kScratchDcs };

HDC Scratch(ScratchDc which)
{
    thread_local UniqueMemoryDc dcs[kScratchDcs];
    if (!dcs[which])
        dcs[which].reset(::CreateCompatibleDC(nullptr));
    return dcs[which].get();
}

}  // namespace

SIZE BitmapSize(HBITMAP bitmap)
{
    BITMAP info = {};
    if (bitmap == nullptr || ::GetObjectW(bitmap, sizeof(info), &info) == 0)
        return {0, 0};
    return {info.bmWidth, info.bmHeight < 0 ? -info.bmHeight : info.bmHeight};
}

std::optional<RECT> StripTile(SIZE strip, SIZE tile, int index)
{
    if (index < 0 || tile.cx <= 0 || tile.cy <= 0)
        return std::nullopt;
    // 64-bit products: a huge index must not wrap into a valid tile.
    const long long next = static_cast<long long>(index) + 1;
    if (strip.cx >= next * tile.cx && strip.cy >= tile.cy)
        return RECT{index * tile.cx, 0, (index + 1) * tile.cx, tile.cy};
    if (strip.cx >= tile.cx && strip.cy >= next * tile.cy)
        return RECT{0, index * tile.cy, tile.cx, (index + 1) * tile.cy};
    return std::nullopt;
}

void TransparentCopy(HBITMAP bitmap, HDC target, int sourceX, int sourceY, int targetX, int targetY, int width,
                     int height, COLORREF mask)
{
    const SIZE size = BitmapSize(bitmap);
    if (target == nullptr || size.cx <= 0 || size.cy <= 0 || width <= 0 || height <= 0)
        return;
    HDC source = Scratch(kSourceDc);
    HDC maskDc = Scratch(kMaskDc);
    // The mask covers the copied part only, not the whole strip.
    UniqueBitmap maskBitmap(::CreateBitmap(width, height, 1, 1, nullptr));
    if (source == nullptr || maskDc == nullptr || !maskBitmap)
        return;
    SelectedObject selectedSource(source, bitmap);
    SelectedObject selectedMask(maskDc, maskBitmap.get());

    // Colour to monochrome: pixels of the background colour become white.
    ::SetBkColor(source, mask);
    ::BitBlt(maskDc, 0, 0, width, height, source, sourceX, sourceY, SRCCOPY);

    // Monochrome to colour maps white to the background and black to the
    // text colour, so the AND keeps the target where the mask is white.
    const COLORREF oldBack = ::SetBkColor(target, RGB(255, 255, 255));
    const COLORREF oldText = ::SetTextColor(target, RGB(0, 0, 0));
    ::BitBlt(target, targetX, targetY, width, height, source, sourceX, sourceY, SRCINVERT);
    ::BitBlt(target, targetX, targetY, width, height, maskDc, 0, 0, SRCAND);
    ::BitBlt(target, targetX, targetY, width, height, source, sourceX, sourceY, SRCINVERT);
    ::SetTextColor(target, oldText);
    ::SetBkColor(target, oldBack);
}

void OpaqueCopy(HBITMAP bitmap, HDC target, int sourceX, int sourceY, int targetX, int targetY, int width,
                int height)
{
    if (bitmap == nullptr || target == nullptr || width <= 0 || height <= 0)
        return;
    HDC source = Scratch(kSourceDc);
    if (source == nullptr)
        return;
    SelectedObject selected(source, bitmap);
    ::BitBlt(target, targetX, targetY, width, height, source, sourceX, sourceY, SRCCOPY);
}

}  // namespace kivra
