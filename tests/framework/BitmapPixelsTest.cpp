#include <gtest/gtest.h>

#include <vector>

#include "framework/BitmapPixels.h"
#include "framework/Handles.h"

namespace kivra {
namespace {

// A 32-bit DIB section whose pixel (x, y) has the colour seed + x + 16 * y.
UniqueBitmap PatternedDib(int width, int height, BYTE seed)
{
    TPicturePixels pixels;
    pixels.width = width;
    pixels.height = height;
    for (int row = 0; row < height; ++row)  // bottom up
        for (int x = 0; x < width; ++x) {
            const int y = height - 1 - row;
            pixels.pixels.push_back(RGBQUAD{BYTE(seed + x), BYTE(seed + 16 * y), BYTE(200 - x - y), 0});
        }
    return UniqueBitmap(BitmapFromPixels(pixels));
}

std::vector<DWORD> PixelsOf(HBITMAP bitmap)
{
    TPicturePixels read;
    EXPECT_TRUE(ReadBitmapPixels(bitmap, &read));
    std::vector<DWORD> values;
    for (const RGBQUAD& pixel : read.pixels)
        values.push_back(RGB(pixel.rgbRed, pixel.rgbGreen, pixel.rgbBlue));
    return values;
}

// Stretching one face for many buttons is remembered; each copy must still be
// the caller's own, with CopyImage's pixels, and another picture of the same
// size must never get the first one's.
TEST(ScaledCopy, RemembersAStretchOnlyForTheSamePixelsAndSize)
{
    const SIZE size = {5, 3};
    UniqueBitmap face = PatternedDib(12, 8, 10);
    UniqueBitmap other = PatternedDib(12, 8, 90);
    UniqueBitmap device(::CreateBitmap(12, 8, 1, 32, nullptr));  // not a DIB section: stretched each time
    for (HBITMAP source : {face.get(), other.get(), device.get()}) {
        UniqueBitmap expected(static_cast<HBITMAP>(::CopyImage(source, IMAGE_BITMAP, size.cx, size.cy, 0)));
        UniqueBitmap first(ScaledCopy(source, size));
        UniqueBitmap second(ScaledCopy(source, size));
        ASSERT_TRUE(first && second);
        EXPECT_NE(first.get(), second.get()) << "each caller owns its copy";
        EXPECT_EQ(PixelsOf(first.get()), PixelsOf(expected.get()));
        EXPECT_EQ(PixelsOf(second.get()), PixelsOf(expected.get()));
    }
    UniqueBitmap larger(ScaledCopy(face.get(), {6, 4}));
    TPicturePixels read;
    ASSERT_TRUE(ReadBitmapPixels(larger.get(), &read));
    EXPECT_EQ(read.width, 6) << "another size is another stretch";
    EXPECT_EQ(ScaledCopy(face.get(), {0, 3}), nullptr);
}

}  // namespace
}  // namespace kivra
