#include "mainwindow/DialogUnits.h"

#include <climits>

namespace kivra {
namespace {

LONG Magnitude(LONG value)
{
    if (value == LONG_MIN)
        return LONG_MAX;  // -LONG_MIN does not exist
    return value < 0 ? -value : value;
}

LONG WithSignOf(LONG magnitude, LONG original)
{
    return original < 0 ? -magnitude : magnitude;
}

}  // namespace

void ConvertDialogUnits(HWND dialog, bool pixelCoordinates, RECT* rect)
{
    if (pixelCoordinates || rect == nullptr)
        return;
    RECT converted = {Magnitude(rect->left), Magnitude(rect->top), Magnitude(rect->right), Magnitude(rect->bottom)};
    if (!::MapDialogRect(dialog, &converted))
        return;
    rect->left = WithSignOf(converted.left, rect->left);
    rect->top = WithSignOf(converted.top, rect->top);
    rect->right = WithSignOf(converted.right, rect->right);
    rect->bottom = WithSignOf(converted.bottom, rect->bottom);
}

RECT ResolveRect(const RECT& skinRect, int clientWidth, int clientHeight)
{
    RECT resolved = skinRect;
    if (resolved.left < 0)
        resolved.left += clientWidth;
    if (resolved.top < 0)
        resolved.top += clientHeight;
    if (resolved.right <= 0)
        resolved.right += clientWidth;
    if (resolved.bottom <= 0)
        resolved.bottom += clientHeight;
    return resolved;
}

}  // namespace kivra
