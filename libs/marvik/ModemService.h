// ModemService: what marvik.dll's C functions do, on a port provider and a
// dial-up stand-in that the caller gives (the system's in marvik.dll, the
// simulated modem's in tests). Checks the callers' arguments and records,
// owns the session, starts and stops it, and keeps the data link (dial-up or
// the demo's simulated one).
#pragma once

#include "RasApi.h"
#include "Session.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace marvik {

// The phonebook entry the link is dialled with, and what it dials (the
// packet data call of TS 27.007 10.1.1 on context 1).
constexpr wchar_t kPhonebookEntry[] = L"Kivra Modem";
constexpr wchar_t kPacketDataNumber[] = L"*99#";

// Whether the demo product allows its simulated link: it carries the file
// tools\simulated-link in the library's folder (an installed product leaves
// tools\ out).
bool SimulatedLinkAllowedIn(const std::wstring& libraryFolder);

// The bytes a simulated link has carried after elapsedMs: a download that
// wanders between about 60 and 140 KB/s and an upload of about a tenth of it,
// so the demo's panels, usage and speed graph show a believable link.
void SimulatedTraffic(unsigned long long elapsedMs, DWORD& received, DWORD& sent);

class ModemService {
public:
    // ports and ras stay the caller's and must outlive the service.
    ModemService(PortProvider& ports, RasApi& ras, Session::Poster post, Session::Logger log,
                 SessionTimings timings, bool simulatedLinkAllowed);
    ModemService(const ModemService&) = delete;
    ModemService& operator=(const ModemService&) = delete;
    ~ModemService();

    // Each as its C function in sdk/marvik.h; result is what that returns.
    Outcome Start(const wchar_t* port);
    Outcome Stop();
    int GetStatus(TModemStatus* status) const;
    Outcome EnterPin(const wchar_t* pin);
    Outcome EnterPuk(const wchar_t* puk, const wchar_t* newPin);
    Outcome ListMessages(TModemMessage* out, int capacity, int* count) const;
    Outcome GetMessageText(int id, wchar_t* buffer, int capacity) const;
    Outcome DeleteMessage(int id);
    static int CountMessageParts(const wchar_t* text);
    Outcome SendMessage(const wchar_t* number, const wchar_t* text, int* partsSent);
    Outcome Ussd(const wchar_t* code, wchar_t* reply, int capacity, int timeoutMs);
    Outcome Connect(const wchar_t* apn, const wchar_t* user, const wchar_t* password);
    Outcome Disconnect();
    Outcome SetSimulatedLink(int on);

    // A link is up: the dial-up one or the simulated one.
    bool LinkUp() const;
    // A message from the bus; the shell's device arrival makes the session
    // look for the modem at once.
    void OnBusMessage(unsigned long message, unsigned wParam, long lParam);

private:
    void OnDialProgress(int link, DWORD error);
    void PublishLink();
    void PollLink();

    PortProvider& ports_;
    RasApi& ras_;
    Session::Poster post_;
    Session::Logger log_;
    SessionTimings timings_;
    bool simulatedLinkAllowed_;

    // The session lives as long as the service, so a caller on another
    // thread never holds a session that ModemStop is taking away; running_
    // says whether it was started. runMutex_ orders Start and Stop.
    Session session_;
    std::mutex runMutex_;
    std::atomic<bool> running_{false};

    mutable std::mutex mutex_;  // the link below
    int link_ = MODEM_LINK_DOWN;
    bool simulated_ = false;
    DWORD linkSeconds_ = 0, received_ = 0, sent_ = 0;
    ULONGLONG simulatedSince_ = 0;
    std::mutex hangUpMutex_;  // hangUp_
    std::thread hangUp_;
};

// Fills a message record (cbSize set) from a joined message.
void FillMessageRecord(const JoinedMessage& message, TModemMessage& record);
// The id callers know a message by: its lowest storage index.
int MessageId(const JoinedMessage& message);

}  // namespace marvik
