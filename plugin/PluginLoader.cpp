#include "plugin/PluginLoader.h"

#include "framework/Handles.h"
#include "framework/ModulePath.h"
#include "framework/Text.h"
#include "plugin/ServiceRegistry.h"

#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <vector>

namespace kivra {

namespace {

constexpr wchar_t kPluginFolderName[] = L"plugins\\";
constexpr wchar_t kLibraryExtension[] = L".dll";

// GetProcAddress gives a generic code pointer; the export names fix the types.
template <typename Fn>
Fn EntryPoint(HMODULE library, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(library, name)));
}

// Plugins report booleans in the low byte of the result register and may
// leave anything above it, so the whole register is read and its low 8 bits
// decide.
template <typename Fn, typename... Args>
bool LowByteResult(Fn entry, Args... args)
{
    using RawEntry = unsigned int(__cdecl*)(Args...);
    auto raw = reinterpret_cast<RawEntry>(reinterpret_cast<void (*)()>(entry));
    return (raw(args...) & 0xFFu) != 0;
}

// Plugin libraries are loaded by full path only, so that no search order
// (and never the current directory) decides which file is loaded: a drive
// path "X:\..." or a UNC path "\\server\...", at most 259 characters.
bool IsFullLibraryPath(const wchar_t* path)
{
    const size_t length = wcsnlen(path, kMaxPathChars + 1);
    if (length == 0 || length > kMaxPathChars)
        return false;
    const auto isSlash = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    const auto isLetter = [](wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); };
    const bool drivePath = length >= 3 && isLetter(path[0]) && path[1] == L':' && isSlash(path[2]);
    const bool uncPath = length >= 3 && isSlash(path[0]) && isSlash(path[1]) && !isSlash(path[2]);
    return drivePath || uncPath;
}

// A name of the load order list is a file name: anything that would leave the
// plugin folder is not one.
bool IsPlainLibraryName(const wchar_t* name)
{
    return std::wcspbrk(name, L"\\/:") == nullptr;
}

// The checks and the binding shared by library plugins and the built-in one,
// for a plugin object whose entry points are filled in. True when it is bound:
// the registry owns the object then.
bool CheckAndLoad(CServiceRegistry* registry, CPluginInterface* plugin)
{
    if (!plugin->pfnLoadPlugin || !plugin->pfnExecuteService || !plugin->pfnUnloadPlugin ||
        !plugin->pfnGetPluginInfo || !plugin->pfnCheckDependenceInfo)
        return false;

    plugin->pfnGetPluginInfo(&plugin->info);

    // A plugin whose name contains a bound plugin's name is taken for that
    // plugin again (this is what keeps a listed library from binding twice).
    PluginInfo query = plugin->info;
    if (registry->QueryPluginInfo(&query))
        return false;

    if (!LowByteResult(plugin->pfnCheckDependenceInfo, static_cast<unsigned long>(PLUGIN_HOST_VERSION)))
        return false;

    if (!LowByteResult(plugin->pfnLoadPlugin, plugin, plugin->pHost)) {
        // Whatever it registered before refusing points into a library that
        // is about to be freed.
        registry->RemoveServicesOf(plugin);
        return false;
    }

    if (!registry->AddPlugin(plugin)) {
        // Out of memory after the plugin had loaded: undo it like a shutdown.
        plugin->pfnUnloadPlugin();
        registry->RemoveServicesOf(plugin);
        return false;
    }
    return true;
}

// A new plugin object with the registry's host and nothing else.
std::unique_ptr<CPluginInterface> NewPlugin(CServiceRegistry* registry)
{
    std::unique_ptr<CPluginInterface> plugin(new (std::nothrow) CPluginInterface());
    if (plugin)
        plugin->pHost = registry->Host();
    return plugin;
}

}  // namespace

int BindPlugin(CServiceRegistry* registry, const PluginEntryPoints& builtIn)
{
    if (registry == nullptr)
        return 0;
    std::unique_ptr<CPluginInterface> plugin = NewPlugin(registry);
    if (!plugin)
        return 0;
    plugin->pfnExecuteService = builtIn.executeService;
    plugin->pfnUnloadPlugin = builtIn.unloadPlugin;
    plugin->pfnGetPluginInfo = builtIn.getPluginInfo;
    plugin->pfnLoadPlugin = builtIn.loadPlugin;
    plugin->pfnCheckDependenceInfo = builtIn.checkDependenceInfo;
    if (!CheckAndLoad(registry, plugin.get()))
        return 0;
    plugin.release();  // the registry owns it now
    return 1;
}

int BindPlugin(CServiceRegistry* registry, const wchar_t* path)
{
    if (registry == nullptr || path == nullptr || !IsFullLibraryPath(path))
        return 0;
    std::unique_ptr<CPluginInterface> plugin = NewPlugin(registry);
    if (!plugin)
        return 0;
    // Keeps the current directory out of the search for the plugin's own
    // dependencies; the plugin's folder is searched first instead.
    ::SetDllDirectoryW(L"");
    // Declared after the plugin object so that a refused library is freed
    // before the object that describes it is deleted.
    UniqueModule library(::LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!library)
        return 0;
    plugin->hModule = library.get();
    plugin->pfnLoadPlugin = EntryPoint<PFN_LoadPlugin>(library.get(), KIVRA_ENTRY_LOAD_PLUGIN);
    plugin->pfnExecuteService = EntryPoint<PFN_ExecuteService>(library.get(), KIVRA_ENTRY_EXECUTE_SERVICE);
    plugin->pfnUnloadPlugin = EntryPoint<PFN_UnloadPlugin>(library.get(), KIVRA_ENTRY_UNLOAD_PLUGIN);
    plugin->pfnGetPluginInfo = EntryPoint<PFN_GetPluginInfo>(library.get(), KIVRA_ENTRY_GET_PLUGIN_INFO);
    plugin->pfnCheckDependenceInfo =
        EntryPoint<PFN_CheckDependenceInfo>(library.get(), KIVRA_ENTRY_CHECK_DEPENDENCE_INFO);
    if (!CheckAndLoad(registry, plugin.get()))
        return 0;
    plugin.release();   // the registry owns it now
    library.release();  // freed by UnloadAllPlugins
    return 1;
}

int LoadPluginsInOrder(const wchar_t* orderText, const wchar_t* pluginFolder)
{
    CServiceRegistry* registry = CServiceRegistry::GetRegistry();
    if (registry == nullptr || orderText == nullptr || orderText[0] == 0 || pluginFolder == nullptr)
        return 0;
    try {
        size_t count = std::wcslen(orderText);
        std::vector<wchar_t> names(count + 1);
        CServiceRegistry::SplitNameList(orderText, names.data(), count);

        int bound = 0;
        for (size_t at = 0; at < count && names[at] != 0; at += std::wcslen(&names[at]) + 1) {
            const wchar_t* name = &names[at];
            if (!IsPlainLibraryName(name))
                continue;
            // A path that does not fit is skipped, never cut to another file.
            wchar_t path[kMaxPathChars + 1];
            if (!CopyText(path, pluginFolder) || !AppendText(path, name) || !AppendText(path, kLibraryExtension))
                continue;
            bound += BindPlugin(registry, path);
        }
        return bound;
    } catch (...) {
        return 0;
    }
}

int LoadPluginsInFolder(const wchar_t* pattern)
{
    CServiceRegistry* registry = CServiceRegistry::GetRegistry();
    if (registry == nullptr || pattern == nullptr)
        return 0;

    // The matches are names only; they are found in the pattern's folder.
    wchar_t folder[kMaxPathChars + 1];
    if (!CopyText(folder, pattern))
        return 0;
    wchar_t* lastSlash = std::wcsrchr(folder, L'\\');
    wchar_t* lastForward = std::wcsrchr(folder, L'/');
    if (lastForward > lastSlash)
        lastSlash = lastForward;
    if (lastSlash == nullptr)
        return 0;  // a bare pattern would search the current directory
    lastSlash[1] = 0;

    WIN32_FIND_DATAW found;
    UniqueFind search(::FindFirstFileW(pattern, &found));
    if (!search)
        return 0;
    int bound = 0;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        if (std::wcscmp(found.cFileName, L".") == 0 || std::wcscmp(found.cFileName, L"..") == 0)
            continue;
        wchar_t path[kMaxPathChars + 1];
        if (!CopyText(path, folder) || !AppendText(path, found.cFileName))
            continue;
        bound += BindPlugin(registry, path);
    } while (::FindNextFileW(search.get(), &found));
    return bound;
}

void UnloadAllPlugins()
{
    CServiceRegistry* registry = CServiceRegistry::GetRegistry();
    if (registry == nullptr)
        return;
    for (const auto& plugin : registry->Plugins()) {
        if (plugin->pfnUnloadPlugin)
            plugin->pfnUnloadPlugin();
        std::memset(&plugin->info, 0, sizeof(PluginInfo));
        plugin->pfnExecuteService = nullptr;
        plugin->pfnUnloadPlugin = nullptr;
        plugin->pfnGetPluginInfo = nullptr;
        plugin->pfnLoadPlugin = nullptr;
        plugin->pfnCheckDependenceInfo = nullptr;
        if (plugin->hModule) {
            // Its handlers leave with the library: nothing may call them later.
            registry->RemoveServicesOf(plugin.get());
            ::FreeLibrary(plugin->hModule);
            plugin->hModule = nullptr;
        }
    }
}

std::wstring PluginFolder()
{
    wchar_t path[kMaxPathChars + 1];
    if (!ExecutableFolder(path, kMaxPathChars + 1))
        return std::wstring();
    if (!AppendText(path, kPluginFolderName))
        return std::wstring();
    return path;
}

}  // namespace kivra
