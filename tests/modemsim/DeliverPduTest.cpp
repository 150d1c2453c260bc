// The simulator's SMS-DELIVER PDUs, read back by marvik's decoder and joiner.
#include "modemsim/DeliverPdu.h"

#include "marvik/MessageJoin.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const marvik::SmsTime kStamp{2024, 3, 15, 12, 30, 45, 4};

std::vector<marvik::DeliverPdu> Decoded(const std::vector<std::string>& pdus)
{
    std::vector<marvik::DeliverPdu> parts;
    for (const std::string& hex : pdus) {
        marvik::DeliverPdu pdu;
        std::string why;
        EXPECT_TRUE(marvik::DecodeDeliver(hex, pdu, why)) << hex << ": " << why;
        parts.push_back(pdu);
    }
    return parts;
}

struct RoundTrip {
    const char* name;
    std::wstring sender;
    std::wstring text;
    marvik::SmsTime time;
    size_t parts;
    int dataCoding;
};

void PrintTo(const RoundTrip& c, std::ostream* os) { *os << c.name; }

class DeliverRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(DeliverRoundTrip, DecodesToTheSameSenderTimeAndText)
{
    const RoundTrip& c = GetParam();
    const std::vector<marvik::DeliverPdu> parts = Decoded(modemsim::EncodeDeliver(c.sender, c.text, c.time, 77));
    ASSERT_EQ(parts.size(), c.parts);
    std::vector<marvik::StoredPart> stored;
    for (size_t k = 0; k < parts.size(); ++k) {
        EXPECT_EQ(parts[k].sender, c.sender);
        EXPECT_EQ(parts[k].time, c.time);
        EXPECT_EQ(parts[k].dataCoding, c.dataCoding);
        EXPECT_EQ(parts[k].concatenated, c.parts > 1);
        if (c.parts > 1) {
            EXPECT_EQ(parts[k].reference, 77u);
            EXPECT_EQ(parts[k].partNumber, static_cast<int>(k + 1));
        }
        stored.push_back(marvik::StoredPart{static_cast<int>(k), 1, parts[k]});
    }
    const std::vector<marvik::JoinedMessage> joined = marvik::JoinParts(stored);
    ASSERT_EQ(joined.size(), 1u);
    EXPECT_TRUE(joined[0].complete);
    EXPECT_EQ(joined[0].text, c.text);
}

const std::wstring kEuros153 = std::wstring(152, L'a') + L"\u20AC" + std::wstring(20, L'b');
const std::wstring kSmileAt67 = std::wstring(66, L'\u0416') + L"\U0001F642" + std::wstring(10, L'\u0416');

INSTANTIATE_TEST_SUITE_P(
    Texts, DeliverRoundTrip,
    ::testing::Values(
        RoundTrip{"gsm7_international", L"+4512345678", L"Hello, world!", kStamp, 1, 0x00},
        RoundTrip{"extension_table_national", L"12345", L"{[~]} \\ | ^ \u20AC", kStamp, 1, 0x00},
        RoundTrip{"alphanumeric_sender", L"Kivra Info", L"Your code: 1234", kStamp, 1, 0x00},
        RoundTrip{"ucs2_with_surrogates", L"+46701234567", L"\u041F\u0440\u0438\u0432\u0435\u0442 \U0001F642", kStamp,
                  1, 0x08},
        RoundTrip{"zone_west_of_greenwich", L"+15551234", L"hi", marvik::SmsTime{2023, 12, 31, 23, 59, 59, -20}, 1, 0x00},
        RoundTrip{"exactly_160_septets", L"+4512345678", std::wstring(160, L'x'), kStamp, 1, 0x00},
        RoundTrip{"gsm7_two_parts", L"+4512345678", std::wstring(161, L'x'), kStamp, 2, 0x00},
        RoundTrip{"escape_not_split_at_153", L"+4512345678", kEuros153, kStamp, 2, 0x00},
        RoundTrip{"ucs2_three_full_parts", L"+4512345678", std::wstring(201, L'\u0416'), kStamp, 3, 0x08},
        RoundTrip{"surrogate_pair_not_split_at_67", L"+4512345678", kSmileAt67, kStamp, 2, 0x08}),
    [](const ::testing::TestParamInfo<RoundTrip>& info) { return std::string(info.param.name); });

TEST(DeliverPdu, PartsStayWithinTheirLimits)
{
    for (const std::wstring& part : modemsim::SplitForParts(kEuros153))
        EXPECT_LE(part.size() + std::count(part.begin(), part.end(), L'\u20AC'), 153u);
    const std::vector<std::wstring> ucs2 = modemsim::SplitForParts(kSmileAt67);
    ASSERT_EQ(ucs2.size(), 2u);
    EXPECT_EQ(ucs2[0].size(), 66u);  // the pair moved whole to the second part
}

// The 16-bit reference's longer header leaves a septet (a unit) less per part.
TEST(DeliverPdu, WideReferencePartsAreReadBack)
{
    struct Case {
        std::wstring text;
        size_t parts;
    } cases[] = {
        {std::wstring(304, L'y'), 2},   // 2 x 152
        {std::wstring(305, L'y'), 3},
        {std::wstring(132, L'\u0416'), 2},  // 2 x 66
        {std::wstring(133, L'\u0416'), 3},
    };
    for (const Case& c : cases) {
        const std::vector<marvik::DeliverPdu> parts =
            Decoded(modemsim::EncodeDeliver(L"+4512345678", c.text, kStamp, 0x1234, true));
        ASSERT_EQ(parts.size(), c.parts) << c.text.size();
        std::wstring joined;
        for (const marvik::DeliverPdu& part : parts) {
            EXPECT_EQ(part.reference, 0x1234u);
            EXPECT_EQ(part.partsTotal, static_cast<int>(c.parts));
            joined += part.text;
        }
        EXPECT_EQ(joined, c.text);
    }
}

TEST(DeliverPdu, SendersThatAreNoAddressAreRefused)
{
    for (const wchar_t* sender : {L"", L"+", L"+45abc", L"123456789012345678901", L"Twelve chars", L"\u4F60\u597D"})
        EXPECT_TRUE(modemsim::EncodeDeliver(sender, L"hi", kStamp, 1).empty()) << sender;
}

}  // namespace
