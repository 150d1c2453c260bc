#include "dialogs/SettingDialogs.h"

#include <new>

#include "dialogs/SettingDlg.h"
#include "dialogs/SystemSetDlg.h"
#include "plugin/ManagerPlugin.h"

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
    if (settingDialog_ && !settingDialog_->Create(::GetDesktopWindow()))
        settingDialog_.reset();
    if (!settingDialog_)
        return nullptr;
    settingDialog_->Hide();
    systemSettingPage_.reset(new (std::nothrow) CSystemSetDlg());
    if (systemSettingPage_ && !systemSettingPage_->Create(settingDialog_->Handle()))
        systemSettingPage_.reset();
    if (systemSettingPage_)
        systemSettingPage_->Hide();
    return settingDialog_.get();
}

bool CSettingDialogs::Show()
{
    if (!settingDialog_ || !settingDialog_->IsWindow())
        return false;
    ::SetForegroundWindow(settingDialog_->Handle());
    settingDialog_->Show(SW_SHOW);
    return true;
}

void CSettingDialogs::Destroy()
{
    settingDialog_.reset();
    systemSettingPage_.reset();
    ForgetSettingDialog();
}

}  // namespace kivra
