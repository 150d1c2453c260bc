// The question asked before the shell ends on the user's request: the close
// box, the system menu's Close, "manager/HideMainWindow" and
// "manager/ProgramExit". While the modem reports an open connection the shell
// refuses to end and asks the user to disconnect first.
#pragma once

#include <windows.h>

namespace kivra {

// Text ids of the two questions (translated through the language table).
constexpr wchar_t kPleaseDisconnectText[] = L"Please disconnect!";
constexpr wchar_t kConfirmExitText[] = L"Are you sure to exit?";
constexpr UINT kPleaseDisconnectBoxStyle = MB_OK | MB_ICONINFORMATION;
constexpr UINT kConfirmExitBoxStyle = MB_YESNO | MB_ICONINFORMATION;
// The caption is the main window's text, at most 256 characters.
constexpr size_t kExitCaptionUnits = 257;

// The modem library's view: both values of NetStat non-zero.
constexpr bool IsConnectionUp(unsigned first, unsigned second) { return first != 0 && second != 0; }
// Whether the modem library reports a connection up; false when marvik.dll
// or its entries cannot be loaded.
bool ModemConnected();

// Asks the user, in message boxes owned by mainWindow and captioned with its
// text. True exactly when the user agreed to exit: false at once, after the
// "Please disconnect!" box, while a connection is up; otherwise the answer to
// "Are you sure to exit?".
bool ConfirmExit(HWND mainWindow);

}  // namespace kivra
