// Fixture files of the tests: UTF-8 texts, whole files written and read at
// once, and paths written the Windows way.
#pragma once

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace kivra::testing {

// text as UTF-8, without a byte-order mark.
inline std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(size > 0 ? size : 0, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                          nullptr);
    return bytes;
}

// path with backslashes only, as the product writes its paths.
inline std::wstring WindowsPath(const std::filesystem::path& path)
{
    std::wstring text = path.wstring();
    for (wchar_t& c : text)
        if (c == L'/')
            c = L'\\';
    return text;
}

// Writes the file afresh (its folder must exist); false when it cannot be
// opened or not every byte was written.
inline bool WriteFileBytes(const std::wstring& path, const void* data, size_t size)
{
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
    ::CloseHandle(file);
    return ok;
}

inline bool WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    return WriteFileBytes(path, bytes.data(), bytes.size());
}

// The file's bytes; empty when it cannot be read.
inline std::string ReadFileBytes(const std::wstring& path)
{
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace kivra::testing
