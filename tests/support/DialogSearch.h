// Finding a dialog (a message box, say) of a process by the text one of its
// children shows.
#pragma once

#include <windows.h>

#include <cwchar>

namespace kivra::testing {

namespace detail {

struct DialogSearch {
    DWORD processId;
    const wchar_t* text;
    bool visibleOnly;
    HWND found;
};

inline BOOL CALLBACK FindChildWithText(HWND child, LPARAM lParam)
{
    auto* search = reinterpret_cast<DialogSearch*>(lParam);
    wchar_t text[512];
    ::GetWindowTextW(child, text, 512);
    if (std::wcscmp(text, search->text) == 0) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

inline BOOL CALLBACK FindDialogWithText(HWND hwnd, LPARAM lParam)
{
    auto* search = reinterpret_cast<DialogSearch*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    wchar_t cls[64];
    ::GetClassNameW(hwnd, cls, 64);
    if (pid != search->processId || std::wcscmp(cls, L"#32770") != 0)
        return TRUE;
    if (search->visibleOnly && !::IsWindowVisible(hwnd))
        return TRUE;
    DialogSearch inner{search->processId, search->text, search->visibleOnly, nullptr};
    ::EnumChildWindows(hwnd, FindChildWithText, reinterpret_cast<LPARAM>(&inner));
    if (inner.found != nullptr) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace detail

// The top-level dialog (#32770) of the process holding a child with exactly
// this text, now; null when there is none. visibleOnly leaves hidden ones out.
inline HWND FindDialogWithChildText(DWORD processId, const wchar_t* text, bool visibleOnly)
{
    detail::DialogSearch search{processId, text, visibleOnly, nullptr};
    ::EnumWindows(detail::FindDialogWithText, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace kivra::testing
