#include "config/Values.h"

#include <cwchar>

namespace kivra {

namespace {

bool IsEmpty(const wchar_t* text)
{
    return text == nullptr || text[0] == 0;
}

// Each component keeps its low 8 bits, so 300 wraps to 44 as the stored
// files have always been read.
COLORREF ColorFromComponents(int red, int green, int blue)
{
    return RGB(red & 0xFF, green & 0xFF, blue & 0xFF);
}

}  // namespace

bool ParseFalseTestFlag(const wchar_t* text, bool preset)
{
    if (IsEmpty(text))
        return preset;
    return _wcsnicmp(text, L"false", 5) != 0;
}

bool ParseTrueTestFlag(const wchar_t* text)
{
    return text != nullptr && wcscmp(text, L"true") == 0;
}

int ParseDecimal(const wchar_t* text, int preset)
{
    int value = preset;
    if (IsEmpty(text) || swscanf(text, kDecimalPattern, &value) != 1)
        return preset;
    return value;
}

unsigned ParseHex(const wchar_t* text, unsigned preset)
{
    unsigned value = preset;
    if (IsEmpty(text) || swscanf(text, kHexPattern, &value) != 1)
        return preset;
    return value;
}

IntPair ParsePair(const wchar_t* text)
{
    IntPair pair;
    if (!IsEmpty(text))
        swscanf(text, kPairPattern, &pair.first, &pair.second);
    return pair;
}

IntPair ParseSpacedPair(const wchar_t* text)
{
    IntPair pair;
    if (!IsEmpty(text))
        swscanf(text, kSpacedPairPattern, &pair.first, &pair.second);
    return pair;
}

COLORREF ParseColor(const wchar_t* text)
{
    int red = 0, green = 0, blue = 0;
    if (!IsEmpty(text))
        swscanf(text, kColorPattern, &red, &green, &blue);
    return ColorFromComponents(red, green, blue);
}

COLORREF ParseSpacedColor(const wchar_t* text)
{
    int red = 0, green = 0, blue = 0;
    if (!IsEmpty(text))
        swscanf(text, kSpacedColorPattern, &red, &green, &blue);
    return ColorFromComponents(red, green, blue);
}

RECT ParseRect(const wchar_t* text)
{
    RECT rect = {0, 0, 0, 0};
    if (!IsEmpty(text)) {
        int left = 0, top = 0, right = 0, bottom = 0;
        swscanf(text, kRectPattern, &left, &top, &right, &bottom);
        rect = {left, top, right, bottom};
    }
    return rect;
}

unsigned ParseSixFlags(const wchar_t* text)
{
    int flags[6] = {0, 0, 0, 0, 0, 0};
    if (!IsEmpty(text))
        swscanf(text, L"%d,%d,%d,%d,%d,%d", &flags[0], &flags[1], &flags[2], &flags[3], &flags[4],
                &flags[5]);
    unsigned mask = 0;
    for (int i = 0; i < 6; ++i)
        if (flags[i] != 0)
            mask |= 1u << i;
    return mask;
}

}  // namespace kivra
