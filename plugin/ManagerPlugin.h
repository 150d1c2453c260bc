// ManagerPlugin.h - the built-in plugin "manager", through which the shell
// offers its own features as services. It is bound first, without a library,
// through the same five entry points as a plugin library, and unloaded last.
//
// Its LoadPlugin makes the settings dialog (template 130, parent: the desktop)
// and the system settings page (template 131, a child of the settings dialog),
// both hidden, then stores its 31 services in table order. Its UnloadPlugin
// forgets its interface and destroys the frame context with the configuration.
#pragma once

#include "kivra_plugin.h"

#include <span>

namespace kivra {

class CSettingDlg;
class CSystemSetDlg;

constexpr char kManagerPluginName[] = "manager";
constexpr unsigned long kManagerPluginVersion = 0x101;

// The number of services in the manager's table.
constexpr size_t kManagerServiceCount = 31;

// The record whose hWnd field carries the settings dialog's object pointer
// (not a window handle) for plugins to parent their settings pages to.
constexpr char kProvideSetCWndService[] = "manager/ProvideSetCWnd";

// PluginMessageBox's caption when the caller gives none: "Bramic" until
// start-up replaces it by the translated product title (at most 255
// characters; longer titles are cut).
constexpr wchar_t kDefaultMessageBoxCaption[] = L"Bramic";
constexpr size_t kMessageBoxCaptionUnits = 256;
void SetMessageBoxCaption(const wchar_t* caption);
const wchar_t* MessageBoxCaption();

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

// The service table in registration order (paths and handlers; pInterface
// and the ProvideSetCWnd pointer are filled in by LoadPlugin).
std::span<const TService> ManagerServiceTable();

// The settings dialog and the system settings page made by LoadPlugin; null
// before it ran, after DestroySettingDialogs, or when their templates are not
// in the executable.
CSettingDlg* SettingDialog();
CSystemSetDlg* SystemSettingPage();

// Destroys both dialogs (the main window's shutdown) and takes the settings
// dialog's pointer back out of the stored "manager/ProvideSetCWnd" record, so
// that no caller is handed a pointer to a deleted object.
void DestroySettingDialogs();

// Whether the next "manager/PutWindowTopMost" makes the main window top-most.
bool NextTopMostCallRaises();

}  // namespace kivra

extern "C" {
// MessageBoxW(owner, text, caption, type) with the caption above when caption
// is null; answers MessageBoxW's result. Declared for plugins in kivra_plugin.h.
KIVRA_API int __cdecl PluginMessageBox(const wchar_t* text, HWND owner, unsigned type, const wchar_t* caption);
}
