// The log the fixture plugins write for their test programs: one line
// "<tag> <text>" per event, appended to the file an environment variable names.
#pragma once

#include <windows.h>

#include <cstdio>

namespace kivra::testing {

// Appends "<tag> <text>\n" to the file named by variable; nothing when the
// variable is unset or too long. Shares the file with the reading test and
// with the other plugins of the process; a line too long for the buffer is cut.
inline void AppendTaggedLine(const wchar_t* variable, const char* tag, const char* text)
{
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetEnvironmentVariableW(variable, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    HANDLE file = ::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    char line[700];
    const int n = std::snprintf(line, sizeof(line), "%s %s\n", tag, text);
    DWORD written = 0;
    if (n > 0)
        ::WriteFile(file, line, static_cast<DWORD>(n < static_cast<int>(sizeof(line)) ? n : sizeof(line) - 1),
                    &written, nullptr);
    ::CloseHandle(file);
}

}  // namespace kivra::testing
