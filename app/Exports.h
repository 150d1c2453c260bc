// Exports.h - the plain functions Kivra.exe exports to plugins (their
// declarations for plugins are in kivra_plugin.h):
//   PluginMessageBox   a message box with the product title as caption (the
//                      caption is the built-in plugin's, plugin/ManagerPlugin.h)
//   TranslateText      a text id through the product's language table
// both defined in Exports.cpp, and the wait dialog's, from any thread:
//   InitWaitDlg, SetWaitDlgBkImage, SetProgressStep, SetWaitDlgPos,
//   SetWaitDlgBkColor, SetWaitDlgRect, SetWaitDlgTextColor, SetWaitDlgText,
//   ShowWaitTipWindow  defined in dialogs/WaitExports.cpp
#pragma once

#include "plugin/ManagerPlugin.h"
