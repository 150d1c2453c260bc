// MessageList.h - the rows of sms's list view, a virtual one (LVS_OWNERDATA):
// the view holds only the count, and asks for the rows it shows, which are
// read from the store then and kept for a while. So a folder of 100,000
// messages opens as fast as one of ten.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "MessageStore.h"

namespace sms {

// The columns of the list.
enum Column { kColumnSender, kColumnTime, kColumnText, kColumnCount };

// The seconds since 1970 UTC now.
long long NowUtc();
// A message's time in its row, in this computer's time zone: "14:30" for a
// message of the same day as nowUtc, else its day, "2024-05-01", so the
// column stays narrow (the reading pane has the whole time).
std::wstring LocalTimeText(long long utc, long long nowUtc);
// "2024-05-01 14:30" in this computer's time zone.
std::wstring LocalDateTimeText(long long utc);

class MessageList {
public:
    explicit MessageList(MessageStore& store) : store_(store) {}

    // Makes the list view's columns; texts are shown as given. The message
    // column takes the width the others leave, less a vertical scroll bar's,
    // so a full list needs no horizontal scrolling.
    static void AddColumns(HWND view, const std::wstring& sender, const std::wstring& time, const std::wstring& text);

    // Shows the folder's messages that hold search in view, newest first,
    // with the message of keepId still selected when it is among them.
    void Show(HWND view, Folder folder, const std::wstring& search, long long keepId = 0);

    // Answers the view's LVN_GETDISPINFOW.
    void OnGetDispInfo(NMLVDISPINFOW* info);
    // Whether the row is an unread message (drawn in bold).
    bool Unread(int row);

    int Count() const { return static_cast<int>(ids_.size()); }
    long long IdAt(int row) const { return row >= 0 && row < Count() ? ids_[static_cast<size_t>(row)] : 0; }
    // Forgets what was read of one message (it changed).
    void Forget(long long id) { rows_.erase(id); }

private:
    struct Row {
        std::wstring sender;
        std::wstring time;
        std::wstring text;  // its first line's start
        bool unread = false;
    };
    const Row& RowAt(int row);

    MessageStore& store_;
    std::vector<long long> ids_;
    std::unordered_map<long long, Row> rows_;  // rows read lately, by id
    Row none_;
};

}  // namespace sms
