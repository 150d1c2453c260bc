#include "framework/ModulePath.h"

#include "framework/Text.h"

#include <windows.h>

#include <cwchar>

namespace kivra {

bool ExecutableFolder(wchar_t* out, size_t capacity)
{
    // One unit more than MAX_PATH so that a full-length path is told apart
    // from one GetModuleFileNameW had to cut.
    wchar_t path[MAX_PATH + 1];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH)
        return false;
    wchar_t* lastBackslash = std::wcsrchr(path, L'\\');
    if (lastBackslash == nullptr)
        return false;
    lastBackslash[1] = 0;
    return CopyText(out, capacity, path);
}

std::wstring ExecutableRelativePath(const wchar_t* relative)
{
    wchar_t path[kMaxPathChars + 1];
    if (!ExecutableFolder(path, kMaxPathChars + 1) || !AppendText(path, relative))
        return {};
    return path;
}

bool LoadLibraryWithEntries(const wchar_t* library, std::initializer_list<const char*> entries)
{
    const HMODULE module = ::LoadLibraryW(library);
    if (module == nullptr)
        return false;
    for (const char* entry : entries)
        if (::GetProcAddress(module, entry) == nullptr)
            return false;
    return true;
}

}  // namespace kivra
