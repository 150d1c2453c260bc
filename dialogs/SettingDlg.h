// CSettingDlg: the settings dialog (template 130), made hidden and modeless by
// the built-in plugin with the desktop as parent. Plugins put their settings
// pages into it; the object's address is what "manager/ProvideSetCWnd" hands
// out as the pages' parent.
//
// For now it is the empty frame: the tree of pages, the page switching and
// OK/Cancel/Apply come with the settings pages.
#pragma once

#include "framework/Dialog.h"

namespace kivra {

class CSettingDlg : public CDialog {
public:
    CSettingDlg();
};

}  // namespace kivra
