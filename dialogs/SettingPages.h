// The settings dialog's pages without a window: which plugins have one, the
// service they hand it out through, and where it goes in the dialog.
//
// A plugin with a settings page registers "<its name>/GetSettingHandle"; a
// call of it succeeds and leaves the page's window handle in the hWnd field of
// the caller's record (a data record carrying the handle, or a handler that
// writes it). The page is a child of the settings dialog and applies its
// settings when it receives kSettingApplyMessage.
#pragma once

#include "kivra_plugin.h"

#include <vector>

namespace kivra {

class CServiceRegistry;

// Posted (wParam 0, lParam 0) to a page that is to apply its settings.
constexpr UINT kSettingApplyMessage = WM_USER + 100;
constexpr char kSettingHandleSuffix[] = "/GetSettingHandle";
// The longest plugin name that leaves room for the suffix in a service name.
constexpr size_t kSettingPluginNameLimit = KIVRA_NAME_SIZE - 1 - (sizeof(kSettingHandleSuffix) - 1);

// The plugin's name (at most its 64 bytes are read, terminated or not)
// followed by the suffix. False, with out empty, when the name is longer than
// kSettingPluginNameLimit: the name is not cut into some other plugin's.
bool SettingServiceName(const char* pluginName, char (&out)[KIVRA_NAME_SIZE]);

// Where the pages go: right of the tree, two pixels from it, as high as the
// tree, with the tree's left margin on the right. Both in client coordinates.
RECT SettingPageRect(const RECT& client, const RECT& tree);

struct SettingPage {
    wchar_t name[KIVRA_NAME_SIZE];  // the plugin's name, widened, untranslated
    HWND window;
};

// Asks every bound plugin, in load order (the oldest first), for its page.
// Plugins whose call fails, whose name does not fit or whose page is not a
// window have none.
std::vector<SettingPage> CollectSettingPages(CServiceRegistry& registry);

// Whether some bound plugin registered its page service; nothing is called.
bool HasSettingPageService(const CServiceRegistry& registry);

}  // namespace kivra
