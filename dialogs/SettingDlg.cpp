#include "dialogs/SettingDlg.h"

#include "resources/resource.h"

namespace kivra {

CSettingDlg::CSettingDlg() : CDialog(IDD_SETTING) {}

}  // namespace kivra
