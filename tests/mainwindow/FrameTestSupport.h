// Windows for the main-window tests: a plain dialog made from a template in
// memory. Bitmaps painted pixel by pixel come from tests/support/Bitmaps.h.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/Bitmaps.h"
#include "tests/support/DialogTemplate.h"

namespace kivra::testing {

// A modeless dialog of the given style and size in dialog units, hidden,
// that records the WM_COMMAND ids it receives.
class TestDialog {
public:
    static constexpr DWORD kFramedStyle =
        WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME;

    explicit TestDialog(short width = 200, short height = 120, DWORD style = kFramedStyle)
        : template_(style, width, height, L"", 0, nullptr)
    {
        hwnd_ = ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr), template_.Get(), nullptr, &DialogProc,
                                             reinterpret_cast<LPARAM>(this));
    }
    ~TestDialog()
    {
        if (hwnd_)
            ::DestroyWindow(hwnd_);
    }
    TestDialog(const TestDialog&) = delete;
    TestDialog& operator=(const TestDialog&) = delete;

    HWND hwnd() const { return hwnd_; }
    RECT WindowRect() const
    {
        RECT rect = {};
        ::GetWindowRect(hwnd_, &rect);
        return rect;
    }
    const std::vector<WORD>& Commands() const { return commands_; }

    // A child push button with the given control id.
    HWND AddButton(int id)
    {
        return ::CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE, 0, 0, 20, 20, hwnd_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    }

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (msg == WM_INITDIALOG)
            ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        auto* self = reinterpret_cast<TestDialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
        if (msg == WM_COMMAND && self != nullptr) {
            self->commands_.push_back(LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    }

    DialogTemplateBuilder template_;  // no controls, the system font
    HWND hwnd_ = nullptr;
    std::vector<WORD> commands_;
};

// The message of the given kind posted to hwnd, taken from the queue; false
// when there is none.
inline bool TakePosted(HWND hwnd, UINT message, MSG* msg)
{
    return ::PeekMessageW(msg, hwnd, message, message, PM_REMOVE) != FALSE;
}

}  // namespace kivra::testing
