// AtLines: line framing and classification of a modem's output.
#include "AtLines.h"

#include <cstring>

namespace marvik {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

std::string_view TrimRight(std::string_view text)
{
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

// The number after "ERROR:", or -1 when the modem gave words (AT+CMEE=2).
int ErrorNumber(std::string_view afterColon)
{
    size_t i = 0;
    while (i < afterColon.size() && afterColon[i] == ' ')
        ++i;
    if (i == afterColon.size() || afterColon[i] < '0' || afterColon[i] > '9')
        return -1;
    int value = 0;
    for (; i < afterColon.size() && afterColon[i] >= '0' && afterColon[i] <= '9'; ++i) {
        value = value * 10 + (afterColon[i] - '0');
        if (value > 99999)
            return -1;  // no standard number is that long: garbage
    }
    return value;
}

struct FinalWord {
    const char* text;
    AtFinal final;
};
constexpr FinalWord kFinalWords[] = {
    {"OK", AtFinal::Ok},
    {"ERROR", AtFinal::Error},
    {"NO CARRIER", AtFinal::NoCarrier},
    {"BUSY", AtFinal::Busy},
    {"NO ANSWER", AtFinal::NoAnswer},
    {"NO DIALTONE", AtFinal::NoDialtone},
};

// Reports a modem sends on its own (TS 27.007, 27.005) and the vendor ones,
// which all start with '^'.
constexpr const char* kUnsolicitedPrefixes[] = {
    "+CMTI:", "+CMT:", "+CDSI:", "+CDS:", "+CBM:", "+CREG:", "+CGREG:", "+CEREG:",
    "+CUSD:", "+CRING:", "+CGEV:", "+CIEV:", "^",
};

struct ErrorMeaning {
    int code;
    const char* text;
};

// TS 27.007 9.2: mobile termination error result codes.
constexpr ErrorMeaning kCmeErrors[] = {
    {0, "phone failure"},
    {1, "no connection to phone"},
    {2, "phone adaptor link reserved"},
    {3, "operation not allowed"},
    {4, "operation not supported"},
    {5, "PH-SIM PIN required"},
    {6, "PH-FSIM PIN required"},
    {7, "PH-FSIM PUK required"},
    {10, "SIM not inserted"},
    {11, "SIM PIN required"},
    {12, "SIM PUK required"},
    {13, "SIM failure"},
    {14, "SIM busy"},
    {15, "SIM wrong"},
    {16, "incorrect password"},
    {17, "SIM PIN2 required"},
    {18, "SIM PUK2 required"},
    {20, "memory full"},
    {21, "invalid index"},
    {22, "not found"},
    {23, "memory failure"},
    {24, "text string too long"},
    {25, "invalid characters in text string"},
    {26, "dial string too long"},
    {27, "invalid characters in dial string"},
    {30, "no network service"},
    {31, "network timeout"},
    {32, "network not allowed - emergency calls only"},
    {40, "network personalisation PIN required"},
    {41, "network personalisation PUK required"},
    {42, "network subset personalisation PIN required"},
    {43, "network subset personalisation PUK required"},
    {44, "service provider personalisation PIN required"},
    {45, "service provider personalisation PUK required"},
    {46, "corporate personalisation PIN required"},
    {47, "corporate personalisation PUK required"},
    {50, "incorrect parameters"},
    {100, "unknown"},
    {103, "illegal MS"},
    {106, "illegal ME"},
    {107, "GPRS services not allowed"},
    {111, "PLMN not allowed"},
    {112, "location area not allowed"},
    {113, "roaming not allowed in this location area"},
    {132, "service option not supported"},
    {133, "requested service option not subscribed"},
    {134, "service option temporarily out of order"},
    {148, "unspecified GPRS error"},
    {149, "PDP authentication failure"},
    {150, "invalid mobile class"},
};

// TS 27.005 3.2.5: message service failure result codes (0..127 are the
// network's RP causes of TS 24.011, 128..255 the TP-FCS of TS 23.040).
constexpr ErrorMeaning kCmsErrors[] = {
    {1, "unassigned number"},
    {8, "operator determined barring"},
    {10, "call barred"},
    {21, "short message transfer rejected"},
    {27, "destination out of service"},
    {28, "unidentified subscriber"},
    {29, "facility rejected"},
    {30, "unknown subscriber"},
    {38, "network out of order"},
    {41, "temporary failure"},
    {42, "congestion"},
    {47, "resources unavailable"},
    {50, "requested facility not subscribed"},
    {69, "requested facility not implemented"},
    {81, "invalid short message transfer reference value"},
    {95, "invalid message"},
    {96, "invalid mandatory information"},
    {97, "message type non-existent or not implemented"},
    {98, "message not compatible with short message protocol state"},
    {99, "information element non-existent or not implemented"},
    {111, "protocol error"},
    {127, "interworking error"},
    {128, "telematic interworking not supported"},
    {129, "short message type 0 not supported"},
    {130, "cannot replace short message"},
    {143, "unspecified TP-PID error"},
    {144, "data coding scheme (alphabet) not supported"},
    {145, "message class not supported"},
    {159, "unspecified TP-DCS error"},
    {160, "command cannot be actioned"},
    {161, "command unsupported"},
    {175, "unspecified TP-Command error"},
    {176, "TPDU not supported"},
    {192, "SC busy"},
    {193, "no SC subscription"},
    {194, "SC system failure"},
    {195, "invalid SME address"},
    {196, "destination SME barred"},
    {197, "SM rejected - duplicate SM"},
    {198, "TP-VPF not supported"},
    {199, "TP-VP not supported"},
    {208, "SIM SMS storage full"},
    {209, "no SMS storage capability in SIM"},
    {210, "error in MS"},
    {211, "memory capacity exceeded"},
    {212, "SIM application toolkit busy"},
    {213, "SIM data download error"},
    {255, "unspecified error cause"},
    {300, "ME failure"},
    {301, "SMS service of ME reserved"},
    {302, "operation not allowed"},
    {303, "operation not supported"},
    {304, "invalid PDU mode parameter"},
    {305, "invalid text mode parameter"},
    {310, "SIM not inserted"},
    {311, "SIM PIN required"},
    {312, "PH-SIM PIN required"},
    {313, "SIM failure"},
    {314, "SIM busy"},
    {315, "SIM wrong"},
    {316, "SIM PUK required"},
    {317, "SIM PIN2 required"},
    {318, "SIM PUK2 required"},
    {320, "memory failure"},
    {321, "invalid memory index"},
    {322, "memory full"},
    {330, "SMSC address unknown"},
    {331, "no network service"},
    {332, "network timeout"},
    {340, "no +CNMA acknowledgement expected"},
    {500, "unknown error"},
};

template <size_t N>
const char* Lookup(const ErrorMeaning (&table)[N], int code)
{
    for (const ErrorMeaning& entry : table)
        if (entry.code == code)
            return entry.text;
    return nullptr;
}

}  // namespace

std::string AtLineSplitter::AnswerPrefix(std::string_view commandLine)
{
    commandLine = TrimRight(commandLine);
    if (commandLine.size() < 3 || !EqualsIgnoringCase(commandLine.substr(0, 2), "AT"))
        return {};
    const char lead = commandLine[2];
    if (lead != '+' && lead != '^')
        return {};  // basic commands (ATE0, ATZ) answer with no prefix
    std::string prefix(1, lead);
    for (size_t i = 3; i < commandLine.size(); ++i) {
        char c = commandLine[i];
        if (c == '=' || c == '?' || c == ';')
            break;
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        prefix += c;
    }
    if (prefix.size() == 1)
        return {};
    prefix += ':';
    return prefix;
}

void AtLineSplitter::BeginCommand(std::string_view commandLine)
{
    echo_.assign(TrimRight(commandLine));
    answerPrefix_ = AnswerPrefix(commandLine);
}

void AtLineSplitter::EndCommand()
{
    echo_.clear();
    answerPrefix_.clear();
    expectPrompt_ = false;
}

AtLine AtLineSplitter::Classify(std::string_view text, std::string_view answerPrefix)
{
    AtLine line;
    line.text.assign(text);
    for (const FinalWord& word : kFinalWords) {
        if (text == word.text) {
            line.kind = AtLineKind::Final;
            line.final = word.final;
            return line;
        }
    }
    constexpr std::string_view kCme = "+CME ERROR:";
    constexpr std::string_view kCms = "+CMS ERROR:";
    if (StartsWith(text, kCme) || StartsWith(text, kCms)) {
        line.kind = AtLineKind::Final;
        line.final = StartsWith(text, kCme) ? AtFinal::CmeError : AtFinal::CmsError;
        line.errorCode = ErrorNumber(text.substr(kCme.size()));
        return line;
    }
    if (!answerPrefix.empty() && StartsWith(text, answerPrefix))
        return line;  // Answer, even where the prefix could start a report
    if (text == "RING") {
        line.kind = AtLineKind::Unsolicited;
        return line;
    }
    for (const char* prefix : kUnsolicitedPrefixes) {
        if (StartsWith(text, prefix)) {
            line.kind = AtLineKind::Unsolicited;
            return line;
        }
    }
    return line;
}

void AtLineSplitter::EndLine(std::vector<AtLine>& out)
{
    const std::string_view text = TrimRight(line_);
    const bool cut = cut_;
    if (text.empty() && !cut) {
        line_.clear();
        return;  // the empty lines around every answer
    }
    if (!echo_.empty() && !cut && EqualsIgnoringCase(text, echo_)) {
        echo_.clear();  // the modem's echo of what was sent
        line_.clear();
        return;
    }
    AtLine line = Classify(text, answerPrefix_);
    line.cut = cut;
    if (line.kind == AtLineKind::Final)
        EndCommand();  // what follows the final result (a +CUSD, say) is no longer its answer
    out.push_back(std::move(line));
    line_.clear();
    cut_ = false;
}

void AtLineSplitter::Feed(std::string_view bytes, std::vector<AtLine>& out)
{
    for (const char c : bytes) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '\r' || c == '\n') {
            EndLine(out);
            continue;
        }
        if (u < 0x20 || u == 0x7F)
            continue;  // NUL, Ctrl-Z in a PDU's echo, line noise: never part of a line
        if (line_.size() >= maxLine_) {
            cut_ = true;  // the rest of this line is dropped until its end
            continue;
        }
        line_ += c;
        if (expectPrompt_ && line_ == "> ") {
            AtLine prompt;
            prompt.kind = AtLineKind::Prompt;
            prompt.text = line_;
            out.push_back(std::move(prompt));
            line_.clear();
            expectPrompt_ = false;
        }
    }
}

const char* CmeErrorMeaning(int code) { return Lookup(kCmeErrors, code); }

const char* CmsErrorMeaning(int code) { return Lookup(kCmsErrors, code); }

std::string DescribeFinal(const AtLine& final)
{
    const char* meaning = nullptr;
    if (final.final == AtFinal::CmeError)
        meaning = CmeErrorMeaning(final.errorCode);
    else if (final.final == AtFinal::CmsError)
        meaning = CmsErrorMeaning(final.errorCode);
    if (meaning == nullptr)
        return final.text;
    return final.text + " (" + meaning + ")";
}

}  // namespace marvik
