// The sms panel's list on a database of 100,000 messages, as the plugin
// builds it (MessageStore, MessageList, a virtual list view): opening it until
// its first rows are painted, scrolling to the end, and each keystroke of a
// search as the user types it. The baseline of each is the same list view fed
// from rows already in memory (and, for the search, a plain scan of those
// rows' texts), in the same runs.
#include "dunra.h"

#include "bench/BenchSupport.h"
#include "bench/MessageInserts.h"
#include "plugins/sms/MessageList.h"
#include "plugins/sms/MessageStore.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cwctype>
#include <memory>
#include <string>
#include <vector>

using namespace kivra::bench;

namespace {

constexpr int kMessages = 100000;
constexpr int kListId = 1;
constexpr RECT kListPlace = {0, 0, 418, 123};  // the demo skin's message list

const wchar_t* const kTexts[] = {
    L"Running late, see you at the station at %d.",
    L"Your data bundle renews on the 1st. %d MB left this month.",
    L"Photos from Saturday are in the shared album (%d new).",
    L"Your parcel %d is out for delivery today.",
    L"Roaming is off. Reply ROAM to allow data abroad. Ref %d",
    L"Are we still on for dinner? Table %d is booked for eight.",
    L"Your code is %d. It expires in 10 minutes.",
    L"\u660e\u5929\u89c1\uff01\u7b2c %d \u53f7\u7ad9\u53f0\u3002",
    L"Meeting moved to room %d, starting after lunch.",
    L"Status of your order %d: shipped.",
};

// One row as both lists show it.
struct Row {
    std::wstring sender, time, text;
};
std::vector<Row> g_memory;  // the baseline's rows
sms::MessageList* g_rows = nullptr;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY) {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->code == LVN_GETDISPINFOW) {
            auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
            if (header->idFrom == kListId && g_rows != nullptr) {
                g_rows->OnGetDispInfo(info);
            } else if ((info->item.mask & LVIF_TEXT) && info->item.iItem < static_cast<int>(g_memory.size())) {
                const Row& row = g_memory[static_cast<size_t>(info->item.iItem)];
                const std::wstring& text = info->item.iSubItem == 0 ? row.sender
                                           : info->item.iSubItem == 1 ? row.time
                                                                      : row.text;
                lstrcpynW(info->item.pszText, text.c_str(), info->item.cchTextMax);
            }
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The list at the skin's place; the baseline's beside it.
HWND MakeList(HWND parent, int id)
{
    const int left = kListPlace.left + (id == kListId ? 0 : kListPlace.right + 8);
    HWND view = CreateWindowExW(0, WC_LISTVIEWW, L"",
                                WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                                left, kListPlace.top, kListPlace.right, kListPlace.bottom, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    ListView_SetExtendedListViewStyle(view, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    sms::MessageList::AddColumns(view, L"From", L"Time", L"Message");
    return view;
}

// The messages, through the store as the plugin imports them.
bool Fill()
{
    sms::MessageStore store;
    std::vector<sms::SimMessage> batch;
    const long long start = 1704067200;  // 2024-01-01
    for (int i = 0; i < kMessages; ++i) {
        sms::SimMessage message;
        message.sender = i % 7 == 0 ? L"Kivra Net" : L"+44 7700 9" + std::to_wstring(10000 + i % 997);
        message.utc = start + i * 97LL;
        wchar_t text[160];
        swprintf(text, 160, kTexts[i % std::size(kTexts)], i);
        message.text = text;
        message.indexes = {i % 250};
        message.status = MODEM_MSG_READ;
        batch.push_back(message);
        if (batch.size() == 10000) {
            if (store.Import(batch) != static_cast<int>(batch.size()))
                return false;
            batch.clear();
        }
    }
    // The baseline's rows, newest first as the list shows them.
    for (long long id : store.List(sms::Folder::Inbox, L"")) {
        sms::StoredMessage message;
        store.Read(id, message);
        g_memory.push_back({message.sender, sms::LocalTimeText(message.utc, sms::NowUtc()), message.text});
    }
    return static_cast<int>(g_memory.size()) == kMessages;
}

double Ms(double startNs)
{
    return (NowNs() - startNs) / 1e6;
}

bool Contains(const std::wstring& text, const std::wstring& part)
{
    return std::search(text.begin(), text.end(), part.begin(), part.end(), [](wchar_t a, wchar_t b) {
               return std::towlower(a) == std::towlower(b);
           }) != text.end();
}

}  // namespace

int main()
{
    const int runs = RunsFromEnvironment(15);
    const std::wstring path = FreshDatabasePath(L"kivra-bench-sms.db");
    if (!dbOpen(path.c_str()) || !Fill()) {
        std::printf("bench: cannot make the database of %d messages\n", kMessages);
        return 1;
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KivraSmsBench";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"sms list", WS_POPUP | WS_VISIBLE, 0, 0, 860, 140, nullptr,
                                  nullptr, wc.hInstance, nullptr);

    // One opened list of each kind for scrolling and searching.
    auto store = std::make_unique<sms::MessageStore>();
    auto rows = std::make_unique<sms::MessageList>(*store);
    HWND list = MakeList(window, kListId);
    HWND bare = MakeList(window, kListId + 1);
    g_rows = rows.get();
    rows->Show(list, sms::Folder::Inbox, L"");
    ListView_SetItemCountEx(bare, kMessages, 0);

    auto scroll = [&](HWND view, int count) {
        ListView_EnsureVisible(view, 0, FALSE);
        UpdateWindow(view);
        const double start = NowNs();
        ListView_EnsureVisible(view, count - 1, FALSE);
        UpdateWindow(view);
        return Ms(start);
    };
    // The slowest keystroke of a word typed letter by letter.
    auto type = [&](const std::wstring& word, bool inMemory) {
        double slowest = 0;
        for (size_t length = 1; length <= word.size(); ++length) {
            const std::wstring typed = word.substr(0, length);
            const double start = NowNs();
            if (inMemory) {
                int found = 0;
                for (const Row& row : g_memory)
                    found += Contains(row.sender, typed) || Contains(row.text, typed);
                ListView_SetItemCountEx(bare, found, 0);
                UpdateWindow(bare);
            } else {
                rows->Show(list, sms::Folder::Inbox, typed);
                UpdateWindow(list);
            }
            slowest = std::max(slowest, Ms(start));
        }
        return slowest;
    };

    Cases cases;
    // Opening: the store and rows made as LoadPlugin makes them, the folder
    // listed and its first rows painted, in the panel's list view (made with
    // the panel, at start). The baseline paints the same rows from memory.
    cases.Add("open", [&] {
        ListView_SetItemCountEx(list, 0, 0);
        UpdateWindow(list);
        g_rows = nullptr;
        rows.reset();
        store.reset();
        const double start = NowNs();
        store = std::make_unique<sms::MessageStore>();
        rows = std::make_unique<sms::MessageList>(*store);
        g_rows = rows.get();
        rows->Show(list, sms::Folder::Inbox, L"");
        UpdateWindow(list);
        return Ms(start);
    });
    cases.Add("open-bare", [&] {
        ListView_SetItemCountEx(bare, 0, 0);
        UpdateWindow(bare);
        const double start = NowNs();
        ListView_SetItemCountEx(bare, static_cast<int>(g_memory.size()), 0);
        InvalidateRect(bare, nullptr, FALSE);
        UpdateWindow(bare);
        return Ms(start);
    });
    cases.Add("end", [&] {
        rows->Show(list, sms::Folder::Inbox, L"");
        return scroll(list, rows->Count());
    });
    cases.Add("end-bare", [&] {
        ListView_SetItemCountEx(bare, static_cast<int>(g_memory.size()), 0);
        return scroll(bare, static_cast<int>(g_memory.size()));
    });
    cases.Add("search", [&] { return type(L"station", false); });
    cases.Add("search-bare", [&] { return type(L"station", true); });
    cases.Add("search-short", [&] { return type(L"\u660e\u5929", false); });
    cases.Add("search-short-bare", [&] { return type(L"\u660e\u5929", true); });
    cases.Run(runs, [&] {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    });
    Report("sms panel, 100,000 messages: first rows", cases.Of("open"), "same list from memory",
           cases.Of("open-bare"), "ms", Target::AtMost, 50);
    Report("sms panel, 100,000 messages: to the end", cases.Of("end"), "same list from memory",
           cases.Of("end-bare"), "ms", Target::AtMost, 50);
    Report("sms search, slowest key of \"station\"", cases.Of("search"), "scan of the rows in memory",
           cases.Of("search-bare"), "ms", Target::AtMost, 100);
    Report("sms search, slowest key of a 2-char word", cases.Of("search-short"), "scan of the rows in memory",
           cases.Of("search-short-bare"), "ms", Target::AtMost, 100);
    g_rows = nullptr;
    rows.reset();
    store.reset();
    DestroyWindow(window);
    RemoveDatabase(path);
    return 0;
}
