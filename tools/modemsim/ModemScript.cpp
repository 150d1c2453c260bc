// ModemScript: the simulator's commands, read and checked once, run now or at
// their time.
#include "ModemScript.h"

#include "DeliverPdu.h"

#include "marvik/Gsm7.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>

namespace modemsim {

namespace {

constexpr unsigned kDefaultWanderSeconds = 7;
constexpr double kLatestSeconds = 30.0 * 24 * 3600;  // "at" beyond a month is a typing mistake
constexpr int kUssdUcs2 = 0x48;                      // TS 23.038 5: UCS2, language unspecified
constexpr int kUssdGsm7 = 15;
constexpr int kLongestRssi = 31, kRssiUnknown = 99;

std::wstring Wide(std::string_view utf8)
{
    if (utf8.empty())
        return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
    return wide;
}

bool ParseInt(const std::string& text, int low, int high, int& value)
{
    if (text.empty() || text.size() > 9)
        return false;
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || parsed < low || parsed > high)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

bool ParseSeconds(const std::string& text, double& seconds)
{
    if (text.empty() || text[0] == '-' || text[0] == '+')
        return false;
    char* end = nullptr;
    seconds = std::strtod(text.c_str(), &end);
    return *end == '\0' && seconds >= 0 && seconds <= kLatestSeconds;
}

bool ParseOnOff(const std::string& text, bool& on)
{
    if (text != "on" && text != "off")
        return false;
    on = text == "on";
    return true;
}

// A name from a list (its position), or a number below the list's size.
bool ParseChoice(const std::string& text, std::initializer_list<const char*> names, int& value)
{
    int position = 0;
    for (const char* name : names) {
        if (text == name) {
            value = position;
            return true;
        }
        ++position;
    }
    return ParseInt(text, 0, position - 1, value);
}

std::string Joined(const std::vector<std::string>& words, size_t from = 0)
{
    std::string text;
    for (size_t i = from; i < words.size(); ++i) {
        if (!text.empty())
            text += ' ';
        text += words[i];
    }
    return text;
}

// yyyy-mm-dd, hh:mm or hh:mm:ss, +hh:mm or -hh:mm (quarters of an hour).
bool ParseStamp(const std::vector<std::string>& words, marvik::SmsTime& time)
{
    if (words.size() < 3 || words.size() > 4)
        return false;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, zh = 0, zm = 0;
    char sign = '+';
    if (std::sscanf(words[1].c_str(), "%4d-%2d-%2d", &y, &mo, &d) != 3)
        return false;
    const int fields = std::sscanf(words[2].c_str(), "%2d:%2d:%2d", &h, &mi, &s);
    if (fields < 2)
        return false;
    if (words.size() == 4 && (std::sscanf(words[3].c_str(), "%c%2d:%2d", &sign, &zh, &zm) != 3 ||
                              (sign != '+' && sign != '-') || zm % 15 != 0 || zh > 14))
        return false;
    if (y < 2000 || y > 2099 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59 || h < 0 ||
        mi < 0 || s < 0)
        return false;
    time = marvik::SmsTime{y, mo, d, h, mi, s, (sign == '-' ? -1 : 1) * (zh * 4 + zm / 15)};
    return true;
}

}  // namespace

bool SplitWords(std::string_view line, std::vector<std::string>& words)
{
    words.clear();
    size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            std::string word;
            ++i;
            for (;;) {
                if (i >= line.size())
                    return false;
                const char q = line[i++];
                if (q == '"')
                    break;
                if (q == '\\' && i < line.size()) {
                    const char e = line[i++];
                    word += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
                } else {
                    word += q;
                }
            }
            words.push_back(std::move(word));
        } else {
            const size_t start = i;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '\n')
                ++i;
            words.emplace_back(line.substr(start, i - start));
        }
    }
    return true;
}

ModemScript::ModemScript(SimulatedModem& modem) : modem_(modem) {}

bool ModemScript::Load(std::string_view text, std::string& error)
{
    int number = 0;
    size_t at = 0;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")  // a byte order mark some editors write
        at = 3;
    while (at <= text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        ++number;
        std::vector<std::string> words;
        std::string why;
        if (!SplitWords(text.substr(at, end - at), words))
            why = "a quote is not closed";
        else if (!words.empty())
            Command(words, why);
        if (!why.empty()) {
            error = "line " + std::to_string(number) + ": " + why;
            return false;
        }
        at = end + 1;
    }
    return true;
}

bool ModemScript::Command(const std::vector<std::string>& words, std::string& error)
{
    if (words.empty()) {
        error = "no command";
        return false;
    }
    if (words[0] == "at") {
        double seconds = 0;
        if (words.size() < 3 || !ParseSeconds(words[1], seconds)) {
            error = "\"at\" wants seconds (0 or more) and a command";
            return false;
        }
        const std::vector<std::string> rest(words.begin() + 2, words.end());
        Action action;
        if (rest[0] == "at") {
            error = "\"at\" twice";
            return false;
        }
        if (!Parse(rest, action, error))
            return false;
        if (rest[0] == "reopen") {
            ++pendingReopens_;
            action = [this] {
                --pendingReopens_;
                reopenWanted_ = true;
            };
        }
        timed_.push_back(Timed{static_cast<unsigned long long>(seconds * 1000 + 0.5), nextOrder_++,
                               std::move(action), Joined(words)});
        return true;
    }
    Action action;
    if (!Parse(words, action, error))
        return false;
    action();
    return true;
}

bool ModemScript::Parse(const std::vector<std::string>& w, Action& action, std::string& error)
{
    const std::string& name = w[0];
    const size_t n = w.size();
    auto wants = [&](const char* usage) {
        error = "\"" + name + "\" wants " + usage;
        return false;
    };
    bool on = false;
    int value = 0;

    if (name == "manufacturer" || name == "model" || name == "revision" || name == "imei") {
        if (n != 2 || w[1].empty() || w[1].size() > 60)
            return wants("one text (quoted if it has blanks)");
        std::string& field = name == "manufacturer" ? manufacturer_ : name == "model" ? model_
                             : name == "revision"   ? revision_
                                                    : imei_;
        const std::string text = w[1];
        action = [this, &field, text] {
            field = text;
            ApplyIdentity();
        };
    } else if (name == "sim") {
        if (n != 2 || !ParseChoice(w[1], {"ready", "pin", "puk", "absent"}, value))
            return wants("ready, pin, puk or absent");
        const SimState state = static_cast<SimState>(value);
        action = [this, state] {
            sim_ = state;
            ApplySim();
        };
    } else if (name == "pin" || name == "puk") {
        bool digits = n == 2 && w[1].size() >= 4 && w[1].size() <= 8;
        for (const char c : n == 2 ? w[1] : std::string())
            digits = digits && c >= '0' && c <= '9';
        if (!digits)
            return wants("4 to 8 digits");
        std::string& field = name == "pin" ? pin_ : puk_;
        const std::string code = w[1];
        action = [this, &field, code] {
            field = code;
            ApplySim();
        };
    } else if (name == "tries") {
        int puk = pukTries_;
        if (n < 2 || n > 3 || !ParseInt(w[1], 0, 3, value) || (n == 3 && !ParseInt(w[2], 0, 10, puk)))
            return wants("the PIN's tries left (0-3) and optionally the PUK's (0-10)");
        const bool withPuk = n == 3;
        action = [this, value, withPuk, puk] {
            pinTries_ = value;
            if (withPuk)
                pukTries_ = puk;
            ApplySim();
        };
    } else if (name == "tries-report") {
        if (n != 2 || !ParseOnOff(w[1], on))
            return wants("on or off");
        action = [this, on] { modem_.SetReportsTries(on); };
    } else if (name == "registration") {
        if (n != 2 || !ParseChoice(w[1], {"none", "home", "searching", "denied", "unknown", "roaming"}, value))
            return wants("none, home, searching, denied, unknown or roaming");
        action = [this, value] {
            stat_ = value;
            ApplyNetwork();
        };
    } else if (name == "operator") {
        if (n != 2 || w[1].empty() || w[1].size() > 60 || w[1].find('"') != std::string::npos)
            return wants("the operator's name (quoted if it has blanks)");
        const std::string text = w[1];
        action = [this, text] {
            operator_ = text;
            ApplyNetwork();
        };
    } else if (name == "technology") {
        if (n != 2 || !ParseChoice(w[1], {"gsm", "compact", "umts", "edge", "hsdpa", "hsupa", "hspa", "lte"}, value))
            return wants("gsm, compact, umts, edge, hsdpa, hsupa, hspa, lte or the <AcT> 0-7");
        action = [this, value] {
            accessTech_ = value;
            ApplyNetwork();
        };
    } else if (name == "signal") {
        if (n == 2 && w[1] == "99")
            value = kRssiUnknown;
        else if (n != 2 || !ParseInt(w[1], 0, kLongestRssi, value))
            return wants("the +CSQ <rssi>: 0-31, or 99 (unknown)");
        action = [this, value] {
            rssi_ = value;
            modem_.SetSignal(rssi_, vendorReports_);
        };
    } else if (name == "vendor-reports") {
        if (n != 2 || !ParseOnOff(w[1], on))
            return wants("on or off");
        action = [this, on] { vendorReports_ = on; };
    } else if (name == "wander") {
        int low = 0, high = 0, seconds = kDefaultWanderSeconds;
        if (n == 2 && w[1] == "off") {
            action = [this] { wanderPeriodMs_ = 0; };
            return true;
        }
        if (n < 3 || n > 4 || !ParseInt(w[1], 0, kLongestRssi, low) || !ParseInt(w[2], low, kLongestRssi, high) ||
            (n == 4 && !ParseInt(w[3], 1, 3600, seconds)))
            return wants("the lowest and highest <rssi> (0-31) and optionally the seconds between steps, or off");
        action = [this, low, high, seconds] {
            wanderLow_ = low;
            wanderHigh_ = high;
            wanderPeriodMs_ = static_cast<unsigned>(seconds) * 1000;
            nextWanderMs_ = nowMs_ + wanderPeriodMs_;
            if (rssi_ < low || rssi_ > high) {
                rssi_ = std::clamp(rssi_, low, high);
                modem_.SetSignal(rssi_, vendorReports_);
            }
        };
    } else if (name == "echo" || name == "noise" || name == "ussd-before-ok") {
        if (n != 2 || !ParseOnOff(w[1], on))
            return wants("on or off");
        if (name == "echo")
            action = [this, on] { modem_.SetEcho(on); };
        else if (name == "noise")
            action = [this, on] { modem_.SetNoise(on); };
        else
            action = [this, on] { modem_.SetUssdBeforeOk(on); };
    } else if (name == "message" || name == "receive") {
        return ParseMessage(w, name == "receive", action, error);
    } else if (name == "stamp") {
        marvik::SmsTime fixed;
        int minutes = 0;
        if (n == 2 && w[1] == "now") {
            action = [this] {
                stampFixed_ = false;
                stampAgoMinutes_ = 0;
            };
        } else if (n == 3 && w[1] == "ago" && ParseInt(w[2], 0, 100 * 24 * 60, minutes)) {
            action = [this, minutes] {
                stampFixed_ = false;
                stampAgoMinutes_ = minutes;
            };
        } else if (ParseStamp(w, fixed)) {
            action = [this, fixed] {
                stampFixed_ = true;
                stamp_ = fixed;
            };
        } else {
            return wants("now, ago <minutes>, or <yyyy-mm-dd> <hh:mm[:ss]> [<+hh:mm>]");
        }
    } else if (name == "ussd") {
        int dcs = kUssdGsm7;
        if (n < 3 || n > 4 || w[1].empty() || w[1].find('"') != std::string::npos ||
            w[2].find('"') != std::string::npos)
            return wants("a code, its answer and optionally text, gsm7 or ucs2");
        const std::string how = n == 4 ? w[3] : "text";
        std::string answer;
        const std::wstring wide = Wide(w[2]);
        if (how == "text") {
            answer = w[2];
        } else if (how == "gsm7") {
            answer = marvik::EncodeUssdRequest(wide);
            if (answer.empty()) {
                error = "the answer is no GSM 7-bit text of at most 182 septets";
                return false;
            }
        } else if (how == "ucs2") {
            static const char kHex[] = "0123456789ABCDEF";
            for (const wchar_t unit : wide)
                for (const int shift : {12, 8, 4, 0})
                    answer += kHex[(unit >> shift) & 0xF];
            dcs = kUssdUcs2;
        } else {
            return wants("a code, its answer and optionally text, gsm7 or ucs2");
        }
        const std::string code = w[1];
        action = [this, code, answer, dcs] { modem_.SetUssdAnswer(code, UssdAnswer{answer, dcs, 0}); };
    } else if (name == "fault") {
        if (n != 2 || !ParseChoice(w[1], {"none", "silent", "garbage", "close"}, value))
            return wants("none, silent, garbage or close");
        const Fault fault = static_cast<Fault>(value);
        action = [this, fault] { modem_.SetFault(fault); };
    } else if (name == "delay") {
        if (n != 2 || !ParseInt(w[1], 0, 600000, value))
            return wants("milliseconds (0-600000)");
        action = [this, value] { modem_.SetReplyDelay(static_cast<unsigned>(value)); };
    } else if (name == "report") {
        if (n != 2 || w[1].empty() || w[1].find_first_of("\r\n") != std::string::npos)
            return wants("one line (quoted if it has blanks)");
        const std::string line = w[1];
        action = [this, line] { modem_.Report(line); };
    } else if (name == "reopen" || name == "end") {
        if (n != 1)
            return wants("nothing after it");
        if (name == "reopen")
            action = [this] { reopenWanted_ = true; };
        else
            action = [this] { endWanted_ = true; };
    } else {
        error = "unknown command \"" + name + "\"";
        return false;
    }
    return true;
}

bool ModemScript::ParseMessage(const std::vector<std::string>& w, bool incoming, Action& action, std::string& error)
{
    // message <status> pdu <hex> | message <status> text <sender> <text>
    // receive pdu <hex>          | receive text <sender> <text>
    size_t at = 1;
    int status = 0;
    if (!incoming && (w.size() < 2 || !ParseChoice(w[1], {"unread", "read", "unsent", "sent"}, status))) {
        error = "\"message\" wants its status first: unread, read, unsent or sent";
        return false;
    }
    if (!incoming)
        at = 2;
    const size_t rest = w.size() - std::min(w.size(), at);
    if (rest == 2 && w[at] == "pdu") {
        // Stored as written: a broken PDU is a case worth playing too.
        const std::string pdu = w[at + 1];
        if (pdu.find_first_of("\r\n\"") != std::string::npos) {
            error = "a PDU is one line of hex";
            return false;
        }
        action = [this, incoming, status, pdu] {
            if (incoming)
                modem_.DeliverMessage(pdu);
            else
                modem_.StoreMessage(status, pdu);
        };
        return true;
    }
    if (rest == 3 && w[at] == "text") {
        const std::wstring sender = Wide(w[at + 1]), text = Wide(w[at + 2]);
        // Checked now, so that a timed one cannot fail later.
        if (EncodeDeliver(sender, text, marvik::SmsTime{}, 0).empty()) {
            error = "the sender is no number (+ and up to 20 digits) or name (up to 11 GSM characters), "
                    "or the text needs more than 255 parts";
            return false;
        }
        action = [this, incoming, status, sender, text] {
            const unsigned reference = nextReference_;
            nextReference_ = nextReference_ % 255 + 1;
            for (const std::string& pdu : EncodeDeliver(sender, text, NextStamp(), reference)) {
                if (incoming)
                    modem_.DeliverMessage(pdu);
                else
                    modem_.StoreMessage(status, pdu);
            }
        };
        return true;
    }
    error = incoming ? "\"receive\" wants pdu <hex>, or text <sender> <text>"
                     : "\"message\" wants <status> pdu <hex>, or <status> text <sender> <text>";
    return false;
}

unsigned ModemScript::Advance(unsigned long long elapsedMs)
{
    nowMs_ = elapsedMs;
    for (;;) {
        auto due = timed_.end();
        for (auto it = timed_.begin(); it != timed_.end(); ++it)
            if (it->atMs <= elapsedMs &&
                (due == timed_.end() || it->atMs < due->atMs || (it->atMs == due->atMs && it->order < due->order)))
                due = it;
        if (due == timed_.end())
            break;
        const Timed step = std::move(*due);
        timed_.erase(due);
        log_.push_back(step.text);
        step.action();
    }
    if (wanderPeriodMs_ > 0 && elapsedMs >= nextWanderMs_) {
        Wander();
        nextWanderMs_ = std::max(nextWanderMs_ + wanderPeriodMs_, elapsedMs + 1);
    }
    unsigned long long next = ~0ull;
    for (const Timed& step : timed_)
        next = std::min(next, step.atMs);
    if (wanderPeriodMs_ > 0)
        next = std::min(next, nextWanderMs_);
    if (next == ~0ull)
        return kNothingDue;
    return static_cast<unsigned>(std::min<unsigned long long>(next - elapsedMs, kNothingDue - 1));
}

void ModemScript::Wander()
{
    wanderSeed_ = wanderSeed_ * 1103515245u + 12345u;
    const int step = static_cast<int>((wanderSeed_ >> 16) % 3) - 1;  // -1, 0 or +1
    const int rssi = std::clamp(rssi_ + step, wanderLow_, wanderHigh_);
    if (rssi != rssi_) {
        rssi_ = rssi;
        modem_.SetSignal(rssi_, vendorReports_);
    }
}

bool ModemScript::TakeReopenWanted()
{
    const bool wanted = reopenWanted_;
    reopenWanted_ = false;
    return wanted;
}

std::vector<std::string> ModemScript::TakeLog()
{
    std::vector<std::string> log;
    log.swap(log_);
    return log;
}

marvik::SmsTime ModemScript::NextStamp() const
{
    if (stampFixed_)
        return stamp_;
    // The clock's local time less the while asked for, with the zone's offset.
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    TIME_ZONE_INFORMATION zone{};
    const DWORD which = GetTimeZoneInformation(&zone);
    long bias = zone.Bias + (which == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : 0);
    constexpr long long kTicksPerMinute = 60LL * 10000000LL;
    ULARGE_INTEGER ticks;
    ticks.LowPart = now.dwLowDateTime;
    ticks.HighPart = now.dwHighDateTime;
    ticks.QuadPart -= static_cast<unsigned long long>((stampAgoMinutes_ + bias) * kTicksPerMinute);
    FILETIME local{ticks.LowPart, ticks.HighPart};
    SYSTEMTIME t{};
    FileTimeToSystemTime(&local, &t);
    return marvik::SmsTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, static_cast<int>(-bias / 15)};
}

void ModemScript::ApplyIdentity() { modem_.SetIdentity(manufacturer_, model_, revision_, imei_); }

void ModemScript::ApplyNetwork() { modem_.SetNetwork(stat_, operator_, accessTech_); }

void ModemScript::ApplySim() { modem_.SetSim(sim_, pin_, puk_, pinTries_, pukTries_); }

}  // namespace modemsim
