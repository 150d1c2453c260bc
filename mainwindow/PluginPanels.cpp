#include "mainwindow/PluginPanels.h"

#include <cstring>

#include "controls/ToolBarEx.h"
#include "framework/Text.h"
#include "mainwindow/CommandRegistry.h"
#include "plugin/ServiceRegistry.h"

namespace kivra {

std::string ServicePath(const char* name, const char* suffix)
{
    std::string path = std::string(name) + suffix;
    if (path.size() > KIVRA_NAME_SIZE - 1)
        path.resize(KIVRA_NAME_SIZE - 1);
    return path;
}

std::vector<std::string> PluginNames(const char* nameList)
{
    char names[kNameListLimit + 1];
    size_t count = kNameListLimit;
    CServiceRegistry::SplitNameList(nameList, names, count);
    std::vector<std::string> result;
    for (size_t at = 0; at < count && names[at] != 0; at += std::strlen(names + at) + 1)
        result.emplace_back(names + at);
    return result;
}

void CollectPluginPanels(CServiceRegistry& registry, CPluginInterface* manager, TServiceHandler handler,
                         TPanelState& panels, const RECT& panelRect)
{
    if (manager == nullptr)
        return;
    // The plugins first: a panel service could enumerate the plugins itself.
    std::vector<PluginInfo> plugins;
    registry.EnumPluginInfoReset();
    PluginInfo info;
    while (registry.EnumPluginInfoNext(&info))
        plugins.push_back(info);

    for (const PluginInfo& plugin : plugins) {
        char nameList[KIVRA_NAME_SIZE];
        CopyText(nameList, plugin.szName);
        for (const std::string& name : PluginNames(nameList)) {
            TService service{};
            CopyText(service.szName, ServicePath(name.c_str(), kGetPanelSuffix).c_str());
            TParam param{};
            if (manager->CallService(&service, &param) == 0 || service.hWnd == nullptr)
                continue;  // no panel
            HWND panel = service.hWnd;
            RECT own = {};
            ::GetWindowRect(panel, &own);
            const int width = panels.sameSize ? panelRect.right - panelRect.left : own.right - own.left;
            const int height = panels.sameSize ? panelRect.bottom - panelRect.top : own.bottom - own.top;
            ::MoveWindow(panel, panelRect.left, panelRect.top, width, height, TRUE);

            // The record the call filled becomes the show service: it keeps
            // the panel in hWnd, so the panel's controls get dialog keys.
            const std::string show = ServicePath(name.c_str(), kShowPanelSuffix);
            CopyText(service.szName, show.c_str());
            service.pfnHandler = handler;
            service.pInterface = manager;
            service.hWnd = panel;
            if (registry.FindService(show.c_str()) == nullptr && registry.AddService(&service) == 1)
                panels.byShowService[show] = panel;
        }
    }
}

bool ShowPanel(TPanelState& panels, const char* service, const TPanelHost& host)
{
    if (service == nullptr)
        return false;
    const auto found = panels.byShowService.find(std::string(service, strnlen(service, KIVRA_NAME_SIZE)));
    if (found == panels.byShowService.end())
        return false;
    HWND panel = found->second;
    if (panel == panels.current)
        return true;
    if (panels.current != nullptr)
        ::ShowWindow(panels.current, SW_HIDE);
    ::ShowWindow(panel, SW_SHOW);
    panels.current = panel;

    if (panels.fitSizeToPlugin && host.window != nullptr) {
        RECT own = {}, window = {};
        ::GetWindowRect(panel, &own);
        ::GetWindowRect(host.window, &window);
        ::MoveWindow(host.window, window.left, window.top, own.right - window.left,
                     own.bottom - window.top + host.statusBarHeight, TRUE);
    }
    // Choosing a plugin leaves max mode.
    if (host.window != nullptr && ::IsZoomed(host.window) && host.normalSize.cx != 0 && host.normalSize.cy != 0)
        ::PostMessageW(host.window, WM_SYSCOMMAND, SC_RESTORE, 0);
    return true;
}

void HoldToolButtonsOf(CommandRegistry& commands, const char* service)
{
    for (const auto& bar : commands.ToolBars()) {
        if (!bar->OneOfMany())
            continue;
        for (UINT id : bar->ButtonIds()) {
            const CommandEntry* entry = commands.Find(id);
            if (entry != nullptr && std::strncmp(entry->service, service, KIVRA_NAME_SIZE) == 0) {
                bar->Hold(id);
                break;
            }
        }
    }
}

void FetchMaxPanel(CPluginInterface* manager, const char* service, TPanelState& panels, const RECT& maxPanelRect)
{
    if (manager == nullptr || service == nullptr || service[0] == 0)
        return;
    TService record{};
    CopyText(record.szName, service);
    TParam param{};
    manager->CallService(&record, &param);
    if (record.hWnd == nullptr)
        return;
    panels.maxPanel = record.hWnd;
    ::MoveWindow(record.hWnd, maxPanelRect.left, maxPanelRect.top, maxPanelRect.right - maxPanelRect.left,
                 maxPanelRect.bottom - maxPanelRect.top, TRUE);
}

}  // namespace kivra
