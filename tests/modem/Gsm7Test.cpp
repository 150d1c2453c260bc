// The GSM 7-bit alphabet and septet packing. The expected octets are worked
// out by hand from the bit layout of TS 23.038 6.1.2.1.1 (septet n takes the
// 7 bits after the 7·n fill-shifted bits, low bit first) and checked with a
// few lines of script that implements only that layout.
#include "marvik/Gsm7.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace marvik;

namespace {

std::string Hex(const std::vector<uint8_t>& octets)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (uint8_t octet : octets) {
        hex += digits[octet >> 4];
        hex += digits[octet & 15];
    }
    return hex;
}

// Every character of the default alphabet (23.038 6.2.1) but the escape, in
// septet order, and of the extension table (6.2.1.1).
const std::wstring kDefaultCharacters =
    L"@\x00A3$\x00A5\x00E8\x00E9\x00F9\x00EC\x00F2\x00C7\n\x00D8\x00F8\r\x00C5\x00E5"
    L"\x0394_\x03A6\x0393\x039B\x03A9\x03A0\x03A8\x03A3\x0398\x039E\x00C6\x00E6\x00DF\x00C9"
    L" !\"#\x00A4%&'()*+,-./0123456789:;<=>?"
    L"\x00A1" L"ABCDEFGHIJKLMNOPQRSTUVWXYZ\x00C4\x00D6\x00D1\x00DC\x00A7"
    L"\x00BF" L"abcdefghijklmnopqrstuvwxyz\x00E4\x00F6\x00F1\x00FC\x00E0";
const std::wstring kExtensionCharacters = L"\f^{}\\[~]|\x20AC";

}  // namespace

TEST(Gsm7Packing, MatchesTheWorkedBitLayout)
{
    struct Case {
        const wchar_t* text;
        int fillBits;
        const char* hex;
    } cases[] = {
        {L"hellohello", 0, "E8329BFD4697D9EC37"},  // the classic example: h=0x68 e=0x65 l=0x6C o=0x6F
        {L"hellohello", 1, "D06536FB8D2EB3D96F"},  // one fill bit, as after a 6-octet header
        {L"1234567", 0, "31D98C56B3DD00"},         // seven septets: the last octet's top bit is spare
        {L"A", 6, "4010"},                         // a septet that starts late spills into a second octet
        {L"", 3, "00"},                            // the fill bits alone still take an octet
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "fill " << c.fillBits);
        const std::vector<uint8_t> septets = Gsm7ToSeptets(c.text);
        const std::vector<uint8_t> packed = PackSeptets(septets, c.fillBits);
        EXPECT_EQ(Hex(packed), c.hex);
        EXPECT_EQ(SeptetsToText(UnpackSeptets(packed.data(), packed.size(), c.fillBits, septets.size())), c.text);
    }
}

TEST(Gsm7Packing, EveryCharacterRoundTripsAtEveryFill)
{
    const std::wstring all = kDefaultCharacters + kExtensionCharacters;
    const std::vector<uint8_t> septets = Gsm7ToSeptets(all);
    ASSERT_EQ(septets.size(), kDefaultCharacters.size() + 2 * kExtensionCharacters.size());
    for (int fill = 0; fill < 7; ++fill) {
        const std::vector<uint8_t> packed = PackSeptets(septets, fill);
        EXPECT_EQ(UnpackSeptets(packed.data(), packed.size(), fill, septets.size()), septets) << "fill " << fill;
    }
    EXPECT_EQ(SeptetsToText(septets), all);
}

TEST(Gsm7Alphabet, SeptetValuesFollowTheTable)
{
    // Spot checks where a table is easy to get wrong: the escape's neighbours,
    // the Greek capitals, the currency signs and the extension codes.
    const std::vector<uint8_t> expected = {0x1A, 0x1C, 0x10, 0x24, 0x01, 0x03, 0x40, 0x60, 0x7F,
                                           0x1B, 0x65, 0x1B, 0x3C, 0x1B, 0x0A, 0x1B, 0x40};
    EXPECT_EQ(Gsm7ToSeptets(L"\x039E\x00C6\x0394\x00A4\x00A3\x00A5\x00A1\x00BF\x00E0\x20AC[\f|"), expected);
}

TEST(Gsm7Alphabet, SeptetCountsExtensionCharactersTwice)
{
    struct Case {
        const wchar_t* text;
        int septets;
    } cases[] = {
        {L"", 0},
        {L"Hello", 5},
        {L"\x20AC", 2},
        {L"a\x20AC[b", 6},
        {L"{}\\^~|\f]", 16},
        {L"\x00E7", -1},     // small c cedilla is not in the table (only the capital is)
        {L"Hi \x041F", -1},  // Cyrillic
        {L"\x00E9t\x00E9", 3},
        {L"\t", -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Gsm7Septets(c.text), c.septets) << "text of " << std::wstring(c.text).size();
        EXPECT_EQ(IsGsm7Text(c.text), c.septets >= 0);
    }
}

TEST(Gsm7Alphabet, UnknownEscapesShowTheDefaultCharacter)
{
    struct Case {
        std::vector<uint8_t> septets;
        const wchar_t* text;
    } cases[] = {
        {{0x1B, 0x41}, L"A"},            // no extension character at 0x41: 'A' from the default table
        {{0x1B, 0x1B, 0x41}, L" A"},     // escape, escape: a space
        {{0x41, 0x1B}, L"A"},            // a lone escape at the end shows nothing
        {{0xC1, 0x1B, 0xE5}, L"A\x20AC"},  // values above 127 are taken modulo 128
    };
    for (const Case& c : cases)
        EXPECT_EQ(SeptetsToText(c.septets), c.text);
}

TEST(Gsm7Alphabet, CharactersOutsideTheTablesBecomeQuestionMarks)
{
    EXPECT_EQ(SeptetsToText(Gsm7ToSeptets(L"a\x041F\xD83D\xDE00z")), L"a???z");
}

TEST(Gsm7Unpacking, StopsWhereTheDataEnds)
{
    const uint8_t data[] = {0xE8, 0x32, 0x9B};  // "hel" and one bit of the fourth septet
    EXPECT_EQ(SeptetsToText(UnpackSeptets(data, sizeof(data), 0, 100)), L"hel");
    EXPECT_EQ(UnpackSeptets(data, sizeof(data), 6, 100).size(), 2u);  // 24 - 6 bits hold two septets
    EXPECT_TRUE(UnpackSeptets(data, 0, 0, 5).empty());
    EXPECT_TRUE(UnpackSeptets(nullptr, 10, 0, 5).empty());
}
