// Resource ids of Kivra.exe: dialog templates (IDD_), their controls (IDC_,
// named after the dialog and the control's type) and the icon (IDI_).
// Shared by resources/Kivra.rc and the C++ code; plain #defines so that the
// resource compiler reads them too.
//
// Tests that create these dialogs compile resources/Kivra.rc into their own
// program (see tests/framework/CMakeLists.txt).
#pragma once

// Dialog templates; the numbers are fixed by the system.
#define IDD_ABOUT           100
#define IDD_MAIN            102
#define IDD_FLOAT           129
#define IDD_SETTING         130
#define IDD_SYSTEM_SETTING  131
#define IDD_PASSWORD        140
#define IDD_WAIT            1008

// Control without an id.
#ifndef IDC_STATIC
#define IDC_STATIC          (-1)
#endif

// About dialog.
#define IDC_ABOUT_MAKER     1008
#define IDC_ABOUT_VERSION   1009
#define IDC_ABOUT_OK        1010
#define IDC_ABOUT_ICON      1011
#define IDC_ABOUT_PRODUCT   1017

// Floating dialog: the number in its corner.
#define IDC_FLOAT_TEXT      1000

// Settings dialog.
#define IDC_SETTING_OK      1001
#define IDC_SETTING_CANCEL  1002
#define IDC_SETTING_APPLY   1003
#define IDC_SETTING_TREE    1004

// Wait dialog.
#define IDC_WAIT_TEXT       1009
#define IDC_WAIT_PROGRESS   1010

// Password dialog (OK and Cancel are IDOK and IDCANCEL).
#define IDC_PASSWORD_EDIT   1013
#define IDC_PASSWORD_LABEL  1015
#define IDC_PASSWORD_MESSAGE 1016

// The executable's icon, as Explorer and the taskbar show the file. The
// windows load theirs from common\main.ico at run time.
#define IDI_MAIN            128
