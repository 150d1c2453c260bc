#include "mainwindow/SkinPainter.h"

#include <algorithm>

#include "framework/Handles.h"

namespace kivra {
namespace {

// Copies width x height of bitmap from (sourceX, sourceY) to (x, y) of dc.
void CopyBlock(HDC dc, HBITMAP bitmap, int sourceX, int sourceY, int x, int y, int width, int height)
{
    UniqueMemoryDc source(::CreateCompatibleDC(dc));
    if (!source)
        return;
    SelectedObject selected(source.get(), bitmap);
    if (selected)
        ::BitBlt(dc, x, y, width, height, source.get(), sourceX, sourceY, SRCCOPY);
}

}  // namespace

TPiecePlacement PlacePiece(const TSkinImage& piece, const RECT& area)
{
    TPiecePlacement placement = {};
    placement.to.left = piece.to.left != 0 ? piece.to.left : area.left;
    placement.to.top = piece.to.top != 0 ? piece.to.top : area.top;
    placement.to.right = piece.to.right != 0 ? piece.to.right : area.right;
    placement.to.bottom = piece.to.bottom != 0 ? piece.to.bottom : area.bottom;
    placement.width = std::min(placement.to.right - placement.to.left, area.right - area.left);
    placement.height = std::min(placement.to.bottom - placement.to.top, area.bottom - area.top);
    return placement;
}

void DrawImageList(HDC dc, const std::vector<TSkinImage>& pieces, const RECT& area)
{
    for (const TSkinImage& piece : pieces) {
        if (!piece.bitmap)
            continue;
        const TPiecePlacement placement = PlacePiece(piece, area);
        // A "to" turned inside out, or an empty area, has nothing to copy.
        if (placement.width <= 0 || placement.height <= 0)
            continue;
        BITMAP info = {};
        if (::GetObjectW(piece.bitmap.get(), sizeof(info), &info) == 0)
            continue;
        HBITMAP image = piece.bitmap.get();
        UniqueBitmap stretched;  // ours, unlike the list's bitmaps
        if (info.bmWidth < placement.width || info.bmHeight < placement.height) {
            stretched.reset(static_cast<HBITMAP>(::CopyImage(piece.bitmap.get(), IMAGE_BITMAP, placement.width,
                                                             placement.height, LR_CREATEDIBSECTION)));
            if (stretched)
                image = stretched.get();
        }
        CopyBlock(dc, image, piece.from.left, piece.from.top, placement.to.left, placement.to.top, placement.width,
                  placement.height);
    }
}

void DrawBitmapAt(HDC dc, HBITMAP bitmap, int x, int y, int width, int height)
{
    if (bitmap != nullptr && width > 0 && height > 0)
        CopyBlock(dc, bitmap, 0, 0, x, y, width, height);
}

}  // namespace kivra
