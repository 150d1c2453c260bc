// Modeless and child dialogs, and the data exchange hooks.
#include "framework/Dialog.h"
#include "FrameworkTestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace kivra;
using namespace kivra::test;

namespace {

constexpr int kEditId = 100;
constexpr int kLabelId = 101;
constexpr UINT kSetValid = WM_APP + 20;

const DLGTEMPLATE* PageTemplate()
{
    static DialogTemplateBuilder layout = [] {
        DialogTemplateBuilder built(WS_CHILD | WS_VISIBLE | DS_CONTROL, 120, 60);
        built.Add(L"EDIT", L"", kEditId, WS_TABSTOP | WS_BORDER, 5, 5, 100, 14)
            .Add(L"STATIC", L"label", kLabelId, SS_LEFT, 5, 25, 100, 8);
        return built;
    }();
    return layout.Get();
}

class CPage : public CDialog {
public:
    CPage() : CDialog(PageTemplate()) {}
    bool initialised = false;

protected:
    bool OnInitDialog() override
    {
        initialised = true;
        SetItemText(kEditId, L"filled");
        return CDialog::OnInitDialog();
    }
};

}  // namespace

TEST(ModelessDialog, ChildPageFromAMemoryTemplateLivesWithItsObject)
{
    HWND host = CreateHostWindow();
    HWND made = nullptr;
    {
        CPage page;
        ASSERT_TRUE(page.Create(host));
        made = page.Handle();
        EXPECT_TRUE(page.initialised);
        EXPECT_FALSE(page.IsModal());
        EXPECT_TRUE(::IsChild(host, made));
        EXPECT_EQ(page.ItemText(kEditId), L"filled");
        EXPECT_EQ(page.ItemText(kLabelId), L"label");
        EXPECT_EQ(CWindow::FromHandle(made), &page);
        EXPECT_FALSE(page.Create(host)) << "one window per object";

        page.EndDialog(5);
        EXPECT_EQ(page.Result(), 5);
        EXPECT_TRUE(::IsWindow(made)) << "ending a modeless dialog only hides it";
        EXPECT_FALSE(page.IsVisible());
        page.Show();
        EXPECT_TRUE(page.IsVisible());
    }
    EXPECT_FALSE(::IsWindow(made)) << "the object owns its window";
    ::DestroyWindow(host);
}

TEST(ModelessDialog, ChildTemplateWithoutParentFailsCleanly)
{
    CPage page;
    EXPECT_FALSE(page.Create(nullptr));
    EXPECT_EQ(page.Handle(), nullptr);
    EXPECT_FALSE(page.initialised);
}

// Made hidden, it leaves the user's window active and focused; shown, its
// first tab stop takes the focus, as the dialog manager gives it at creation.
TEST(ModelessDialog, PopupDialogCanBeMadeInvisibleAndShownLater)
{
    HWND user = CreateHostWindow();
    ::SetActiveWindow(user);
    ::SetFocus(user);
    DialogTemplateBuilder layout(WS_POPUP | WS_CAPTION, 100, 40, L"hidden");
    layout.Add(L"STATIC", L"label", kLabelId, SS_LEFT, 5, 5, 40, 8)
        .Add(L"BUTTON", L"OK", kEditId, WS_TABSTOP | BS_PUSHBUTTON, 50, 5, 40, 14);
    CDialog dialog(layout.Get());
    ASSERT_TRUE(dialog.Create(nullptr));
    EXPECT_FALSE(dialog.IsVisible()) << "without WS_VISIBLE it stays hidden";
    EXPECT_EQ(dialog.GetText(), L"hidden");
    EXPECT_EQ(::GetActiveWindow(), user);
    EXPECT_EQ(::GetFocus(), user);
    dialog.Show();
    EXPECT_TRUE(dialog.IsVisible());
    EXPECT_EQ(::GetActiveWindow(), dialog.Handle());
    EXPECT_EQ(::GetFocus(), dialog.Item(kEditId));
    ::DestroyWindow(user);
}

namespace {

// Binds a member to the edit; only the text "ok" validates.
class CDataDialog : public CGuardedDialog {
public:
    CDataDialog() : CGuardedDialog(DataTemplate()) {}
    std::wstring value = L"start";
    std::wstring shownAtInit;
    int okCalls = 0;
    int setValidHandled = 0;

    static const DLGTEMPLATE* DataTemplate()
    {
        static DialogTemplateBuilder layout = [] {
            DialogTemplateBuilder built(WS_POPUP | WS_CAPTION, 120, 60, L"data");
            built.Add(L"EDIT", L"", kEditId, WS_TABSTOP | WS_BORDER, 5, 5, 100, 14)
                .Add(L"BUTTON", L"OK", IDOK, WS_TABSTOP | BS_DEFPUSHBUTTON, 5, 30, 50, 14);
            return built;
        }();
        return layout.Get();
    }

protected:
    bool DoDataExchange(bool fromControls) override
    {
        if (!fromControls)
            return SetItemText(kEditId, value.c_str());
        std::wstring text = ItemText(kEditId);
        if (text != L"ok")
            return false;
        value = text;
        return true;
    }
    bool OnInitDialog() override
    {
        bool focus = CGuardedDialog::OnInitDialog();
        shownAtInit = ItemText(kEditId);
        Post(WM_KEYDOWN, VK_RETURN, 1);  // refused: "start" does not validate
        Post(kSetValid);
        return focus;
    }
    void OnOK() override
    {
        ++okCalls;
        CGuardedDialog::OnOK();
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == kSetValid) {
            ++setValidHandled;
            SetItemText(kEditId, L"ok");
            Post(WM_KEYDOWN, VK_RETURN, 1);
            return 0;
        }
        return CGuardedDialog::WindowProc(msg, wParam, lParam);
    }
};

}  // namespace

TEST(DialogData, OkEndsOnlyWhenTheControlsValidate)
{
    CDataDialog dialog;
    EXPECT_EQ(dialog.DoModal(nullptr), IDOK);
    EXPECT_EQ(dialog.shownAtInit, L"start") << "initialisation moves the members into the controls";
    EXPECT_EQ(dialog.okCalls, 2);
    EXPECT_EQ(dialog.setValidHandled, 1) << "the first Enter left the dialog running";
    EXPECT_EQ(dialog.value, L"ok");
}

namespace {

// Answers kEcho with its wParam, and WM_DRAWITEM (a message whose answer the
// dialog manager takes from DWLP_MSGRESULT) with TRUE.
constexpr UINT kEcho = WM_APP + 21;

class CEchoDialog : public CDialog {
public:
    explicit CEchoDialog(const DLGTEMPLATE* layout) : CDialog(layout) {}

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == kEcho)
            return static_cast<LRESULT>(wParam);
        return CDialog::WindowProc(msg, wParam, lParam);
    }
};

}  // namespace

TEST(DialogAnswers, EachMessageGetsItsOwnAnswerWhateverTheOneBefore)
{
    DialogTemplateBuilder layout(WS_POPUP, 60, 30);
    CEchoDialog dialog(layout.Get());
    ASSERT_TRUE(dialog.Create(nullptr));
    // The answer is stored only when it differs from the stored one: a run
    // of equal answers, and a change back to 0, must still each arrive.
    const LRESULT answers[] = {5, 5, 0, 0, 7, -1, 0, 5};
    for (LRESULT answer : answers)
        EXPECT_EQ(dialog.Send(kEcho, static_cast<WPARAM>(answer), 0), answer);
}
