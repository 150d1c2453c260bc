// The floating window: its sample history, and the window's opacity, data
// status and clicks.
#include "dialogs/FloatDlg.h"

#include <gtest/gtest.h>

#include "plugin/ShellMessages.h"
#include "resources/resource.h"

using namespace kivra;

namespace {

TEST(SampleHistoryTest, KeepsOneSamplePerColumnNewestAtTheRight)
{
    SampleHistory history;
    history.Resize(40);
    for (int i = 1; i <= 40; ++i)
        history.Push(static_cast<BYTE>(i));
    ASSERT_EQ(history.Samples().size(), 40u);
    EXPECT_EQ(history.Samples().front(), 1);
    EXPECT_EQ(history.Samples().back(), 40);

    history.Push(41);  // the oldest falls out
    EXPECT_EQ(history.Samples().size(), 40u);
    EXPECT_EQ(history.Samples().front(), 2);
    EXPECT_EQ(history.Samples().back(), 41);

    SampleHistory none;
    none.Push(7);  // no columns, nothing to write to
    EXPECT_TRUE(none.Samples().empty());
}

TEST(SampleHistoryTest, NumbersOfAnySizeAreShownWhole)
{
    EXPECT_EQ(SampleNumberText(-2147483647L - 1), L"-2147483648");
    EXPECT_EQ(SampleNumberText(2147483647L), L"2147483647");
    EXPECT_EQ(BarTop(49, 255), 49 - 255);  // leaves through the top, clipped
}

class FloatDlgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        main_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(dialog_.Create(GetDesktopWindow()));
        EXPECT_FALSE(dialog_.IsVisible()) << "it shows only when asked";
        dialog_.Show(SW_SHOWNOACTIVATE);
        dialog_.SetMainWindow(main_);
    }
    void TearDown() override
    {
        dialog_.Destroy();
        DestroyWindow(main_);
    }
    BYTE Alpha() const
    {
        BYTE alpha = 0;
        DWORD flags = 0;
        GetLayeredWindowAttributes(dialog_, nullptr, &alpha, &flags);
        return alpha;
    }
    bool TrayClickPosted(UINT mouseMessage)
    {
        MSG msg;
        return PeekMessageW(&msg, main_, kTrayCallbackMessage, kTrayCallbackMessage, PM_REMOVE) &&
               msg.lParam == static_cast<LPARAM>(mouseMessage);
    }

    HWND main_ = nullptr;
    CFloatDlg dialog_;
};

TEST_F(FloatDlgTest, StartsLayeredNearTheTopRightWithAColumnPerPixel)
{
    EXPECT_EQ(dialog_.ExStyle() & (WS_EX_LAYERED | WS_EX_TOOLWINDOW), WS_EX_LAYERED | WS_EX_TOOLWINDOW);
    const RECT window = dialog_.WindowRect();
    const int width = window.right - window.left;
    EXPECT_EQ(dialog_.History().Samples().size(), static_cast<size_t>(width));
    EXPECT_EQ(window.left, GetSystemMetrics(SM_CXSCREEN) - 2 * width);
    EXPECT_EQ(window.top, window.bottom - window.top);  // one height down, not at (0, 0)
    EXPECT_EQ(Alpha(), kFloatNormalOpacity);
}

TEST_F(FloatDlgTest, TheMouseRaisesTheOpacityUntilItLeaves)
{
    dialog_.SetNormalOpacity(160);
    dialog_.SetHoverOpacity(240);
    EXPECT_EQ(Alpha(), 160);
    SendMessageW(dialog_, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    EXPECT_TRUE(dialog_.Hovering());
    EXPECT_EQ(Alpha(), 240);
    SendMessageW(dialog_, WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(dialog_.Hovering());
    EXPECT_EQ(Alpha(), 160);
    // A skin without opacities leaves it fully transparent.
    dialog_.SetNormalOpacity(0);
    EXPECT_EQ(Alpha(), 0);
}

TEST_F(FloatDlgTest, DataStatusShowsTheNumberAndOffEmptiesIt)
{
    dialog_.ShowDataStatus(true);
    dialog_.UpdateLastData(200, -5, L"Receiving 5 kB/s");
    EXPECT_EQ(dialog_.History().Samples().back(), 200);
    EXPECT_EQ(dialog_.TipText(), L"Receiving 5 kB/s");
    UpdateWindow(dialog_);  // the paint moves the number into its control
    EXPECT_EQ(dialog_.ItemText(IDC_FLOAT_TEXT), L"-5");

    dialog_.ShowDataStatus(false);
    EXPECT_TRUE(dialog_.NumberText().empty());
    EXPECT_TRUE(dialog_.ItemText(IDC_FLOAT_TEXT).empty());
    EXPECT_TRUE(dialog_.TipText().empty());
    dialog_.UpdateLastData(1, 1, L"kept");
    dialog_.ShowDataStatus(false);  // no change: the tip stays
    EXPECT_EQ(dialog_.TipText(), L"kept");
}

TEST_F(FloatDlgTest, ClicksReachTheMainWindowAsTrayClicks)
{
    SendMessageW(dialog_, WM_RBUTTONDOWN, 0, 0);
    EXPECT_TRUE(TrayClickPosted(WM_RBUTTONUP));  // the tray menu
    SendMessageW(dialog_, WM_LBUTTONDBLCLK, 0, 0);
    EXPECT_TRUE(TrayClickPosted(WM_LBUTTONDBLCLK));  // the main window
}

}  // namespace
