// The three members of CPluginInterface that Kivra.exe exports to plugins.
// They are the module boundary: nothing thrown below them gets out.
#include "kivra_plugin.h"

#include "plugin/ServiceRegistry.h"

using kivra::CServiceRegistry;

int CPluginInterface::RegisterService(TService* service)
{
    try {
        CServiceRegistry* registry = CServiceRegistry::GetRegistry();
        if (service == nullptr || registry == nullptr)
            return 0;
        service->pInterface = this;
        return registry->AddService(service);
    } catch (...) {
        return 0;
    }
}

int CPluginInterface::CallService(TService* service, TParam* param)
{
    try {
        CServiceRegistry* registry = CServiceRegistry::GetRegistry();
        return registry ? registry->CallService(service, param) : 0;
    } catch (...) {
        return 0;
    }
}

bool CPluginInterface::QueryPluginInfo(PluginInfo* info)
{
    try {
        CServiceRegistry* registry = CServiceRegistry::GetRegistry();
        return registry ? registry->QueryPluginInfo(info) : false;
    } catch (...) {
        return false;
    }
}
