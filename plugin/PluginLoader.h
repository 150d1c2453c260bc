// PluginLoader.h - binding plugin libraries into the registry, in the shell's
// load order, and unloading them at shutdown.
//
// Start-up binds the built-in plugin (BindPlugin with its entry points), then the
// libraries named in the skin's load order list, then the rest of the plugin
// folder. Each bound plugin goes to the front of the plugin list, so the list,
// and with it unloading, runs newest first and ends with the built-in plugin.
#pragma once

#include "kivra_plugin.h"

#include <functional>
#include <string>

namespace kivra {

class CServiceRegistry;
class CXmlDocument;

// What became of one library handed to BindPlugin, for the plugin check (the
// shell itself reports nothing: a refused plugin is skipped silently).
enum class BindOutcome {
    Bound,
    NotAFile,        // not a full path of a regular disk file (a device, a folder, missing)
    NotALibrary,     // no Windows library at all
    Not32Bit,        // a library for another processor (machine)
    LoadFailed,      // the system refused to load it (systemError), e.g. a missing DLL it needs
    MissingExports,  // missingExports names the entry points it lacks
    Duplicate,       // its name contains the name of the bound plugin duplicateOf
    HostRefused,     // CheckDependenceInfo answered false to PLUGIN_HOST_VERSION
    LoadRefused,     // LoadPlugin answered false
    NoMemory,
};

struct BindReport {
    BindOutcome outcome = BindOutcome::NotAFile;
    unsigned long systemError = 0;  // LoadFailed
    unsigned short machine = 0;     // Not32Bit: the library's machine field
    std::string missingExports;     // MissingExports: "ExecuteService, UnloadPlugin"
    PluginInfo info = {};           // what GetPluginInfo said, when it was called
    PluginInfo duplicateOf = {};    // Duplicate
    CPluginInterface* plugin = nullptr;  // Bound: the registry's plugin object
};

// Called once per library tried, after BindPlugin decided.
using BindObserver = std::function<void(const wchar_t* path, const BindReport& report)>;

// The five entry points of one plugin, as BindPlugin takes them.
struct PluginEntryPoints {
    PFN_ExecuteService executeService;
    PFN_UnloadPlugin unloadPlugin;
    PFN_GetPluginInfo getPluginInfo;
    PFN_LoadPlugin loadPlugin;
    PFN_CheckDependenceInfo checkDependenceInfo;
};

// Binds one plugin library: path is its full path. Returns 1 when the plugin
// passed every check and its LoadPlugin accepted, 0 when it was skipped; the
// shell reports nothing, report, when given, says why. A null path binds nothing.
int BindPlugin(CServiceRegistry* registry, const wchar_t* path, BindReport* report = nullptr);
// Binds a plugin without a library (the built-in plugin, whose entry points
// the shell passes in), through the same checks.
int BindPlugin(CServiceRegistry* registry, const PluginEntryPoints& builtIn);

// Called with every plugin library right before it is freed, refused or
// unloaded, after the loader destroyed this thread's windows and removed the
// service records that run its code (LibraryLeftovers.h): the shell has the
// bus forget the listeners and the commands the callbacks whose code lies in
// it. None by default.
using LibraryReleaseHandler = std::function<void(HMODULE library)>;
void SetLibraryReleaseHandler(LibraryReleaseHandler handler);
// Told one line for each window and service record that still ran a freed
// library's code (the shell writes them to its log). None by default.
void SetLibraryLeftoverNote(void (*note)(const wchar_t* line));

// Binds the libraries named in orderText (file names without folder and
// ".dll", separated by blanks, commas or semicolons), in list order, from
// pluginFolder (ending with a backslash). Returns the number bound.
int LoadPluginsInOrder(const wchar_t* orderText, const wchar_t* pluginFolder, const BindObserver& observer = {});

// Binds every file matching pattern (a folder and "*.dll"), in the order the
// file system returns them. Libraries bound already are refused as duplicates.
// Returns the number bound.
int LoadPluginsInFolder(const wchar_t* pattern, const BindObserver& observer = {});

// The start-up's plugins, in its order: the built-in plugin, the libraries
// named in skinDocument's load order list (at most 1,023 characters; none
// without a document), then the rest of the plugin folder.
void LoadStartupPlugins(CServiceRegistry* registry, const PluginEntryPoints& builtIn, CXmlDocument* skinDocument,
                        const BindObserver& observer = {});

// Unloads every bound plugin, newest first: UnloadPlugin, then its entry
// points and info are cleared, the release handler is told of its library
// and the library is freed. The plugin objects stay in
// the registry until it is destroyed.
void UnloadAllPlugins();

// The executable's folder followed by "plugins\"; empty when it does not fit
// in a path.
std::wstring PluginFolder();

}  // namespace kivra
