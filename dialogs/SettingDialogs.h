// The settings dialog (template 130) and the system settings page (template
// 131): one pair per process. The built-in plugin asks for them when it loads
// (through the main window, IManagerHost::CreateSettingDialogs), and the main
// window's shutdown destroys them.
#pragma once

namespace kivra {

class CSettingDlg;
class CSystemSetDlg;
class CWindow;

// Makes the settings dialog with the desktop window as parent and the system
// settings page as its child, both hidden; dialogs made before are destroyed
// first. Either may fail when the executable has no such template: the shell
// goes on without them. Answers the settings dialog's window object, or null.
CWindow* CreateSettingDialogs();

// The two dialogs; null before CreateSettingDialogs, after
// DestroySettingDialogs, or when they could not be made.
CSettingDlg* SettingDialog();
CSystemSetDlg* SystemSettingPage();

// "manager/ShowSetWindow": the settings dialog to the foreground, then shown.
// False when there is none.
bool ShowSettingDialog();

// Destroys both dialogs and takes the settings dialog's pointer back from
// the built-in plugin, which hands it out to plugins.
void DestroySettingDialogs();

}  // namespace kivra
