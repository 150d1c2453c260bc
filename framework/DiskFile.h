// Which files the shell may open when their names come from data (the
// configuration, a skin, a language code, a plugin list): regular files on a
// disk, never a device or a pipe.
//
// Windows opens the device for a name such as "COM1", "aux.bmp" or "NUL.xml"
// in any folder; reading a serial port or a pipe waits for data that may never
// come, so a skin naming "COM1.bmp" would stall the start for good.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/Handles.h"

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

// Reads the whole of a regular disk file of at most limit bytes into bytes.
// False, with bytes empty, for anything else and for a larger file.
bool ReadWholeFile(const wchar_t* path, size_t limit, std::vector<char>* bytes);

// Maps the whole of a regular disk file of minBytes to maxBytes bytes for
// reading: only the pages looked at are read. False, with view empty, for
// anything else.
bool MapWholeFile(const std::wstring& file, size_t minBytes, size_t maxBytes, UniqueMappedView* view, size_t* bytes);

// Replaces file with bytes: written whole beside it, then moved over it, so
// a reader sees the old file or the new one, never half of one. False when
// it cannot be written; the old file then stays as it was.
bool ReplaceFileWhole(const std::wstring& file, const void* bytes, size_t size);

// Building the image of such a file: bytes appended to it, and the bytes
// UTF-16 text of chars units takes when padded so that what follows starts
// on a four-byte boundary.
void AppendBytes(std::vector<unsigned char>& image, const void* data, size_t bytes);
size_t PaddedTextBytes(size_t chars);

// The file name in the current user's cache folder, "Kivra" in the local
// application data folder, made when missing. Empty when there is no such
// folder.
std::wstring UserCacheFile(const wchar_t* name);

}  // namespace kivra
