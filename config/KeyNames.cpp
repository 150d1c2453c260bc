#include "config/KeyNames.h"

#include <cwchar>
#include <iterator>

namespace kivra {

namespace {

// Names are compared over at most this many characters.
constexpr size_t kKeyNameCompareChars = 16;

constexpr TKeyName kKeyNames[] = {
    {L"Left Button", 0x01},    {L"Right Button", 0x02},  {L"Control-break", 0x03}, {L"Middle Button", 0x04},
    {L"Backspace", 0x08},      {L"Tab", 0x09},           {L"Clear", 0x0C},         {L"Enter", 0x0D},
    {L"Shift", 0x10},          {L"Ctrl", 0x11},          {L"Alt", 0x12},           {L"Pause", 0x13},
    {L"Caps Lock", 0x14},      {L"Esc", 0x1B},           {L"Space", 0x20},         {L"Page Up", 0x21},
    {L"Page Down", 0x22},      {L"End", 0x23},           {L"Home", 0x24},          {L"Left", 0x25},
    {L"Up", 0x26},             {L"Right", 0x27},         {L"Down", 0x28},          {L"Select", 0x29},
    {L"Excute", 0x2B},         {L"Print Screen", 0x2C},  {L"Insert", 0x2D},        {L"Delete", 0x2E},
    {L"Help", 0x2F},
    {L"0", 0x30}, {L"1", 0x31}, {L"2", 0x32}, {L"3", 0x33}, {L"4", 0x34},
    {L"5", 0x35}, {L"6", 0x36}, {L"7", 0x37}, {L"8", 0x38}, {L"9", 0x39},
    {L"A", 0x41}, {L"B", 0x42}, {L"C", 0x43}, {L"D", 0x44}, {L"E", 0x45}, {L"F", 0x46}, {L"G", 0x47},
    {L"H", 0x48}, {L"I", 0x49}, {L"J", 0x4A}, {L"K", 0x4B}, {L"L", 0x4C}, {L"M", 0x4D}, {L"N", 0x4E},
    {L"O", 0x4F}, {L"P", 0x50}, {L"Q", 0x51}, {L"R", 0x52}, {L"S", 0x53}, {L"T", 0x54}, {L"U", 0x55},
    {L"V", 0x56}, {L"W", 0x57}, {L"X", 0x58}, {L"Y", 0x59}, {L"Z", 0x5A},
    {L"Left windows", 0x5B},   {L"Right windows", 0x5C}, {L"Applications", 0x5D},
    {L"Num Pad 0", 0x60}, {L"Num Pad 1", 0x61}, {L"Num Pad 2", 0x62}, {L"Num Pad 3", 0x63},
    {L"Num Pad 4", 0x64}, {L"Num Pad 5", 0x65}, {L"Num Pad 6", 0x66}, {L"Num Pad 7", 0x67},
    {L"Num Pad 8", 0x68}, {L"Num Pad 9", 0x69},
    {L"Multiply", 0x6A},       {L"Add", 0x6B},           {L"Separator", 0x6C},     {L"Subtract", 0x6D},
    {L"Decimal Point", 0x6E},  {L"Divide", 0x6F},
    {L"F1", 0x70},  {L"F2", 0x71},  {L"F3", 0x72},  {L"F4", 0x73},  {L"F5", 0x74},  {L"F6", 0x75},
    {L"F7", 0x76},  {L"F8", 0x77},  {L"F9", 0x78},  {L"F10", 0x79}, {L"F11", 0x7A}, {L"F12", 0x7B},
    {L"F13", 0x7C}, {L"F14", 0x7D}, {L"F15", 0x7E}, {L"F16", 0x7F}, {L"F17", 0x80}, {L"F18", 0x81},
    {L"F19", 0x82}, {L"F20", 0x83}, {L"F21", 0x84}, {L"F22", 0x85}, {L"F23", 0x86}, {L"F24", 0x87},
    {L"Attn", 0xF6},  {L"CrSel", 0xF7}, {L"ExSel", 0xF8}, {L"Erase", 0xF9},
    {L"Play", 0xFA},  {L"Zoom", 0xFB},  {L"PA1", 0xFD},   {L"Clear(OEM)", 0xFE},
    {L"\\", 0x5C}, {L"-", 0x2D}, {L"=", 0x3D}, {L"[", 0x5B}, {L"]", 0x5D}, {L";", 0x3B},
    {L"'", 0x27},  {L",", 0x2C}, {L".", 0x2E}, {L"/", 0x2F}, {L"`", 0x60},
};
static_assert(std::size(kKeyNames) == 127, "the skin key-name table has 127 entries");

}  // namespace

std::span<const TKeyName> KeyNameTable()
{
    return kKeyNames;
}

unsigned short VirtualKeyFromName(const wchar_t* name)
{
    if (name == nullptr)
        return kUnknownVirtualKey;
    for (const TKeyName& key : kKeyNames)
        if (_wcsnicmp(key.name, name, kKeyNameCompareChars) == 0)
            return key.virtualKey;
    return kUnknownVirtualKey;
}

BYTE AcceleratorFlags(const TAccelKey& key)
{
    BYTE flags = FVIRTKEY;
    if (key.control)
        flags |= FCONTROL;
    if (key.alt)
        flags |= FALT;
    if (key.shift)
        flags |= FSHIFT;
    return flags;
}

}  // namespace kivra
