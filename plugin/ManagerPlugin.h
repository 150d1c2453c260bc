// ManagerPlugin.h - the built-in plugin "manager", through which the shell
// offers its own features as services. It is bound first, without a library,
// through the same five entry points as a plugin library.
#pragma once

#include "kivra_plugin.h"

namespace kivra {

constexpr char kManagerPluginName[] = "manager";
constexpr unsigned long kManagerPluginVersion = 0x101;

// The five entry points of one plugin, as BindPlugin takes them.
struct PluginEntryPoints {
    PFN_ExecuteService executeService;
    PFN_UnloadPlugin unloadPlugin;
    PFN_GetPluginInfo getPluginInfo;
    PFN_LoadPlugin loadPlugin;
    PFN_CheckDependenceInfo checkDependenceInfo;
};

// The built-in plugin's entry points, for BindPlugin(registry, nullptr).
PluginEntryPoints ManagerPluginEntryPoints();

// The built-in plugin's own CPluginInterface, through which the shell calls
// services itself; null before its LoadPlugin and after its UnloadPlugin.
CPluginInterface* ManagerPluginInterface();

// The host main window object given to the built-in plugin's LoadPlugin.
void* ManagerPluginHost();

}  // namespace kivra
