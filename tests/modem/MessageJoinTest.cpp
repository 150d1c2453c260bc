// Stored parts joined into the messages a user reads.
#include "marvik/MessageJoin.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace marvik;

namespace {

constexpr int kUnread = 0, kRead = 1, kSent = 3;

StoredPart Single(int index, const wchar_t* sender, const wchar_t* text, SmsTime time, int status = kRead)
{
    StoredPart part;
    part.index = index;
    part.status = status;
    part.pdu.sender = sender;
    part.pdu.text = text;
    part.pdu.time = time;
    return part;
}

StoredPart Piece(int index, const wchar_t* sender, unsigned reference, int total, int number, const wchar_t* text,
                 SmsTime time = {2026, 12, 9, 10, 0, 0, 4}, int status = kRead)
{
    StoredPart part = Single(index, sender, text, time, status);
    part.pdu.concatenated = true;
    part.pdu.reference = reference;
    part.pdu.partsTotal = total;
    part.pdu.partNumber = number;
    return part;
}

}  // namespace

TEST(MessageJoin, JoinsPartsInPartOrderListingEveryIndex)
{
    const std::vector<JoinedMessage> messages = JoinParts({
        Piece(7, L"+4712345678", 0x42, 3, 3, L" three."),
        Piece(2, L"+4712345678", 0x42, 3, 1, L"One,", {2026, 12, 9, 10, 0, 0, 4}, kUnread),
        Piece(5, L"+4712345678", 0x42, 3, 2, L" two,"),
    });
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, L"One, two, three.");
    EXPECT_EQ(messages[0].indexes, (std::vector<int>{2, 5, 7}));
    EXPECT_EQ(messages[0].sender, L"+4712345678");
    EXPECT_EQ(messages[0].partsTotal, 3);
    EXPECT_TRUE(messages[0].complete);
    EXPECT_EQ(messages[0].status, kUnread);  // one unread part makes the message unread
}

TEST(MessageJoin, KeepsPartsApartThatDoNotBelongTogether)
{
    SmsTime at = {2026, 12, 9, 10, 0, 0, 4};
    StoredPart sent = Piece(5, L"+4712345678", 9, 2, 2, L"sent two", at, kSent);
    sent.pdu.outgoing = true;
    const std::vector<JoinedMessage> messages = JoinParts({
        Piece(1, L"+4712345678", 9, 2, 1, L"a1"),
        Piece(2, L"+4799999999", 9, 2, 2, L"other sender"),  // same reference, other sender
        Piece(3, L"+4712345678", 9, 3, 2, L"other count"),   // same reference, other count
        Piece(4, L"+4712345678", 9 + 256, 2, 2, L"16-bit ref"),
        sent,                                                // same fields, but outgoing
    });
    ASSERT_EQ(messages.size(), 5u);
    for (const JoinedMessage& message : messages) {
        EXPECT_EQ(message.indexes.size(), 1u) << message.indexes[0];
        EXPECT_FALSE(message.complete);
    }
}

TEST(MessageJoin, MarksMissingPartsAndStaysIncomplete)
{
    const std::vector<JoinedMessage> messages = JoinParts({
        Piece(1, L"Telia", 300, 3, 1, L"Start"),
        Piece(3, L"Telia", 300, 3, 3, L"end"),
    });
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, std::wstring(L"Start") + kMissingPartMarker + L"end");
    EXPECT_FALSE(messages[0].complete);
    EXPECT_EQ(messages[0].indexes, (std::vector<int>{1, 3}));
    EXPECT_EQ(messages[0].partsTotal, 3);
}

TEST(MessageJoin, AReferenceUsedAgainStartsAnotherMessage)
{
    // The same sender's reference comes round again a day later: two messages, nothing dropped.
    const std::vector<JoinedMessage> messages = JoinParts({
        Piece(1, L"12345", 7, 2, 1, L"old ", {2026, 12, 1, 8, 0, 0, 0}),
        Piece(2, L"12345", 7, 2, 2, L"one", {2026, 12, 1, 8, 0, 5, 0}),
        Piece(3, L"12345", 7, 2, 1, L"new ", {2026, 12, 2, 8, 0, 0, 0}),
        Piece(4, L"12345", 7, 2, 2, L"one", {2026, 12, 2, 8, 0, 5, 0}),
    });
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, L"old one");
    EXPECT_EQ(messages[0].indexes, (std::vector<int>{1, 2}));
    EXPECT_EQ(messages[1].text, L"new one");
    EXPECT_EQ(messages[1].indexes, (std::vector<int>{3, 4}));
}

TEST(MessageJoin, ASurrogatePairSplitBetweenPartsJoinsAgain)
{
    const std::vector<JoinedMessage> messages = JoinParts({
        Piece(1, L"12345", 1, 2, 1, L"smile \xD83D"),
        Piece(2, L"12345", 1, 2, 2, L"\xDE00!"),
        Single(3, L"12345", L"lone \xD83D", {2026, 12, 9, 11, 0, 0, 4}),
    });
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, L"smile \xD83D\xDE00!");
    EXPECT_EQ(messages[1].text, L"lone \xFFFD");  // not half of a pair: the replacement character
}

TEST(MessageJoin, OrdersByTheMomentInUtcOldestFirst)
{
    // 10:00 at +02:00 is 08:00 UTC; 09:00 at -01:00 is 10:00 UTC; 09:30 at +00:00 between them.
    const std::vector<JoinedMessage> messages = JoinParts({
        Single(1, L"a", L"ten minus", {2026, 12, 9, 9, 0, 0, -4}),
        Single(2, L"b", L"ten plus two", {2026, 12, 9, 10, 0, 0, 8}),
        Single(3, L"c", L"half past nine", {2026, 12, 9, 9, 30, 0, 0}),
        Single(5, L"d", L"new year", {2027, 1, 1, 0, 0, 0, 0}),
        Single(4, L"e", L"same moment, lower index", {2027, 1, 1, 0, 0, 0, 0}),
        Single(6, L"f", L"leap day", {2028, 2, 29, 12, 0, 0, 0}),
        Single(7, L"g", L"before the leap day", {2028, 2, 28, 23, 0, 0, -8}),  // 01:00 UTC on the 29th
    });
    std::vector<int> order;
    for (const JoinedMessage& message : messages)
        order.push_back(message.indexes[0]);
    EXPECT_EQ(order, (std::vector<int>{2, 3, 1, 4, 5, 7, 6}));
}

TEST(MessageJoin, TakesTheEarliestPartsTimeAndTheFirstPartsStatus)
{
    const std::vector<JoinedMessage> messages = JoinParts({
        Piece(1, L"12345", 1, 2, 1, L"a", {2026, 12, 9, 10, 0, 9, 0}),
        Piece(2, L"12345", 1, 2, 2, L"b", {2026, 12, 9, 10, 0, 3, 0}),
    });
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].time.second, 3);
    EXPECT_EQ(messages[0].status, kRead);
}
