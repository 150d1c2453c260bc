// Which files the shell may open when their names come from data (the
// configuration, a skin, a language code, a plugin list): regular files on a
// disk, never a device or a pipe.
//
// Windows opens the device for a name such as "COM1", "aux.bmp" or "NUL.xml"
// in any folder; reading a serial port or a pipe waits for data that may never
// come, so a skin naming "COM1.bmp" would stall the start for good.
#pragma once

#include <windows.h>

namespace kivra {

// True when some part of path (between separators) is a device name: CON,
// PRN, AUX, NUL, COM0 to COM9, LPT0 to LPT9 (also with the superscript digits
// 1, 2 and 3), CONIN$, CONOUT$ and CLOCK$, in any case, with or without an
// extension or a colon, and with blanks before either.
bool NamesDevice(const wchar_t* path);

// True when path names an existing regular file on a disk: no device name, not
// a folder, and opened (without reading) it is a disk file, not a character
// device or a pipe.
bool IsRegularDiskFile(const wchar_t* path);

// LoadImageW of an icon file at its own size (LR_LOADFROMFILE), for regular
// disk files only; null otherwise. The caller owns the icon.
HICON LoadIconFile(const wchar_t* path);

}  // namespace kivra
