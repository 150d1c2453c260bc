#include "mainwindow/WindowRegion.h"

#include <new>

namespace kivra {
namespace {

// One outline over `lines` lines of `extent` pixels each. opaqueAt(line, pos)
// tests a pixel, pointAt(line, pos) gives its vertex.
template <typename OpaqueAt, typename PointAt>
std::vector<POINT> Outline(int lines, int extent, OpaqueAt opaqueAt, PointAt pointAt)
{
    if (lines <= 0 || extent <= 0)
        return {};
    std::vector<POINT> points(2 * static_cast<size_t>(lines));
    size_t front = 0;
    size_t back = points.size();
    for (int line = 0; line < lines; ++line) {
        int first = 0;
        while (first < extent && !opaqueAt(line, first))
            ++first;
        if (first == extent)
            continue;
        int last = extent - 1;
        while (last > first && !opaqueAt(line, last))
            --last;
        points[front++] = pointAt(line, first);
        points[--back] = pointAt(line, last);
    }
    if (front == 0)
        return {};
    // The polygon needs all its points; the unused middle collapses onto the
    // last front point, which adds no area.
    for (size_t i = front; i < back; ++i)
        points[i] = points[front - 1];
    return points;
}

}  // namespace

std::vector<POINT> RowOutline(int width, int height, const OpaquePixelTest& opaque)
{
    return Outline(
        height, width, [&](int y, int x) { return opaque(x, y); },
        [](int y, int x) { return POINT{x, y}; });
}

std::vector<POINT> ColumnOutline(int width, int height, const OpaquePixelTest& opaque)
{
    return Outline(
        width, height, [&](int x, int y) { return opaque(x, y); },
        [](int x, int y) { return POINT{x, y}; });
}

namespace {

// The pixels of a bitmap as COLORREF values, row by row from the top, read in
// one GetDIBits pass (GetPixel per pixel costs a call each, and under Wine a
// lock and a conversion each). Empty when the bitmap cannot be read.
std::vector<COLORREF> PixelsOf(HBITMAP bitmap, int width, int height)
{
    BITMAPINFO format = {};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height;  // top-down
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    std::vector<COLORREF> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    WindowDc screen(nullptr);
    if (!screen || ::GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(height), pixels.data(), &format,
                               DIB_RGB_COLORS) != height)
        return {};
    // A 32-bit DIB pixel is blue, green, red, unused; a COLORREF is red,
    // green, blue, zero: the colour GetPixel would answer.
    for (COLORREF& pixel : pixels)
        pixel = RGB(GetBValue(pixel), GetGValue(pixel), GetRValue(pixel));
    return pixels;
}

// The two outlines of a bitmap. False when it cannot be read or memory runs out.
bool OutlinesOf(HBITMAP bitmap, const BITMAP& info, COLORREF mask, std::vector<POINT>* rows,
                std::vector<POINT>* columns)
{
    const int width = info.bmWidth;
    const int height = info.bmHeight;
    try {
        const std::vector<COLORREF> pixels = PixelsOf(bitmap, width, height);
        if (pixels.empty())
            return false;
        const auto opaque = [&](int x, int y) { return pixels[static_cast<size_t>(y) * width + x] != mask; };
        *rows = Outline(
            height, width, [&](int y, int x) { return opaque(x, y); }, [](int y, int x) { return POINT{x, y}; });
        if (!rows->empty())
            *columns = Outline(
                width, height, [&](int x, int y) { return opaque(x, y); }, [](int x, int y) { return POINT{x, y}; });
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace

UniqueRegion RegionFromBitmap(HBITMAP bitmap, COLORREF mask)
{
    BITMAP info = {};
    if (bitmap == nullptr || ::GetObjectW(bitmap, sizeof(info), &info) == 0 || info.bmWidth <= 0 ||
        info.bmHeight <= 0)
        return {};
    std::vector<POINT> rows;
    std::vector<POINT> columns;
    if (!OutlinesOf(bitmap, info, mask, &rows, &columns) || rows.empty())
        return {};

    UniqueRegion result(::CreatePolygonRgn(rows.data(), static_cast<int>(rows.size()), ALTERNATE));
    if (!result)
        return {};
    UniqueRegion columnRegion(::CreatePolygonRgn(columns.data(), static_cast<int>(columns.size()), ALTERNATE));
    if (!columnRegion)
        return {};
    // Outlines that enclose nothing (a single opaque row or column) give no
    // region: an empty window region would make the window invisible.
    const int kind = ::CombineRgn(result.get(), result.get(), columnRegion.get(), RGN_AND);
    if (kind == ERROR || kind == NULLREGION)
        return {};
    return result;
}

bool BuildModeRegion(const std::vector<TSkinImage>& background, COLORREF mask, bool* regionFlag,
                     UniqueRegion* region, SIZE* size)
{
    region->reset();
    if (!*regionFlag)
        return false;
    *regionFlag = false;
    if (background.empty() || !background.front().bitmap)
        return false;
    HBITMAP bitmap = background.front().bitmap.get();
    UniqueRegion shape = RegionFromBitmap(bitmap, mask);
    if (!shape)
        return false;
    BITMAP info = {};
    ::GetObjectW(bitmap, sizeof(info), &info);
    const int frameX = ::GetSystemMetrics(SM_CXDLGFRAME);
    const int frameY = ::GetSystemMetrics(SM_CYDLGFRAME);
    ::OffsetRgn(shape.get(), frameX, frameY);
    *regionFlag = true;
    *region = std::move(shape);
    size->cx = info.bmWidth + 2 * frameX;
    size->cy = info.bmHeight + 2 * frameY;
    return true;
}

UniqueRegion CopyRegion(HRGN region)
{
    if (region == nullptr)
        return {};
    const DWORD bytes = ::GetRegionData(region, 0, nullptr);
    if (bytes == 0)
        return {};
    std::vector<BYTE> data;
    try {
        data.resize(bytes);
    } catch (const std::bad_alloc&) {
        return {};
    }
    auto* header = reinterpret_cast<RGNDATA*>(data.data());
    if (::GetRegionData(region, bytes, header) != bytes)
        return {};
    return UniqueRegion(::ExtCreateRegion(nullptr, bytes, header));
}

}  // namespace kivra
