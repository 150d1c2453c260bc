#include "dialogs/SettingPages.h"

#include <cstring>
#include <string>

#include "framework/Text.h"
#include "plugin/ServiceRegistry.h"

namespace kivra {

bool SettingServiceName(const char* pluginName, char (&out)[KIVRA_NAME_SIZE])
{
    CopyText(out, nullptr);
    if (pluginName == nullptr)
        return false;
    const size_t length = strnlen(pluginName, KIVRA_NAME_SIZE);
    if (length > kSettingPluginNameLimit)
        return false;
    std::memcpy(out, pluginName, length);
    std::memcpy(out + length, kSettingHandleSuffix, sizeof(kSettingHandleSuffix));
    return true;
}

RECT SettingPageRect(const RECT& client, const RECT& tree)
{
    return {tree.right + 2, tree.top, client.right - tree.left, tree.bottom};
}

std::vector<SettingPage> CollectSettingPages(CServiceRegistry& registry)
{
    // The names first: a service called below may bind or unbind plugins.
    // The list runs newest first, so it is read from the back.
    std::vector<std::string> names;
    for (auto it = registry.Plugins().rbegin(); it != registry.Plugins().rend(); ++it)
        names.emplace_back((*it)->info.szName, strnlen((*it)->info.szName, KIVRA_NAME_SIZE));

    std::vector<SettingPage> pages;
    for (const std::string& name : names) {
        TService service{};
        if (!SettingServiceName(name.c_str(), service.szName))
            continue;
        TParam param{};
        if (registry.CallService(&service, &param) == 0 || !::IsWindow(service.hWnd))
            continue;
        SettingPage page{};
        WidenName(page.name, name.c_str());
        page.window = service.hWnd;
        pages.push_back(page);
    }
    return pages;
}

bool HasSettingPageService(const CServiceRegistry& registry)
{
    for (const auto& plugin : registry.Plugins()) {
        char service[KIVRA_NAME_SIZE];
        if (SettingServiceName(plugin->info.szName, service) && registry.FindService(service) != nullptr)
            return true;
    }
    return false;
}

}  // namespace kivra
