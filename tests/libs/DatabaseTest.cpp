#include "dunra.h"

#include "tests/support/Files.h"
#include "tests/support/ScratchFolder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

using kivra::testing::FreshScratchFolder;
using kivra::testing::WriteFileBytes;

namespace {

constexpr int kOurApplicationId = 0x4B564442;

std::string Utf8(const std::wstring& text) { return kivra::testing::Utf8(text); }

std::string Read(const std::wstring& path)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return "<cannot read>";
    std::string bytes(1 << 20, '\0');
    DWORD read = 0;
    ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(f);
    bytes.resize(read);
    return bytes;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// True while a process holds the file open as SQLite does: nobody may delete it.
bool HeldOpen(const std::wstring& path)
{
    HANDLE f = CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(f);
    return false;
}

// A connection of the test's own, as another program (or a worker thread)
// has one; closed at the end of scope.
class Db {
public:
    explicit Db(const std::wstring& path, int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)
    {
        if (sqlite3_open_v2(Utf8(path).c_str(), &db_, flags, nullptr) != SQLITE_OK) {
            sqlite3_close(db_);
            db_ = nullptr;
        }
    }
    ~Db() { sqlite3_close(db_); }
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;
    sqlite3* Get() const { return db_; }
    bool Exec(const std::string& sql) { return db_ && sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == 0; }

private:
    sqlite3* db_ = nullptr;
};

// The first column of the first row, as text; "<none>" without a row.
std::string QueryText(sqlite3* db, const std::string& sql)
{
    sqlite3_stmt* statement = nullptr;
    if (db == nullptr || sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        return "<error>";
    std::string text = "<none>";
    if (sqlite3_step(statement) == SQLITE_ROW) {
        const unsigned char* value = sqlite3_column_text(statement, 0);
        text = value ? reinterpret_cast<const char*>(value) : "<null>";
    }
    sqlite3_finalize(statement);
    return text;
}

std::string Query(const std::string& sql) { return QueryText(dbConnection(), sql); }

std::string MakeSqliteFile(const std::wstring& path, const std::string& sql)
{
    DeleteFileW(path.c_str());
    {
        Db db(path);
        if (!db.Exec(sql))
            return "<not made>";
    }
    return Read(path);
}

// A file of ours with a few rows, made through dbOpen and closed again.
std::string MakeOurFile(const std::wstring& path)
{
    DeleteFileW(path.c_str());
    {
        Db db(path);
        db.Exec("PRAGMA application_id=" + std::to_string(kOurApplicationId) +
                "; PRAGMA user_version=1;"
                "CREATE TABLE dunra_schema(name TEXT PRIMARY KEY NOT NULL, version INTEGER NOT NULL);"
                "CREATE TABLE notes(text TEXT); INSERT INTO notes VALUES('kept');");
    }
    return Read(path);
}

std::string OldFormatFile()
{
    // The earlier format's header: magic, version 1, header size 32, no
    // records; the rest (flags, reserved, checksum) is not looked at.
    return std::string("KVDB\x01\x00\x20\x00", 8) + std::string(24, '\0');
}

class DatabaseTest : public ::testing::Test {
protected:
    static std::wstring Folder()
    {
        static const std::wstring folder = FreshScratchFolder(L"db");
        return folder;
    }
    static std::wstring Path(const wchar_t* name) { return Folder() + name; }
};

TEST_F(DatabaseTest, OpenOutcomes)
{
    const std::wstring folder = Folder();
    struct Case {
        const char* name;
        std::wstring path;
        std::function<std::string(const std::wstring&)> make;  // the file's bytes before the call
        bool opens;
    };
    const auto none = [](const std::wstring& path) { return Read(path); };
    const auto bytes = [](std::string content) {
        return [content](const std::wstring& path) {
            WriteFileBytes(path, content);
            return content;
        };
    };
    const auto sqlite = [](std::string sql) {
        return [sql](const std::wstring& path) { return MakeSqliteFile(path, sql); };
    };
    const auto damaged = [](size_t at, size_t size, char fill) {
        return [=](const std::wstring& path) {
            std::string file = MakeSqliteFile(path, "CREATE TABLE t(x); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
                                                    "SELECT i+1 FROM n WHERE i<2000) INSERT INTO t SELECT "
                                                    "randomblob(50) FROM n;");
            file.replace(at, size, size, fill);
            WriteFileBytes(path, file);
            return file;
        };
    };
    const auto truncated = [](size_t keep) {
        return [=](const std::wstring& path) {
            std::string file = MakeOurFile(path);
            file.resize(keep);
            WriteFileBytes(path, file);
            return file;
        };
    };
    std::string random(8192, '\0');
    for (size_t i = 0; i < random.size(); ++i)
        random[i] = static_cast<char>((i * 2654435761u) >> 13);
    const Case cases[] = {
        {"empty path", L"", none, false},
        {"missing folder", Path(L"no-such-folder\\x.db"), none, false},
        {"a folder", folder, none, false},
        {"a folder without its backslash", folder.substr(0, folder.size() - 1), none, false},
        {"a device", L"NUL", none, false},
        {"text", Path(L"text.db"), bytes("not a database, a note"), false},
        {"zero-filled", Path(L"zeros.db"), bytes(std::string(8192, '\0')), false},
        {"random bytes", Path(L"random.db"), bytes(random), false},
        {"SQLite's header only", Path(L"header.db"), bytes(std::string("SQLite format 3\0", 16) + std::string(84, 'x')),
         false},
        {"truncated to a page and a half", Path(L"truncated.db"), truncated(1536), false},
        {"a damaged page", Path(L"damaged.db"), damaged(5000, 3000, '\x5A'), false},
        {"another program's database", Path(L"foreign.db"), sqlite("CREATE TABLE contacts(name TEXT)"), false},
        {"another program's empty database with an id", Path(L"foreign-id.db"),
         sqlite("PRAGMA application_id=1234; PRAGMA user_version=0; VACUUM"), false},
        {"a newer format of ours", Path(L"newer.db"),
         sqlite("PRAGMA application_id=" + std::to_string(kOurApplicationId) + "; PRAGMA user_version=2;"
                "CREATE TABLE dunra_schema(name TEXT PRIMARY KEY NOT NULL, version INTEGER NOT NULL)"),
         false},
        {"a missing file", Path(L"new.db"), none, true},
        {"a missing file of a name in other scripts", Path(L"\u00e5\u4e2d\u0416.db"), none, true},
        {"an empty file", Path(L"empty.db"), bytes(""), true},
        {"an empty SQLite file", Path(L"blank.db"), sqlite("PRAGMA user_version=0"), true},
        {"one of ours", Path(L"ours.db"), MakeOurFile, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string before = c.make(c.path);
        sqlite3* open = dbConnection();
        const bool opened = dbOpen(c.path.c_str());
        EXPECT_EQ(opened, c.opens);
        if (opened) {
            ASSERT_NE(dbConnection(), nullptr);
            EXPECT_TRUE(HeldOpen(c.path));
            EXPECT_EQ(Query("PRAGMA journal_mode"), "wal");
            EXPECT_EQ(Query("PRAGMA mmap_size"), "67108864") << "searches read through a memory map";
            EXPECT_EQ(Query("PRAGMA application_id"), std::to_string(kOurApplicationId));
            EXPECT_EQ(Query("PRAGMA user_version"), "1");
            EXPECT_EQ(Query("SELECT count(*) FROM dunra_schema"), "0");
            continue;
        }
        EXPECT_EQ(dbConnection(), open) << "the database open before stays open";
        EXPECT_TRUE(Read(c.path) == before) << "a refused file is left as it was";
        EXPECT_FALSE(Exists(c.path + L"-wal"));
        if (!c.path.empty() && c.path != L"NUL" && c.path[c.path.size() - 1] != L'\\') {
            EXPECT_FALSE(HeldOpen(c.path));
        }
    }
    EXPECT_FALSE(dbOpen(nullptr));
    EXPECT_FALSE(Exists(Path(L"no-such-folder"))) << "no folder made";
    EXPECT_EQ(Query("SELECT text FROM notes"), "kept") << "an existing database is read, not remade";
}

TEST_F(DatabaseTest, RefusesAFileThatCannotBeWrittenOrIsHeldWithoutSharing)
{
    const std::wstring readOnly = Path(L"readonly.db"), held = Path(L"held.db");
    const std::string readOnlyBytes = MakeOurFile(readOnly), heldBytes = MakeOurFile(held);
    ASSERT_TRUE(SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(dbOpen(readOnly.c_str()));
    SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(Read(readOnly) == readOnlyBytes);

    HANDLE other = CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(dbOpen(held.c_str()));
    CloseHandle(other);
    EXPECT_TRUE(Read(held) == heldBytes);
    EXPECT_TRUE(dbOpen(held.c_str())) << "once the other program let go";

    const std::wstring locked = Path(L"locked.db");
    const std::string lockedBytes = MakeOurFile(locked);
    HANDLE locker = CreateFileW(locked.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    OVERLAPPED whole = {};
    ASSERT_TRUE(LockFileEx(locker, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole));
    EXPECT_FALSE(dbOpen(locked.c_str())) << "a byte-range lock over the whole file";
    UnlockFileEx(locker, 0, MAXDWORD, MAXDWORD, &whole);
    CloseHandle(locker);
    EXPECT_TRUE(Read(locked) == lockedBytes);
}

TEST_F(DatabaseTest, AFileOfTheEarlierFormatIsMovedAsideNeverOverAnother)
{
    const std::wstring path = Path(L"earlier.db");
    std::vector<std::wstring> lines;
    static std::vector<std::wstring>* notes = nullptr;
    notes = &lines;
    dbSetLogHandler([](const wchar_t* line) { notes->push_back(line); });
    WriteFileBytes(path + L".old", "a user's own earlier copy");
    WriteFileBytes(path, OldFormatFile());

    ASSERT_TRUE(dbOpen(path.c_str()));
    dbSetLogHandler(nullptr);
    EXPECT_EQ(Read(path + L".old"), "a user's own earlier copy");
    EXPECT_EQ(Read(path + L".old2"), OldFormatFile());
    EXPECT_EQ(Query("PRAGMA application_id"), std::to_string(kOurApplicationId));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(L"earlier.db.old2"), std::wstring::npos);
}

TEST_F(DatabaseTest, TheSameFileAgainKeepsItAndAnotherReplacesItOnlyWhenItOpens)
{
    const std::wstring a = Path(L"a.db"), b = Path(L"b.db"), bad = Path(L"bad.db");
    ASSERT_TRUE(dbOpen(a.c_str()));
    sqlite3* first = dbConnection();
    ASSERT_EQ(sqlite3_exec(first, "CREATE TABLE t(x); INSERT INTO t VALUES(7)", nullptr, nullptr, nullptr), 0);
    EXPECT_TRUE(dbOpen(a.c_str()));
    EXPECT_EQ(dbConnection(), first) << "the same connection";

    WriteFileBytes(bad, "no database");
    EXPECT_FALSE(dbOpen(bad.c_str()));
    EXPECT_EQ(dbConnection(), first);
    EXPECT_TRUE(HeldOpen(a));

    ASSERT_TRUE(dbOpen(b.c_str()));
    EXPECT_FALSE(HeldOpen(a)) << "the first one was closed";
    EXPECT_TRUE(HeldOpen(b));
    ASSERT_TRUE(dbOpen(a.c_str()));
    EXPECT_EQ(Query("SELECT x FROM t"), "7");
}

// ---- the schema helper -----------------------------------------------------

class MigrateTest : public DatabaseTest {
protected:
    void SetUp() override
    {
        static int n = 0;
        path_ = Path((L"migrate" + std::to_wstring(++n) + L".db").c_str());
        ASSERT_TRUE(dbOpen(path_.c_str()));
    }
    static std::string Recorded(const char* name)
    {
        return Query(std::string("SELECT version FROM dunra_schema WHERE name = '") + name + "'");
    }
    static std::string Tables()
    {
        return Query("SELECT group_concat(name, ' ') FROM (SELECT name FROM sqlite_schema WHERE type = 'table' "
                     "AND name <> 'dunra_schema' ORDER BY name)");
    }
    std::wstring path_;
};

// Each step fails when it runs a second time.
const TDbStep kSmsSteps[] = {
    {1, "CREATE TABLE sms_messages(id INTEGER PRIMARY KEY, text TEXT NOT NULL)"},
    {2, "ALTER TABLE sms_messages ADD COLUMN sender TEXT; CREATE INDEX sms_by_sender ON sms_messages(sender)"},
    {3, "CREATE TABLE sms_folders(id INTEGER PRIMARY KEY, name TEXT)"},
};

TEST_F(MigrateTest, AFreshFileRunsEveryStepAndRecordsTheLast)
{
    EXPECT_EQ(dbMigrate("sms", kSmsSteps, 3), 3);
    EXPECT_EQ(Recorded("sms"), "3");
    EXPECT_EQ(Tables(), "sms_folders sms_messages");
    EXPECT_EQ(dbMigrate("sms", kSmsSteps, 3), 3) << "nothing runs twice";
    EXPECT_EQ(dbMigrate("fresh", nullptr, 0), 0);
}

TEST_F(MigrateTest, AnOlderFileRunsOnlyTheNewerSteps)
{
    ASSERT_EQ(dbMigrate("sms", kSmsSteps, 1), 1);
    ASSERT_EQ(sqlite3_exec(dbConnection(), "INSERT INTO sms_messages(text) VALUES('hello')", nullptr, nullptr, nullptr),
              0);
    EXPECT_EQ(dbMigrate("sms", kSmsSteps, 3), 3);
    EXPECT_EQ(Query("SELECT text || ',' || ifnull(sender, '-') FROM sms_messages"), "hello,-");
}

TEST_F(MigrateTest, AFileOfANewerPluginIsLeftAlone)
{
    ASSERT_EQ(dbMigrate("sms", kSmsSteps, 3), 3);
    EXPECT_EQ(dbMigrate("sms", kSmsSteps, 2), -1);
    const TDbStep older[] = {{1, "CREATE TABLE sms_old(x)"}};
    EXPECT_EQ(dbMigrate("sms", older, 1), -1);
    EXPECT_EQ(Recorded("sms"), "3");
    EXPECT_EQ(Tables(), "sms_folders sms_messages");
}

TEST_F(MigrateTest, TwoPluginsKeepTheirOwnVersions)
{
    const TDbStep statistics[] = {{1, "CREATE TABLE statistics_sessions(start INTEGER)"}};
    ASSERT_EQ(dbMigrate("sms", kSmsSteps, 2), 2);
    EXPECT_EQ(dbMigrate("statistics", statistics, 1), 1);
    EXPECT_EQ(Recorded("sms"), "2");
    EXPECT_EQ(Recorded("statistics"), "1");
    EXPECT_EQ(dbMigrate("sms", kSmsSteps, 3), 3);
}

TEST_F(MigrateTest, AFailingStepUndoesTheWholeRun)
{
    ASSERT_EQ(dbMigrate("sms", kSmsSteps, 1), 1);
    const TDbStep broken[] = {
        kSmsSteps[0],
        {2, "CREATE TABLE sms_parts(x); INSERT INTO sms_parts VALUES(1)"},
        {3, "INSERT INTO no_such_table VALUES(1)"},
    };
    EXPECT_EQ(dbMigrate("sms", broken, 3), -1);
    EXPECT_EQ(Recorded("sms"), "1");
    EXPECT_EQ(Tables(), "sms_messages") << "step 2 was undone with step 3";
    EXPECT_NE(sqlite3_get_autocommit(dbConnection()), 0) << "no transaction left open";

    const TDbStep endsItsTransaction[] = {kSmsSteps[0], {2, "CREATE TABLE sms_x(x); COMMIT"}};
    EXPECT_EQ(dbMigrate("other", endsItsTransaction, 2), -1);
    EXPECT_NE(sqlite3_get_autocommit(dbConnection()), 0);
}

TEST_F(MigrateTest, RefusesBadArgumentsChangingNothing)
{
    const TDbStep unordered[] = {{2, "CREATE TABLE a(x)"}, {1, "CREATE TABLE b(x)"}};
    const TDbStep zero[] = {{0, "CREATE TABLE a(x)"}};
    const TDbStep noSql[] = {{1, nullptr}};
    const std::string longName(64, 'n');
    const struct {
        const char* name;
        const TDbStep* steps;
        int count;
    } cases[] = {
        {nullptr, kSmsSteps, 1}, {"", kSmsSteps, 1}, {longName.c_str(), kSmsSteps, 1}, {"sms", kSmsSteps, -1},
        {"sms", nullptr, 1},     {"sms", unordered, 2}, {"sms", zero, 1},          {"sms", noSql, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(dbMigrate(c.name, c.steps, c.count), -1) << "case " << (&c - cases);
    EXPECT_EQ(Query("SELECT count(*) FROM dunra_schema"), "0");
    EXPECT_EQ(Tables(), "<null>");
}

TEST_F(MigrateTest, InsideTheCallersTransactionItGoesWithIt)
{
    sqlite3* db = dbConnection();
    ASSERT_EQ(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(dbMigrate("sms", kSmsSteps, 3), 3);
    ASSERT_EQ(sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(Recorded("sms"), "<none>");
    EXPECT_EQ(dbMigrate("sms", kSmsSteps, 3), 3);
}

// ---- text goes in and comes out as it was ----------------------------------

TEST_F(DatabaseTest, TextOfAnySizeAndCharacterComesBackAsItWas)
{
    ASSERT_TRUE(dbOpen(Path(L"text.kv").c_str()));
    sqlite3* db = dbConnection();
    const TDbStep steps[] = {{1, "CREATE TABLE texts(sender TEXT, zone TEXT, body TEXT)"}};
    ASSERT_EQ(dbMigrate("texts", steps, 1), 1);

    const std::wstring meta = L"'); DROP TABLE texts; -- \" %_ \\ ; \u00e9\u4e2d\U0001F600 ' OR '1'='1";
    std::wstring body;
    while (body.size() < 100000)
        body += meta;
    body.resize(100000);
    std::wstring sender(1000, L'\u00e4');
    sender.replace(0, meta.size(), meta);
    const std::wstring rows[][3] = {{sender, meta, body}, {meta, L"+08", meta}, {L"", L"", L""}};

    sqlite3_stmt* insert = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "INSERT INTO texts VALUES(?1, ?2, ?3)", -1, &insert, nullptr), SQLITE_OK);
    for (const auto& row : rows) {
        for (int i = 0; i < 3; ++i)
            sqlite3_bind_text16(insert, i + 1, row[i].data(), static_cast<int>(row[i].size() * 2), SQLITE_TRANSIENT);
        EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);

    sqlite3_stmt* select = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT sender, zone, body FROM texts WHERE sender = ?1", -1, &select, nullptr),
              SQLITE_OK);
    for (const auto& row : rows) {
        sqlite3_bind_text16(select, 1, row[0].data(), static_cast<int>(row[0].size() * 2), SQLITE_TRANSIENT);
        ASSERT_EQ(sqlite3_step(select), SQLITE_ROW);
        for (int i = 0; i < 3; ++i) {
            const auto* text = static_cast<const wchar_t*>(sqlite3_column_text16(select, i));
            EXPECT_EQ(std::wstring(text, sqlite3_column_bytes16(select, i) / 2), row[i]) << "column " << i;
        }
        EXPECT_EQ(sqlite3_step(select), SQLITE_DONE);
        sqlite3_reset(select);
    }
    sqlite3_finalize(select);
    EXPECT_EQ(Query("SELECT count(*) FROM texts"), "3");
}

TEST(DatabaseBuild, SqliteIsBuiltAsTheHeaderSays)
{
    EXPECT_EQ(sqlite3_threadsafe(), 1) << "serialized";
    EXPECT_EQ(sqlite3_compileoption_used("DQS=0"), 1);
    EXPECT_EQ(sqlite3_compileoption_used("OMIT_LOAD_EXTENSION"), 1);
    EXPECT_EQ(sqlite3_compileoption_used("ENABLE_FTS5"), 1);
    EXPECT_EQ(sqlite3_compileoption_used("DEFAULT_FOREIGN_KEYS"), 1);
    EXPECT_STREQ(sqlite3_libversion(), SQLITE_VERSION) << "the header shipped is the library's";
}

}  // namespace
