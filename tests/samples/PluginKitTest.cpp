// The kit's drawing helpers, on memory canvases.
#include "plugins/shared/PluginKit.h"

#include <gtest/gtest.h>

namespace kivra::samples {
namespace {

// A bitmap of one colour (the samples see none of the shell's handle types).
HBITMAP SolidBitmap(int width, int height, COLORREF colour)
{
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    HBRUSH brush = CreateSolidBrush(colour);
    RECT all = {0, 0, width, height};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    SelectObject(dc, previous);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

// A panel's background: the picture where it reaches, the colour around it,
// as a fill of the whole panel under the picture drew it.
TEST(PluginKitTest, TheBackgroundIsThePictureAndTheColourWhereItDoesNotReach)
{
    constexpr int kWidth = 40, kHeight = 30;
    constexpr COLORREF kColour = RGB(10, 200, 30), kPicture = RGB(220, 40, 90), kStale = RGB(1, 2, 3);
    const SIZE pictures[] = {{0, 0}, {12, 9}, {40, 30}, {60, 50}, {40, 5}, {7, 30}, {1, 1}};
    for (const SIZE size : pictures) {
        HBITMAP picture = size.cx > 0 ? SolidBitmap(size.cx, size.cy, kPicture) : nullptr;
        HBITMAP canvas = SolidBitmap(kWidth, kHeight, kStale);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ previous = SelectObject(dc, canvas);
        kit::DrawBackground(dc, {0, 0, kWidth, kHeight}, kColour, picture);
        int wrong = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                wrong += GetPixel(dc, x, y) != (x < size.cx && y < size.cy ? kPicture : kColour);
        EXPECT_EQ(wrong, 0) << "pixels, picture " << size.cx << " x " << size.cy;
        SelectObject(dc, previous);
        DeleteDC(dc);
        DeleteObject(canvas);
        if (picture != nullptr)
            DeleteObject(picture);
    }
}

}  // namespace
}  // namespace kivra::samples
