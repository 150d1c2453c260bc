// CSystemSetDlg: the shell's own settings page (template 131), a child of the
// settings dialog, made hidden by the built-in plugin.
//
// For now it is the empty page; its controls come with the settings pages.
#pragma once

#include "framework/Dialog.h"

namespace kivra {

class CSystemSetDlg : public CDialog {
public:
    CSystemSetDlg();
};

}  // namespace kivra
