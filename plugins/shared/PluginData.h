// PluginData.h - the kit's part for the product database (dunra.h): a
// prepared statement that finalizes itself, a transaction that rolls back
// unless committed, and a plugin's settings kept as rows of one table that
// every plugin shares. Copy it along with PluginKit.h.
#pragma once

#include <windows.h>

#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "dunra.h"

namespace kit {

// A prepared statement on the product database, finalized with the object.
// Bind values by position (1 for the first ?), then Step through the rows or
// Run it to the end; either leaves it ready to be bound and run again. A
// statement that failed to prepare (a fault in its SQL, or no database)
// binds nothing and yields no row.
class Statement {
public:
    Statement() = default;
    Statement(sqlite3* db, const char* sql)
    {
        if (db != nullptr && sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr) != SQLITE_OK)
            stmt_ = nullptr;
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(Statement&& other) noexcept { *this = std::move(other); }
    Statement& operator=(Statement&& other) noexcept
    {
        std::swap(stmt_, other.stmt_);
        std::swap(running_, other.running_);
        std::swap(result_, other.result_);
        return *this;
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Prepared() const { return stmt_ != nullptr; }

    Statement& Bind(int at, long long value)
    {
        Rewind();
        sqlite3_bind_int64(stmt_, at, value);
        return *this;
    }
    Statement& Bind(int at, int value) { return Bind(at, static_cast<long long>(value)); }
    Statement& Bind(int at, const std::wstring& text)
    {
        Rewind();
        sqlite3_bind_text16(stmt_, at, text.data(), static_cast<int>(text.size() * sizeof(wchar_t)),
                            SQLITE_TRANSIENT);
        return *this;
    }
    Statement& Bind(int at, const char* text)  // UTF-8
    {
        Rewind();
        sqlite3_bind_text(stmt_, at, text, -1, SQLITE_TRANSIENT);
        return *this;
    }

    // The next row: true while one is ready to read.
    bool Step()
    {
        if (stmt_ == nullptr)
            return false;
        running_ = true;
        result_ = sqlite3_step(stmt_);
        if (result_ == SQLITE_ROW)
            return true;
        Rewind();
        return false;
    }
    // Runs to the end; true when it succeeded.
    bool Run()
    {
        while (Step()) {
        }
        return result_ == SQLITE_DONE;
    }

    long long Int(int column) const { return sqlite3_column_int64(stmt_, column); }
    std::wstring Text(int column) const
    {
        const auto* text = static_cast<const wchar_t*>(sqlite3_column_text16(stmt_, column));
        return text != nullptr ? std::wstring(text, sqlite3_column_bytes16(stmt_, column) / sizeof(wchar_t))
                               : std::wstring();
    }

private:
    // A statement stopped before its last row is reset before it is bound
    // again (SQLite refuses bindings to a running statement).
    void Rewind()
    {
        if (running_)
            sqlite3_reset(stmt_);
        running_ = false;
    }

    sqlite3_stmt* stmt_ = nullptr;
    bool running_ = false;
    int result_ = SQLITE_OK;
};

// Runs statements that take no values (schema, pragmas); true when all ran.
inline bool Execute(sqlite3* db, const char* sql)
{
    return db != nullptr && sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// One transaction: begun by the constructor (as a writer at once, so it
// never fails half-way for another process's writer), rolled back by the
// destructor unless Commit succeeded. Not nested.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : db_(db), open_(Execute(db, "BEGIN IMMEDIATE")) {}
    ~Transaction()
    {
        if (open_)
            Execute(db_, "ROLLBACK");
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool Begun() const { return open_; }
    bool Commit()
    {
        if (!open_ || !Execute(db_, "COMMIT"))
            return false;  // the destructor rolls back what did not commit
        open_ = false;
        return true;
    }

private:
    sqlite3* db_;
    bool open_;
};

// Dates kept as numbers: the days since 1970-01-01 of a date of the
// Gregorian calendar, and back.
struct Date {
    int year, month, day;
};
inline int DayNumber(const Date& date)
{
    const int y = date.year - (date.month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (date.month + (date.month > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
    return era * 146097 + yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear - 719468;
}
inline Date DateOf(int dayNumber)
{
    const int z = dayNumber + 719468;
    const int era = (z >= 0 ? z : z - 146096) / 146097;
    const int dayOfEra = z - era * 146097;
    const int yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int m = (5 * dayOfYear + 2) / 153;
    const int month = m < 10 ? m + 3 : m - 9;
    return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, dayOfYear - (153 * m + 2) / 5 + 1};
}

// A plugin's settings: rows (plugin, key, value) of the table "settings",
// which every plugin shares, each under its own name. Values are texts;
// Flag and Number read and write them as "0"/"1" and decimal.
class Settings {
public:
    explicit Settings(const char* plugin) : Settings(dbConnection(), plugin) {}

    // False without a database: nothing is read or kept.
    bool Ready() const { return ready_ && read_.Prepared() && write_.Prepared(); }

    std::wstring Text(const char* key, const std::wstring& fallback = {})
    {
        read_.Bind(1, plugin_).Bind(2, key);
        return read_.Step() ? read_.Text(0) : fallback;
    }
    bool Flag(const char* key, bool fallback)
    {
        const std::wstring value = Text(key, fallback ? L"1" : L"0");
        return value != L"0";
    }
    long long Number(const char* key, long long fallback)
    {
        const std::wstring value = Text(key);
        wchar_t* end = nullptr;
        const long long number = std::wcstoll(value.c_str(), &end, 10);
        return !value.empty() && end != nullptr && *end == 0 ? number : fallback;
    }

    bool Set(const char* key, const std::wstring& value)
    {
        return write_.Bind(1, plugin_).Bind(2, key).Bind(3, value).Run();
    }
    bool SetFlag(const char* key, bool value) { return Set(key, value ? L"1" : L"0"); }
    bool SetNumber(const char* key, long long value) { return Set(key, std::to_wstring(value)); }

private:
    Settings(sqlite3* db, const char* plugin)
        : plugin_(plugin),
          ready_(db != nullptr && dbMigrate("settings", kSchema, 1) >= 1),
          read_(db, "SELECT value FROM settings WHERE plugin = ?1 AND key = ?2"),
          write_(db, "INSERT INTO settings(plugin, key, value) VALUES(?1, ?2, ?3) "
                     "ON CONFLICT(plugin, key) DO UPDATE SET value = excluded.value")
    {
    }

    static constexpr TDbStep kSchema[] = {
        {1, "CREATE TABLE settings(plugin TEXT NOT NULL, key TEXT NOT NULL, value TEXT NOT NULL, "
            "PRIMARY KEY(plugin, key)) WITHOUT ROWID"},
    };

    const char* plugin_;
    bool ready_;
    Statement read_;
    Statement write_;
};

// The values of a settings page (kit::CreateSettingsPage of PluginKit.h
// shows them): check boxes and text fields, each kept under its key in the
// plugin's settings.
struct Option {
    const char* key;  // its row in the plugin's settings
    const wchar_t* textId;
    bool* value;
};
struct Field {
    const char* key;
    const wchar_t* textId;  // the label above the field
    std::wstring* value;
    DWORD style = 0;        // ES_NUMBER, ES_PASSWORD
};
struct SettingsPage {
    const char* plugin;  // the name its values are kept under
    const wchar_t* titleId;
    std::vector<Option> options;
    std::vector<Field> fields = {};
    void (*applied)() = nullptr;
    bool loaded = false;  // the kept values were read (LoadSettingsOnce)
};

// Reads the kept values into the page's options and fields; a value never
// kept leaves the variable as it was (its default).
inline void LoadSettings(SettingsPage& page)
{
    Settings settings(page.plugin);
    for (Option& option : page.options)
        *option.value = settings.Flag(option.key, *option.value);
    for (Field& field : page.fields)
        *field.value = settings.Text(field.key, *field.value);
}

// Reads the kept values the first time only: the plugin reads them when it
// starts acting on them and the page when it is made, whichever comes first,
// and neither may undo what the user changed since.
inline void LoadSettingsOnce(SettingsPage& page)
{
    if (page.loaded)
        return;
    LoadSettings(page);
    page.loaded = true;
}

// Keeps the page's values, all or none.
inline bool SaveSettings(const SettingsPage& page)
{
    Settings settings(page.plugin);
    Transaction transaction(dbConnection());
    bool saved = settings.Ready() && transaction.Begun();
    for (const Option& option : page.options)
        saved = saved && settings.SetFlag(option.key, *option.value);
    for (const Field& field : page.fields)
        saved = saved && settings.Set(field.key, *field.value);
    return saved && transaction.Commit();
}

}  // namespace kit
