// dunra.dll: the product database, one SQLite file.
//
// What makes a file ours: SQLite's header, PRAGMA application_id 'KVDB'
// (0x4B564442) and PRAGMA user_version at most kFormatVersion. Version 1
// holds one table of its own, dunra_schema, with each plugin's schema
// version (dbMigrate); the plugins' tables sit beside it.
//
// dbOpen looks at a file before SQLite does (sharing, access, the first
// bytes), so that a file it refuses is left as it was: nothing is written
// until the file has been found to be ours, or to be an empty SQLite file
// nobody has claimed, or until it was made just now.
#include "dunra.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <string>

namespace {

constexpr int kApplicationId = 0x4B564442;  // "KVDB", as the earlier format's magic
constexpr int kFormatVersion = 1;
constexpr int kBusyTimeoutMs = 5000;
// Reads through a memory map of the file are plain memory reads; without one
// each page is a read call, which under Wine is a round trip to its server
// (a search over 100,000 messages: about 125 ms against 85 ms).
constexpr long long kMemoryMapBytes = 64LL * 1024 * 1024;
constexpr size_t kMaxPluginNameBytes = 63;
// The earlier format's files start with this magic; they could hold nothing
// but their header (nothing wrote records), so they are moved aside.
constexpr char kOldMagic[4] = {'K', 'V', 'D', 'B'};
constexpr char kSqliteMagic[16] = "SQLite format 3";  // with its NUL: 16 bytes
// SQLite's smallest database file: one page of 512 bytes.
constexpr DWORD kSqliteMinimumSize = 512;
// The .old names tried before giving up (.old, .old2 ... .old99).
constexpr int kMaxOldNames = 99;
constexpr size_t kLogLineUnits = 1024;

// ---- notes -----------------------------------------------------------------

std::mutex g_logLock;
TDbLogHandler g_logHandler = nullptr;

void Note(const wchar_t* format, ...)
{
    wchar_t line[kLogLineUnits];
    va_list args;
    va_start(args, format);
    std::vswprintf(line, kLogLineUnits, format, args);
    va_end(args);
    line[kLogLineUnits - 1] = 0;
    TDbLogHandler handler;
    {
        std::lock_guard<std::mutex> lock(g_logLock);
        handler = g_logHandler;
    }
    if (handler != nullptr) {
        handler(line);
    } else {
        OutputDebugStringW(line);
        OutputDebugStringW(L"\n");
    }
}

std::wstring Widen(const char* utf8)
{
    if (utf8 == nullptr)
        return L"";
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (units <= 0)
        return L"";
    std::wstring text(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, text.data(), units);
    text.resize(static_cast<size_t>(units - 1));
    return text;
}

std::string Utf8(const wchar_t* text)
{
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return "";
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), bytes, nullptr, nullptr);
    out.resize(static_cast<size_t>(bytes - 1));
    return out;
}

// ---- handles ---------------------------------------------------------------

class File {
public:
    File() = default;
    explicit File(HANDLE h) : handle_(h) {}
    ~File() { Reset(); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File& operator=(File&& other) noexcept
    {
        if (this != &other) {
            Reset();
            handle_ = other.handle_;
            other.handle_ = INVALID_HANDLE_VALUE;
        }
        return *this;
    }
    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    void Reset()
    {
        if (Valid())
            CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// An open connection, closed when it goes out of scope unless released.
class Connection {
public:
    Connection() = default;
    ~Connection() { Reset(); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    sqlite3* Get() const { return db_; }
    sqlite3** Out() { return &db_; }
    sqlite3* Release()
    {
        sqlite3* db = db_;
        db_ = nullptr;
        return db;
    }
    void Reset()
    {
        // close_v2: statements a plugin forgot to finalize keep the memory
        // alive, not the file in an unknown state.
        if (db_ != nullptr)
            sqlite3_close_v2(db_);
        db_ = nullptr;
    }

private:
    sqlite3* db_ = nullptr;
};

class Statement {
public:
    Statement(sqlite3* db, const char* sql)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) != SQLITE_OK)
            statement_ = nullptr;
    }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* Get() const { return statement_; }
    explicit operator bool() const { return statement_ != nullptr; }

private:
    sqlite3_stmt* statement_ = nullptr;
};

// Holds the connection's own (recursive) mutex: in serialized mode no other
// thread runs a statement on the connection between our statements.
class ConnectionLock {
public:
    explicit ConnectionLock(sqlite3* db) : mutex_(sqlite3_db_mutex(db)) { sqlite3_mutex_enter(mutex_); }
    ~ConnectionLock() { sqlite3_mutex_leave(mutex_); }
    ConnectionLock(const ConnectionLock&) = delete;
    ConnectionLock& operator=(const ConnectionLock&) = delete;

private:
    sqlite3_mutex* mutex_;
};

bool Exec(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// The first column of a one-row query as an integer; false on an error.
bool QueryInt(sqlite3* db, const char* sql, long long* value)
{
    Statement statement(db, sql);
    if (!statement || sqlite3_step(statement.Get()) != SQLITE_ROW)
        return false;
    *value = sqlite3_column_int64(statement.Get(), 0);
    return true;
}

// ---- looking at a file before SQLite opens it ------------------------------

enum class FileKind {
    Missing,    // no such file (its folder exists)
    Empty,      // an empty file: SQLite makes it a database
    Sqlite,     // starts with SQLite's header
    OldFormat,  // the earlier "KVDB" format
    Refused,    // anything else; why is in the note
};

struct FileLook {
    FileKind kind = FileKind::Refused;
    std::wstring why;
};

FileLook LookAt(const wchar_t* path)
{
    FileLook look;
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        look.why = L"is a folder";
        return look;
    }
    // Windows refuses write access to such a file anyway; said here so that
    // it holds where the file system would let a privileged user write.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        look.why = L"is read-only";
        return look;
    }
    // The same access and sharing as SQLite's own handle: what fails here
    // would fail there.
    File file(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            look.kind = FileKind::Missing;
        } else if (error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME) {
            look.why = L"is in a folder that does not exist";
        } else if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
            look.why = L"is held by another program";
        } else if (error == ERROR_ACCESS_DENIED) {
            look.why = L"cannot be written (read-only or no access)";
        } else {
            wchar_t why[64];
            std::swprintf(why, 64, L"cannot be opened (error %lu)", error);
            look.why = why;
        }
        return look;
    }
    if (GetFileType(file.Get()) != FILE_TYPE_DISK) {
        look.why = L"is a device, not a file";
        return look;
    }
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Get(), &size)) {
        look.why = L"cannot be read";
        return look;
    }
    if (size.QuadPart == 0) {
        look.kind = FileKind::Empty;
        return look;
    }
    char head[sizeof(kSqliteMagic)] = {};
    DWORD read = 0;
    if (!ReadFile(file.Get(), head, sizeof(head), &read, nullptr)) {
        look.why = L"cannot be read (locked by another program)";
        return look;
    }
    if (read >= sizeof(kOldMagic) && std::memcmp(head, kOldMagic, sizeof(kOldMagic)) == 0) {
        look.kind = FileKind::OldFormat;
    } else if (read == sizeof(kSqliteMagic) && std::memcmp(head, kSqliteMagic, sizeof(kSqliteMagic)) == 0 &&
               size.QuadPart >= kSqliteMinimumSize) {
        look.kind = FileKind::Sqlite;
    } else {
        look.why = L"is not a database of this product";
    }
    return look;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Moves a file of the earlier format to the first free name of <path>.old,
// <path>.old2, ...; never over another file. Returns the new name, or empty.
std::wstring MoveAside(const std::wstring& path)
{
    for (int n = 1; n <= kMaxOldNames; ++n) {
        std::wstring old = path + L".old";
        if (n > 1)
            old += std::to_wstring(n);
        if (Exists(old))
            continue;
        if (MoveFileExW(path.c_str(), old.c_str(), 0))
            return old;
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS)
            return L"";
    }
    return L"";
}

// Removes a database file made just now, with SQLite's companion files.
void RemoveMadeFile(const std::wstring& path)
{
    DeleteFileW(path.c_str());
    DeleteFileW((path + L"-wal").c_str());
    DeleteFileW((path + L"-shm").c_str());
    DeleteFileW((path + L"-journal").c_str());
}

// ---- what makes a connection ours ------------------------------------------

// Why an opened SQLite file is not a sound database of ours, or empty when it
// is one. *unclaimed is set for an empty SQLite file nobody has claimed.
// Why SQLite could not read the file.
std::wstring ReadFailure(sqlite3* db)
{
    if ((sqlite3_extended_errcode(db) & 0xFF) == SQLITE_BUSY)
        return L"is locked by another program (it did not let go within the busy timeout)";
    return L"is damaged (" + Widen(sqlite3_errmsg(db)) + L")";
}

std::wstring CheckExisting(sqlite3* db, bool* unclaimed)
{
    long long applicationId = 0, userVersion = 0, objects = 0;
    if (!QueryInt(db, "PRAGMA application_id", &applicationId) || !QueryInt(db, "PRAGMA user_version", &userVersion) ||
        !QueryInt(db, "SELECT count(*) FROM sqlite_schema", &objects))
        return ReadFailure(db);
    {
        Statement check(db, "PRAGMA quick_check");
        if (!check || sqlite3_step(check.Get()) != SQLITE_ROW)
            return ReadFailure(db);
        const char* verdict = reinterpret_cast<const char*>(sqlite3_column_text(check.Get(), 0));
        if (verdict == nullptr || std::strcmp(verdict, "ok") != 0)
            return L"is damaged (quick_check: " + Widen(verdict) + L")";
    }
    *unclaimed = applicationId == 0 && userVersion == 0 && objects == 0;
    if (*unclaimed)
        return L"";
    if (applicationId != kApplicationId)
        return L"is another program's SQLite database";
    if (userVersion > kFormatVersion)
        return L"was written by a newer version (format " + std::to_wstring(userVersion) + L")";
    return L"";
}

// Makes this library's own tables in a new or unclaimed file and marks it
// ours. (A later format version brings older files up to it here.)
bool MakeOurTables(sqlite3* db)
{
    char sql[256];
    std::snprintf(sql, sizeof(sql),
                  "BEGIN IMMEDIATE;"
                  "CREATE TABLE IF NOT EXISTS dunra_schema(name TEXT PRIMARY KEY NOT NULL, version INTEGER NOT NULL);"
                  "PRAGMA application_id=%d; PRAGMA user_version=%d; COMMIT;",
                  kApplicationId, kFormatVersion);
    if (Exec(db, sql))
        return true;
    Exec(db, "ROLLBACK");
    return false;
}

// WAL, full synchronous commits, the busy timeout and the memory map for
// every connection.
bool SetUpConnection(sqlite3* db)
{
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    sqlite3_extended_result_codes(db, 1);
    Statement journal(db, "PRAGMA journal_mode=WAL");
    if (!journal || sqlite3_step(journal.Get()) != SQLITE_ROW)
        return false;
    const char* mode = reinterpret_cast<const char*>(sqlite3_column_text(journal.Get(), 0));
    if (mode == nullptr || std::strcmp(mode, "wal") != 0)
        return false;
    const std::string memoryMap = "PRAGMA mmap_size=" + std::to_string(kMemoryMapBytes);
    return Exec(db, "PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON") && Exec(db, memoryMap.c_str());
}

// ---- the open database -----------------------------------------------------

std::mutex g_openLock;
Connection g_connection;
// A handle without data access that tells which file is open: another path
// naming the same file (a short name, another case) is the same database.
File g_identity;

bool SameFile(HANDLE a, HANDLE b)
{
    BY_HANDLE_FILE_INFORMATION ia, ib;
    if (!GetFileInformationByHandle(a, &ia) || !GetFileInformationByHandle(b, &ib))
        return false;
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
           ia.nFileIndexLow == ib.nFileIndexLow;
}

File IdentityOf(const wchar_t* path)
{
    return File(CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool IsOpenDatabase(const wchar_t* path)
{
    if (g_connection.Get() == nullptr || !g_identity.Valid())
        return false;
    File probe = IdentityOf(path);
    return probe.Valid() && SameFile(probe.Get(), g_identity.Get());
}

// Opens path as a database of ours; null on failure, with the file left as
// it was, or removed again when it was made here.
sqlite3* OpenOurs(const std::wstring& path, bool create)
{
    const std::string utf8 = Utf8(path.c_str());
    Connection db;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(utf8.c_str(), db.Out(), flags, nullptr) != SQLITE_OK) {
        Note(L"Database %ls cannot be opened: %hs", path.c_str(), db.Get() ? sqlite3_errmsg(db.Get()) : "no memory");
        db.Reset();
        if (create)
            RemoveMadeFile(path);
        return nullptr;
    }
    sqlite3_busy_timeout(db.Get(), kBusyTimeoutMs);
    bool unclaimed = create;
    if (!create) {
        const std::wstring why = CheckExisting(db.Get(), &unclaimed);
        if (!why.empty()) {
            Note(L"Database %ls %ls; it is left as it is.", path.c_str(), why.c_str());
            return nullptr;
        }
    }
    if (!SetUpConnection(db.Get()) || (unclaimed && !MakeOurTables(db.Get()))) {
        Note(L"Database %ls cannot be set up: %hs", path.c_str(), sqlite3_errmsg(db.Get()));
        db.Reset();
        if (create)
            RemoveMadeFile(path);
        return nullptr;
    }
    return db.Release();
}

}  // namespace

bool dbOpen(const wchar_t* path)
{
    if (path == nullptr || *path == 0) {
        Note(L"Database: no file named.");
        return false;
    }
    std::lock_guard<std::mutex> lock(g_openLock);
    if (IsOpenDatabase(path))
        return true;

    const FileLook look = LookAt(path);
    sqlite3* db = nullptr;
    switch (look.kind) {
    case FileKind::Refused:
        Note(L"Database %ls %ls; it is left as it is.", path, look.why.c_str());
        return false;
    case FileKind::Missing:
        db = OpenOurs(path, true);
        break;
    case FileKind::Empty:
    case FileKind::Sqlite:
        db = OpenOurs(path, false);
        break;
    case FileKind::OldFormat: {
        const std::wstring old = MoveAside(path);
        if (old.empty()) {
            Note(L"Database %ls is of the earlier format and cannot be moved aside; it is left as it is.", path);
            return false;
        }
        db = OpenOurs(path, true);
        if (db == nullptr) {
            MoveFileExW(old.c_str(), path, 0);  // put it back: nothing changed
            return false;
        }
        Note(L"Database %ls was of the earlier format, which holds no records; it was moved to %ls and a new "
             L"database made.",
             path, old.c_str());
        break;
    }
    }
    if (db == nullptr)
        return false;
    // Only a database that opened replaces the one open before.
    g_connection.Reset();
    *g_connection.Out() = db;
    g_identity = IdentityOf(path);
    return true;
}

extern "C" sqlite3* dbConnection(void)
{
    std::lock_guard<std::mutex> lock(g_openLock);
    return g_connection.Get();
}

extern "C" void dbSetLogHandler(TDbLogHandler handler)
{
    std::lock_guard<std::mutex> lock(g_logLock);
    g_logHandler = handler;
}

namespace {

bool StepsAreValid(const TDbStep* steps, int count)
{
    if (count < 0 || (count > 0 && steps == nullptr))
        return false;
    int last = 0;
    for (int i = 0; i < count; ++i) {
        if (steps[i].version <= last || steps[i].sql == nullptr)
            return false;
        last = steps[i].version;
    }
    return true;
}

// The transaction of one migration: a transaction of its own, or a savepoint
// inside the caller's transaction. Rolled back unless committed.
class MigrationTransaction {
public:
    explicit MigrationTransaction(sqlite3* db) : db_(db), nested_(sqlite3_get_autocommit(db) == 0)
    {
        // IMMEDIATE: take the write lock first, so two processes migrating
        // at once wait for each other instead of failing on the upgrade.
        open_ = Exec(db_, nested_ ? "SAVEPOINT dunra_migrate" : "BEGIN IMMEDIATE");
    }
    ~MigrationTransaction()
    {
        if (!open_)
            return;
        if (nested_)
            Exec(db_, "ROLLBACK TO dunra_migrate; RELEASE dunra_migrate");
        else if (sqlite3_get_autocommit(db_) == 0)
            Exec(db_, "ROLLBACK");
    }
    MigrationTransaction(const MigrationTransaction&) = delete;
    MigrationTransaction& operator=(const MigrationTransaction&) = delete;
    bool Open() const { return open_; }
    // Still inside the transaction (a step that committed or rolled back on
    // its own has left it).
    bool Inside() const { return sqlite3_get_autocommit(db_) == 0; }
    bool Commit()
    {
        if (!Exec(db_, nested_ ? "RELEASE dunra_migrate" : "COMMIT"))
            return false;
        open_ = false;
        return true;
    }

private:
    sqlite3* db_;
    bool nested_;
    bool open_ = false;
};

bool RecordedVersion(sqlite3* db, const char* name, long long* version)
{
    Statement query(db, "SELECT version FROM dunra_schema WHERE name = ?1");
    if (!query || sqlite3_bind_text(query.Get(), 1, name, -1, SQLITE_STATIC) != SQLITE_OK)
        return false;
    const int result = sqlite3_step(query.Get());
    if (result == SQLITE_DONE) {
        *version = 0;
        return true;
    }
    if (result != SQLITE_ROW)
        return false;
    *version = sqlite3_column_int64(query.Get(), 0);
    return true;
}

bool RecordVersion(sqlite3* db, const char* name, int version)
{
    Statement record(db,
                     "INSERT INTO dunra_schema(name, version) VALUES(?1, ?2) "
                     "ON CONFLICT(name) DO UPDATE SET version = excluded.version");
    return record && sqlite3_bind_text(record.Get(), 1, name, -1, SQLITE_STATIC) == SQLITE_OK &&
           sqlite3_bind_int(record.Get(), 2, version) == SQLITE_OK && sqlite3_step(record.Get()) == SQLITE_DONE;
}

}  // namespace

extern "C" int dbMigrate(const char* name, const TDbStep* steps, int count)
{
    if (name == nullptr || *name == 0 || std::strlen(name) > kMaxPluginNameBytes || !StepsAreValid(steps, count))
        return -1;
    sqlite3* db = dbConnection();
    if (db == nullptr)
        return -1;
    ConnectionLock lock(db);
    MigrationTransaction transaction(db);
    long long recorded = 0;
    if (!transaction.Open() || !RecordedVersion(db, name, &recorded)) {
        Note(L"Database: the schema of %hs cannot be read: %hs", name, sqlite3_errmsg(db));
        return -1;
    }
    const int latest = count > 0 ? steps[count - 1].version : 0;
    if (recorded > latest) {
        Note(L"Database: the tables of %hs are of version %lld, newer than this plugin knows (%d).", name, recorded,
             latest);
        return -1;
    }
    if (recorded == latest)
        return latest;
    for (int i = 0; i < count; ++i) {
        if (steps[i].version <= recorded)
            continue;
        char* message = nullptr;
        const int result = sqlite3_exec(db, steps[i].sql, nullptr, nullptr, &message);
        if (result != SQLITE_OK || !transaction.Inside()) {
            Note(L"Database: step %d of %hs failed: %hs", steps[i].version, name,
                 message != nullptr ? message : "it ended the transaction");
            sqlite3_free(message);
            return -1;
        }
    }
    if (!RecordVersion(db, name, latest) || !transaction.Commit()) {
        Note(L"Database: the schema of %hs cannot be recorded: %hs", name, sqlite3_errmsg(db));
        return -1;
    }
    return latest;
}
