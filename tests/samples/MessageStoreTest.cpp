// sms: the messages kept in the database, imported from the modem's list
// each time it is read, listed newest first and searched as the user types.
#include "tests/samples/SampleDatabase.h"

#include "plugins/sms/MessageStore.h"

#include <string>
#include <vector>

namespace kivra::samples {
namespace {

using sms::Folder;
using sms::MessageStore;
using sms::SimMessage;
using sms::StoredMessage;

constexpr long long kMay1 = 1714521600;  // 2024-05-01 00:00:00 UTC

SimMessage Listed(const std::wstring& sender, long long utc, const std::wstring& text, std::vector<int> indexes,
                  int partsTotal = 1, int status = MODEM_MSG_UNREAD)
{
    SimMessage message;
    message.sender = sender;
    message.utc = utc;
    message.zoneQuarterHours = 8;
    message.text = text;
    message.indexes = std::move(indexes);
    message.partsTotal = partsTotal;
    message.status = status;
    return message;
}

std::vector<std::wstring> Texts(MessageStore& store, Folder folder, const std::wstring& search = {})
{
    std::vector<std::wstring> texts;
    for (long long id : store.List(folder, search)) {
        StoredMessage message;
        EXPECT_TRUE(store.Read(id, message));
        texts.push_back(message.text);
    }
    return texts;
}

using MessageStoreTest = SampleDatabase;

TEST_F(MessageStoreTest, AMessageTheSimListsAgainIsKeptOnce)
{
    const std::vector<SimMessage> sim = {Listed(L"+4512345678", kMay1, L"first", {1}),
                                         Listed(L"Telia", kMay1 + 60, L"second", {2})};
    {
        MessageStore store;
        ASSERT_TRUE(store.Ready());
        EXPECT_EQ(store.Import(sim), 2);
        EXPECT_EQ(store.Import(sim), 0);
    }
    Reopen();  // and after a restart
    MessageStore store;
    std::vector<SimMessage> again = sim;
    again[0].indexes = {7};  // the SIM moved it
    again.push_back(Listed(L"+4512345678", kMay1 + 120, L"first", {3}));  // same text, another time: another message
    EXPECT_EQ(store.Import(again), 1);
    EXPECT_EQ(Texts(store, Folder::Inbox), (std::vector<std::wstring>{L"first", L"second", L"first"}));

    StoredMessage moved;
    ASSERT_TRUE(store.Read(store.List(Folder::Inbox, L"").back(), moved));
    EXPECT_EQ(moved.simIndexes, L"7");
    EXPECT_EQ(moved.sender, L"+4512345678");
    EXPECT_EQ(moved.utc, kMay1);
    EXPECT_EQ(moved.zoneQuarterHours, 8);
    EXPECT_TRUE(moved.unread);
    EXPECT_FALSE(moved.outgoing);
}

TEST_F(MessageStoreTest, AMessageKeptWhilePartsWereMissingIsCompletedWhenTheyCome)
{
    MessageStore store;
    ASSERT_EQ(store.Import({Listed(L"Anna", kMay1, L"Part one and [...]", {4}, 3)}), 1);
    ASSERT_EQ(store.Import({Listed(L"Anna", kMay1, L"Part one and two [...]", {4, 5}, 3)}), 0);
    ASSERT_EQ(store.Import({Listed(L"Anna", kMay1 + 1, L"Part one and two and three", {6, 4, 5}, 3)}), 0);
    ASSERT_EQ(store.Import({Listed(L"Anna", kMay1 + 1, L"Part one and two and three", {4, 5, 6}, 3)}), 0);

    const std::vector<long long> ids = store.List(Folder::Inbox, L"");
    ASSERT_EQ(ids.size(), 1u);
    StoredMessage joined;
    ASSERT_TRUE(store.Read(ids[0], joined));
    EXPECT_EQ(joined.text, L"Part one and two and three");
    EXPECT_EQ(joined.simIndexes, L"4,5,6");

    // Another sender's parts at the same places are another message.
    EXPECT_EQ(store.Import({Listed(L"Bo", kMay1, L"Other", {4, 5}, 2)}), 1);
}

TEST_F(MessageStoreTest, AMessageDeletedOnlyHereDoesNotComeBackFromTheSim)
{
    const std::vector<SimMessage> sim = {Listed(L"Anna", kMay1, L"keep out", {1}),
                                         Listed(L"Bo", kMay1 + 5, L"gone everywhere", {2}),
                                         Listed(L"Cy", kMay1 + 9, L"half [...]", {3}, 2)};
    {
        MessageStore store;
        ASSERT_EQ(store.Import(sim), 3);
        std::vector<long long> ids = store.List(Folder::Inbox, L"");
        ASSERT_EQ(ids.size(), 3u);
        ASSERT_TRUE(store.Delete(ids[2], false));  // Anna's, here only
        ASSERT_TRUE(store.Delete(ids[1], true));   // Bo's, from the SIM too
        ASSERT_TRUE(store.Delete(ids[0], false));  // Cy's, while a part was missing
        EXPECT_TRUE(store.List(Folder::Inbox, L"keep").empty()) << "its text is not kept";
    }
    Reopen();
    MessageStore store;
    std::vector<SimMessage> later = sim;
    later[2] = Listed(L"Cy", kMay1 + 9, L"half and the rest", {3, 8}, 2);
    EXPECT_EQ(store.Import({later[0], later[2]}), 0);
    EXPECT_TRUE(store.List(Folder::Inbox, L"").empty());
    EXPECT_EQ(store.Import({later[1]}), 1) << "a message deleted from the SIM too is not remembered";
}

TEST_F(MessageStoreTest, FoldersListNewestFirstAndReadMessagesStayRead)
{
    MessageStore store;
    ASSERT_EQ(store.Import({Listed(L"A", kMay1 + 10, L"received late", {1}, 1, MODEM_MSG_READ),
                            Listed(L"B", kMay1, L"received early", {2}),
                            Listed(L"C", kMay1 + 5, L"sent from the SIM", {3}, 1, MODEM_MSG_SENT)}),
              3);
    ASSERT_NE(store.AddSent(L"+4587654321", L"sent from here", kMay1 + 20, 4), 0);
    EXPECT_EQ(Texts(store, Folder::Inbox), (std::vector<std::wstring>{L"received late", L"received early"}));
    EXPECT_EQ(Texts(store, Folder::Sent), (std::vector<std::wstring>{L"sent from here", L"sent from the SIM"}));

    const long long early = store.List(Folder::Inbox, L"").back();
    StoredMessage message;
    ASSERT_TRUE(store.Read(early, message));
    EXPECT_TRUE(message.unread);
    ASSERT_TRUE(store.MarkRead(early));
    ASSERT_EQ(store.Import({Listed(L"B", kMay1, L"received early", {2})}), 0);
    ASSERT_TRUE(store.Read(early, message));
    EXPECT_FALSE(message.unread) << "the SIM's flag does not undo what the user read";
}

TEST_F(MessageStoreTest, SearchFindsAnyPartOfSenderOrTextInAnyCase)
{
    MessageStore store;
    const std::wstring longText = std::wstring(100000, L'x') + L"needle";
    ASSERT_EQ(store.Import({Listed(L"Anna", kMay1, L"Running late, see you at the station at 7.", {1}),
                            Listed(L"+4512345678", kMay1 + 1, L"100% sure: use_it or 'lose' \"it\"", {2}),
                            Listed(L"Kivra Net", kMay1 + 2, L"Ünïcödé ÄÖ: 2.1 GB left", {3}),
                            Listed(L"Bo", kMay1 + 3, longText, {4}),
                            Listed(L"Cy", kMay1 + 4, L"emoji \U0001F600 here", {5})}),
              5);
    struct Row {
        const wchar_t* search;
        std::vector<std::wstring> senders;
    };
    const Row rows[] = {
        {L"", {L"Cy", L"Bo", L"Kivra Net", L"+4512345678", L"Anna"}},
        {L"STATION", {L"Anna"}},
        {L"anna", {L"Anna"}},
        {L"ivr", {L"Kivra Net"}},
        {L"2345", {L"+4512345678"}},
        {L"7.", {L"Anna"}},  // shorter than the index's three characters
        {L"%", {L"+4512345678"}},
        {L"_", {L"+4512345678"}},
        {L"'lose'", {L"+4512345678"}},
        {L"\"it\"", {L"+4512345678"}},
        {L"ÜNÏ", {L"Kivra Net"}},  // the index folds the case of every alphabet
        {L"ÄÖ", {L"Kivra Net"}},   // a short search folds A to Z only
        {L"needle", {L"Bo"}},
        {L"\U0001F600", {L"Cy"}},
        {L"no such words", {}},
        {L"an*", {}},  // no query language: the characters as typed
    };
    for (const Row& row : rows) {
        std::vector<std::wstring> senders;
        for (long long id : store.List(Folder::Inbox, row.search)) {
            StoredMessage message;
            ASSERT_TRUE(store.Read(id, message));
            senders.push_back(message.sender);
        }
        EXPECT_EQ(senders, row.senders) << row.search;
    }
}

TEST_F(MessageStoreTest, TimeStampsInTheSendersZoneBecomeUtc)
{
    struct Row {
        int year, month, day, hour, minute, second, zone;
        long long utc;
    };
    const Row rows[] = {
        {2024, 5, 1, 0, 0, 0, 0, kMay1},
        {2024, 5, 1, 8, 0, 0, 32, kMay1},        // GMT+8
        {2024, 4, 30, 20, 15, 0, -15, kMay1},    // GMT-3:45
        {2024, 2, 29, 12, 0, 0, 0, 1709208000},  // a leap day
        {2000, 1, 1, 0, 0, 0, 0, 946684800},
    };
    for (const Row& r : rows)
        EXPECT_EQ(sms::UtcSeconds(r.year, r.month, r.day, r.hour, r.minute, r.second, r.zone), r.utc)
            << r.year << "-" << r.month << "-" << r.day;
}

}  // namespace
}  // namespace kivra::samples
