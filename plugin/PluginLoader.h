// PluginLoader.h - binding plugin libraries into the registry, in the shell's
// load order, and unloading them at shutdown.
//
// Start-up binds the built-in plugin (BindPlugin with its entry points), then the
// libraries named in the skin's load order list, then the rest of the plugin
// folder. Each bound plugin goes to the front of the plugin list, so the list,
// and with it unloading, runs newest first and ends with the built-in plugin.
#pragma once

#include "kivra_plugin.h"

#include <string>

namespace kivra {

class CServiceRegistry;

// The five entry points of one plugin, as BindPlugin takes them.
struct PluginEntryPoints {
    PFN_ExecuteService executeService;
    PFN_UnloadPlugin unloadPlugin;
    PFN_GetPluginInfo getPluginInfo;
    PFN_LoadPlugin loadPlugin;
    PFN_CheckDependenceInfo checkDependenceInfo;
};

// Binds one plugin library: path is its full path. Returns 1 when the plugin
// passed every check and its LoadPlugin accepted, 0 when it was skipped
// (nothing is reported). A null path binds nothing.
int BindPlugin(CServiceRegistry* registry, const wchar_t* path);
// Binds a plugin without a library (the built-in plugin, whose entry points
// the shell passes in), through the same checks.
int BindPlugin(CServiceRegistry* registry, const PluginEntryPoints& builtIn);

// Binds the libraries named in orderText (file names without folder and
// ".dll", separated by blanks, commas or semicolons), in list order, from
// pluginFolder (ending with a backslash). Returns the number bound.
int LoadPluginsInOrder(const wchar_t* orderText, const wchar_t* pluginFolder);

// Binds every file matching pattern (a folder and "*.dll"), in the order the
// file system returns them. Libraries bound already are refused as duplicates.
// Returns the number bound.
int LoadPluginsInFolder(const wchar_t* pattern);

// Unloads every bound plugin, newest first: UnloadPlugin, then its entry
// points and info are cleared and its library freed. The plugin objects stay
// in the registry until it is destroyed.
void UnloadAllPlugins();

// The executable's folder followed by "plugins\"; empty when it does not fit
// in a path.
std::wstring PluginFolder();

}  // namespace kivra
