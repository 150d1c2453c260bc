// BMP files for fixture skins and products, painted pixel by pixel.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

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

}  // namespace kivra::testing
