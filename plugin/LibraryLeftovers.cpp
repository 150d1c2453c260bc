#include "plugin/LibraryLeftovers.h"

#include <cwchar>

namespace kivra {

namespace {

// The dialog class's name: its windows keep their own procedure at DWLP_DLGPROC.
constexpr wchar_t kDialogClassName[] = L"#32770";
constexpr int kClassNameUnits = 64;
constexpr int kWindowTextUnits = 64;

// A procedure read through the other character set's call is a thunk of the
// system's, not the code: both are asked.
bool ProcedureIn(HWND window, int index, const TCodeRange& range)
{
    return range.Holds(reinterpret_cast<const void*>(::GetWindowLongPtrW(window, index))) ||
           range.Holds(reinterpret_cast<const void*>(::GetWindowLongPtrA(window, index)));
}

struct TWindowSearch {
    const TCodeRange* range;
    std::vector<HWND> found;
};

BOOL CALLBACK NoteIfRunningCode(HWND window, LPARAM lParam)
{
    auto* search = reinterpret_cast<TWindowSearch*>(lParam);
    if (WindowRunsCodeIn(window, *search->range))
        search->found.push_back(window);
    return TRUE;
}

BOOL CALLBACK SearchTopLevel(HWND window, LPARAM lParam)
{
    NoteIfRunningCode(window, lParam);
    ::EnumChildWindows(window, NoteIfRunningCode, lParam);  // every descendant
    return TRUE;
}

std::wstring Describe(HWND window, const wchar_t* library)
{
    wchar_t className[kClassNameUnits] = {};
    wchar_t text[kWindowTextUnits] = {};
    ::GetClassNameW(window, className, kClassNameUnits);
    ::GetWindowTextW(window, text, kWindowTextUnits);
    return std::wstring(library) + L" was freed with a window still running its code (class \"" + className +
           L"\", text \"" + text + L"\"): destroyed";
}

}  // namespace

TCodeRange ModuleCodeRange(HMODULE module)
{
    TCodeRange range;
    if (module == nullptr)
        return range;
    const auto* base = reinterpret_cast<const unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew <= 0)
        return range;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE)
        return range;
    range.begin = reinterpret_cast<std::uintptr_t>(base);
    range.end = range.begin + nt->OptionalHeader.SizeOfImage;
    return range;
}

std::wstring LibraryFileName(HMODULE module)
{
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH + 1);
    const std::wstring full(path, length <= MAX_PATH ? length : 0);
    const size_t slash = full.find_last_of(L"\\/");
    return slash == std::wstring::npos ? full : full.substr(slash + 1);
}

bool WindowRunsCodeIn(HWND window, const TCodeRange& range)
{
    if (range.begin == range.end || !::IsWindow(window))
        return false;
    if (ProcedureIn(window, GWLP_WNDPROC, range))
        return true;
    if (range.Holds(reinterpret_cast<const void*>(::GetClassLongPtrW(window, GCLP_WNDPROC))) ||
        range.Holds(reinterpret_cast<const void*>(::GetClassLongPtrA(window, GCLP_WNDPROC))))
        return true;
    wchar_t className[kClassNameUnits] = {};
    ::GetClassNameW(window, className, kClassNameUnits);
    return std::wcscmp(className, kDialogClassName) == 0 && ProcedureIn(window, DWLP_DLGPROC, range);
}

std::vector<std::wstring> DestroyWindowsRunningCodeIn(const TCodeRange& range, const wchar_t* library)
{
    std::vector<std::wstring> lines;
    if (range.begin == range.end)
        return lines;
    TWindowSearch search{&range, {}};
    const DWORD thread = ::GetCurrentThreadId();
    ::EnumThreadWindows(thread, SearchTopLevel, reinterpret_cast<LPARAM>(&search));
    for (HWND window = ::FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); window != nullptr;
         window = ::FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr))
        if (::GetWindowThreadProcessId(window, nullptr) == thread)
            SearchTopLevel(window, reinterpret_cast<LPARAM>(&search));
    // Parents were found before their children: a child goes with its parent.
    for (HWND window : search.found) {
        if (!::IsWindow(window))
            continue;
        lines.push_back(Describe(window, library));
        ::DestroyWindow(window);
    }
    return lines;
}

}  // namespace kivra
