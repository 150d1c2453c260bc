// Where the running test program and the product the build laid out are.
#pragma once

#include <windows.h>

#include <string>

namespace kivra::testing {

// The folder of this test program, with a trailing backslash; empty when the
// module path cannot be had.
inline std::wstring TestProgramFolder()
{
    wchar_t path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return {};
    const std::wstring text(path, n);
    const size_t slash = text.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : text.substr(0, slash + 1);
}

// The demo product's installed folder (build*\Kivra\), with a trailing
// backslash: every test program sits two levels below the build folder.
inline std::wstring DemoProductFolder()
{
    std::wstring path = TestProgramFolder() + L"..\\..\\Kivra\\";
    wchar_t full[MAX_PATH];
    const DWORD n = ::GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    return n > 0 && n < MAX_PATH ? std::wstring(full) : path;
}

// The demo product's database as the build made it (build*\demo-data\),
// before any run of the demo stored anything in the product's copy.
inline std::wstring DemoDatabaseAsMade()
{
    return DemoProductFolder() + L"..\\demo-data\\kivra.db";
}

}  // namespace kivra::testing
