// The folder the running program was started from, which is where the
// product keeps its configuration, log and plugins.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>

namespace kivra {

// The folder of the running executable with its trailing backslash, copied
// into out[capacity]; false when the module path cannot be had, has no
// backslash, or the folder does not fit.
bool ExecutableFolder(wchar_t* out, size_t capacity);

// The executable's folder followed by relative; empty when it does not fit.
std::wstring ExecutableRelativePath(const wchar_t* relative);

// Loads the library as a delay-loaded import's first call would (by name, in
// the usual search order) and keeps it loaded. True when it loaded and
// exports every entry: such a call cannot fail then, where a missing library
// or entry would end the program.
bool LoadLibraryWithEntries(const wchar_t* library, std::initializer_list<const char*> entries);

}  // namespace kivra
