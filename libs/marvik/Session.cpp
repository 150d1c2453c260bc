// Session: the modem's set-up, its refresh, its reports and the callers'
// commands, on the session thread.
#include "Session.h"

#include "AtParse.h"
#include "Pdu.h"
#include "Records.h"

#include <algorithm>
#include <chrono>

namespace marvik {

namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned kUssdDefaultMs = 30000;
constexpr unsigned kUssdMinMs = 1000;
constexpr unsigned kUssdMaxMs = 120000;

// The set-up, in order (TS 27.007, 27.005): no echo, numeric errors, PDU
// mode, a +CMTI report per new message, registration reports with cell and
// technology, operator names in long alphanumeric form.
constexpr const char* kSetUpCommands[] = {
    "ATE0", "AT+CMEE=1", "AT+CREG=2", "AT+CGREG=2", "AT+COPS=3,0",
};
constexpr const char* kMessageSetUpCommands[] = {"AT+CMGF=0", "AT+CNMI=2,1,0,0,0"};

std::wstring Widen(std::string_view text) { return WidenModemText(text); }

std::string Narrow(std::wstring_view text)
{
    std::string narrow;
    for (const wchar_t c : text)
        narrow += c < 0x80 ? static_cast<char>(c) : '?';
    return narrow;
}

bool IsRegistered(int stat) { return stat == MODEM_REG_HOME || stat == MODEM_REG_ROAMING; }

// The first answer line, or empty.
std::string FirstAnswer(const AtReply& reply)
{
    return reply.answers.empty() ? std::string() : reply.answers.front().text;
}

// The answer line starting with prefix, or empty.
std::string AnswerWith(const AtReply& reply, std::string_view prefix)
{
    for (const AtLine& line : reply.answers)
        if (line.text.compare(0, prefix.size(), prefix) == 0)
            return line.text;
    return {};
}

}  // namespace

Session::Session(PortProvider& ports, Poster post, Logger log, SessionTimings timings)
    : ports_(ports), post_(std::move(post)), log_(std::move(log)), timings_(timings)
{
    FillAbsentStatus(published_);
    shared_.Write(published_);
}

Session::~Session() { Stop(); }

void Session::Start(const std::wstring& port)
{
    if (thread_.joinable())
        return;
    requestedPort_ = port;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = false;
    }
    thread_ = std::thread([this] { Run(); });
}

void Session::Stop()
{
    if (!thread_.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    {
        std::lock_guard<std::mutex> lock(channelMutex_);
        if (channel_)
            channel_->Interrupt();
    }
    wake_.notify_all();
    thread_.join();
}

void Session::LookAgain()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lookAgain_ = true;
    }
    wake_.notify_all();
}

void Session::Wake()
{
    { std::lock_guard<std::mutex> lock(mutex_); }  // a waiter between its test and its wait sees this
    wake_.notify_all();
}

void Session::Log(const std::wstring& line) const
{
    if (log_)
        log_(line);
}

// ---- the session thread ------------------------------------------------

void Session::Run()
{
    auto nextRefresh = Clock::now();
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_)
                break;
        }
        if (!channel_) {
            if (Connect()) {
                nextRefresh = Clock::now() + std::chrono::milliseconds(timings_.refreshMs);
                continue;
            }
            // Absent: callers get "no modem" until it is back.
            std::unique_lock<std::mutex> lock(mutex_);
            while (!requests_.empty()) {
                requests_.front()->done.set_value(Outcome{MODEM_E_NO_MODEM, L"no modem"});
                requests_.pop_front();
            }
            wake_.wait_for(lock, std::chrono::milliseconds(timings_.lookAgainMs), [this] {
                return stopping_ || lookAgain_ || !requests_.empty();
            });
            lookAgain_ = false;
            continue;
        }
        HandleReports();
        if (!channel_)
            continue;
        std::unique_ptr<Request> request;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!requests_.empty()) {
                request = std::move(requests_.front());
                requests_.pop_front();
            }
        }
        if (request) {
            Outcome outcome;
            try {
                outcome = request->work();
            } catch (...) {
                outcome = Outcome{MODEM_E_REFUSED, L"out of memory"};  // nothing leaves the thread
            }
            request->done.set_value(std::move(outcome));
            continue;
        }
        if (refreshNow_ || Clock::now() >= nextRefresh) {
            refreshNow_ = false;
            Refresh();
            nextRefresh = Clock::now() + std::chrono::milliseconds(timings_.refreshMs);
            continue;
        }
        AtChannel* channel = channel_.get();
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait_until(lock, nextRefresh, [this, channel] {
            return stopping_ || !requests_.empty() || channel->HasReports();
        });
    }
    if (channel_)
        DropChannel(nullptr);
    std::lock_guard<std::mutex> lock(mutex_);
    while (!requests_.empty()) {
        requests_.front()->done.set_value(Outcome{MODEM_E_NO_MODEM, L"the modem session was stopped"});
        requests_.pop_front();
    }
}

Outcome Session::Submit(std::function<Outcome()> work)
{
    TModemStatus status;
    ReadStatus(status);
    if (!status.present)
        return Outcome{MODEM_E_NO_MODEM, L"no modem"};
    auto request = std::make_unique<Request>();
    request->work = std::move(work);
    std::future<Outcome> done = request->done.get_future();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_)
            return Outcome{MODEM_E_NO_MODEM, L"the modem session was stopped"};
        requests_.push_back(std::move(request));
    }
    wake_.notify_all();
    return done.get();
}

bool Session::Connect()
{
    if (!requestedPort_.empty()) {
        std::unique_ptr<Port> port = ports_.Open(requestedPort_);
        if (!port)
            return false;
        {
            std::lock_guard<std::mutex> lock(channelMutex_);
            channel_ = std::make_unique<AtChannel>(std::move(port), [this] { Wake(); }, timings_.readSliceMs);
        }
        state_.port = requestedPort_;
        Initialise();
        return channel_ != nullptr;
    }
    for (const std::wstring& name : ports_.List()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_)
                return false;
        }
        std::unique_ptr<Port> port = ports_.Open(name);
        if (port && Probe(std::move(port))) {
            state_.port = name;
            Initialise();
            if (channel_)
                return true;
        }
    }
    return false;
}

bool Session::Probe(std::unique_ptr<Port> port)
{
    {
        std::lock_guard<std::mutex> lock(channelMutex_);
        channel_ = std::make_unique<AtChannel>(std::move(port), [this] { Wake(); }, timings_.readSliceMs);
    }
    if (channel_->Exchange("AT", timings_.probeMs).Ok())
        return true;
    std::lock_guard<std::mutex> lock(channelMutex_);
    channel_.reset();
    return false;
}

void Session::Initialise()
{
    timeoutsInARow_ = 0;
    smsReady_ = false;
    for (const char* command : kSetUpCommands) {
        const AtReply reply = Command(command);
        if (!channel_)
            return;
        if (reply.outcome == AtReply::Outcome::Final)
            state_.present = true;  // it answers: OK or not, a modem is there
    }
    for (const char* command : kMessageSetUpCommands)
        if (Command(command).outcome == AtReply::Outcome::Final)
            state_.present = true;
    if (!channel_)
        return;
    state_.manufacturer = Widen(IdentityValue(FirstAnswer(Command("AT+CGMI")), "+CGMI:"));
    state_.model = Widen(IdentityValue(FirstAnswer(Command("AT+CGMM")), "+CGMM:"));
    state_.revision = Widen(IdentityValue(FirstAnswer(Command("AT+CGMR")), "+CGMR:"));
    state_.imei = Widen(IdentityValue(FirstAnswer(Command("AT+CGSN")), "+CGSN:"));
    if (!channel_)
        return;
    if (state_.present)
        Log(L"modem on " + state_.port + L": " + state_.manufacturer + L" " + state_.model);
    Refresh();
}

AtReply Session::Command(const std::string& command, unsigned timeoutMs)
{
    AtReply reply;
    if (!channel_) {
        reply.outcome = AtReply::Outcome::PortFailed;
        return reply;
    }
    reply = channel_->Exchange(command, timeoutMs ? timeoutMs : timings_.commandMs);
    switch (reply.outcome) {
    case AtReply::Outcome::PortFailed:
        DropChannel(L"the port failed");
        break;
    case AtReply::Outcome::Timeout:
        Log(L"no answer to " + Widen(command));
        if (++timeoutsInARow_ >= kTimeoutsForAbsent)
            DropChannel(L"no answer to three commands in a row");
        break;
    case AtReply::Outcome::Interrupted:
        break;
    default:
        timeoutsInARow_ = 0;
        break;
    }
    return reply;
}

Outcome Session::Failure(const AtReply& reply, const std::string& command)
{
    switch (reply.outcome) {
    case AtReply::Outcome::Final:
        if (reply.final.final == AtFinal::CmeError &&
            (reply.final.errorCode == 11 || reply.final.errorCode == 12))
            return Outcome{MODEM_E_SIM_LOCKED, Widen(DescribeFinal(reply.final))};
        if (reply.final.final == AtFinal::CmsError &&
            (reply.final.errorCode == 311 || reply.final.errorCode == 316))
            return Outcome{MODEM_E_SIM_LOCKED, Widen(DescribeFinal(reply.final))};
        return Outcome{MODEM_E_REFUSED, Widen(DescribeFinal(reply.final))};
    case AtReply::Outcome::Timeout:
        return Outcome{MODEM_E_TIMEOUT, L"timeout: " + Widen(command)};
    default:
        return Outcome{MODEM_E_NO_MODEM, L"no modem"};
    }
}

void Session::DropChannel(const wchar_t* why)
{
    if (why)
        Log(L"modem on " + state_.port + L" lost: " + why);
    {
        std::lock_guard<std::mutex> lock(channelMutex_);
        channel_.reset();  // stops the reader and closes the port
    }
    timeoutsInARow_ = 0;
    smsReady_ = false;
    state_ = State{};
    parts_.clear();
    RejoinMessages();
    Publish();
}

void Session::RefreshSim()
{
    const AtReply reply = Command("AT+CPIN?");
    if (!channel_)
        return;
    if (reply.Ok()) {
        state_.sim = ParseSimState(AnswerWith(reply, "+CPIN:"));
    } else if (reply.outcome == AtReply::Outcome::Final && reply.final.final == AtFinal::CmeError) {
        // 10 SIM not inserted; 13 SIM failure; 14 SIM busy (starting up)
        state_.sim = reply.final.errorCode == 10 || reply.final.errorCode == 13 ? MODEM_SIM_ABSENT
                                                                                 : MODEM_SIM_UNKNOWN;
    }
    state_.pinTries = MODEM_TRIES_UNKNOWN;
    state_.pukTries = MODEM_TRIES_UNKNOWN;
    if (state_.sim == MODEM_SIM_PIN || state_.sim == MODEM_SIM_PUK) {
        // Not every modem has +CPINR: without it the tries stay unknown.
        const AtReply pin = Command("AT+CPINR=\"SIM PIN\"");
        if (pin.Ok())
            state_.pinTries = ParseTriesLeft(AnswerWith(pin, "+CPINR:"));
        const AtReply puk = Command("AT+CPINR=\"SIM PUK\"");
        if (puk.Ok())
            state_.pukTries = ParseTriesLeft(AnswerWith(puk, "+CPINR:"));
    }
}

void Session::Refresh()
{
    RefreshSim();
    if (!channel_)
        return;
    Registration circuit, packet;
    const AtReply creg = Command("AT+CREG?");
    if (creg.Ok() && ParseRegistration(AnswerWith(creg, "+CREG:"), circuit)) {
        state_.circuitStat = circuit.stat;
        if (circuit.accessTech >= 0)
            state_.accessTech = circuit.accessTech;
    }
    const AtReply cgreg = Command("AT+CGREG?");
    if (cgreg.Ok() && ParseRegistration(AnswerWith(cgreg, "+CGREG:"), packet)) {
        state_.packetStat = packet.stat;
        if (!IsRegistered(state_.circuitStat) && packet.accessTech >= 0)
            state_.accessTech = packet.accessTech;
    }
    const AtReply cops = Command("AT+COPS?");
    std::string name;
    int tech = -1;
    if (cops.Ok() && ParseOperator(AnswerWith(cops, "+COPS:"), name, tech)) {
        state_.operatorName = Widen(name);
        if (tech >= 0)
            state_.accessTech = tech;
    }
    if (refreshHook_)
        refreshHook_();
    if (!IsRegistered(RegistrationOf(state_))) {
        state_.operatorName.clear();
        state_.accessTech = MODEM_ACT_UNKNOWN;
    }
    const AtReply csq = Command("AT+CSQ");
    if (csq.Ok())
        state_.signalDbm = ParseSignalDbm(AnswerWith(csq, "+CSQ:"));
    if (!channel_)
        return;
    if (state_.sim == MODEM_SIM_READY && !smsReady_)
        PrepareMessages();
    Publish();
}

void Session::PrepareMessages()
{
    bool ready = true;
    for (const char* command : kMessageSetUpCommands)
        ready = Command(command).Ok() && ready;
    if (!channel_ || !ready)
        return;  // the SIM may still be starting: tried again at the next refresh
    ReadAllMessages();
    smsReady_ = channel_ != nullptr;
}

int Session::RegistrationOf(const State& state)
{
    // A modem registered for packet data only (an LTE data card) is
    // registered all the same.
    if (!IsRegistered(state.circuitStat) && IsRegistered(state.packetStat))
        return state.packetStat;
    return state.circuitStat;
}

void Session::HandleReports()
{
    if (!channel_)
        return;
    if (channel_->Failed()) {
        DropChannel(L"the port failed");
        return;
    }
    bool changed = false;
    for (const AtLine& report : channel_->TakeReports()) {
        const std::string& text = report.text;
        if (text.compare(0, 6, "+CMTI:") == 0) {
            const int index = ParseNewMessageIndex(text);
            if (index >= 0)
                ReadOneMessage(index);
            if (!channel_)
                return;
        } else if (text.compare(0, 6, "+CREG:") == 0 || text.compare(0, 7, "+CGREG:") == 0) {
            Registration registration;
            if (ParseRegistration(text, registration)) {
                (text[2] == 'R' ? state_.circuitStat : state_.packetStat) = registration.stat;
                if (registration.accessTech >= 0)
                    state_.accessTech = registration.accessTech;
                changed = true;
            }
            refreshNow_ = true;  // the operator may have changed with it
        } else if (text == "RING" || text.compare(0, 6, "+CUSD:") == 0) {
            // no calls on a data card; a USSD answer nobody waits for any more
        } else {
            refreshNow_ = true;  // +CEREG, ^vendor reports: read the state again
        }
    }
    if (changed)
        Publish();
}

void Session::ReadAllMessages()
{
    const AtReply reply = Command("AT+CMGL=4");
    if (!reply.Ok())
        return;
    std::map<int, StoredPart> parts;
    for (size_t i = 0; i < reply.answers.size(); ++i) {
        StoredHeader header;
        if (!ParseListHeader(reply.answers[i].text, header))
            continue;
        if (i + 1 >= reply.answers.size() || reply.answers[i + 1].text.compare(0, 1, "+") == 0) {
            Log(L"message " + std::to_wstring(header.index) + L" skipped: no PDU after its header");
            continue;
        }
        const AtLine& pduLine = reply.answers[++i];
        StoredPart part;
        part.index = header.index;
        part.status = header.status;
        std::string why;
        if (pduLine.cut) {
            Log(L"message " + std::to_wstring(header.index) + L" skipped: its PDU is longer than a PDU can be");
            continue;
        }
        if (!DecodeDeliver(pduLine.text, part.pdu, why, header.length)) {
            Log(L"message " + std::to_wstring(header.index) + L" skipped: " + Widen(why));
            continue;
        }
        parts[header.index] = std::move(part);
    }
    parts_ = std::move(parts);
    RejoinMessages();
}

void Session::ReadOneMessage(int index)
{
    const std::string command = "AT+CMGR=" + std::to_string(index);
    const AtReply reply = Command(command);
    if (!reply.Ok()) {
        if (channel_)
            Log(L"message " + std::to_wstring(index) + L" reported but not readable");
        return;
    }
    StoredHeader header;
    for (size_t i = 0; i + 1 < reply.answers.size(); ++i) {
        if (!ParseReadHeader(reply.answers[i].text, header))
            continue;
        StoredPart part;
        part.index = index;
        part.status = header.status;
        std::string why;
        if (reply.answers[i + 1].cut || !DecodeDeliver(reply.answers[i + 1].text, part.pdu, why, header.length)) {
            Log(L"message " + std::to_wstring(index) + L" skipped: " + (why.empty() ? L"PDU too long" : Widen(why)));
            return;
        }
        parts_[index] = std::move(part);
        RejoinMessages();
        int id = index;
        {
            SrwHold hold(messagesLock_, false);
            for (const JoinedMessage& m : messages_)
                if (std::find(m.indexes.begin(), m.indexes.end(), index) != m.indexes.end())
                    id = *std::min_element(m.indexes.begin(), m.indexes.end());
        }
        Publish();
        if (post_)
            post_(MODEM_BUS_MESSAGE, static_cast<unsigned>(index), id);
        return;
    }
    Log(L"message " + std::to_wstring(index) + L" skipped: no PDU in the answer");
}

void Session::RejoinMessages()
{
    std::vector<StoredPart> parts;
    parts.reserve(parts_.size());
    for (const auto& entry : parts_)
        parts.push_back(entry.second);
    std::vector<JoinedMessage> joined = JoinParts(parts);
    bool changed;
    {
        SrwHold hold(messagesLock_, true);
        changed = joined.size() != messages_.size();
        for (size_t i = 0; !changed && i < joined.size(); ++i)
            changed = joined[i].indexes != messages_[i].indexes || joined[i].status != messages_[i].status;
        messages_ = std::move(joined);
    }
    if (changed && post_)
        post_(MODEM_BUS_STATUS, MODEM_CHANGED_MESSAGES, 0);
}

void Session::Publish()
{
    TModemStatus next;
    FillAbsentStatus(next);
    next.present = state_.present ? 1 : 0;
    if (state_.present) {
        CopyField(next.port, state_.port);
        CopyField(next.manufacturer, state_.manufacturer);
        CopyField(next.model, state_.model);
        CopyField(next.revision, state_.revision);
        CopyField(next.imei, state_.imei);
        next.sim = state_.sim;
        next.pinTriesLeft = state_.pinTries;
        next.pukTriesLeft = state_.pukTries;
        next.registration = RegistrationOf(state_);
        CopyField(next.operatorName, state_.operatorName);
        next.accessTech = state_.accessTech;
        CopyField(next.accessTechName, AccessTechName(state_.accessTech, IsRegistered(state_.packetStat)));
        next.signalDbm = state_.signalDbm == kUnknownDbm ? MODEM_SIGNAL_UNKNOWN : state_.signalDbm;
        next.signalBars = SignalBars(state_.signalDbm);
    }
    {
        SrwHold hold(messagesLock_, false);
        for (const JoinedMessage& message : messages_)
            if (message.status == MODEM_MSG_UNREAD)
                ++next.unreadMessages;
    }
    unsigned changes = 0;
    {
        std::lock_guard<std::mutex> lock(publishMutex_);
        next.link = link_.state;
        next.linkSimulated = link_.simulated ? 1 : 0;
        next.linkSeconds = link_.seconds;
        next.bytesReceived = link_.received;
        next.bytesSent = link_.sent;
        const TModemStatus& was = published_;
        if (was.present != next.present)
            changes |= MODEM_CHANGED_PRESENCE;
        if (was.sim != next.sim || was.pinTriesLeft != next.pinTriesLeft || was.pukTriesLeft != next.pukTriesLeft)
            changes |= MODEM_CHANGED_SIM;
        if (was.registration != next.registration)
            changes |= MODEM_CHANGED_REGISTRATION;
        if (wcscmp(was.operatorName, next.operatorName) != 0)
            changes |= MODEM_CHANGED_OPERATOR;
        if (was.accessTech != next.accessTech || wcscmp(was.accessTechName, next.accessTechName) != 0)
            changes |= MODEM_CHANGED_TECHNOLOGY;
        if (was.signalBars != next.signalBars)
            changes |= MODEM_CHANGED_SIGNAL;
        published_ = next;
        shared_.Write(published_);
    }
    if (changes && post_)
        post_(MODEM_BUS_STATUS, changes, 0);
}

// ---- what callers read -------------------------------------------------

void Session::ReadStatus(TModemStatus& out) const
{
    shared_.Read(out);
}

std::vector<JoinedMessage> Session::Messages() const
{
    SrwHold hold(messagesLock_, false);
    return messages_;
}

bool Session::FindMessage(int id, JoinedMessage& out) const
{
    SrwHold hold(messagesLock_, false);
    for (const JoinedMessage& message : messages_) {
        if (!message.indexes.empty() && *std::min_element(message.indexes.begin(), message.indexes.end()) == id) {
            out = message;
            return true;
        }
    }
    return false;
}

void Session::SetLink(int link, bool simulated, DWORD seconds, DWORD bytesReceived, DWORD bytesSent)
{
    bool changed;
    {
        std::lock_guard<std::mutex> lock(publishMutex_);
        changed = link_.state != link || link_.simulated != simulated;
        link_ = Link{link, simulated, seconds, bytesReceived, bytesSent};
        published_.link = link;
        published_.linkSimulated = simulated ? 1 : 0;
        published_.linkSeconds = seconds;
        published_.bytesReceived = bytesReceived;
        published_.bytesSent = bytesSent;
        shared_.Write(published_);
    }
    if (changed && post_)
        post_(MODEM_BUS_STATUS, MODEM_CHANGED_LINK, 0);
}

// ---- what callers ask for ----------------------------------------------

Outcome Session::EnterPin(const std::wstring& pin)
{
    if (!IsPinCode(pin, 4, 8))
        return Outcome{MODEM_E_BAD_ARGUMENT, L"a PIN is 4 to 8 digits"};
    return Submit([this, pin] {
        if (state_.sim == MODEM_SIM_READY)
            return Outcome{};
        if (state_.sim == MODEM_SIM_PUK)
            return Outcome{MODEM_E_SIM_LOCKED, L"the SIM wants its PUK"};
        const std::string command = "AT+CPIN=\"" + Narrow(pin) + "\"";
        const AtReply reply = Command(command);
        Outcome outcome = reply.Ok() ? Outcome{} : Failure(reply, "AT+CPIN");
        if (outcome.result == MODEM_E_SIM_LOCKED)
            outcome.result = MODEM_E_REFUSED;  // wrong PIN: the SIM still wants one
        if (channel_)
            Refresh();  // the SIM's state and tries left, and the messages once ready
        if (outcome.result != MODEM_OK && state_.sim == MODEM_SIM_PUK)
            outcome.result = MODEM_E_SIM_LOCKED;  // that was the last try
        return outcome;
    });
}

Outcome Session::EnterPuk(const std::wstring& puk, const std::wstring& newPin)
{
    if (!IsPinCode(puk, 8, 8))
        return Outcome{MODEM_E_BAD_ARGUMENT, L"a PUK is 8 digits"};
    if (!IsPinCode(newPin, 4, 8))
        return Outcome{MODEM_E_BAD_ARGUMENT, L"a PIN is 4 to 8 digits"};
    return Submit([this, puk, newPin] {
        if (state_.sim == MODEM_SIM_READY)
            return Outcome{};
        const std::string command = "AT+CPIN=\"" + Narrow(puk) + "\",\"" + Narrow(newPin) + "\"";
        const AtReply reply = Command(command);
        Outcome outcome = reply.Ok() ? Outcome{} : Failure(reply, "AT+CPIN");
        if (outcome.result == MODEM_E_SIM_LOCKED)
            outcome.result = MODEM_E_REFUSED;
        if (channel_)
            Refresh();
        return outcome;
    });
}

Outcome Session::DeleteMessage(int id)
{
    JoinedMessage message;
    if (!FindMessage(id, message))
        return Outcome{MODEM_E_BAD_ARGUMENT, L"no message " + std::to_wstring(id)};
    return Submit([this, message] {
        Outcome outcome;
        for (const int index : message.indexes) {
            const std::string command = "AT+CMGD=" + std::to_string(index);
            const AtReply reply = Command(command);
            if (reply.Ok()) {
                parts_.erase(index);
            } else if (outcome.result == MODEM_OK) {
                outcome = Failure(reply, command);
            }
            if (!channel_)
                break;
        }
        RejoinMessages();
        Publish();
        return outcome;
    });
}

Outcome Session::SendPart(const std::string& hex, int tpduLength)
{
    if (!channel_)
        return Outcome{MODEM_E_NO_MODEM, L"no modem"};
    const std::string command = "AT+CMGS=" + std::to_string(tpduLength);
    AtReply reply = channel_->Exchange(command, timings_.promptMs, true);
    if (reply.outcome == AtReply::Outcome::Timeout) {
        channel_->CancelPrompt();
        ++timeoutsInARow_;
        return Outcome{MODEM_E_TIMEOUT, L"timeout: no prompt after " + Widen(command)};
    }
    if (reply.outcome == AtReply::Outcome::PortFailed) {
        DropChannel(L"the port failed");
        return Outcome{MODEM_E_NO_MODEM, L"no modem"};
    }
    if (reply.outcome != AtReply::Outcome::Prompt)
        return Failure(reply, command);
    timeoutsInARow_ = 0;
    reply = channel_->SendAfterPrompt(hex, timings_.sendMs);
    if (reply.outcome == AtReply::Outcome::PortFailed) {
        DropChannel(L"the port failed");
        return Outcome{MODEM_E_NO_MODEM, L"no modem"};
    }
    if (!reply.Ok())
        return Failure(reply, command);
    return Outcome{};
}

Outcome Session::SendMessage(const std::wstring& number, const std::wstring& text, int& partsSent)
{
    partsSent = 0;
    if (CountParts(text) > MODEM_MAX_PARTS)
        return Outcome{MODEM_E_TOO_LONG, L"longer than " + std::to_wstring(MODEM_MAX_PARTS) + L" parts"};
    int* sent = &partsSent;
    return Submit([this, number, text, sent] {
        if (state_.sim != MODEM_SIM_READY)
            return Outcome{MODEM_E_SIM_LOCKED, L"the SIM is not ready"};
        const std::vector<SubmitPdu> pdus = EncodeSubmit(number, text, nextReference_++);
        if (pdus.empty())
            return Outcome{MODEM_E_BAD_ARGUMENT, L"not a phone number"};
        for (const SubmitPdu& pdu : pdus) {
            Outcome outcome = SendPart(pdu.hex, pdu.tpduLength);
            if (outcome.result != MODEM_OK)
                return outcome;
            ++*sent;
        }
        return Outcome{};
    });
}

Outcome Session::Ussd(const std::wstring& code, unsigned timeoutMs, std::wstring& reply)
{
    reply.clear();
    if (code.empty())
        return Outcome{MODEM_E_BAD_ARGUMENT, L"no USSD code"};
    const std::string hex = EncodeUssdRequest(code);
    if (hex.empty())
        return Outcome{MODEM_E_BAD_ARGUMENT, L"a USSD code of GSM characters, at most 182"};
    if (timeoutMs == 0)
        timeoutMs = kUssdDefaultMs;
    timeoutMs = std::clamp(timeoutMs, kUssdMinMs, kUssdMaxMs);
    std::wstring* answer = &reply;
    return Submit([this, hex, timeoutMs, answer] {
        const std::string command = "AT+CUSD=1,\"" + hex + "\"," + std::to_string(kUssdDcsGsm7);
        const AtReply reply = Command(command);
        if (!reply.Ok())
            return Failure(reply, command);
        // Most modems answer OK and report +CUSD later; some put it before the OK.
        AtLine report;
        std::string line = AnswerWith(reply, "+CUSD:");
        if (line.empty()) {
            if (!channel_->WaitForReport("+CUSD:", timeoutMs, report)) {
                if (channel_->Failed())
                    return Outcome{MODEM_E_NO_MODEM, L"no modem"};
                return Outcome{MODEM_E_TIMEOUT, L"timeout: no USSD answer"};
            }
            line = report.text;
        }
        UssdReport ussd;
        if (!ParseUssd(line, ussd))
            return Outcome{MODEM_E_REFUSED, Widen(line)};
        if (ussd.status == 4)
            return Outcome{MODEM_E_REFUSED, L"USSD not supported by the network"};
        if (ussd.status == 5)
            return Outcome{MODEM_E_TIMEOUT, L"the network timed the USSD request out"};
        if (!ussd.hasText && ussd.status == 2)
            return Outcome{MODEM_E_REFUSED, L"the network ended the USSD session"};
        *answer = DecodeUssd(ussd.text, ussd.dcs);
        return Outcome{};
    });
}

Outcome Session::SetApn(const std::wstring& apn)
{
    std::string text;
    if (apn.empty() || apn.size() > 100 || !ToCommandText(apn, text))
        return Outcome{MODEM_E_BAD_ARGUMENT, L"an APN of printable ASCII, at most 100 characters"};
    return Submit([this, text] {
        const std::string command = "AT+CGDCONT=1,\"IP\",\"" + text + "\"";
        const AtReply reply = Command(command);
        return reply.Ok() ? Outcome{} : Failure(reply, command);
    });
}

}  // namespace marvik
