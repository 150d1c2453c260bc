#include "plugin/PluginLoader.h"

#include "config/SkinKeys.h"
#include "config/XmlDocument.h"
#include "framework/CrashContext.h"
#include "framework/DiskFile.h"
#include "framework/Handles.h"
#include "framework/ModulePath.h"
#include "framework/Text.h"
#include "plugin/LibraryLeftovers.h"
#include "plugin/ServiceRegistry.h"

#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace kivra {

namespace {

constexpr wchar_t kPluginFolderName[] = L"plugins\\";
constexpr wchar_t kLibraryExtension[] = L".dll";
constexpr wchar_t kLibraryPattern[] = L"*.dll";

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

// Why the system would not load path: not a Windows library at all, one for
// another processor, or something else (a DLL it needs is missing).
BindOutcome WhyNotLoaded(const wchar_t* path, unsigned short* machine)
{
    UniqueFile file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    IMAGE_DOS_HEADER dos{};
    DWORD got = 0;
    if (!file || !::ReadFile(file.get(), &dos, sizeof(dos), &got, nullptr) || got != sizeof(dos) ||
        dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew <= 0)
        return BindOutcome::NotALibrary;
    DWORD signature = 0;
    IMAGE_FILE_HEADER header{};
    if (::SetFilePointer(file.get(), dos.e_lfanew, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
        !::ReadFile(file.get(), &signature, sizeof(signature), &got, nullptr) || got != sizeof(signature) ||
        signature != IMAGE_NT_SIGNATURE || !::ReadFile(file.get(), &header, sizeof(header), &got, nullptr) ||
        got != sizeof(header))
        return BindOutcome::NotALibrary;
    *machine = header.Machine;
    return header.Machine == IMAGE_FILE_MACHINE_I386 ? BindOutcome::LoadFailed : BindOutcome::Not32Bit;
}

LibraryReleaseHandler g_releaseHandler;
void (*g_leftoverNote)(const wchar_t* line) = nullptr;

void Note(const std::wstring& line)
{
    if (g_leftoverNote != nullptr)
        g_leftoverNote(line.c_str());
}

// Frees a plugin library. First nothing may be left that runs its code: this
// thread's windows whose procedure lies in it are destroyed, the service
// records whose handler does are removed (each said in a note), and the
// release handler (the shell) has the bus forget the listeners and the
// commands the callbacks that lie in it.
void ReleasePluginLibrary(HMODULE module)
{
    const TCodeRange code = ModuleCodeRange(module);
    const std::wstring name = LibraryFileName(module);
    for (const std::wstring& line : DestroyWindowsRunningCodeIn(code, name.c_str()))
        Note(line);
    if (CServiceRegistry* registry = CServiceRegistry::ExistingRegistry())
        for (const std::string& service : registry->RemoveServicesRunningCodeIn(code.begin, code.end))
            Note(name + L" was freed with the handler of service \"" + std::wstring(service.begin(), service.end()) +
                 L"\" still registered: removed");
    if (g_releaseHandler)
        g_releaseHandler(module);
    ForgetModule(module);
    ::FreeLibrary(module);
}

// A library BindPlugin loaded, released unless kept. One that was loaded
// already (the same file as a bound plugin, tried again by the folder scan)
// only gives back this load: its listeners and its name stay.
class LoadedLibrary {
public:
    LoadedLibrary() = default;
    ~LoadedLibrary()
    {
        if (module_ != nullptr && loadedBefore_)
            ::FreeLibrary(module_);
        else if (module_ != nullptr)
            ReleasePluginLibrary(module_);
    }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    bool Load(const wchar_t* path)
    {
        HMODULE before = nullptr;
        ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, path, &before);
        NoteLoadingLibrary(path);
        module_ = ::LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        error_ = ::GetLastError();
        NoteLoadingLibrary(nullptr);
        loadedBefore_ = module_ != nullptr && module_ == before;
        if (module_ != nullptr && !loadedBefore_)
            NoteModule(module_, path);
        return module_ != nullptr;
    }
    HMODULE get() const { return module_; }
    DWORD Error() const { return error_; }  // why Load failed
    void Keep() { module_ = nullptr; }

private:
    HMODULE module_ = nullptr;
    bool loadedBefore_ = false;
    DWORD error_ = 0;
};

// The checks and the binding shared by library plugins and the built-in one,
// for a plugin object whose entry points are filled in. True when it is bound:
// the registry owns the object then. module: the plugin's library, or null.
bool CheckAndLoad(CServiceRegistry* registry, CPluginInterface* plugin, HMODULE module, BindReport& result)
{
    result.outcome = BindOutcome::MissingExports;
    if (!plugin->pfnLoadPlugin || !plugin->pfnExecuteService || !plugin->pfnUnloadPlugin ||
        !plugin->pfnGetPluginInfo || !plugin->pfnCheckDependenceInfo)
        return false;

    {
        PluginCallScope calling(module, KIVRA_ENTRY_GET_PLUGIN_INFO);
        plugin->pfnGetPluginInfo(&plugin->info);
    }
    plugin->info.szName[sizeof(plugin->info.szName) - 1] = 0;  // a name that fills the field stays terminated
    result.info = plugin->info;
    NameModule(module, plugin->info.szName);

    // A plugin whose name contains a bound plugin's name is taken for that
    // plugin again (this is what keeps a listed library from binding twice).
    result.outcome = BindOutcome::Duplicate;
    PluginInfo query = plugin->info;
    if (registry->QueryPluginInfo(&query)) {
        result.duplicateOf = query;
        return false;
    }

    result.outcome = BindOutcome::HostRefused;
    {
        PluginCallScope calling(module, KIVRA_ENTRY_CHECK_DEPENDENCE_INFO);
        if (!LowByteResult(plugin->pfnCheckDependenceInfo, static_cast<unsigned long>(PLUGIN_HOST_VERSION)))
            return false;
    }

    result.outcome = BindOutcome::LoadRefused;
    bool loaded = false;
    {
        PluginCallScope calling(module, KIVRA_ENTRY_LOAD_PLUGIN);
        loaded = LowByteResult(plugin->pfnLoadPlugin, plugin, plugin->pHost);
    }
    if (!loaded) {
        // Whatever it registered before refusing points into a library that
        // is about to be freed.
        registry->RemoveServicesOf(plugin);
        return false;
    }

    result.outcome = BindOutcome::NoMemory;
    if (!registry->AddPlugin(plugin)) {
        // Out of memory after the plugin had loaded: undo it like a shutdown.
        PluginCallScope calling(module, KIVRA_ENTRY_UNLOAD_PLUGIN);
        plugin->pfnUnloadPlugin();
        registry->RemoveServicesOf(plugin);
        return false;
    }
    result.outcome = BindOutcome::Bound;
    result.plugin = plugin;
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

int BindAndTell(CServiceRegistry* registry, const wchar_t* path, const BindObserver& observer)
{
    BindReport report;
    const int bound = BindPlugin(registry, path, &report);
    if (observer)
        observer(path, report);
    return bound;
}

}  // namespace

void SetLibraryReleaseHandler(LibraryReleaseHandler handler)
{
    g_releaseHandler = std::move(handler);
}

void SetLibraryLeftoverNote(void (*note)(const wchar_t* line))
{
    g_leftoverNote = note;
}

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
    BindReport report;
    if (!CheckAndLoad(registry, plugin.get(), nullptr, report))
        return 0;
    plugin.release();  // the registry owns it now
    return 1;
}

int BindPlugin(CServiceRegistry* registry, const wchar_t* path, BindReport* report)
{
    BindReport scratch;
    BindReport& result = report != nullptr ? *report : scratch;
    result = BindReport{};
    // Only a regular file: a name from the load order list may name a device
    // ("COM1"), which the system would open instead.
    if (registry == nullptr || path == nullptr || !IsFullLibraryPath(path) || !IsRegularDiskFile(path))
        return 0;
    std::unique_ptr<CPluginInterface> plugin = NewPlugin(registry);
    result.outcome = BindOutcome::NoMemory;
    if (!plugin)
        return 0;
    plugin->pHost = registry->PluginHost();
    // Keeps the current directory out of the search for the plugin's own
    // dependencies; the plugin's folder is searched first instead.
    ::SetDllDirectoryW(L"");
    // Declared after the plugin object so that a refused library is freed
    // before the object that describes it is deleted.
    LoadedLibrary library;
    bool loaded = false;
    {
        PluginCallScope loading(nullptr, "loading the library");
        loaded = library.Load(path);
    }
    if (!loaded) {
        result.systemError = library.Error();
        result.outcome = WhyNotLoaded(path, &result.machine);
        return 0;
    }
    plugin->hModule = library.get();
    plugin->pfnLoadPlugin = EntryPoint<PFN_LoadPlugin>(library.get(), KIVRA_ENTRY_LOAD_PLUGIN);
    plugin->pfnExecuteService = EntryPoint<PFN_ExecuteService>(library.get(), KIVRA_ENTRY_EXECUTE_SERVICE);
    plugin->pfnUnloadPlugin = EntryPoint<PFN_UnloadPlugin>(library.get(), KIVRA_ENTRY_UNLOAD_PLUGIN);
    plugin->pfnGetPluginInfo = EntryPoint<PFN_GetPluginInfo>(library.get(), KIVRA_ENTRY_GET_PLUGIN_INFO);
    plugin->pfnCheckDependenceInfo =
        EntryPoint<PFN_CheckDependenceInfo>(library.get(), KIVRA_ENTRY_CHECK_DEPENDENCE_INFO);
    const std::pair<bool, const char*> exports[] = {
        {plugin->pfnLoadPlugin != nullptr, KIVRA_ENTRY_LOAD_PLUGIN},
        {plugin->pfnExecuteService != nullptr, KIVRA_ENTRY_EXECUTE_SERVICE},
        {plugin->pfnUnloadPlugin != nullptr, KIVRA_ENTRY_UNLOAD_PLUGIN},
        {plugin->pfnGetPluginInfo != nullptr, KIVRA_ENTRY_GET_PLUGIN_INFO},
        {plugin->pfnCheckDependenceInfo != nullptr, KIVRA_ENTRY_CHECK_DEPENDENCE_INFO},
    };
    for (const auto& [present, name] : exports)
        if (!present)
            result.missingExports += (result.missingExports.empty() ? "" : ", ") + std::string(name);
    if (!CheckAndLoad(registry, plugin.get(), library.get(), result))
        return 0;
    plugin.release();  // the registry owns it now
    library.Keep();    // freed by UnloadAllPlugins
    return 1;
}

int LoadPluginsInOrder(const wchar_t* orderText, const wchar_t* pluginFolder, const BindObserver& observer)
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
            bound += BindAndTell(registry, path, observer);
        }
        return bound;
    } catch (...) {
        return 0;
    }
}

int LoadPluginsInFolder(const wchar_t* pattern, const BindObserver& observer)
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
        bound += BindAndTell(registry, path, observer);
    } while (::FindNextFileW(search.get(), &found));
    return bound;
}

void LoadStartupPlugins(CServiceRegistry* registry, const PluginEntryPoints& builtIn, CXmlDocument* skinDocument,
                        const BindObserver& observer)
{
    BindPlugin(registry, builtIn);
    const std::wstring folder = PluginFolder();
    if (folder.empty())
        return;
    std::wstring order;
    if (skinDocument != nullptr && skinDocument->ReadText(skinpath::kLoadOrder, &order)) {
        // The skin's load order list, at most this many characters.
        if (order.size() > kLoadOrderChars)
            order.resize(kLoadOrderChars);
        LoadPluginsInOrder(order.c_str(), folder.c_str(), observer);
    }
    wchar_t pattern[kMaxPathChars + 1];
    if (CopyText(pattern, folder.c_str()) && AppendText(pattern, kLibraryPattern))
        LoadPluginsInFolder(pattern, observer);
}

void UnloadAllPlugins()
{
    CServiceRegistry* registry = CServiceRegistry::GetRegistry();
    if (registry == nullptr)
        return;
    for (const auto& plugin : registry->Plugins()) {
        if (plugin->pfnUnloadPlugin) {
            PluginCallScope calling(plugin->hModule, KIVRA_ENTRY_UNLOAD_PLUGIN);
            plugin->pfnUnloadPlugin();
        }
        std::memset(&plugin->info, 0, sizeof(PluginInfo));
        plugin->pfnExecuteService = nullptr;
        plugin->pfnUnloadPlugin = nullptr;
        plugin->pfnGetPluginInfo = nullptr;
        plugin->pfnLoadPlugin = nullptr;
        plugin->pfnCheckDependenceInfo = nullptr;
        if (plugin->hModule) {
            // Its handlers and listeners leave with the library: nothing may
            // call them later.
            registry->RemoveServicesOf(plugin.get());
            ReleasePluginLibrary(plugin->hModule);
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
