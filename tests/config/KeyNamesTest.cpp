#include <gtest/gtest.h>

#include <set>
#include <string>

#include "config/KeyNames.h"

namespace kivra {
namespace {

TEST(KeyNameTable, HasTheStoredNamesInLookupOrder)
{
    auto table = KeyNameTable();
    ASSERT_EQ(table.size(), 127u);
    struct Entry {
        size_t index;
        const wchar_t* name;
        unsigned short key;
    };
    const Entry pinned[] = {
        {0, L"Left Button", 0x01},   {3, L"Middle Button", 0x04}, {24, L"Excute", 0x2B},
        {28, L"Help", 0x2F},         {29, L"0", 0x30},            {38, L"9", 0x39},
        {39, L"A", 0x41},            {64, L"Z", 0x5A},            {66, L"Right windows", 0x5C},
        {68, L"Num Pad 0", 0x60},    {82, L"Decimal Point", 0x6E}, {84, L"F1", 0x70},
        {107, L"F24", 0x87},         {108, L"Attn", 0xF6},        {114, L"PA1", 0xFD},
        {115, L"Clear(OEM)", 0xFE},  {116, L"\\", 0x5C},          {126, L"`", 0x60},
    };
    for (const Entry& e : pinned) {
        EXPECT_STREQ(table[e.index].name, e.name) << e.index;
        EXPECT_EQ(table[e.index].virtualKey, e.key) << e.index;
    }
    std::set<std::wstring> names;
    for (const TKeyName& key : table) {
        EXPECT_LE(wcslen(key.name), 15u) << "fits the accelerator code field";
        names.insert(key.name);
    }
    EXPECT_EQ(names.size(), 127u) << "every name once";
}

TEST(VirtualKeyFromName, FindsNamesIgnoringCase)
{
    struct Case {
        const wchar_t* name;
        unsigned short key;
    };
    const Case cases[] = {
        {L"F5", VK_F5},           {L"f5", VK_F5},           {L"F24", 0x87},        {L"Clear(OEM)", 0xFE},
        {L"clear", VK_CLEAR},     {L"\\", 0x5C},            {L"Right windows", 0x5C}, {L"-", 0x2D},
        {L"Insert", VK_INSERT},   {L"PAGE DOWN", VK_NEXT},  {L"x", 'X'},           {L"7", '7'},
        {L"num pad 7", VK_NUMPAD7}, {L"`", 0x60},           {L"Excute", 0x2B},
    };
    for (const Case& c : cases)
        EXPECT_EQ(VirtualKeyFromName(c.name), c.key) << c.name;
}

TEST(VirtualKeyFromName, UnknownNamesGiveAKeyThatNeverMatches)
{
    for (const wchar_t* name : {L"", L"F25", L"Execute", L"Clear(OEM", L"Left Button and more", L"PageUp"})
        EXPECT_EQ(VirtualKeyFromName(name), kUnknownVirtualKey) << name;
    EXPECT_EQ(VirtualKeyFromName(nullptr), kUnknownVirtualKey);
}

TEST(AcceleratorFlags, AddsModifierBitsToTheVirtualKeyFlag)
{
    TAccelKey key{};
    key.control = false;
    key.alt = true;
    EXPECT_EQ(AcceleratorFlags(key), 0x11);
    key.control = true;
    key.alt = false;
    EXPECT_EQ(AcceleratorFlags(key), FVIRTKEY | FCONTROL);
    key.alt = true;
    key.shift = true;
    EXPECT_EQ(AcceleratorFlags(key), FVIRTKEY | FCONTROL | FALT | FSHIFT);
    key = TAccelKey{};
    EXPECT_EQ(AcceleratorFlags(key), FVIRTKEY);
}

}  // namespace
}  // namespace kivra
