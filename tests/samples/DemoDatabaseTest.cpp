// The demo product's database as the build makes it: a week of usage and
// some messages, in one file that a copy of the demo folder takes along.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "dunra.h"
#include "tests/support/TestProgram.h"

namespace kivra::samples {
namespace {

long long Number(sqlite3* db, const char* sql)
{
    sqlite3_stmt* statement = nullptr;
    long long value = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW)
        value = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    return value;
}

TEST(DemoDatabaseTest, TheBuildMakesAWeekOfUsageAndSomeMessagesInOneFile)
{
    const std::wstring path = testing::DemoDatabaseAsMade();
    EXPECT_EQ(GetFileAttributesW((path + L"-wal").c_str()), INVALID_FILE_ATTRIBUTES) << "nothing left in a log";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open16(path.c_str(), &db), SQLITE_OK);  // read only: the query_only pragma below
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA query_only=1", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_GE(Number(db, "SELECT count(*) FROM sms_messages WHERE outgoing = 0 AND unread = 1"), 1);
    EXPECT_GE(Number(db, "SELECT count(*) FROM sms_messages WHERE outgoing = 1"), 1);
    EXPECT_GE(Number(db, "SELECT count(DISTINCT day) FROM statistics_sessions"), 5);
    EXPECT_EQ(Number(db, "SELECT count(*) FROM statistics_sessions WHERE received <= 0 OR ended < started"), 0);
    EXPECT_EQ(Number(db, "SELECT count(*) FROM sms_search WHERE sms_search MATCH 'station'"), 1)
        << "the search index was filled with the messages";
    sqlite3_close(db);
}

}  // namespace
}  // namespace kivra::samples
