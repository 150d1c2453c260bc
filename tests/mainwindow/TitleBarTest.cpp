#include <gtest/gtest.h>

#include "FrameTestSupport.h"
#include "framework/Text.h"
#include "mainwindow/TitleBar.h"

namespace kivra {
namespace {

using testing::Canvas;
using testing::SolidBitmap;

// S = 16, T = 14, F = 5 (so h = 2), G = 4.
constexpr TTitleBarMetrics kMetrics = {16, 14, 5, 4};

bool SameRect(const RECT& r, LONG left, LONG top, LONG right, LONG bottom)
{
    return r.left == left && r.top == top && r.right == right && r.bottom == bottom;
}

TEST(TitleBarLayout, FollowsTheFrameAndIconSizes)
{
    const TTitleBarLayout layout = LayoutTitleBar(300, kMetrics);
    EXPECT_TRUE(SameRect(layout.bar, 2, 4, 298, 2 + 4 + 14));
    EXPECT_TRUE(SameRect(layout.close, 300 - 6 - 16, 4, 300 - 6, 18));
    EXPECT_TRUE(SameRect(layout.maximize, 294 - 18 - 16, 4, 294 - 18, 18));
    EXPECT_TRUE(SameRect(layout.minimize, 276 - 18 - 16, 4, 276 - 18, 18));
}

TEST(TitleBarLayout, SystemMetricsAreTheSystemsSizes)
{
    const TTitleBarMetrics metrics = TTitleBarMetrics::FromSystem();
    EXPECT_EQ(metrics.iconWidth, ::GetSystemMetrics(SM_CXSMICON));
    EXPECT_EQ(metrics.iconHeight, ::GetSystemMetrics(SM_CYSMICON));
    EXPECT_EQ(metrics.frameWidth, ::GetSystemMetrics(SM_CXFRAME));
    EXPECT_EQ(metrics.frameHeight, ::GetSystemMetrics(SM_CYFRAME));
}

TEST(TitleBarClick, EachButtonGivesItsSystemCommand)
{
    const TTitleBarLayout layout = LayoutTitleBar(300, kMetrics);
    struct Case {
        POINT point;
        bool zoomed;
        TitleBarButton button;
        UINT command;
    };
    const Case cases[] = {
        {{280, 10}, false, TitleBarButton::Close, SC_CLOSE},
        {{278, 4}, false, TitleBarButton::Close, SC_CLOSE},          // top-left corner belongs to it
        {{294, 10}, false, TitleBarButton::None, 0},                 // right edge does not
        {{270, 10}, false, TitleBarButton::Maximize, SC_MAXIMIZE},
        {{270, 10}, true, TitleBarButton::Maximize, SC_RESTORE},
        {{250, 10}, false, TitleBarButton::Minimize, SC_MINIMIZE},
        {{250, 10}, true, TitleBarButton::Minimize, SC_MINIMIZE},
        {{277, 10}, false, TitleBarButton::None, 0},                 // gap between maximize and close
        {{280, 18}, false, TitleBarButton::None, 0},                 // below the buttons
        {{100, 10}, false, TitleBarButton::None, 0},                 // caption
    };
    for (const Case& c : cases) {
        const TitleBarButton button = TitleBarButtonAt(layout, c.point);
        EXPECT_EQ(button, c.button) << c.point.x << "," << c.point.y;
        EXPECT_EQ(TitleBarCommand(button, c.zoomed), c.command) << c.point.x << "," << c.point.y;
    }
}

class TitleBarDrawing : public ::testing::Test {
protected:
    void SetUp() override
    {
        // In skin order, not in title-bar order, and one id the bar has no place for.
        Entry(0, L"close", SolidBitmap(16, 14, RGB(200, 0, 0)), SolidBitmap(16, 14, RGB(250, 250, 0)));
        Entry(1, L"help", SolidBitmap(16, 14, RGB(0, 0, 200)), {});
        Entry(2, L"minimize", SolidBitmap(16, 14, RGB(0, 200, 0)), {});
    }

    void Entry(int index, const wchar_t* id, UniqueBitmap image, UniqueBitmap hover)
    {
        CopyText(buttons_[index].owner, id);
        buttons_[index].image = SharedBitmap(std::move(image));
        buttons_[index].hover = SharedBitmap(std::move(hover));
    }

    COLORREF Centre(const Canvas& canvas, const RECT& r) const
    {
        return canvas.At((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }

    static constexpr COLORREF kBlank = RGB(0, 0, 0);
    TSkinButton buttons_[kTitleBarButtonCount] = {};
    const TTitleBarLayout layout_ = LayoutTitleBar(300, kMetrics);
};

TEST_F(TitleBarDrawing, ButtonsAreFoundByTheirIds)
{
    EXPECT_EQ(FindTitleBarButton(buttons_, TitleBarButton::Close), &buttons_[0]);
    EXPECT_EQ(FindTitleBarButton(buttons_, TitleBarButton::Minimize), &buttons_[2]);
    EXPECT_EQ(FindTitleBarButton(buttons_, TitleBarButton::Maximize), nullptr);
    EXPECT_EQ(FindTitleBarButton(buttons_, TitleBarButton::None), nullptr);
}

TEST_F(TitleBarDrawing, NormalFacesGoIntoTheirRectangles)
{
    Canvas canvas(300, 30, kBlank);
    DrawTitleBarButtons(canvas.dc(), layout_, buttons_, TitleBarButton::None);
    EXPECT_EQ(Centre(canvas, layout_.close), RGB(200, 0, 0));
    EXPECT_EQ(Centre(canvas, layout_.minimize), RGB(0, 200, 0));
    EXPECT_EQ(Centre(canvas, layout_.maximize), kBlank) << "no entry has the id maximize";
    EXPECT_EQ(canvas.At(layout_.close.right, 10), kBlank) << "nothing beyond the rectangle";
}

TEST_F(TitleBarDrawing, HoverFaceReplacesTheNormalOneOnlyWhereThereIsOne)
{
    Canvas canvas(300, 30, kBlank);
    DrawTitleBarButtons(canvas.dc(), layout_, buttons_, TitleBarButton::Close);
    EXPECT_EQ(Centre(canvas, layout_.close), RGB(250, 250, 0));
    EXPECT_EQ(Centre(canvas, layout_.minimize), RGB(0, 200, 0));

    Canvas other(300, 30, kBlank);
    DrawTitleBarButtons(other.dc(), layout_, buttons_, TitleBarButton::Minimize);
    EXPECT_EQ(Centre(other, layout_.minimize), RGB(0, 200, 0)) << "minimize has no hover face";
    EXPECT_EQ(Centre(other, layout_.close), RGB(200, 0, 0));
}

TEST_F(TitleBarDrawing, WholeBarHasPiecesButtonsIconAndCaption)
{
    std::vector<TSkinImage> images(1);
    images[0].bitmap = SolidBitmap(400, 40, RGB(0, 0, 120));
    // A shared system icon: not ours to destroy.
    HICON icon = static_cast<HICON>(::LoadImageW(nullptr, IDI_APPLICATION, IMAGE_ICON, 0, 0, LR_SHARED));
    ASSERT_NE(icon, nullptr);

    Canvas canvas(300, 30, kBlank);
    DrawTitleBar(canvas.dc(), layout_, kMetrics, images, buttons_, icon, L"MMMMMMMMMM");
    EXPECT_EQ(canvas.At(1, 10), kBlank) << "left of the bar";
    EXPECT_EQ(canvas.At(200, 6), RGB(0, 0, 120)) << "bar piece";
    EXPECT_EQ(canvas.At(200, layout_.bar.bottom), kBlank) << "below the bar";
    EXPECT_EQ(Centre(canvas, layout_.close), RGB(200, 0, 0));

    int iconPixels = 0;
    for (int x = kMetrics.frameWidth; x < kMetrics.frameWidth + kMetrics.iconWidth; ++x)
        for (int y = kMetrics.frameHeight; y < kMetrics.frameHeight + kMetrics.iconHeight; ++y)
            if (canvas.At(x, y) != RGB(0, 0, 120))
                ++iconPixels;
    EXPECT_GT(iconPixels, 10) << "icon at (F, G)";

    // The caption is drawn in the default text colour from (F + S, G) onwards.
    int captionPixels = 0;
    for (int x = kMetrics.frameWidth + kMetrics.iconWidth; x < 150; ++x)
        for (int y = kMetrics.frameHeight; y < kMetrics.frameHeight + kMetrics.iconHeight; ++y)
            if (canvas.At(x, y) != RGB(0, 0, 120))
                ++captionPixels;
    EXPECT_GT(captionPixels, 20);
    for (int x = 0; x < kMetrics.frameWidth + kMetrics.iconWidth; ++x)
        EXPECT_EQ(canvas.At(x, 2), kBlank) << "nothing above the bar at " << x;
}

}  // namespace
}  // namespace kivra
