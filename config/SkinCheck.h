// The skin check for skin authors: opens a skin folder with the shell's own
// CSkin, walks skin.xml against the keys the skin readers know, and lists
// every missing picture, unreadable value, unknown key and out-of-range
// rectangle with its element path; then reads the skin with the section
// readers the main window uses and says what they found.
#pragma once

#include <string>
#include <vector>

namespace kivra {

struct SkinFinding {
    std::wstring path;  // "skin/tool-bar/button[3]/@image"; empty for the skin as a whole
    std::wstring text;  // "missing picture "x.bmp" (in neither ... nor ...)"
};

struct SkinCheckResult {
    bool starts = false;  // false: the shell would refuse this skin ("The config file may be broken!")
    std::vector<SkinFinding> findings;
    std::wstring summary;  // what the section readers read, one line
};

// folder: the skin folder (absolute, below a "\skin\" folder, without a
// trailing backslash), as the configuration opens it.
SkinCheckResult CheckSkin(const wchar_t* folder);

// Whether text holds exactly the numbers of a value pattern ("%d,%d",
// "%x", "%d, %d": a blank stands for any white space, none included), each
// within 32 bits, with nothing but white space after them.
bool IsWholeNumberValue(const wchar_t* text, const wchar_t* pattern);

}  // namespace kivra
