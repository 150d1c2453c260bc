#include "mainwindow/MainDlg.h"

namespace kivra {

CMainDlg::~CMainDlg()
{
    // DoModal has normally destroyed it already.
    if (IsWindow())
        Destroy();
}

}  // namespace kivra
