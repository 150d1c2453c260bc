#include "framework/DiskFile.h"

#include "framework/Handles.h"

#include <windows.h>

#include <cwctype>
#include <new>
#include <string_view>

namespace kivra {

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool SameLetters(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towupper(a[i]) != std::towupper(b[i]))
            return false;
    return true;
}

// The digits that follow COM and LPT in a device name: 0 to 9 and the
// superscripts 1, 2 and 3, which Windows takes for the same ports.
bool IsPortDigit(wchar_t c) { return (c >= L'0' && c <= L'9') || c == 0x00B9 || c == 0x00B2 || c == 0x00B3; }

// name is one path part: the system looks only at what comes before its
// first dot or colon, without trailing blanks.
bool IsDeviceName(std::wstring_view name)
{
    const size_t end = name.find_first_of(L".:");
    if (end != std::wstring_view::npos)
        name = name.substr(0, end);
    while (!name.empty() && name.back() == L' ')
        name.remove_suffix(1);
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$"})
        if (SameLetters(name, device))
            return true;
    return name.size() == 4 && (SameLetters(name.substr(0, 3), L"COM") || SameLetters(name.substr(0, 3), L"LPT")) &&
           IsPortDigit(name[3]);
}

}  // namespace

bool NamesDevice(const wchar_t* path)
{
    if (path == nullptr)
        return false;
    const std::wstring_view text(path);
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = start;
        while (end < text.size() && !IsSeparator(text[end]))
            ++end;
        if (IsDeviceName(text.substr(start, end - start)))
            return true;
        start = end + 1;
    }
    return false;
}

bool IsRegularDiskFile(const wchar_t* path)
{
    if (path == nullptr || path[0] == 0 || NamesDevice(path))
        return false;
    const DWORD attributes = ::GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
        return false;
    // The name alone does not tell a pipe or a device that a link or a mount
    // put into a folder; the opened handle does. No access is asked for, so
    // opening reads nothing and cannot wait.
    UniqueFile file(::CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && ::GetFileType(file.get()) == FILE_TYPE_DISK;
}

HICON LoadIconFile(const wchar_t* path)
{
    if (!IsRegularDiskFile(path))
        return nullptr;
    return static_cast<HICON>(::LoadImageW(nullptr, path, IMAGE_ICON, 0, 0, LR_LOADFROMFILE));
}

bool ReadWholeFile(const wchar_t* path, size_t limit, std::vector<char>* bytes)
{
    bytes->clear();
    if (!IsRegularDiskFile(path))
        return false;
    UniqueFile file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER length = {};
    if (!file || ::GetFileType(file.get()) != FILE_TYPE_DISK || !::GetFileSizeEx(file.get(), &length) ||
        static_cast<ULONGLONG>(length.QuadPart) > limit)
        return false;
    try {
        bytes->resize(static_cast<size_t>(length.QuadPart));
    } catch (const std::bad_alloc&) {
        return false;
    }
    DWORD got = 0;
    if (!bytes->empty() && (!::ReadFile(file.get(), bytes->data(), static_cast<DWORD>(bytes->size()), &got, nullptr) ||
                            got != bytes->size())) {
        bytes->clear();
        return false;
    }
    return true;
}

bool MapWholeFile(const std::wstring& file, size_t minBytes, size_t maxBytes, UniqueMappedView* view, size_t* bytes)
{
    view->reset();
    *bytes = 0;
    if (file.empty() || !IsRegularDiskFile(file.c_str()))
        return false;
    UniqueFile opened(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER length = {};
    if (!opened || ::GetFileType(opened.get()) != FILE_TYPE_DISK || !::GetFileSizeEx(opened.get(), &length) ||
        static_cast<ULONGLONG>(length.QuadPart) < minBytes || static_cast<ULONGLONG>(length.QuadPart) > maxBytes ||
        length.QuadPart == 0)
        return false;
    UniqueKernelHandle mapping(::CreateFileMappingW(opened.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping)
        return false;
    view->reset(::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    if (!*view)
        return false;
    *bytes = static_cast<size_t>(length.QuadPart);
    return true;
}

void AppendBytes(std::vector<unsigned char>& image, const void* data, size_t bytes)
{
    const auto* first = static_cast<const unsigned char*>(data);
    image.insert(image.end(), first, first + bytes);
}

size_t PaddedTextBytes(size_t chars)
{
    return (chars * sizeof(wchar_t) + 3) & ~static_cast<size_t>(3);
}

bool ReplaceFileWhole(const std::wstring& file, const void* bytes, size_t size)
{
    if (file.empty() || size > MAXDWORD)
        return false;
    const std::wstring temporary = file + L"." + std::to_wstring(::GetCurrentProcessId()) + L".tmp";
    bool written = false;
    {
        UniqueFile out(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD put = 0;
        written = out && ::WriteFile(out.get(), bytes, static_cast<DWORD>(size), &put, nullptr) && put == size;
    }
    if (written && ::MoveFileExW(temporary.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    ::DeleteFileW(temporary.c_str());
    return false;
}

std::wstring UserCacheFile(const wchar_t* name)
{
    constexpr wchar_t kCacheFolder[] = L"\\Kivra";
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = ::GetEnvironmentVariableW(L"LOCALAPPDATA", folder, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH || name == nullptr || name[0] == 0)
        return {};
    std::wstring path(folder, length);
    path += kCacheFolder;
    if (!::CreateDirectoryW(path.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
        return {};
    return path + L"\\" + name;
}

}  // namespace kivra
