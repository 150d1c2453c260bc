#include "dialogs/SettingDialogs.h"

#include <memory>
#include <new>

#include "dialogs/SettingDlg.h"
#include "dialogs/SystemSetDlg.h"
#include "plugin/ManagerPlugin.h"

namespace kivra {

namespace {

std::unique_ptr<CSettingDlg> g_settingDialog;
std::unique_ptr<CSystemSetDlg> g_systemSettingPage;

}  // namespace

CWindow* CreateSettingDialogs()
{
    g_systemSettingPage.reset();
    g_settingDialog.reset(new (std::nothrow) CSettingDlg());
    if (g_settingDialog && !g_settingDialog->Create(::GetDesktopWindow()))
        g_settingDialog.reset();
    if (!g_settingDialog)
        return nullptr;
    g_settingDialog->Hide();
    g_systemSettingPage.reset(new (std::nothrow) CSystemSetDlg());
    if (g_systemSettingPage && !g_systemSettingPage->Create(g_settingDialog->Handle()))
        g_systemSettingPage.reset();
    if (g_systemSettingPage)
        g_systemSettingPage->Hide();
    return g_settingDialog.get();
}

CSettingDlg* SettingDialog()
{
    return g_settingDialog.get();
}

CSystemSetDlg* SystemSettingPage()
{
    return g_systemSettingPage.get();
}

bool ShowSettingDialog()
{
    if (!g_settingDialog || !g_settingDialog->IsWindow())
        return false;
    ::SetForegroundWindow(g_settingDialog->Handle());
    g_settingDialog->Show(SW_SHOW);
    return true;
}

void DestroySettingDialogs()
{
    g_settingDialog.reset();
    g_systemSettingPage.reset();
    ForgetSettingDialog();
}

}  // namespace kivra
