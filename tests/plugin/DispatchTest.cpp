// Window messages offered to the registry, with real windows on the test
// display: bound services get their message, and plugin dialogs get their
// keyboard navigation through IsDialogMessageW.
#include "plugin/ServiceRegistry.h"

#include "framework/Text.h"
#include "tests/support/DialogTemplate.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace kivra;

namespace {

constexpr UINT kBoundMessage = WM_APP + 17;
constexpr int kFirstEditId = 100;

struct BoundCall {
    std::string name;
    TService* service;
    TParam param;
};
std::vector<BoundCall> g_bound;

int __cdecl RecordBound(TService* service, TParam* param)
{
    g_bound.push_back({service->szName, service, *param});
    return 1;
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;  // focus goes to the first tab stop
}

// A dialog in the system font with editCount edit controls (ids 100, 101, ...).
HWND CreateTemplateDialog(HWND parent, DWORD style, int editCount)
{
    kivra::testing::DialogTemplateBuilder layout(style, 200, 100, L"", 0, nullptr);
    for (int i = 0; i < editCount; ++i)
        layout.Add(L"EDIT", L"", static_cast<WORD>(kFirstEditId + i), WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 10,
                   static_cast<short>(10 + 20 * i), 100, 14);
    return ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr), layout.Get(), parent, PlainDialogProc, 0);
}

std::wstring TextOf(HWND window)
{
    wchar_t text[64];
    ::GetWindowTextW(window, text, 64);
    return text;
}

MSG Message(HWND window, UINT message, WPARAM wParam, LPARAM lParam, POINT pt = {0, 0})
{
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = ::GetTickCount();
    msg.pt = pt;
    return msg;
}

class DispatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_bound.clear();
        registry_ = CServiceRegistry::GetRegistry();
        ASSERT_NE(registry_, nullptr);
        host_ = ::CreateWindowExW(0, L"STATIC", L"host", WS_POPUP, 0, 0, 400, 300,
                                  nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(host_, nullptr);
        registry_->SetHost(nullptr, host_);
    }
    void TearDown() override
    {
        for (HWND window : windows_)
            ::DestroyWindow(window);
        ::DestroyWindow(host_);
        CServiceRegistry::DestroyRegistry();
    }

    HWND Keep(HWND window)
    {
        EXPECT_NE(window, nullptr);
        windows_.push_back(window);
        return window;
    }

    void Bind(const char* name, HWND window, UINT message, TServiceHandler handler = RecordBound)
    {
        TService record{};
        CopyText(record.szName, name);
        record.uMessage = message;
        record.hWnd = window;
        record.pfnHandler = handler;
        ASSERT_EQ(registry_->AddService(&record), 1) << name;
    }

    // Makes window the active window and gives control the focus. The windows
    // stay hidden: Wine takes seconds to take a shown window off the display.
    static void Focus(HWND window, HWND control)
    {
        ::SetForegroundWindow(window);
        ::SetActiveWindow(window);
        ::SetFocus(control);
        ASSERT_EQ(::GetFocus(), control);
    }

    CServiceRegistry* registry_ = nullptr;
    HWND host_ = nullptr;
    std::vector<HWND> windows_;
};

// ---------------------------------------------------------------------------
// Bound messages

TEST_F(DispatchTest, BoundMessageReachesItsHandlerAndIsNotConsumed)
{
    HWND window = Keep(::CreateWindowExW(0, L"STATIC", L"w", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    Bind("plugin/OnMessage", window, kBoundMessage);
    Bind("plugin/Unbound", nullptr, 0);

    MSG msg = Message(window, kBoundMessage, 11, 22, {33, 44});
    EXPECT_EQ(registry_->DispatchServiceMessage(&msg), 0);
    ASSERT_EQ(g_bound.size(), 1u);
    EXPECT_EQ(g_bound[0].service, registry_->FindService("plugin/OnMessage")) << "the stored record";
    const TParam& p = g_bound[0].param;
    EXPECT_EQ(p.nCode, 5);
    EXPECT_EQ(p.wParam, 11u);
    EXPECT_EQ(p.lParam, 22);
    EXPECT_EQ(p.ptX, 33);
    EXPECT_EQ(p.ptY, 44);
    EXPECT_EQ(p.nReserved, 0);
    EXPECT_EQ(p.rcLeft | p.rcTop | p.rcRight | p.rcBottom | p.nExtra, 0);
    EXPECT_EQ(p.pszText, nullptr);
    EXPECT_EQ(p.pData, nullptr);
}

TEST_F(DispatchTest, OnlyTheNewestRecordBoundToAMessageAndWindowRuns)
{
    HWND window = Keep(::CreateWindowExW(0, L"STATIC", L"w", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    HWND other = Keep(::CreateWindowExW(0, L"STATIC", L"o", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    Bind("older/OnMessage", window, kBoundMessage);
    Bind("newer/OnMessage", window, kBoundMessage);

    MSG msg = Message(window, kBoundMessage, 0, 0);
    EXPECT_EQ(registry_->DispatchServiceMessage(&msg), 0);
    ASSERT_EQ(g_bound.size(), 1u);
    EXPECT_EQ(g_bound[0].name, "newer/OnMessage");

    g_bound.clear();
    MSG elsewhere = Message(other, kBoundMessage, 0, 0);
    MSG otherMessage = Message(window, kBoundMessage + 1, 0, 0);
    EXPECT_EQ(registry_->DispatchServiceMessage(&elsewhere), 0);
    EXPECT_EQ(registry_->DispatchServiceMessage(&otherMessage), 0);
    EXPECT_TRUE(g_bound.empty()) << "message and window must both match";
}

TEST_F(DispatchTest, UnboundRecordsDoNotTakeTheNullMessage)
{
    Bind("manager/Something", nullptr, 0);
    MSG threadMessage = Message(nullptr, WM_NULL, 0, 0);
    EXPECT_EQ(registry_->DispatchServiceMessage(&threadMessage), 0);
    EXPECT_TRUE(g_bound.empty());
}

// ---------------------------------------------------------------------------
// Keyboard navigation

TEST_F(DispatchTest, KeyInAControlOfARegisteredDialogIsHandledByTheDialog)
{
    HWND dialog = Keep(CreateTemplateDialog(host_, WS_POPUP, 2));
    HWND first = ::GetDlgItem(dialog, kFirstEditId);
    HWND second = ::GetDlgItem(dialog, kFirstEditId + 1);
    Bind("plugin/Page", dialog, 0);
    Focus(dialog, first);

    MSG character = Message(first, WM_CHAR, L'x', 1);
    EXPECT_EQ(registry_->DispatchServiceMessage(&character), 1);
    EXPECT_EQ(TextOf(first), L"x") << "IsDialogMessageW delivered the character";

    MSG tab = Message(first, WM_KEYDOWN, VK_TAB, 1);
    EXPECT_EQ(registry_->DispatchServiceMessage(&tab), 1);
    EXPECT_EQ(::GetFocus(), second) << "Tab moved to the next control";

    MSG toDialog = Message(dialog, WM_KEYDOWN, VK_TAB, 1);
    EXPECT_EQ(registry_->DispatchServiceMessage(&toDialog), 1) << "a key for the dialog window itself";
}

TEST_F(DispatchTest, KeyInAPageInsideARegisteredWindowIsHandledByThePage)
{
    // A settings-style page: the registered window holds a child dialog whose
    // controls take the keys; the page is the dialog handed over.
    HWND frame = Keep(CreateTemplateDialog(host_, WS_POPUP | DS_CONTROL, 0));
    HWND page = Keep(CreateTemplateDialog(frame, WS_CHILD | WS_VISIBLE | DS_CONTROL, 2));
    HWND first = ::GetDlgItem(page, kFirstEditId);
    HWND second = ::GetDlgItem(page, kFirstEditId + 1);
    Bind("plugin/Frame", frame, 0);
    Focus(frame, first);

    MSG tab = Message(first, WM_KEYDOWN, VK_TAB, 1);
    EXPECT_EQ(registry_->DispatchServiceMessage(&tab), 1);
    EXPECT_EQ(::GetFocus(), second);
}

TEST_F(DispatchTest, KeyInAControlOfTheHostWindowIsNotConsumed)
{
    HWND dialog = Keep(CreateTemplateDialog(host_, WS_POPUP, 1));
    HWND edit = Keep(::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10, 10, 100, 20, host_,
                                       nullptr, nullptr, nullptr));
    Bind("plugin/Page", dialog, 0);
    Bind("manager/Unbound", nullptr, 0);
    Focus(host_, edit);

    MSG character = Message(edit, WM_CHAR, L'x', 1);
    EXPECT_EQ(registry_->DispatchServiceMessage(&character), 0);
    EXPECT_EQ(TextOf(edit), L"") << "the message was left for normal processing";
}

TEST_F(DispatchTest, KeyInAnUnregisteredDialogOwnedByTheHostIsNotConsumed)
{
    HWND dialog = Keep(CreateTemplateDialog(host_, WS_POPUP, 1));
    HWND edit = ::GetDlgItem(dialog, kFirstEditId);
    Bind("manager/Unbound", nullptr, 0);
    Focus(dialog, edit);

    MSG character = Message(edit, WM_CHAR, L'x', 1);
    EXPECT_EQ(registry_->DispatchServiceMessage(&character), 0);
    EXPECT_EQ(TextOf(edit), L"");
}

TEST_F(DispatchTest, UnboundRecordsNavigateATopLevelDialogWithoutOwner)
{
    // A dialog made with the desktop as parent (like the settings dialog) has
    // no parent of its own: it matches the records that publish no window.
    HWND dialog = Keep(CreateTemplateDialog(nullptr, WS_POPUP, 2));
    HWND first = ::GetDlgItem(dialog, kFirstEditId);
    HWND second = ::GetDlgItem(dialog, kFirstEditId + 1);
    Bind("manager/Unbound", nullptr, 0);
    Focus(dialog, first);

    MSG tab = Message(first, WM_KEYDOWN, VK_TAB, 1);
    EXPECT_EQ(registry_->DispatchServiceMessage(&tab), 1);
    EXPECT_EQ(::GetFocus(), second);
}

TEST_F(DispatchTest, KeyBoundToARegisteredDialogIsConsumedBeforeItsHandler)
{
    HWND dialog = Keep(CreateTemplateDialog(host_, WS_POPUP, 1));
    Bind("plugin/Keys", dialog, WM_KEYDOWN);
    Focus(dialog, ::GetDlgItem(dialog, kFirstEditId));

    MSG key = Message(dialog, WM_KEYDOWN, VK_TAB, 1);
    EXPECT_EQ(registry_->DispatchServiceMessage(&key), 1);
    EXPECT_TRUE(g_bound.empty());
}

}  // namespace
