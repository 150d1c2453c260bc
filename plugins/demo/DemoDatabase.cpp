// Makes the demo product's database: a week of data usage and some text
// messages, kept through the sample plugins' own stores, so the demo starts
// with something to show. The build runs it (under Wine) once the plugins
// are built:
//
//   kivra-demo-database.exe <database file>
//
// An existing file is replaced. The days are counted back from the day it
// runs.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "dunra.h"
#include "plugins/shared/PluginData.h"
#include "plugins/sms/MessageStore.h"
#include "plugins/statistics/UsageStore.h"

namespace {

constexpr int kDaysOfUsage = 7;
constexpr long long kMB = statistics::kBytesPerMegabyte;

struct DemoMessage {
    const wchar_t* sender;
    int hoursAgo;
    const wchar_t* text;
    int status;
};
const DemoMessage kMessages[] = {
    {L"+44 7700 900123", 2, L"Running late, see you at the station at 7.", MODEM_MSG_UNREAD},
    {L"Kivra Net", 5, L"Your data bundle renews on the 1st. 2.1 GB left this month.", MODEM_MSG_UNREAD},
    {L"Anna", 20, L"Photos from Saturday are in the shared album.", MODEM_MSG_READ},
    {L"+44 7700 900456", 30, L"Your parcel is out for delivery today.", MODEM_MSG_READ},
    {L"Kivra Net", 52, L"Roaming is off. Reply ROAM to allow data abroad.", MODEM_MSG_READ},
    {L"Anna", 75,
     L"Are we still on for dinner on Friday? I booked the table by the window for eight, and Sam is coming "
     L"too. Bring the photos from the trip if you have them printed; Mum wants to see the one from the "
     L"harbour.",
     MODEM_MSG_READ},
    {L"+44 7700 900789", 98, L"Your code is 482913. It expires in 10 minutes.", MODEM_MSG_READ},
    {L"\u674e\u660e", 120, L"\u660e\u5929\u89c1\uff01", MODEM_MSG_READ},
};
const DemoMessage kSent[] = {
    {L"Anna", 19, L"Great, thanks! Saving them now.", MODEM_MSG_SENT},
    {L"+44 7700 900123", 1, L"No problem, I'll wait by the clock.", MODEM_MSG_SENT},
};

// A fixed sequence of pseudo-random numbers, so every build makes the same days.
unsigned g_seed = 20240501;
int Random(int low, int high)
{
    g_seed = g_seed * 1103515245u + 12345u;
    return low + static_cast<int>((g_seed >> 16) % static_cast<unsigned>(high - low + 1));
}

bool MakeMessages(long long now)
{
    sms::MessageStore store;
    if (!store.Ready())
        return false;
    std::vector<sms::SimMessage> received;
    for (const DemoMessage& m : kMessages) {
        sms::SimMessage message;
        message.sender = m.sender;
        message.utc = now - m.hoursAgo * 3600LL;
        message.text = m.text;
        message.status = m.status;
        received.push_back(message);
    }
    if (store.Import(received) != static_cast<int>(received.size()))
        return false;
    for (const DemoMessage& m : kSent)
        if (store.AddSent(m.sender, m.text, now - m.hoursAgo * 3600LL, 0) == 0)
            return false;
    return true;
}

// One to three sessions a day, each a few hundred megabytes, the last one
// ended an hour ago.
bool MakeUsage(const statistics::Moment& now)
{
    statistics::UsageStore store;
    if (!store.Ready())
        return false;
    for (int back = kDaysOfUsage - 1; back >= 0; --back) {
        const int day = now.day - back;
        const long long midnight = now.utc - (now.utc % 86400) - back * 86400LL;
        const int sessions = Random(1, 3);
        for (int i = 0; i < sessions; ++i) {
            const long long start = midnight + (8 + i * 5) * 3600LL;
            if (back == 0 && start + 3600 > now.utc)
                break;
            const long long session = store.Begin({start, day});
            if (session == 0 || !store.Update(session, {start + Random(20, 150) * 60LL, day},
                                              Random(60, 420) * kMB, Random(5, 40) * kMB))
                return false;
        }
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: kivra-demo-database <database file>\n");
        return 64;
    }
    for (const wchar_t* suffix : {L"", L"-wal", L"-shm", L"-journal"})
        DeleteFileW((std::wstring(argv[1]) + suffix).c_str());
    if (!dbOpen(argv[1])) {
        std::fprintf(stderr, "kivra-demo-database: cannot make %ls\n", argv[1]);
        return 1;
    }
    const statistics::Moment now = statistics::Now();
    const bool made = MakeMessages(now.utc) && MakeUsage(now);
    // One file, with nothing left in a write-ahead log beside it: the demo
    // folder may be copied as it is.
    kit::Execute(dbConnection(), "PRAGMA journal_mode=DELETE");
    if (!made) {
        std::fprintf(stderr, "kivra-demo-database: cannot write %ls\n", argv[1]);
        return 1;
    }
    return 0;
}
