// Short messages in PDU mode (3GPP TS 23.040, TS 27.005): the SMS-DELIVER
// PDUs the modem stores and lists (+CMGL, +CMGR), the SMS-SUBMIT PDUs sent
// with AT+CMGS, and the USSD strings of AT+CUSD (TS 27.007, TS 23.038 5).
//
// Hex is as the modem writes it: two hex digits per octet, either case.
// Decoding never reads past its input and never throws; broken input gives
// false and a reason for the log.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace marvik {

// The service centre time stamp, as the network's local time with its offset
// from UTC in quarters of an hour (negative west of Greenwich). All zero when
// the PDU has none (SMS-SUBMIT) or an unreadable one.
struct SmsTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int zoneQuarterHours = 0;
};
bool operator==(const SmsTime& a, const SmsTime& b);
// Minutes since 2000-01-01 00:00 UTC, for putting messages in order.
long long MinutesUtc(const SmsTime& time);

// One stored message part. A stored SMS-SUBMIT (a message written or sent
// from this SIM, +CMGL status 2 or 3) decodes too: outgoing is then true,
// sender holds the recipient and time is all zero.
struct DeliverPdu {
    std::wstring sender;    // "+4512345678", "12345", or alphanumeric "Telia"
    SmsTime time;
    std::wstring text;      // 7-bit, 8-bit (each octet as the character of that code), UCS2 with surrogates
                            // (a lone one kept: its pair may open the next part; JoinParts mends it)
    int dataCoding = 0;     // TP-DCS
    bool outgoing = false;
    bool concatenated = false;  // from a concatenation element (IEI 0x00 or 0x08) of the UDH
    unsigned reference = 0;     // its reference: 0..255 or 0..65535
    int partsTotal = 1;
    int partNumber = 1;
};

// Octets of the longest PDU the decoder takes: the service centre address
// (12) and the longest TPDU (an SMS-SUBMIT with a 12-octet address, a 7-octet
// validity period and 140 octets of user data: 164).
constexpr size_t kMaxPduOctets = 12 + 164;

// hex as the modem sends it after +CMGL/+CMGR, with the service centre
// address in front. Leading and trailing blanks are ignored. tpduLength, when
// not -1, is the <length> the modem listed (the octets after the service
// centre address): a PDU of another length is refused, and one of exactly
// that length is read as having no service centre address.
bool DecodeDeliver(std::string_view hex, DeliverPdu& out, std::string& why, int tpduLength = -1);

// One SMS-SUBMIT to send: hex with the service centre address "00" (the
// modem's default) in front, and tpduLength, the octets after it, for
// AT+CMGS=<tpduLength>.
struct SubmitPdu {
    std::string hex;
    int tpduLength = 0;
};

// A concatenated message has at most this many parts (the count is one octet).
constexpr int kMaxParts = 255;

// The text as SMS-SUBMIT parts: GSM 7-bit when the text is GSM 7-bit text,
// else UCS2; one part up to 160 septets or 70 UCS2 units, else parts of 153
// septets or 67 units that never split an escape or a surrogate pair, joined
// by an 8-bit concatenation reference. number: digits, '*', '#', an optional
// '+' in front (international), blanks, '-', '.', '(' and ')' ignored.
// Empty result: a bad number (no digits, more than 20, other characters)
// or a text of more than kMaxParts parts.
std::vector<SubmitPdu> EncodeSubmit(std::wstring_view number, std::wstring_view text, uint8_t reference);

// The number of parts EncodeSubmit makes of the text (1 for empty text; it
// may exceed kMaxParts, which EncodeSubmit refuses).
int CountParts(std::wstring_view text);

// Replaces each surrogate that is not half of a pair with U+FFFD (for texts
// put together from parts, where a pair split between two parts joins again).
void ReplaceLoneSurrogates(std::wstring& text);

// The <str> of a +CUSD report, by its <dcs>: hex (every character a hex
// digit, an even count, a multiple of 4 for UCS2) holds packed GSM 7-bit,
// 8-bit or UCS2 as the coding says; anything else is the modem's text, given
// as it is. A language indication the coding puts in front of hex is dropped.
std::wstring DecodeUssd(std::string_view str, int dcs);

// The code as packed GSM 7-bit hex, for AT+CUSD=1,"<hex>",15. Empty when the
// code is not GSM 7-bit text or longer than a USSD string (182 septets).
std::string EncodeUssdRequest(std::wstring_view code);

// The data coding scheme EncodeUssdRequest's hex is in (GSM 7-bit, language
// unspecified).
constexpr int kUssdDcsGsm7 = 15;

}  // namespace marvik
