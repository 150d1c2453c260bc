#include "mainwindow/WindowRegion.h"

#include <cstddef>
#include <cstring>
#include <new>
#include <optional>
#include <utility>

#include "framework/BitmapPixels.h"

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

// Whether the rows of a 32-bit section's bits (rows of stride bytes) run from
// the picture's top. GetObject's header cannot be trusted to tell (under Wine
// its height is positive either way), so the first pixel that differs from
// the one in the mirrored row is asked of the bitmap itself. A picture whose
// rows mirror each other reads the same either way (true then). Null when the
// bitmap cannot be asked.
std::optional<bool> RowsRunFromTop(HBITMAP bitmap, const BYTE* bits, int width, int height, ptrdiff_t stride)
{
    for (int row = 0; row < height / 2; ++row) {
        const auto* first = reinterpret_cast<const DWORD*>(bits + row * stride);
        const auto* mirror = reinterpret_cast<const DWORD*>(bits + (height - 1 - row) * stride);
        for (int x = 0; x < width; ++x) {
            if (((first[x] ^ mirror[x]) & 0x00FFFFFF) == 0)
                continue;
            UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
            if (!dc)
                return std::nullopt;
            HGDIOBJ previous = ::SelectObject(dc.get(), bitmap);
            if (previous == nullptr)
                return std::nullopt;  // selected into another DC
            const COLORREF top = ::GetPixel(dc.get(), x, row);
            ::SelectObject(dc.get(), previous);
            const auto colour = [](DWORD pixel) { return RGB(pixel >> 16, (pixel >> 8) & 0xFF, pixel & 0xFF); };
            if (top == colour(first[x]))
                return true;
            if (top == colour(mirror[x]))
                return false;
            return std::nullopt;  // unreadable, or neither: read back instead
        }
    }
    return true;
}

// A bitmap's pixels as 32-bit DIB rows (blue, green, red, unused), either the
// bitmap's own bits or a copy read back.
class PixelRows {
public:
    // False when the bitmap cannot be read or memory runs out.
    bool Read(HBITMAP bitmap, int width, int height)
    {
        // The skin's pictures are 32-bit DIB sections: their bits are read
        // where they are. Copying them out (GetDIBits) cost most of the
        // outline's time, about 0.8 ms for a 640 x 440 background under Wine.
        DIBSECTION section = {};
        if (::GetObjectW(bitmap, sizeof(section), &section) == static_cast<int>(sizeof(section)) &&
            section.dsBm.bmBits != nullptr && section.dsBmih.biBitCount == 32 &&
            section.dsBmih.biCompression == BI_RGB && section.dsBm.bmWidth == width &&
            section.dsBm.bmHeight == height) {
            ::GdiFlush();  // drawing into it may still be queued
            const auto* bits = static_cast<const BYTE*>(section.dsBm.bmBits);
            const ptrdiff_t stride = section.dsBm.bmWidthBytes;
            if (const std::optional<bool> fromTop = RowsRunFromTop(bitmap, bits, width, height, stride)) {
                top_ = *fromTop ? bits : bits + static_cast<ptrdiff_t>(height - 1) * stride;
                stride_ = *fromTop ? stride : -stride;
                return true;
            }
        }
        TPicturePixels read;
        if (!ReadBitmapPixels(bitmap, &read) || read.width != width || read.height != height)
            return false;
        copy_ = std::move(read.pixels);  // bottom-up
        stride_ = -static_cast<ptrdiff_t>(width) * static_cast<ptrdiff_t>(sizeof(RGBQUAD));
        top_ = reinterpret_cast<const BYTE*>(copy_.data()) - static_cast<ptrdiff_t>(height - 1) * stride_;
        return true;
    }

    // The pixel at (x, y) from the top, without its unused byte: 0x00RRGGBB.
    DWORD At(int x, int y) const
    {
        DWORD pixel;
        std::memcpy(&pixel, top_ + y * stride_ + static_cast<ptrdiff_t>(x) * sizeof(DWORD), sizeof(pixel));
        return pixel & 0x00FFFFFF;
    }

private:
    const BYTE* top_ = nullptr;
    ptrdiff_t stride_ = 0;
    std::vector<RGBQUAD> copy_;
};

// The two outlines of a bitmap. False when it cannot be read or memory runs out.
bool OutlinesOf(HBITMAP bitmap, const BITMAP& info, COLORREF mask, std::vector<POINT>* rows,
                std::vector<POINT>* columns)
{
    const int width = info.bmWidth;
    const int height = info.bmHeight;
    // The mask as a DIB pixel holds it, red and blue swapped: one conversion
    // instead of one per pixel.
    const DWORD maskPixel = (GetRValue(mask) << 16) | (GetGValue(mask) << 8) | GetBValue(mask);
    try {
        PixelRows pixels;
        if (!pixels.Read(bitmap, width, height))
            return false;
        const auto opaque = [&](int x, int y) { return pixels.At(x, y) != maskPixel; };
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
