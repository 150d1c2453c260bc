// The kit's settings: what a settings page applies is kept in the database
// and read back at the next start.
#include "tests/samples/SampleDatabase.h"

#include "plugins/shared/PluginData.h"

#include <string>

namespace kivra::samples {
namespace {

using SettingsTest = SampleDatabase;

TEST_F(SettingsTest, AppliedValuesSurviveARestartAndOthersKeepTheirDefaults)
{
    // Texts of every kind come back as they were: SQL's own characters,
    // a long value, characters beyond the basic plane.
    const std::wstring apn = L"web'; DROP TABLE settings; --\"%_\\";
    const std::wstring password = std::wstring(5000, L'p') + L"\U0001F600";
    bool notify = false;
    std::wstring apnValue = apn;
    std::wstring passwordValue = password;
    bool untouched = true;
    kit::SettingsPage page = {"connect", L"connect", {{"notify", nullptr, &notify}},
                              {{"apn", nullptr, &apnValue}, {"password", nullptr, &passwordValue}}};
    ASSERT_TRUE(kit::SaveSettings(page));
    Reopen();

    // The next start: the variables hold their defaults until the page reads
    // what was kept.
    notify = true;
    apnValue = passwordValue = L"";
    page.options.push_back({"untouched", nullptr, &untouched});
    kit::LoadSettings(page);
    EXPECT_FALSE(notify);
    EXPECT_EQ(apnValue, apn);
    EXPECT_EQ(passwordValue, password);
    EXPECT_TRUE(untouched) << "a value never kept keeps its default";
}

TEST_F(SettingsTest, EachPluginKeepsItsOwnValueOfAKey)
{
    kit::Settings sms("sms");
    kit::Settings connect("connect");
    ASSERT_TRUE(sms.SetFlag("notify", false));
    ASSERT_TRUE(connect.SetFlag("notify", true));
    ASSERT_TRUE(sms.SetFlag("notify", true));  // written again: one row, the new value
    ASSERT_TRUE(connect.SetFlag("notify", false));
    EXPECT_TRUE(sms.Flag("notify", false));
    EXPECT_FALSE(connect.Flag("notify", true));
}

TEST_F(SettingsTest, ANumberThatIsNotOneReadsAsTheFallback)
{
    kit::Settings settings("statistics");
    struct Row {
        const wchar_t* kept;
        long long expected;
    };
    for (const Row& row : {Row{L"2048", 2048}, Row{L"-5", -5}, Row{L"", 7}, Row{L"12 MB", 7}, Row{L"x", 7}}) {
        ASSERT_TRUE(settings.Set("limit", row.kept));
        EXPECT_EQ(settings.Number("limit", 7), row.expected) << row.kept;
    }
}

TEST_F(SettingsTest, AnUncommittedTransactionLeavesNothingBehind)
{
    kit::Settings settings("sms");
    {
        kit::Transaction transaction(dbConnection());
        ASSERT_TRUE(transaction.Begun());
        ASSERT_TRUE(settings.Set("notify", L"0"));
    }  // not committed
    EXPECT_TRUE(settings.Flag("notify", true));
}

}  // namespace
}  // namespace kivra::samples
