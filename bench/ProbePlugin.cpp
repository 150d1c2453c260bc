// A plugin for the idle measure: a hidden window that answers the counts of
// bench/ProcessCounts.h from inside Kivra.exe, and raises a notification
// when asked (kRaiseNotification). It registers no service and runs no
// timer, so it adds nothing to what is measured but one window.
#include "bench/ProcessCounts.h"

#include "kivra_plugin.h"

#include <cstring>

using namespace kivra::bench;

namespace {

UINT g_countsMessage = 0;
HWND g_window = nullptr;
CPluginInterface* g_iface = nullptr;

// A literal into a fixed field, checked to fit when compiled.
template <size_t N, size_t M>
void SetField(char (&field)[N], const char (&text)[M])
{
    static_assert(M <= N, "the text does not fit the field");
    std::memcpy(field, text, M);
}

LRESULT RaiseNotification()
{
    if (g_iface == nullptr)
        return 0;
    TService service{};
    SetField(service.szName, "manager/Notification/DisplayWnd");
    TParam param{};
    wchar_t text[] = L"Benchmark notification";
    param.pszText = text;
    return g_iface->CallService(&service, &param);
}

LRESULT CALLBACK ProbeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == g_countsMessage && g_countsMessage != 0)
        return wParam == kRaiseNotification ? RaiseNotification() : AnswerCounts(wParam);
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

#define PROBE_EXPORT extern "C" __declspec(dllexport)

PROBE_EXPORT void __cdecl GetPluginInfo(PluginInfo* info)
{
    std::memset(info, 0, sizeof(*info));
    SetField(info->szName, "benchprobe");
    info->dwVersion = 1;
}

PROBE_EXPORT bool __cdecl CheckDependenceInfo(unsigned long)
{
    return true;
}

PROBE_EXPORT bool __cdecl LoadPlugin(CPluginInterface* iface, void*)
{
    g_iface = iface;
    g_countsMessage = ::RegisterWindowMessageW(kCountsMessageName);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ProbeProc;
    windowClass.hInstance = ::GetModuleHandleW(L"bench_probe.dll");
    windowClass.lpszClassName = kProbeWindowClass;
    ::RegisterClassW(&windowClass);
    g_window = ::CreateWindowExW(0, kProbeWindowClass, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 windowClass.hInstance, nullptr);
    return true;
}

PROBE_EXPORT bool __cdecl UnloadPlugin()
{
    if (g_window)
        ::DestroyWindow(g_window);
    g_window = nullptr;
    ::UnregisterClassW(kProbeWindowClass, ::GetModuleHandleW(L"bench_probe.dll"));
    return true;
}

PROBE_EXPORT int __cdecl ExecuteService(TService* service, TParam* param)
{
    return service && service->pfnHandler ? service->pfnHandler(service, param) : 0;
}
