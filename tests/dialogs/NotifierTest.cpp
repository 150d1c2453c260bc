// The notifier's motion for each taskbar side (told by the work area), a
// second Show in every state, and its shape cut from the skin bitmap.
#include "dialogs/NotifierMotion.h"
#include "dialogs/TaskbarNotifier.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kivra;

namespace {

constexpr int kScreenW = 1280, kScreenH = 1024;

struct RunResult {
    int appearSteps = 0;
    int disappearSteps = 0;
    POINT shown = {};
    UINT stayMs = 0;
    UINT hideStepMs = 0;
    bool hidden = false;
};

// Plays a whole notification, as the window's timers would.
RunResult RunToEnd(NotifierMotion& motion)
{
    RunResult result;
    NotifierAction action;
    while ((action = motion.Tick(kNotifierAppearTimer)).killTimer != kNotifierAppearTimer)
        ++result.appearSteps;
    result.shown = motion.Position();
    EXPECT_EQ(motion.State(), NotifierState::Waiting);
    result.stayMs = action.startTimer == kNotifierStayTimer ? action.interval : 0;
    action = motion.Tick(kNotifierStayTimer);
    EXPECT_EQ(action.killTimer, kNotifierStayTimer);
    EXPECT_EQ(action.startTimer, kNotifierDisappearTimer);
    result.hideStepMs = action.interval;
    while (!(action = motion.Tick(kNotifierDisappearTimer)).hide)
        ++result.disappearSteps;
    result.hidden = action.killTimer == kNotifierDisappearTimer;
    motion.Reset();
    return result;
}

TEST(NotifierMotionTest, SlidesInFromTheTaskbarStaysAndSlidesBack)
{
    struct Case {
        const char* name;
        RECT work;
        POINT start, shown;
        UINT stepMs;
        int steps;
    } cases[] = {
        // 100 pixels up in 50 steps of 2: 500 ms / 50 = 10 ms a step.
        {"bottom", {0, 0, 1280, 994}, {1080, 994}, {1080, 894}, 10, 50},
        // 200 pixels right from the work area's left edge, at its bottom.
        {"left", {60, 0, 1280, 1024}, {-140, 924}, {60, 924}, 5, 100},
        {"top", {0, 30, 1280, 1024}, {1080, -70}, {1080, 30}, 10, 50},
        {"right", {0, 0, 1220, 1024}, {1220, 924}, {1020, 924}, 5, 100},
        // A taskbar that hides itself leaves the whole screen: from the bottom.
        {"hidden", {0, 0, 1280, 1024}, {1080, 1024}, {1080, 924}, 10, 50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NotifierMotion motion;
        motion.SetSize(200, 100);
        const NotifierAction show = motion.Show(c.work, kScreenW, kScreenH);
        EXPECT_TRUE(show.show);
        EXPECT_EQ(show.startTimer, kNotifierAppearTimer);
        EXPECT_EQ(show.interval, c.stepMs);
        EXPECT_EQ(motion.State(), NotifierState::Hidden);  // until the first tick
        EXPECT_EQ(motion.Position().x, c.start.x);
        EXPECT_EQ(motion.Position().y, c.start.y);

        const RunResult run = RunToEnd(motion);
        EXPECT_EQ(run.appearSteps, c.steps);
        EXPECT_EQ(run.shown.x, c.shown.x);
        EXPECT_EQ(run.shown.y, c.shown.y);
        EXPECT_EQ(run.stayMs, kNotifierStayTimeMs);
        EXPECT_EQ(run.hideStepMs, c.stepMs);
        EXPECT_EQ(run.disappearSteps, c.steps);
        EXPECT_TRUE(run.hidden);
        EXPECT_EQ(motion.Position().x, c.start.x);
        EXPECT_EQ(motion.Position().y, c.start.y);
    }
}

TEST(NotifierMotionTest, SecondShowDependsOnTheState)
{
    const RECT work = {0, 0, 1280, 994};
    NotifierMotion motion;
    motion.SetSize(200, 100);

    // Appearing: only the new text.
    motion.Show(work, kScreenW, kScreenH);
    motion.Tick(kNotifierAppearTimer);
    NotifierAction again = motion.Show(work, kScreenW, kScreenH);
    EXPECT_TRUE(again.redraw);
    EXPECT_EQ(again.startTimer, 0u);
    EXPECT_FALSE(again.move);
    EXPECT_EQ(motion.State(), NotifierState::Appearing);

    // Waiting: the stay time starts over.
    while (motion.Tick(kNotifierAppearTimer).killTimer == 0) {
    }
    again = motion.Show(work, kScreenW, kScreenH);
    EXPECT_EQ(again.startTimer, kNotifierStayTimer);
    EXPECT_EQ(again.interval, kNotifierStayTimeMs);
    EXPECT_EQ(motion.State(), NotifierState::Waiting);

    // Disappearing: straight back to the shown place, waiting again.
    motion.Tick(kNotifierStayTimer);
    for (int i = 0; i < 10; ++i)
        motion.Tick(kNotifierDisappearTimer);
    EXPECT_EQ(motion.Position().y, 914);
    again = motion.Show(work, kScreenW, kScreenH);
    EXPECT_EQ(again.killTimer, kNotifierDisappearTimer);
    EXPECT_EQ(again.startTimer, kNotifierStayTimer);
    EXPECT_TRUE(again.move);
    EXPECT_EQ(motion.Position().y, 894);
    // The stay timer then slides it away from there, all the way.
    EXPECT_EQ(motion.Tick(kNotifierStayTimer).startTimer, kNotifierDisappearTimer);
    int steps = 0;
    while (!motion.Tick(kNotifierDisappearTimer).hide)
        ++steps;
    EXPECT_EQ(steps, 50);
}

TEST(NotifierMotionTest, ThinOrOddBitmapsStillSlideAndStopAtTheEdge)
{
    const RECT work = {0, 0, 1280, 994};
    NotifierMotion thin;
    thin.SetSize(200, 1);  // one step, not a division by zero
    EXPECT_EQ(thin.Show(work, kScreenW, kScreenH).interval, kNotifierShowTimeMs);
    EXPECT_EQ(RunToEnd(thin).appearSteps, 1);

    NotifierMotion odd;
    odd.SetSize(200, 101);
    odd.Show(work, kScreenW, kScreenH);
    EXPECT_EQ(RunToEnd(odd).shown.y, 994 - 101);  // not one pixel further
}

// A bitmap of width x height whose left column (and top-left pixel) are mask colour.
UniqueBitmap MaskedBitmap(int width, int height, COLORREF mask)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    auto* rows = static_cast<BYTE*>(bits);
    const int stride = (width * 3 + 3) & ~3;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const COLORREF c = x == 0 ? mask : RGB(10, 20, 30);
            BYTE* p = rows + y * stride + x * 3;
            p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
        }
    return bitmap;
}

TEST(NotifierRegionTest, ShapeIsTheRoundedWidthLessTheMaskPixels)
{
    const COLORREF mask = RGB(255, 0, 255);
    UniqueBitmap wide = MaskedBitmap(203, 50, mask);
    UniqueRegion shape = NotifierRegion(wide.get(), mask);
    ASSERT_TRUE(shape);
    RECT box{};
    GetRgnBox(shape.get(), &box);
    EXPECT_EQ(box.left, 1);  // column 0 is mask colour
    EXPECT_EQ(box.right, 200);
    EXPECT_EQ(box.bottom, 50);
    EXPECT_FALSE(PtInRegion(shape.get(), 0, 10));
    EXPECT_TRUE(PtInRegion(shape.get(), 199, 10));
    EXPECT_FALSE(PtInRegion(shape.get(), 201, 10));

    // Too narrow for a shape, or nothing but mask: no region at all.
    UniqueBitmap narrow = MaskedBitmap(3, 50, mask);
    EXPECT_FALSE(NotifierRegion(narrow.get(), mask));
    EXPECT_FALSE(NotifierRegion(nullptr, mask));
    EXPECT_FALSE(MaskedRegion(std::vector<BYTE>(4 * 2 * 3, 0), 4, 2, RGB(0, 0, 0)));
}

TEST(TaskbarNotifierTest, ShowsSlidesAwayAndReportsClicks)
{
    HWND target = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    CTaskbarNotifier notifier;
    ASSERT_TRUE(notifier.Create(GetDesktopWindow()));
    notifier.SetClickTarget(target);
    UniqueBitmap skin = MaskedBitmap(203, 40, RGB(255, 0, 255));
    notifier.SetSkin(skin.get(), 255, 0, 255);
    EXPECT_TRUE(notifier.HasShape());
    EXPECT_EQ(notifier.TextRect().right, 203);

    notifier.Show(L"Hello");
    bool seenShown = false;
    const DWORD start = GetTickCount();
    MSG msg;
    // 20 steps in, one second, 20 steps out: well within five seconds.
    while (GetTickCount() - start < 5000) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        if (notifier.Motion().State() == NotifierState::Waiting)
            seenShown = seenShown || IsWindowVisible(notifier);
        if (seenShown && notifier.Motion().State() == NotifierState::Hidden)
            break;
        Sleep(5);
    }
    EXPECT_TRUE(seenShown);
    EXPECT_EQ(notifier.Motion().State(), NotifierState::Hidden);
    EXPECT_FALSE(IsWindowVisible(notifier));

    SendMessageW(notifier, WM_LBUTTONUP, 0, 0);
    EXPECT_TRUE(PeekMessageW(&msg, target, kNotifierClickedMessage, kNotifierClickedMessage, PM_REMOVE));
    DestroyWindow(target);
}

}  // namespace
