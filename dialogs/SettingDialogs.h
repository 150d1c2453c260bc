// CSettingDialogs: the settings dialog (template 130) and the system settings
// page (template 131). The main window's frame owns the pair; the built-in
// plugin asks for them when it loads (through the main window,
// IManagerHost::CreateSettingDialogs), and the main window's shutdown
// destroys them.
//
// Their windows are made when first wanted: the settings dialog's by the
// first "manager/ProvideSetCWnd" (a plugin about to parent its page), the
// first show, or the start-up's page fill when some plugin has a page; the
// system settings page's, which never shows, as the dialog first shows. A
// start-up without pages spares the two windows (about 4 ms under Wine), one
// with pages the page (0.4 ms).
#pragma once

#include <windows.h>

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

    // Makes the two dialog objects, their windows not yet (see Make); dialogs
    // made before are destroyed first. Answers the settings dialog's window
    // object, whose handle stays null until Make, or null when it cannot be
    // allocated.
    CWindow* Create();

    // Makes the settings dialog's window unless it is there, hidden, with the
    // desktop window as parent (Show adds the system settings page). When
    // start-up's fill came first, the dialog is filled then without asking
    // plugins for pages (none had one). Either window may fail when the
    // executable has no such template: the shell goes on without them, and
    // the settings dialog's handle stays null. False when there is no
    // settings dialog window.
    bool Make();

    // Start-up, once every plugin is bound: makes the windows and fills the
    // dialog with the plugins' pages (CSettingDlg::FillPages) when some
    // plugin has a page service; otherwise that waits for Make. The icon is
    // the main window's, not owned.
    void FillPages(HICON icon);

    // The two dialogs; null before Create, after Destroy, or when they could
    // not be allocated. Their windows may not be made yet.
    CSettingDlg* SettingDialog() const { return settingDialog_.get(); }
    CSystemSetDlg* SystemSettingPage() const { return systemSettingPage_.get(); }

    // "manager/ShowSetWindow": the settings dialog made, with the system
    // settings page as its hidden child, to the foreground, then shown. False
    // when there is none.
    bool Show();

    // Destroys both dialogs and takes the settings dialog's pointer back from
    // the built-in plugin, which hands it out to plugins.
    void Destroy();

private:
    bool Made() const;
    void MakeSystemSettingPage();

    std::unique_ptr<CSettingDlg> settingDialog_;
    std::unique_ptr<CSystemSetDlg> systemSettingPage_;
    bool making_ = false;        // inside Make: a nested ask waits for it
    bool fillWhenMade_ = false;  // start-up's fill waits for the windows
    HICON icon_ = nullptr;       // the main window's, for that fill
};

}  // namespace kivra
