// Translating the texts of the shell's own dialogs in place: the dialog
// template holds the English text, which is also its text id.
#pragma once

#include <windows.h>

#include <cstddef>

namespace kivra {

// Translates text[capacity] in place through "manager/Configure/GetString",
// or through the language table directly while the built-in plugin is not
// bound; the translation is cut to fit. Nothing for a null text.
void TranslateInPlace(wchar_t* text, size_t capacity);

// Reads the window's text (at most capacity - 1 units), translates it and
// sets it back. Nothing for a window that does not exist.
void TranslateWindowText(HWND window, size_t capacity);

}  // namespace kivra
