#include "framework/Window.h"
#include "FrameworkTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace kivra;
using namespace kivra::test;

namespace {

constexpr UINT kProbe = WM_APP + 1;
constexpr UINT kThrow = WM_APP + 2;
constexpr LRESULT kProbeAnswer = 42;

// Records the messages it sees and answers kProbe.
class CRecordingWindow : public CWindow {
public:
    std::vector<UINT> seen;
    bool Saw(UINT msg) const
    {
        for (UINT m : seen)
            if (m == msg)
                return true;
        return false;
    }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        seen.push_back(msg);
        switch (msg) {
        case kProbe:
            return kProbeAnswer;
        case kThrow:
            throw std::runtime_error("handler failed");
        }
        return CWindow::WindowProc(msg, wParam, lParam);
    }
};

HWND CreateRawButton(HWND parent, int id)
{
    return ::CreateWindowExW(0, L"BUTTON", L"raw", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 10, 80, 24, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
}

// A subclass someone else puts on top of ours.
WNDPROC gForeignPrevious = nullptr;
LRESULT CALLBACK ForeignSubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return ::CallWindowProcW(gForeignPrevious, hwnd, msg, wParam, lParam);
}

}  // namespace

TEST(Window, OwnClassRoutesEveryMessageFromCreationToItsObject)
{
    HWND hwnd = nullptr;
    {
        CRecordingWindow window;
        ASSERT_TRUE(window.Create(0, TestWindowClass(), L"own", WS_POPUP, 0, 0, 100, 80, nullptr));
        hwnd = window.Handle();
        EXPECT_TRUE(window.Saw(WM_NCCREATE));
        EXPECT_TRUE(window.Saw(WM_CREATE));
        EXPECT_EQ(CWindow::FromHandle(hwnd), &window);
        EXPECT_EQ(::SendMessageW(hwnd, kProbe, 0, 0), kProbeAnswer);
        EXPECT_EQ(window.GetText(), L"own");  // default processing still works
    }
    EXPECT_FALSE(::IsWindow(hwnd)) << "an owned window goes with its object";
}

BOOL CALLBACK CountProperty(HWND, LPWSTR, HANDLE, ULONG_PTR count)
{
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

TEST(Window, SystemClassIsSubclassedAndOwned)
{
    HWND host = CreateHostWindow();
    HWND hwnd = nullptr;
    {
        CRecordingWindow button;
        ASSERT_TRUE(button.Create(0, L"BUTTON", L"before", WS_CHILD | WS_VISIBLE, 5, 5, 60, 20, host, 77));
        hwnd = button.Handle();
        EXPECT_EQ(::GetDlgItem(host, 77), hwnd);
        EXPECT_TRUE(button.SetText(L"after"));
        EXPECT_TRUE(button.Saw(WM_SETTEXT));
        EXPECT_EQ(button.GetText(), L"after") << "the button's own procedure still handles it";
        EXPECT_EQ(button.Send(kProbe), kProbeAnswer);
        // Found without a window property of ours (the class may keep its
        // own): setting one is a round trip to the window server under Wine,
        // per window.
        HWND plain = ::CreateWindowExW(0, L"BUTTON", L"plain", WS_CHILD, 0, 0, 10, 10, host, nullptr, nullptr, nullptr);
        int ours = 0, theirs = 0;
        ::EnumPropsExW(hwnd, CountProperty, reinterpret_cast<LPARAM>(&ours));
        ::EnumPropsExW(plain, CountProperty, reinterpret_cast<LPARAM>(&theirs));
        EXPECT_EQ(ours, theirs);
    }
    EXPECT_FALSE(::IsWindow(hwnd));
    ::DestroyWindow(host);
}

TEST(Window, SubclassedControlIsGivenBackUnharmed)
{
    HWND host = CreateHostWindow();
    HWND button = CreateRawButton(host, 10);
    LONG_PTR original = ::GetWindowLongPtrW(button, GWLP_WNDPROC);
    {
        CRecordingWindow window;
        ASSERT_TRUE(window.SubclassDlgItem(host, 10));
        CRecordingWindow second;
        EXPECT_FALSE(second.SubclassWindow(button)) << "one object per window";
        EXPECT_FALSE(window.SubclassWindow(host)) << "one window per object";
        ::SetWindowTextW(button, L"seen");
        EXPECT_TRUE(window.Saw(WM_SETTEXT));
        EXPECT_EQ(window.Detach(), button);
        EXPECT_EQ(::GetWindowLongPtrW(button, GWLP_WNDPROC), original);
        EXPECT_EQ(CWindow::FromHandle(button), nullptr);
        EXPECT_TRUE(window.SubclassWindow(button)) << "attachable again after Detach";
    }
    ASSERT_TRUE(::IsWindow(button)) << "a subclassed window is not ours to destroy";
    EXPECT_EQ(::GetWindowLongPtrW(button, GWLP_WNDPROC), original);
    EXPECT_TRUE(::SetWindowTextW(button, L"still works"));
    EXPECT_EQ(WindowRef(button).GetText(), L"still works");
    ::DestroyWindow(host);
}

TEST(Window, SubclassStackedOnOursKeepsWorkingAfterWeLetGo)
{
    HWND host = CreateHostWindow();
    HWND button = CreateRawButton(host, 11);
    auto window = std::make_unique<CRecordingWindow>();
    ASSERT_TRUE(window->SubclassWindow(button));
    gForeignPrevious = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ForeignSubclassProc)));
    window.reset();
    EXPECT_EQ(::GetWindowLongPtrW(button, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(ForeignSubclassProc));
    EXPECT_TRUE(::SetWindowTextW(button, L"chained"));
    EXPECT_EQ(WindowRef(button).GetText(), L"chained") << "our procedure forwards to the original one";
    EXPECT_TRUE(::DestroyWindow(host));
}

TEST(Window, HandlerThatThrowsAnswersZeroAndTheWindowLivesOn)
{
    CRecordingWindow window;
    ASSERT_TRUE(window.Create(0, TestWindowClass(), L"", WS_POPUP, 0, 0, 10, 10, nullptr));
    EXPECT_EQ(window.Send(kThrow), 0);
    EXPECT_EQ(window.Send(kProbe), kProbeAnswer);
}

TEST(Window, FromHandleFindsOnlyAttachedWindows)
{
    HWND host = CreateHostWindow();
    EXPECT_EQ(CWindow::FromHandle(nullptr), nullptr);
    EXPECT_EQ(CWindow::FromHandle(host), nullptr);
    EXPECT_EQ(CWindow::FromHandle(::GetDesktopWindow()), nullptr);
    EXPECT_EQ(CWindow::FromHandle(reinterpret_cast<HWND>(0x1234)), nullptr);
    ::DestroyWindow(host);
}

TEST(Window, ObjectOfAWindowOfAnotherThreadIsFoundFromThisOne)
{
    // Each thread keeps its own table; a lookup from another thread still finds
    // the object, and once the object let go (on its window's thread) neither does.
    CRecordingWindow window;
    HANDLE step = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE done = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    bool foundThere = false;
    std::thread owner([&] {
        foundThere = window.Create(0, TestWindowClass(), L"", WS_POPUP, 0, 0, 10, 10, nullptr) &&
                     CWindow::FromHandle(window.Handle()) == &window;
        ::SetEvent(done);
        ::WaitForSingleObject(step, INFINITE);
        HWND hwnd = window.Detach();
        ::SetEvent(done);
        ::WaitForSingleObject(step, INFINITE);
        ::DestroyWindow(hwnd);
    });
    ::WaitForSingleObject(done, INFINITE);
    const HWND hwnd = window.Handle();
    EXPECT_TRUE(foundThere);
    EXPECT_EQ(CWindow::FromHandle(hwnd), &window);
    ::SetEvent(step);
    ::WaitForSingleObject(done, INFINITE);
    EXPECT_EQ(CWindow::FromHandle(hwnd), nullptr);
    ::SetEvent(step);
    owner.join();
    ::CloseHandle(step);
    ::CloseHandle(done);
}

TEST(WindowRef, OnlyAFrameScrollBarOrCaptionMakesANonClientArea)
{
    HWND host = CreateHostWindow();
    const struct {
        DWORD style, exStyle;
        bool nonClient;
    } cases[] = {
        {0, 0, false},
        {BS_OWNERDRAW, WS_EX_NOPARENTNOTIFY | WS_EX_TRANSPARENT, false},
        {WS_BORDER, 0, true},
        {0, WS_EX_CLIENTEDGE, true},
        {0, WS_EX_STATICEDGE, true},
        {WS_VSCROLL, 0, true},
        {WS_CAPTION, 0, true},
    };
    for (const auto& c : cases) {
        HWND child = ::CreateWindowExW(c.exStyle, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | c.style, 0, 0, 60, 40, host,
                                       nullptr, nullptr, nullptr);
        EXPECT_EQ(WindowRef(child).HasNonClientArea(), c.nonClient) << std::hex << c.style << " " << c.exStyle;
        ::DestroyWindow(child);
    }
    EXPECT_TRUE(WindowRef(host).HasNonClientArea());
    ::DestroyWindow(host);
}

TEST(WindowRef, HelpersReadBackTheWindow)
{
    HWND host = CreateHostWindow();
    WindowRef button = CreateRawButton(host, 12);
    WindowRef parent = button.Parent();
    EXPECT_EQ(parent.Handle(), host);
    EXPECT_EQ(parent.Item(12).Handle(), button.Handle());
    EXPECT_EQ(button.Id(), 12);
    EXPECT_EQ(button.ClassName(), L"Button");

    EXPECT_TRUE(parent.SetItemText(12, L"text"));
    EXPECT_EQ(parent.ItemText(12), L"text");
    EXPECT_EQ(parent.ItemText(999), L"") << "a missing item reads as empty";

    EXPECT_TRUE(button.Move(RECT{20, 30, 120, 55}));
    RECT inParent = button.RectInParent();
    EXPECT_EQ(inParent.left, 20);
    EXPECT_EQ(inParent.top, 30);
    RECT client = button.ClientRect();
    EXPECT_EQ(client.right, 100);
    EXPECT_EQ(client.bottom, 25);

    EXPECT_TRUE(button.ModifyStyle(0, BS_DEFPUSHBUTTON));
    EXPECT_FALSE(button.ModifyStyle(0, BS_DEFPUSHBUTTON)) << "no change the second time";
    EXPECT_TRUE(button.Style() & BS_DEFPUSHBUTTON);

    EXPECT_TRUE(button.IsVisible());
    button.Hide();
    EXPECT_FALSE(button.IsVisible());
    button.Enable(false);
    EXPECT_FALSE(button.IsEnabled());

    WindowRef none;
    EXPECT_EQ(none.GetText(), L"");
    EXPECT_EQ(none.Item(1).Handle(), nullptr);
    EXPECT_FALSE(none.IsWindow());
    ::DestroyWindow(host);
}
