#include "Gsm7.h"

#include <array>

namespace marvik {

namespace {

// 23.038 6.2.1: the character of each septet value. 0x1B is the escape to the
// extension table; it has no character of its own (a space where shown).
constexpr wchar_t kDefaultAlphabet[128] = {
    L'@',    L'\x00A3', L'$',    L'\x00A5', L'\x00E8', L'\x00E9', L'\x00F9', L'\x00EC',  // 0x00
    L'\x00F2', L'\x00C7', L'\n', L'\x00D8', L'\x00F8', L'\r',   L'\x00C5', L'\x00E5',    // 0x08
    L'\x0394', L'_',    L'\x03A6', L'\x0393', L'\x039B', L'\x03A9', L'\x03A0', L'\x03A8',  // 0x10
    L'\x03A3', L'\x0398', L'\x039E', L' ',  L'\x00C6', L'\x00E6', L'\x00DF', L'\x00C9',    // 0x18
    L' ',    L'!',    L'"',    L'#',    L'\x00A4', L'%',    L'&',    L'\'',                // 0x20
    L'(',    L')',    L'*',    L'+',    L',',    L'-',    L'.',    L'/',                   // 0x28
    L'0',    L'1',    L'2',    L'3',    L'4',    L'5',    L'6',    L'7',                   // 0x30
    L'8',    L'9',    L':',    L';',    L'<',    L'=',    L'>',    L'?',                   // 0x38
    L'\x00A1', L'A',  L'B',    L'C',    L'D',    L'E',    L'F',    L'G',                   // 0x40
    L'H',    L'I',    L'J',    L'K',    L'L',    L'M',    L'N',    L'O',                   // 0x48
    L'P',    L'Q',    L'R',    L'S',    L'T',    L'U',    L'V',    L'W',                   // 0x50
    L'X',    L'Y',    L'Z',    L'\x00C4', L'\x00D6', L'\x00D1', L'\x00DC', L'\x00A7',      // 0x58
    L'\x00BF', L'a',  L'b',    L'c',    L'd',    L'e',    L'f',    L'g',                   // 0x60
    L'h',    L'i',    L'j',    L'k',    L'l',    L'm',    L'n',    L'o',                   // 0x68
    L'p',    L'q',    L'r',    L's',    L't',    L'u',    L'v',    L'w',                   // 0x70
    L'x',    L'y',    L'z',    L'\x00E4', L'\x00F6', L'\x00F1', L'\x00FC', L'\x00E0',      // 0x78
};

// 23.038 6.2.1.1: the characters of the extension table, by their code
// after the escape.
struct ExtensionEntry {
    uint8_t code;
    wchar_t character;
};
constexpr ExtensionEntry kExtensionTable[] = {
    {0x0A, L'\f'}, {0x14, L'^'}, {0x28, L'{'}, {0x29, L'}'}, {0x2F, L'\\'},
    {0x3C, L'['},  {0x3D, L'~'}, {0x3E, L']'}, {0x40, L'|'}, {0x65, L'\x20AC'},
};
constexpr wchar_t kEuroSign = L'\x20AC';

// Reverse lookup for characters below kReverseLimit (the Greek capitals are
// the highest, at U+03A9) plus the euro sign: the septet value, with
// kExtensionFlag set for extension characters, or kNotGsm.
constexpr size_t kReverseLimit = 0x400;
constexpr uint16_t kNotGsm = 0xFFFF;
constexpr uint16_t kExtensionFlag = 0x100;

struct ReverseTable {
    std::array<uint16_t, kReverseLimit> value{};
    std::array<wchar_t, 128> extension{};  // the extension character of each code, or 0
    constexpr ReverseTable()
    {
        for (auto& v : value)
            v = kNotGsm;
        for (uint16_t septet = 0; septet < 128; ++septet)
            if (septet != kGsm7Escape)
                value[kDefaultAlphabet[septet]] = septet;
        for (const ExtensionEntry& entry : kExtensionTable) {
            extension[entry.code] = entry.character;
            if (static_cast<size_t>(entry.character) < kReverseLimit)
                value[entry.character] = kExtensionFlag | entry.code;
        }
    }
};
constexpr ReverseTable kReverse;
constexpr uint8_t kEuroCode = 0x65;

uint16_t Lookup(wchar_t c)
{
    if (static_cast<size_t>(c) < kReverseLimit)
        return kReverse.value[c];
    if (c == kEuroSign)
        return kExtensionFlag | kEuroCode;
    return kNotGsm;
}

}  // namespace

bool IsGsm7Text(std::wstring_view text)
{
    return Gsm7Septets(text) >= 0;
}

int Gsm7Septets(std::wstring_view text)
{
    int septets = 0;
    for (wchar_t c : text) {
        const uint16_t value = Lookup(c);
        if (value == kNotGsm)
            return -1;
        septets += (value & kExtensionFlag) ? 2 : 1;
    }
    return septets;
}

std::vector<uint8_t> Gsm7ToSeptets(std::wstring_view text)
{
    constexpr uint8_t kQuestionMark = 0x3F;
    std::vector<uint8_t> septets;
    septets.reserve(text.size());
    for (wchar_t c : text) {
        const uint16_t value = Lookup(c);
        if (value == kNotGsm) {
            septets.push_back(kQuestionMark);
        } else {
            if (value & kExtensionFlag)
                septets.push_back(kGsm7Escape);
            septets.push_back(static_cast<uint8_t>(value & 0x7F));
        }
    }
    return septets;
}

void AppendSeptetsAsText(const uint8_t* septets, size_t count, std::wstring& text)
{
    for (size_t i = 0; i < count; ++i) {
        const uint8_t septet = septets[i] & 0x7F;
        if (septet != kGsm7Escape) {
            text.push_back(kDefaultAlphabet[septet]);
            continue;
        }
        if (++i == count)
            break;  // a lone escape at the end: nothing to show
        const uint8_t code = septets[i] & 0x7F;
        const wchar_t extension = kReverse.extension[code];
        text.push_back(extension ? extension : kDefaultAlphabet[code]);
    }
}

std::wstring SeptetsToText(const std::vector<uint8_t>& septets)
{
    std::wstring text;
    text.reserve(septets.size());
    AppendSeptetsAsText(septets.data(), septets.size(), text);
    return text;
}

std::vector<uint8_t> PackSeptets(const std::vector<uint8_t>& septets, int fillBits)
{
    fillBits &= 7;
    std::vector<uint8_t> packed((static_cast<size_t>(fillBits) + septets.size() * 7 + 7) / 8, 0);
    size_t bit = static_cast<size_t>(fillBits);
    for (uint8_t septet : septets) {
        const unsigned value = septet & 0x7Fu;
        const size_t byte = bit / 8;
        const unsigned shift = bit % 8;
        packed[byte] = static_cast<uint8_t>(packed[byte] | (value << shift));
        if (shift > 1)  // the septet runs into the next octet
            packed[byte + 1] = static_cast<uint8_t>(value >> (8 - shift));
        bit += 7;
    }
    return packed;
}

size_t UnpackSeptetsInto(const uint8_t* data, size_t bytes, int fillBits, size_t septetCount, uint8_t* out)
{
    fillBits &= 7;
    const size_t available = data ? SeptetsInOctets(bytes, fillBits) : 0;
    const size_t count = septetCount < available ? septetCount : available;
    size_t bit = static_cast<size_t>(fillBits);
    for (size_t k = 0; k < count; ++k, bit += 7) {
        const size_t byte = bit / 8;
        const unsigned shift = bit % 8;
        unsigned value = data[byte] >> shift;
        if (shift > 1)  // the rest of it is in the next octet, which exists: bit + 7 <= bytes * 8
            value |= static_cast<unsigned>(data[byte + 1]) << (8 - shift);
        out[k] = static_cast<uint8_t>(value & 0x7F);
    }
    return count;
}

std::vector<uint8_t> UnpackSeptets(const uint8_t* data, size_t bytes, int fillBits, size_t septetCount)
{
    const size_t available = data ? SeptetsInOctets(bytes, fillBits & 7) : 0;
    std::vector<uint8_t> septets(septetCount < available ? septetCount : available);
    UnpackSeptetsInto(data, bytes, fillBits, septets.size(), septets.data());
    return septets;
}

}  // namespace marvik
