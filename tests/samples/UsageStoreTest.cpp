// statistics: connection sessions kept in the database, the sums of a day
// and a month, and the monthly limit's notices.
#include "tests/samples/SampleDatabase.h"

#include "plugins/statistics/UsageStore.h"

#include <vector>

namespace kivra::samples {
namespace {

using statistics::Moment;
using statistics::UsageRecorder;
using statistics::UsageStore;

constexpr long long kMB = statistics::kBytesPerMegabyte;

int Day(int year, int month, int day)
{
    return kit::DayNumber({year, month, day});
}
Moment At(int day, long long secondOfDay = 12 * 3600)
{
    return {static_cast<long long>(day) * 86400 + secondOfDay, day};
}

using UsageStoreTest = SampleDatabase;

TEST_F(UsageStoreTest, ADayAndAMonthSumTheirOwnSessionsOnly)
{
    const int last = Day(2024, 1, 31);
    const int first = Day(2024, 2, 1);
    const int leap = Day(2024, 2, 29);
    {
        UsageStore store;
        ASSERT_TRUE(store.Ready());
        struct Session {
            int day;
            long long received, sent;
        };
        for (const Session& s : {Session{last, 500, 50}, Session{first, 100, 10}, Session{first, 200, 20},
                                 Session{leap, 300, 30}, Session{leap + 1, 7000, 700}}) {
            const long long id = store.Begin(At(s.day));
            ASSERT_NE(id, 0);
            ASSERT_TRUE(store.Update(id, At(s.day, 13 * 3600), s.received, s.sent));
        }
    }
    Reopen();
    UsageStore store;
    int monthFirst = 0, monthLast = 0;
    statistics::MonthOf(leap, monthFirst, monthLast);
    EXPECT_EQ(monthFirst, first);
    EXPECT_EQ(monthLast, leap);
    EXPECT_EQ(store.Sum(first, first), 330);
    EXPECT_EQ(store.Sum(monthFirst, monthLast), 660);
    EXPECT_EQ(store.Sum(last + 100, last + 200), 0);

    const std::vector<statistics::DayUsage> days = store.Days(leap - 1, 3);
    ASSERT_EQ(days.size(), 3u);
    EXPECT_EQ(days[0].received + days[0].sent, 0);
    EXPECT_EQ(days[1].received, 300);
    EXPECT_EQ(days[1].sent, 30);
    EXPECT_EQ(days[2].received, 7000);

    ASSERT_TRUE(store.Clear());
    EXPECT_EQ(store.Sum(last, leap + 1), 0);
}

// What the recorder makes of the modem's link figures, look by look.
TEST_F(UsageStoreTest, TheRecorderKeepsEachLinkAndEachDayApart)
{
    const int today = Day(2024, 5, 10);
    struct Look {
        bool up;
        unsigned long seconds, received, sent;
        Moment at;
    };
    struct Case {
        const char* name;
        std::vector<Look> looks;
        long long expectToday;
        long long expectTomorrow;
    };
    const unsigned long nearWrap = 0xFFFFFF00ul;
    const Case cases[] = {
        {"one link", {{true, 5, 100, 10, At(today)}, {true, 10, 300, 30, At(today, 43210)}, {false, 0, 0, 0, At(today, 43220)}},
         330, 0},
        {"a counter that wraps past 2^32",
         {{true, 5, nearWrap, 0, At(today)}, {true, 10, 0x100, 0, At(today, 43210)}}, nearWrap + 0x200ll, 0},
        {"a new link between two looks",
         {{true, 50, 1000, 0, At(today)}, {true, 3, 40, 0, At(today, 43210)}}, 1040, 0},
        {"down, then up again",
         {{true, 5, 1000, 0, At(today)}, {false, 0, 0, 0, At(today, 43210)}, {true, 2, 60, 0, At(today, 43220)}},
         1060, 0},
        {"past midnight",
         {{true, 5, 1000, 0, At(today, 86390)}, {true, 15, 1500, 0, At(today + 1, 5)},
          {true, 25, 1800, 0, At(today + 1, 15)}},
         1500, 300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UsageStore store;
        ASSERT_TRUE(store.Clear());
        UsageRecorder recorder(store);
        for (const Look& look : c.looks)
            recorder.Update(look.up, look.seconds, look.received, look.sent, look.at);
        EXPECT_EQ(store.Sum(today, today), c.expectToday);
        EXPECT_EQ(store.Sum(today + 1, today + 1), c.expectTomorrow);
    }
}

TEST_F(UsageStoreTest, TheLimitWarnsAtNinetyAndAHundredPercentOnceAMonth)
{
    const int may = Day(2024, 5, 1);
    const int june = Day(2024, 6, 1);
    struct Step {
        long long used;
        long long limitMb;
        int month;
        int expected;
    };
    const Step steps[] = {
        {800 * kMB, 1000, may, 0},    {899 * kMB, 1000, may, 0},   {900 * kMB, 1000, may, 90},
        {950 * kMB, 1000, may, 0},    {1000 * kMB, 1000, may, 100}, {1200 * kMB, 1000, may, 0},
        {1900 * kMB, 2000, may, 90},  // a higher limit warns again
        {2100 * kMB, 2000, may, 100}, {2000 * kMB, 2000, june, 100},  // so does a new month
        {5000 * kMB, 0, june, 0},     // no limit, no notice
    };
    int at = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(at++);
        kit::Settings settings("statistics");
        EXPECT_EQ(statistics::LimitNotice(settings, step.used, step.limitMb, step.month), step.expected);
    }
    Reopen();  // what was given is remembered
    kit::Settings settings("statistics");
    EXPECT_EQ(statistics::LimitNotice(settings, 2500 * kMB, 2000, june), 0);
}

}  // namespace
}  // namespace kivra::samples
