#include "dialogs/SystemSetDlg.h"

#include "resources/resource.h"

namespace kivra {

CSystemSetDlg::CSystemSetDlg() : CDialog(IDD_SYSTEM_SETTING) {}

}  // namespace kivra
