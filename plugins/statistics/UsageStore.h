// UsageStore.h - the data usage statistics keeps in the product database:
// one row per connection session (its day, start, end and the bytes
// received and sent), the sums the panel shows, and the monthly limit's
// notices. No window is needed: the panel and the tests use it alike.
#pragma once

#include <vector>

#include "../shared/PluginData.h"

namespace statistics {

// Amounts are counted as operators count them: a megabyte is 10^6 bytes.
constexpr long long kBytesPerMegabyte = 1000000;

// A moment of the clock: seconds since 1970 UTC, and the local day it falls
// on (kit::DayNumber).
struct Moment {
    long long utc = 0;
    int day = 0;
};
Moment Now();

// The first and last day of the month that day lies in.
void MonthOf(int day, int& first, int& last);

struct DayUsage {
    long long received = 0;
    long long sent = 0;
};

class UsageStore {
public:
    // On the product database (dbConnection), its table made or brought up
    // to date.
    UsageStore();
    bool Ready() const { return ready_; }

    // A session begun at; its id, or 0.
    long long Begin(const Moment& at);
    // The session's figures so far, and its end so far.
    bool Update(long long session, const Moment& at, long long received, long long sent);

    // Bytes both ways of the days first to last (inclusive).
    long long Sum(int first, int last);
    // Each day's usage, of count days from first.
    std::vector<DayUsage> Days(int first, int count);
    // Forgets every session.
    bool Clear();

private:
    bool ready_ = false;
    kit::Statement begin_;
    kit::Statement update_;
    kit::Statement sum_;
    kit::Statement days_;
    kit::Statement clear_;
};

// Turns the modem's link figures (TModemStatus: link up or not, its seconds
// and byte counters) into sessions. A link that stays up past midnight goes
// on as a new session of the new day, so each day's figures are its own.
// The counters are 32-bit: one that wraps around is followed, and one that
// starts again (a new link between two looks) begins a new session.
class UsageRecorder {
public:
    explicit UsageRecorder(UsageStore& store) : store_(store) {}

    void Update(bool up, unsigned long linkSeconds, unsigned long received, unsigned long sent, const Moment& now);
    bool Recording() const { return session_ != 0; }

private:
    void Begin(const Moment& now);

    UsageStore& store_;
    long long session_ = 0;
    int day_ = 0;
    unsigned long seconds_ = 0;
    unsigned long lastReceived_ = 0;
    unsigned long lastSent_ = 0;
    long long received_ = 0;  // of this session
    long long sent_ = 0;
};

// The monthly limit's notice to give now: 100 once the month's usage reached
// the limit, 90 once it reached 90% of it, each once a month and limit (a
// new limit may warn again), 0 for none (also without a limit). What was
// given is kept in settings, so a restart does not repeat it.
int LimitNotice(kit::Settings& settings, long long usedBytes, long long limitMegabytes, int monthFirstDay);

}  // namespace statistics
