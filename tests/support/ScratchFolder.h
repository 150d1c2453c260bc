// A short folder of the test program's own for fixture files: products,
// skins and XML files whose paths must stay well within MAX_PATH wherever the
// checkout lies. It is %TEMP%\kv<process id>\, made on first use and removed
// when the program ends; the readers under test refuse paths past 259
// characters, so fixtures below a deep build folder would fail for the path,
// not for what they test.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

namespace kivra::testing {

namespace detail {

class ScratchRoot {
public:
    ScratchRoot()
    {
        wchar_t temp[MAX_PATH + 1] = {};
        const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
        std::wstring base = n > 0 && n <= MAX_PATH ? std::wstring(temp, n) : std::wstring(L"C:\\");
        if (base.back() != L'\\')
            base += L'\\';
        path_ = base + L"kv" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
        std::filesystem::create_directories(path_, ignored);
    }
    ~ScratchRoot()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
};

}  // namespace detail

// The scratch folder, with a trailing backslash.
inline const std::wstring& ScratchFolder()
{
    static detail::ScratchRoot root;
    return root.Path();
}

// A fresh, empty folder ScratchFolder() + name + "\" (name may hold
// backslashes); answers it with a trailing backslash.
inline std::wstring FreshScratchFolder(const std::wstring& name)
{
    const std::wstring folder = ScratchFolder() + name + L"\\";
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::filesystem::create_directories(folder, ignored);
    return folder;
}

}  // namespace kivra::testing
