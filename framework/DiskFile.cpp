#include "framework/DiskFile.h"

#include "framework/Handles.h"

#include <windows.h>

#include <cwctype>
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

}  // namespace kivra
