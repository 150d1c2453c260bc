// The value syntaxes shared by every key of config.xml, skin.xml and the
// language files. Numbers follow the C library's wide formatted-input rules:
// white space before a number is skipped, a sign is allowed, reading stops at
// the first character that does not fit, and later fields keep their presets.
#pragma once

#include <windows.h>

namespace kivra {

// The patterns of the number syntaxes, read by the parsers below and checked
// whole by the skin check.
constexpr wchar_t kDecimalPattern[] = L"%d";
constexpr wchar_t kHexPattern[] = L"%x";
constexpr wchar_t kPairPattern[] = L"%d,%d";
constexpr wchar_t kSpacedPairPattern[] = L"%d, %d";
constexpr wchar_t kColorPattern[] = L"%d,%d,%d";
constexpr wchar_t kSpacedColorPattern[] = L"%d,%d, %d";
constexpr wchar_t kRectPattern[] = L"%d,%d,%d,%d";

struct IntPair {
    int first = 0;
    int second = 0;
};

// Empty text: preset. Otherwise false exactly when the first five characters
// are "false" ignoring case ("falsehood" is false; "0", "no", "off" are true).
bool ParseFalseTestFlag(const wchar_t* text, bool preset);
// True exactly when the whole text is "true" in this case.
bool ParseTrueTestFlag(const wchar_t* text);
// "%d"; preset when nothing can be read.
int ParseDecimal(const wchar_t* text, int preset = -1);
// "%x", with or without a "0x" prefix; preset when nothing can be read.
unsigned ParseHex(const wchar_t* text, unsigned preset = 0);
// "%d,%d": fields that cannot be read stay 0.
IntPair ParsePair(const wchar_t* text);
// "%d, %d": as ParsePair, white space allowed after the comma.
IntPair ParseSpacedPair(const wchar_t* text);
// "%d,%d,%d" red, green, blue: red + green * 256 + blue * 65536, low 8 bits each.
COLORREF ParseColor(const wchar_t* text);
// "%d,%d, %d": the tool area's colour, white space allowed before the blue.
COLORREF ParseSpacedColor(const wchar_t* text);
// "%d,%d,%d,%d" left, top, right, bottom; unread fields stay 0.
RECT ParseRect(const wchar_t* text);
// "%d,%d,%d,%d,%d,%d": bit i set when the i-th integer is nonzero; missing
// integers at the end count as 0.
unsigned ParseSixFlags(const wchar_t* text);

}  // namespace kivra
