#include "framework/StartupTimes.h"

#include <windows.h>

#include <cstdio>

#include "framework/Handles.h"

namespace kivra {
namespace {

constexpr int kMostMarks = 64;

struct TMark {
    const char* name;
    LONGLONG at;
};

// One start-up on the user-interface thread: no lock.
TMark g_marks[kMostMarks];
int g_count = 0;
bool g_written = false;

}  // namespace

void MarkStartupStep(const char* name)
{
    if (g_written || g_count == kMostMarks)
        return;
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    g_marks[g_count++] = {name, now.QuadPart};
}

bool WriteStartupTimes()
{
    if (g_written)
        return false;
    g_written = true;
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetEnvironmentVariableW(kStartupTimesVariable, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || g_count == 0)
        return false;
    UniqueFile file(::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    char line[160];
    for (int i = 0; i < g_count; ++i) {
        const double ms = static_cast<double>(g_marks[i].at - g_marks[0].at) * 1e3 / static_cast<double>(frequency.QuadPart);
        const int n = std::snprintf(line, sizeof(line), "%9.2f %s\r\n", ms, g_marks[i].name);
        DWORD written = 0;
        if (n > 0)
            ::WriteFile(file.get(), line, static_cast<DWORD>(n < static_cast<int>(sizeof(line)) ? n : sizeof(line) - 1),
                        &written, nullptr);
    }
    DWORD written = 0;
    return ::WriteFile(file.get(), "--\r\n", 4, &written, nullptr) != FALSE;
}

}  // namespace kivra
