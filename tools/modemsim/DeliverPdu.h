// SMS-DELIVER PDUs (3GPP TS 23.040 9.2.2.1) made from a sender and a text,
// for the messages the simulated modem stores and receives. marvik only ever
// sends (SMS-SUBMIT), so the modem's side of the codec lives here.
#pragma once

#include "marvik/Pdu.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace modemsim {

// The PDUs of text from sender, as a modem lists them: hex with an empty
// service centre address ("00") in front. GSM 7-bit when the text is GSM
// 7-bit text, else UCS2; a text that does not fit one part (160 septets, 70
// UCS2 units) becomes parts of 153 septets or 67 units joined by a
// concatenation element with an 8-bit reference (with wideReference, a
// 16-bit one, whose longer header leaves 152 septets or 66 units), never
// splitting an escape or a surrogate pair.
// sender: "+4512345678" (international), "12345" (unknown type), or up to 11
// characters of GSM 7-bit text ("Telia", alphanumeric).
// Empty result: a sender that is none of these, or more than 255 parts.
std::vector<std::string> EncodeDeliver(std::wstring_view sender, std::wstring_view text, const marvik::SmsTime& time,
                                       unsigned reference, bool wideReference = false);

// The parts' user data before encoding: septets (GSM 7-bit) or UTF-16 units
// (UCS2), cut as EncodeDeliver cuts them. Exposed for the tests.
std::vector<std::wstring> SplitForParts(std::wstring_view text, bool wideReference = false);

}  // namespace modemsim
