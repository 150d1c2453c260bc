#include <gtest/gtest.h>

#include <string>

#include "config/LanguageTable.h"
#include "tests/support/XmlFixture.h"

namespace kivra {
namespace {

using testing::ComScope;
using testing::FixtureFolder;

class LanguageTableTest : public ::testing::Test {
protected:
    bool LoadTable(const std::wstring& entries)
    {
        std::wstring xml = L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<table>\n" + entries + L"</table>\n";
        return table_.Load(folder_.WriteText(L"language\\xx.xml", xml).c_str());
    }
    std::wstring Translated(const wchar_t* id, bool expectedFound)
    {
        wchar_t buffer[128];
        EXPECT_EQ(table_.Translate(id, buffer), expectedFound) << id;
        return buffer;
    }

    ComScope com_;
    FixtureFolder folder_{L"language-table"};
    CLanguageTable table_;
};

TEST_F(LanguageTableTest, IdsMatchIgnoringCase)
{
    ASSERT_TRUE(LoadTable(L"<string id=\"Ok\">Fine</string><string id=\"CANCEL\">Stop</string>"));
    EXPECT_EQ(Translated(L"OK", true), L"Fine");
    EXPECT_EQ(Translated(L"ok", true), L"Fine");
    EXPECT_EQ(Translated(L"cancel", true), L"Stop");
    EXPECT_EQ(table_.Count(), 2u);
}

TEST_F(LanguageTableTest, UnknownIdComesBackUnchangedAndEmptyIdGivesEmptyText)
{
    ASSERT_TRUE(LoadTable(L"<string id=\"Ok\">Fine</string>"));
    EXPECT_EQ(Translated(L"Okay", false), L"Okay");
    EXPECT_EQ(Translated(L"", true), L"");
    EXPECT_EQ(Translated(nullptr, true), L"");
}

TEST_F(LanguageTableTest, LaterEntryOfAnIdReplacesTheEarlierOne)
{
    ASSERT_TRUE(LoadTable(L"<string id=\"Title\">First</string><string id=\"TITLE\">Second</string>"));
    EXPECT_EQ(Translated(L"title", true), L"Second");
    EXPECT_EQ(table_.Count(), 1u);
}

TEST_F(LanguageTableTest, EntriesWithoutIdOrTextAreIgnored)
{
    ASSERT_TRUE(LoadTable(L"<string>no id</string><string id=\"\">empty id</string>"
                          L"<string id=\"blank\"></string><string id=\"kept\">yes</string><other id=\"x\">no</other>"));
    EXPECT_EQ(table_.Count(), 1u);
    EXPECT_EQ(Translated(L"blank", false), L"blank");
    EXPECT_EQ(Translated(L"x", false), L"x");
    EXPECT_EQ(Translated(L"kept", true), L"yes");
}

TEST_F(LanguageTableTest, ChineseTextsSurviveUtf8)
{
    ASSERT_TRUE(LoadTable(L"<string id=\"Connect\">\u8fde\u63a5</string>"
                          L"<string id=\"\u5173\u95ed\">Close</string>"));
    EXPECT_EQ(Translated(L"connect", true), L"\u8fde\u63a5");
    EXPECT_EQ(Translated(L"\u5173\u95ed", true), L"Close");
}

TEST_F(LanguageTableTest, NonAsciiIdsMatchIgnoringCase)
{
    ASSERT_TRUE(LoadTable(L"<string id=\"\u00c4rger\">Trouble</string>"));
    EXPECT_EQ(Translated(L"\u00e4RGER", true), L"Trouble");
}

TEST_F(LanguageTableTest, TranslatesInPlace)
{
    ASSERT_TRUE(LoadTable(L"<string id=\"Ok\">A much longer display text</string>"));
    wchar_t text[64] = L"OK";
    EXPECT_TRUE(table_.Translate(text, text));
    EXPECT_STREQ(text, L"A much longer display text");
    wchar_t unknown[64] = L"Unknown";
    EXPECT_FALSE(table_.Translate(unknown, unknown));
    EXPECT_STREQ(unknown, L"Unknown");
}

TEST_F(LanguageTableTest, ResultIsCutToTheCallersBuffer)
{
    ASSERT_TRUE(LoadTable(L"<string id=\"Long\">0123456789</string>"));
    wchar_t buffer[6] = {1, 1, 1, 1, 1, 1};
    EXPECT_TRUE(table_.Translate(L"long", buffer));
    EXPECT_STREQ(buffer, L"01234");
    wchar_t small[4];
    EXPECT_FALSE(table_.Translate(L"Unknown", small));
    EXPECT_STREQ(small, L"Unk");
    EXPECT_FALSE(table_.Translate(L"long", nullptr, 0));
}

TEST_F(LanguageTableTest, FileWithoutEntriesLoads)
{
    EXPECT_TRUE(LoadTable(L""));
    EXPECT_EQ(table_.Count(), 0u);
}

TEST_F(LanguageTableTest, MissingOrBrokenFileFailsAndLeavesTableEmpty)
{
    ASSERT_TRUE(LoadTable(L"<string id=\"Ok\">Fine</string>"));
    EXPECT_FALSE(table_.Load((folder_ / L"language\\absent.xml").c_str()));
    EXPECT_EQ(table_.Count(), 0u);
    EXPECT_EQ(Translated(L"Ok", false), L"Ok");
    EXPECT_FALSE(table_.Load(folder_.WriteText(L"broken.xml", L"<table><string id=\"a\">x</table>").c_str()));
    EXPECT_EQ(table_.Count(), 0u);
}

TEST(LanguageCode, ChineseSystemsGetTheirCodesAndOthersEnglish)
{
    EXPECT_STREQ(LanguageCodeFor(0x0804), L"zh_CN");
    EXPECT_STREQ(LanguageCodeFor(0x0404), L"zh_HK");
    EXPECT_STREQ(LanguageCodeFor(0x0C04), L"zh_HK");
    EXPECT_STREQ(LanguageCodeFor(0x1004), L"zh_HK");
    EXPECT_STREQ(LanguageCodeFor(0x0409), L"am_EN");
    EXPECT_STREQ(LanguageCodeFor(0x1404), L"am_EN");
    EXPECT_STREQ(LanguageCodeFor(0x0004), L"am_EN");
}

}  // namespace
}  // namespace kivra
