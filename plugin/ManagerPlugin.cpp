#include "plugin/ManagerPlugin.h"

#include "framework/Text.h"
#include "plugin/ServiceRegistry.h"

#include <cstring>
#include <span>

namespace kivra {

namespace {

CPluginInterface* g_interface = nullptr;  // the registry owns it
void* g_host = nullptr;                   // the main window object, not ours

// ---------------------------------------------------------------------------
// Service table. The manager's services, in registration order: each record
// holds its path and handler; LoadPlugin fills in pInterface when it stores
// them. Records are added to the table below as the shell's features arrive.

std::span<TService> ServiceTable()
{
    return {};
}

// ---------------------------------------------------------------------------
// Entry points.

// void GetPluginInfo(PluginInfo* info)
void __cdecl GetPluginInfo(PluginInfo* info)
{
    if (info == nullptr)
        return;
    std::memset(info, 0, sizeof(PluginInfo));
    CopyText(info->szName, kManagerPluginName);
    CopyText(info->szSecondName, kManagerPluginName);
    info->dwVersion = kManagerPluginVersion;
}

// bool CheckDependenceInfo(unsigned long hostVersion): the shell is its own host.
bool __cdecl CheckDependenceInfo(unsigned long)
{
    return true;
}

// bool LoadPlugin(CPluginInterface* iface, void* host)
bool __cdecl LoadPlugin(CPluginInterface* iface, void* host)
{
    g_interface = iface;
    g_host = host;

    // --- Registration of the service table, in table order. -----------------
    CServiceRegistry* registry = CServiceRegistry::GetRegistry();
    for (TService& record : ServiceTable()) {
        record.pInterface = iface;
        if (registry != nullptr)
            registry->AddService(&record);
    }
    // -------------------------------------------------------------------------
    return true;
}

// bool UnloadPlugin(void)
bool __cdecl UnloadPlugin()
{
    g_interface = nullptr;
    return true;
}

// int ExecuteService(TService* service, TParam* param)
int __cdecl ExecuteService(TService* service, TParam* param)
{
    if (service == nullptr || service->pfnHandler == nullptr)
        return 0;
    return service->pfnHandler(service, param);
}

}  // namespace

PluginEntryPoints ManagerPluginEntryPoints()
{
    return {ExecuteService, UnloadPlugin, GetPluginInfo, LoadPlugin, CheckDependenceInfo};
}

CPluginInterface* ManagerPluginInterface()
{
    return g_interface;
}

void* ManagerPluginHost()
{
    return g_host;
}

}  // namespace kivra
