// ModemScript: what kivra-modem-sim.exe's script (or its command line) says
// the modem is and does, applied to a SimulatedModem. The commands are
// checked when read; those with "at <seconds>" wait for their time, which
// the caller's clock hands to Advance. Needs no port, so tests run it
// directly. The format is described at the top of Main.cpp and in
// docs/modem-simulator.md.
#pragma once

#include "tests/support/SimulatedModem.h"

#include "marvik/Pdu.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace modemsim {

// A script line's words: blanks separate them, "double quotes" keep blanks
// (with \" \\ \n \t inside), # starts a comment outside quotes. false for an
// unclosed quote.
bool SplitWords(std::string_view line, std::vector<std::string>& words);

class ModemScript {
public:
    explicit ModemScript(SimulatedModem& modem);

    // A whole script (UTF-8, one command a line). Stops at the first bad
    // line: false with "line 4: ...".
    bool Load(std::string_view text, std::string& error);
    // One command as words ("signal", "18"); timed ones start with "at".
    bool Command(const std::vector<std::string>& words, std::string& error);

    // Runs what is due by elapsedMs since the start, in time order; gives the
    // milliseconds until the next timed command (kNothingDue when none).
    static constexpr unsigned kNothingDue = 0xFFFFFFFFu;
    unsigned Advance(unsigned long long elapsedMs);

    // The port side's wishes, each taken once.
    bool TakeReopenWanted();
    bool EndWanted() const { return endWanted_; }
    // A timed "reopen" is still to come (after "fault close" the line may come back).
    bool ReopenPending() const { return pendingReopens_ > 0; }
    // What the script did, for the console ("at 20 s: receive text ...").
    std::vector<std::string> TakeLog();

    // The time stamp the next text message gets (the clock's, or "stamp"'s).
    marvik::SmsTime NextStamp() const;

private:
    using Action = std::function<void()>;
    struct Timed {
        unsigned long long atMs;
        int order;  // the order written, for commands at the same time
        Action action;
        std::string text;
    };

    bool Parse(const std::vector<std::string>& words, Action& action, std::string& error);
    bool ParseMessage(const std::vector<std::string>& words, bool incoming, Action& action, std::string& error);
    void ApplyIdentity();
    void ApplyNetwork();
    void ApplySim();
    void Wander();

    SimulatedModem& modem_;
    // What the modem is now; SimulatedModem's setters take them together.
    // The defaults are SimulatedModem's own.
    std::string manufacturer_ = "Kivra", model_ = "SimModem 3G", revision_ = "1.0.0", imei_ = "490154203237518";
    SimState sim_ = SimState::Ready;
    std::string pin_ = "1234", puk_ = "12345678";
    int pinTries_ = 3, pukTries_ = 10;
    int stat_ = 1;
    std::string operator_ = "Kivra Mobile";
    int accessTech_ = 2;
    int rssi_ = 20;
    bool vendorReports_ = false;
    // The next text message's time stamp: fixed, or the clock's minus a while.
    bool stampFixed_ = false;
    marvik::SmsTime stamp_;
    long long stampAgoMinutes_ = 0;
    unsigned nextReference_ = 1;
    // The signal's wander: within [low, high], one step every periodMs.
    int wanderLow_ = 0, wanderHigh_ = 0;
    unsigned wanderPeriodMs_ = 0;
    unsigned long long nextWanderMs_ = 0;
    unsigned wanderSeed_ = 20240315;

    std::vector<Timed> timed_;  // not yet run, in no order
    int nextOrder_ = 0;
    unsigned long long nowMs_ = 0;
    bool reopenWanted_ = false;
    int pendingReopens_ = 0;
    bool endWanted_ = false;
    std::vector<std::string> log_;
};

}  // namespace modemsim
