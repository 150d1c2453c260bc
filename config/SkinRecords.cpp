#include "config/SkinRecords.h"

namespace kivra {

void ReleaseBitmap(HBITMAP& bitmap)
{
    if (bitmap != nullptr) {
        ::DeleteObject(bitmap);
        bitmap = nullptr;
    }
}

void ReleaseBitmaps(TToolBarSkin& header)
{
    ReleaseBitmap(header.imageList);
    ReleaseBitmap(header.normalButtonImage);
    ReleaseBitmap(header.hoverButtonImage);
}

void ReleaseBitmaps(TSkinButton& button)
{
    ReleaseBitmap(button.image);
    ReleaseBitmap(button.hover);
    ReleaseBitmap(button.focus);
    ReleaseBitmap(button.down);
    ReleaseBitmap(button.disable);
    ReleaseBitmap(button.imageList);
}

void ReleaseBitmaps(TSkinImage& piece)
{
    ReleaseBitmap(piece.bitmap);
}

void ReleaseImages(std::vector<TSkinImage>& pieces)
{
    for (TSkinImage& piece : pieces)
        ReleaseBitmaps(piece);
    pieces.clear();
}

void ReleaseBitmaps(TMenuSkin& menu)
{
    ReleaseBitmap(menu.imageList);
    ReleaseBitmap(menu.normalItemImage);
    ReleaseBitmap(menu.hoverItemImage);
    ReleaseBitmap(menu.uncheckedImage);
    ReleaseBitmap(menu.checkedImage);
}

void ReleaseBitmaps(TMenuItemSkin& item)
{
    ReleaseBitmap(item.uncheckedImage);
    ReleaseBitmap(item.checkedImage);
}

void ReleaseMenuItems(std::vector<TMenuItemSkin>& items)
{
    for (TMenuItemSkin& item : items)
        ReleaseBitmaps(item);
    items.clear();
}

void ReleaseBitmaps(TToolItem& item)
{
    ReleaseBitmap(item.image);
}

void ReleaseBitmaps(TToolAreaSkin& tool)
{
    ReleaseBitmap(tool.image);
    ReleaseBitmap(tool.backgroundImage);
    ReleaseBitmap(tool.logoImage);
    for (TToolItem& item : tool.items)
        ReleaseBitmaps(item);
}

void ReleaseBitmaps(TNotifierSkin& notifier)
{
    ReleaseBitmap(notifier.image);
}

}  // namespace kivra
