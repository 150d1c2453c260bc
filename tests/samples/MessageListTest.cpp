// sms: the rows of the virtual list view, read from the store as the view
// asks for them.
#include "tests/samples/SampleDatabase.h"

#include "plugins/sms/MessageList.h"

#include <commctrl.h>

#include <string>

namespace kivra::samples {
namespace {

using sms::Folder;

class MessageListTest : public SampleDatabase {
protected:
    void SetUp() override
    {
        SampleDatabase::SetUp();
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        parent_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 200, nullptr, nullptr, nullptr, nullptr);
        view_ = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL, 0, 0, 400,
                                200, parent_, nullptr, nullptr, nullptr);
        ASSERT_NE(view_, nullptr);
    }
    void TearDown() override { DestroyWindow(parent_); }

    // The text the view would show in a cell, into a buffer of capacity units.
    std::wstring Cell(sms::MessageList& rows, int row, int column, int capacity = 256)
    {
        std::wstring buffer(static_cast<size_t>(capacity), L'#');
        NMLVDISPINFOW info{};
        info.item.mask = LVIF_TEXT;
        info.item.iItem = row;
        info.item.iSubItem = column;
        info.item.pszText = buffer.data();
        info.item.cchTextMax = capacity;
        rows.OnGetDispInfo(&info);
        return buffer.c_str();
    }

    static sms::SimMessage Listed(const wchar_t* sender, long long utc, const std::wstring& text, int status)
    {
        sms::SimMessage message;
        message.sender = sender;
        message.utc = utc;
        message.text = text;
        message.indexes = {static_cast<int>(utc % 100)};
        message.status = status;
        return message;
    }

    HWND parent_ = nullptr;
    HWND view_ = nullptr;
};

TEST_F(MessageListTest, TheViewHoldsTheCountAndReadsEachRowItShows)
{
    sms::MessageStore store;
    ASSERT_EQ(store.Import({Listed(L"Anna", 1000, L"older", MODEM_MSG_READ),
                            Listed(L"Bo", 2000, L"first line\r\nsecond line " + std::wstring(400, L'x'),
                                   MODEM_MSG_UNREAD)}),
              2);
    sms::MessageList rows(store);
    rows.Show(view_, Folder::Inbox, L"");
    EXPECT_EQ(ListView_GetItemCount(view_), 2);
    EXPECT_EQ(Cell(rows, 0, sms::kColumnSender), L"Bo");
    EXPECT_EQ(Cell(rows, 1, sms::kColumnSender), L"Anna");
    const std::wstring snippet = Cell(rows, 0, sms::kColumnText, 1000);
    EXPECT_EQ(snippet.substr(0, 24), L"first line  second line ") << "one line in its row";
    EXPECT_LT(snippet.size(), 200u) << "the start of a long text only";
    EXPECT_EQ(Cell(rows, 0, sms::kColumnSender, 2), L"B") << "cut to the view's buffer";
    EXPECT_EQ(Cell(rows, 5, sms::kColumnSender), L"") << "a row past the end is empty";
    EXPECT_TRUE(rows.Unread(0));
    EXPECT_FALSE(rows.Unread(1));
    EXPECT_EQ(Cell(rows, 1, sms::kColumnTime), sms::LocalTimeText(1000, sms::NowUtc()));
}

TEST(MessageTimeText, TheSameDayShowsTheTimeAndAnOtherDayTheDay)
{
    // Noon of a day in this computer's zone, whatever the zone.
    SYSTEMTIME noon{};
    noon.wYear = 2024, noon.wMonth = 5, noon.wDay = 1, noon.wHour = 12;
    SYSTEMTIME universal{};
    ASSERT_TRUE(TzSpecificLocalTimeToSystemTime(nullptr, &noon, &universal));
    FILETIME stamp{};
    ASSERT_TRUE(SystemTimeToFileTime(&universal, &stamp));
    const long long utc = ((static_cast<long long>(stamp.dwHighDateTime) << 32) | stamp.dwLowDateTime) / 10000000LL -
                          11644473600LL;
    constexpr long long kHour = 3600;
    struct Case {
        long long shown, now;
        const wchar_t* text;
    } const cases[] = {
        {utc, utc, L"12:00"},
        {utc - 2 * kHour - 5 * 60, utc, L"09:55"},
        {utc, utc + 11 * kHour, L"12:00"},           // still the same day
        {utc, utc + 13 * kHour, L"2024-05-01"},      // the next day
        {utc - 24 * kHour, utc, L"2024-04-30"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sms::LocalTimeText(c.shown, c.now), c.text) << c.shown << " at " << c.now;
    EXPECT_EQ(sms::LocalDateTimeText(utc), L"2024-05-01 12:00");
}

TEST_F(MessageListTest, ASearchKeepsTheSelectedMessageWhenItIsAmongTheResults)
{
    sms::MessageStore store;
    ASSERT_EQ(store.Import({Listed(L"Anna", 1000, L"dinner at eight", MODEM_MSG_READ),
                            Listed(L"Bo", 2000, L"lunch at noon", MODEM_MSG_READ),
                            Listed(L"Cy", 3000, L"dinner on Friday", MODEM_MSG_READ)}),
              3);
    sms::MessageList rows(store);
    rows.Show(view_, Folder::Inbox, L"");
    const long long anna = rows.IdAt(2);
    rows.Show(view_, Folder::Inbox, L"dinner", anna);
    EXPECT_EQ(ListView_GetItemCount(view_), 2);
    EXPECT_EQ(ListView_GetNextItem(view_, -1, LVNI_SELECTED), 1);
    EXPECT_EQ(rows.IdAt(1), anna);
    rows.Show(view_, Folder::Inbox, L"lunch", anna);
    EXPECT_EQ(ListView_GetNextItem(view_, -1, LVNI_SELECTED), -1) << "not among them: nothing selected";
}

}  // namespace
}  // namespace kivra::samples
