// Pictures for the tests: BMP files for fixture skins and products, painted
// pixel by pixel, icon files of one colour, and bitmaps and canvases in
// memory for drawing tests.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "framework/Handles.h"

namespace kivra::testing {

// The colour of the pixel at x, y, counted from the top-left corner.
using PixelColor = std::function<COLORREF(int x, int y)>;

// The bytes of a 24-bit bottom-up BMP file painted by color.
inline std::string BmpFileBytes(int width, int height, const PixelColor& color)
{
    const int rowBytes = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;  // bottom-up
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = rowBytes * height;
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
    bytes.append(reinterpret_cast<const char*>(&info), sizeof(info));
    for (int row = height - 1; row >= 0; --row) {
        std::string line(rowBytes, '\0');
        for (int x = 0; x < width; ++x) {
            const COLORREF c = color(x, row);
            line[x * 3 + 0] = static_cast<char>(GetBValue(c));
            line[x * 3 + 1] = static_cast<char>(GetGValue(c));
            line[x * 3 + 2] = static_cast<char>(GetRValue(c));
        }
        bytes += line;
    }
    return bytes;
}

// A BMP file of one colour.
inline std::string SolidBmpFileBytes(int width, int height, COLORREF color)
{
    return BmpFileBytes(width, height, [color](int, int) { return color; });
}

// The bytes of an icon file holding one side x side image of 32-bit colour,
// every pixel colour with the given alpha; the AND mask stays 0, so every
// pixel is opaque.
inline std::string IconFileBytes(int side, COLORREF colour, BYTE alpha)
{
    const size_t pixelBytes = static_cast<size_t>(side) * side * 4;
    const size_t maskBytes = static_cast<size_t>(side) * (((side + 31) / 32) * 4);  // rows of DWORD-aligned bits
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = side;
    info.biHeight = side * 2;  // colour and mask images
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(pixelBytes + maskBytes);
    const DWORD imageBytes = static_cast<DWORD>(sizeof(info) + pixelBytes + maskBytes);
    const DWORD imageOffset = 6 + 16;  // after the directory and its one entry
    const unsigned char header[6 + 16] = {
        0, 0, 1, 0, 1, 0,  // icon directory with one entry
        static_cast<unsigned char>(side), static_cast<unsigned char>(side), 0, 0, 1, 0, 32, 0,  // one plane, 32 bits
        static_cast<unsigned char>(imageBytes), static_cast<unsigned char>(imageBytes >> 8),
        static_cast<unsigned char>(imageBytes >> 16), static_cast<unsigned char>(imageBytes >> 24),
        static_cast<unsigned char>(imageOffset), 0, 0, 0,
    };
    std::string bytes(reinterpret_cast<const char*>(header), sizeof(header));
    bytes.append(reinterpret_cast<const char*>(&info), sizeof(info));
    const char pixel[4] = {static_cast<char>(GetBValue(colour)), static_cast<char>(GetGValue(colour)),
                           static_cast<char>(GetRValue(colour)), static_cast<char>(alpha)};
    for (size_t i = 0; i < pixelBytes / 4; ++i)
        bytes.append(pixel, 4);
    bytes.append(maskBytes, '\0');
    return bytes;
}

// A 32-bit top-down DIB section painted by color.
inline UniqueBitmap MakeBitmap(int width, int height, const PixelColor& color)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (bitmap) {
        auto* pixels = static_cast<DWORD*>(bits);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const COLORREF c = color(x, y);
                pixels[y * width + x] = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
            }
    }
    return bitmap;
}

inline UniqueBitmap SolidBitmap(int width, int height, COLORREF color)
{
    return MakeBitmap(width, height, [color](int, int) { return color; });
}

// The colour of one pixel of a bitmap (not selected anywhere).
inline COLORREF PixelOf(HBITMAP bitmap, int x, int y)
{
    UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
    HGDIOBJ previous = ::SelectObject(dc.get(), bitmap);
    const COLORREF color = ::GetPixel(dc.get(), x, y);
    ::SelectObject(dc.get(), previous);
    return color;
}

// A memory DC with a blank canvas of the given size selected, for drawing tests.
class Canvas {
public:
    Canvas(int width, int height, COLORREF background = RGB(0, 0, 0))
        : bitmap_(SolidBitmap(width, height, background)), dc_(::CreateCompatibleDC(nullptr))
    {
        previous_ = ::SelectObject(dc_.get(), bitmap_.get());
    }
    ~Canvas() { ::SelectObject(dc_.get(), previous_); }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    HDC dc() const { return dc_.get(); }
    COLORREF At(int x, int y) const { return ::GetPixel(dc_.get(), x, y); }

private:
    UniqueBitmap bitmap_;
    UniqueMemoryDc dc_;
    HGDIOBJ previous_ = nullptr;
};

// The size of a bitmap; -1, -1 for none.
inline SIZE BitmapSize(HBITMAP bitmap)
{
    BITMAP info = {};
    if (bitmap == nullptr || ::GetObjectW(bitmap, sizeof(info), &info) == 0)
        return SIZE{-1, -1};
    return SIZE{info.bmWidth, info.bmHeight};
}
inline SIZE BitmapSize(const UniqueBitmap& bitmap)
{
    return BitmapSize(bitmap.get());
}
inline SIZE BitmapSize(const SharedBitmap& bitmap)
{
    return BitmapSize(bitmap.get());
}

}  // namespace kivra::testing
