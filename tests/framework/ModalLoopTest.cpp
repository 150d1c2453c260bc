// The modal loop of CDialog::DoModal: results, the order in which a message
// meets the application's filter, the pre-translation and the dialog, idle,
// WM_QUIT, nesting. Every dialog here ends itself (CGuardedDialog) if a
// message it waits for never comes.
#include "framework/App.h"
#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "FrameworkTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kivra;
using namespace kivra::test;

namespace {

constexpr UINT kProbe = WM_APP + 10;
constexpr UINT kSwallowed = WM_APP + 11;
constexpr UINT kFinish = WM_APP + 12;
constexpr UINT kRunInner = WM_APP + 13;
constexpr UINT kWork = WM_APP + 14;
constexpr WORD kAcceleratorCommand = 0x4321;
constexpr INT_PTR kFinished = 42;
constexpr INT_PTR kClosed = 77;
constexpr INT_PTR kInnerDone = 5;
constexpr INT_PTR kOuterDone = 6;
constexpr int kEditId = 100;

std::vector<std::string> gLog;

const char* Name(UINT msg)
{
    switch (msg) {
    case kProbe: return "probe";
    case kSwallowed: return "swallowed";
    case kFinish: return "finish";
    default: return nullptr;
    }
}

// An application whose filter records the test messages, swallows
// kSwallowed and translates the accelerators of one window.
class CRecordingApp : public CApp {
public:
    int lastCode = -1;
    HACCEL accelerators = nullptr;
    CWindow* acceleratorWindow = nullptr;

    bool ProcessMessageFilter(int code, MSG* msg) override
    {
        if (const char* name = Name(msg->message)) {
            gLog.push_back(std::string("filter ") + name);
            lastCode = code;
        }
        if (accelerators && acceleratorWindow && (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) &&
            ::TranslateAcceleratorW(acceleratorWindow->Handle(), accelerators, msg))
            return true;
        return msg->message == kSwallowed;
    }
};

// The smallest dialog with a caption; DoModal shows it.
const DLGTEMPLATE* PlainTemplate()
{
    static DialogTemplateBuilder layout(WS_POPUP | WS_CAPTION | WS_SYSMENU, 160, 90, L"modal");
    return layout.Get();
}

// A dialog with an edit and OK and Cancel buttons, OK the default one.
const DLGTEMPLATE* KeysTemplate()
{
    static DialogTemplateBuilder layout = [] {
        DialogTemplateBuilder built(WS_POPUP | WS_CAPTION | WS_SYSMENU, 160, 90, L"keys");
        built.Add(L"EDIT", L"", kEditId, WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 5, 5, 100, 14)
            .Add(L"BUTTON", L"OK", IDOK, WS_TABSTOP | BS_DEFPUSHBUTTON, 5, 60, 50, 14)
            .Add(L"BUTTON", L"Cancel", IDCANCEL, WS_TABSTOP | BS_PUSHBUTTON, 60, 60, 50, 14);
        return built;
    }();
    return layout.Get();
}

class CHostFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        gLog.clear();
        host = CreateHostWindow();
        ASSERT_NE(host, nullptr);
    }
    void TearDown() override { ::DestroyWindow(host); }
    HWND host = nullptr;
};

// Ends with a chosen result: in OnInitDialog, on a posted message, or by
// destroying its own window.
class CEndingDialog : public CGuardedDialog {
public:
    enum class How { InInit, OnMessage, DestroyWindow };
    CEndingDialog(How how, INT_PTR result) : CGuardedDialog(PlainTemplate()), how_(how), result_(result) {}
    HWND made = nullptr;
    int shows = 0;
    bool destroyed = false;
    bool ownerEnabledInLoop = true;

protected:
    bool OnInitDialog() override
    {
        made = Handle();
        bool focus = CGuardedDialog::OnInitDialog();
        if (how_ == How::InInit)
            EndDialog(result_);
        else
            Post(kFinish);
        return focus;
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        switch (msg) {
        case WM_SHOWWINDOW:
            shows += wParam != FALSE;
            break;
        case WM_DESTROY:
            destroyed = true;
            break;
        case kFinish:
            ownerEnabledInLoop = ::IsWindowEnabled(::GetWindow(Handle(), GW_OWNER)) != FALSE;
            if (how_ == How::DestroyWindow)
                ::DestroyWindow(Handle());
            else
                EndDialog(result_);
            return 0;
        }
        return CGuardedDialog::WindowProc(msg, wParam, lParam);
    }

private:
    How how_;
    INT_PTR result_;
};

}  // namespace

TEST_F(CHostFixture, DoModalAnswersTheEndDialogResultAndCleansUp)
{
    CEndingDialog dialog(CEndingDialog::How::OnMessage, kFinished);
    EXPECT_EQ(dialog.DoModal(host), kFinished);
    EXPECT_FALSE(dialog.ownerEnabledInLoop) << "the owner is disabled while the dialog runs";
    EXPECT_TRUE(::IsWindowEnabled(host));
    EXPECT_GE(dialog.shows, 1);
    EXPECT_TRUE(dialog.destroyed) << "the window is destroyed through the dialog's own handlers";
    EXPECT_FALSE(::IsWindow(dialog.made));
    EXPECT_EQ(dialog.Handle(), nullptr);
    EXPECT_EQ(CDialog::RunningModal(), nullptr);

    // The object can run again.
    EXPECT_EQ(dialog.DoModal(host), kFinished);
}

TEST_F(CHostFixture, EndDialogDuringInitialisationSkipsTheLoopAndNeverShows)
{
    CEndingDialog dialog(CEndingDialog::How::InInit, 7);
    EXPECT_EQ(dialog.DoModal(host), 7);
    EXPECT_EQ(dialog.shows, 0);
    EXPECT_FALSE(::IsWindow(dialog.made));
    EXPECT_TRUE(::IsWindowEnabled(host));
}

TEST_F(CHostFixture, DialogDestroyedFromOutsideEndsItsLoop)
{
    CEndingDialog dialog(CEndingDialog::How::DestroyWindow, kFinished);
    EXPECT_EQ(dialog.DoModal(host), kDialogFailed);
    EXPECT_TRUE(::IsWindowEnabled(host));
}

TEST_F(CHostFixture, MissingTemplateFailsAndLeavesTheOwnerEnabled)
{
    CDialog missing(0x7FFF);
    EXPECT_EQ(missing.DoModal(host), kDialogFailed);
    EXPECT_TRUE(::IsWindowEnabled(host));
}

namespace {

class COrderDialog : public CGuardedDialog {
public:
    COrderDialog() : CGuardedDialog(PlainTemplate()) {}
    bool PreTranslateMessage(MSG* msg) override
    {
        if (const char* name = Name(msg->message))
            gLog.push_back(std::string("pre ") + name);
        return false;
    }

protected:
    bool OnInitDialog() override
    {
        Post(kProbe);
        Post(kSwallowed);
        Post(kFinish);
        return CGuardedDialog::OnInitDialog();
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (const char* name = Name(msg))
            gLog.push_back(std::string("handle ") + name);
        if (msg == kFinish) {
            HWND owner = ::GetWindow(Handle(), GW_OWNER);
            ownerEnabledAtFinish = owner && ::IsWindowEnabled(owner);
            EndDialog(kFinished);
        }
        return CGuardedDialog::WindowProc(msg, wParam, lParam);
    }

public:
    bool ownerEnabledAtFinish = false;
};

struct ThreadRun {
    HWND owner;
    INT_PTR result = 0;
    bool ownerEnabled = false;
};

DWORD WINAPI RunOrderDialog(void* parameter)
{
    auto* run = static_cast<ThreadRun*>(parameter);
    COrderDialog dialog;
    run->result = dialog.DoModal(run->owner);
    run->ownerEnabled = dialog.ownerEnabledAtFinish;
    return 0;
}

}  // namespace

TEST_F(CHostFixture, FilterRunsFirstThenPreTranslationThenTheDialog)
{
    CRecordingApp app;
    COrderDialog dialog;
    EXPECT_EQ(dialog.DoModal(host), kFinished);
    std::vector<std::string> expected = {"filter probe", "pre probe",    "handle probe", "filter swallowed",
                                         "filter finish", "pre finish", "handle finish"};
    EXPECT_EQ(gLog, expected) << "the filter consumed 'swallowed' before anyone else saw it";
    EXPECT_EQ(app.lastCode, MSGF_DIALOGBOX);
}

TEST_F(CHostFixture, DialogOnAThreadOfItsOwnRunsWithoutTheFilterAndLeavesItsOwnerEnabled)
{
    // The application and the owner belong to the test's thread; a thread
    // like the wait dialog's runs its own modal loop without either.
    CRecordingApp app;
    ThreadRun run{host};
    HANDLE thread = ::CreateThread(nullptr, 0, RunOrderDialog, &run, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    UniqueKernelHandle owned(thread);
    // This thread keeps answering, in case the other one sends it anything.
    while (::MsgWaitForMultipleObjects(1, &thread, FALSE, 10000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
        PumpPending();
    EXPECT_EQ(run.result, kFinished);
    EXPECT_TRUE(run.ownerEnabled) << "an owner of another thread is not disabled";
    std::vector<std::string> expected = {"pre probe",    "handle probe", "pre swallowed", "handle swallowed",
                                         "pre finish", "handle finish"};
    EXPECT_EQ(gLog, expected);
}

namespace {

struct KeyCase {
    const char* name;
    bool emptyHooks;  // OnOK and OnCancel do nothing, WM_CLOSE ends the dialog
    UINT key;         // 0: no key, only WM_CLOSE
    INT_PTR expected;
    int okCalls;
    int cancelCalls;
};

class CKeyDialog : public CGuardedDialog {
public:
    explicit CKeyDialog(const KeyCase& keys) : CGuardedDialog(KeysTemplate()), keys_(keys) {}
    int okCalls = 0;
    int cancelCalls = 0;

protected:
    bool OnInitDialog() override
    {
        if (keys_.key)
            Post(WM_KEYDOWN, keys_.key, 1);
        Post(WM_CLOSE);
        return CGuardedDialog::OnInitDialog();
    }
    void OnOK() override
    {
        ++okCalls;
        if (!keys_.emptyHooks)
            CGuardedDialog::OnOK();
    }
    void OnCancel() override
    {
        ++cancelCalls;
        if (!keys_.emptyHooks)
            CGuardedDialog::OnCancel();
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_CLOSE && keys_.emptyHooks) {
            EndDialog(kClosed);  // void OnClose()
            return 0;
        }
        return CGuardedDialog::WindowProc(msg, wParam, lParam);
    }

private:
    KeyCase keys_;
};

}  // namespace

TEST_F(CHostFixture, EnterAndEscapeGoThroughOkAndCancel)
{
    const KeyCase cases[] = {
        {"Enter with an empty OK does nothing", true, VK_RETURN, kClosed, 1, 0},
        {"Esc with an empty Cancel does nothing", true, VK_ESCAPE, kClosed, 0, 1},
        {"Enter ends with IDOK", false, VK_RETURN, IDOK, 1, 0},
        {"Esc ends with IDCANCEL", false, VK_ESCAPE, IDCANCEL, 0, 1},
        {"the close box is Cancel", false, 0, IDCANCEL, 0, 1},
    };
    for (const KeyCase& keys : cases) {
        CKeyDialog dialog(keys);
        EXPECT_EQ(dialog.DoModal(host), keys.expected) << keys.name;
        EXPECT_EQ(dialog.okCalls, keys.okCalls) << keys.name;
        EXPECT_EQ(dialog.cancelCalls, keys.cancelCalls) << keys.name;
    }
}

namespace {

// Counts the idle calls and the messages handled before each.
class CIdleDialog : public CGuardedDialog {
public:
    explicit CIdleDialog(bool endByAnswer) : CGuardedDialog(PlainTemplate()), endByAnswer_(endByAnswer) {}
    int handled = 0;
    std::vector<int> handledAtIdle;

protected:
    bool OnInitDialog() override
    {
        for (int i = 0; i < 3; ++i)
            Post(kWork);
        return CGuardedDialog::OnInitDialog();
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == kWork) {
            ++handled;
            return 0;
        }
        return CGuardedDialog::WindowProc(msg, wParam, lParam);
    }
    bool ContinueModal() override
    {
        handledAtIdle.push_back(handled);
        if (handledAtIdle.size() == 1) {
            Post(kWork);  // more work: the hook runs again once it is done
        } else if (endByAnswer_) {
            return false;
        } else {
            EndDialog(kFinished);
        }
        return CGuardedDialog::ContinueModal();
    }

private:
    bool endByAnswer_;
};

}  // namespace

TEST_F(CHostFixture, IdleHookRunsEachTimeTheQueueRunsEmpty)
{
    CIdleDialog dialog(false);
    EXPECT_EQ(dialog.DoModal(host), kFinished);
    EXPECT_EQ(dialog.handledAtIdle, (std::vector<int>{3, 4}));
}

TEST_F(CHostFixture, IdleHookAnsweringFalseEndsTheLoop)
{
    CIdleDialog dialog(true);
    EXPECT_EQ(dialog.DoModal(host), kDialogFailed) << "ended without EndDialog";
    EXPECT_EQ(dialog.handledAtIdle, (std::vector<int>{3, 4}));
    EXPECT_TRUE(::IsWindowEnabled(host));
}

namespace {

// Counts the controls' paints that came through the loop, and the controls
// still to be painted at the first idle moment.
class CPaintDialog : public CGuardedDialog {
public:
    CPaintDialog() : CGuardedDialog(KeysTemplate()) {}
    int paintsThroughTheLoop = 0;
    int unpaintedAtIdle = 0;

protected:
    bool PreTranslateMessage(MSG* msg) override
    {
        // The running dialog is offered every message of its loop, its host's too.
        paintsThroughTheLoop += msg->message == WM_PAINT && ::GetParent(msg->hwnd) == Handle();
        return CGuardedDialog::PreTranslateMessage(msg);
    }
    bool ContinueModal() override
    {
        for (HWND child = ::GetWindow(Handle(), GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
            unpaintedAtIdle += ::GetUpdateRect(child, nullptr, FALSE) != FALSE;
        EndDialog(kFinished);
        return CGuardedDialog::ContinueModal();
    }
};

}  // namespace

TEST_F(CHostFixture, DialogIsPaintedWholeAsItShowsNotMessageByMessage)
{
    // Sent at once, a thousand controls paint without a thousand trips
    // through the queue and the pre-translation.
    CPaintDialog dialog;
    EXPECT_EQ(dialog.DoModal(host), kFinished);
    EXPECT_EQ(dialog.unpaintedAtIdle, 0);
    EXPECT_EQ(dialog.paintsThroughTheLoop, 0);
}

namespace {

// Runs `inner` modally from a posted message; the inner dialog quits the
// thread (quitInner) or is ended by an accelerator command to this dialog.
class COuterDialog : public CGuardedDialog {
public:
    explicit COuterDialog(CDialog& inner) : CGuardedDialog(PlainTemplate()), inner_(inner) {}
    bool endAfterInner = true;
    INT_PTR innerResult = 0;
    bool returnedFromInner = false;
    CDialog* runningAtCommand = nullptr;
    bool enabledDuringInner = true;

protected:
    bool OnInitDialog() override
    {
        Post(kRunInner);
        return CGuardedDialog::OnInitDialog();
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        switch (msg) {
        case kRunInner:
            innerResult = inner_.DoModal(Handle());
            returnedFromInner = true;
            if (endAfterInner)
                EndDialog(kOuterDone);
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == kAcceleratorCommand && HIWORD(wParam) == 1) {
                runningAtCommand = RunningModal();
                enabledDuringInner = IsEnabled();
                inner_.EndDialog(kInnerDone);
                return 0;
            }
            break;
        }
        return CGuardedDialog::WindowProc(msg, wParam, lParam);
    }

private:
    CDialog& inner_;
};

// Posts itself a key (or quits the thread) as soon as it runs.
class CInnerDialog : public CGuardedDialog {
public:
    explicit CInnerDialog(bool quit) : CGuardedDialog(PlainTemplate()), quit_(quit) {}
    int keysSeen = 0;
    bool PreTranslateMessage(MSG* msg) override
    {
        keysSeen += msg->message == WM_KEYDOWN;
        return false;
    }

protected:
    bool OnInitDialog() override
    {
        if (quit_)
            ::PostQuitMessage(3);
        else
            Post(WM_KEYDOWN, 'K', 1);
        return CGuardedDialog::OnInitDialog();
    }

private:
    bool quit_;
};

}  // namespace

TEST_F(CHostFixture, AcceleratorsOfTheFilterWorkInsideANestedModalLoop)
{
    CRecordingApp app;
    ACCEL key{FVIRTKEY, 'K', kAcceleratorCommand};
    UniqueAccel table(::CreateAcceleratorTableW(&key, 1));
    app.accelerators = table.get();

    CInnerDialog inner(false);
    COuterDialog outer(inner);
    app.acceleratorWindow = &outer;  // the main window's accelerators
    EXPECT_EQ(outer.DoModal(host), kOuterDone);
    EXPECT_EQ(outer.innerResult, kInnerDone);
    EXPECT_EQ(outer.runningAtCommand, &inner) << "the command came while the inner loop ran";
    EXPECT_FALSE(outer.enabledDuringInner) << "the inner dialog disables the outer one";
    EXPECT_EQ(inner.keysSeen, 0) << "the filter consumed the key";
    EXPECT_TRUE(::IsWindowEnabled(host));
}

TEST_F(CHostFixture, QuitEndsEveryLoopAndIsPostedAgainForTheOutermost)
{
    CInnerDialog inner(true);
    COuterDialog outer(inner);
    outer.endAfterInner = false;  // only the quit ends it
    EXPECT_EQ(outer.DoModal(host), kDialogFailed);
    EXPECT_TRUE(outer.returnedFromInner);
    EXPECT_EQ(outer.innerResult, kDialogFailed);
    MSG quit{};
    ASSERT_TRUE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "WM_QUIT is left for the caller";
    EXPECT_EQ(quit.wParam, 3u);
    EXPECT_TRUE(::IsWindowEnabled(host));
}

namespace {

// Records the probe messages its pre-translation sees.
class CWatchingDialog : public CGuardedDialog {
public:
    CWatchingDialog(const DLGTEMPLATE* layout, const char* name) : CGuardedDialog(layout), name_(name) {}
    HWND probeTarget = nullptr;  // set: post a probe there, then end
    std::vector<HWND> seen;
    bool PreTranslateMessage(MSG* msg) override
    {
        if (msg->message == kProbe) {
            gLog.push_back(name_);
            seen.push_back(msg->hwnd);
        }
        return false;
    }

protected:
    bool OnInitDialog() override
    {
        if (probeTarget) {
            ::PostMessageW(probeTarget, kProbe, 0, 0);
            Post(kFinish);
        }
        return CGuardedDialog::OnInitDialog();
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == kFinish) {
            EndDialog(kFinished);
            return 0;
        }
        return CGuardedDialog::WindowProc(msg, wParam, lParam);
    }

private:
    const char* name_;
};

}  // namespace

TEST_F(CHostFixture, ModelessDialogsPreTranslateTheirMessagesInsideAModalLoop)
{
    CWatchingDialog modeless(KeysTemplate(), "modeless");
    ASSERT_TRUE(modeless.Create(nullptr));
    HWND edit = modeless.Item(kEditId);

    CWatchingDialog running(PlainTemplate(), "running");
    running.probeTarget = edit;
    EXPECT_EQ(running.DoModal(host), kFinished);
    EXPECT_EQ(gLog, (std::vector<std::string>{"modeless", "running"}))
        << "the target's own dialog first, then the running dialog";
    ASSERT_EQ(modeless.seen.size(), 1u);
    EXPECT_EQ(modeless.seen[0], edit);
}
