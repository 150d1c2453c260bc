// CSystemSetDlg: the page reserved for the shell's own settings (template
// 131), a hidden child of the settings dialog made and destroyed with it.
// The shell registers no settings service for itself, so the page has no
// tree item and is never shown; it has no content and no behaviour of its
// own.
#pragma once

#include "framework/Dialog.h"

namespace kivra {

class CSystemSetDlg : public CDialog {
public:
    CSystemSetDlg();
};

}  // namespace kivra
