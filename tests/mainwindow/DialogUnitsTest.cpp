#include <gtest/gtest.h>

#include "FrameTestSupport.h"
#include "mainwindow/DialogUnits.h"

namespace kivra {
namespace {

using testing::TestDialog;

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(ConvertDialogUnits, MagnitudesAreConvertedAndSignsKept)
{
    TestDialog dialog;
    ASSERT_NE(dialog.hwnd(), nullptr);
    RECT positive = {10, 20, 30, 40};
    ASSERT_TRUE(::MapDialogRect(dialog.hwnd(), &positive));
    ASSERT_NE(positive.left, 10) << "the dialog's units must differ from pixels for this test";

    RECT mixed = {-10, 20, -30, -40};
    ConvertDialogUnits(dialog.hwnd(), false, &mixed);
    EXPECT_TRUE(SameRect(mixed, {-positive.left, positive.top, -positive.right, -positive.bottom}));

    RECT zero = {0, 0, 0, 0};
    ConvertDialogUnits(dialog.hwnd(), false, &zero);
    EXPECT_TRUE(SameRect(zero, {0, 0, 0, 0}));
}

TEST(ConvertDialogUnits, PixelCoordinatesOrNoDialogLeaveTheRectangle)
{
    TestDialog dialog;
    RECT rect = {-10, 20, -30, 40};
    ConvertDialogUnits(dialog.hwnd(), true, &rect);
    EXPECT_TRUE(SameRect(rect, {-10, 20, -30, 40}));

    HWND plain = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ConvertDialogUnits(plain, false, &rect);
    EXPECT_TRUE(SameRect(rect, {-10, 20, -30, 40})) << "MapDialogRect fails for a window that is no dialog";
    ::DestroyWindow(plain);
    ConvertDialogUnits(dialog.hwnd(), false, nullptr);  // no rectangle, no crash
}

TEST(ResolveRect, NegativeEdgesCountFromTheFarSide)
{
    struct Case {
        RECT skin;
        RECT resolved;
    };
    const Case cases[] = {
        {{10, 20, 100, 120}, {10, 20, 100, 120}},
        {{-50, -20, 0, 0}, {250, 180, 300, 200}},
        {{10, 10, -10, -10}, {10, 10, 290, 190}},
        {{0, 0, 1, 1}, {0, 0, 1, 1}},        // a left or top of 0 is the edge itself
        {{-300, 0, -1, 5}, {0, 0, 299, 5}},
    };
    for (const Case& c : cases) {
        const RECT r = ResolveRect(c.skin, 300, 200);
        EXPECT_TRUE(SameRect(r, c.resolved))
            << c.skin.left << "," << c.skin.top << "," << c.skin.right << "," << c.skin.bottom << " -> " << r.left
            << "," << r.top << "," << r.right << "," << r.bottom;
    }
}

}  // namespace
}  // namespace kivra
