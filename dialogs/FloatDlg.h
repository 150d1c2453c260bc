// CFloatDlg: the small floating window (template 129) that stands for the
// application while the main window is hidden in the tray. Start-up makes it
// hidden with the desktop as parent.
//
// For now it is the bare window: its skin, its data curve, the number in its
// corner and its mouse handling come with the floating window itself.
#pragma once

#include "framework/Dialog.h"

namespace kivra {

class CFloatDlg : public CDialog {
public:
    CFloatDlg();

protected:
    // A modeless helper window: Enter and Esc must not hide it.
    void OnOK() override {}
    void OnCancel() override {}
};

}  // namespace kivra
