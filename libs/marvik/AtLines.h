// AtLines: turns the bytes a modem sends into classified lines (3GPP TS 27.007
// V.250 framing). Bytes may come split across reads or several lines in one,
// ended by CR, LF or both; the modem's echo of a command is recognised and
// dropped; the SMS prompt "> " (which has no line end) is a line of its own;
// unsolicited reports are told apart from a command's answer wherever they
// come. Lines longer than the stated limit are cut there, and nothing grows
// past it whatever arrives.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace marvik {

// Longest line kept (bytes); the rest of a longer line is dropped. The longest
// real line is a +CMGL PDU (2 x 176 hex digits) or a +CUSD answer in hex.
constexpr size_t kMaxAtLine = 2048;

enum class AtLineKind {
    Answer,       // part of the pending command's answer ("+CSQ: 20,99", a PDU)
    Final,        // the pending command's final result
    Prompt,       // "> " after AT+CMGS=<n>: send the PDU now
    Unsolicited,  // +CMTI, +CREG, +CGREG, +CEREG, +CUSD, RING, +CRING, ^vendor
};

enum class AtFinal { None, Ok, Error, CmeError, CmsError, NoCarrier, Busy, NoAnswer, NoDialtone };

struct AtLine {
    AtLineKind kind = AtLineKind::Answer;
    std::string text;               // without the line end and without control bytes
    AtFinal final = AtFinal::None;  // for kind Final
    int errorCode = -1;             // +CME/+CMS ERROR: n; -1 when none or given as words
    bool cut = false;               // the line was longer than the limit
};

class AtLineSplitter {
public:
    explicit AtLineSplitter(size_t maxLine = kMaxAtLine) : maxLine_(maxLine) {}

    // A command line is about to be sent ("AT+CSQ", without CR): its echo is
    // dropped, and lines starting with its answer prefix ("+CSQ:") are its
    // answer even where the same prefix could be a report (+CREG: for
    // AT+CREG?). Also used for the PDU sent after the prompt.
    void BeginCommand(std::string_view commandLine);
    // No command is pending: every line that is not a report is stray.
    void EndCommand();
    // After AT+CMGS: a "> " at the start of a line is the prompt.
    void ExpectPrompt(bool expect) { expectPrompt_ = expect; }

    // Adds bytes as read from the port and appends each completed line to out.
    void Feed(std::string_view bytes, std::vector<AtLine>& out);

    // Classifies one whole line as the splitter would (answerPrefix as
    // BeginCommand derives it; empty for none).
    static AtLine Classify(std::string_view line, std::string_view answerPrefix);
    // "+CSQ:" for "AT+CSQ" / "AT+CSQ?" / "AT+CSQ=1"; empty for "ATE0", "AT".
    static std::string AnswerPrefix(std::string_view commandLine);

private:
    void EndLine(std::vector<AtLine>& out);

    size_t maxLine_;
    std::string line_;        // the line so far, at most maxLine_ bytes
    bool cut_ = false;        // bytes of this line were dropped
    std::string echo_;        // the pending command line, whose echo is dropped
    std::string answerPrefix_;
    bool expectPrompt_ = false;
};

// The standard meaning of +CME ERROR: n (TS 27.007 9.2) and +CMS ERROR: n
// (TS 27.005 3.2.5), or null for a number without one.
const char* CmeErrorMeaning(int code);
const char* CmsErrorMeaning(int code);

// "+CME ERROR: 16 (incorrect password)": the final line with its meaning, or
// the line as it is.
std::string DescribeFinal(const AtLine& final);

}  // namespace marvik
