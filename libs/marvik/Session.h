// Session: the process's one conversation with the modem. One thread sends
// commands one at a time (the initialisation, the status refresh every few
// seconds, and what callers ask for); the port's reader thread (AtChannel)
// sets the modem's reports aside for it. The state is published in a fixed
// record that any thread copies without a lock (SharedStatus), so reading it
// never waits for the modem or for the session. Changes go out through the
// poster (the message bus in marvik.dll).
#pragma once

#include "AtChannel.h"
#include "MessageJoin.h"
#include "Port.h"
#include "SharedStatus.h"
#include "marvik.h"

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace marvik {

struct SessionTimings {
    unsigned commandMs = 5000;     // an ordinary command's time limit
    unsigned probeMs = 1000;       // AT's answer when finding the modem among the ports
    unsigned refreshMs = 5000;     // status refresh while present
    unsigned lookAgainMs = 5000;   // looking for the modem again while absent
    unsigned promptMs = 5000;      // AT+CMGS's "> "
    unsigned sendMs = 60000;       // the network's answer to a sent part
    unsigned readSliceMs = 100;    // how long one read waits (how soon a stop is seen)
};

// Three commands in a row without an answer: the modem is absent.
constexpr int kTimeoutsForAbsent = 3;

// A caller's result: MODEM_OK or MODEM_E_*, with the modem's words for a
// failure ("+CME ERROR: 16 (incorrect password)").
struct Outcome {
    int result = MODEM_OK;
    std::wstring error;
};

// Shared (reading) or exclusive (writing) hold of an SRWLOCK for a scope.
class SrwHold {
public:
    SrwHold(SRWLOCK& lock, bool exclusive) : lock_(lock), exclusive_(exclusive)
    {
        exclusive_ ? AcquireSRWLockExclusive(&lock_) : AcquireSRWLockShared(&lock_);
    }
    SrwHold(const SrwHold&) = delete;
    SrwHold& operator=(const SrwHold&) = delete;
    ~SrwHold() { exclusive_ ? ReleaseSRWLockExclusive(&lock_) : ReleaseSRWLockShared(&lock_); }

private:
    SRWLOCK& lock_;
    bool exclusive_;
};

class Session {
public:
    using Poster = std::function<void(unsigned long message, unsigned wParam, long lParam)>;
    using Logger = std::function<void(const std::wstring& line)>;

    // ports stays the caller's and must outlive the session.
    Session(PortProvider& ports, Poster post, Logger log, SessionTimings timings = {});
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    ~Session();

    // Starts the session thread on port ("COM5"), or on the first listed
    // port that answers AT when port is empty.
    void Start(const std::wstring& port);
    void Stop();
    bool Running() const { return thread_.joinable(); }
    const std::wstring& RequestedPort() const { return requestedPort_; }
    // Look for the modem at once (a device arrived).
    void LookAgain();

    // The published state, whole (cbSize set); never waits for the modem.
    void ReadStatus(TModemStatus& out) const;
    // The message cache, oldest first; never waits for the modem.
    std::vector<JoinedMessage> Messages() const;
    // The message whose id (its lowest storage index) is id.
    bool FindMessage(int id, JoinedMessage& out) const;

    Outcome EnterPin(const std::wstring& pin);
    Outcome EnterPuk(const std::wstring& puk, const std::wstring& newPin);
    Outcome DeleteMessage(int id);
    Outcome SendMessage(const std::wstring& number, const std::wstring& text, int& partsSent);
    Outcome Ussd(const std::wstring& code, unsigned timeoutMs, std::wstring& reply);
    // AT+CGDCONT=1,"IP","<apn>", before the dial-up link is made.
    Outcome SetApn(const std::wstring& apn);

    // Called on the session thread at every refresh (the dial-up link's
    // statistics are read there). Set before Start.
    void SetRefreshHook(std::function<void()> hook) { refreshHook_ = std::move(hook); }
    // The dial-up link's state, as the dialler knows it; posts what changed.
    void SetLink(int link, bool simulated, DWORD seconds, DWORD bytesReceived, DWORD bytesSent);

private:
    struct Request {
        std::function<Outcome()> work;
        std::promise<Outcome> done;
    };
    // What the session knows of the modem; published as TModemStatus.
    struct State {
        bool present = false;
        std::wstring port, manufacturer, model, revision, imei;
        int sim = MODEM_SIM_UNKNOWN;
        int pinTries = MODEM_TRIES_UNKNOWN, pukTries = MODEM_TRIES_UNKNOWN;
        int circuitStat = MODEM_REG_UNKNOWN, packetStat = MODEM_REG_UNKNOWN;
        int accessTech = MODEM_ACT_UNKNOWN;
        std::wstring operatorName;
        int signalDbm = MODEM_SIGNAL_UNKNOWN;
    };
    struct Link {
        int state = MODEM_LINK_DOWN;
        bool simulated = false;
        DWORD seconds = 0, received = 0, sent = 0;
    };

    void Run();
    Outcome Submit(std::function<Outcome()> work);
    bool Connect();
    bool Probe(std::unique_ptr<Port> port);
    void Initialise();
    void PrepareMessages();
    void Refresh();
    void RefreshSim();
    void HandleReports();
    void ReadAllMessages();
    void ReadOneMessage(int index);
    void DropChannel(const wchar_t* why);
    AtReply Command(const std::string& command, unsigned timeoutMs = 0);
    Outcome Failure(const AtReply& reply, const std::string& command);
    Outcome SendPart(const std::string& hex, int tpduLength);
    void RejoinMessages();
    void Publish();
    void Log(const std::wstring& line) const;
    static int RegistrationOf(const State& state);
    void Wake();

    std::function<void()> refreshHook_;
    PortProvider& ports_;
    Poster post_;
    Logger log_;
    SessionTimings timings_;
    std::wstring requestedPort_;

    std::mutex mutex_;  // requests_, stopping_, lookAgain_
    std::condition_variable wake_;
    std::deque<std::unique_ptr<Request>> requests_;
    bool stopping_ = true;  // until Start: a request then is refused, never left waiting
    bool lookAgain_ = false;
    std::thread thread_;

    std::mutex channelMutex_;  // channel_ as a pointer, for Stop's Interrupt
    std::unique_ptr<AtChannel> channel_;  // the session thread's
    int timeoutsInARow_ = 0;
    bool smsReady_ = false;  // AT+CMGF=0 and AT+CNMI accepted, messages read
    bool refreshNow_ = false;
    uint8_t nextReference_ = 1;

    // The session thread's view, and what it published.
    State state_;
    Link link_;
    // link_ and published_, written by the session thread and by SetLink's
    // callers; one write to shared_ at a time.
    std::mutex publishMutex_;
    TModemStatus published_{};  // the last record written to shared_
    SharedStatus shared_;       // what ReadStatus copies, without a lock
    mutable SRWLOCK messagesLock_ = SRWLOCK_INIT;
    std::map<int, StoredPart> parts_;        // by storage index; session thread only
    std::vector<JoinedMessage> messages_;    // behind messagesLock_
};

}  // namespace marvik
