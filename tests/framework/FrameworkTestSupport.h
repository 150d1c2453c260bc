// Helpers of the framework tests: in-memory dialog templates, a dialog that
// ends itself when a test would otherwise hang, a host window class.
#pragma once

#include "framework/Dialog.h"
#include "framework/Window.h"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace kivra::test {

// A DLGTEMPLATE built in memory: the dialog, then its items, each
// DWORD-aligned as the dialog manager wants them.
class DialogTemplateBuilder {
public:
    DialogTemplateBuilder(DWORD style, short cx, short cy, const wchar_t* caption = L"", DWORD exStyle = 0)
    {
        PushDword(style | DS_SETFONT);
        PushDword(exStyle);
        words_.push_back(0);  // item count, set by Get
        PushRect(0, 0, cx, cy);
        words_.push_back(0);  // no menu
        words_.push_back(0);  // the dialog class
        PushText(caption);
        words_.push_back(8);  // point size
        PushText(L"MS Shell Dlg");
    }

    DialogTemplateBuilder& Add(const wchar_t* className, const wchar_t* text, WORD id, DWORD style,
                               short x, short y, short cx, short cy)
    {
        if (words_.size() % 2)
            words_.push_back(0);
        PushDword(style | WS_CHILD | WS_VISIBLE);
        PushDword(0);
        PushRect(x, y, cx, cy);
        words_.push_back(id);
        PushText(className);
        PushText(text);
        words_.push_back(0);  // no creation data
        ++count_;
        return *this;
    }

    const DLGTEMPLATE* Get()
    {
        words_[4] = count_;
        return reinterpret_cast<const DLGTEMPLATE*>(words_.data());
    }

private:
    void PushRect(short x, short y, short cx, short cy)
    {
        for (short value : {x, y, cx, cy})
            words_.push_back(static_cast<WORD>(value));
    }
    void PushDword(DWORD value)
    {
        words_.push_back(LOWORD(value));
        words_.push_back(HIWORD(value));
    }
    void PushText(const wchar_t* text)
    {
        for (; *text; ++text)
            words_.push_back(static_cast<WORD>(*text));
        words_.push_back(0);
    }

    std::vector<WORD> words_;
    WORD count_ = 0;
};

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
