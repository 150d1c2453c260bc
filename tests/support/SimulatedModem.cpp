// SimulatedModem: the AT commands a modem manager uses, answered as a 3GPP
// modem answers them.
#include "SimulatedModem.h"

#include "marvik/Pdu.h"

#include <cctype>

namespace modemsim {

namespace {

constexpr char kCtrlZ = 0x1A;
constexpr char kEscape = 0x1B;
constexpr size_t kMaxInputLine = 4096;  // a host that never ends its line
constexpr int kFirstIndex = 0;

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

std::string Upper(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

// The quoted arguments of a command line, in order.
std::vector<std::string> QuotedArguments(std::string_view line)
{
    std::vector<std::string> arguments;
    size_t at = 0;
    for (;;) {
        const size_t open = line.find('"', at);
        if (open == std::string_view::npos)
            break;
        const size_t close = line.find('"', open + 1);
        if (close == std::string_view::npos)
            break;
        arguments.emplace_back(line.substr(open + 1, close - open - 1));
        at = close + 1;
    }
    return arguments;
}

// The number after '=' (or after the last comma with last), or -1.
int NumberAfter(std::string_view line, char separator)
{
    const size_t at = line.rfind(separator);
    if (at == std::string_view::npos || at + 1 >= line.size())
        return -1;
    int value = 0;
    for (size_t i = at + 1; i < line.size(); ++i) {
        if (line[i] < '0' || line[i] > '9')
            return -1;
        value = value * 10 + (line[i] - '0');
        if (value > 1000000)
            return -1;
    }
    return value;
}

bool IsHex(std::string_view text)
{
    if (text.empty() || text.size() % 2 != 0)
        return false;
    for (const char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

}  // namespace

SimulatedModem::SimulatedModem() = default;

void SimulatedModem::SetIdentity(std::string manufacturer, std::string model, std::string revision, std::string imei)
{
    std::lock_guard<std::mutex> lock(mutex_);
    manufacturer_ = std::move(manufacturer);
    model_ = std::move(model);
    revision_ = std::move(revision);
    imei_ = std::move(imei);
}

void SimulatedModem::SetSim(SimState state, std::string pin, std::string puk, int pinTries, int pukTries)
{
    std::lock_guard<std::mutex> lock(mutex_);
    sim_ = state;
    pin_ = std::move(pin);
    puk_ = std::move(puk);
    pinTries_ = pinTries;
    pukTries_ = pukTries;
}

void SimulatedModem::SetReportsTries(bool reports)
{
    std::lock_guard<std::mutex> lock(mutex_);
    reportsTries_ = reports;
}

void SimulatedModem::SetNetwork(int stat, std::string operatorName, int accessTech)
{
    std::function<void()> notify;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stat_ = stat;
        operator_ = std::move(operatorName);
        accessTech_ = accessTech;
        if (creg_ > 0)
            Unsolicited(RegistrationLine("+CREG", creg_, true));
        if (cgreg_ > 0)
            Unsolicited(RegistrationLine("+CGREG", cgreg_, true));
        notify = onOutput_;
    }
    if (notify)
        notify();
}

void SimulatedModem::SetSignal(int rssi, bool vendorReport)
{
    std::function<void()> notify;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        rssi_ = rssi;
        if (vendorReport)
            Unsolicited("^RSSI:" + std::to_string(rssi));
        notify = onOutput_;
    }
    if (notify)
        notify();
}

int SimulatedModem::NextIndex() const
{
    int index = kFirstIndex;
    while (stored_.count(index))
        ++index;
    return index;
}

int SimulatedModem::StoreMessage(int status, std::string pduHex)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const int index = NextIndex();
    stored_[index] = Stored{status, std::move(pduHex)};
    return index;
}

int SimulatedModem::DeliverMessage(std::string pduHex)
{
    std::function<void()> notify;
    int index;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        index = NextIndex();
        stored_[index] = Stored{0, std::move(pduHex)};
        if (cnmiMt_ == 1)
            Unsolicited("+CMTI: \"SM\"," + std::to_string(index));
        notify = onOutput_;
    }
    if (notify)
        notify();
    return index;
}

void SimulatedModem::SetUssdAnswer(std::string code, UssdAnswer answer)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ussd_[std::move(code)] = std::move(answer);
}

void SimulatedModem::SetUssdBeforeOk(bool before)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ussdBeforeOk_ = before;
}

void SimulatedModem::SetEcho(bool on)
{
    std::lock_guard<std::mutex> lock(mutex_);
    echo_ = on;
}

void SimulatedModem::SetFault(Fault fault)
{
    std::lock_guard<std::mutex> lock(mutex_);
    fault_ = fault;
    if (fault != Fault::HangUp)
        hangUp_ = false;
}

void SimulatedModem::SetReplyDelay(unsigned ms)
{
    std::lock_guard<std::mutex> lock(mutex_);
    delayMs_ = ms;
}

void SimulatedModem::SetNoise(bool on)
{
    std::lock_guard<std::mutex> lock(mutex_);
    noise_ = on;
}

void SimulatedModem::Report(std::string line)
{
    std::function<void()> notify;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Unsolicited(line);
        notify = onOutput_;
    }
    if (notify)
        notify();
}

std::vector<std::string> SimulatedModem::Commands() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
}

std::vector<std::string> SimulatedModem::SentPdus() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return sentPdus_;
}

std::vector<int> SimulatedModem::StoredIndexes() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<int> indexes;
    for (const auto& entry : stored_)
        indexes.push_back(entry.first);
    return indexes;
}

std::string SimulatedModem::Apn() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return apn_;
}

SimState SimulatedModem::Sim() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return sim_;
}

std::vector<OutputPiece> SimulatedModem::TakeOutput()
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<OutputPiece> output;
    output.swap(output_);
    return output;
}

bool SimulatedModem::HangUpWanted() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return hangUp_;
}

void SimulatedModem::SetOnOutput(std::function<void()> onOutput)
{
    std::lock_guard<std::mutex> lock(mutex_);
    onOutput_ = std::move(onOutput);
}

// ---- answering -----------------------------------------------------------

void SimulatedModem::Emit(std::string bytes)
{
    unsigned delayMs = nextDelay_;
    nextDelay_ = 0;  // the rest of an answer follows its start at once
    if (noise_) {
        // Bytes a noisy line adds: binary, and empty lines.
        std::string noise = "\r\n\r\n";
        for (int i = 0; i < 8; ++i) {
            noiseSeed_ = noiseSeed_ * 1103515245u + 12345u;
            char c = static_cast<char>((noiseSeed_ >> 16) & 0xFF);
            if (c == '\r' || c == '\n')
                c = 0x01;
            noise += c;
        }
        noise += "\r\n";
        output_.push_back(OutputPiece{std::move(noise), delayMs});
        delayMs = 0;
    }
    output_.push_back(OutputPiece{std::move(bytes), delayMs});
}

void SimulatedModem::Answer(const std::string& line) { Emit("\r\n" + line + "\r\n"); }

void SimulatedModem::Final(const std::string& result) { Emit("\r\n" + result + "\r\n"); }

void SimulatedModem::CmeError(int code)
{
    Final(cmee_ == 0 ? std::string("ERROR") : "+CME ERROR: " + std::to_string(code));
}

void SimulatedModem::CmsError(int code)
{
    Final(cmee_ == 0 ? std::string("ERROR") : "+CMS ERROR: " + std::to_string(code));
}

void SimulatedModem::Unsolicited(const std::string& line) { Emit("\r\n" + line + "\r\n"); }

std::string SimulatedModem::RegistrationLine(const char* name, int mode, bool report) const
{
    std::string line = std::string(name) + ": ";
    if (!report)
        line += std::to_string(mode) + ",";
    line += std::to_string(stat_);
    if (mode >= 2 && (stat_ == 1 || stat_ == 5))
        line += ",\"00C3\",\"0012ABCD\"," + std::to_string(accessTech_);
    return line;
}

void SimulatedModem::Receive(std::string_view bytes)
{
    std::function<void()> notify;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const char c : bytes) {
            if (awaitingPdu_) {
                if (c == kCtrlZ || c == kEscape) {
                    std::string pdu;
                    pdu.swap(input_);
                    awaitingPdu_ = false;
                    if (echo_)
                        Emit(pdu + std::string(1, c));
                    nextDelay_ = delayMs_;
                    if (c == kCtrlZ)
                        ExecuteAfterPrompt(pdu);
                    else
                        Final("OK");  // cancelled
                } else if (c != '\r' && c != '\n' && input_.size() < kMaxInputLine) {
                    input_ += c;
                }
                continue;
            }
            if (c == '\r') {
                std::string line;
                line.swap(input_);
                if (!line.empty())
                    Execute(line);
            } else if (c != '\n' && input_.size() < kMaxInputLine) {
                input_ += c;
            }
        }
        notify = onOutput_;
    }
    if (notify)
        notify();
}

void SimulatedModem::ExecuteAfterPrompt(const std::string& pdu)
{
    sentPdus_.push_back(pdu);
    // The hex holds the service centre's octets (its length octet first) and
    // then exactly the TPDU length AT+CMGS gave.
    int smscOctets = -1;
    if (IsHex(pdu))
        smscOctets = std::stoi(pdu.substr(0, 2), nullptr, 16) + 1;
    if (smscOctets < 0 || static_cast<int>(pdu.size()) != 2 * (smscOctets + pduLength_)) {
        CmsError(304);  // invalid PDU mode parameter
        return;
    }
    messageReference_ = (messageReference_ + 1) % 256;
    Answer("+CMGS: " + std::to_string(messageReference_));
    Final("OK");
}

void SimulatedModem::Execute(const std::string& received)
{
    commands_.push_back(received);
    if (fault_ == Fault::Silent)
        return;
    if (fault_ == Fault::HangUp) {
        hangUp_ = true;
        return;
    }
    if (fault_ == Fault::Garbage) {
        std::string garbage;
        for (int i = 0; i < 32; ++i) {
            noiseSeed_ = noiseSeed_ * 1103515245u + 12345u;
            garbage += static_cast<char>((noiseSeed_ >> 16) & 0xFF);
        }
        nextDelay_ = delayMs_;
        Emit(garbage);
        return;
    }
    if (echo_)
        Emit(received + "\r");
    nextDelay_ = delayMs_;
    const std::string line = Upper(received);
    if (!StartsWith(line, "AT")) {
        Final("ERROR");
        return;
    }
    const std::string command = line.substr(2);
    const bool simReady = sim_ == SimState::Ready;
    auto needsSim = [&](bool messageCommand) {
        if (simReady)
            return false;
        const int code = sim_ == SimState::Absent ? 10 : sim_ == SimState::Pin ? 11 : 12;
        if (messageCommand)
            CmsError(sim_ == SimState::Absent ? 310 : sim_ == SimState::Pin ? 311 : 316);
        else
            CmeError(code);
        return true;
    };

    if (command.empty() || command == "Z" || command == "+COPS=3,0" || StartsWith(command, "&F")) {
        Final("OK");
    } else if (command == "E0" || command == "E1") {
        echo_ = command == "E1";
        Final("OK");
    } else if (StartsWith(command, "+CMEE=")) {
        cmee_ = NumberAfter(command, '=');
        Final(cmee_ >= 0 && cmee_ <= 2 ? "OK" : "ERROR");
    } else if (StartsWith(command, "+CREG=") || StartsWith(command, "+CGREG=")) {
        const int mode = NumberAfter(command, '=');
        (command[2] == 'R' ? creg_ : cgreg_) = mode;
        Final(mode >= 0 && mode <= 2 ? "OK" : "ERROR");
    } else if (command == "+CREG?" || command == "+CGREG?") {
        const bool circuit = command[2] == 'R';
        Answer(RegistrationLine(circuit ? "+CREG" : "+CGREG", circuit ? creg_ : cgreg_, false));
        Final("OK");
    } else if (command == "+CMGF=0" || command == "+CMGF=1") {
        Final("OK");
    } else if (StartsWith(command, "+CNMI=")) {
        if (!needsSim(true)) {
            const size_t comma = command.find(',');
            cnmiMt_ = comma == std::string::npos ? 0 : command[comma + 1] - '0';
            Final("OK");
        }
    } else if (command == "+CGMI" || command == "+CGMM" || command == "+CGMR" || command == "+CGSN") {
        const char which = command[4];
        Answer(which == 'I' ? manufacturer_ : which == 'M' ? model_ : which == 'R' ? revision_ : imei_);
        Final("OK");
    } else if (command == "+CPIN?") {
        if (sim_ == SimState::Absent) {
            CmeError(10);
        } else {
            Answer(std::string("+CPIN: ") + (sim_ == SimState::Ready ? "READY" : sim_ == SimState::Pin ? "SIM PIN" : "SIM PUK"));
            Final("OK");
        }
    } else if (StartsWith(command, "+CPINR")) {
        if (!reportsTries_) {
            Final("ERROR");
        } else if (command.find("PUK") != std::string::npos) {
            Answer("+CPINR: SIM PUK," + std::to_string(pukTries_) + ",10");
            Final("OK");
        } else {
            Answer("+CPINR: SIM PIN," + std::to_string(pinTries_) + ",3");
            Final("OK");
        }
    } else if (StartsWith(command, "+CPIN=")) {
        const std::vector<std::string> codes = QuotedArguments(received);
        if (sim_ == SimState::Absent) {
            CmeError(10);
        } else if (sim_ == SimState::Ready) {
            CmeError(3);  // operation not allowed: nothing to unlock
        } else if (sim_ == SimState::Pin && codes.size() == 1) {
            if (codes[0] == pin_) {
                sim_ = SimState::Ready;
                pinTries_ = 3;
                Final("OK");
            } else {
                if (--pinTries_ <= 0)
                    sim_ = SimState::Puk;
                CmeError(16);
            }
        } else if (sim_ == SimState::Puk && codes.size() == 2) {
            if (codes[0] == puk_) {
                sim_ = SimState::Ready;
                pin_ = codes[1];
                pinTries_ = 3;
                pukTries_ = 10;
                Final("OK");
            } else {
                --pukTries_;
                CmeError(16);
            }
        } else {
            CmeError(sim_ == SimState::Puk ? 12 : 50);
        }
    } else if (command == "+COPS?") {
        if (stat_ == 1 || stat_ == 5)
            Answer("+COPS: 0,0,\"" + operator_ + "\"," + std::to_string(accessTech_));
        else
            Answer("+COPS: 0");
        Final("OK");
    } else if (command == "+CSQ") {
        Answer("+CSQ: " + std::to_string(rssi_) + ",99");
        Final("OK");
    } else if (StartsWith(command, "+CMGL")) {
        if (needsSim(true))
            return;
        const int wanted = NumberAfter(command, '=');
        for (auto& [index, message] : stored_) {
            if (wanted != 4 && wanted != message.status)
                continue;
            const int length = IsHex(message.pdu) && message.pdu.size() >= 2
                                   ? static_cast<int>(message.pdu.size() / 2) -
                                         (std::stoi(message.pdu.substr(0, 2), nullptr, 16) + 1)
                                   : 0;
            Answer("+CMGL: " + std::to_string(index) + "," + std::to_string(message.status) + ",," +
                   std::to_string(length));
            Answer(message.pdu);
            if (message.status == 0)
                message.status = 1;
        }
        Final("OK");
    } else if (StartsWith(command, "+CMGR=")) {
        if (needsSim(true))
            return;
        const auto it = stored_.find(NumberAfter(command, '='));
        if (it == stored_.end()) {
            CmsError(321);
            return;
        }
        const std::string& pdu = it->second.pdu;
        const int length = IsHex(pdu) ? static_cast<int>(pdu.size() / 2) - (std::stoi(pdu.substr(0, 2), nullptr, 16) + 1) : 0;
        Answer("+CMGR: " + std::to_string(it->second.status) + ",," + std::to_string(length));
        Answer(pdu);
        if (it->second.status == 0)
            it->second.status = 1;
        Final("OK");
    } else if (StartsWith(command, "+CMGD=")) {
        if (needsSim(true))
            return;
        const size_t erased = stored_.erase(NumberAfter(command, '='));
        if (erased)
            Final("OK");
        else
            CmsError(321);
    } else if (StartsWith(command, "+CMGS=")) {
        if (needsSim(true))
            return;
        pduLength_ = NumberAfter(command, '=');
        if (pduLength_ <= 0 || pduLength_ > 164) {
            CmsError(304);
            return;
        }
        awaitingPdu_ = true;
        Emit("\r\n> ");
    } else if (StartsWith(command, "+CUSD=1,")) {
        if (needsSim(false))
            return;
        const std::vector<std::string> arguments = QuotedArguments(received);
        const UssdAnswer* answer = nullptr;
        for (const auto& [code, reply] : ussd_) {
            const std::string packed = marvik::EncodeUssdRequest(std::wstring(code.begin(), code.end()));
            if (!arguments.empty() && (Upper(arguments[0]) == Upper(packed) || arguments[0] == code))
                answer = &reply;
        }
        std::string report = answer ? "+CUSD: " + std::to_string(answer->status) + ",\"" + answer->text + "\"," +
                                          std::to_string(answer->dcs)
                                    : std::string("+CUSD: 4");
        if (ussdBeforeOk_) {
            Answer(report);
            Final("OK");
        } else {
            Final("OK");
            nextDelay_ = delayMs_;
            Emit("\r\n" + report + "\r\n");
        }
    } else if (StartsWith(command, "+CUSD=2")) {
        Final("OK");
    } else if (StartsWith(command, "+CGDCONT=")) {
        const std::vector<std::string> arguments = QuotedArguments(received);
        if (arguments.size() < 2) {
            CmeError(50);
            return;
        }
        apn_ = arguments[1];
        Final("OK");
    } else {
        Final("ERROR");
    }
}

}  // namespace modemsim
