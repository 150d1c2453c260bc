// Bounded text copies and formatting into fixed fields. Every fixed-size text
// field of the shell is written through these helpers: the text is cut to
// fit, always terminated, and (for copies) the rest of the field is
// zero-filled so that records compared or copied byte-wise stay clean.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cwchar>

namespace kivra {

// Copies src into dst[capacity], cutting it to capacity - 1 units. A null src
// gives an empty text. Returns true when the whole text fitted.
bool CopyText(wchar_t* dst, size_t capacity, const wchar_t* src);
bool CopyText(char* dst, size_t capacity, const char* src);

// Takes the low 8 bits of each UTF-16 unit: the way 8-bit names (service paths,
// plugin and command names) are taken from XML texts.
bool NarrowName(char* dst, size_t capacity, const wchar_t* src);

// Widens an 8-bit name unit by unit (the reverse of NarrowName).
bool WidenName(wchar_t* dst, size_t capacity, const char* src);

// Appends src to the text already in dst[capacity]; false (dst unchanged) when
// the result would not fit. Used for paths, which are rejected, never cut.
bool AppendText(wchar_t* dst, size_t capacity, const wchar_t* src);

// Formats into dst[capacity], cut to capacity - 1 units and always
// terminated; true when the whole text fitted. The wide form follows the
// Windows C runtime's rules whatever the MinGW stdio setting: %s and %ls take
// a wide text, %hs a narrow one. The narrow form is the C library's.
bool FormatText(wchar_t* dst, size_t capacity, const wchar_t* format, ...);
bool FormatTextV(wchar_t* dst, size_t capacity, const wchar_t* format, va_list args);
bool FormatText(char* dst, size_t capacity, const char* format, ...);
bool FormatTextV(char* dst, size_t capacity, const char* format, va_list args);

template <size_t N> bool CopyText(wchar_t (&dst)[N], const wchar_t* src) { return CopyText(dst, N, src); }
template <size_t N> bool CopyText(char (&dst)[N], const char* src) { return CopyText(dst, N, src); }
template <size_t N> bool NarrowName(char (&dst)[N], const wchar_t* src) { return NarrowName(dst, N, src); }
template <size_t N> bool WidenName(wchar_t (&dst)[N], const char* src) { return WidenName(dst, N, src); }
template <size_t N> bool AppendText(wchar_t (&dst)[N], const wchar_t* src) { return AppendText(dst, N, src); }
template <size_t N, typename... Args> bool FormatText(wchar_t (&dst)[N], const wchar_t* format, Args... args)
{
    return FormatText(dst, N, format, args...);
}
template <size_t N, typename... Args> bool FormatText(char (&dst)[N], const char* format, Args... args)
{
    return FormatText(dst, N, format, args...);
}

// The longest path the shell builds, in characters (MAX_PATH less the NUL).
constexpr size_t kMaxPathChars = 259;

}  // namespace kivra
