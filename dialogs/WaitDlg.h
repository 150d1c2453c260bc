// CWaitDlg: the wait dialog, a borderless box with a line of text ("Please
// wait..." unless told otherwise) and an optional progress bar, shown while a
// plugin or the shell does something slow. Each opening runs its own modal
// loop on a thread of its own, so it keeps painting and ticking while the
// user-interface thread is busy.
//
// Plugins shape it through the exported wait functions (kivra_plugin.h), the
// shell through the same process-wide WaitSettings and "manager/ShowWaitDlg".
// The settings may be written before the dialog opens (they shape it) or
// while it is open (text, colours, brush and progress position show at the
// next tick or repaint; placement and range are taken once, at opening).
//
// Threads: the settings are written by any caller and read by the wait
// thread. Every value is copied under one small guard (a mutex held only for
// the copy), so a text is never seen half written. The background brush is
// shared: the dialog holds a reference to the brush it last handed to the
// system, so a brush replaced meanwhile is deleted only once nobody paints
// with it. The open state is one atomic word; opening moves it from closed to
// starting with a compare-and-swap, so two quick opens from two threads start
// one dialog.
#pragma once

#include <windows.h>

#include <memory>
#include <mutex>
#include <type_traits>

#include "framework/Dialog.h"
#include "framework/WindowRef.h"
#include "plugin/ManagerHost.h"

namespace kivra {

// The wait text: 255 characters and the terminator.
constexpr size_t kWaitTextUnits = 256;
constexpr wchar_t kDefaultWaitText[] = L"Please wait...";
constexpr int kDefaultProgressRange = 128;
constexpr float kDefaultHorizontalFactor = 0.5f;
constexpr float kDefaultVerticalFactor = 0.375f;
// Timer 1 refreshes the text and the progress position.
constexpr UINT_PTR kWaitRefreshTimer = 1;
constexpr UINT kWaitRefreshPeriodMs = 1000;
// Takes the wait text at once; answers 0.
constexpr UINT kWaitRefreshTextMessage = WM_USER + 101;
// Opening waits this long so that the dialog is up when the caller goes on.
constexpr DWORD kWaitOpenPauseMs = 100;

// A brush shared between the settings and the dialog painting with it.
using SharedBrush = std::shared_ptr<std::remove_pointer_t<HBRUSH>>;
// Takes ownership of brush (deleted with the last reference); null stays null.
SharedBrush MakeSharedBrush(HBRUSH brush);

// One consistent copy of the wait settings.
struct WaitSnapshot {
    bool showProgress = false;
    int rangeMax = kDefaultProgressRange;
    int position = 0;
    SharedBrush brush;  // none at first
    COLORREF textColour = 0;
    float horizontal = kDefaultHorizontalFactor;
    float vertical = kDefaultVerticalFactor;
    RECT sizeRect = {};
    wchar_t text[kWaitTextUnits] = {};
};

// The process-wide wait settings (see the header comment for the threads).
class WaitSettings {
public:
    WaitSettings();
    WaitSettings(const WaitSettings&) = delete;
    WaitSettings& operator=(const WaitSettings&) = delete;

    // showProgress 0 hides the bar; the low 16 bits of rangeMax are the range.
    void Init(int showProgress, int rangeMax, COLORREF background, COLORREF text);
    void SetBackgroundColour(COLORREF colour);
    // A pattern brush of bitmap; false (nothing changed) for a null bitmap or
    // one that is not a bitmap of at least one pixel. The caller keeps the bitmap.
    bool SetBackgroundImage(HBITMAP bitmap);
    void SetBackgroundBrush(SharedBrush brush);
    void SetProgressPosition(int position);
    void SetPlacement(float vertical, float horizontal);
    void SetSizeRect(const RECT& rect);
    void SetTextColour(COLORREF colour);
    // Cut to 255 characters; a null text changes nothing.
    void SetText(const wchar_t* text);

    WaitSnapshot Snapshot() const;
    // The defaults of a fresh process (for tests and a clean restart).
    void Reset();

private:
    mutable std::mutex guard_;  // held only while values_ is copied in or out
    WaitSnapshot values_;
};

// The one set of settings; never destroyed, so a wait thread still running at
// process exit never reads a destroyed object.
WaitSettings& TheWaitSettings();

// The dialog's size: the size rectangle's when it has left < right and
// top < bottom, else the window's own.
SIZE WaitDialogSize(const RECT& window, const RECT& sizeRect);
// Where a dialog of that size goes inside parentArea: the free width times the
// horizontal factor, the free height times the vertical one, truncated toward
// zero. A factor that is not a finite number counts as its default.
POINT WaitDialogPosition(const RECT& parentArea, SIZE dialog, float horizontal, float vertical);
// What placing the dialog needs to know of its parent window.
struct TWaitParent {
    bool visible = true;
    bool iconic = false;
    RECT window = {};    // its window rectangle (about -32000 while minimised)
    RECT restored = {};  // its restored rectangle, in screen coordinates
    RECT workArea = {};  // the work area of the monitor it is, or was last, on
};
// The area the dialog is placed over: the window's rectangle; while it is
// minimised its restored one; while it is hidden (in the tray) the work area.
RECT WaitParentArea(const TWaitParent& parent);
// at moved as little as needed for a dialog of size to lie wholly inside
// workArea (its top-left corner inside when it is larger).
POINT KeepInside(POINT at, SIZE size, const RECT& workArea);

// The top that centres a text of textHeight in a dialog of dialogHeight.
constexpr int CentredTextTop(int dialogHeight, int textHeight) { return (dialogHeight - textHeight) / 2; }

// Opening and closing, from any thread.
// Starts the wait thread with parent (null: the desktop) unless a dialog is
// open or opening, raises it above normal priority and pauses 100 ms. True
// when this call started it.
bool OpenWaitDialog(HWND parent);
// Posts WM_CLOSE to the open dialog; one still starting closes as soon as it
// is up. Nothing when none is open.
void CloseWaitDialog();
// The open dialog's window, or null (also while it is still starting).
HWND OpenWaitDialogWindow();
// True from OpenWaitDialog until the wait thread has ended the dialog.
bool WaitDialogActive();

// "manager/ShowWaitDlg": closes the dialog, or takes the values the request
// gives into the settings and then opens the dialog over host unless it is
// open.
void ShowWaitDialogRequest(const TWaitRequest& request, HWND host);

class CWaitDlg : public CDialog {
public:
    CWaitDlg(HWND parent);

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnInitDialog() override;
    bool DoDataExchange(bool fromControls) override;
    // Enter and Esc do not close it; WM_CLOSE does.
    void OnOK() override {}
    void OnCancel() override {}

private:
    void OnTimer(UINT_PTR id);                                 // WM_TIMER
    LRESULT OnCtlColor(UINT msg, HDC dc, HWND control);         // WM_CTLCOLORDLG, WM_CTLCOLORSTATIC
    void OnRefreshText();                                       // kWaitRefreshTextMessage
    void OnClose();                                             // WM_CLOSE
    // Sizes and places the dialog; answers its size.
    SIZE Place(const WaitSnapshot& settings);

    HWND parent_;
    WindowRef progress_;
    wchar_t displayed_[kWaitTextUnits];
    UINT_PTR timer_ = 0;
    bool showProgress_ = false;
    SharedBrush brushInUse_;  // the brush last handed to the system
};

}  // namespace kivra
