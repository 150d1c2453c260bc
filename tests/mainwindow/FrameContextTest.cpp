#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "FrameTestSupport.h"
#include "config/Configure.h"
#include "controls/StatusBarEx.h"
#include "framework/DiskFile.h"
#include "mainwindow/DialogUnits.h"
#include "mainwindow/FrameContext.h"
#include "mainwindow/ShellFrame.h"
#include "tests/support/XmlFixture.h"

namespace kivra {
namespace {

using testing::BmpFileBytes;
using testing::Canvas;
using testing::ComScope;
using testing::FixtureFolder;
using testing::TakePosted;
using testing::TestDialog;

constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr COLORREF kNormalFace = RGB(30, 60, 90);
constexpr COLORREF kMaxFace = RGB(90, 60, 30);
// The corner squares of the background pictures are mask colour.
constexpr int kCorner = 12;
constexpr int kNormalWidth = 200;
constexpr int kNormalHeight = 150;
constexpr int kMaxWidth = 300;
constexpr int kMaxHeight = 220;

std::string CorneredBmp(int width, int height, COLORREF face)
{
    return BmpFileBytes(width, height, [=](int x, int y) {
        const bool cornerX = x < kCorner || x >= width - kCorner;
        const bool cornerY = y < kCorner || y >= height - kCorner;
        return cornerX && cornerY ? kMagenta : face;
    });
}

// The skin's sections, put together by each test.
namespace section {
const std::wstring kShaped =
    L"<main-frame><abnormal-window>true</abnormal-window><mask-color>255,0,255</mask-color>"
    L"<panel-rect>10,20,110,120</panel-rect></main-frame>";
const std::wstring kPlain = L"<main-frame><panel-rect>10,20,110,120</panel-rect></main-frame>";
const std::wstring kBackground = L"<backgroud><image>bg.bmp</image></backgroud>";
const std::wstring kMaskOnlyBackground = L"<backgroud><image>mask.bmp</image></backgroud>";
const std::wstring kMaxWindow =
    L"<max-window-service enable=\"true\"><max-window-size>640,480</max-window-size>"
    L"<max-panel-rect>1,2,3,4</max-panel-rect><right-button-service>plug/Right</right-button-service>"
    L"<get_max_panel-service>plug/MaxPanel</get_max_panel-service>"
    L"<max-back-image><image>maxbg.bmp</image></max-back-image></max-window-service>";
const std::wstring kMaxWindowWithoutImage =
    L"<max-window-service enable=\"true\"><max-window-size>640,480</max-window-size></max-window-service>";
const std::wstring kMaxWindowDisabled =
    L"<max-window-service enable=\"FALSE\"><max-back-image><image>maxbg.bmp</image></max-back-image>"
    L"</max-window-service>";
const std::wstring kTitleBar =
    L"<title-bar><image>title.bmp</image><button id=\"close\" image=\"close.bmp\" hover=\"hover.bmp\"/>"
    L"<button id=\"maximize\" image=\"close.bmp\"/><button id=\"minimize\" image=\"close.bmp\"/></title-bar>";
const std::wstring kTitleBarFirstButtonWithoutFace =
    L"<title-bar><image>title.bmp</image><button id=\"close\" image=\"missing.bmp\"/>"
    L"<button id=\"maximize\" image=\"close.bmp\"/></title-bar>";
const std::wstring kAccelerators =
    L"<accelerator><key code=\"F5\" control=\"false\" cmdid=\"1234\"/><key code=\"F6\" name=\"Connect\"/>"
    L"</accelerator>";
const std::wstring kStatusBar =
    L"<status-bar show=\"true\"><item name=\"Signal\" width=\"64\"/><item width=\"10\"/></status-bar>";
const std::wstring kNotifier =
    L"<notifier-window><text-rect>5,5,100,40</text-rect><image>title.bmp</image></notifier-window>";
const std::wstring kConnectMenu =
    L"<menu name=\"options\"><item name=\"Connect\" string=\"Connect\" service=\"c/Connect\"/></menu>";
const std::wstring kToolArea =
    L"<tool button-size=\"40,30\" image-size=\"16,16\"><item name=\"Tool\" service=\"t/Tool\"/></tool>";
}  // namespace section

// The skin's steps of the frame set-up in the frame's order (CShellFrame::
// SetUpFrame), without the parts the frame builds itself: no menus, tool area
// or status bar, and so no command names for the accelerators.
void SetUpSkin(FrameContext& context, HWND window)
{
    context.SetUpWindow(window);
    context.ReadTitleBarSkin();
    context.ReadAcceleratorTable(NoCommandNames);
}

// A product folder with a configuration, a language and one skin, "test",
// whose skin.xml each test writes from sections.
class FrameProduct {
public:
    FrameProduct()
    {
        folder_.WriteIcon(L"common\\main.ico");
        folder_.WriteText(L"common\\config.xml",
                          L"<?xml version=\"1.0\" encoding=\"UTF-8\"?><main-frame><logo>main.ico</logo>"
                          L"<title>Frame Test</title><using-system-language>false</using-system-language>"
                          L"<default-language>am_EN</default-language><skin>test</skin>"
                          L"<button-owner>system</button-owner></main-frame>");
        folder_.WriteText(L"language\\am_EN.xml", L"<table><string id=\"Connect\">Connect</string></table>");
        folder_.WriteBytes(L"skin\\test\\bg.bmp", CorneredBmp(kNormalWidth, kNormalHeight, kNormalFace));
        folder_.WriteBytes(L"skin\\test\\maxbg.bmp", CorneredBmp(kMaxWidth, kMaxHeight, kMaxFace));
        folder_.WriteBytes(L"skin\\test\\mask.bmp", BmpFileBytes(40, 40, [](int, int) { return kMagenta; }));
        folder_.WriteBytes(L"skin\\test\\title.bmp", BmpFileBytes(600, 40, [](int, int) { return RGB(0, 0, 120); }));
        folder_.WriteBytes(L"skin\\test\\close.bmp", BmpFileBytes(16, 16, [](int, int) { return RGB(200, 0, 0); }));
        folder_.WriteBytes(L"skin\\test\\hover.bmp", BmpFileBytes(16, 16, [](int, int) { return RGB(250, 250, 0); }));
    }

    void WriteSkin(const std::wstring& sections)
    {
        folder_.WriteText(L"skin\\test\\skin.xml",
                          L"<?xml version=\"1.0\" encoding=\"UTF-8\"?><skin><description><skin-name>Test</skin-name>"
                          L"<preview></preview></description>" +
                              sections + L"</skin>");
    }

    const std::wstring& Path() const { return folder_.Path(); }

private:
    FixtureFolder folder_{L"frame-product"};
};

class FrameContextTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(com_.ok());
        ASSERT_NE(dialog_.hwnd(), nullptr);
    }

    // Loads the product with the given skin and makes a context on it.
    void Load(const std::wstring& skinSections)
    {
        product_.WriteSkin(skinSections);
        context_.reset();
        configure_ = std::make_unique<CConfigure>(product_.Path().c_str());
        ASSERT_TRUE(configure_->Load());
        context_ = std::make_unique<FrameContext>(*configure_);
    }

    void SetUpFrame(const std::wstring& skinSections)
    {
        Load(skinSections);
        SetUpSkin(*context_, dialog_.hwnd());
    }

    SIZE WindowSize() const
    {
        const RECT r = dialog_.WindowRect();
        return {r.right - r.left, r.bottom - r.top};
    }

    // The window's region in window coordinates, or null without one.
    UniqueRegion WindowRegion() const
    {
        UniqueRegion region(::CreateRectRgn(0, 0, 0, 0));
        if (::GetWindowRgn(dialog_.hwnd(), region.get()) == ERROR)
            return {};
        return region;
    }

    SIZE Framed(int width, int height) const { return {width + 2 * frameX_, height + 2 * frameY_}; }

    const int frameX_ = ::GetSystemMetrics(SM_CXDLGFRAME);
    const int frameY_ = ::GetSystemMetrics(SM_CYDLGFRAME);
    ComScope com_;
    FrameProduct product_;
    TestDialog dialog_;
    std::unique_ptr<CConfigure> configure_;
    std::unique_ptr<FrameContext> context_;
};

TEST_F(FrameContextTest, StartsWithTheDocumentedValues)
{
    Load(section::kPlain);
    EXPECT_EQ(context_->MaskColor(), 0xFF00FFu);
    EXPECT_TRUE(context_->TitleBar().drawn);
    EXPECT_FALSE(context_->RegionFlag());
    EXPECT_FALSE(context_->MaxMode());
    EXPECT_FALSE(context_->MaxWindowEnabled());
    EXPECT_EQ(context_->AcceleratorTable(), nullptr);
    EXPECT_EQ(context_->MainWindowHandle(), nullptr);
    EXPECT_EQ(context_->StatusBarHeight(), 0);
    EXPECT_EQ(context_->Normal().size.cx, 0);
    EXPECT_EQ(context_->CurrentSize().cx, 0);
}

TEST_F(FrameContextTest, ShapedSkinCutsTheCornersOutOfTheWindow)
{
    SetUpFrame(section::kShaped + section::kBackground);
    EXPECT_TRUE(context_->RegionFlag());
    EXPECT_TRUE(context_->PixelCoordinates());
    EXPECT_EQ(::GetWindowLongPtrW(dialog_.hwnd(), GWL_STYLE) & WS_CAPTION, 0);

    // Without a window size in the skin the region gives the size.
    const SIZE expected = Framed(kNormalWidth, kNormalHeight);
    EXPECT_EQ(context_->Normal().size.cx, expected.cx);
    EXPECT_EQ(context_->Normal().size.cy, expected.cy);
    EXPECT_EQ(context_->CurrentSize().cx, expected.cx);
    EXPECT_EQ(WindowSize().cx, expected.cx);
    EXPECT_EQ(WindowSize().cy, expected.cy);
    const RECT placed = dialog_.WindowRect();
    EXPECT_EQ(placed.left, (::GetSystemMetrics(SM_CXSCREEN) - expected.cx) >> 1);
    EXPECT_EQ(placed.top, (::GetSystemMetrics(SM_CYSCREEN) - expected.cy) >> 1);

    UniqueRegion region = WindowRegion();
    ASSERT_TRUE(region);
    EXPECT_FALSE(::PtInRegion(region.get(), frameX_ + 3, frameY_ + 3)) << "cut corner";
    EXPECT_FALSE(::PtInRegion(region.get(), frameX_ + kNormalWidth - 4, frameY_ + kNormalHeight - 4));
    EXPECT_TRUE(::PtInRegion(region.get(), frameX_ + kNormalWidth / 2, frameY_ + kNormalHeight / 2));
    EXPECT_TRUE(::PtInRegion(region.get(), frameX_ + kNormalWidth / 2, frameY_ + 2));
    EXPECT_FALSE(::PtInRegion(region.get(), 1, 1)) << "the frame is outside the shape";
    // The context keeps its own region.
    RECT box = {};
    EXPECT_NE(::GetRgnBox(context_->Normal().region.get(), &box), ERROR);

    // Skin coordinates are pixels now: the panel place stays as written.
    const RECT panel = context_->Normal().panelRect;
    EXPECT_EQ(panel.left, 10);
    EXPECT_EQ(panel.bottom, 120);
    RECT rect = {1, 2, 3, 4};
    context_->ConvertDialogUnits(&rect);
    EXPECT_EQ(rect.right, 3);
}

TEST_F(FrameContextTest, WindowWithoutSizeOrShapeKeepsTheDialogsSize)
{
    const SIZE before = WindowSize();
    SetUpFrame(section::kPlain + section::kBackground);
    EXPECT_EQ(WindowSize().cx, before.cx);
    EXPECT_EQ(WindowSize().cy, before.cy);
    EXPECT_EQ(context_->CurrentSize().cx, 0);
    EXPECT_EQ(context_->Normal().size.cy, 0);
    EXPECT_FALSE(context_->RegionFlag());
    EXPECT_FALSE(context_->PixelCoordinates());
    EXPECT_FALSE(WindowRegion());
    EXPECT_NE(::GetWindowLongPtrW(dialog_.hwnd(), GWL_STYLE) & WS_CAPTION, 0);

    // The panel place is in dialog units and converted.
    RECT expected = {10, 20, 110, 120};
    ::MapDialogRect(dialog_.hwnd(), &expected);
    EXPECT_EQ(context_->Normal().panelRect.left, expected.left);
    EXPECT_EQ(context_->Normal().panelRect.bottom, expected.bottom);
}

TEST_F(FrameContextTest, SkinWindowSizeIsInDialogUnitsAndCentred)
{
    SetUpFrame(L"<main-frame><window-size>160, 100</window-size></main-frame>");
    RECT expected = {0, 0, 160, 100};
    ::MapDialogRect(dialog_.hwnd(), &expected);
    EXPECT_EQ(WindowSize().cx, expected.right);
    EXPECT_EQ(WindowSize().cy, expected.bottom);
    EXPECT_EQ(context_->CurrentSize().cx, expected.right);
    EXPECT_EQ(context_->Normal().size.cy, expected.bottom);
    EXPECT_EQ(dialog_.WindowRect().left, (::GetSystemMetrics(SM_CXSCREEN) - expected.right) >> 1);
}

TEST_F(FrameContextTest, BackgroundWithoutOpaquePixelLeavesTheDialogFrame)
{
    SetUpFrame(L"<main-frame><abnormal-window>true</abnormal-window><window-size>160, 100</window-size>"
               L"</main-frame>" +
               section::kMaskOnlyBackground);
    EXPECT_FALSE(context_->RegionFlag());
    EXPECT_FALSE(context_->PixelCoordinates());
    EXPECT_FALSE(WindowRegion());
    EXPECT_NE(::GetWindowLongPtrW(dialog_.hwnd(), GWL_STYLE) & WS_CAPTION, 0);
    RECT expected = {0, 0, 160, 100};
    ::MapDialogRect(dialog_.hwnd(), &expected);
    EXPECT_EQ(WindowSize().cx, expected.right);
}

TEST_F(FrameContextTest, MaxModeWithoutMaxBackgroundChangesNothing)
{
    SetUpFrame(section::kShaped + section::kBackground + section::kMaxWindowWithoutImage);
    HWND button = dialog_.AddButton(SC_MAXIMIZE);
    EXPECT_TRUE(context_->MaxWindowEnabled());
    EXPECT_EQ(context_->Max().region.get(), nullptr);
    EXPECT_TRUE(context_->RegionFlag()) << "the normal shape still stands";
    const RECT before = dialog_.WindowRect();

    context_->SwitchToMaxMode();
    EXPECT_FALSE(context_->MaxMode());
    const RECT after = dialog_.WindowRect();
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
    EXPECT_EQ(::GetDlgCtrlID(button), SC_MAXIMIZE);
}

TEST_F(FrameContextTest, MaxModeTakesItsShapeSizeAndRestoreButton)
{
    SetUpFrame(section::kShaped + section::kBackground + section::kMaxWindow);
    HWND button = dialog_.AddButton(SC_MAXIMIZE);
    HWND panel = dialog_.AddButton(2001);
    HWND maxPanel = dialog_.AddButton(2002);
    context_->Panels().current = panel;
    context_->Panels().maxPanel = maxPanel;
    ::ShowWindow(maxPanel, SW_HIDE);

    EXPECT_TRUE(context_->MaxWindowEnabled());
    EXPECT_STREQ(context_->RightButtonService(), "plug/Right");
    EXPECT_STREQ(context_->GetMaxPanelService(), "plug/MaxPanel");
    EXPECT_EQ(context_->Max().panelRect.right, 3);
    // The max picture's size replaces the skin's max-window-size.
    const SIZE maxSize = Framed(kMaxWidth, kMaxHeight);
    EXPECT_EQ(context_->Max().size.cx, maxSize.cx);
    EXPECT_EQ(context_->Max().size.cy, maxSize.cy);
    const RECT normal = dialog_.WindowRect();

    context_->SwitchToMaxMode();
    EXPECT_TRUE(context_->MaxMode());
    const RECT max = dialog_.WindowRect();
    EXPECT_EQ(max.left, normal.left);
    EXPECT_EQ(max.top, normal.top);
    EXPECT_EQ(max.right - max.left, maxSize.cx);
    EXPECT_EQ(max.bottom - max.top, maxSize.cy);
    EXPECT_EQ(::GetDlgCtrlID(button), SC_RESTORE);
    EXPECT_FALSE(::IsWindowVisible(panel));
    EXPECT_NE(::GetWindowLongPtrW(maxPanel, GWL_STYLE) & WS_VISIBLE, 0);
    UniqueRegion region = WindowRegion();
    ASSERT_TRUE(region);
    EXPECT_TRUE(::PtInRegion(region.get(), frameX_ + 250, frameY_ + 100)) << "beyond the normal shape";

    context_->SwitchToNormalMode();
    EXPECT_FALSE(context_->MaxMode());
    const RECT back = dialog_.WindowRect();
    EXPECT_EQ(back.left, normal.left);
    EXPECT_EQ(back.right - back.left, normal.right - normal.left);
    EXPECT_EQ(::GetDlgCtrlID(button), SC_MAXIMIZE);
    EXPECT_NE(::GetWindowLongPtrW(panel, GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_EQ(::GetWindowLongPtrW(maxPanel, GWL_STYLE) & WS_VISIBLE, 0);
    region = WindowRegion();
    ASSERT_TRUE(region);
    EXPECT_FALSE(::PtInRegion(region.get(), frameX_ + 250, frameY_ + 100));
}

// Max mode's picture and shape are made on its first entry, not at set-up:
// that first entry must look exactly like any later one.
TEST_F(FrameContextTest, FirstEntryIntoMaxModeMakesItsShapeAndBackground)
{
    SetUpFrame(section::kShaped + section::kBackground + section::kMaxWindow);
    const SIZE maxSize = Framed(kMaxWidth, kMaxHeight);
    for (int entry = 0; entry < 2; ++entry) {
        context_->SwitchToMaxMode();
        ASSERT_TRUE(context_->MaxMode());
        EXPECT_EQ(WindowSize().cx, maxSize.cx) << "entry " << entry;
        EXPECT_EQ(WindowSize().cy, maxSize.cy);
        UniqueRegion region = WindowRegion();
        ASSERT_TRUE(region);
        EXPECT_TRUE(::PtInRegion(region.get(), frameX_ + 250, frameY_ + 180)) << "beyond the normal shape";
        EXPECT_FALSE(::PtInRegion(region.get(), frameX_ + kMaxWidth - 4, frameY_ + kMaxHeight - 4))
            << "the max picture's own cut corner";
        Canvas canvas(kMaxWidth, kMaxHeight);
        context_->DrawBackground(canvas.dc());
        EXPECT_EQ(canvas.At(kMaxWidth / 2, kMaxHeight / 2), kMaxFace);

        context_->SwitchToNormalMode();
        EXPECT_EQ(WindowSize().cx, Framed(kNormalWidth, kNormalHeight).cx);
        context_->DrawBackground(canvas.dc());
        EXPECT_EQ(canvas.At(kNormalWidth / 2, kNormalHeight / 2), kNormalFace);
    }
    EXPECT_TRUE(context_->RegionFlag());
}

TEST_F(FrameContextTest, DisabledMaxModeIsNeverEntered)
{
    SetUpFrame(section::kShaped + section::kBackground + section::kMaxWindowDisabled);
    const RECT before = dialog_.WindowRect();
    EXPECT_FALSE(context_->MaxWindowEnabled());
    context_->SwitchToMaxMode();
    EXPECT_FALSE(context_->MaxMode());
    EXPECT_EQ(dialog_.WindowRect().right, before.right);
}

TEST_F(FrameContextTest, ModeSwitchNeedsARegionAndASize)
{
    SetUpFrame(section::kShaped + section::kBackground);
    const RECT before = dialog_.WindowRect();
    context_->SwitchMode(nullptr, {300, 300}, true);
    context_->SwitchMode(context_->Normal().region.get(), {0, 300}, true);
    context_->SwitchMode(context_->Normal().region.get(), {300, 0}, true);
    EXPECT_FALSE(context_->MaxMode());
    EXPECT_EQ(dialog_.WindowRect().right, before.right);
}

TEST_F(FrameContextTest, DrawnTitleBarTakesClicksOnItsButtons)
{
    SetUpFrame(section::kPlain + section::kTitleBar);
    EXPECT_TRUE(context_->TitleBar().drawn);
    EXPECT_EQ(::GetWindowLongPtrW(dialog_.hwnd(), GWL_STYLE) & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
    context_->LayoutTitleBar();
    const RECT window = dialog_.WindowRect();
    const TTitleBarLayout& layout = context_->TitleBar().layout;
    EXPECT_EQ(layout.bar.right, (window.right - window.left) - (::GetSystemMetrics(SM_CXFRAME) >> 1));

    struct Case {
        const RECT* button;
        UINT command;
    };
    const Case cases[] = {{&layout.close, SC_CLOSE}, {&layout.maximize, SC_MAXIMIZE}, {&layout.minimize, SC_MINIMIZE}};
    for (const Case& c : cases) {
        const POINT inWindow = {c.button->left + 2, c.button->top + 3};
        ASSERT_TRUE(context_->ClickTitleBar({window.left + inWindow.x, window.top + inWindow.y}));
        MSG msg = {};
        ASSERT_TRUE(TakePosted(dialog_.hwnd(), WM_SYSCOMMAND, &msg));
        EXPECT_EQ(msg.wParam, c.command);
        EXPECT_EQ(LOWORD(msg.lParam), inWindow.x);
        EXPECT_EQ(HIWORD(msg.lParam), inWindow.y);
    }
    MSG msg = {};
    EXPECT_FALSE(context_->ClickTitleBar({window.left + 40, window.top + 5}));
    EXPECT_FALSE(TakePosted(dialog_.hwnd(), WM_SYSCOMMAND, &msg));
}

TEST_F(FrameContextTest, MaximizeBoxOfAZoomedWindowRestores)
{
    SetUpFrame(section::kPlain + section::kTitleBar);
    ::ShowWindow(dialog_.hwnd(), SW_SHOWMAXIMIZED);
    ASSERT_TRUE(::IsZoomed(dialog_.hwnd()));
    context_->LayoutTitleBar();
    const RECT window = dialog_.WindowRect();
    const RECT& maximize = context_->TitleBar().layout.maximize;
    ASSERT_TRUE(context_->ClickTitleBar({window.left + maximize.left + 1, window.top + maximize.top + 1}));
    MSG msg = {};
    ASSERT_TRUE(TakePosted(dialog_.hwnd(), WM_SYSCOMMAND, &msg));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>(SC_RESTORE));
    ::ShowWindow(dialog_.hwnd(), SW_HIDE);
}

TEST_F(FrameContextTest, TitleBarNeedsAnImageAndAFirstButtonFace)
{
    const std::wstring skins[] = {
        section::kPlain,
        section::kPlain + L"<title-bar><button id=\"close\" image=\"close.bmp\"/></title-bar>",
        section::kPlain + section::kTitleBarFirstButtonWithoutFace,
    };
    for (const std::wstring& skin : skins) {
        TestDialog dialog;
        Load(skin);
        SetUpSkin(*context_, dialog.hwnd());
        EXPECT_FALSE(context_->TitleBar().drawn);
        EXPECT_NE(::GetWindowLongPtrW(dialog.hwnd(), GWL_STYLE) & WS_MAXIMIZEBOX, 0) << "system boxes stay";
        const RECT window = dialog.WindowRect();
        EXPECT_FALSE(context_->ClickTitleBar({window.right - 20, window.top + 8}));
    }
}

TEST_F(FrameContextTest, BackgroundOfTheCurrentModeIsPainted)
{
    SetUpFrame(section::kShaped + section::kBackground + section::kMaxWindow);
    {
        Canvas canvas(400, 300);
        context_->DrawBackground(canvas.dc());
        EXPECT_EQ(canvas.At(kNormalWidth / 2, kNormalHeight / 2), kNormalFace);
    }
    context_->SwitchToMaxMode();
    Canvas canvas(400, 300);
    context_->DrawBackground(canvas.dc());
    EXPECT_EQ(canvas.At(kMaxWidth / 2, kMaxHeight / 2), kMaxFace);
}

// The frame's set-up calls the other parts in the skin's order: the menus,
// the tool area and the status bar take their command ids from the one
// counter in that order, the status bar's height reaches the panels, and the
// commands' names reach the accelerator table.
TEST_F(FrameContextTest, OtherPartsAreCalledInSetUpOrder)
{
    product_.WriteSkin(section::kShaped + section::kBackground + section::kMaxWindow + section::kStatusBar +
                       section::kAccelerators + section::kConnectMenu + section::kToolArea);
    DestroyConfigure();
    ASSERT_NE(GetConfigureFrom(product_.Path().c_str()), nullptr);
    CShellFrame frame;
    ASSERT_TRUE(frame.MakeContext());
    FrameContext& context = *frame.Context();
    context.AttachMainWindow(dialog_.hwnd());
    ASSERT_EQ(frame.SetUpFrame(dialog_.hwnd()), 1);
    const CommandRegistry& commands = *frame.Commands();
    EXPECT_EQ(commands.FindIdByName("Connect"), 1200) << "the menus first";
    EXPECT_EQ(commands.FindIdByName("Tool"), 1201) << "then the tool area";
    EXPECT_EQ(commands.FindIdByName("Signal"), 1202) << "then the status bar";
    const CStatusBarEx* bar = commands.StatusBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->CommandToIndex(1202), 0) << "one pane: the one named Signal";
    EXPECT_NE(bar->Style() & WS_VISIBLE, 0u);
    const RECT pane = bar->PaneRect(0);
    EXPECT_EQ(context.StatusBarHeight(), pane.bottom - pane.top + ::GetSystemMetrics(SM_CYFRAME));

    // The command registry's names reach the accelerator table.
    ASSERT_NE(context.AcceleratorTable(), nullptr);
    ACCEL entries[4] = {};
    ASSERT_EQ(::CopyAcceleratorTableW(context.AcceleratorTable(), entries, 4), 2);
    EXPECT_EQ(entries[1].key, VK_F6);
    EXPECT_EQ(entries[1].cmd, 1200);
    EXPECT_EQ(entries[1].fVirt, FVIRTKEY | FCONTROL) << "control is the default";
    frame.DestroyCommands();
    frame.ReleaseContext(dialog_.hwnd());
}

TEST_F(FrameContextTest, AcceleratorsReachTheMainWindow)
{
    SetUpFrame(section::kPlain + section::kAccelerators);
    HACCEL table = context_->AcceleratorTable();
    ASSERT_NE(table, nullptr);
    ACCEL entries[4] = {};
    ASSERT_EQ(::CopyAcceleratorTableW(table, entries, 4), 1) << "no command is registered under Connect";
    EXPECT_EQ(entries[0].fVirt, FVIRTKEY);
    EXPECT_EQ(entries[0].key, VK_F5);
    EXPECT_EQ(entries[0].cmd, 0x1234);

    MSG key = {dialog_.hwnd(), WM_KEYDOWN, VK_F5, 0x003F0001, 0, {}};
    EXPECT_TRUE(context_->TranslateSkinAccelerator(&key));
    ASSERT_EQ(dialog_.Commands().size(), 1u);
    EXPECT_EQ(dialog_.Commands()[0], 0x1234);
    MSG other = {dialog_.hwnd(), WM_KEYDOWN, VK_F7, 0x00410001, 0, {}};
    EXPECT_FALSE(context_->TranslateSkinAccelerator(&other));
    MSG character = {dialog_.hwnd(), WM_CHAR, VK_F5, 0, 0, {}};
    EXPECT_FALSE(context_->TranslateSkinAccelerator(&character));
    EXPECT_EQ(dialog_.Commands().size(), 1u);
}

// The logo replaces the icon the window shows, unless that icon was loaded
// from the logo's own file: then it stays, and stands for the logo.
TEST_F(FrameContextTest, LogoBecomesTheWindowIconUnlessTheWindowShowsItsFileAlready)
{
    enum class Shown { None, LogoFile, LogoFileOtherCase, OtherFile, FileWithoutIcon };
    const struct {
        Shown shown;
        bool logoSet;
    } cases[] = {
        {Shown::None, true},     {Shown::LogoFile, false}, {Shown::LogoFileOtherCase, false},
        {Shown::OtherFile, true}, {Shown::FileWithoutIcon, true},
    };
    for (const auto& c : cases) {
        Load(section::kPlain);
        ASSERT_NE(configure_->LogoIcon(), nullptr);
        const std::wstring logoFile = configure_->LogoFilePath();
        UniqueIcon shownIcon(LoadIconFile(logoFile.c_str()));
        ASSERT_NE(shownIcon, nullptr);
        ::SendMessageW(dialog_.hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(shownIcon.get()));
        ::SendMessageW(dialog_.hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(shownIcon.get()));
        std::wstring file = logoFile;
        if (c.shown == Shown::LogoFileOtherCase)
            CharUpperW(file.data());
        if (c.shown == Shown::OtherFile)
            file.replace(file.size() - 8, 8, L"logo.ico");
        TShownIcon shown;
        if (c.shown != Shown::None)
            shown = {c.shown == Shown::FileWithoutIcon ? nullptr : shownIcon.get(), file.c_str()};

        context_->SetUpWindow(dialog_.hwnd(), shown);
        const HICON expected = c.logoSet ? configure_->LogoIcon() : shownIcon.get();
        EXPECT_EQ(context_->WindowIcon(), expected) << static_cast<int>(c.shown);
        EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(dialog_.hwnd(), WM_GETICON, ICON_BIG, 0)), expected);
        EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(dialog_.hwnd(), WM_GETICON, ICON_SMALL, 0)), expected);
        ::SendMessageW(dialog_.hwnd(), WM_SETICON, ICON_BIG, 0);
        ::SendMessageW(dialog_.hwnd(), WM_SETICON, ICON_SMALL, 0);
    }
}

TEST_F(FrameContextTest, AttachingTheMainWindowReadsTheNotifierSkin)
{
    Load(section::kPlain + section::kNotifier);
    context_->AttachMainWindow(dialog_.hwnd());
    EXPECT_EQ(context_->MainWindowHandle(), dialog_.hwnd());
    EXPECT_TRUE(context_->NotifierSkin().hasTextRect);
    EXPECT_EQ(context_->NotifierSkin().textRect.right, 100);
    EXPECT_NE(context_->NotifierSkin().image, nullptr);
}

TEST_F(FrameContextTest, SkinRectanglesResolveAgainstTheClientArea)
{
    SetUpFrame(section::kShaped + section::kBackground);
    RECT client = {};
    ::GetClientRect(dialog_.hwnd(), &client);
    const RECT r = context_->ResolveRect({-30, 5, 0, -5});
    EXPECT_EQ(r.left, client.right - 30);
    EXPECT_EQ(r.top, 5);
    EXPECT_EQ(r.right, client.right);
    EXPECT_EQ(r.bottom, client.bottom - 5);
}

TEST(FillMinMaxInfo, RememberedRectangleBoundsTheMaximisedWindow)
{
    MINMAXINFO info = {};
    info.ptMaxSize = {1, 2};
    info.ptMaxTrackSize = {3, 4};
    FillMinMaxInfo({100, 50, 500, 350}, &info);
    EXPECT_EQ(info.ptMaxPosition.x, 100);
    EXPECT_EQ(info.ptMaxPosition.y, 50);
    EXPECT_EQ(info.ptMaxSize.x, 400);
    EXPECT_EQ(info.ptMaxSize.y, 300);
    EXPECT_EQ(info.ptMaxTrackSize.x, 400);
    EXPECT_EQ(info.ptMaxTrackSize.y, 300);

    MINMAXINFO untouched = {};
    untouched.ptMaxTrackSize = {1280, 1024};
    FillMinMaxInfo({}, &untouched);
    EXPECT_EQ(untouched.ptMaxTrackSize.x, 1280) << "nothing remembered yet";
}

// The main window's frame makes its context with the configuration.
TEST(FrameContextLifetime, MadeOnRequestWithTheConfigurationAndRetried)
{
    ComScope com;
    DestroyConfigure();
    CShellFrame frame;
    // The test program's own folder has no product: no configuration, no context.
    EXPECT_FALSE(frame.MakeContext());
    EXPECT_EQ(frame.Context(), nullptr);

    FrameProduct product;
    product.WriteSkin(section::kPlain);
    ASSERT_NE(GetConfigureFrom(product.Path().c_str()), nullptr);
    ASSERT_TRUE(frame.MakeContext()) << "the next request tries again";
    FrameContext* context = frame.Context();
    ASSERT_NE(context, nullptr);
    EXPECT_TRUE(frame.MakeContext());
    EXPECT_EQ(frame.Context(), context);
    EXPECT_EQ(&context->Configure(), GetConfigure());

    frame.ReleaseContext(nullptr);
    EXPECT_EQ(frame.Context(), nullptr);
    EXPECT_EQ(GetConfigure(), nullptr) << "the configuration went with it";
}

}  // namespace
}  // namespace kivra
