// SMS-DELIVER decoding, SMS-SUBMIT encoding and USSD strings.
//
// The PDUs below are put together field by field from the layouts of
// TS 23.040 9.2.2 (SMS-DELIVER, SMS-SUBMIT), 9.1.2.5 (addresses, swapped
// BCD), 9.2.3.11 (time stamp: swapped BCD, the zone's sign in bit 3) and
// 9.2.3.24 (user data header), and TS 23.038 4, 5 and 6.1.2 (coding schemes,
// 7-bit packing): worked out by hand and checked with a short script that
// implements only those layouts. Spaces separate the fields for reading.
#include "marvik/Pdu.h"

#include "marvik/Gsm7.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace marvik;

namespace {

// The hex without the reading spaces.
std::string Pdu(const char* fields)
{
    std::string hex;
    for (const char* p = fields; *p; ++p)
        if (*p != ' ')
            hex += *p;
    return hex;
}

DeliverPdu Decoded(const std::string& hex)
{
    DeliverPdu pdu;
    std::string why;
    EXPECT_TRUE(DecodeDeliver(hex, pdu, why)) << why;
    return pdu;
}

std::wstring Repeat(const std::wstring& piece, int times)
{
    std::wstring text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

// Each part of an SMS-SUBMIT decoded again (the decoder reads stored
// SMS-SUBMITs), so the encoder is checked against the same field layout.
std::vector<DeliverPdu> DecodeParts(const std::vector<SubmitPdu>& parts)
{
    std::vector<DeliverPdu> decoded;
    for (const SubmitPdu& part : parts) {
        EXPECT_EQ(static_cast<int>(part.hex.size()), 2 + 2 * part.tpduLength) << "the tpdu length for AT+CMGS";
        decoded.push_back(Decoded(part.hex));
    }
    return decoded;
}

const char* const kHelloHello = "07 91 7449000000F0"        // service centre +4794000000
                                " 04"                        // SMS-DELIVER, no more messages
                                " 0A 91 7421436587"          // sender +4712345678
                                " 00 00"                     // protocol, GSM 7-bit
                                " 62 21 90 31 54 03 40"      // 2026-12-09 13:45:30 +01:00
                                " 0A E8329BFD4697D9EC37";    // 10 septets, "hellohello"

}  // namespace

TEST(DeliverPduDecode, ReadsEveryAddressTimeAndAlphabet)
{
    struct Case {
        const char* name;
        const char* hex;
        const wchar_t* sender;
        SmsTime time;
        const wchar_t* text;
        int dataCoding;
    } cases[] = {
        {"international sender, 7-bit", kHelloHello, L"+4712345678", {2026, 12, 9, 13, 45, 30, 4}, L"hellohello", 0},
        {"national sender, UCS2 with a surrogate pair, zone -05:00",
         "00 04 05 81 2143F5 00 08 62 10 20 30 40 50 0A"  // 12345; 2026-01-02 03:04:05; zone 0x0A: sign, 20 quarters
         " 12 041F 0440 0438 0432 0435 0442 0020 D83D DE00",
         L"12345", {2026, 1, 2, 3, 4, 5, -20}, L"\x041F\x0440\x0438\x0432\x0435\x0442 \xD83D\xDE00", 8},
        {"alphanumeric sender in 9 semi-octets",
         "00 04 09 D0 D4323B1D06 00 00 52 60 03 32 95 95 80 02 C834",  // "Telia"; zone +02:00
         L"Telia", {2025, 6, 30, 23, 59, 59, 8}, L"Hi", 0},
        {"alphanumeric sender of 8 characters",
         "00 04 0E D0 D637396C7EBBCB 00 00 52 60 03 32 95 95 80 02 C834", L"Vodafone",
         {2025, 6, 30, 23, 59, 59, 8}, L"Hi", 0},
        {"alphanumeric sender of 7 letters in 13 semi-octets",
         "00 04 0D D0 D432BBEC7ECB01 00 00 52 60 03 32 95 95 80 02 C834", L"Telenor", {2025, 6, 30, 23, 59, 59, 8},
         L"Hi", 0},
        {"the same in 14 semi-octets: the spare zero bits are no '@'",
         "00 04 0E D0 D432BBEC7ECB01 00 00 52 60 03 32 95 95 80 02 C834", L"Telenor", {2025, 6, 30, 23, 59, 59, 8},
         L"Hi", 0},
        {"zone -00:45", "00 04 05 81 2143F5 00 00 62 10 20 30 40 50 38 02 C834", L"12345",
         {2026, 1, 2, 3, 4, 5, -3}, L"Hi", 0},
        {"8-bit data, each octet its own character",
         "00 04 0A 91 7421436587 00 04 62 21 90 31 54 03 40 04 2A41E9FF", L"+4712345678",
         {2026, 12, 9, 13, 45, 30, 4}, L"*A\x00E9\x00FF", 4},
        {"the whole extension table",
         "00 04 0A 91 7421436587 00 00 62 21 90 31 54 03 40 14 9BF286B7F16D509BD4E6B5A16C7A1BE04601",
         L"+4712345678", {2026, 12, 9, 13, 45, 30, 4}, L"\x20AC[]{}\\^~|\f", 0},
        {"message class 1 coding (0xF1), 7-bit",
         "00 04 05 81 2143F5 00 F1 62 10 20 30 40 50 0A 02 C834", L"12345", {2026, 1, 2, 3, 4, 5, -20}, L"Hi",
         0xF1},
        {"8-bit data coding group 0xF4", "00 04 05 81 2143F5 00 F4 62 10 20 30 40 50 0A 02 4869", L"12345",
         {2026, 1, 2, 3, 4, 5, -20}, L"Hi", 0xF4},
        {"reserved type 3 reads as a delivery, empty sender",
         "00 07 00 81 00 00 62 10 20 30 40 50 0A 02 C834", L"", {2026, 1, 2, 3, 4, 5, -20}, L"Hi", 0},
        {"lower-case hex, blanks at the ends", "  000405812143f5000062102030405038" "02c834\r\n", L"12345",
         {2026, 1, 2, 3, 4, 5, -3}, L"Hi", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DeliverPdu pdu = Decoded(Pdu(c.hex));
        EXPECT_EQ(pdu.sender, c.sender);
        EXPECT_EQ(pdu.time, c.time);
        EXPECT_EQ(pdu.text, c.text);
        EXPECT_EQ(pdu.dataCoding, c.dataCoding);
        EXPECT_FALSE(pdu.outgoing);
        EXPECT_FALSE(pdu.concatenated);
    }
}

TEST(DeliverPduDecode, ReadsConcatenationHeaders)
{
    struct Case {
        const char* name;
        const char* hex;
        const wchar_t* text;
        unsigned reference;
        int total, number;
    } cases[] = {
        // UDH 05 00 03 ref count number: 6 octets, then 1 fill bit to the 7th septet boundary.
        {"8-bit reference, 7-bit text after a fill bit",
         "00 44 0A 91 7421436587 00 00 62 21 90 31 54 03 40 11 050003420201 A061391DF476975920", L"Part one, ",
         0x42, 2, 1},
        {"8-bit reference, second part", "00 44 0A 91 7421436587 00 00 62 21 90 31 54 03 40 10 050003420202"
                                         " E061391D44BFBF5D",
         L"part two.", 0x42, 2, 2},
        // UDH 06 08 04 ref ref count number: 7 octets, exactly 8 septets, no fill bits.
        {"16-bit reference, 7-bit text without fill bits",
         "00 44 0A 91 7421436587 00 00 62 21 90 31 54 03 40 10 0608041234 0201 D3349E5E2EBB41", L"Sixteen ",
         0x1234, 2, 1},
        {"16-bit reference, UCS2", "00 44 0A 91 7421436587 00 08 62 21 90 31 54 03 40 09 060804BEEF0303 0416",
         L"\x0416", 0xBEEF, 3, 3},
        // A port element (05 04 ...) before the concatenation element is skipped.
        {"other elements skipped", "00 44 05 81 2143F5 00 04 62 10 20 30 40 50 0A 0E 0B 0504 0B840000 0003 07 03 02"
                                   " 4869",
         L"Hi", 7, 3, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DeliverPdu pdu = Decoded(Pdu(c.hex));
        EXPECT_EQ(pdu.text, c.text);
        EXPECT_TRUE(pdu.concatenated);
        EXPECT_EQ(pdu.reference, c.reference);
        EXPECT_EQ(pdu.partsTotal, c.total);
        EXPECT_EQ(pdu.partNumber, c.number);
    }
}

TEST(DeliverPduDecode, IgnoresConcatenationElementsWithImpossibleNumbers)
{
    // Count 0, number 0, and number above count: the element is ignored, the text kept.
    for (const char* header : {"050003420002", "050003420200", "050003420203"}) {
        const DeliverPdu pdu = Decoded(Pdu("00 44 05 81 2143F5 00 04 62 10 20 30 40 50 0A 08") + header + "4869");
        EXPECT_FALSE(pdu.concatenated) << header;
        EXPECT_EQ(pdu.text, L"Hi");
    }
}

TEST(DeliverPduDecode, KeepsTheMessageWhenTheTimeStampIsUnreadable)
{
    // Month 13 and a non-decimal semi-octet: the time is unknown (all zero), the text is still there.
    for (const char* stamp : {"62 31 90 31 54 03 40", "6F 21 90 31 54 03 40"}) {
        const DeliverPdu pdu = Decoded(Pdu("00 04 05 81 2143F5 00 00") + Pdu(stamp) + "02C834");
        EXPECT_EQ(pdu.time, SmsTime{}) << stamp;
        EXPECT_EQ(pdu.text, L"Hi");
    }
}

TEST(DeliverPduDecode, ReadsAStoredSubmitAsOutgoing)
{
    // A message stored for sending: SMS-SUBMIT with a relative validity period.
    const DeliverPdu pdu = Decoded(Pdu("00 11 00 0A 91 7421436587 00 00 AD 0A E8329BFD4697D9EC37"));
    EXPECT_TRUE(pdu.outgoing);
    EXPECT_EQ(pdu.sender, L"+4712345678");
    EXPECT_EQ(pdu.text, L"hellohello");
    EXPECT_EQ(pdu.time, SmsTime{});
    // With an absolute validity period (7 octets) and none.
    EXPECT_EQ(Decoded(Pdu("00 19 00 05 81 2143F5 00 00 62 10 20 30 40 50 0A 02 C834")).text, L"Hi");
    EXPECT_EQ(Decoded(Pdu("00 01 00 05 81 2143F5 00 00 02 C834")).text, L"Hi");
}

TEST(DeliverPduDecode, RefusesBrokenInputWithAReason)
{
    struct Case {
        const char* name;
        std::string hex;
    } cases[] = {
        {"empty", ""},
        {"odd hex digit count", Pdu(kHelloHello).substr(1)},
        {"not hex", "07917449000000F0040A91742143658700006221903154034G0AE8329BFD4697D9EC37"},
        {"100 KB", std::string(100 * 1024, '0')},
        {"service centre longer than 12 octets", Pdu("0C 91 7449000000F0 000000000000 04 05 81 2143F5 00 00"
                                                     " 62 10 20 30 40 50 0A 02 C834")},
        {"service centre past the end", "0791744900"},
        {"address of 21 digits", Pdu("00 04 15 91 21436587092143658709F1 00 00 62 10 20 30 40 50 0A 02 C834")},
        {"address longer than the PDU", Pdu("00 04 14 91 2143")},
        {"user data length that lies (11 septets, 9 octets)",
         Pdu("07 91 7449000000F0 04 0A 91 7421436587 00 00 62 21 90 31 54 03 40 0B E8329BFD4697D9EC37")},
        {"UCS2 length that lies", Pdu("00 04 05 81 2143F5 00 08 62 10 20 30 40 50 0A 04 0041")},
        {"more than 160 septets", Pdu("00 04 05 81 2143F5 00 00 62 10 20 30 40 50 0A A1") + std::string(282, '0')},
        {"header longer than the user data", Pdu("00 44 05 81 2143F5 00 04 62 10 20 30 40 50 0A 03 07 0003")},
        {"header element past the header", Pdu("00 44 05 81 2143F5 00 04 62 10 20 30 40 50 0A 06 05 0004 420201")},
        {"header of more septets than the length",
         Pdu("00 44 05 81 2143F5 00 00 62 10 20 30 40 50 0A 05 050003420201")},
        {"status report", Pdu("00 06 00 05 81 2143F5 62 10 20 30 40 50 0A 62 10 20 30 40 50 0A 00")},
        {"compressed", Pdu("00 04 05 81 2143F5 00 20 62 10 20 30 40 50 0A 02 C834")},
    };
    for (const Case& c : cases) {
        DeliverPdu pdu;
        std::string why;
        EXPECT_FALSE(DecodeDeliver(c.hex, pdu, why)) << c.name;
        EXPECT_FALSE(why.empty()) << c.name;
    }
}

TEST(DeliverPduDecode, ChecksTheListedLength)
{
    // +CMGL's <length> counts the octets after the service centre address (8 octets here).
    const std::string whole = Pdu(kHelloHello);
    const int tpdu = static_cast<int>(whole.size() / 2) - 8;
    DeliverPdu pdu;
    std::string why;
    EXPECT_TRUE(DecodeDeliver(whole, pdu, why, tpdu)) << why;
    EXPECT_EQ(pdu.text, L"hellohello");
    // Without a service centre address in front, the PDU is exactly that long.
    EXPECT_TRUE(DecodeDeliver(whole.substr(16), pdu, why, tpdu)) << why;
    EXPECT_EQ(pdu.sender, L"+4712345678");
    // A length that lies either way is refused.
    for (int lie : {tpdu - 1, tpdu + 1, tpdu + 9, 0}) {
        EXPECT_FALSE(DecodeDeliver(whole, pdu, why, lie)) << lie;
        EXPECT_FALSE(why.empty());
    }
}

TEST(DeliverPduDecode, EveryCutOfAGoodPduFailsCleanly)
{
    // A PDU cut short anywhere (as a lost read would leave it) is refused, never read past its end.
    const std::string whole = Pdu(kHelloHello);
    for (size_t length = 0; length < whole.size(); length += 2) {
        DeliverPdu pdu;
        std::string why;
        EXPECT_FALSE(DecodeDeliver(whole.substr(0, length), pdu, why)) << length;
    }
}

TEST(SubmitPduEncode, MatchesTheFieldLayout)
{
    struct Case {
        const wchar_t* number;
        const wchar_t* text;
        const char* hex;
    } cases[] = {
        // no service centre; SMS-SUBMIT with relative validity; reference 0; +4712345678; GSM 7-bit; a week.
        {L"+47 123-456 78", L"hellohello", "00 11 00 0A 91 7421436587 00 00 AD 0A E8329BFD4697D9EC37"},
        {L"12345", L"\x041F\x0440\x0438\x0432\x0435\x0442", "00 11 00 05 81 2143F5 00 08 AD 0C 041F044004380432043"
                                                            "50442"},
        {L"*#1", L"", "00 11 00 03 81 BAF1 00 00 AD 00"},
    };
    for (const Case& c : cases) {
        const std::vector<SubmitPdu> parts = EncodeSubmit(c.number, c.text, 0);
        ASSERT_EQ(parts.size(), 1u);
        EXPECT_EQ(parts[0].hex, Pdu(c.hex));
        EXPECT_EQ(parts[0].tpduLength, static_cast<int>(Pdu(c.hex).size() / 2 - 1));
    }
}

TEST(SubmitPduEncode, RefusesBadNumbers)
{
    for (const wchar_t* number : {L"", L"+", L"abc", L"12+3", L"++12", L"123456789012345678901", L"12\x0661"})
        EXPECT_TRUE(EncodeSubmit(number, L"Hi", 0).empty()) << std::wstring(number).size();
    EXPECT_EQ(EncodeSubmit(L"12345678901234567890", L"Hi", 0).size(), 1u);  // 20 digits are allowed
}

TEST(SubmitPduEncode, SplitsAtTheConcatenationBoundaries)
{
    const std::wstring euro = L"\x20AC";
    const std::wstring zhe = L"\x0416";            // Cyrillic: UCS2
    const std::wstring smile = L"\xD83D\xDE00";    // one character, two UCS2 units
    struct Case {
        const char* name;
        std::wstring text;
        std::vector<size_t> partLengths;  // characters (UTF-16 units) of each part
        int dataCoding;
    } cases[] = {
        {"160 septets: one part", Repeat(L"a", 160), {160}, 0},
        {"161 septets: two parts", Repeat(L"a", 161), {153, 8}, 0},
        {"153 x 2 septets: two full parts", Repeat(L"a", 306), {153, 153}, 0},
        {"153 x 2 + 1 septets: three parts", Repeat(L"a", 307), {153, 153, 1}, 0},
        {"80 extension characters make 160 septets: one part", Repeat(euro, 80), {80}, 0},
        {"an escape at septets 153 and 154 moves whole to the next part", Repeat(L"a", 152) + euro + Repeat(L"b", 10),
         {152, 11}, 0},
        {"one character outside the alphabet makes it UCS2", Repeat(L"a", 69) + zhe, {70}, 8},
        {"70 UCS2 units: one part", Repeat(zhe, 70), {70}, 8},
        {"71 UCS2 units: two parts", Repeat(zhe, 71), {67, 4}, 8},
        {"67 x 2 UCS2 units: two full parts", Repeat(zhe, 134), {67, 67}, 8},
        {"a surrogate pair at units 67 and 68 moves whole to the next part", Repeat(zhe, 66) + smile + Repeat(zhe, 5),
         {66, 7}, 8},
        {"surrogate pairs throughout", Repeat(smile, 36), {66, 6}, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<SubmitPdu> parts = EncodeSubmit(L"+4712345678", c.text, 0x5A);
        ASSERT_EQ(parts.size(), c.partLengths.size());
        EXPECT_EQ(CountParts(c.text), static_cast<int>(parts.size()));
        const std::vector<DeliverPdu> decoded = DecodeParts(parts);
        std::wstring joined;
        for (size_t p = 0; p < decoded.size(); ++p) {
            EXPECT_EQ(decoded[p].text.size(), c.partLengths[p]) << "part " << p + 1;
            EXPECT_EQ(decoded[p].dataCoding, c.dataCoding);
            EXPECT_EQ(decoded[p].concatenated, parts.size() > 1);
            if (parts.size() > 1) {
                EXPECT_EQ(decoded[p].reference, 0x5Au);
                EXPECT_EQ(decoded[p].partsTotal, static_cast<int>(parts.size()));
                EXPECT_EQ(decoded[p].partNumber, static_cast<int>(p + 1));
            }
            joined += decoded[p].text;
        }
        EXPECT_EQ(joined, c.text);
    }
}

TEST(SubmitPduEncode, EveryAlphabetRoundTrips)
{
    const std::wstring texts[] = {
        L"Plain text with digits 0123456789 and @\x00A3$\x00A5\x00E8\x00E9\x00F9\x00EC\x00F2\x00C7\x00D8\x00F8",
        L"Extension: \x20AC [1] {2} \\3 ^4 ~5 |6 \f page",
        L"Greek in the alphabet: \x0394\x03A6\x0393\x039B\x03A9\x03A0\x03A8\x03A3\x0398\x039E",
        L"Mixed \x4E2D\x6587 and \x0645\x0631\x062D\x0628\x0627 and \xD83D\xDE00\xD83C\xDF89",
        L"Line one\nLine two\r\n",
    };
    for (const std::wstring& text : texts) {
        std::wstring joined;
        for (const DeliverPdu& part : DecodeParts(EncodeSubmit(L"12345", text, 1)))
            joined += part.text;
        EXPECT_EQ(joined, text);
    }
}

TEST(SubmitPduEncode, ReplacesALoneSurrogate)
{
    const std::vector<DeliverPdu> parts = DecodeParts(EncodeSubmit(L"12345", L"a\xD83Dz\xDE00", 0));
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].text, L"a\xFFFDz\xFFFD");
}

TEST(SubmitPduEncode, RefusesMoreThan255Parts)
{
    const std::wstring longest = Repeat(L"a", 153 * kMaxParts);
    EXPECT_EQ(CountParts(longest), kMaxParts);
    EXPECT_EQ(EncodeSubmit(L"12345", longest, 0).size(), static_cast<size_t>(kMaxParts));
    EXPECT_EQ(CountParts(longest + L"a"), kMaxParts + 1);
    EXPECT_TRUE(EncodeSubmit(L"12345", longest + L"a", 0).empty());
    EXPECT_EQ(CountParts(L""), 1);
}

TEST(Ussd, DecodesByTheCodingScheme)
{
    struct Case {
        const char* str;
        int dcs;
        const wchar_t* text;
    } cases[] = {
        {"AA180C3602", 15, L"*100#"},
        {"C2303BEC1E9775A098CC5583818A5529", 15, L"Balance: 12.50 EUR"},
        {"31D98C56B3DD1A", 15, L"1234567"},           // 7 spare bits filled with CR: padding, dropped
        {"31D98C56B3DD1A0D", 15, L"1234567\r\r"},     // a wanted CR on a boundary and the one added: both shown
        {"04110430043B0430043D0441003A00200035002020AC", 72, L"\x0411\x0430\x043B\x0430\x043D\x0441: 5 \x20AC"},
        {"6577035966B3DF", 0x10, L"Hello"},           // "en" and CR in front: the language, dropped
        {"653700480069", 0x11, L"Hi"},                // "en" in two octets, then UCS2
        {"48692E", 0x44, L"Hi."},                     // 8-bit
        {"D83D", 72, L"\xFFFD"},                      // a lone surrogate
        {"Your balance is 5.00", 15, L"Your balance is 5.00"},  // the modem's own text
        {"ABC", 15, L"ABC"},                          // odd length: text
        {"0041", 15, L"@$"},                          // even-length hex digits are hex: septets 0x00, 0x02
        {"004", 72, L"004"},                          // UCS2 wants a multiple of 4 hex digits
        {"", 15, L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecodeUssd(c.str, c.dcs), c.text) << c.str;
}

TEST(Ussd, EncodesTheRequestAsPackedSeptets)
{
    struct Case {
        const wchar_t* code;
        const char* hex;
    } cases[] = {
        {L"*100#", "AA180C3602"},
        {L"1234567", "31D98C56B3DD1A"},  // 7 septets: CR in the spare bits, not '@'
        {L"*101*1#a", "AA182CA68A8DC2"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EncodeUssdRequest(c.code), c.hex);
        EXPECT_EQ(DecodeUssd(EncodeUssdRequest(c.code), kUssdDcsGsm7), c.code);
    }
    EXPECT_EQ(EncodeUssdRequest(L"*\x041F#"), "");
    EXPECT_EQ(EncodeUssdRequest(Repeat(L"1", 183)), "");
    EXPECT_EQ(EncodeUssdRequest(Repeat(L"1", 182)).size(), 320u);  // 160 octets
}
