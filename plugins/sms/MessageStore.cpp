#include "MessageStore.h"

#include <algorithm>

namespace sms {
namespace {

// The table of messages, and a full-text index over sender and text whose
// trigram tokens find any part of a word (three characters or more) without
// reading every message. The triggers keep the index in step.
constexpr TDbStep kSchema[] = {
    {1, "CREATE TABLE sms_messages("
        "  id INTEGER PRIMARY KEY,"
        "  sender TEXT NOT NULL,"
        "  utc INTEGER NOT NULL,"               // seconds since 1970 UTC
        "  zone INTEGER NOT NULL,"              // quarters of an hour east of GMT
        "  body TEXT NOT NULL,"                 // empty once deleted here
        "  sim_indexes TEXT NOT NULL,"          // "3,4,5"
        "  parts_total INTEGER NOT NULL,"
        "  complete INTEGER NOT NULL,"          // 0 while parts are missing
        "  unread INTEGER NOT NULL,"
        "  outgoing INTEGER NOT NULL,"
        "  deleted INTEGER NOT NULL DEFAULT 0,"
        "  fingerprint INTEGER NOT NULL);"      // of sender, time and text: finds a message seen before
        "CREATE INDEX sms_messages_by_time ON sms_messages(deleted, outgoing, utc, id);"
        "CREATE INDEX sms_messages_by_fingerprint ON sms_messages(fingerprint);"
        "CREATE INDEX sms_messages_partial ON sms_messages(sender) WHERE complete = 0;"  // the few waiting for parts
        "CREATE VIRTUAL TABLE sms_search USING fts5(sender, body, content='sms_messages', content_rowid='id',"
        "  tokenize='trigram');"
        "CREATE TRIGGER sms_messages_indexed AFTER INSERT ON sms_messages BEGIN"
        "  INSERT INTO sms_search(rowid, sender, body) VALUES(new.id, new.sender, new.body);"
        "END;"
        "CREATE TRIGGER sms_messages_unindexed AFTER DELETE ON sms_messages BEGIN"
        "  INSERT INTO sms_search(sms_search, rowid, sender, body) VALUES('delete', old.id, old.sender, old.body);"
        "END;"
        "CREATE TRIGGER sms_messages_reindexed AFTER UPDATE OF sender, body ON sms_messages BEGIN"
        "  INSERT INTO sms_search(sms_search, rowid, sender, body) VALUES('delete', old.id, old.sender, old.body);"
        "  INSERT INTO sms_search(rowid, sender, body) VALUES(new.id, new.sender, new.body);"
        "END"},
};

// The trigram index finds substrings of three characters or more; shorter
// ones are looked for by reading the messages.
constexpr size_t kShortestIndexedSearch = 3;

// FNV-1a, 64 bits: a message's identity for finding it again. Equal
// fingerprints are compared field by field before a message counts as seen.
long long Fingerprint(const std::wstring& sender, long long utc, const std::wstring& text)
{
    unsigned long long hash = 14695981039346656037ull;
    auto add = [&hash](const void* data, size_t bytes) {
        for (size_t i = 0; i < bytes; ++i) {
            hash ^= static_cast<const unsigned char*>(data)[i];
            hash *= 1099511628211ull;
        }
    };
    add(sender.data(), sender.size() * sizeof(wchar_t));
    add(&utc, sizeof(utc));
    add(text.data(), text.size() * sizeof(wchar_t));
    return static_cast<long long>(hash);
}

std::wstring JoinIndexes(std::vector<int> indexes)
{
    std::sort(indexes.begin(), indexes.end());
    std::wstring text;
    for (int index : indexes)
        text += (text.empty() ? L"" : L",") + std::to_wstring(index);
    return text;
}

std::vector<int> SplitIndexes(const std::wstring& text)
{
    std::vector<int> indexes;
    const wchar_t* at = text.c_str();
    while (*at != 0) {
        wchar_t* end = nullptr;
        const long index = std::wcstol(at, &end, 10);
        if (end == at)
            break;  // not a list of ours
        indexes.push_back(static_cast<int>(index));
        at = *end == L',' ? end + 1 : end;
    }
    return indexes;
}

// Every index of part is one of whole's.
bool Within(const std::vector<int>& part, const std::vector<int>& whole)
{
    return !part.empty() && std::all_of(part.begin(), part.end(), [&](int index) {
        return std::find(whole.begin(), whole.end(), index) != whole.end();
    });
}

size_t Characters(const std::wstring& text)
{
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](wchar_t unit) {
        return unit < 0xDC00 || unit > 0xDFFF;  // a surrogate pair is one character
    }));
}

std::wstring LikePattern(const std::wstring& search)
{
    std::wstring pattern = L"%";
    for (wchar_t unit : search) {
        if (unit == L'%' || unit == L'_' || unit == L'\\')
            pattern += L'\\';
        pattern += unit;
    }
    return pattern + L"%";
}

// One phrase of the full-text query language: the search as it is.
std::wstring MatchPhrase(const std::wstring& search)
{
    std::wstring phrase = L"\"";
    for (wchar_t unit : search)
        phrase += unit == L'"' ? std::wstring(L"\"\"") : std::wstring(1, unit);
    return phrase + L"\"";
}

bool Outgoing(int status)
{
    return status == MODEM_MSG_SENT || status == MODEM_MSG_UNSENT;
}

}  // namespace

long long UtcSeconds(int year, int month, int day, int hour, int minute, int second, int zoneQuarterHours)
{
    const long long days = kit::DayNumber({year, month, day});
    return days * 86400 + hour * 3600 + minute * 60 + second - zoneQuarterHours * 15 * 60;
}

SimMessage FromModem(const TModemMessage& message, const std::wstring& wholeText)
{
    SimMessage sim;
    sim.sender.assign(message.sender, wcsnlen(message.sender, MODEM_MESSAGE_TEXT));
    sim.utc = UtcSeconds(message.year, message.month, message.day, message.hour, message.minute, message.second,
                         message.zoneQuarterHours);
    sim.zoneQuarterHours = message.zoneQuarterHours;
    sim.text = wholeText;
    const int count = std::clamp(message.indexCount, 0, MODEM_MAX_PARTS);
    sim.indexes.assign(message.indexes, message.indexes + count);
    sim.partsTotal = message.partsTotal;
    sim.status = message.status;
    return sim;
}

MessageStore::MessageStore()
{
    sqlite3* db = dbConnection();
    if (db == nullptr || dbMigrate("sms", kSchema, static_cast<int>(std::size(kSchema))) < 1)
        return;
    findSeen_ = kit::Statement(db, "SELECT id, deleted, sim_indexes FROM sms_messages WHERE fingerprint = ?1 "
                                   "AND sender = ?2 AND utc = ?3 AND (deleted = 1 OR body = ?4) LIMIT 1");
    findPartial_ = kit::Statement(db, "SELECT id, sim_indexes FROM sms_messages WHERE complete = 0 AND sender = ?1 "
                                      "AND outgoing = ?2 AND parts_total = ?3");
    updateIndexes_ = kit::Statement(db, "UPDATE sms_messages SET sim_indexes = ?2 WHERE id = ?1");
    complete_ = kit::Statement(db, "UPDATE sms_messages SET utc = ?2, zone = ?3, "
                                   "body = CASE deleted WHEN 1 THEN '' ELSE ?4 END, sim_indexes = ?5, "
                                   "complete = ?6, fingerprint = ?7 WHERE id = ?1");
    insert_ = kit::Statement(db, "INSERT INTO sms_messages(sender, utc, zone, body, sim_indexes, parts_total, "
                                 "complete, unread, outgoing, fingerprint) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)");
    listAll_ = kit::Statement(db, "SELECT id FROM sms_messages WHERE deleted = 0 AND outgoing = ?1 "
                                  "ORDER BY utc DESC, id DESC");
    // CROSS JOIN: the index finds the matches first, then their rows are
    // read (the other way round, every message would ask the index).
    listMatching_ = kit::Statement(db, "SELECT m.id FROM sms_search CROSS JOIN sms_messages AS m ON m.id = sms_search.rowid "
                                       "WHERE sms_search MATCH ?2 AND m.deleted = 0 AND m.outgoing = ?1 "
                                       "ORDER BY m.utc DESC, m.id DESC");
    listLike_ = kit::Statement(db, "SELECT id FROM sms_messages WHERE deleted = 0 AND outgoing = ?1 "
                                   "AND (sender LIKE ?2 ESCAPE '\\' OR body LIKE ?2 ESCAPE '\\') "
                                   "ORDER BY utc DESC, id DESC");
    read_ = kit::Statement(db, "SELECT id, sender, utc, zone, body, sim_indexes, unread, outgoing FROM sms_messages "
                               "WHERE id = ?1 AND deleted = 0");
    markRead_ = kit::Statement(db, "UPDATE sms_messages SET unread = 0 WHERE id = ?1");
    forget_ = kit::Statement(db, "UPDATE sms_messages SET deleted = 1, body = '', unread = 0 WHERE id = ?1");
    erase_ = kit::Statement(db, "DELETE FROM sms_messages WHERE id = ?1");
    ready_ = findSeen_.Prepared() && findPartial_.Prepared() && updateIndexes_.Prepared() && complete_.Prepared() &&
             insert_.Prepared() && listAll_.Prepared() && listMatching_.Prepared() && listLike_.Prepared() &&
             read_.Prepared() && markRead_.Prepared() && forget_.Prepared() && erase_.Prepared();
}

int MessageStore::Import(const std::vector<SimMessage>& messages)
{
    if (!ready_)
        return -1;
    kit::Transaction transaction(dbConnection());
    if (!transaction.Begun())
        return -1;
    int added = 0;
    for (const SimMessage& message : messages) {
        const int result = ImportOne(message);
        if (result < 0)
            return -1;  // rolled back: the next import tries them all again
        added += result;
    }
    return transaction.Commit() ? added : -1;
}

// 1 when the message is new, 0 when it was kept already, -1 on a failure.
int MessageStore::ImportOne(const SimMessage& message)
{
    const std::wstring indexes = JoinIndexes(message.indexes);
    const long long fingerprint = Fingerprint(message.sender, message.utc, message.text);
    const bool outgoing = Outgoing(message.status);
    const bool complete = message.partsTotal <= 1 || message.partsTotal <= static_cast<int>(message.indexes.size());

    findSeen_.Bind(1, fingerprint).Bind(2, message.sender).Bind(3, message.utc).Bind(4, message.text);
    if (findSeen_.Step()) {
        const long long id = findSeen_.Int(0);
        const bool deleted = findSeen_.Int(1) != 0;
        if (deleted || findSeen_.Text(2) == indexes)
            return 0;
        return updateIndexes_.Bind(1, id).Bind(2, indexes).Run() ? 0 : -1;
    }

    // The rest of a message kept while parts were missing.
    findPartial_.Bind(1, message.sender).Bind(2, outgoing ? 1 : 0).Bind(3, message.partsTotal);
    long long partial = 0;
    while (partial == 0 && findPartial_.Step())
        if (Within(SplitIndexes(findPartial_.Text(1)), message.indexes))
            partial = findPartial_.Int(0);
    if (partial != 0)
        return complete_.Bind(1, partial)
                       .Bind(2, message.utc)
                       .Bind(3, message.zoneQuarterHours)
                       .Bind(4, message.text)
                       .Bind(5, indexes)
                       .Bind(6, complete ? 1 : 0)
                       .Bind(7, fingerprint)
                       .Run()
                   ? 0
                   : -1;

    return insert_.Bind(1, message.sender)
                   .Bind(2, message.utc)
                   .Bind(3, message.zoneQuarterHours)
                   .Bind(4, message.text)
                   .Bind(5, indexes)
                   .Bind(6, message.partsTotal)
                   .Bind(7, complete ? 1 : 0)
                   .Bind(8, message.status == MODEM_MSG_UNREAD ? 1 : 0)
                   .Bind(9, outgoing ? 1 : 0)
                   .Bind(10, fingerprint)
                   .Run()
               ? 1
               : -1;
}

long long MessageStore::AddSent(const std::wstring& to, const std::wstring& text, long long utc, int zoneQuarterHours)
{
    if (!ready_ || !insert_.Bind(1, to)
                        .Bind(2, utc)
                        .Bind(3, zoneQuarterHours)
                        .Bind(4, text)
                        .Bind(5, L"")
                        .Bind(6, 1)
                        .Bind(7, 1)
                        .Bind(8, 0)
                        .Bind(9, 1)
                        .Bind(10, Fingerprint(to, utc, text))
                        .Run())
        return 0;
    return sqlite3_last_insert_rowid(dbConnection());
}

std::vector<long long> MessageStore::List(Folder folder, const std::wstring& search)
{
    std::vector<long long> ids;
    if (!ready_)
        return ids;
    const int outgoing = folder == Folder::Sent ? 1 : 0;
    kit::Statement* query = &listAll_;
    if (search.empty())
        listAll_.Bind(1, outgoing);
    else if (Characters(search) < kShortestIndexedSearch)
        (query = &listLike_)->Bind(1, outgoing).Bind(2, LikePattern(search));
    else
        (query = &listMatching_)->Bind(1, outgoing).Bind(2, MatchPhrase(search));
    while (query->Step())
        ids.push_back(query->Int(0));
    return ids;
}

bool MessageStore::Read(long long id, StoredMessage& message)
{
    if (!ready_)
        return false;
    read_.Bind(1, id);
    if (!read_.Step())
        return false;
    message.id = read_.Int(0);
    message.sender = read_.Text(1);
    message.utc = read_.Int(2);
    message.zoneQuarterHours = static_cast<int>(read_.Int(3));
    message.text = read_.Text(4);
    message.simIndexes = read_.Text(5);
    message.unread = read_.Int(6) != 0;
    message.outgoing = read_.Int(7) != 0;
    return true;
}

bool MessageStore::MarkRead(long long id)
{
    return ready_ && markRead_.Bind(1, id).Run();
}

bool MessageStore::Delete(long long id, bool goneFromSim)
{
    return ready_ && (goneFromSim ? erase_ : forget_).Bind(1, id).Run();
}

bool MessageStore::SameMessage(const StoredMessage& kept, const SimMessage& listed)
{
    return kept.sender == listed.sender && kept.utc == listed.utc && kept.text == listed.text;
}

}  // namespace sms
