// CSettingDialogs: the settings dialog (template 130) and the system settings
// page (template 131), made together. The main window's frame owns the pair;
// the built-in plugin asks for them when it loads (through the main window,
// IManagerHost::CreateSettingDialogs), and the main window's shutdown
// destroys them.
#pragma once

#include <memory>

namespace kivra {

class CSettingDlg;
class CSystemSetDlg;
class CWindow;

class CSettingDialogs {
public:
    CSettingDialogs();
    ~CSettingDialogs();  // Destroy
    CSettingDialogs(const CSettingDialogs&) = delete;
    CSettingDialogs& operator=(const CSettingDialogs&) = delete;

    // Makes the settings dialog with the desktop window as parent and the
    // system settings page as its child, both hidden; dialogs made before are
    // destroyed first. Either may fail when the executable has no such
    // template: the shell goes on without them. Answers the settings dialog's
    // window object, or null.
    CWindow* Create();

    // The two dialogs; null before Create, after Destroy, or when they could
    // not be made.
    CSettingDlg* SettingDialog() const { return settingDialog_.get(); }
    CSystemSetDlg* SystemSettingPage() const { return systemSettingPage_.get(); }

    // "manager/ShowSetWindow": the settings dialog to the foreground, then
    // shown. False when there is none.
    bool Show();

    // Destroys both dialogs and takes the settings dialog's pointer back from
    // the built-in plugin, which hands it out to plugins.
    void Destroy();

private:
    std::unique_ptr<CSettingDlg> settingDialog_;
    std::unique_ptr<CSystemSetDlg> systemSettingPage_;
};

}  // namespace kivra
