// The database measure's baseline: a bare program with the same SQLite
// amalgamation, built with the same options, linked in. Prints the
// nanoseconds of one sample of InsertMessages, or -1.
#include "sqlite3.h"

#include "bench/BenchSupport.h"
#include "bench/MessageInserts.h"

#include <cstdio>
#include <string>

using namespace kivra::bench;

int main()
{
    const std::wstring path = FreshDatabasePath(L"kivra-bench-bare.db");
    const int units = ::WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(units), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, utf8.data(), units, nullptr, nullptr);
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(utf8.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                              nullptr) == SQLITE_OK;
    sqlite3_busy_timeout(db, 5000);
    ok = ok && sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON", nullptr,
                            nullptr, nullptr) == SQLITE_OK;
    ok = ok && sqlite3_exec(db, kMessageTable, nullptr, nullptr, nullptr) == SQLITE_OK;
    const double start = NowNs();
    ok = ok && InsertMessages(db);
    const double elapsed = NowNs() - start;
    sqlite3_close(db);
    RemoveDatabase(path);
    std::printf("%.0f\n", ok ? elapsed : -1.0);
    return ok ? 0 : 1;
}
