#include "framework/BitmapPixels.h"

#include <cstring>
#include <functional>
#include <new>
#include <string_view>

#include "framework/Handles.h"

namespace kivra {

namespace {

BITMAPINFO PixelFormat(int width, int height)
{
    BITMAPINFO format = {};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = height;  // bottom up
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    return format;
}

// One remembered stretch: the source's pixels, compared whole, and the size
// and pixels of the stretched copy.
struct TStretch {
    size_t hash = 0;
    int sourceWidth = 0;
    int sourceHeight = 0;
    std::vector<BYTE> source;
    SIZE size = {};
    TPicturePixels stretched;
};

// Enough for every face of a skin's buttons at a few button sizes; when full,
// the oldest half goes.
constexpr size_t kRememberedStretches = 64;

std::vector<TStretch>& Stretches()
{
    static std::vector<TStretch> stretches;
    return stretches;
}

// The pixel bytes of a 32-bit bottom-up DIB section, in place; empty for any
// other bitmap.
std::string_view DibBytes(HBITMAP bitmap, DIBSECTION* section)
{
    if (::GetObjectW(bitmap, sizeof(*section), section) != static_cast<int>(sizeof(*section)) ||
        section->dsBm.bmBits == nullptr || section->dsBmih.biBitCount != 32 || section->dsBmih.biHeight <= 0 ||
        section->dsBmih.biCompression != BI_RGB)
        return {};
    ::GdiFlush();  // drawing into it may still be queued
    const size_t bytes = static_cast<size_t>(section->dsBm.bmWidthBytes) * section->dsBm.bmHeight;
    return {static_cast<const char*>(section->dsBm.bmBits), bytes};
}

// A DIB section, like every copy handed out: a copy in the display's own
// format could not follow a change of the colour depth.
HBITMAP Stretch(HBITMAP source, SIZE size)
{
    return static_cast<HBITMAP>(::CopyImage(source, IMAGE_BITMAP, size.cx, size.cy, LR_CREATEDIBSECTION));
}

}  // namespace

bool ReadBitmapPixels(HBITMAP bitmap, TPicturePixels* pixels)
{
    *pixels = TPicturePixels{};
    BITMAP info = {};
    if (bitmap == nullptr || ::GetObjectW(bitmap, sizeof(info), &info) == 0 || info.bmWidth <= 0 ||
        info.bmHeight <= 0)
        return false;
    WindowDc screen(nullptr);
    if (!screen)
        return false;
    try {
        pixels->pixels.resize(static_cast<size_t>(info.bmWidth) * static_cast<size_t>(info.bmHeight));
    } catch (const std::bad_alloc&) {
        return false;
    }
    BITMAPINFO format = PixelFormat(info.bmWidth, info.bmHeight);
    if (::GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(info.bmHeight), pixels->pixels.data(), &format,
                    DIB_RGB_COLORS) != info.bmHeight) {
        *pixels = TPicturePixels{};
        return false;
    }
    pixels->width = info.bmWidth;
    pixels->height = info.bmHeight;
    return true;
}

HBITMAP BitmapFromPixels(const TPicturePixels& pixels)
{
    const size_t count = static_cast<size_t>(pixels.width) * static_cast<size_t>(pixels.height);
    if (pixels.width <= 0 || pixels.height <= 0 || pixels.pixels.size() != count)
        return nullptr;
    return BitmapFromPixels(TPixelsView{pixels.width, pixels.height, pixels.pixels.data()});
}

HBITMAP BitmapFromPixels(const TPixelsView& pixels)
{
    if (pixels.width <= 0 || pixels.height <= 0 || pixels.pixels == nullptr)
        return nullptr;
    const size_t count = static_cast<size_t>(pixels.width) * static_cast<size_t>(pixels.height);
    BITMAPINFO format = PixelFormat(pixels.width, pixels.height);
    void* bits = nullptr;
    UniqueBitmap bitmap(::CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || bits == nullptr)
        return nullptr;
    std::memcpy(bits, pixels.pixels, count * sizeof(RGBQUAD));
    return bitmap.release();
}

HBITMAP ScaledCopy(HBITMAP source, SIZE size)
{
    if (source == nullptr || size.cx <= 0 || size.cy <= 0)
        return nullptr;
    DIBSECTION section = {};
    const std::string_view bytes = DibBytes(source, &section);
    if (bytes.empty())
        return Stretch(source, size);

    const size_t hash = std::hash<std::string_view>{}(bytes);
    const int width = section.dsBm.bmWidth;
    const int height = section.dsBm.bmHeight;
    std::vector<TStretch>& stretches = Stretches();
    for (const TStretch& known : stretches) {
        if (known.hash == hash && known.size.cx == size.cx && known.size.cy == size.cy &&
            known.sourceWidth == width && known.sourceHeight == height && known.source.size() == bytes.size() &&
            std::memcmp(known.source.data(), bytes.data(), bytes.size()) == 0)
            return BitmapFromPixels(known.stretched);
    }

    UniqueBitmap stretched(Stretch(source, size));
    if (!stretched)
        return nullptr;
    try {
        TStretch made;
        if (!ReadBitmapPixels(stretched.get(), &made.stretched))
            return stretched.release();
        made.hash = hash;
        made.sourceWidth = width;
        made.sourceHeight = height;
        made.source.assign(bytes.begin(), bytes.end());
        made.size = size;
        if (stretches.size() >= kRememberedStretches)
            stretches.erase(stretches.begin(), stretches.begin() + kRememberedStretches / 2);
        stretches.push_back(std::move(made));
        // Every copy, the first included, comes from the remembered pixels.
        if (HBITMAP copy = BitmapFromPixels(stretches.back().stretched))
            return copy;
    } catch (const std::bad_alloc&) {
    }
    return stretched.release();
}

}  // namespace kivra
