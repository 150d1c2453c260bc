// SMS-DELIVER encoding: address, time stamp, user data header, alphabets.
#include "DeliverPdu.h"

#include "marvik/Gsm7.h"

#include <algorithm>

namespace modemsim {

namespace {

constexpr int kSingleSeptets = 160, kPartSeptets = 153;
constexpr size_t kSingleUnits = 70, kPartUnits = 67;
constexpr size_t kMaxDigits = 20;
constexpr size_t kMaxAlphanumeric = 11;  // 10 octets of address value
constexpr uint8_t kTypeInternational = 0x91, kTypeUnknown = 0x81, kTypeAlphanumeric = 0xD0;
constexpr uint8_t kDcsGsm7 = 0x00, kDcsUcs2 = 0x08;
constexpr uint8_t kMtiDeliver = 0x00, kMoreMessagesToSendNot = 0x04, kUdhi = 0x40;

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }

void AppendOctet(std::string& hex, unsigned value)
{
    static const char kHex[] = "0123456789ABCDEF";
    hex += kHex[(value >> 4) & 0xF];
    hex += kHex[value & 0xF];
}

// Two decimal digits as swapped semi-octets (the time stamp's fields).
unsigned SwappedDecimal(int value)
{
    value = value < 0 ? 0 : value % 100;
    return static_cast<unsigned>((value % 10) << 4 | value / 10);
}

// TP-OA: length, type and value; false for a sender that is no address.
bool AppendAddress(std::string& hex, std::wstring_view sender)
{
    const bool international = !sender.empty() && sender[0] == L'+';
    const std::wstring_view digits = international ? sender.substr(1) : sender;
    bool allDigits = !digits.empty() && digits.size() <= kMaxDigits;
    for (const wchar_t c : digits)
        allDigits = allDigits && c >= L'0' && c <= L'9';
    if (allDigits) {
        AppendOctet(hex, static_cast<unsigned>(digits.size()));
        AppendOctet(hex, international ? kTypeInternational : kTypeUnknown);
        for (size_t i = 0; i < digits.size(); i += 2) {
            const unsigned low = static_cast<unsigned>(digits[i] - L'0');
            const unsigned high = i + 1 < digits.size() ? static_cast<unsigned>(digits[i + 1] - L'0') : 0xF;
            AppendOctet(hex, high << 4 | low);
        }
        return true;
    }
    if (international || sender.empty() || sender.size() > kMaxAlphanumeric || !marvik::IsGsm7Text(sender))
        return false;
    const std::vector<uint8_t> septets = marvik::Gsm7ToSeptets(sender);
    if (septets.size() > kMaxAlphanumeric)
        return false;
    const std::vector<uint8_t> packed = marvik::PackSeptets(septets, 0);
    // The length counts the semi-octets that hold septets.
    AppendOctet(hex, static_cast<unsigned>((septets.size() * 7 + 3) / 4));
    AppendOctet(hex, kTypeAlphanumeric);
    for (const uint8_t octet : packed)
        AppendOctet(hex, octet);
    return true;
}

void AppendTime(std::string& hex, const marvik::SmsTime& time)
{
    for (const int field : {time.year, time.month, time.day, time.hour, time.minute, time.second})
        AppendOctet(hex, SwappedDecimal(field));
    // Quarters of an hour; bit 3 of the first semi-octet (the low nibble) is the sign.
    const int quarters = time.zoneQuarterHours < 0 ? -time.zoneQuarterHours : time.zoneQuarterHours;
    unsigned zone = SwappedDecimal(quarters);
    if (time.zoneQuarterHours < 0)
        zone |= 0x08;
    AppendOctet(hex, zone);
}

}  // namespace

std::vector<std::wstring> SplitForParts(std::wstring_view text, bool wideReference)
{
    // The 16-bit reference's header is one octet longer: a septet or a unit less.
    const int partSeptets = wideReference ? kPartSeptets - 1 : kPartSeptets;
    const size_t partUnits = wideReference ? kPartUnits - 1 : kPartUnits;
    std::vector<std::wstring> parts;
    if (marvik::IsGsm7Text(text)) {
        if (marvik::Gsm7Septets(text) <= kSingleSeptets)
            return {std::wstring(text)};
        std::wstring part;
        int septets = 0;
        for (const wchar_t c : text) {
            const int width = marvik::Gsm7Septets(std::wstring_view(&c, 1));
            if (septets + width > partSeptets) {
                parts.push_back(std::move(part));
                part.clear();
                septets = 0;
            }
            part += c;
            septets += width;
        }
        parts.push_back(std::move(part));
        return parts;
    }
    if (text.size() <= kSingleUnits)
        return {std::wstring(text)};
    size_t at = 0;
    while (at < text.size()) {
        size_t take = std::min(partUnits, text.size() - at);
        if (take == partUnits && IsHighSurrogate(text[at + take - 1]))
            --take;  // the pair goes whole into the next part
        parts.emplace_back(text.substr(at, take));
        at += take;
    }
    return parts;
}

std::vector<std::string> EncodeDeliver(std::wstring_view sender, std::wstring_view text, const marvik::SmsTime& time,
                                       unsigned reference, bool wideReference)
{
    std::string address;
    if (!AppendAddress(address, sender))
        return {};
    const bool gsm7 = marvik::IsGsm7Text(text);
    const std::vector<std::wstring> parts = SplitForParts(text, wideReference);
    if (parts.size() > static_cast<size_t>(marvik::kMaxParts))
        return {};
    const bool concatenated = parts.size() > 1;

    std::vector<std::string> pdus;
    for (size_t k = 0; k < parts.size(); ++k) {
        std::string hex = "00";  // no service centre address: the modem's default
        AppendOctet(hex, kMtiDeliver | kMoreMessagesToSendNot | (concatenated ? kUdhi : 0));
        hex += address;
        AppendOctet(hex, 0x00);  // TP-PID
        AppendOctet(hex, gsm7 ? kDcsGsm7 : kDcsUcs2);
        AppendTime(hex, time);

        std::vector<uint8_t> header;
        if (concatenated) {
            if (wideReference)
                header = {0x08, 0x04, static_cast<uint8_t>(reference >> 8), static_cast<uint8_t>(reference)};
            else
                header = {0x00, 0x03, static_cast<uint8_t>(reference)};
            header.push_back(static_cast<uint8_t>(parts.size()));
            header.push_back(static_cast<uint8_t>(k + 1));
            header.insert(header.begin(), static_cast<uint8_t>(header.size()));  // UDHL
        }
        std::vector<uint8_t> body;
        unsigned length = 0;
        if (gsm7) {
            const std::vector<uint8_t> septets = marvik::Gsm7ToSeptets(parts[k]);
            // The septets start on a septet boundary after the header.
            const size_t headerBits = header.size() * 8;
            const int fillBits = static_cast<int>((7 - headerBits % 7) % 7);
            body = marvik::PackSeptets(septets, fillBits);
            length = static_cast<unsigned>((headerBits + fillBits) / 7 + septets.size());
        } else {
            for (const wchar_t unit : parts[k]) {
                body.push_back(static_cast<uint8_t>(unit >> 8));
                body.push_back(static_cast<uint8_t>(unit & 0xFF));
            }
            length = static_cast<unsigned>(header.size() + body.size());
        }
        AppendOctet(hex, length);  // TP-UDL: septets or octets, the header included
        for (const uint8_t octet : header)
            AppendOctet(hex, octet);
        for (const uint8_t octet : body)
            AppendOctet(hex, octet);
        pdus.push_back(std::move(hex));
    }
    return pdus;
}

}  // namespace modemsim
