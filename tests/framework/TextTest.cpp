#include "framework/Text.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kivra;

TEST(TextCopy, CutsToFieldAndTerminates)
{
    wchar_t field[8];
    std::memset(field, 0x55, sizeof(field));
    EXPECT_FALSE(CopyText(field, L"0123456789"));
    EXPECT_STREQ(field, L"0123456");
    EXPECT_TRUE(CopyText(field, L"abc"));
    EXPECT_STREQ(field, L"abc");
    for (int i = 3; i < 8; ++i)
        EXPECT_EQ(field[i], 0) << "zero-filled at " << i;
}

TEST(TextCopy, NullSourceGivesEmptyText)
{
    char field[4] = {'x', 'y', 'z', 0};
    EXPECT_TRUE(CopyText(field, nullptr));
    EXPECT_STREQ(field, "");
}

TEST(TextCopy, NarrowTakesLowByteOfEachUnit)
{
    char field[64];
    NarrowName(field, L"manager/\x4E2DX");
    EXPECT_EQ(std::string(field), std::string("manager/\x2DX"));
    wchar_t wide[64];
    WidenName(wide, "\xE9t\xE9");
    EXPECT_EQ(wide[0], 0xE9);
    EXPECT_EQ(wide[1], L't');
}

TEST(TextCopy, NarrowCutsA64UnitNameTo63)
{
    wchar_t longName[80];
    for (int i = 0; i < 79; ++i)
        longName[i] = L'a';
    longName[79] = 0;
    char field[64];
    EXPECT_FALSE(NarrowName(field, longName));
    EXPECT_EQ(std::strlen(field), 63u);
}

TEST(TextAppend, RejectsWhatDoesNotFitAndKeepsTheText)
{
    wchar_t path[10] = L"C:\\ab\\";
    EXPECT_FALSE(AppendText(path, L"toolong"));
    EXPECT_STREQ(path, L"C:\\ab\\");
    EXPECT_TRUE(AppendText(path, L"x.d"));
    EXPECT_STREQ(path, L"C:\\ab\\x.d");
}
