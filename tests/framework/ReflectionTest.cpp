#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "framework/Window.h"
#include "FrameworkTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kivra;
using namespace kivra::test;

namespace {

constexpr int kOwnButtonId = 201;
constexpr int kPlainButtonId = 202;
constexpr UINT kTestNotification = 0x7E01;
constexpr LRESULT kButtonNotifyAnswer = 42;
constexpr LRESULT kParentNotifyAnswer = 7;

struct Seen {
    UINT msg;
    WPARAM wParam;
};

// A parent that records what reaches its own handler.
class CParentWindow : public CWindow {
public:
    std::vector<Seen> seen;
    int Count(UINT msg, int id = -1) const
    {
        int n = 0;
        for (const Seen& s : seen)
            n += s.msg == msg && (id < 0 || LOWORD(s.wParam) == id);
        return n;
    }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        switch (msg) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_DRAWITEM:
        case WM_CTLCOLORBTN:
            seen.push_back({msg, wParam});
            break;
        }
        return CWindow::WindowProc(msg, wParam, lParam);
    }
};

// A button that takes its own click, colour, drawing and notification, or
// (with takes false) declines all of them.
class CSelfishButton : public CWindow {
public:
    explicit CSelfishButton(bool takes = true) : takes_(takes) {}
    UniqueBrush brush{::CreateSolidBrush(RGB(192, 192, 192))};
    int clicks = 0;
    int colours = 0;
    int draws = 0;
    int offered = 0;

    bool OnReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        ++offered;
        if (!takes_)
            return false;
        switch (msg) {
        case WM_COMMAND:
            clicks += HIWORD(wParam) == BN_CLICKED;
            *result = 0;
            return true;
        case WM_CTLCOLORBTN:
            ++colours;
            *result = reinterpret_cast<LRESULT>(brush.get());
            return true;
        case WM_DRAWITEM: {
            auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            ::FillRect(item->hDC, &item->rcItem, brush.get());
            ++draws;
            *result = TRUE;
            return true;
        }
        case WM_NOTIFY:
            *result = kButtonNotifyAnswer;
            return true;
        }
        return false;
    }

private:
    bool takes_;
};

class CReflection : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(parent.Create(0, TestWindowClass(), L"parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 300,
                                  200, nullptr));
    }
    HWND AddButton(int id, DWORD style = BS_PUSHBUTTON)
    {
        return ::CreateWindowExW(0, L"BUTTON", L"b", WS_CHILD | WS_VISIBLE | style, 10, 10 + 30 * (id % 4), 80, 24,
                                 parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 ::GetModuleHandleW(nullptr), nullptr);
    }
    CParentWindow parent;
};

}  // namespace

TEST_F(CReflection, ButtonObjectTakesItsOwnClickAndColour)
{
    HWND hwnd = AddButton(kOwnButtonId);
    CSelfishButton button;
    ASSERT_TRUE(button.SubclassWindow(hwnd));

    ::SendMessageW(hwnd, BM_CLICK, 0, 0);
    EXPECT_EQ(button.clicks, 1);
    EXPECT_EQ(parent.Count(WM_COMMAND, kOwnButtonId), 0) << "a taken message skips the parent's handler";

    // Painting the button asks its parent for the colour.
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_GE(button.colours, 1);
    EXPECT_EQ(parent.Count(WM_CTLCOLORBTN), 0);

    WindowDc dc(hwnd);
    EXPECT_EQ(parent.Send(WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc.get()), reinterpret_cast<LPARAM>(hwnd)),
              reinterpret_cast<LRESULT>(button.brush.get()))
        << "the control's answer is the parent's answer";
}

TEST_F(CReflection, CommandsOfOtherChildrenReachTheParent)
{
    AddButton(kPlainButtonId);
    HWND declining = AddButton(kOwnButtonId);
    CSelfishButton decliner(false);
    ASSERT_TRUE(decliner.SubclassWindow(declining));

    ::SendMessageW(::GetDlgItem(parent, kPlainButtonId), BM_CLICK, 0, 0);
    EXPECT_EQ(parent.Count(WM_COMMAND, kPlainButtonId), 1) << "a child without object";
    ::SendMessageW(declining, BM_CLICK, 0, 0);
    EXPECT_EQ(parent.Count(WM_COMMAND, kOwnButtonId), 1) << "a child whose object declines";
    EXPECT_GE(decliner.offered, 1);

    // Menus and accelerators (no control) are never reflected.
    parent.Send(WM_COMMAND, MAKEWPARAM(kOwnButtonId, 1), 0);
    EXPECT_EQ(parent.Count(WM_COMMAND, kOwnButtonId), 2);
}

TEST_F(CReflection, OwnerDrawnButtonDrawsItselfButMenusStayWithTheParent)
{
    HWND hwnd = AddButton(kOwnButtonId, BS_OWNERDRAW);
    CSelfishButton button;
    ASSERT_TRUE(button.SubclassWindow(hwnd));
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_GE(button.draws, 1);
    EXPECT_EQ(parent.Count(WM_DRAWITEM), 0);

    // A menu item's hwndItem is a menu handle, whatever its value.
    DRAWITEMSTRUCT menuItem{};
    menuItem.CtlType = ODT_MENU;
    menuItem.hwndItem = hwnd;
    parent.Send(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&menuItem));
    EXPECT_EQ(parent.Count(WM_DRAWITEM), 1);
}

namespace {

// A dialog that records what reaches its own handler and answers WM_NOTIFY.
class CRecordingDialog : public CDialog {
public:
    using CDialog::CDialog;
    std::vector<UINT> seen;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        switch (msg) {
        case WM_NOTIFY:
            seen.push_back(msg);
            return kParentNotifyAnswer;  // LRESULT OnNotify(NMHDR*)
        case WM_CTLCOLORBTN:
        case WM_COMMAND:
            seen.push_back(msg);
            break;
        }
        return CDialog::WindowProc(msg, wParam, lParam);
    }
};

}  // namespace

TEST(DialogReflection, DialogProcedureGivesBackTheAnswersOfControlsAndOfItsOwnHandlers)
{
    DialogTemplateBuilder layout(WS_POPUP | WS_CAPTION | WS_VISIBLE, 150, 80, L"reflect");
    layout.Add(L"BUTTON", L"own", kOwnButtonId, BS_PUSHBUTTON, 5, 5, 50, 14)
        .Add(L"BUTTON", L"plain", kPlainButtonId, BS_PUSHBUTTON, 5, 25, 50, 14);
    CRecordingDialog dialog(layout.Get());
    ASSERT_TRUE(dialog.Create(nullptr));
    CSelfishButton button;
    ASSERT_TRUE(button.SubclassDlgItem(dialog, kOwnButtonId));
    HWND own = dialog.Item(kOwnButtonId);
    HWND plain = dialog.Item(kPlainButtonId);

    // WM_CTLCOLOR* answers come straight from the dialog procedure.
    WindowDc dc(own);
    EXPECT_EQ(dialog.Send(WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc.get()), reinterpret_cast<LPARAM>(own)),
              reinterpret_cast<LRESULT>(button.brush.get()));

    // WM_NOTIFY answers travel through DWLP_MSGRESULT.
    NMHDR fromOwn{own, static_cast<UINT_PTR>(kOwnButtonId), kTestNotification};
    EXPECT_EQ(dialog.Send(WM_NOTIFY, kOwnButtonId, reinterpret_cast<LPARAM>(&fromOwn)), kButtonNotifyAnswer);
    NMHDR fromPlain{plain, static_cast<UINT_PTR>(kPlainButtonId), kTestNotification};
    EXPECT_EQ(dialog.Send(WM_NOTIFY, kPlainButtonId, reinterpret_cast<LPARAM>(&fromPlain)), kParentNotifyAnswer);
    ASSERT_EQ(dialog.seen.size(), 1u) << "only the plain button's notification reached the dialog";

    ::SendMessageW(own, BM_CLICK, 0, 0);
    EXPECT_EQ(button.clicks, 1);
    ::SendMessageW(plain, BM_CLICK, 0, 0);
    EXPECT_EQ(dialog.seen.size(), 2u);
    EXPECT_EQ(dialog.seen.back(), static_cast<UINT>(WM_COMMAND));
}
