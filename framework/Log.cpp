#include "framework/Log.h"

#include "framework/Handles.h"
#include "framework/ModulePath.h"
#include "framework/Text.h"

#include <windows.h>
#include <shlwapi.h>

#include <cwchar>

namespace kivra {

namespace {

constexpr wchar_t kLogFolderName[] = L"log\\";
constexpr wchar_t kDefaultLogFile[] = L"log.log";
constexpr wchar_t kLineEnd[] = L" \r\n";
constexpr int kLineEndUnits = 3;

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Units of the character starting at text[i] (a surrogate pair counts as one).
int CharUnits(const wchar_t* text, size_t i, size_t length)
{
    return (IsHighSurrogate(text[i]) && i + 1 < length && IsLowSurrogate(text[i + 1])) ? 2 : 1;
}

int AnsiBytes(UINT codePage, const wchar_t* text, size_t units)
{
    if (units == 0)
        return 0;
    return WideCharToMultiByte(codePage, 0, text, static_cast<int>(units), nullptr, 0, nullptr, nullptr);
}

// Converts units of text into out[capacity]; returns the bytes written, or -1.
int ToAnsi(UINT codePage, const wchar_t* text, size_t units, char* out, size_t capacity)
{
    if (units == 0)
        return 0;
    if (capacity == 0)
        return -1;  // a size of 0 would only ask for the length
    int n = WideCharToMultiByte(codePage, 0, text, static_cast<int>(units), out, static_cast<int>(capacity),
                                nullptr, nullptr);
    return n > 0 ? n : -1;
}

// Whole characters of text[0..units) that fit both unitBudget UTF-16 units
// and byteBudget converted bytes.
size_t FittingUnits(UINT codePage, const wchar_t* text, size_t units, size_t unitBudget, int byteBudget)
{
    if (units > unitBudget) {
        units = unitBudget;
        if (units > 0 && IsHighSurrogate(text[units - 1]))
            --units;  // never split a surrogate pair
    }
    if (AnsiBytes(codePage, text, units) <= byteBudget)
        return units;
    // Too long once converted (double-byte code pages): walk the characters.
    size_t fitted = 0;
    int bytes = 0;
    while (fitted < units) {
        int step = CharUnits(text, fitted, units);
        int add = AnsiBytes(codePage, text + fitted, step);
        if (add <= 0 || bytes + add > byteBudget)
            break;
        bytes += add;
        fitted += step;
    }
    return fitted;
}

}  // namespace

std::wstring LogFolderFromExePath(const wchar_t* exePath)
{
    if (exePath == nullptr)
        return {};
    const wchar_t* slash = std::wcsrchr(exePath, L'\\');
    if (slash == nullptr)
        return {};
    std::wstring folder(exePath, slash + 1);
    folder += kLogFolderName;
    return folder;
}

std::wstring LogFilePath(const std::wstring& folder, const wchar_t* name)
{
    // Without a folder the name alone would be taken relative to whatever the
    // current directory is; such a log goes nowhere instead.
    if (folder.empty() || name == nullptr || *name == 0)
        return {};
    if (std::wcspbrk(name, L"\\/:") != nullptr)
        return {};
    std::wstring path = folder + name;
    if (path.size() > kMaxPathChars)
        return {};
    return path;
}

int ComposeLogLine(const SYSTEMTIME& time, const wchar_t* text, char* out, size_t capacity, UINT codePage)
{
    if (out == nullptr || capacity == 0)
        return -1;
    out[0] = 0;
    wchar_t stamp[40];
    if (!FormatText(stamp, L"%4d-%02d-%02d %02d:%02d:%02d  \t", time.wYear, time.wMonth, time.wDay, time.wHour,
                    time.wMinute, time.wSecond))
        return -1;
    const int stampUnits = static_cast<int>(std::wcslen(stamp));
    if (text == nullptr)
        text = L"";

    // The message gives way so that the line keeps its time stamp and its
    // " \r\n" end within both buffers (the last unit and byte stay for a NUL).
    const int fixedBytes = AnsiBytes(codePage, stamp, stampUnits) + AnsiBytes(codePage, kLineEnd, kLineEndUnits);
    const int byteBudget = static_cast<int>(capacity) - 1 - fixedBytes;
    const int unitBudget = static_cast<int>(kLogLineUnits) - 1 - stampUnits - kLineEndUnits;
    if (byteBudget < 0 || unitBudget < 0)
        return -1;
    size_t textUnits = FittingUnits(codePage, text, std::wcslen(text), unitBudget, byteBudget);

    struct Part {
        const wchar_t* text;
        size_t units;
    };
    const Part parts[] = {{stamp, static_cast<size_t>(stampUnits)}, {text, textUnits}, {kLineEnd, kLineEndUnits}};
    int used = 0;
    for (const Part& part : parts) {
        int n = ToAnsi(codePage, part.text, part.units, out + used, capacity - 1 - used);
        if (n < 0)
            return -1;
        used += n;
    }
    out[used] = 0;
    return used;
}

CLog::CLog() { SetLogFile(kDefaultLogFile); }

std::wstring CLog::GetLogFolder() const
{
    wchar_t exeFolder[MAX_PATH + 1] = {};
    if (!ExecutableFolder(exeFolder, MAX_PATH + 1))
        return {};  // no path, or one too long to hold a log file path anyway
    std::wstring folder = LogFolderFromExePath(exeFolder);
    if (!folder.empty() && !PathFileExistsW(folder.c_str()))
        CreateDirectoryW(folder.c_str(), nullptr);  // a failure shows when the file cannot be opened
    return folder;
}

void CLog::SetLogFile(const wchar_t* name) { path_ = LogFilePath(GetLogFolder(), name); }

void CLog::ApplyConfiguredLevel(unsigned level)
{
    const bool singleLevel = level != 0 && (level & (level - 1)) == 0 && (level & kLogLevelAllConfigurable) != 0;
    mask_ = singleLevel ? (mask_ | level) : level;
}

int CLog::LogTo(const wchar_t* name, unsigned level, const wchar_t* format, ...)
{
    SetLogFile(name);
    va_list args;
    va_start(args, format);
    int result = LogV(level, format, args);
    va_end(args);
    return result;
}

int CLog::Log(unsigned level, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    int result = LogV(level, format, args);
    va_end(args);
    return result;
}

int CLog::LogV(unsigned level, const wchar_t* format, va_list args)
{
    if (!enabled_ || (mask_ & level) == 0)
        return 0;
    if (format == nullptr)
        return -1;
    // %s takes a wide string, as Windows callers expect (FormatTextV).
    wchar_t message[kLogMessageUnits];
    if (!FormatTextV(message, kLogMessageUnits, format, args)) {
        size_t length = std::wcslen(message);
        if (length > 0 && IsHighSurrogate(message[length - 1]))
            message[length - 1] = 0;  // the cut split a surrogate pair
    }
    return WriteLine(path_.c_str(), message);
}

int CLog::WriteLine(const wchar_t* path, const wchar_t* text)
{
    if (path == nullptr || *path == 0)
        return -1;
    UniqueFile file(CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (!file)
        return -1;
    LARGE_INTEGER zero = {};
    if (!SetFilePointerEx(file.get(), zero, nullptr, FILE_END))
        return -1;
    SYSTEMTIME now;
    GetLocalTime(&now);
    char line[kLogLineBytes];
    int bytes = ComposeLogLine(now, text, line, sizeof(line));
    if (bytes <= 0)
        return -1;
    DWORD written = 0;
    if (!WriteFile(file.get(), line, static_cast<DWORD>(bytes), &written, nullptr))
        return -1;
    return written == static_cast<DWORD>(bytes) ? 0 : -1;
}

CLog& GetLog()
{
    static CLog log;
    return log;
}

}  // namespace kivra
