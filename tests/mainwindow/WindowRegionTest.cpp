#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "FrameTestSupport.h"
#include "mainwindow/WindowRegion.h"

namespace kivra {
namespace {

using testing::MakeBitmap;
using testing::SolidBitmap;

constexpr COLORREF kMask = RGB(255, 0, 255);
constexpr COLORREF kFace = RGB(40, 80, 120);

// A picture given as text rows: 'X' opaque, anything else transparent.
OpaquePixelTest Picture(std::vector<const char*> rows)
{
    return [rows](int x, int y) { return rows[y][x] == 'X'; };
}

std::vector<POINT> Points(std::initializer_list<POINT> points)
{
    return points;
}

bool SamePoints(const std::vector<POINT>& a, const std::vector<POINT>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].x != b[i].x || a[i].y != b[i].y)
            return false;
    return true;
}

std::string Describe(const std::vector<POINT>& points)
{
    std::string text;
    for (const POINT& p : points)
        text += "(" + std::to_string(p.x) + "," + std::to_string(p.y) + ")";
    return text;
}

RECT BoxOf(HRGN region)
{
    RECT box = {};
    ::GetRgnBox(region, &box);
    return box;
}

bool Inside(HRGN region, int x, int y)
{
    return ::PtInRegion(region, x, y) != FALSE;
}

TEST(RegionOutline, RowsFillFromBothEndsAndRepeatTheLastFrontPoint)
{
    // The third row is all mask colour and adds nothing.
    const OpaquePixelTest opaque = Picture({".XX.", "XXXX", "...."});
    const std::vector<POINT> rows = RowOutline(4, 3, opaque);
    const std::vector<POINT> expected = Points({{1, 0}, {0, 1}, {0, 1}, {0, 1}, {3, 1}, {2, 0}});
    EXPECT_TRUE(SamePoints(rows, expected)) << Describe(rows);
}

TEST(RegionOutline, ColumnsGoTopToBottomWithTheBottomEndsReversed)
{
    const OpaquePixelTest opaque = Picture({".XX.", "XXXX", "...."});
    const std::vector<POINT> columns = ColumnOutline(4, 3, opaque);
    const std::vector<POINT> expected =
        Points({{0, 1}, {1, 0}, {2, 0}, {3, 1}, {3, 1}, {2, 1}, {1, 1}, {0, 1}});
    EXPECT_TRUE(SamePoints(columns, expected)) << Describe(columns);
}

TEST(RegionOutline, SingleOpaqueRowCollapsesOntoOneLine)
{
    const OpaquePixelTest opaque = Picture({".....", ".....", ".XXX.", "....."});
    const std::vector<POINT> rows = RowOutline(5, 4, opaque);
    const std::vector<POINT> expected = Points({{1, 2}, {1, 2}, {1, 2}, {1, 2}, {1, 2}, {1, 2}, {1, 2}, {3, 2}});
    EXPECT_TRUE(SamePoints(rows, expected)) << Describe(rows);
}

TEST(RegionOutline, NoOpaquePixelOrNoSizeGivesNoOutline)
{
    const OpaquePixelTest none = [](int, int) { return false; };
    EXPECT_TRUE(RowOutline(3, 3, none).empty());
    EXPECT_TRUE(ColumnOutline(3, 3, none).empty());
    const OpaquePixelTest all = [](int, int) { return true; };
    EXPECT_TRUE(RowOutline(0, 5, all).empty());
    EXPECT_TRUE(ColumnOutline(5, 0, all).empty());
}

TEST(RegionFromBitmap, RingKeepsItsHoleInsideTheWindow)
{
    // A square ring: opaque from 2 to 17, a hole from 7 to 12.
    auto ring = MakeBitmap(20, 20, [](int x, int y) {
        const bool outer = x >= 2 && x <= 17 && y >= 2 && y <= 17;
        const bool hole = x >= 7 && x <= 12 && y >= 7 && y <= 12;
        return outer && !hole ? kFace : kMask;
    });
    UniqueRegion region = RegionFromBitmap(ring.get(), kMask);
    ASSERT_TRUE(region);
    EXPECT_TRUE(Inside(region.get(), 10, 10)) << "both outlines cover the hole";
    EXPECT_TRUE(Inside(region.get(), 2, 2));
    EXPECT_FALSE(Inside(region.get(), 1, 10));
    EXPECT_FALSE(Inside(region.get(), 0, 0));
    // Pixel positions are the polygon's vertices: the last opaque row and
    // column lie on the outline's right and bottom edges, outside the fill.
    const RECT box = BoxOf(region.get());
    EXPECT_EQ(box.left, 2);
    EXPECT_EQ(box.top, 2);
    EXPECT_EQ(box.right, 17);
    EXPECT_EQ(box.bottom, 17);
}

TEST(RegionFromBitmap, RoundedRectangleLosesItsCorners)
{
    const int width = 40;
    const int height = 30;
    const int radius = 8;
    auto rounded = MakeBitmap(width, height, [&](int x, int y) {
        const int cx = x < radius ? radius : (x >= width - radius ? width - 1 - radius : x);
        const int cy = y < radius ? radius : (y >= height - radius ? height - 1 - radius : y);
        const double d = std::hypot(x - cx, y - cy);
        return d <= radius ? kFace : kMask;
    });
    UniqueRegion region = RegionFromBitmap(rounded.get(), kMask);
    ASSERT_TRUE(region);
    EXPECT_FALSE(Inside(region.get(), 0, 0));
    EXPECT_FALSE(Inside(region.get(), 1, 1));
    EXPECT_FALSE(Inside(region.get(), width - 2, 1));
    EXPECT_FALSE(Inside(region.get(), 1, height - 2));
    EXPECT_TRUE(Inside(region.get(), width / 2, height / 2));
    EXPECT_TRUE(Inside(region.get(), width / 2, 1));
    EXPECT_TRUE(Inside(region.get(), 1, height / 2));
    EXPECT_TRUE(Inside(region.get(), 4, 4));
}

// The picture below as a DIB section of the given bits per pixel and row
// order, its unused byte (32 bits) set to unused.
UniqueBitmap SectionOf(int width, int height, int bits, bool bottomUp, BYTE unused)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = bottomUp ? height : -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<WORD>(bits);
    info.bmiHeader.biCompression = BI_RGB;
    void* memory = nullptr;
    UniqueBitmap bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &memory, nullptr, 0));
    if (!bitmap)
        return bitmap;
    const int bytesPerPixel = bits / 8;
    const int stride = ((width * bits + 31) / 32) * 4;
    auto* rows = static_cast<BYTE*>(memory);
    for (int y = 0; y < height; ++y) {
        BYTE* row = rows + (bottomUp ? height - 1 - y : y) * stride;
        for (int x = 0; x < width; ++x) {
            const COLORREF c = x + y < 8 || x > 20 ? kMask : kFace;
            BYTE* pixel = row + x * bytesPerPixel;
            pixel[0] = GetBValue(c);
            pixel[1] = GetGValue(c);
            pixel[2] = GetRValue(c);
            if (bytesPerPixel == 4)
                pixel[3] = unused;
        }
    }
    return bitmap;
}

TEST(RegionFromBitmap, EveryKindOfBitmapGivesTheShapeOfItsPicture)
{
    // 32-bit sections (the skin's pictures) are read in place, in either row
    // order; other bitmaps are read back. All give the same shape.
    constexpr int kWidth = 24;
    constexpr int kHeight = 18;
    UniqueBitmap topDown = SectionOf(kWidth, kHeight, 32, false, 0);
    ASSERT_TRUE(topDown);
    const struct {
        const char* kind;
        UniqueBitmap bitmap;
    } cases[] = {
        {"32-bit bottom-up section", SectionOf(kWidth, kHeight, 32, true, 0)},
        {"32-bit section with its unused byte set", SectionOf(kWidth, kHeight, 32, false, 0xFF)},
        {"24-bit section", SectionOf(kWidth, kHeight, 24, true, 0)},
        {"bitmap compatible with the screen",
         UniqueBitmap(static_cast<HBITMAP>(::CopyImage(topDown.get(), IMAGE_BITMAP, 0, 0, 0)))},
    };
    UniqueRegion expected = RegionFromBitmap(topDown.get(), kMask);
    ASSERT_TRUE(expected);
    EXPECT_FALSE(Inside(expected.get(), 1, 1));
    EXPECT_TRUE(Inside(expected.get(), 1, 16)) << "read upside down, this corner would be cut off";
    for (const auto& c : cases) {
        ASSERT_TRUE(c.bitmap) << c.kind;
        UniqueRegion region = RegionFromBitmap(c.bitmap.get(), kMask);
        ASSERT_TRUE(region) << c.kind;
        EXPECT_TRUE(::EqualRgn(region.get(), expected.get())) << c.kind;
    }
}

TEST(RegionFromBitmap, OnlyTheExactMaskColourIsTransparent)
{
    // A colour one step away from the mask is opaque.
    auto nearMask = SolidBitmap(10, 10, RGB(254, 0, 255));
    UniqueRegion region = RegionFromBitmap(nearMask.get(), kMask);
    ASSERT_TRUE(region);
    EXPECT_TRUE(Inside(region.get(), 5, 5));
}

TEST(RegionFromBitmap, PicturesWithoutAreaGiveNoRegion)
{
    auto maskOnly = SolidBitmap(16, 16, kMask);
    EXPECT_FALSE(RegionFromBitmap(maskOnly.get(), kMask));
    // A single opaque row or column encloses nothing; as a window region it
    // would hide the whole window.
    auto row = MakeBitmap(16, 16, [](int, int y) { return y == 5 ? kFace : kMask; });
    EXPECT_FALSE(RegionFromBitmap(row.get(), kMask));
    auto column = MakeBitmap(16, 16, [](int x, int) { return x == 9 ? kFace : kMask; });
    EXPECT_FALSE(RegionFromBitmap(column.get(), kMask));
    EXPECT_FALSE(RegionFromBitmap(nullptr, kMask));
}

TEST(RegionFromBitmap, LeavesTheBitmapFreeForOtherDcs)
{
    auto face = SolidBitmap(8, 8, kFace);
    ASSERT_TRUE(RegionFromBitmap(face.get(), kMask));
    // Still selectable: the region code gave it back.
    EXPECT_EQ(testing::PixelOf(face.get(), 3, 3), kFace);
}

class ModeRegionTest : public ::testing::Test {
protected:
    // A background of one or two pieces, which own their bitmaps.
    static std::vector<TSkinImage> Background(UniqueBitmap first, UniqueBitmap second = {})
    {
        std::vector<TSkinImage> pieces(second ? 2 : 1);
        pieces[0].bitmap = std::move(first);
        if (second)
            pieces[1].bitmap = std::move(second);
        return pieces;
    }
    static UniqueBitmap Face() { return SolidBitmap(30, 20, kFace); }

    const int frameX_ = ::GetSystemMetrics(SM_CXDLGFRAME);
    const int frameY_ = ::GetSystemMetrics(SM_CYDLGFRAME);
};

TEST_F(ModeRegionTest, RegionIsMovedByTheFrameAndSizeIncludesBothFrames)
{
    bool flag = true;
    UniqueRegion region;
    SIZE size = {1, 1};
    EXPECT_TRUE(BuildModeRegion(Background(Face()), kMask, &flag, &region, &size));
    EXPECT_TRUE(flag);
    ASSERT_TRUE(region);
    EXPECT_EQ(size.cx, 30 + 2 * frameX_);
    EXPECT_EQ(size.cy, 20 + 2 * frameY_);
    const RECT box = BoxOf(region.get());
    EXPECT_EQ(box.left, frameX_);
    EXPECT_EQ(box.top, frameY_);
}

TEST_F(ModeRegionTest, ClearFlagEmptiesTheRegionAndBuildsNothing)
{
    bool flag = false;
    UniqueRegion region(::CreateRectRgn(0, 0, 5, 5));
    SIZE size = {7, 9};
    EXPECT_FALSE(BuildModeRegion(Background(Face()), kMask, &flag, &region, &size));
    EXPECT_FALSE(flag);
    EXPECT_FALSE(region);
    EXPECT_EQ(size.cx, 7);
    EXPECT_EQ(size.cy, 9);
}

TEST_F(ModeRegionTest, OnlyTheFirstPieceGivesTheShape)
{
    struct Case {
        const char* what;
        std::vector<TSkinImage> background;
    };
    const Case cases[] = {
        {"empty list", {}},
        {"first piece without bitmap", Background({}, Face())},
        {"first piece all mask colour", Background(SolidBitmap(10, 10, kMask), Face())},
    };
    for (const Case& c : cases) {
        bool flag = true;
        UniqueRegion region;
        SIZE size = {7, 9};
        EXPECT_FALSE(BuildModeRegion(c.background, kMask, &flag, &region, &size)) << c.what;
        EXPECT_FALSE(flag) << c.what;
        EXPECT_FALSE(region) << c.what;
        EXPECT_EQ(size.cx, 7) << c.what;
    }
}

TEST(CopyRegion, GivesAnEqualIndependentRegion)
{
    UniqueRegion original(::CreateEllipticRgn(0, 0, 40, 30));
    UniqueRegion copy = CopyRegion(original.get());
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.get(), original.get());
    // Same area (the band structure of the copy may be arranged differently).
    UniqueRegion difference(::CreateRectRgn(0, 0, 0, 0));
    EXPECT_EQ(::CombineRgn(difference.get(), copy.get(), original.get(), RGN_XOR), NULLREGION);
    ::OffsetRgn(copy.get(), 100, 0);
    EXPECT_TRUE(Inside(original.get(), 20, 15));
    EXPECT_FALSE(CopyRegion(nullptr));
}

}  // namespace
}  // namespace kivra
