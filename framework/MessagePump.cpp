#include "framework/MessagePump.h"

#include "framework/App.h"
#include "framework/CrashContext.h"
#include "framework/Dialog.h"

namespace kivra {

namespace {

constexpr UINT kCaretBlinkTimerMessage = 0x0118;  // WM_SYSTIMER

bool FilterThroughApplication(MSG& msg, int filterCode)
{
    CApp* app = CApp::Current();
    return app && app->ThreadId() == ::GetCurrentThreadId() && app->ProcessMessageFilter(filterCode, &msg);
}

bool PreTranslateThroughWindows(MSG& msg, CDialog* running)
{
    bool runningOffered = false;
    for (HWND hwnd = msg.hwnd; hwnd;
         hwnd = (::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD) ? ::GetParent(hwnd) : nullptr) {
        if (CWindow* window = CWindow::FromHandle(hwnd)) {
            runningOffered = runningOffered || window == running;
            if (window->PreTranslateMessage(&msg))
                return true;
        }
    }
    return running && !runningOffered && running->PreTranslateMessage(&msg);
}

bool TranslateForDialog(MSG& msg, CDialog* running)
{
    HWND root = msg.hwnd ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    CDialog* dialog = dynamic_cast<CDialog*>(CWindow::FromHandle(root));
    if (!dialog)
        dialog = running;
    return dialog && dialog->Handle() && ::IsDialogMessageW(dialog->Handle(), &msg);
}

}  // namespace

void ProcessMessage(MSG& msg, CDialog* running, int filterCode)
{
    if (FilterThroughApplication(msg, filterCode))
        return;
    if (PreTranslateThroughWindows(msg, running))
        return;
    if (TranslateForDialog(msg, running))
        return;
    ::TranslateMessage(&msg);
    // A crash report names the window whose procedure was running.
    PluginCallScope dispatching(msg.hwnd, msg.message);
    ::DispatchMessageW(&msg);
}

bool RearmsIdle(const MSG& msg, MSG& lastMouseMove)
{
    switch (msg.message) {
    case WM_PAINT:
    case kCaretBlinkTimerMessage:
        return false;
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE: {
        bool moved = msg.message != lastMouseMove.message || msg.hwnd != lastMouseMove.hwnd ||
                     msg.pt.x != lastMouseMove.pt.x || msg.pt.y != lastMouseMove.pt.y;
        lastMouseMove = msg;
        return moved;
    }
    default:
        return true;
    }
}

}  // namespace kivra
