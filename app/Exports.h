// Exports.h - the plain functions Kivra.exe exports to plugins, all defined
// in Exports.cpp (their declarations for plugins are in kivra_plugin.h):
//   PluginMessageBox   a message box with the product title as caption
//   TranslateText      a text id through the product's language table
//   InitWaitDlg, SetWaitDlgBkImage, SetProgressStep, SetWaitDlgPos,
//   SetWaitDlgBkColor, SetWaitDlgRect, SetWaitDlgTextColor, SetWaitDlgText,
//   ShowWaitTipWindow  the wait dialog (dialogs/WaitDlg.h), from any thread
// and the message-box caption that PluginMessageBox falls back on.
#pragma once

#include <cstddef>

namespace kivra {

// PluginMessageBox's caption when the caller gives none: "Bramic" until
// start-up replaces it by the translated product title (at most 255
// characters; longer titles are cut).
constexpr wchar_t kDefaultMessageBoxCaption[] = L"Bramic";
constexpr size_t kMessageBoxCaptionUnits = 256;
void SetMessageBoxCaption(const wchar_t* caption);
const wchar_t* MessageBoxCaption();

}  // namespace kivra
