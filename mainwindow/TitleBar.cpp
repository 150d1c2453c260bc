#include "mainwindow/TitleBar.h"

#include <cwchar>

#include "framework/Handles.h"
#include "mainwindow/SkinPainter.h"

namespace kivra {

TTitleBarMetrics TTitleBarMetrics::FromSystem()
{
    return {::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), ::GetSystemMetrics(SM_CXFRAME),
            ::GetSystemMetrics(SM_CYFRAME)};
}

TTitleBarLayout LayoutTitleBar(int windowWidth, const TTitleBarMetrics& metrics)
{
    const int s = metrics.iconWidth;
    const int t = metrics.iconHeight;
    const int f = metrics.frameWidth;
    const int g = metrics.frameHeight;
    const int h = f >> 1;
    TTitleBarLayout layout = {};
    layout.bar = {h, g, windowWidth - h, (g >> 1) + g + t};
    layout.close.right = windowWidth - 3 * h;
    layout.close.left = layout.close.right - s;
    layout.maximize.right = layout.close.right - h - s;
    layout.maximize.left = layout.maximize.right - s;
    layout.minimize.right = layout.maximize.right - h - s;
    layout.minimize.left = layout.minimize.right - s;
    for (RECT* button : {&layout.close, &layout.maximize, &layout.minimize}) {
        button->top = g;
        button->bottom = g + t;
    }
    return layout;
}

TitleBarButton TitleBarButtonAt(const TTitleBarLayout& layout, POINT windowPoint)
{
    if (::PtInRect(&layout.close, windowPoint))
        return TitleBarButton::Close;
    if (::PtInRect(&layout.maximize, windowPoint))
        return TitleBarButton::Maximize;
    if (::PtInRect(&layout.minimize, windowPoint))
        return TitleBarButton::Minimize;
    return TitleBarButton::None;
}

UINT TitleBarCommand(TitleBarButton button, bool zoomed)
{
    switch (button) {
    case TitleBarButton::Close: return SC_CLOSE;
    case TitleBarButton::Maximize: return zoomed ? SC_RESTORE : SC_MAXIMIZE;
    case TitleBarButton::Minimize: return SC_MINIMIZE;
    case TitleBarButton::None: break;
    }
    return 0;
}

const wchar_t* TitleBarButtonId(TitleBarButton button)
{
    switch (button) {
    case TitleBarButton::Minimize: return L"minimize";
    case TitleBarButton::Maximize: return L"maximize";
    case TitleBarButton::Close: return L"close";
    case TitleBarButton::None: break;
    }
    return L"";
}

const TSkinButton* FindTitleBarButton(const TSkinButton (&buttons)[kTitleBarButtonCount], TitleBarButton button)
{
    if (button == TitleBarButton::None)
        return nullptr;
    const wchar_t* id = TitleBarButtonId(button);
    for (const TSkinButton& entry : buttons)
        if (std::wcscmp(entry.owner, id) == 0)
            return &entry;
    return nullptr;
}

namespace {

const RECT& RectOf(const TTitleBarLayout& layout, TitleBarButton button)
{
    switch (button) {
    case TitleBarButton::Minimize: return layout.minimize;
    case TitleBarButton::Maximize: return layout.maximize;
    default: return layout.close;
    }
}

void DrawFace(HDC dc, const RECT& rect, HBITMAP face)
{
    DrawBitmapAt(dc, face, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

}  // namespace

void DrawTitleBarButtons(HDC windowDc, const TTitleBarLayout& layout,
                         const TSkinButton (&buttons)[kTitleBarButtonCount], TitleBarButton hover)
{
    for (TitleBarButton button : {TitleBarButton::Minimize, TitleBarButton::Maximize, TitleBarButton::Close})
        if (const TSkinButton* entry = FindTitleBarButton(buttons, button))
            DrawFace(windowDc, RectOf(layout, button), entry->image.get());
    if (const TSkinButton* entry = FindTitleBarButton(buttons, hover); entry && entry->hover)
        DrawFace(windowDc, RectOf(layout, hover), entry->hover.get());
}

void DrawTitleBar(HDC windowDc, const TTitleBarLayout& layout, const TTitleBarMetrics& metrics,
                  const std::vector<TSkinImage>& images, const TSkinButton (&buttons)[kTitleBarButtonCount],
                  HICON icon, const wchar_t* caption)
{
    DrawImageList(windowDc, images, layout.bar);
    DrawTitleBarButtons(windowDc, layout, buttons, TitleBarButton::None);
    if (icon != nullptr)
        ::DrawIconEx(windowDc, metrics.frameWidth, metrics.frameHeight, icon, metrics.iconWidth, metrics.iconHeight,
                     0, nullptr, DI_NORMAL);
    if (caption != nullptr && caption[0] != L'\0') {
        RECT textRect = {metrics.frameWidth + metrics.iconWidth, metrics.frameHeight, layout.bar.right,
                         metrics.frameHeight + metrics.iconHeight};
        SelectedObject font(windowDc, ::GetStockObject(SYSTEM_FIXED_FONT));
        const int previousMode = ::SetBkMode(windowDc, TRANSPARENT);
        ::DrawTextW(windowDc, caption, -1, &textRect, 0);
        ::SetBkMode(windowDc, previousMode);
    }
}

}  // namespace kivra
