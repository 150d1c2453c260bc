// What the idle measure asks a running program about itself: its CPU time and
// its GDI object count, answered by a window of that program to the message
// registered under kCountsMessageName (wParam: which count). Kivra answers
// through the probe plugin (bench/ProbePlugin.cpp), the bare program itself.
#pragma once

#include <windows.h>

namespace kivra::bench {

constexpr wchar_t kCountsMessageName[] = L"Kivra.Bench.Counts";
constexpr wchar_t kProbeWindowClass[] = L"KivraBenchProbe";
constexpr WPARAM kCountCpuMs = 0;
constexpr WPARAM kCountGdiObjects = 1;
// Not a count: the probe plugin raises a notification through
// "manager/Notification/DisplayWnd" and answers the service's result.
constexpr WPARAM kRaiseNotification = 2;
// A notification slides in, stays and slides out in about two seconds.
constexpr DWORD kNotificationMs = 2000;

// User plus kernel time of this process, in milliseconds.
inline LRESULT OwnCpuMs()
{
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user))
        return -1;
    const auto ticks = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<LRESULT>((ticks(kernel) + ticks(user)) / 10000);
}

// The GDI objects of this process. Wine's GetGuiResources answers 0, and
// Wine's GDI handles are table indexes that GetObjectType accepts without
// their upper word, so there every index is probed (0.4 ms).
inline LRESULT OwnGdiObjects()
{
    if (DWORD counted = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS))
        return static_cast<LRESULT>(counted);
    LRESULT used = 0;
    for (UINT_PTR index = 1; index < 0x10000; ++index)
        used += ::GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0;
    return used;
}

inline LRESULT AnswerCounts(WPARAM which)
{
    return which == kCountCpuMs ? OwnCpuMs() : which == kCountGdiObjects ? OwnGdiObjects() : -1;
}

}  // namespace kivra::bench
