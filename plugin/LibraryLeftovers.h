// LibraryLeftovers: what a plugin library leaves reachable when it is freed.
//
// A plugin should destroy its windows and drop its callbacks in UnloadPlugin;
// one that does not leaves window procedures, service handlers and command
// callbacks whose code goes with the library. Right before a library is
// freed the loader destroys this thread's windows whose procedure lies in it
// and removes the service records whose handler does (the shell drops the
// command callbacks and bus listeners through its release handler), and says
// so in a line for each, so that no message, call or click can reach code
// that is gone.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kivra {

// The addresses of a loaded module's image: [begin, end).
struct TCodeRange {
    std::uintptr_t begin = 0;
    std::uintptr_t end = 0;
    bool Holds(const void* address) const
    {
        const auto at = reinterpret_cast<std::uintptr_t>(address);
        return at >= begin && at < end;
    }
};

// The image of module as its headers give it; empty for null or a module
// whose headers cannot be read.
TCodeRange ModuleCodeRange(HMODULE module);

// The file name of a loaded module (no folder), for the notes.
std::wstring LibraryFileName(HMODULE module);

// Whether window runs code of range: its window procedure (also one put in
// by subclassing), its class's procedure, or, for a dialog, its dialog
// procedure.
bool WindowRunsCodeIn(HWND window, const TCodeRange& range);

// Destroys every window of the calling thread (top-level, child and
// message-only) that runs code of range; answers one line per window,
// naming library and the window.
std::vector<std::wstring> DestroyWindowsRunningCodeIn(const TCodeRange& range, const wchar_t* library);

}  // namespace kivra
