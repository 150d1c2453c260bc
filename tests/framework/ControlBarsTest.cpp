#include "framework/ControlBars.h"
#include "FrameworkTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kivra;
using namespace kivra::test;

namespace {

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Show(const RECT& r)
{
    return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) + ", " +
           std::to_string(r.bottom) + ")";
}

}  // namespace

TEST(ControlBars, StackFromBothEdgesInOrder)
{
    struct Case {
        const char* name;
        std::vector<ControlBarSlot> bars;
        std::vector<RECT> placed;
        RECT left;
    };
    const RECT client{0, 0, 400, 300};
    std::vector<Case> cases = {
        {"no bars", {}, {}, client},
        {"two tool bars and a status bar",
         {{false, 30, {}}, {false, 20, {}}, {true, 25, {}}},
         {{0, 0, 400, 30}, {0, 30, 400, 50}, {0, 275, 400, 300}},
         {0, 50, 400, 275}},
        {"bottom bars stack upwards", {{true, 10, {}}, {true, 15, {}}}, {{0, 290, 400, 300}, {0, 275, 400, 290}},
         {0, 0, 400, 275}},
        {"bars taller than the window leave nothing",
         {{false, 200, {}}, {true, 150, {}}},
         {{0, 0, 400, 200}, {0, 150, 400, 300}},
         {0, 200, 400, 200}},
        {"a negative height counts as none", {{false, -5, {}}}, {{0, 0, 400, 0}}, client},
    };
    for (Case& c : cases) {
        RECT left = StackControlBars(client, c.bars);
        EXPECT_TRUE(SameRect(left, c.left)) << c.name << ": left " << Show(left);
        for (size_t i = 0; i < c.bars.size(); ++i)
            EXPECT_TRUE(SameRect(c.bars[i].placed, c.placed[i])) << c.name << ": bar " << i << " at "
                                                                  << Show(c.bars[i].placed);
    }
}

namespace {

HWND CreateBar(HWND parent, const wchar_t* className, DWORD style, UINT id, int height)
{
    return ::CreateWindowExW(0, className, L"", WS_CHILD | style, 0, 100, 50, height, parent,
                             reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), ::GetModuleHandleW(nullptr),
                             nullptr);
}

// A tool bar that keeps the size it is given, as the tool area makes them.
constexpr DWORD kFixedToolBar = WS_VISIBLE | TBSTYLE_FLAT | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER;

}  // namespace

TEST(ControlBars, ToolBarsDockAtTheTopAndTheStatusBarAtTheBottom)
{
    EnsureCommonControls();
    HWND parent = CreateHostWindow(300, 200);
    HWND firstTool = CreateBar(parent, TOOLBARCLASSNAMEW, kFixedToolBar, kToolBarId, 28);
    HWND secondTool = CreateBar(parent, TOOLBARCLASSNAMEW, kFixedToolBar, kToolBarId, 24);
    HWND status = CreateBar(parent, STATUSCLASSNAMEW, WS_VISIBLE, kStatusBarId, 0);
    HWND hiddenTool = CreateBar(parent, TOOLBARCLASSNAMEW, kFixedToolBar & ~WS_VISIBLE, kToolBarId + 2, 30);
    HWND other = CreateBar(parent, L"BUTTON", WS_VISIBLE, 100, 20);
    ASSERT_TRUE(firstTool && secondTool && status && hiddenTool && other);

    // Resize the parent to a client area of 500 x 350.
    RECT frame{0, 0, 500, 350};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongPtrW(parent, GWL_STYLE)), FALSE, 0);
    ::SetWindowPos(parent, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER);
    RECT client = WindowRef(parent).ClientRect();
    ASSERT_EQ(client.right, 500);
    ASSERT_EQ(client.bottom, 350);

    RECT left = RepositionBars(parent);

    EXPECT_TRUE(SameRect(WindowRef(firstTool).RectInParent(), RECT{0, 0, 500, 28}))
        << Show(WindowRef(firstTool).RectInParent());
    EXPECT_TRUE(SameRect(WindowRef(secondTool).RectInParent(), RECT{0, 28, 500, 52}))
        << "same id: z-order decides " << Show(WindowRef(secondTool).RectInParent());
    RECT statusRect = WindowRef(status).RectInParent();
    EXPECT_EQ(statusRect.left, 0);
    EXPECT_EQ(statusRect.right, 500);
    EXPECT_EQ(statusRect.bottom, 350);
    EXPECT_GT(statusRect.bottom - statusRect.top, 0);
    EXPECT_TRUE(SameRect(left, RECT{0, 52, 500, statusRect.top})) << Show(left);

    EXPECT_TRUE(SameRect(WindowRef(hiddenTool).RectInParent(), RECT{0, 100, 50, 130})) << "hidden bars stay";
    EXPECT_TRUE(SameRect(WindowRef(other).RectInParent(), RECT{0, 100, 50, 120})) << "other ids stay";
    ::DestroyWindow(parent);
}

TEST(ControlBars, ToolBarMadeWithoutHeightTakesItsButtonsHeight)
{
    EnsureCommonControls();
    HWND parent = CreateHostWindow(300, 200);
    HWND tool = CreateBar(parent, TOOLBARCLASSNAMEW, kFixedToolBar, kToolBarId, 0);
    ::SendMessageW(tool, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    TBBUTTON button{};
    button.iBitmap = I_IMAGENONE;
    button.idCommand = 1;
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = BTNS_BUTTON;
    ::SendMessageW(tool, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button));
    int buttonHeight = HIWORD(::SendMessageW(tool, TB_GETBUTTONSIZE, 0, 0));
    ASSERT_GT(buttonHeight, 0);

    RECT left = RepositionBars(parent);
    RECT placed = WindowRef(tool).RectInParent();
    EXPECT_EQ(placed.top, 0);
    EXPECT_GE(placed.bottom, buttonHeight);
    EXPECT_EQ(left.top, placed.bottom);
    ::DestroyWindow(parent);
}
