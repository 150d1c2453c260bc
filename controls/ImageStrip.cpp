#include "controls/ImageStrip.h"

#include "framework/Handles.h"

namespace kivra {

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
    UniqueMemoryDc source(::CreateCompatibleDC(target));
    UniqueMemoryDc maskDc(::CreateCompatibleDC(target));
    UniqueBitmap maskBitmap(::CreateBitmap(size.cx, size.cy, 1, 1, nullptr));
    if (!source || !maskDc || !maskBitmap)
        return;
    SelectedObject selectedSource(source.get(), bitmap);
    SelectedObject selectedMask(maskDc.get(), maskBitmap.get());

    // Colour to monochrome: pixels of the background colour become white.
    ::SetBkColor(source.get(), mask);
    ::BitBlt(maskDc.get(), sourceX, sourceY, width, height, source.get(), sourceX, sourceY, SRCCOPY);

    // Monochrome to colour maps white to the background and black to the
    // text colour, so the AND keeps the target where the mask is white.
    const COLORREF oldBack = ::SetBkColor(target, RGB(255, 255, 255));
    const COLORREF oldText = ::SetTextColor(target, RGB(0, 0, 0));
    ::BitBlt(target, targetX, targetY, width, height, source.get(), sourceX, sourceY, SRCINVERT);
    ::BitBlt(target, targetX, targetY, width, height, maskDc.get(), sourceX, sourceY, SRCAND);
    ::BitBlt(target, targetX, targetY, width, height, source.get(), sourceX, sourceY, SRCINVERT);
    ::SetTextColor(target, oldText);
    ::SetBkColor(target, oldBack);
}

void OpaqueCopy(HBITMAP bitmap, HDC target, int sourceX, int sourceY, int targetX, int targetY, int width,
                int height)
{
    if (bitmap == nullptr || target == nullptr || width <= 0 || height <= 0)
        return;
    UniqueMemoryDc source(::CreateCompatibleDC(target));
    if (!source)
        return;
    SelectedObject selected(source.get(), bitmap);
    ::BitBlt(target, targetX, targetY, width, height, source.get(), sourceX, sourceY, SRCCOPY);
}

}  // namespace kivra
