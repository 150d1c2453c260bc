#include "dialogs/SettingDialogs.h"

#include <new>

#include "dialogs/SettingDlg.h"
#include "dialogs/SettingPages.h"
#include "dialogs/SystemSetDlg.h"
#include "plugin/ManagerPlugin.h"
#include "plugin/ServiceRegistry.h"

namespace kivra {

CSettingDialogs::CSettingDialogs() = default;

CSettingDialogs::~CSettingDialogs()
{
    Destroy();
}

CWindow* CSettingDialogs::Create()
{
    systemSettingPage_.reset();
    settingDialog_.reset(new (std::nothrow) CSettingDlg());
    fillWhenMade_ = false;
    icon_ = nullptr;
    return settingDialog_.get();
}

bool CSettingDialogs::Made() const
{
    return settingDialog_ && settingDialog_->IsWindow();
}

bool CSettingDialogs::Make()
{
    if (Made())
        return true;
    if (!settingDialog_ || making_)
        return false;
    // The object stays when its window cannot be made: plugins may hold its
    // address, and its null handle tells them there is no dialog.
    making_ = true;
    if (settingDialog_->Create(::GetDesktopWindow())) {
        settingDialog_->Hide();
        if (fillWhenMade_)
            settingDialog_->FillPages(icon_, false);
        fillWhenMade_ = false;
    }
    making_ = false;
    return Made();
}

void CSettingDialogs::FillPages(HICON icon)
{
    icon_ = icon;
    const CServiceRegistry* registry = CServiceRegistry::ExistingRegistry();
    if (!Made() && registry != nullptr && !HasSettingPageService(*registry)) {
        fillWhenMade_ = true;
        return;
    }
    if (Make())
        settingDialog_->FillPages(icon);
}

void CSettingDialogs::MakeSystemSettingPage()
{
    if (systemSettingPage_ || !Made())
        return;
    systemSettingPage_.reset(new (std::nothrow) CSystemSetDlg());
    if (systemSettingPage_ && !systemSettingPage_->Create(settingDialog_->Handle()))
        systemSettingPage_.reset();
    if (systemSettingPage_)
        systemSettingPage_->Hide();
}

bool CSettingDialogs::Show()
{
    if (!Make())
        return false;
    MakeSystemSettingPage();
    ::SetForegroundWindow(settingDialog_->Handle());
    settingDialog_->Show(SW_SHOW);
    return true;
}

void CSettingDialogs::Destroy()
{
    settingDialog_.reset();
    systemSettingPage_.reset();
    fillWhenMade_ = false;
    ForgetSettingDialog();
}

}  // namespace kivra
