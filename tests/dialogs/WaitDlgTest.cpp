// The wait dialog: its placement rules, the settings shared across threads,
// and the dialog itself on its own thread, driven through the exported
// functions while this thread does not pump messages.
#include "dialogs/WaitDlg.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "kivra_plugin.h"
#include "resources/resource.h"

using namespace kivra;

namespace {

TEST(WaitPlacementTest, FactorsPlaceAndOnlyARealSizeRectangleSizes)
{
    const RECT parent{0, 0, 800, 600};
    const RECT window{0, 0, 300, 60};
    struct Case {
        RECT sizeRect;
        float horizontal, vertical;
        POINT at;
        SIZE size;
    } cases[] = {
        {{}, 0.5f, 0.375f, {250, 202}, {300, 60}},                  // 540 x 0.375 = 202.5, truncated
        {{}, 1.0f, 0.0f, {500, 0}, {300, 60}},                      // top right corner
        {{0, 0, 400, 0}, 0.5f, 0.375f, {250, 202}, {300, 60}},      // top equals bottom: ignored
        {{10, 10, 410, 110}, 0.5f, 0.375f, {200, 187}, {400, 100}}, // its size, placed by the factors
        {{410, 110, 10, 10}, 0.5f, 0.375f, {250, 202}, {300, 60}},  // inverted: ignored
        {{0, 0, 1000, 700}, 0.5f, 0.375f, {-100, -37}, {1000, 700}},// larger than the parent: truncated toward zero
        {{}, NAN, INFINITY, {250, 202}, {300, 60}},                 // not numbers: the defaults
    };
    for (const Case& c : cases) {
        const SIZE size = WaitDialogSize(window, c.sizeRect);
        const POINT at = WaitDialogPosition(parent, size, c.horizontal, c.vertical);
        EXPECT_EQ(size.cx, c.size.cx) << c.sizeRect.right;
        EXPECT_EQ(size.cy, c.size.cy) << c.sizeRect.right;
        EXPECT_EQ(at.x, c.at.x) << c.sizeRect.right << " " << c.horizontal;
        EXPECT_EQ(at.y, c.at.y) << c.sizeRect.right << " " << c.vertical;
    }
    const POINT moved = WaitDialogPosition({100, 50, 900, 650}, {300, 60}, 0.5f, 0.375f);  // the parent's place counts
    EXPECT_EQ(moved.x, 350);
    EXPECT_EQ(moved.y, 252);
}

// Wherever the parent is, the dialog is seen whole: over the window, over its
// restored place while minimised, on the work area while it is in the tray.
TEST(WaitPlacementTest, TheDialogLiesWhollyOnTheWorkAreaWhereverItsParentIs)
{
    const RECT work{0, 0, 1280, 994};
    const RECT minimised{-32000, -32000, -31840, -31976};
    struct Case {
        const char* parent;
        TWaitParent described;
        SIZE size;
        POINT at;
    } cases[] = {
        {"shown", {true, false, {100, 100, 900, 700}, {100, 100, 900, 700}, work}, {300, 60}, {350, 302}},
        {"in the tray", {false, true, minimised, {100, 100, 900, 700}, work}, {300, 60}, {490, 350}},
        {"minimised, not hidden", {true, true, minimised, {200, 150, 1000, 750}, work}, {300, 60}, {450, 352}},
        {"hidden, not minimised", {false, false, {100, 100, 900, 700}, {100, 100, 900, 700}, work}, {300, 60}, {490, 350}},
        {"half off the screen", {true, false, {1100, 900, 1900, 1500}, {1100, 900, 1900, 1500}, work}, {300, 60}, {980, 934}},
        {"larger than the screen", {true, false, {0, 0, 800, 600}, {0, 0, 800, 600}, work}, {1500, 1100}, {0, 0}},
    };
    for (const Case& c : cases) {
        const POINT placed = WaitDialogPosition(WaitParentArea(c.described), c.size, 0.5f, 0.375f);
        const POINT at = KeepInside(placed, c.size, work);
        EXPECT_EQ(at.x, c.at.x) << c.parent;
        EXPECT_EQ(at.y, c.at.y) << c.parent;
    }
}

TEST(WaitSettingsTest, AReplacedBrushLivesWhileTheDialogStillPaintsWithIt)
{
    WaitSettings settings;
    settings.SetBackgroundColour(RGB(1, 2, 3));
    SharedBrush painting = settings.Snapshot().brush;  // what the dialog handed to the system
    HBRUSH first = painting.get();
    settings.SetBackgroundColour(RGB(4, 5, 6));
    EXPECT_NE(settings.Snapshot().brush.get(), first);
    EXPECT_EQ(GetObjectType(first), static_cast<DWORD>(OBJ_BRUSH)) << "deleted while in use";
    painting.reset();
    EXPECT_EQ(GetObjectType(first), 0u) << "the old brush leaked";

    // Bitmaps: only a real one of at least a pixel replaces the brush.
    HBRUSH current = settings.Snapshot().brush.get();
    EXPECT_FALSE(settings.SetBackgroundImage(nullptr));
    EXPECT_FALSE(settings.SetBackgroundImage(reinterpret_cast<HBITMAP>(GetStockObject(BLACK_BRUSH))));
    EXPECT_EQ(settings.Snapshot().brush.get(), current);
    HBITMAP bitmap = CreateBitmap(8, 8, 1, 32, nullptr);
    EXPECT_TRUE(settings.SetBackgroundImage(bitmap));
    DeleteObject(bitmap);  // the caller's; the brush has its own pattern
    EXPECT_EQ(GetObjectType(settings.Snapshot().brush.get()), static_cast<DWORD>(OBJ_BRUSH));
}

// The open dialog over a shown 800 x 600 parent at (0, 0) of this thread,
// which never pumps while the dialog runs: everything the test sees comes from
// the wait thread.
class WaitDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TheWaitSettings().Reset();
        parent_ = CreateWindowExW(0, L"STATIC", L"Wait Parent", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, nullptr,
                                  nullptr);
        ASSERT_NE(parent_, nullptr);
        ShowWindow(parent_, SW_SHOWNOACTIVATE);
    }
    void TearDown() override
    {
        ShowWaitTipWindow(nullptr, false);
        EXPECT_TRUE(WaitFor([] { return !WaitDialogActive(); })) << "the wait dialog did not close";
        DestroyWindow(parent_);
    }
    template <typename Condition> static bool WaitFor(Condition condition, DWORD timeoutMs = 3000)
    {
        for (const DWORD start = GetTickCount(); !condition(); Sleep(20))
            if (GetTickCount() - start > timeoutMs)
                return false;
        return true;
    }
    // The dialog once it is up (a loaded machine may need more than the 100 ms pause).
    static HWND OpenDialog()
    {
        WaitFor([] { return OpenWaitDialogWindow() != nullptr; });
        return OpenWaitDialogWindow();
    }
    static std::wstring Text(HWND dialog)
    {
        wchar_t text[300] = {};
        GetDlgItemTextW(dialog, IDC_WAIT_TEXT, text, 300);
        return text;
    }

    HWND parent_ = nullptr;
};

TEST_F(WaitDialogTest, OpensPlacedOverItsParentWithoutABarAndClosesOnRequest)
{
    SetWaitDlgRect(0, 0, 300, 60);
    ShowWaitTipWindow(parent_, true);
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    RECT rect;
    GetWindowRect(dialog, &rect);
    EXPECT_EQ((std::vector<LONG>{rect.left, rect.top, rect.right, rect.bottom}), (std::vector<LONG>{250, 202, 550, 262}));
    EXPECT_EQ(Text(dialog), kDefaultWaitText);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), parent_);

    // Without a bar the text sits at the left edge, centred vertically.
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, IDC_WAIT_PROGRESS)));
    RECT text;
    GetWindowRect(GetDlgItem(dialog, IDC_WAIT_TEXT), &text);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&text), 2);
    EXPECT_EQ(text.left, 0);
    EXPECT_EQ(text.top, (60 - (text.bottom - text.top)) / 2);

    // Enter and Esc do not close it; WM_CLOSE from ShowWaitTipWindow does.
    SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(IsWindow(dialog));
    ShowWaitTipWindow(parent_, false);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog) && !WaitDialogActive(); }));
}

TEST_F(WaitDialogTest, AParentHiddenInTheTrayPutsTheDialogOnTheWorkArea)
{
    // As the main window goes to the tray: minimised, then hidden.
    ShowWindow(parent_, SW_MINIMIZE);
    ShowWindow(parent_, SW_HIDE);
    SetWaitDlgRect(0, 0, 300, 60);
    ShowWaitTipWindow(parent_, true);
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    RECT rect, work;
    GetWindowRect(dialog, &rect);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_GE(rect.left, work.left);
    EXPECT_GE(rect.top, work.top);
    EXPECT_LE(rect.right, work.right);
    EXPECT_LE(rect.bottom, work.bottom);
    EXPECT_EQ(rect.right - rect.left, 300);
}

TEST_F(WaitDialogTest, BarAndTextFollowTheSettingsWithinASecond)
{
    InitWaitDlg(1, 200, 0.0f, 0.0f, RGB(218, 233, 210), RGB(0, 0, 128));
    ShowWaitTipWindow(parent_, true);
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    HWND bar = GetDlgItem(dialog, IDC_WAIT_PROGRESS);
    EXPECT_TRUE(IsWindowVisible(bar));
    EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 200);
    EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, TRUE, 0), 0);

    for (int step : {40, 120}) {
        SetProgressStep(step);
        SetWaitDlgText((L"Copying " + std::to_wstring(step)).c_str());
        const DWORD start = GetTickCount();
        EXPECT_TRUE(WaitFor([&] { return SendMessageW(bar, PBM_GETPOS, 0, 0) == step; }, 1100)) << step;
        EXPECT_TRUE(WaitFor([&] { return Text(dialog) == L"Copying " + std::to_wstring(step); }, 1100)) << step;
        EXPECT_LE(GetTickCount() - start, 1100u);
    }
    // WM_USER + 101 takes the text at once; a very long one is cut, null changes nothing.
    SetWaitDlgText(std::wstring(10000, L'x').c_str());
    SetWaitDlgText(nullptr);
    EXPECT_EQ(SendMessageW(dialog, kWaitRefreshTextMessage, 0, 0), 0);
    EXPECT_EQ(Text(dialog), std::wstring(255, L'x'));
}

BOOL CALLBACK CountWaitDialogs(HWND window, LPARAM count)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && GetDlgItem(window, IDC_WAIT_PROGRESS) != nullptr &&
        GetDlgItem(window, IDC_WAIT_TEXT) != nullptr)
        ++*reinterpret_cast<int*>(count);
    return TRUE;
}

TEST_F(WaitDialogTest, TwoQuickOpensFromTwoThreadsOpenOneDialogOverTheScreen)
{
    std::atomic<bool> go{false};
    auto open = [&] {
        while (!go.load())
            std::this_thread::yield();
        ShowWaitTipWindow(nullptr, true);
    };
    std::thread first(open), second(open);
    go.store(true);
    first.join();
    second.join();

    int count = 0;
    EnumWindows(CountWaitDialogs, reinterpret_cast<LPARAM>(&count));
    EXPECT_EQ(count, 1);
    // A null parent: the screen is the area.
    HWND dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    RECT rect;
    GetWindowRect(dialog, &rect);
    EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left)) / 2);
}

}  // namespace
