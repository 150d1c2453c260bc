// CDialog: a dialog made from a dialog template, run modally or modelessly.
//
// Templates come from the executable's resources by id (resources/resource.h)
// or from memory (a DLGTEMPLATE the caller keeps alive while the dialog is
// being created).
//
// Modal: DoModal(owner) creates the dialog modeless, disables the owner, shows
// the dialog painted whole (its controls' first paints are sent, not queued)
// and runs a message loop of our own until EndDialog, so that every message of
// the loop passes the application's message filter (accelerators of the main
// window) and the pre-translation hooks first (the order is in MessagePump.h),
// in nested modal loops too. When the queue runs empty the loop calls the idle
// hook, ContinueModal. WM_QUIT ends the loop and is posted again for the loops
// outside it. When the loop ends the owner is enabled again and the window is
// destroyed (its WM_DESTROY handlers run); DoModal then answers the result.
// EndDialog may be called from any handler, also from OnInitDialog, in which
// case the dialog is never shown and no loop runs.
//
// Modeless: Create(parent) makes the window and leaves it to the caller;
// a template with WS_CHILD gives a child dialog (a settings page). EndDialog
// on a modeless dialog hides it and keeps the result.
//
// Message map: a derived class overrides WindowProc with a visible switch and
// hands everything else to CDialog::WindowProc, which routes
//     WM_INITDIALOG               -> bool OnInitDialog()    (true: the system sets the focus)
//     WM_COMMAND IDOK, BN_CLICKED -> void OnOK()            (the OK button and Enter)
//     WM_COMMAND IDCANCEL         -> void OnCancel()        (Cancel, Esc and the close box)
// and the rest to DefaultProc, the dialog manager's default handling. Handlers
// answer like window procedures: the LRESULT of the message (a brush for
// WM_CTLCOLOR*, the notification answer for WM_NOTIFY, ...); "default
// handling, then ours" is DefaultThen (Window.h), which runs the dialog
// manager's default first.
// A WM_CTLCOLOR* handler that answers 0 gets the default colours.
#pragma once

#include <vector>

#include "framework/DialogTemplate.h"
#include "framework/Window.h"

namespace kivra {

// DoModal's answer when the dialog could not be created, or when its loop
// ended without EndDialog (WM_QUIT, or the window destroyed by someone else).
constexpr INT_PTR kDialogFailed = -1;

class CDialog : public CWindow {
public:
    // Template from the resources of module (null: the application's module).
    explicit CDialog(UINT templateId, HINSTANCE module = nullptr);
    // Template in memory, not owned.
    explicit CDialog(const DLGTEMPLATE* memoryTemplate);

    // Runs the dialog modally on the calling thread; answers the EndDialog
    // result or kDialogFailed. owner may be null (no owner); a child window
    // stands for its top-level window. The desktop window and an owner of
    // another thread own the dialog without being disabled.
    INT_PTR DoModal(HWND owner = nullptr);
    // Creates the dialog modeless; it shows when its template says WS_VISIBLE.
    // It takes no focus as it is made, whatever OnInitDialog answers: its
    // first tab stop takes the focus when the dialog is first activated.
    bool Create(HWND parent);
    // Ends the modal loop with result after the running handler returns, or
    // hides a modeless dialog. Call it on the dialog's own thread; other
    // threads post WM_CLOSE or a message of their own.
    void EndDialog(INT_PTR result);
    INT_PTR Result() const { return result_; }
    bool IsModal() const { return modal_; }

    // Runs the data exchange between the controls and the members
    // (DoDataExchange); false when the values did not validate.
    bool UpdateData(bool fromControls);

    // The innermost dialog whose modal loop runs on the calling thread, or null.
    static CDialog* RunningModal();

    // Leaves the control id out when the dialog is made from its resource
    // template, for CreateDeferredControls to make later: a control that
    // costs to make and is not needed before the dialog first shows. Call it
    // for each such control before the dialog is made. A template that cannot
    // be read that way, or lacks one of them, makes them with the others.
    void DeferControl(UINT id) { deferredIds_.push_back(id); }
    // Makes the deferred controls not made yet, each as its template
    // describes it, with the dialog's font and in its place in the tab order.
    void CreateDeferredControls();
    // Where a deferred control is or will be, in client coordinates; empty
    // for a control that was not deferred.
    RECT DeferredControlRect(UINT id) const;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // The dialog manager's default handling of the message (DefDlgProcW).
    LRESULT DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // The base moves the members into the controls (UpdateData(false)) and answers true.
    virtual bool OnInitDialog();
    // The base takes the controls' data (UpdateData(true)) and, when it
    // validates, ends the dialog with IDOK. An empty override makes Enter do nothing.
    virtual void OnOK();
    // The base ends the dialog with IDCANCEL. An empty override makes Esc and
    // the close box do nothing.
    virtual void OnCancel();
    // Copies the members into the controls (fromControls false) or the
    // controls' values into the members; false when a value does not
    // validate. The base has nothing to exchange.
    virtual bool DoDataExchange(bool fromControls);
    // The idle hook of the modal loop: called each time the queue has run
    // empty after messages were handled. False ends the loop. The base answers
    // whether EndDialog is still to come.
    virtual bool ContinueModal();

private:
    bool CreateFromTemplate(HWND parent);
    // Takes the deferred controls out of a copy of the whole template into
    // templateWithoutDeferred_; false, with nothing deferred, when it cannot.
    bool LeaveOutDeferred(const std::vector<BYTE>& whole);
    // The loop proper; sets quit and quitCode when WM_QUIT ended it.
    void RunModalLoop(bool& quit, WPARAM& quitCode);
    static INT_PTR CALLBACK StaticDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    UINT templateId_ = 0;
    HINSTANCE module_ = nullptr;
    const DLGTEMPLATE* memoryTemplate_ = nullptr;
    std::vector<UINT> deferredIds_;
    std::vector<BYTE> templateWithoutDeferred_;  // what the dialog was made from, while deferred
    std::vector<TTemplateControl> deferred_;     // in template order; empty when made with the others

    bool modal_ = false;
    bool ending_ = false;
    INT_PTR result_ = kDialogFailed;
    // Set while DefaultProc runs DefDlgProcW, which calls our dialog procedure
    // first: that one call answers "not handled" so the default can run.
    bool skipNextDialogProc_ = false;
};

}  // namespace kivra
