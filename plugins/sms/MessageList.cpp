#include "MessageList.h"

#include <algorithm>
#include <cwchar>

namespace sms {
namespace {

constexpr size_t kKeptRows = 512;     // a few screens' worth
constexpr size_t kSnippetUnits = 160;  // of a message's text in its row

constexpr long long kEpochSeconds = 11644473600LL;  // from 1601 (FILETIME) to 1970
constexpr long long kTicksPerSecond = 10000000LL;

}  // namespace

namespace {

bool LocalTime(long long utc, SYSTEMTIME& local)
{
    const unsigned long long ticks = static_cast<unsigned long long>(utc + kEpochSeconds) * kTicksPerSecond;
    const FILETIME stamp = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME universal;
    return FileTimeToSystemTime(&stamp, &universal) && SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local);
}

}  // namespace

long long NowUtc()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const long long ticks = (static_cast<long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return ticks / kTicksPerSecond - kEpochSeconds;
}

std::wstring LocalTimeText(long long utc, long long nowUtc)
{
    SYSTEMTIME local, now;
    if (!LocalTime(utc, local) || !LocalTime(nowUtc, now))
        return L"-";
    wchar_t text[32];
    if (local.wYear == now.wYear && local.wMonth == now.wMonth && local.wDay == now.wDay)
        swprintf(text, 32, L"%02u:%02u", local.wHour, local.wMinute);
    else
        swprintf(text, 32, L"%04u-%02u-%02u", local.wYear, local.wMonth, local.wDay);
    return text;
}

std::wstring LocalDateTimeText(long long utc)
{
    SYSTEMTIME local;
    if (!LocalTime(utc, local))
        return L"-";
    wchar_t text[32];
    swprintf(text, 32, L"%04u-%02u-%02u %02u:%02u", local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute);
    return text;
}

void MessageList::AddColumns(HWND view, const std::wstring& sender, const std::wstring& time, const std::wstring& text)
{
    const std::wstring* titles[kColumnCount] = {&sender, &time, &text};
    // Room for a long international number and for a day ("2024-05-01") in
    // the bold of an unread row; the message has the rest.
    constexpr int kSenderWidth = 118, kTimeWidth = 82, kLeastTextWidth = 80;
    RECT client{};
    GetClientRect(view, &client);
    const int rest = client.right - kSenderWidth - kTimeWidth - GetSystemMetrics(SM_CXVSCROLL);
    const int widths[kColumnCount] = {kSenderWidth, kTimeWidth, std::max(kLeastTextWidth, rest)};
    for (int column = 0; column < kColumnCount; ++column) {
        LVCOLUMNW info{};
        info.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        info.pszText = const_cast<wchar_t*>(titles[column]->c_str());
        info.cx = widths[column];
        info.iSubItem = column;
        ListView_InsertColumn(view, column, &info);
    }
}

void MessageList::Show(HWND view, Folder folder, const std::wstring& search, long long keepId)
{
    ids_ = store_.List(folder, search);
    rows_.clear();
    ListView_SetItemCountEx(view, Count(), 0);
    const auto kept = std::find(ids_.begin(), ids_.end(), keepId);
    // The old selection and focus go, item by item: asked of every item at
    // once (-1), a list view visits each of them. The view selects one row.
    if (const int selected = ListView_GetNextItem(view, -1, LVNI_SELECTED); selected >= 0)
        ListView_SetItemState(view, selected, 0, LVIS_SELECTED);
    if (const int focused = ListView_GetNextItem(view, -1, LVNI_FOCUSED); focused >= 0)
        ListView_SetItemState(view, focused, 0, LVIS_FOCUSED);
    if (keepId != 0 && kept != ids_.end()) {
        const int row = static_cast<int>(kept - ids_.begin());
        ListView_SetItemState(view, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(view, row, FALSE);
    }
    InvalidateRect(view, nullptr, FALSE);
}

const MessageList::Row& MessageList::RowAt(int row)
{
    const long long id = IdAt(row);
    if (id == 0)
        return none_;
    auto found = rows_.find(id);
    if (found != rows_.end())
        return found->second;
    if (rows_.size() >= kKeptRows)
        rows_.clear();
    StoredMessage message;
    Row& made = rows_[id];
    if (store_.Read(id, message)) {
        made.sender = message.sender;
        made.time = LocalTimeText(message.utc, NowUtc());
        made.text = message.text.substr(0, kSnippetUnits);
        std::replace_if(made.text.begin(), made.text.end(), [](wchar_t unit) { return unit == L'\r' || unit == L'\n'; },
                        L' ');
        made.unread = message.unread;
    }
    return made;
}

void MessageList::OnGetDispInfo(NMLVDISPINFOW* info)
{
    if (!(info->item.mask & LVIF_TEXT) || info->item.pszText == nullptr || info->item.cchTextMax <= 0)
        return;
    const Row& row = RowAt(info->item.iItem);
    const std::wstring& text = info->item.iSubItem == kColumnSender ? row.sender
                               : info->item.iSubItem == kColumnTime ? row.time
                                                                    : row.text;
    const size_t length = std::min(text.size(), static_cast<size_t>(info->item.cchTextMax - 1));
    std::wmemcpy(info->item.pszText, text.data(), length);
    info->item.pszText[length] = 0;
}

bool MessageList::Unread(int row)
{
    return RowAt(row).unread;
}

}  // namespace sms
