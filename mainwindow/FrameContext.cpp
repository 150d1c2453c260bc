#include "mainwindow/FrameContext.h"

#include "config/SkinFrame.h"
#include "config/SkinKeys.h"
#include "config/SkinWindows.h"
#include "config/Values.h"
#include "framework/Text.h"
#include "framework/WindowRef.h"
#include "mainwindow/DialogUnits.h"
#include "mainwindow/SkinPainter.h"
#include "mainwindow/WindowRegion.h"

namespace kivra {
namespace {

// The longest caption the title bar draws, terminator included.
constexpr int kCaptionUnits = 260;

// The styles the skinned frame takes away: the system caption when the
// window has a shape, the system boxes when the skin draws them.
constexpr LONG_PTR kCaptionStyle = WS_CAPTION;
constexpr LONG_PTR kSystemBoxStyles = WS_MINIMIZEBOX | WS_MAXIMIZEBOX;

bool HasArea(SIZE size)
{
    return size.cx != 0 && size.cy != 0;
}

}  // namespace

void FillMinMaxInfo(const RECT& remembered, MINMAXINFO* info)
{
    const LONG width = remembered.right - remembered.left;
    const LONG height = remembered.bottom - remembered.top;
    if (info == nullptr || width <= 0 || height <= 0)
        return;
    info->ptMaxPosition = {remembered.left, remembered.top};
    info->ptMaxSize = {width, height};
    info->ptMaxTrackSize = {width, height};
}

FrameContext::FrameContext(CConfigure& configure) : configure_(configure) {}

// The bitmaps of the skin records, the menu bar, the accelerator table and
// both regions go with their owners.
FrameContext::~FrameContext() = default;

void FrameContext::AttachMainWindow(HWND window)
{
    mainWindowHandle_ = window;
}

const TNotifierSkin& FrameContext::NotifierSkin()
{
    if (!notifierSkinRead_) {
        notifierSkinRead_ = true;
        ReadNotifierSkin(configure_.Skin(), &notifierSkin_);
    }
    return notifierSkin_;
}

void FrameContext::SetUpWindow(HWND window, const TShownIcon& shown)
{
    mainWindowHandle_ = window;
    ApplyWindowIcon(window, shown);
    ApplyWindowSize(window);
    ReadShape(window);
    ReadMaxMode();
    SwitchMode(normal_.region.get(), normal_.size, false);
    if (HasArea(normal_.size)) {
        CentreWindow(window, normal_.size);
        currentSize_ = normal_.size;
    }
}

void FrameContext::ApplyWindowIcon(HWND window, const TShownIcon& shown)
{
    HICON logo = configure_.LogoIcon();
    if (logo == nullptr)
        return;
    // Most products name the main icon's own file as their logo. Setting the
    // same pixels again costs the window manager two more icon conversions
    // (about 2 ms of a start under Wine).
    if (shown.icon != nullptr && shown.file != nullptr && shown.file[0] != 0 &&
        ::CompareStringOrdinal(shown.file, -1, configure_.LogoFilePath(), -1, TRUE) == CSTR_EQUAL) {
        windowIcon_ = shown.icon;
        return;
    }
    windowIcon_ = logo;
    ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(logo));
    ::SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(logo));
}

void FrameContext::ApplyWindowSize(HWND window)
{
    const TMainFrameSkin& frame = configure_.MainFrame();
    RECT size = {0, 0, frame.windowWidth, frame.windowHeight};
    kivra::ConvertDialogUnits(window, pixelCoordinates_, &size);
    // A skin without a size (or with a negative one) keeps the dialog's own
    // size until a region gives one.
    if (size.right <= 0 || size.bottom <= 0)
        return;
    const SIZE windowSize = {size.right, size.bottom};
    CentreWindow(window, windowSize);
    currentSize_ = windowSize;
    normal_.size = windowSize;
}

void FrameContext::CentreWindow(HWND window, SIZE size)
{
    const int x = (::GetSystemMetrics(SM_CXSCREEN) - size.cx) >> 1;
    const int y = (::GetSystemMetrics(SM_CYSCREEN) - size.cy) >> 1;
    ::MoveWindow(window, x, y, size.cx, size.cy, TRUE);
}

void FrameContext::ReadShape(HWND window)
{
    const TMainFrameSkin& frame = configure_.MainFrame();
    max_.background.clear();
    regionFlag_ = frame.abnormalWindow;
    normal_.background.clear();
    ReadBackground(configure_.Skin(), &normal_.background);
    maskColor_ = frame.maskColor;

    BuildModeRegion(normal_.background, maskColor_, &regionFlag_, &normal_.region, &normal_.size);
    pixelCoordinates_ = regionFlag_;

    std::wstring panelText;
    if (configure_.Skin().Document().ReadText(skinpath::kMainFramePanelRect, &panelText))
        normal_.panelRect = ParseRect(panelText.c_str());
    kivra::ConvertDialogUnits(window, pixelCoordinates_, &normal_.panelRect);

    if (regionFlag_) {
        // The shape is the frame now; the system caption would be cut by it.
        WindowRef(window).ModifyStyle(kCaptionStyle, 0, true);
    }
}

void FrameContext::ReadMaxMode()
{
    TMaxWindowSkin values = {};
    ReadMaxWindow(configure_.Skin().Document(), &values);
    maxWindowEnabled_ = values.enabled;
    CopyText(getMaxPanelService_, values.getMaxPanelService);
    CopyText(rightButtonService_, values.rightButtonService);
    max_.size = {values.width, values.height};
    max_.panelRect = values.panelRect;
    max_.region.reset();
    // The picture and its region wait for max mode: decoding a picture the
    // size of the screen and outlining it is a good part of the start-up.
    maxShapeRead_ = false;
}

void FrameContext::ReadMaxShape()
{
    if (maxShapeRead_)
        return;
    maxShapeRead_ = true;
    ReadMaxBackground(configure_.Skin(), &max_.background);
    // Built only where the normal shape was (the flag says so), and never
    // changing the flag: the normal shape keeps standing for it.
    bool shaped = regionFlag_;
    BuildModeRegion(max_.background, maskColor_, &shaped, &max_.region, &max_.size);
}

const TDisplayMode& FrameContext::Max()
{
    ReadMaxShape();
    return max_;
}

void FrameContext::ReadTitleBarSkin()
{
    HWND window = mainWindowHandle_;
    titleBar_.images.clear();
    for (TSkinButton& button : titleBar_.buttons)
        button = TSkinButton{};
    const bool read = kivra::ReadTitleBar(configure_.Skin(), &titleBar_.images, titleBar_.buttons);
    if (!read || titleBar_.images.empty() || !titleBar_.buttons[0].image)
        titleBar_.drawn = false;
    if (titleBar_.drawn)
        WindowRef(window).ModifyStyle(kSystemBoxStyles, 0);
}

void FrameContext::ReadAcceleratorTable(const CommandIdLookup& lookup)
{
    std::vector<TAccelKey> keys;
    configure_.Skin().ReadAccelerators(&keys);
    accelerators_ = BuildAcceleratorTable(keys, lookup);
}

bool FrameContext::SwitchMode(HRGN region, SIZE size, bool maxMode)
{
    if (region == nullptr || !HasArea(size))
        return false;
    HWND window = mainWindowHandle_;
    UniqueRegion copy = CopyRegion(region);

    if (panels_.current != nullptr)
        ::ShowWindow(panels_.current, maxMode ? SW_HIDE : SW_SHOW);
    if (panels_.maxPanel != nullptr)
        ::ShowWindow(panels_.maxPanel, maxMode ? SW_SHOW : SW_HIDE);

    if (regionFlag_) {
        // One skin button maximizes in normal mode and restores in max mode.
        const int from = maxMode ? SC_MAXIMIZE : SC_RESTORE;
        const int to = maxMode ? SC_RESTORE : SC_MAXIMIZE;
        if (HWND button = ::GetDlgItem(window, from))
            ::SetWindowLongPtrW(button, GWLP_ID, to);
        // The window owns the copy from here on; the context keeps its own.
        if (copy && ::SetWindowRgn(window, copy.get(), TRUE))
            copy.release();
    }
    maxMode_ = maxMode;

    const RECT placed = WindowRef(window).RectInParent();
    ::MoveWindow(window, placed.left, placed.top, size.cx, size.cy, TRUE);
    ::InvalidateRect(window, nullptr, TRUE);
    return true;
}

bool FrameContext::SwitchToMaxMode()
{
    if (!maxWindowEnabled_)
        return false;
    ReadMaxShape();
    return SwitchMode(max_.region.get(), max_.size, true);
}

bool FrameContext::SwitchToNormalMode()
{
    return SwitchMode(normal_.region.get(), normal_.size, false);
}

void FrameContext::LayoutTitleBar()
{
    ::GetWindowRect(mainWindowHandle_, &windowRect_);
    titleBar_.layout = kivra::LayoutTitleBar(windowRect_.right - windowRect_.left, TTitleBarMetrics::FromSystem());
}

void FrameContext::DrawTitleBar()
{
    if (!titleBar_.drawn || mainWindowHandle_ == nullptr)
        return;
    LayoutTitleBar();
    WindowDc dc(mainWindowHandle_, WindowDc::kWholeWindow);
    if (dc.get() == nullptr)
        return;
    wchar_t caption[kCaptionUnits] = {};
    ::GetWindowTextW(mainWindowHandle_, caption, kCaptionUnits);
    // Without a configured logo the title bar shows the icon the window has
    // (the main icon it was given at start-up).
    HICON icon = windowIcon_ ? windowIcon_
                             : reinterpret_cast<HICON>(::SendMessageW(mainWindowHandle_, WM_GETICON, ICON_SMALL, 0));
    kivra::DrawTitleBar(dc.get(), titleBar_.layout, TTitleBarMetrics::FromSystem(), titleBar_.images,
                        titleBar_.buttons, icon, caption);
}

void FrameContext::DrawTitleBarHover(POINT screenPoint)
{
    if (!titleBar_.drawn || mainWindowHandle_ == nullptr)
        return;
    LayoutTitleBar();
    WindowDc dc(mainWindowHandle_, WindowDc::kWholeWindow);
    if (dc.get() == nullptr)
        return;
    const POINT point = {screenPoint.x - windowRect_.left, screenPoint.y - windowRect_.top};
    DrawTitleBarButtons(dc.get(), titleBar_.layout, titleBar_.buttons, TitleBarButtonAt(titleBar_.layout, point));
}

bool FrameContext::ClickTitleBar(POINT screenPoint)
{
    if (!titleBar_.drawn || mainWindowHandle_ == nullptr)
        return false;
    // Laid out afresh: the window may have changed size since the last drawing.
    LayoutTitleBar();
    const POINT point = {screenPoint.x - windowRect_.left, screenPoint.y - windowRect_.top};
    const UINT command =
        TitleBarCommand(TitleBarButtonAt(titleBar_.layout, point), ::IsZoomed(mainWindowHandle_) != FALSE);
    if (command == 0)
        return false;
    ::PostMessageW(mainWindowHandle_, WM_SYSCOMMAND, command, MAKELPARAM(point.x, point.y));
    return true;
}

void FrameContext::DrawBackground(HDC dc)
{
    RECT client = {};
    if (dc == nullptr || !::GetClientRect(mainWindowHandle_, &client))
        return;
    DrawImageList(dc, maxMode_ ? max_.background : normal_.background, client);
}

RECT FrameContext::ResolveRect(const RECT& skinRect) const
{
    RECT client = {};
    ::GetClientRect(mainWindowHandle_, &client);
    return kivra::ResolveRect(skinRect, client.right - client.left, client.bottom - client.top);
}

void FrameContext::ConvertDialogUnits(RECT* rect) const
{
    kivra::ConvertDialogUnits(mainWindowHandle_, pixelCoordinates_, rect);
}

bool FrameContext::TranslateSkinAccelerator(MSG* msg) const
{
    if (msg == nullptr || mainWindowHandle_ == nullptr || !accelerators_)
        return false;
    if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)
        return false;
    return ::TranslateAcceleratorW(mainWindowHandle_, accelerators_.get(), msg) != 0;
}

}  // namespace kivra
