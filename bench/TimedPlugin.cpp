// A stand-in that times a plugin inside a real start-up of Kivra.exe.
// scripts/bench.sh puts it in the place of plugins\<name>.dll of the "timed"
// product folder and the real library beside it as plugins\<name>.real,
// which the folder scan passes by. Its entry points forward to the real
// library's: the first call (GetPluginInfo) loads the real library and times
// LoadLibraryW, LoadPlugin is timed around the real one. The two times go as
// one line "<name> <library ms> <LoadPlugin ms>" onto bench-plugin-times.txt
// beside Kivra.exe, which bench_startup reads after each start.
//
// The real library stays loaded to the end of the process: its windows may
// outlive its UnloadPlugin.
#include "kivra_plugin.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr wchar_t kTimesFile[] = L"bench-plugin-times.txt";

struct RealPlugin {
    HMODULE module = nullptr;
    PFN_GetPluginInfo getPluginInfo = nullptr;
    PFN_CheckDependenceInfo checkDependenceInfo = nullptr;
    PFN_LoadPlugin loadPlugin = nullptr;
    PFN_UnloadPlugin unloadPlugin = nullptr;
    PFN_ExecuteService executeService = nullptr;
    double libraryMs = 0;
    std::string name;  // the file name without ".dll"
};

RealPlugin g_real;

double NowMs()
{
    LARGE_INTEGER frequency, now;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1e3 / static_cast<double>(frequency.QuadPart);
}

std::wstring OwnPath()
{
    HMODULE self = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&g_real), &self);
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(self, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}

bool LoadReal()
{
    if (g_real.module != nullptr)
        return true;
    std::wstring path = OwnPath();
    const size_t dot = path.find_last_of(L'.');
    const size_t slash = path.find_last_of(L'\\');
    if (dot == std::wstring::npos || slash == std::wstring::npos || dot < slash)
        return false;
    for (wchar_t c : path.substr(slash + 1, dot - slash - 1))
        g_real.name.push_back(static_cast<char>(c));
    path = path.substr(0, dot) + L".real";
    const double start = NowMs();
    g_real.module = ::LoadLibraryW(path.c_str());
    g_real.libraryMs = NowMs() - start;
    if (g_real.module == nullptr)
        return false;
    // Through void (*)(): the entry points have their own types.
    const auto entry = [](const char* name) { return reinterpret_cast<void (*)()>(::GetProcAddress(g_real.module, name)); };
    g_real.getPluginInfo = reinterpret_cast<PFN_GetPluginInfo>(entry("GetPluginInfo"));
    g_real.checkDependenceInfo = reinterpret_cast<PFN_CheckDependenceInfo>(entry("CheckDependenceInfo"));
    g_real.loadPlugin = reinterpret_cast<PFN_LoadPlugin>(entry("LoadPlugin"));
    g_real.unloadPlugin = reinterpret_cast<PFN_UnloadPlugin>(entry("UnloadPlugin"));
    g_real.executeService = reinterpret_cast<PFN_ExecuteService>(entry("ExecuteService"));
    return g_real.getPluginInfo && g_real.checkDependenceInfo && g_real.loadPlugin && g_real.unloadPlugin &&
           g_real.executeService;
}

void WriteTimes(double loadPluginMs)
{
    wchar_t exe[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    std::wstring path(exe, length);
    path = path.substr(0, path.find_last_of(L'\\') + 1) + kTimesFile;
    HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    char line[128];
    const int size = std::snprintf(line, sizeof(line), "%s %.3f %.3f\n", g_real.name.c_str(), g_real.libraryMs,
                                   loadPluginMs);
    DWORD written = 0;
    if (size > 0 && size < static_cast<int>(sizeof(line)))
        ::WriteFile(file, line, static_cast<DWORD>(size), &written, nullptr);
    ::CloseHandle(file);
}

}  // namespace

#define TIMED_EXPORT extern "C" __declspec(dllexport)

TIMED_EXPORT void __cdecl GetPluginInfo(PluginInfo* info)
{
    if (!LoadReal()) {
        // A name of its own: an empty one would refuse every plugin after it.
        std::memset(info, 0, sizeof(*info));
        std::memcpy(info->szName, "timedplugin-unloaded", sizeof("timedplugin-unloaded"));
        return;
    }
    g_real.getPluginInfo(info);
}

TIMED_EXPORT bool __cdecl CheckDependenceInfo(unsigned long hostVersion)
{
    return g_real.checkDependenceInfo != nullptr && g_real.checkDependenceInfo(hostVersion);
}

TIMED_EXPORT bool __cdecl LoadPlugin(CPluginInterface* iface, void* host)
{
    if (g_real.loadPlugin == nullptr)
        return false;
    const double start = NowMs();
    const bool loaded = g_real.loadPlugin(iface, host);
    WriteTimes(NowMs() - start);
    return loaded;
}

TIMED_EXPORT bool __cdecl UnloadPlugin()
{
    return g_real.unloadPlugin != nullptr && g_real.unloadPlugin();
}

TIMED_EXPORT int __cdecl ExecuteService(TService* service, TParam* param)
{
    return g_real.executeService != nullptr ? g_real.executeService(service, param) : 0;
}
