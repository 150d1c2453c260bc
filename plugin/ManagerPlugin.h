// ManagerPlugin.h - the built-in plugin "manager", through which the shell
// offers its own features as services. It is bound first, without a library,
// through the same five entry points as a plugin library, and unloaded last.
//
// Its host object is the shell's IManagerHost (ManagerHost.h); everything it
// does to the shell's windows goes through that. Its LoadPlugin makes its
// state, asks the host for the settings dialogs and stores its 31 services in
// table order; its UnloadPlugin has the host release the frame context with
// the configuration, and drops the state.
#pragma once

#include "kivra_plugin.h"
#include "plugin/ManagerHost.h"
#include "plugin/PluginLoader.h"

#include <span>

namespace kivra {


constexpr char kManagerPluginName[] = "manager";
constexpr unsigned long kManagerPluginVersion = 0x101;

// The number of services in the manager's table.
constexpr size_t kManagerServiceCount = 31;

// The record whose hWnd field carries the settings dialog's object pointer
// (not a window handle) for plugins to parent their settings pages to.
constexpr char kProvideSetCWndService[] = "manager/ProvideSetCWnd";

// How the handlers read the plugins' records into the shell's requests (the
// one place that reads them): every text field within its width, terminated
// or not.
TWaitRequest WaitRequestOf(const TParam& param);
TStatusPaneRequest StatusPaneRequestOf(const TStatusPaneInfo& pane);
TButtonChange ButtonChangeOf(const TButtonInfo& info);
TCommandRequest CommandRequestOf(const TCommandItem& item);
TMenuCheckRequest MenuCheckRequestOf(const TMenuCheckInfo& check);

// The handlers of the services the shell registers itself, with the built-in
// plugin's interface: every "<plugin>/ShowPluginPanel" and every named skin
// menu's. Each reads the caller's service name and asks the host
// (IManagerHost::ShowPluginPanel, IManagerHost::PopUpSkinMenu); 0 while the
// built-in plugin is unbound or when nothing was shown.
int __cdecl PanelServiceHandler(TService* service, TParam* param);
int __cdecl MenuServiceHandler(TService* service, TParam* param);

// The built-in plugin's entry points, for BindPlugin.
PluginEntryPoints ManagerPluginEntryPoints();

// The built-in plugin's own CPluginInterface, through which the shell calls
// services itself; null before its LoadPlugin and after its UnloadPlugin.
CPluginInterface* ManagerPluginInterface();

// The host given to the built-in plugin's LoadPlugin; null while unbound.
IManagerHost* ManagerPluginHost();

// The service table in registration order: paths and handlers (LoadPlugin
// fills in pInterface and the ProvideSetCWnd pointer of the stored copies).
std::span<const TService> ManagerServiceTable();

// Takes the settings dialog's pointer back out of the stored
// "manager/ProvideSetCWnd" record, when the shell destroys that dialog, so
// that no caller is handed a pointer to a deleted object.
void ForgetSettingDialog();

// Whether the next "manager/PutWindowTopMost" makes the main window top-most.
bool NextTopMostCallRaises();

// The caption PluginMessageBox shows when its caller gives none: "Bramic"
// until start-up replaces it by the translated product title (at most 255
// characters; longer titles are cut).
constexpr wchar_t kDefaultMessageBoxCaption[] = L"Bramic";
constexpr size_t kMessageBoxCaptionUnits = 256;
void SetMessageBoxCaption(const wchar_t* caption);
const wchar_t* MessageBoxCaption();

}  // namespace kivra
