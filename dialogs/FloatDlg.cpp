#include "dialogs/FloatDlg.h"

#include "resources/resource.h"

namespace kivra {

CFloatDlg::CFloatDlg() : CDialog(IDD_FLOAT) {}

}  // namespace kivra
