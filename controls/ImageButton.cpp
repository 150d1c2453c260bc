#include "controls/ImageButton.h"

#include <commctrl.h>

#include "controls/ImageStrip.h"
#include "framework/Text.h"
#include "framework/BitmapPixels.h"

namespace kivra {

namespace {

// The hover message comes this soon after the mouse enters the button.
constexpr DWORD kHoverTimeMs = 1;
// The longest caption drawn, terminator included.
constexpr int kCaptionUnits = 257;

}  // namespace

TFacePlan PlanFace(const TFaceInputs& in)
{
    TFacePlan plan;
    if (in.sharedUsable) {
        plan.source = FaceSource::Shared;
        return plan;
    }
    if (in.stripUsable) {
        plan.source = FaceSource::Strip;
        plan.stripIndex = in.focused ? 2 : in.disabled ? 3 : in.hover ? 1 : 0;
        plan.opaque = !in.tileFillsButton;
        return plan;
    }
    int type = 0;
    if (in.focused && in.hasImage[kButtonImageFocus])
        type = kButtonImageFocus;
    else if (in.disabled && in.hasImage[kButtonImageDisabled])
        type = kButtonImageDisabled;
    else if (in.hover && in.hasImage[kButtonImageHover])
        type = kButtonImageHover;
    else if (in.hasImage[kButtonImageNormal])
        type = kButtonImageNormal;
    if (type != 0) {
        plan.source = FaceSource::Image;
        plan.imageType = type;
        plan.opaque = in.resized;
    }
    return plan;
}

int CentredStart(int areaStart, int areaLength, int textLength)
{
    return areaStart + ((areaLength - textLength) >> 1);
}

CImageButton::CImageButton() : background_(::CreateSolidBrush(kControlMaskColor)) {}

CImageButton::~CImageButton()
{
    // The window goes before the font it uses.
    if (IsWindow() && ownsWindow_)
        Destroy();
}

bool CImageButton::Create(HWND parent, const RECT& rect, UINT id, const wchar_t* caption)
{
    // Owner-drawn from the start: setting the style afterwards is one more
    // round trip to the window server per button, a thousand in some skins.
    return CWindow::Create(0, L"BUTTON", caption, kImageButtonStyle | BS_OWNERDRAW, rect, parent, id);
}

void CImageButton::SetImage(SharedBitmap image, int type)
{
    if (type < kButtonImageNormal || type > kButtonImageFocus || !image)
        return;
    const RECT window = WindowRect();
    const SIZE want = {window.right - window.left, window.bottom - window.top};
    const SIZE have = BitmapSize(image.get());
    if (want.cx > 0 && want.cy > 0 && (have.cx != want.cx || have.cy != want.cy)) {
        // Stretched once per face and button size, however many buttons
        // share them; the original goes once the copy exists.
        if (SharedBitmap copy = StretchedFace(image, want)) {
            image = std::move(copy);
            resized_ = true;
        }
    }
    images_[type] = std::move(image);
}

SharedBitmap CImageButton::StretchedFace(const SharedBitmap& image, SIZE size)
{
    if (shared_ != nullptr)
        for (const TStretchedFace& face : shared_->stretchedFaces)
            if (face.source.get() == image.get() && face.size.cx == size.cx && face.size.cy == size.cy)
                return face.stretched;
    SharedBitmap copy{UniqueBitmap(ScaledCopy(image.get(), size))};
    if (copy && shared_ != nullptr) {
        try {
            shared_->stretchedFaces.push_back({image, size, copy});
        } catch (const std::bad_alloc&) {
            // not shared then: the button keeps its own copy
        }
    }
    return copy;
}

const TSharedButtonImages& CImageButton::SharedFaces() const
{
    static const TSharedButtonImages kNone = {};
    return shared_ != nullptr ? *shared_ : kNone;
}

void CImageButton::SetSharedTile(int index)
{
    const TSharedButtonImages& shared = SharedFaces();
    const std::optional<RECT> tile = StripTile(BitmapSize(shared.strip), shared.iconSize, index);
    if (tile) {
        sharedTile_ = *tile;
        sharedIndex_ = index;
    } else {
        sharedTile_ = {};
        sharedIndex_ = -1;
    }
}

void CImageButton::SetStrip(HBITMAP strip, int tileWidth, int tileHeight)
{
    if (strip == nullptr || tileWidth == 0 || tileHeight == 0)
        return;
    strip_ = strip;
    stripTile_ = {tileWidth, tileHeight};
    // Own strips carry black as their transparent colour, for every button
    // that shares the faces.
    if (shared_ != nullptr)
        shared_->maskColor = 0;
}

void CImageButton::SetTextFont(HFONT font, COLORREF colour)
{
    textColour_ = colour;
    // Redrawn only where it shows: a thousand buttons made in a window not
    // yet shown ask the window server for nothing.
    if (font != nullptr)
        SetFont(font, IsVisible());
}

TFaceInputs CImageButton::FaceInputs(UINT state, SIZE buttonSize) const
{
    const TSharedButtonImages& shared = SharedFaces();
    TFaceInputs in;
    in.focused = (state & ODS_FOCUS) != 0;
    in.disabled = (state & ODS_DISABLED) != 0;
    in.hover = hover_;
    in.sharedUsable = useShared_ && shared.strip != nullptr && shared.hover != nullptr && sharedIndex_ >= 0 &&
                      !::IsRectEmpty(&sharedTile_);
    in.stripUsable = strip_ != nullptr && (stripTile_.cx != 0 || stripTile_.cy != 0);
    in.tileFillsButton = stripTile_.cx == buttonSize.cx && stripTile_.cy == buttonSize.cy;
    for (int type = kButtonImageNormal; type <= kButtonImageFocus; ++type)
        in.hasImage[type] = static_cast<bool>(images_[type]);
    in.resized = resized_;
    return in;
}

void CImageButton::DrawItem(const DRAWITEMSTRUCT& item)
{
    HDC dc = item.hDC;
    const RECT& r = item.rcItem;
    const SIZE size = {r.right - r.left, r.bottom - r.top};
    const TFacePlan plan = PlanFace(FaceInputs(item.itemState, size));
    const RECT textArea = DrawFace(dc, r, plan);
    DrawCaption(dc, textArea, (item.itemState & ODS_DISABLED) != 0);
}

RECT CImageButton::DrawFace(HDC dc, const RECT& r, const TFacePlan& plan)
{
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    const COLORREF mask = SharedFaces().maskColor;
    switch (plan.source) {
    case FaceSource::Shared: {
        const TSharedButtonImages& shared = SharedFaces();
        OpaqueCopy(hover_ ? shared.hover : shared.normal, dc, 0, 0, r.left, r.top, w, h);
        const SIZE icon = shared.iconSize;
        TransparentCopy(shared.strip, dc, sharedTile_.left, sharedTile_.top, r.left + ((w / 2 - icon.cx) / 2),
                        r.top + ((h - icon.cy) / 2), icon.cx, icon.cy, mask);
        return {r.left + w / 2, r.top, r.right, r.bottom};
    }
    case FaceSource::Strip: {
        const std::optional<RECT> tile = StripTile(BitmapSize(strip_), stripTile_, plan.stripIndex);
        if (!tile)
            break;
        if (!plan.opaque)
            TransparentCopy(strip_, dc, tile->left, tile->top, r.left, r.top, stripTile_.cx, stripTile_.cy, mask);
        else
            OpaqueCopy(strip_, dc, tile->left, tile->top, r.left + (w - stripTile_.cx) / 2,
                       r.top + (h - stripTile_.cy) / 2, stripTile_.cx, stripTile_.cy);
        break;
    }
    case FaceSource::Image:
        if (plan.opaque)
            OpaqueCopy(images_[plan.imageType].get(), dc, 0, 0, r.left, r.top, w, h);
        else
            TransparentCopy(images_[plan.imageType].get(), dc, 0, 0, r.left, r.top, w, h, mask);
        break;
    case FaceSource::None:
        break;
    }
    return r;
}

void CImageButton::DrawCaption(HDC dc, const RECT& area, bool disabled)
{
    wchar_t caption[kCaptionUnits] = {};
    const int length = ::GetWindowTextW(hwnd_, caption, kCaptionUnits);
    if (length <= 0)
        return;
    SIZE extent = {};
    ::GetTextExtentPoint32W(dc, caption, length, &extent);
    const COLORREF oldColour = ::SetTextColor(dc, textColour_);
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    const int x = CentredStart(area.left, area.right - area.left, extent.cx);
    const int y = CentredStart(area.top, area.bottom - area.top, extent.cy);
    if (disabled)
        ::DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(caption), length, x, y, extent.cx, extent.cy,
                     DST_TEXT | DSS_DISABLED);
    else  // what DrawState does for plain text, without its parsing: 5 us a caption under Wine
        ::ExtTextOutW(dc, x, y, 0, nullptr, caption, static_cast<UINT>(length), nullptr);
    ::SetBkMode(dc, oldMode);
    ::SetTextColor(dc, oldColour);
}

bool CImageButton::OnReflectedMessage(UINT msg, WPARAM, LPARAM lParam, LRESULT* result)
{
    switch (msg) {
    case WM_DRAWITEM:  // void DrawItem(const DRAWITEMSTRUCT& item)
        DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        *result = TRUE;
        return true;
    case WM_CTLCOLORBTN:  // HBRUSH: the button's background
        *result = reinterpret_cast<LRESULT>(background_.get());
        return true;
    default:
        return false;  // BN_CLICKED goes on to the parent
    }
}

LRESULT CImageButton::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_MOUSEMOVE:  // void OnMouseMove()
        OnMouseMove();
        break;
    case WM_MOUSEHOVER:  // void OnMouseHover()
        OnMouseHover();
        return 0;
    case WM_MOUSELEAVE:  // void OnMouseLeave()
        OnMouseLeave();
        return 0;
    case WM_ERASEBKGND:  // the face covers everything
        return 1;
    case WM_NCPAINT:  // nothing to paint without a frame; the default still takes a window DC
        if (!HasNonClientArea())
            return 0;
        break;
    }
    return CWindow::WindowProc(msg, wParam, lParam);
}

void CImageButton::OnMouseMove()
{
    if (!tracking_) {
        TRACKMOUSEEVENT track = {sizeof(track), TME_HOVER | TME_LEAVE, hwnd_, kHoverTimeMs};
        tracking_ = ::_TrackMouseEvent(&track) != FALSE;
    }
    hover_ = true;
}

void CImageButton::OnMouseHover()
{
    hover_ = true;
    Invalidate(true);
}

void CImageButton::OnMouseLeave()
{
    hover_ = false;
    tracking_ = false;
    Invalidate(false);
}

bool CaptionBaseFont(HWND parent, LOGFONTW* base)
{
    auto font = reinterpret_cast<HFONT>(::SendMessageW(parent, WM_GETFONT, 0, 0));
    if (font == nullptr)
        font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    *base = {};
    return ::GetObjectW(font, sizeof(*base), base) != 0;
}

LOGFONTW CaptionFont(const LOGFONTW& base, int height, int weight, const wchar_t* face)
{
    LOGFONTW font = base;
    if (height != 0 && height != -1)
        font.lfHeight = height;
    if (weight != 0 && weight != -1)
        font.lfWeight = weight;
    if (face != nullptr && face[0] != 0)
        CopyText(font.lfFaceName, face);
    return font;
}

}  // namespace kivra
