#include <gtest/gtest.h>

#include "FrameTestSupport.h"
#include "mainwindow/SkinPainter.h"

namespace kivra {
namespace {

using testing::Canvas;
using testing::MakeBitmap;
using testing::SolidBitmap;

// One piece owning its bitmap (null: a piece whose image did not load).
TSkinImage Piece(UniqueBitmap bitmap, RECT from, RECT to)
{
    return TSkinImage{from, to, std::move(bitmap)};
}

// A list of pieces, which cannot be copied out of an initializer list.
template <typename... Pieces>
std::vector<TSkinImage> ListOf(Pieces&&... pieces)
{
    std::vector<TSkinImage> list;
    (list.push_back(std::move(pieces)), ...);
    return list;
}

TEST(PlacePiece, ZeroCoordinatesTakeTheAreasAndTheBlockIsCutToTheArea)
{
    const RECT area = {5, 5, 105, 45};  // 100 x 40
    struct Case {
        RECT to;
        RECT placed;
        int width;
        int height;
    };
    const Case cases[] = {
        {{0, 0, 0, 0}, {5, 5, 105, 45}, 100, 40},
        {{10, 0, 50, 0}, {10, 5, 50, 45}, 40, 40},
        {{0, 0, 500, 300}, {5, 5, 500, 300}, 100, 40},   // larger than the area
        {{20, 10, 30, 15}, {20, 10, 30, 15}, 10, 5},
        {{-10, 0, 0, 0}, {-10, 5, 105, 45}, 100, 40},    // only zero is replaced
        {{60, 0, 50, 0}, {60, 5, 50, 45}, -10, 40},      // turned inside out
    };
    for (const Case& c : cases) {
        const TPiecePlacement p = PlacePiece(Piece({}, {}, c.to), area);
        EXPECT_EQ(p.to.left, c.placed.left);
        EXPECT_EQ(p.to.top, c.placed.top);
        EXPECT_EQ(p.to.right, c.placed.right);
        EXPECT_EQ(p.to.bottom, c.placed.bottom);
        EXPECT_EQ(p.width, c.width) << c.to.left << "," << c.to.right;
        EXPECT_EQ(p.height, c.height);
    }
}

TEST(DrawImageList, PiecesAreCopiedInListOrderFromTheirStartPoint)
{
    const COLORREF blue = RGB(0, 0, 200);
    const COLORREF red = RGB(200, 0, 0);
    // Left half black, right half white: "from" starts the copy in the white half.
    UniqueBitmap halves = MakeBitmap(40, 20, [](int x, int) { return x < 20 ? RGB(0, 0, 0) : RGB(255, 255, 255); });
    const std::vector<TSkinImage> pieces = ListOf(
        Piece(SolidBitmap(120, 60, blue), {}, {}),
        Piece(SolidBitmap(20, 10, red), {}, {30, 20, 50, 30}),
        Piece(std::move(halves), {20, 0, 40, 20}, {60, 5, 70, 15}),
        Piece({}, {}, {}));  // a piece whose image did not load is not drawn
    Canvas canvas(100, 50);
    DrawImageList(canvas.dc(), pieces, {0, 0, 100, 50});
    EXPECT_EQ(canvas.At(5, 5), blue);
    EXPECT_EQ(canvas.At(99, 49), blue) << "cut to the area, which the image covers";
    EXPECT_EQ(canvas.At(30, 20), red);
    EXPECT_EQ(canvas.At(49, 29), red);
    EXPECT_EQ(canvas.At(50, 29), blue);
    EXPECT_EQ(canvas.At(29, 25), blue);
    EXPECT_EQ(canvas.At(60, 5), RGB(255, 255, 255));
    EXPECT_EQ(canvas.At(69, 14), RGB(255, 255, 255));
    EXPECT_EQ(canvas.At(70, 14), blue);
}

TEST(DrawImageList, SmallImageIsStretchedToTheBlock)
{
    const COLORREF green = RGB(0, 180, 0);
    const std::vector<TSkinImage> pieces = ListOf(Piece(SolidBitmap(2, 2, green), {}, {60, 0, 80, 0}));
    Canvas canvas(100, 50);
    DrawImageList(canvas.dc(), pieces, {0, 0, 100, 50});
    EXPECT_EQ(canvas.At(60, 0), green);
    EXPECT_EQ(canvas.At(79, 49), green);
    EXPECT_EQ(canvas.At(80, 25), RGB(0, 0, 0));
    EXPECT_EQ(canvas.At(59, 25), RGB(0, 0, 0));
    // The list's bitmap itself is left as it was.
    BITMAP info = {};
    ::GetObjectW(pieces[0].bitmap.get(), sizeof(info), &info);
    EXPECT_EQ(info.bmWidth, 2);
}

TEST(DrawImageList, EmptyPlacementsDrawNothing)
{
    const COLORREF grey = RGB(200, 200, 200);
    Canvas canvas(60, 60);
    DrawImageList(canvas.dc(), ListOf(Piece(SolidBitmap(50, 50, grey), {}, {40, 0, 30, 0})), {0, 0, 60, 60});
    DrawImageList(canvas.dc(), ListOf(Piece(SolidBitmap(50, 50, grey), {}, {})), {10, 10, 10, 40});
    for (int x = 0; x < 60; x += 5)
        EXPECT_EQ(canvas.At(x, 20), RGB(0, 0, 0)) << x;
}

}  // namespace
}  // namespace kivra
