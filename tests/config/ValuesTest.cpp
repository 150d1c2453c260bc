#include <gtest/gtest.h>

#include "config/SkinCheck.h"
#include "config/Values.h"

namespace kivra {
namespace {

TEST(FalseTestFlag, FalseOnlyWhenTextStartsWithFalseIgnoringCase)
{
    struct Case {
        const wchar_t* text;
        bool expected;
    };
    const Case cases[] = {
        {L"false", false}, {L"FALSE", false}, {L"False", false}, {L"falsehood", false},
        {L"true", true},   {L"1", true},      {L"no", true},      {L"0", true},
        {L"off", true},    {L"fals", true},   {L" false", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseFalseTestFlag(c.text, !c.expected), c.expected) << c.text;
    }
}

TEST(FalseTestFlag, EmptyOrMissingTextKeepsPreset)
{
    EXPECT_TRUE(ParseFalseTestFlag(L"", true));
    EXPECT_FALSE(ParseFalseTestFlag(L"", false));
    EXPECT_TRUE(ParseFalseTestFlag(nullptr, true));
    EXPECT_FALSE(ParseFalseTestFlag(nullptr, false));
}

TEST(TrueTestFlag, TrueOnlyForExactLowerCaseTrue)
{
    EXPECT_TRUE(ParseTrueTestFlag(L"true"));
    for (const wchar_t* text : {L"TRUE", L"True", L"1", L"true ", L" true", L"truely", L"", L"yes"})
        EXPECT_FALSE(ParseTrueTestFlag(text)) << text;
    EXPECT_FALSE(ParseTrueTestFlag(nullptr));
}

TEST(Decimal, ReadsSignedIntegerAndStopsAtFirstNonDigit)
{
    EXPECT_EQ(ParseDecimal(L"42"), 42);
    EXPECT_EQ(ParseDecimal(L"  -17"), -17);
    EXPECT_EQ(ParseDecimal(L"+8"), 8);
    EXPECT_EQ(ParseDecimal(L"12px"), 12);
}

TEST(Decimal, UnreadableTextKeepsPreset)
{
    EXPECT_EQ(ParseDecimal(L""), -1);
    EXPECT_EQ(ParseDecimal(nullptr), -1);
    EXPECT_EQ(ParseDecimal(L"abc"), -1);
    EXPECT_EQ(ParseDecimal(L"x1", 7), 7);
}

TEST(Hex, ReadsWithAndWithoutPrefix)
{
    EXPECT_EQ(ParseHex(L"8001"), 32769u);
    EXPECT_EQ(ParseHex(L"0x8001"), 32769u);
    EXPECT_EQ(ParseHex(L"0X8001"), 32769u);
    EXPECT_EQ(ParseHex(L"64"), 100u);
    EXPECT_EQ(ParseHex(L" ff"), 255u);
    EXPECT_EQ(ParseHex(L"1g"), 1u);
    EXPECT_EQ(ParseHex(L"zz", 9u), 9u);
    EXPECT_EQ(ParseHex(L"", 5u), 5u);
    EXPECT_EQ(ParseHex(nullptr), 0u);
}

TEST(Pair, UnreadFieldsStayZero)
{
    IntPair p = ParsePair(L"12");
    EXPECT_EQ(p.first, 12);
    EXPECT_EQ(p.second, 0);
    p = ParsePair(L"3,4");
    EXPECT_EQ(p.first, 3);
    EXPECT_EQ(p.second, 4);
    p = ParsePair(L"3;4");
    EXPECT_EQ(p.first, 3);
    EXPECT_EQ(p.second, 0);
    p = ParsePair(L"x,4");
    EXPECT_EQ(p.first, 0);
    EXPECT_EQ(p.second, 0);
    p = ParsePair(nullptr);
    EXPECT_EQ(p.first, 0);
    EXPECT_EQ(p.second, 0);
}

TEST(SpacedPair, AcceptsWhiteSpaceAfterComma)
{
    for (const wchar_t* text : {L"400,300", L"400, 300", L"400,   300", L" 400,\t300"}) {
        IntPair p = ParseSpacedPair(text);
        EXPECT_EQ(p.first, 400) << text;
        EXPECT_EQ(p.second, 300) << text;
    }
    IntPair p = ParseSpacedPair(L"400 ,300");  // the comma must follow the number
    EXPECT_EQ(p.first, 400);
    EXPECT_EQ(p.second, 0);
}

TEST(Color, StoresRedGreenBlueWithLowEightBitsEach)
{
    EXPECT_EQ(ParseColor(L"255,0,128"), 0x008000FFu);
    EXPECT_EQ(ParseColor(L"300,0,0"), 0x0000002Cu);
    EXPECT_EQ(ParseColor(L"1,2,3"), 0x00030201u);
    EXPECT_EQ(ParseColor(L"-1,0,0"), 0x000000FFu);
    EXPECT_EQ(ParseColor(L"255,255"), 0x0000FFFFu);
    EXPECT_EQ(ParseColor(L""), 0u);
    EXPECT_EQ(ParseColor(L"255,0, 128"), 0x008000FFu);
}

TEST(SpacedColor, AcceptsWhiteSpaceBeforeBlue)
{
    EXPECT_EQ(ParseSpacedColor(L"255,0, 128"), 0x008000FFu);
    EXPECT_EQ(ParseSpacedColor(L"255,0,128"), 0x008000FFu);
    EXPECT_EQ(ParseSpacedColor(L"16,32"), 0x00002010u);
}

TEST(Rect, ReadsLeftTopRightBottomAndZeroesTheRest)
{
    RECT r = ParseRect(L"1,2");
    EXPECT_EQ(r.left, 1);
    EXPECT_EQ(r.top, 2);
    EXPECT_EQ(r.right, 0);
    EXPECT_EQ(r.bottom, 0);
    r = ParseRect(L"-5, 6,70,80");
    EXPECT_EQ(r.left, -5);
    EXPECT_EQ(r.top, 6);
    EXPECT_EQ(r.right, 70);
    EXPECT_EQ(r.bottom, 80);
    r = ParseRect(L"");
    EXPECT_EQ(r.left | r.top | r.right | r.bottom, 0);
}

TEST(SixFlags, EachNonzeroIntegerSetsItsBit)
{
    EXPECT_EQ(ParseSixFlags(L"1,0,1,0,0,1"), 0x25u);
    EXPECT_EQ(ParseSixFlags(L"1,1"), 0x03u);
    EXPECT_EQ(ParseSixFlags(L"0,0,0,0,0,0"), 0u);
    EXPECT_EQ(ParseSixFlags(L"1,1,1,1,1,1"), 0x3Fu);
    EXPECT_EQ(ParseSixFlags(L"7,-1,0,0,0,2"), 0x23u);
    EXPECT_EQ(ParseSixFlags(L"1,1,1,1,1,1,1"), 0x3Fu);  // a seventh integer is not read
    EXPECT_EQ(ParseSixFlags(L""), 0u);
}

}  // namespace
// What the skin check counts as a readable value of a pattern.
TEST(WholeNumberValue, AllNumbersOfThePatternAndNothingElse)
{
    const struct {
        const wchar_t* text;
        const wchar_t* pattern;
        bool whole;
    } cases[] = {
        {L"12", kDecimalPattern, true},        {L" -7 ", kDecimalPattern, true},    {L"12px", kDecimalPattern, false},
        {L"", kDecimalPattern, false},         {L"99999999999", kDecimalPattern, false},
        {L"8001", kHexPattern, true},          {L"0x8001", kHexPattern, true},      {L"FFFFFFFF", kHexPattern, true},
        {L"1FFFFFFFF", kHexPattern, false},    {L"zz", kHexPattern, false},
        {L"400, 300", kSpacedPairPattern, true}, {L"400,300", kSpacedPairPattern, true},
        {L"400 ,300", kPairPattern, false},    {L"400;300", kPairPattern, false},   {L"12", kPairPattern, false},
        {L"255,0,128", kColorPattern, true},   {L"1,2,3,4", kRectPattern, true},    {L"1,2,3", kRectPattern, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsWholeNumberValue(c.text, c.pattern), c.whole) << ::testing::PrintToString(std::wstring(c.text));
}

}  // namespace kivra
