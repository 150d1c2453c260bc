// AtParse: the fields of the modem's answers and reports (3GPP TS 27.007,
// 27.005) as the session needs them. Every function takes the whole line
// ("+CSQ: 20,99") and gives false, or a neutral value, for anything it cannot
// read: a modem's bad line never throws.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace marvik {

// The comma-separated fields after "<prefix>: ", quotes kept off, blanks
// around fields dropped; a comma inside quotes belongs to its field.
// quoted[i] says whether field i was quoted.
struct AtFields {
    std::vector<std::string> values;
    std::vector<bool> quoted;
    size_t size() const { return values.size(); }
    // Field i as a number, or fallback when it is missing, empty or no number.
    int Number(size_t i, int fallback = -1) const;
};
AtFields SplitFields(std::string_view line);

// "+CSQ: <rssi>,<ber>": the dBm (-113 + 2 * rssi) or kUnknownDbm for 99 and
// anything unreadable.
constexpr int kUnknownDbm = -1000;
int ParseSignalDbm(std::string_view line);
// 0..5 bars for a dBm value (0 for unknown).
int SignalBars(int dbm);

// +CREG / +CGREG / +CEREG, as an answer to the query ("+CREG: <n>,<stat>
// [,<lac>,<ci>[,<AcT>]]") or as a report ("+CREG: <stat>[,<lac>,<ci>
// [,<AcT>]]"). accessTech -1 when not given.
struct Registration {
    int stat = 4;  // unknown
    int accessTech = -1;
};
bool ParseRegistration(std::string_view line, Registration& out);

// "+COPS: <mode>[,<format>,<oper>[,<AcT>]]": the operator's name (empty when
// not registered) and the technology (-1 when not given).
bool ParseOperator(std::string_view line, std::string& name, int& accessTech);

// "+CPIN: READY" / "SIM PIN" / "SIM PUK" ...: MODEM_SIM_* (unknown for the
// rest, e.g. PH-SIM PIN, which this library does not unlock).
int ParseSimState(std::string_view line);
// "+CPINR: SIM PIN,3,3": the tries left, or -1.
int ParseTriesLeft(std::string_view line);

// "+CMGL: <index>,<stat>,[<alpha>],<length>" and "+CMGR: <stat>,[<alpha>],
// <length>" (PDU mode): index (-1 for +CMGR), stat and length.
struct StoredHeader {
    int index = -1;
    int status = -1;
    int length = -1;
};
bool ParseListHeader(std::string_view line, StoredHeader& out);
bool ParseReadHeader(std::string_view line, StoredHeader& out);

// "+CMTI: <mem>,<index>": the index, or -1.
int ParseNewMessageIndex(std::string_view line);
// "+CMGS: <mr>": the message reference, or -1.
int ParseMessageReference(std::string_view line);

// "+CUSD: <m>[,<str>[,<dcs>]]".
struct UssdReport {
    int status = -1;  // 0 no further action, 1 further action required, 2 ended by the network, 4 not supported, 5 timed out
    std::string text;
    int dcs = 15;
    bool hasText = false;
};
bool ParseUssd(std::string_view line, UssdReport& out);

// An identification answer ("HUAWEI", "+CGMI: HUAWEI", "+CGSN: \"35...\""):
// the value without the prefix and the quotes.
std::string IdentityValue(std::string_view line, std::string_view prefix);

// "AT+CPIN=\"1234\"" for digits only: a PIN or PUK is 4 to 8 digits; false
// for anything else (which never reaches the modem).
bool IsPinCode(std::wstring_view code, size_t minDigits, size_t maxDigits);

// A command's quoted argument from UTF-16: plain printable ASCII without
// quotes, or false.
bool ToCommandText(std::wstring_view text, std::string& out);

}  // namespace marvik
