#include "framework/Dialog.h"

#include <algorithm>

#include "framework/App.h"
#include "framework/MessagePump.h"

namespace kivra {

namespace {

// Each thread runs its own modal loops (the wait dialog has a thread of its own).
thread_local CDialog* tRunningModal = nullptr;

// Messages whose answer a dialog procedure returns itself; for all others it
// returns TRUE and leaves the answer in DWLP_MSGRESULT.
bool AnswersDirectly(UINT msg)
{
    switch (msg) {
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
        return true;
    default:
        return false;
    }
}

}  // namespace

CDialog::CDialog(UINT templateId, HINSTANCE module) : templateId_(templateId), module_(module) {}

CDialog::CDialog(const DLGTEMPLATE* memoryTemplate) : memoryTemplate_(memoryTemplate) {}

CDialog* CDialog::RunningModal()
{
    return tRunningModal;
}

bool CDialog::CreateFromTemplate(HWND parent)
{
    HINSTANCE module = module_;
    if (!module)
        module = CApp::Current() ? CApp::Current()->Instance() : ::GetModuleHandleW(nullptr);
    auto self = reinterpret_cast<LPARAM>(this);
    const DLGTEMPLATE* memoryTemplate = memoryTemplate_;
    if (memoryTemplate == nullptr && LeaveOutDeferred(CopyDialogResource(module, templateId_)))
        memoryTemplate = reinterpret_cast<const DLGTEMPLATE*>(templateWithoutDeferred_.data());
    HWND hwnd = memoryTemplate
        ? ::CreateDialogIndirectParamW(module, memoryTemplate, parent, StaticDialogProc, self)
        : ::CreateDialogParamW(module, MAKEINTRESOURCEW(templateId_), parent, StaticDialogProc, self);
    if (!hwnd) {
        DetachObject();  // in case it got as far as WM_INITDIALOG
        return false;
    }
    ownsWindow_ = true;
    return true;
}

bool CDialog::Create(HWND parent)
{
    if (hwnd_)
        return false;
    modal_ = false;
    ending_ = false;
    result_ = kDialogFailed;
    return CreateFromTemplate(parent);
}

bool CDialog::LeaveOutDeferred(const std::vector<BYTE>& whole)
{
    templateWithoutDeferred_.clear();
    deferred_.clear();
    if (deferredIds_.empty())
        return false;
    std::vector<BYTE> without = whole;
    for (UINT id : deferredIds_) {
        // Described from the whole template: its index there is its place in
        // the tab order.
        std::vector<BYTE> copy = whole;
        TTemplateControl control, same;
        if (!TakeControlOut(&copy, id, &control) || !TakeControlOut(&without, id, &same)) {
            deferred_.clear();
            return false;
        }
        deferred_.push_back(std::move(control));
    }
    std::sort(deferred_.begin(), deferred_.end(),
              [](const TTemplateControl& a, const TTemplateControl& b) { return a.index < b.index; });
    templateWithoutDeferred_ = std::move(without);
    return true;
}

void CDialog::CreateDeferredControls()
{
    if (hwnd_ == nullptr)
        return;
    const auto font = static_cast<WPARAM>(::SendMessageW(hwnd_, WM_GETFONT, 0, 0));
    // In template order, so that all before each one are there to place it after.
    for (const TTemplateControl& deferred : deferred_) {
        if (::GetDlgItem(hwnd_, static_cast<int>(deferred.id)) != nullptr)
            continue;
        const RECT place = DeferredControlRect(deferred.id);
        // As the dialog manager makes its controls: no WM_PARENTNOTIFY, and a
        // border drawn as a sunken edge (the dialogs' three-dimensional look).
        DWORD style = deferred.style | WS_CHILD;
        DWORD exStyle = deferred.exStyle | WS_EX_NOPARENTNOTIFY;
        if ((style & WS_BORDER) != 0) {
            style &= ~WS_BORDER;
            exStyle |= WS_EX_CLIENTEDGE;
        }
        HWND control = ::CreateWindowExW(exStyle, deferred.className.c_str(), deferred.text.c_str(), style,
                                         place.left, place.top, place.right - place.left, place.bottom - place.top,
                                         hwnd_, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(deferred.id)),
                                         ::GetModuleHandleW(nullptr), nullptr);
        if (control == nullptr)
            continue;
        ::SendMessageW(control, WM_SETFONT, font, FALSE);
        // After the control made before it in the template: the tab order.
        HWND after = HWND_TOP;
        HWND child = ::GetWindow(hwnd_, GW_CHILD);
        for (size_t i = 0; i < deferred.index && child != nullptr; ++i) {
            after = child;
            child = ::GetWindow(child, GW_HWNDNEXT);
        }
        ::SetWindowPos(control, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

RECT CDialog::DeferredControlRect(UINT id) const
{
    RECT place = {};
    if (hwnd_ == nullptr)
        return place;
    if (HWND made = ::GetDlgItem(hwnd_, static_cast<int>(id)))
        return WindowRef(made).RectInParent();
    for (const TTemplateControl& deferred : deferred_) {
        if (deferred.id != id)
            continue;
        // Position and size converted each on its own, as the dialog manager does.
        RECT units = {deferred.position.x, deferred.position.y, deferred.size.cx, deferred.size.cy};
        ::MapDialogRect(hwnd_, &units);
        return {units.left, units.top, units.left + units.right, units.top + units.bottom};
    }
    return place;
}

INT_PTR CDialog::DoModal(HWND owner)
{
    if (hwnd_)
        return kDialogFailed;  // one window per object at a time

    // Disabled before the dialog exists, so activation goes to the dialog.
    // An owner of another thread is left alone: disabling it would wait for
    // that thread, which is busy when (like the wait dialog's owner) it has
    // handed its dialog to a thread of its own.
    HWND ownerRoot = owner ? ::GetAncestor(owner, GA_ROOT) : nullptr;
    if (ownerRoot == ::GetDesktopWindow() ||
        (ownerRoot && ::GetWindowThreadProcessId(ownerRoot, nullptr) != ::GetCurrentThreadId()))
        ownerRoot = nullptr;
    bool ownerDisabled = false;
    if (ownerRoot && ::IsWindowEnabled(ownerRoot)) {
        ::EnableWindow(ownerRoot, FALSE);
        ownerDisabled = true;
    }

    modal_ = true;
    ending_ = false;
    result_ = kDialogFailed;
    bool quit = false;
    WPARAM quitCode = 0;
    if (CreateFromTemplate(owner) && !ending_ && hwnd_) {
        CDialog* outer = tRunningModal;
        tRunningModal = this;
        if (!::IsWindowVisible(hwnd_)) {
            ::ShowWindow(hwnd_, SW_SHOWNORMAL);
            // Painted whole at once: left to the queue, each control's paint
            // is a trip through the window server and the pre-translation,
            // 60 ms for a skin of a thousand buttons under Wine.
            ::UpdateWindow(hwnd_);
        }
        RunModalLoop(quit, quitCode);
        tRunningModal = outer;
    }

    // The owner comes back before the dialog goes, so it takes the activation.
    if (ownerDisabled)
        ::EnableWindow(ownerRoot, TRUE);
    if (hwnd_) {
        if (ownerRoot && ::GetActiveWindow() == hwnd_)
            ::SetActiveWindow(ownerRoot);
        ::DestroyWindow(hwnd_);
        DetachObject();  // normally done at WM_NCDESTROY already
    }
    modal_ = false;
    if (quit) {
        ::PostQuitMessage(static_cast<int>(quitCode));
        return kDialogFailed;
    }
    return result_;
}

void CDialog::RunModalLoop(bool& quit, WPARAM& quitCode)
{
    bool idle = true;
    MSG lastMouseMove{};
    MSG msg{};
    for (;;) {
        if (idle && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            idle = false;
            if (!ContinueModal() || !hwnd_ || ending_)
                return;
            continue;  // the hook may have posted something
        }
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            quit = true;
            quitCode = msg.wParam;
            return;
        }
        if (got < 0)
            return;
        ProcessMessage(msg, this, MSGF_DIALOGBOX);
        if (!hwnd_ || ending_)
            return;
        if (RearmsIdle(msg, lastMouseMove))
            idle = true;
    }
}

void CDialog::EndDialog(INT_PTR result)
{
    result_ = result;
    if (modal_)
        ending_ = true;
    else if (hwnd_)
        ::ShowWindow(hwnd_, SW_HIDE);
}

bool CDialog::UpdateData(bool fromControls)
{
    return DoDataExchange(fromControls);
}

LRESULT CDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_INITDIALOG:
        return OnInitDialog() ? TRUE : FALSE;  // bool OnInitDialog()
    case WM_COMMAND:
        // Buttons, menus, and the dialog manager's Enter and Esc.
        if (HIWORD(wParam) == BN_CLICKED) {
            if (LOWORD(wParam) == IDOK) {
                OnOK();  // void OnOK()
                return 0;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                OnCancel();  // void OnCancel()
                return 0;
            }
        }
        break;
    }
    return DefaultProc(msg, wParam, lParam);
}

LRESULT CDialog::DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    HWND hwnd = hwnd_;
    if (!hwnd)
        return 0;
    skipNextDialogProc_ = true;
    LRESULT result = ::DefDlgProcW(hwnd, msg, wParam, lParam);
    skipNextDialogProc_ = false;
    return result;
}

bool CDialog::OnInitDialog()
{
    UpdateData(false);
    return true;
}

void CDialog::OnOK()
{
    if (UpdateData(true))
        EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

bool CDialog::DoDataExchange(bool)
{
    return true;
}

bool CDialog::ContinueModal()
{
    return !ending_;
}

INT_PTR CALLBACK CDialog::StaticDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* self = dynamic_cast<CDialog*>(ObjectOf(hwnd));
    if (!self && msg == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        if (!self || self->hwnd_)
            return FALSE;
        self->AttachObject(hwnd);
    }
    // Before WM_INITDIALOG (WM_SETFONT) the dialog manager works alone.
    if (!self)
        return FALSE;
    if (self->skipNextDialogProc_) {
        self->skipNextDialogProc_ = false;
        return FALSE;
    }

    const LRESULT result = RouteGuarded(self, hwnd, msg, wParam, lParam);
    // A modeless dialog is mostly made hidden, ahead of its use. Given the
    // focus, the dialog manager would make that hidden window the active
    // one, away from the window the user is in (about 1.4 ms under Wine).
    // Activated later, the dialog's first tab stop takes the focus.
    if (msg == WM_INITDIALOG && !self->modal_)
        return FALSE;
    if (AnswersDirectly(msg))
        return static_cast<INT_PTR>(result);
    // Stored only when it changes: under Wine each store is a round trip to
    // the window server, and most answers are the 0 stored already (a
    // thousand-button skin sends its window two thousand messages to paint).
    if (::GetWindowLongPtrW(hwnd, DWLP_MSGRESULT) != result)
        ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}

}  // namespace kivra
