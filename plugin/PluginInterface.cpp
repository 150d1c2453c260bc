// The three members of CPluginInterface that Kivra.exe exports to plugins.
// They are the module boundary: nothing thrown below them gets out.
#include "kivra_plugin.h"

#include "framework/NoThrow.h"
#include "plugin/ServiceRegistry.h"

using kivra::CServiceRegistry;
using kivra::NoThrow;

int CPluginInterface::RegisterService(TService* service)
{
    return NoThrow(0, [&] {
        CServiceRegistry* registry = CServiceRegistry::GetRegistry();
        if (service == nullptr || registry == nullptr)
            return 0;
        service->pInterface = this;
        return registry->AddService(service);
    });
}

int CPluginInterface::CallService(TService* service, TParam* param)
{
    return NoThrow(0, [&] {
        CServiceRegistry* registry = CServiceRegistry::GetRegistry();
        return registry ? registry->CallService(service, param) : 0;
    });
}

bool CPluginInterface::QueryPluginInfo(PluginInfo* info)
{
    return NoThrow(false, [&] {
        CServiceRegistry* registry = CServiceRegistry::GetRegistry();
        return registry ? registry->QueryPluginInfo(info) : false;
    });
}
