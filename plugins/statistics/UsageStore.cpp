#include "UsageStore.h"

#include <algorithm>
#include <iterator>

namespace statistics {
namespace {

constexpr TDbStep kSchema[] = {
    {1, "CREATE TABLE statistics_sessions("
        "  id INTEGER PRIMARY KEY,"
        "  day INTEGER NOT NULL,"       // local day (days since 1970-01-01)
        "  started INTEGER NOT NULL,"   // seconds since 1970 UTC
        "  ended INTEGER NOT NULL,"
        "  received INTEGER NOT NULL,"  // bytes
        "  sent INTEGER NOT NULL);"
        "CREATE INDEX statistics_sessions_by_day ON statistics_sessions(day)"},
};

// Seconds between 1601 (FILETIME) and 1970.
constexpr long long kEpochSeconds = 11644473600LL;
constexpr long long kTicksPerSecond = 10000000LL;

}  // namespace

Moment Now()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const long long ticks = (static_cast<long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    SYSTEMTIME local;
    GetLocalTime(&local);
    return {ticks / kTicksPerSecond - kEpochSeconds, kit::DayNumber({local.wYear, local.wMonth, local.wDay})};
}

void MonthOf(int day, int& first, int& last)
{
    const kit::Date date = kit::DateOf(day);
    first = kit::DayNumber({date.year, date.month, 1});
    last = date.month == 12 ? kit::DayNumber({date.year + 1, 1, 1}) - 1
                            : kit::DayNumber({date.year, date.month + 1, 1}) - 1;
}

UsageStore::UsageStore()
{
    sqlite3* db = dbConnection();
    if (db == nullptr || dbMigrate("statistics", kSchema, static_cast<int>(std::size(kSchema))) < 1)
        return;
    begin_ = kit::Statement(db, "INSERT INTO statistics_sessions(day, started, ended, received, sent) "
                                "VALUES(?1, ?2, ?2, 0, 0)");
    update_ = kit::Statement(db, "UPDATE statistics_sessions SET ended = ?2, received = ?3, sent = ?4 WHERE id = ?1");
    sum_ = kit::Statement(db, "SELECT total(received + sent) FROM statistics_sessions WHERE day BETWEEN ?1 AND ?2");
    days_ = kit::Statement(db, "SELECT day, sum(received), sum(sent) FROM statistics_sessions "
                               "WHERE day BETWEEN ?1 AND ?2 GROUP BY day");
    clear_ = kit::Statement(db, "DELETE FROM statistics_sessions");
    ready_ = begin_.Prepared() && update_.Prepared() && sum_.Prepared() && days_.Prepared() && clear_.Prepared();
}

long long UsageStore::Begin(const Moment& at)
{
    if (!ready_ || !begin_.Bind(1, at.day).Bind(2, at.utc).Run())
        return 0;
    return sqlite3_last_insert_rowid(dbConnection());
}

bool UsageStore::Update(long long session, const Moment& at, long long received, long long sent)
{
    return ready_ && update_.Bind(1, session).Bind(2, at.utc).Bind(3, received).Bind(4, sent).Run();
}

long long UsageStore::Sum(int first, int last)
{
    if (!ready_)
        return 0;
    sum_.Bind(1, first).Bind(2, last);
    return sum_.Step() ? sum_.Int(0) : 0;
}

std::vector<DayUsage> UsageStore::Days(int first, int count)
{
    std::vector<DayUsage> days(static_cast<size_t>(std::max(count, 0)));
    if (!ready_ || count <= 0)
        return days;
    days_.Bind(1, first).Bind(2, first + count - 1);
    while (days_.Step()) {
        DayUsage& day = days[static_cast<size_t>(days_.Int(0) - first)];
        day.received = days_.Int(1);
        day.sent = days_.Int(2);
    }
    return days;
}

bool UsageStore::Clear()
{
    return ready_ && clear_.Run();
}

void UsageRecorder::Begin(const Moment& now)
{
    session_ = store_.Begin(now);
    day_ = now.day;
    received_ = sent_ = 0;
}

void UsageRecorder::Update(bool up, unsigned long linkSeconds, unsigned long received, unsigned long sent,
                           const Moment& now)
{
    if (up && session_ != 0 && linkSeconds < seconds_) {
        store_.Update(session_, now, received_, sent_);  // a new link came up since the last look
        session_ = 0;
    }
    if (up && session_ == 0) {
        // A link's counters start at 0 when it comes up: what it shows now
        // was moved on it.
        Begin(now);
        lastReceived_ = lastSent_ = 0;
    }
    if (session_ == 0)
        return;
    if (up || (received >= lastReceived_ && sent >= lastSent_)) {
        // Unsigned differences follow a counter that wrapped past 2^32.
        received_ += static_cast<unsigned long>(received - lastReceived_);
        sent_ += static_cast<unsigned long>(sent - lastSent_);
        lastReceived_ = received;
        lastSent_ = sent;
    }
    seconds_ = linkSeconds;
    store_.Update(session_, now, received_, sent_);
    if (!up)
        session_ = 0;
    else if (now.day != day_)
        Begin(now);  // the new day's share starts from here
}

int LimitNotice(kit::Settings& settings, long long usedBytes, long long limitMegabytes, int monthFirstDay)
{
    if (limitMegabytes <= 0)
        return 0;
    const long long limit = limitMegabytes * kBytesPerMegabyte;
    const int due = usedBytes >= limit ? 100 : usedBytes * 10 >= limit * 9 ? 90 : 0;
    const bool sameTerms = settings.Number("notice-month", -1) == monthFirstDay &&
                           settings.Number("notice-limit", -1) == limitMegabytes;
    const long long given = sameTerms ? settings.Number("notice-level", 0) : 0;
    if (due <= given)
        return 0;
    settings.SetNumber("notice-month", monthFirstDay);
    settings.SetNumber("notice-limit", limitMegabytes);
    settings.SetNumber("notice-level", due);
    return due;
}

}  // namespace statistics
