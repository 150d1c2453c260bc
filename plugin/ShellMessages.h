// The window messages that cross the shell's parts: posted or sent by one
// part (the built-in plugin's services, the floating window, a second
// instance) and answered by another (the main window, through its tray icon).
#pragma once

#include <windows.h>

namespace kivra {

// The tray icon's callback message to the main window; lParam is the mouse
// message, and WM_LBUTTONDBLCLK brings a hidden main window back.
constexpr UINT kTrayCallbackMessage = WM_USER + 102;

}  // namespace kivra
