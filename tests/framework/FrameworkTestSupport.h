// Helpers of the framework tests: in-memory dialog templates (tests/support), a dialog that
// ends itself when a test would otherwise hang, a host window class.
#pragma once

#include "framework/Dialog.h"
#include "framework/Window.h"
#include "tests/support/DialogTemplate.h"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace kivra::test {

using testing::DialogTemplateBuilder;

// What a modal test dialog answers when its guard timer fired.
constexpr INT_PTR kTimedOut = -99;
constexpr UINT_PTR kGuardTimer = 0x7E57;
constexpr UINT kGuardMilliseconds = 5000;

// A dialog whose modal loop cannot hang a test: a timer ends it with kTimedOut.
class CGuardedDialog : public CDialog {
public:
    using CDialog::CDialog;

protected:
    bool OnInitDialog() override
    {
        SetTimer(kGuardTimer, kGuardMilliseconds);
        return CDialog::OnInitDialog();
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_TIMER && wParam == kGuardTimer) {
            KillTimer(kGuardTimer);
            EndDialog(kTimedOut);
            return 0;
        }
        return CDialog::WindowProc(msg, wParam, lParam);
    }
};

// A window class of our own for test hosts and parents.
inline const wchar_t* TestWindowClass()
{
    static const ATOM atom = [] {
        WNDCLASSEXW windowClass{};
        windowClass.lpszClassName = L"KivraFrameworkTestWindow";
        windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        return CWindow::RegisterWindowClass(windowClass);
    }();
    return atom ? L"KivraFrameworkTestWindow" : nullptr;
}

// A plain top-level window to own dialogs and parent controls.
inline HWND CreateHostWindow(int width = 400, int height = 300)
{
    return ::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, width, height,
                             nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

inline void EnsureCommonControls()
{
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);
}

// Handles what is queued, outside any modal loop.
inline void PumpPending()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

}  // namespace kivra::test
