// Kivra.exe's entry point. For now it binds the plugins and unloads them
// again; the main window will run between the two.
#include <windows.h>

#include "framework/Text.h"
#include "plugin/PluginLoader.h"
#include "plugin/ServiceRegistry.h"

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    using namespace kivra;
    CServiceRegistry* registry = CServiceRegistry::GetRegistry();
    if (registry == nullptr)
        return 0;

    BindPlugin(registry, nullptr);
    const std::wstring folder = PluginFolder();
    wchar_t pattern[kMaxPathChars + 1];
    if (!folder.empty() && CopyText(pattern, folder.c_str()) && AppendText(pattern, L"*.dll"))
        LoadPluginsInFolder(pattern);

    UnloadAllPlugins();
    CServiceRegistry::DestroyRegistry();
    return 0;
}
