#include "Pdu.h"

#include "Gsm7.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace marvik {

namespace {

// TP-MTI, the message type in the first octet's two low bits (23.040 9.2.3.1).
constexpr uint8_t kMtiMask = 0x03;
constexpr uint8_t kMtiDeliver = 0x00;
constexpr uint8_t kMtiSubmit = 0x01;
constexpr uint8_t kMtiStatusReport = 0x02;  // 0x03 is reserved and read as a DELIVER (9.2.3.1)
constexpr uint8_t kUdhiBit = 0x40;           // TP-UDHI: the user data starts with a header
// TP-VPF of an SMS-SUBMIT, bits 4..3 (9.2.3.3).
constexpr int kVpfShift = 3;
constexpr uint8_t kVpfNone = 0, kVpfEnhanced = 1, kVpfRelative = 2, kVpfAbsolute = 3;
constexpr size_t kTimeStampOctets = 7;

// Type of address: bit 7 set, type of number in bits 6..4 (9.1.2.5).
constexpr uint8_t kTonMask = 0x70;
constexpr uint8_t kTonInternational = 0x10;
constexpr uint8_t kTonAlphanumeric = 0x50;
constexpr uint8_t kToaInternationalIsdn = 0x91;
constexpr uint8_t kToaUnknownIsdn = 0x81;
constexpr int kMaxAddressDigits = 20;   // an address field is at most 12 octets (9.1.2.5)
constexpr uint8_t kMaxSmscOctets = 11;  // the service centre address: type and 10 octets of digits

// The user data holds at most 140 octets: 160 septets (9.2.3.16).
constexpr int kMaxUserDataOctets = 140;
constexpr int kMaxUserDataSeptets = 160;

// Concatenation information elements of the user data header (9.2.3.24.1, .8).
constexpr uint8_t kIeConcat8 = 0x00;
constexpr uint8_t kIeConcat16 = 0x08;

enum class Alphabet { Gsm7, EightBit, Ucs2 };

struct Coding {
    Alphabet alphabet = Alphabet::Gsm7;
    bool compressed = false;
};

// TP-DCS of a short message (23.038 4). Reserved codings read as GSM 7-bit.
Coding SmsCoding(uint8_t dcs)
{
    Coding coding;
    const uint8_t group = dcs >> 4;
    if (group <= 0x7) {  // general data coding, with or without automatic deletion
        coding.compressed = (dcs & 0x20) != 0;
        const uint8_t alphabet = (dcs >> 2) & 0x03;
        coding.alphabet = alphabet == 1 ? Alphabet::EightBit : alphabet == 2 ? Alphabet::Ucs2 : Alphabet::Gsm7;
    } else if (group == 0xE) {  // message waiting indication, store message, UCS2
        coding.alphabet = Alphabet::Ucs2;
    } else if (group == 0xF) {  // data coding / message class
        coding.alphabet = (dcs & 0x04) ? Alphabet::EightBit : Alphabet::Gsm7;
    }
    return coding;
}

// The value of each hex digit, -1 for any other character.
struct HexTable {
    int8_t value[256];
    constexpr HexTable() : value()
    {
        for (int c = 0; c < 256; ++c)
            value[c] = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10
                     : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    }
};
constexpr HexTable kHexTable;

int HexDigit(char c)
{
    return kHexTable.value[static_cast<uint8_t>(c)];
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool IsHexText(std::string_view text)
{
    for (char c : text)
        if (HexDigit(c) < 0)
            return false;
    return true;
}

std::string Format(const char* format, long long a, long long b = 0)
{
    char text[128];
    std::snprintf(text, sizeof(text), format, a, b);
    return text;
}

// Reads octets in order and says when the data ends first.
class OctetReader {
public:
    OctetReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    size_t Left() const { return size_ - at_; }
    const uint8_t* Here() const { return data_ + at_; }
    bool Take(uint8_t& value)
    {
        if (at_ >= size_)
            return false;
        value = data_[at_++];
        return true;
    }
    bool Skip(size_t count)
    {
        if (count > Left())
            return false;
        at_ += count;
        return true;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

wchar_t SemiOctetDigit(uint8_t nibble)
{
    // 23.040 9.1.2.3: 0-9, then '*', '#', 'a', 'b', 'c'; 0xF fills an odd count.
    static constexpr wchar_t kDigits[] = L"0123456789*#abc";
    return kDigits[nibble];
}

// An address field: its length in semi-octets, its type and its digits, or
// packed GSM 7-bit for an alphanumeric address.
bool ReadAddress(OctetReader& reader, const char* what, std::wstring& address, std::string& why)
{
    uint8_t digits = 0, type = 0;
    if (!reader.Take(digits) || !reader.Take(type)) {
        why = std::string("the PDU ends in the ") + what;
        return false;
    }
    if (digits > kMaxAddressDigits) {
        why = std::string("the ") + what + Format(" claims %lld digits (at most 20)", digits);
        return false;
    }
    const size_t octets = (digits + 1u) / 2u;
    const uint8_t* value = reader.Here();
    if (!reader.Skip(octets)) {
        why = std::string("the ") + what + " runs past the end of the PDU";
        return false;
    }
    address.clear();
    if ((type & kTonMask) == kTonAlphanumeric) {
        uint8_t septets[kMaxAddressDigits * 4 / 7];
        size_t count = UnpackSeptetsInto(value, octets, 0, digits * 4u / 7u, septets);
        // A length that counts whole octets where 7 bits were spare (14 semi-octets for 7
        // letters) leaves zero bits that read as a trailing '@': padding, not a letter.
        if (count > 0 && count * 7 == digits * 4u && septets[count - 1] == 0)
            --count;
        AppendSeptetsAsText(septets, count, address);
        return true;
    }
    if ((type & kTonMask) == kTonInternational && digits > 0)
        address.push_back(L'+');
    for (size_t i = 0; i < digits; ++i) {
        const uint8_t nibble = (i % 2 == 0) ? (value[i / 2] & 0x0F) : (value[i / 2] >> 4);
        if (nibble != 0x0F)
            address.push_back(SemiOctetDigit(nibble));
    }
    return true;
}

// Two semi-octets, the low one first (23.040 9.2.3.11); -1 when not decimal.
int SwappedBcd(uint8_t octet)
{
    const int tens = octet & 0x0F, units = octet >> 4;
    return tens <= 9 && units <= 9 ? tens * 10 + units : -1;
}

// The service centre time stamp; an unreadable one leaves time all zero
// rather than losing the message.
SmsTime ReadTimeStamp(const uint8_t* octets)
{
    SmsTime time;
    int fields[6];
    for (int i = 0; i < 6; ++i)
        fields[i] = SwappedBcd(octets[i]);
    // The zone: bit 3 of the first semi-octet is its sign.
    const uint8_t zone = octets[6];
    const int zoneTens = zone & 0x07, zoneUnits = zone >> 4;
    const bool valid = fields[0] >= 0 && fields[1] >= 1 && fields[1] <= 12 && fields[2] >= 1 && fields[2] <= 31 &&
                       fields[3] >= 0 && fields[3] <= 23 && fields[4] >= 0 && fields[4] <= 59 && fields[5] >= 0 &&
                       fields[5] <= 59 && zoneUnits <= 9;
    if (!valid)
        return time;
    constexpr int kCentury = 2000;  // two-digit years; stored messages are from this century
    time.year = kCentury + fields[0];
    time.month = fields[1];
    time.day = fields[2];
    time.hour = fields[3];
    time.minute = fields[4];
    time.second = fields[5];
    const int quarters = zoneTens * 10 + zoneUnits;
    time.zoneQuarterHours = (zone & 0x08) ? -quarters : quarters;
    return time;
}

// The user data header's concatenation element, if any; other elements are
// skipped. A header whose elements run past it is broken.
bool ReadHeader(const uint8_t* header, size_t length, DeliverPdu& out, std::string& why)
{
    size_t at = 0;
    while (at < length) {
        if (length - at < 2) {
            why = "the user data header ends inside an element";
            return false;
        }
        const uint8_t id = header[at], size = header[at + 1];
        const uint8_t* value = header + at + 2;
        if (size > length - at - 2) {
            why = Format("user data header element %lld runs past the header", id);
            return false;
        }
        // A count of 0 or a number outside 1..count means the element is to be ignored (9.2.3.24.1).
        if (id == kIeConcat8 && size == 3 && value[1] != 0 && value[2] != 0 && value[2] <= value[1]) {
            out.concatenated = true;
            out.reference = value[0];
            out.partsTotal = value[1];
            out.partNumber = value[2];
        } else if (id == kIeConcat16 && size == 4 && value[2] != 0 && value[3] != 0 && value[3] <= value[2]) {
            out.concatenated = true;
            out.reference = (unsigned(value[0]) << 8) | value[1];
            out.partsTotal = value[2];
            out.partNumber = value[3];
        }
        at += 2u + size;
    }
    return true;
}

void AppendUcs2(const uint8_t* data, size_t octets, std::wstring& text)
{
    for (size_t i = 0; i + 1 < octets; i += 2)
        text.push_back(static_cast<wchar_t>((data[i] << 8) | data[i + 1]));
}

// The user data: its length (septets or octets), the header and the text.
bool ReadUserData(OctetReader& reader, uint8_t firstOctet, Coding coding, DeliverPdu& out, std::string& why)
{
    uint8_t length = 0;
    if (!reader.Take(length)) {
        why = "the PDU ends before the user data length";
        return false;
    }
    const bool septets = coding.alphabet == Alphabet::Gsm7;
    if (septets ? length > kMaxUserDataSeptets : length > kMaxUserDataOctets) {
        why = Format(septets ? "the user data length %lld is more than 160 septets"
                             : "the user data length %lld is more than 140 octets", length);
        return false;
    }
    const size_t octets = septets ? (length * 7u + 7u) / 8u : length;
    if (octets > reader.Left()) {
        why = Format("the user data length says %lld octets, %lld follow", static_cast<long long>(octets),
                     static_cast<long long>(reader.Left()));
        return false;
    }
    const uint8_t* data = reader.Here();
    size_t headerOctets = 0;
    if ((firstOctet & kUdhiBit) && octets > 0) {
        headerOctets = 1u + data[0];
        if (headerOctets > octets) {
            why = Format("the user data header of %lld octets is longer than the user data (%lld)",
                         static_cast<long long>(headerOctets), static_cast<long long>(octets));
            return false;
        }
        if (!ReadHeader(data + 1, headerOctets - 1, out, why))
            return false;
    }
    out.text.clear();
    if (septets) {
        // The text starts at the septet boundary after the header (fill bits between).
        const size_t headerSeptets = (headerOctets * 8 + 6) / 7;
        if (headerSeptets > length) {
            why = "the user data header is longer than the user data length";
            return false;
        }
        const int fillBits = static_cast<int>(headerSeptets * 7 - headerOctets * 8);
        const size_t count = length - headerSeptets;
        uint8_t text[kMaxUserDataSeptets];
        const size_t unpacked = UnpackSeptetsInto(data + headerOctets, octets - headerOctets, fillBits, count, text);
        out.text.reserve(unpacked);
        AppendSeptetsAsText(text, unpacked, out.text);
    } else if (coding.alphabet == Alphabet::Ucs2) {
        out.text.reserve((octets - headerOctets) / 2);
        AppendUcs2(data + headerOctets, octets - headerOctets, out.text);
    } else {
        out.text.assign(data + headerOctets, data + octets);  // each octet as the character of its code
    }
    return true;
}

}  // namespace

bool operator==(const SmsTime& a, const SmsTime& b)
{
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour && a.minute == b.minute &&
           a.second == b.second && a.zoneQuarterHours == b.zoneQuarterHours;
}

long long MinutesUtc(const SmsTime& time)
{
    // Days from 2000-01-01 by the civil calendar (March-based years).
    const int y = time.year - (time.month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yearOfEra = y - era * 400;
    const int monthFromMarch = (time.month + 9) % 12;
    const int dayOfYear = (153 * monthFromMarch + 2) / 5 + time.day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    constexpr long long kDaysTo2000 = 730425;  // 0000-03-01 to 2000-01-01
    const long long days = static_cast<long long>(era) * 146097 + dayOfEra - kDaysTo2000;
    return days * 1440 + time.hour * 60 + time.minute - time.zoneQuarterHours * 15;
}

bool DecodeDeliver(std::string_view hex, DeliverPdu& out, std::string& why, int tpduLength)
{
    // Field by field, so that a reused record keeps its strings' room.
    out.sender.clear();
    out.text.clear();
    out.time = SmsTime{};
    out.dataCoding = 0;
    out.outgoing = out.concatenated = false;
    out.reference = 0;
    out.partsTotal = out.partNumber = 1;
    hex = TrimBlanks(hex);
    if (hex.empty()) {
        why = "the PDU is empty";
        return false;
    }
    if (hex.size() % 2 != 0) {
        why = Format("the PDU has an odd number of hex digits (%lld)", static_cast<long long>(hex.size()));
        return false;
    }
    if (hex.size() > kMaxPduOctets * 2) {
        why = Format("the PDU is %lld hex digits, longer than any short message",
                     static_cast<long long>(hex.size()));
        return false;
    }
    std::array<uint8_t, kMaxPduOctets> octets;
    const size_t size = hex.size() / 2;
    for (size_t i = 0; i < size; ++i) {
        const int high = HexDigit(hex[2 * i]), low = HexDigit(hex[2 * i + 1]);
        if (high < 0 || low < 0) {
            why = Format("the PDU has a character that is not a hex digit at %lld",
                         static_cast<long long>(high < 0 ? 2 * i : 2 * i + 1));
            return false;
        }
        octets[i] = static_cast<uint8_t>(high << 4 | low);
    }

    OctetReader reader(octets.data(), size);
    // The listed length counts the octets after the service centre address;
    // a PDU of just that length has none.
    bool withServiceCentre = true;
    if (tpduLength >= 0) {
        const size_t listed = static_cast<size_t>(tpduLength);
        if (listed == size) {
            withServiceCentre = false;
        } else if (listed > size || octets[0] + 1u + listed != size) {
            why = Format("the listed length %lld does not match the PDU's %lld octets", tpduLength,
                         static_cast<long long>(size));
            return false;
        }
    }
    uint8_t smscLength = 0;
    if (withServiceCentre) {
        reader.Take(smscLength);
        if (smscLength > kMaxSmscOctets || !reader.Skip(smscLength)) {
            why = Format("the service centre address claims %lld octets", smscLength);
            return false;
        }
    }
    uint8_t first = 0;
    if (!reader.Take(first)) {
        why = "the PDU ends after the service centre address";
        return false;
    }
    const uint8_t type = first & kMtiMask;
    if (type == kMtiStatusReport) {
        why = "the PDU is a status report, not a message";
        return false;
    }
    out.outgoing = type == kMtiSubmit;
    if (out.outgoing && !reader.Skip(1)) {  // TP-MR, the message reference
        why = "the PDU ends before the message reference";
        return false;
    }
    if (!ReadAddress(reader, out.outgoing ? "recipient's address" : "sender's address", out.sender, why))
        return false;
    uint8_t protocol = 0, dcs = 0;
    if (!reader.Take(protocol) || !reader.Take(dcs)) {
        why = "the PDU ends before the data coding scheme";
        return false;
    }
    out.dataCoding = dcs;
    if (!out.outgoing) {
        if (reader.Left() < kTimeStampOctets) {
            why = "the PDU ends in the time stamp";
            return false;
        }
        out.time = ReadTimeStamp(reader.Here());
        reader.Skip(kTimeStampOctets);
    } else {
        const uint8_t vpf = (first >> kVpfShift) & 0x03;
        const size_t validity = vpf == kVpfRelative ? 1 : (vpf == kVpfEnhanced || vpf == kVpfAbsolute) ? 7 : 0;
        static_assert(kVpfNone == 0);
        if (!reader.Skip(validity)) {
            why = "the PDU ends in the validity period";
            return false;
        }
    }
    const Coding coding = SmsCoding(dcs);
    if (coding.compressed) {
        why = Format("the message is compressed (data coding 0x%02llX), which is not supported", dcs);
        return false;
    }
    return ReadUserData(reader, first, coding, out, why);
}

// ---- SMS-SUBMIT ----

namespace {

constexpr uint8_t kSubmitFirstOctet = kMtiSubmit | (kVpfRelative << kVpfShift);
constexpr uint8_t kValidityOneWeek = 0xAD;  // relative: (173 - 166) days (9.2.3.12.1)
constexpr uint8_t kDcsGsm7 = 0x00;
constexpr uint8_t kDcsUcs2 = 0x08;
constexpr int kSingleSeptets = 160, kPartSeptets = 153;  // 153: 160 less the 7 septets of the header
constexpr int kSingleUnits = 70, kPartUnits = 67;         // 67: 140 octets less the 6 of the header
constexpr uint8_t kConcatHeader[] = {0x05, kIeConcat8, 0x03};  // UDHL, IEI, IEL; then ref, count, number
constexpr size_t kConcatHeaderOctets = 6;
constexpr wchar_t kReplacementCharacter = L'\xFFFD';

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The character ranges of the parts the text is sent in.
struct Part {
    size_t begin, end;
};

std::vector<Part> PlanParts(std::wstring_view text, SmsAlphabet alphabet)
{
    const bool gsm = alphabet == SmsAlphabet::Gsm7;
    const int single = gsm ? kSingleSeptets : kSingleUnits;
    const int limit = gsm ? kPartSeptets : kPartUnits;
    const int total = gsm ? Gsm7Septets(text) : static_cast<int>(text.size());
    if (total <= single)
        return {{0, text.size()}};
    std::vector<Part> parts;
    size_t begin = 0;
    int used = 0;
    for (size_t i = 0; i < text.size();) {
        // The unit of splitting: a character with its escape, or a surrogate pair.
        size_t length = 1;
        int cost = 1;
        if (gsm)
            cost = Gsm7Septets(text.substr(i, 1));
        else if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]))
            length = cost = 2;
        if (used + cost > limit) {
            parts.push_back({begin, i});
            begin = i;
            used = 0;
        }
        used += cost;
        i += length;
    }
    parts.push_back({begin, text.size()});
    return parts;
}

SmsAlphabet AlphabetFor(std::wstring_view text)
{
    return IsGsm7Text(text) ? SmsAlphabet::Gsm7 : SmsAlphabet::Ucs2;
}

// The destination address field: length in digits, type, swapped BCD.
bool EncodeAddress(std::wstring_view number, std::vector<uint8_t>& out)
{
    std::vector<uint8_t> digits;
    bool international = false;
    for (size_t i = 0; i < number.size(); ++i) {
        const wchar_t c = number[i];
        if (c >= L'0' && c <= L'9')
            digits.push_back(static_cast<uint8_t>(c - L'0'));
        else if (c == L'*')
            digits.push_back(0x0A);
        else if (c == L'#')
            digits.push_back(0x0B);
        else if (c == L'+' && digits.empty() && !international)
            international = true;
        else if (c != L' ' && c != L'-' && c != L'.' && c != L'(' && c != L')')
            return false;
    }
    if (digits.empty() || digits.size() > kMaxAddressDigits)
        return false;
    out.push_back(static_cast<uint8_t>(digits.size()));
    out.push_back(international ? kToaInternationalIsdn : kToaUnknownIsdn);
    for (size_t i = 0; i < digits.size(); i += 2) {
        const uint8_t high = i + 1 < digits.size() ? digits[i + 1] : 0x0F;
        out.push_back(static_cast<uint8_t>(high << 4 | digits[i]));
    }
    return true;
}

std::string ToHex(const std::vector<uint8_t>& octets)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(octets.size() * 2);
    for (uint8_t octet : octets) {
        hex.push_back(kHex[octet >> 4]);
        hex.push_back(kHex[octet & 0x0F]);
    }
    return hex;
}

}  // namespace

std::vector<SubmitPdu> EncodeSubmit(std::wstring_view number, std::wstring_view text, uint8_t reference)
{
    std::vector<uint8_t> address;
    if (!EncodeAddress(number, address))
        return {};
    const SmsAlphabet alphabet = AlphabetFor(text);
    const std::vector<Part> plan = PlanParts(text, alphabet);
    if (plan.size() > static_cast<size_t>(kMaxParts))
        return {};
    const bool concatenated = plan.size() > 1;

    std::vector<SubmitPdu> parts;
    parts.reserve(plan.size());
    for (size_t p = 0; p < plan.size(); ++p) {
        const std::wstring_view piece = text.substr(plan[p].begin, plan[p].end - plan[p].begin);
        std::vector<uint8_t> header;
        if (concatenated) {
            header.assign(std::begin(kConcatHeader), std::end(kConcatHeader));
            header.push_back(reference);
            header.push_back(static_cast<uint8_t>(plan.size()));
            header.push_back(static_cast<uint8_t>(p + 1));
        }
        std::vector<uint8_t> tpdu;
        tpdu.push_back(static_cast<uint8_t>(kSubmitFirstOctet | (concatenated ? kUdhiBit : 0)));
        tpdu.push_back(0);  // TP-MR: the modem sets the message reference
        tpdu.insert(tpdu.end(), address.begin(), address.end());
        tpdu.push_back(0);  // TP-PID: plain short message
        tpdu.push_back(alphabet == SmsAlphabet::Gsm7 ? kDcsGsm7 : kDcsUcs2);
        tpdu.push_back(kValidityOneWeek);
        if (alphabet == SmsAlphabet::Gsm7) {
            // The text starts on the septet boundary after the header.
            const int fillBits = static_cast<int>((7 - header.size() * 8 % 7) % 7);
            const size_t headerSeptets = (header.size() * 8 + static_cast<size_t>(fillBits)) / 7;
            const std::vector<uint8_t> septets = Gsm7ToSeptets(piece);
            const std::vector<uint8_t> packed = PackSeptets(septets, fillBits);
            tpdu.push_back(static_cast<uint8_t>(headerSeptets + septets.size()));
            tpdu.insert(tpdu.end(), header.begin(), header.end());
            // The header takes the first octets whole; the text's first octet holds the fill bits.
            tpdu.insert(tpdu.end(), packed.begin(), packed.end());
        } else {
            tpdu.push_back(static_cast<uint8_t>(header.size() + piece.size() * 2));
            tpdu.insert(tpdu.end(), header.begin(), header.end());
            for (size_t i = 0; i < piece.size(); ++i) {
                wchar_t unit = piece[i];
                // A lone surrogate is no character: send the replacement character instead.
                const bool paired = IsHighSurrogate(unit) ? i + 1 < piece.size() && IsLowSurrogate(piece[i + 1])
                                  : IsLowSurrogate(unit)  ? i > 0 && IsHighSurrogate(piece[i - 1])
                                                          : true;
                if (!paired)
                    unit = kReplacementCharacter;
                tpdu.push_back(static_cast<uint8_t>(unit >> 8));
                tpdu.push_back(static_cast<uint8_t>(unit & 0xFF));
            }
        }
        SubmitPdu part;
        part.tpduLength = static_cast<int>(tpdu.size());
        part.hex = "00" + ToHex(tpdu);  // no service centre address: the modem's own
        parts.push_back(std::move(part));
    }
    return parts;
}

int CountParts(std::wstring_view text)
{
    return static_cast<int>(PlanParts(text, AlphabetFor(text)).size());
}

void ReplaceLoneSurrogates(std::wstring& text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]))
            ++i;
        else if (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i]))
            text[i] = kReplacementCharacter;
    }
}

// ---- USSD ----

namespace {

constexpr size_t kMaxUssdSeptets = 182;  // 160 octets (27.007 +CUSD, 23.038 6.1.2.3)
constexpr uint8_t kCarriageReturn = 0x0D;

struct UssdCoding {
    Alphabet alphabet = Alphabet::Gsm7;
    size_t skipSeptets = 0;  // a language indication in front of 7-bit text
    size_t skipOctets = 0;   // or in front of UCS2
};

// The cell broadcast / USSD data coding scheme (23.038 5). Reserved codings
// read as GSM 7-bit.
UssdCoding CodingOfUssd(int dcs)
{
    UssdCoding coding;
    if (dcs < 0 || dcs > 0xFF)
        return coding;
    const int group = dcs >> 4;
    if (dcs == 0x10) {
        coding.skipSeptets = 3;  // two letters of language and a CR
    } else if (dcs == 0x11) {
        coding.alphabet = Alphabet::Ucs2;
        coding.skipOctets = 2;  // two 7-bit letters of language padded to two octets
    } else if ((group >= 0x4 && group <= 0x7) || group == 0x9) {
        const int alphabet = (dcs >> 2) & 0x03;
        coding.alphabet = alphabet == 1 ? Alphabet::EightBit : alphabet == 2 ? Alphabet::Ucs2 : Alphabet::Gsm7;
    } else if (group == 0xF) {
        coding.alphabet = (dcs & 0x04) ? Alphabet::EightBit : Alphabet::Gsm7;
    }
    return coding;
}

std::vector<uint8_t> FromHex(std::string_view hex)
{
    std::vector<uint8_t> octets(hex.size() / 2);
    for (size_t i = 0; i < octets.size(); ++i)
        octets[i] = static_cast<uint8_t>(HexDigit(hex[2 * i]) << 4 | HexDigit(hex[2 * i + 1]));
    return octets;
}

std::wstring Widen(std::string_view text)
{
    return std::wstring(text.begin(), text.end());  // the modem's text: ASCII, each octet its own code
}

}  // namespace

std::wstring DecodeUssd(std::string_view str, int dcs)
{
    const UssdCoding coding = CodingOfUssd(dcs);
    const size_t unit = coding.alphabet == Alphabet::Ucs2 ? 4 : 2;
    if (str.empty() || str.size() % unit != 0 || !IsHexText(str))
        return Widen(str);
    const std::vector<uint8_t> octets = FromHex(str);
    std::wstring text;
    if (coding.alphabet == Alphabet::Gsm7) {
        std::vector<uint8_t> septets = UnpackSeptets(octets.data(), octets.size(), 0, SIZE_MAX);
        // 7 spare bits at the end hold a CR (23.038 6.1.2.3.1): it is padding, not text.
        if (!septets.empty() && septets.size() % 8 == 0 && septets.back() == kCarriageReturn)
            septets.pop_back();
        const size_t skip = coding.skipSeptets < septets.size() ? coding.skipSeptets : septets.size();
        AppendSeptetsAsText(septets.data() + skip, septets.size() - skip, text);
    } else if (coding.alphabet == Alphabet::Ucs2) {
        const size_t skip = coding.skipOctets < octets.size() ? coding.skipOctets : octets.size();
        AppendUcs2(octets.data() + skip, octets.size() - skip, text);
        ReplaceLoneSurrogates(text);
    } else {
        text.assign(octets.begin(), octets.end());
    }
    return text;
}

std::string EncodeUssdRequest(std::wstring_view code)
{
    const int length = Gsm7Septets(code);
    if (length < 0 || static_cast<size_t>(length) > kMaxUssdSeptets)
        return {};
    std::vector<uint8_t> septets = Gsm7ToSeptets(code);
    // 7 spare bits would read as '@': fill them with CR, and add one more CR
    // after a CR that ends on an octet boundary so that it is not taken for
    // padding (23.038 6.1.2.3.1).
    if (septets.size() % 8 == 7 || (!septets.empty() && septets.size() % 8 == 0 && septets.back() == kCarriageReturn))
        septets.push_back(kCarriageReturn);
    return ToHex(PackSeptets(septets, 0));
}

}  // namespace marvik
