// The database measure's work, the same for dunra.dll and for the bare
// program with SQLite linked in: 10,000 received messages inserted through
// one prepared statement in one transaction, on a connection set up as
// dbOpen sets up its own (WAL, full synchronous commits, busy timeout).
// Each sample program times only this and prints nanoseconds.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

namespace kivra::bench {

constexpr int kInsertedMessages = 10000;

inline const char* const kMessageTable =
    "CREATE TABLE bench_messages(id INTEGER PRIMARY KEY, sender TEXT NOT NULL, received TEXT NOT NULL, "
    "body TEXT NOT NULL, sim_index INTEGER, unread INTEGER NOT NULL, outgoing INTEGER NOT NULL);"
    "CREATE INDEX bench_by_received ON bench_messages(received)";

// A fresh database file in the temporary folder (its companion files gone).
inline std::wstring FreshDatabasePath(const wchar_t* name)
{
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring path = std::wstring(temp) + name;
    for (const wchar_t* suffix : {L"", L"-wal", L"-shm", L"-journal"})
        ::DeleteFileW((path + suffix).c_str());
    return path;
}

inline void RemoveDatabase(const std::wstring& path)
{
    for (const wchar_t* suffix : {L"", L"-wal", L"-shm", L"-journal"})
        ::DeleteFileW((path + suffix).c_str());
}

// Inserts the messages; false when SQLite failed somewhere.
inline bool InsertMessages(sqlite3* db)
{
    sqlite3_stmt* insert = nullptr;
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db,
                           "INSERT INTO bench_messages(sender, received, body, sim_index, unread, outgoing) "
                           "VALUES(?1, ?2, ?3, ?4, 1, 0)",
                           -1, &insert, nullptr) != SQLITE_OK)
        return false;
    bool ok = true;
    char sender[32], received[32], body[200];
    for (int i = 0; i < kInsertedMessages && ok; ++i) {
        std::snprintf(sender, sizeof(sender), "+46701%06d", i % 250);
        std::snprintf(received, sizeof(received), "2026-12-%02dT%02d:%02d:%02d+01:00", 1 + i % 28, i % 24, i % 60,
                      (i * 7) % 60);
        std::snprintf(body, sizeof(body),
                      "Message %d: your balance is %d.%02d SEK. Thank you for using our service; reply STOP to end "
                      "these messages.",
                      i, i % 500, i % 100);
        sqlite3_bind_text(insert, 1, sender, -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 2, received, -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 3, body, -1, SQLITE_STATIC);
        sqlite3_bind_int(insert, 4, i % 40);
        ok = sqlite3_step(insert) == SQLITE_DONE;
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    return ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
}

}  // namespace kivra::bench
