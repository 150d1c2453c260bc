// The GSM 7-bit default alphabet (3GPP TS 23.038 6.2.1) and its extension
// table (6.2.1.1), and the packing of 7-bit septets into octets.
//
// Texts are UTF-16 (std::wstring, 16-bit wchar_t). A septet list holds one
// value 0..127 per septet; an extension character is two septets, the
// escape 0x1B and its code in the extension table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace marvik {

// Which alphabet a text needs and how long it is in that alphabet.
enum class SmsAlphabet { Gsm7, Ucs2 };

constexpr uint8_t kGsm7Escape = 0x1B;

// True when every character is in the default alphabet or its extension table.
bool IsGsm7Text(std::wstring_view text);

// Septets the text takes, extension characters counting 2; -1 when the text
// is not GSM 7-bit text.
int Gsm7Septets(std::wstring_view text);

// The text as unpacked septets (escape + code for extension characters). A
// character outside both tables becomes '?' (callers test IsGsm7Text first).
std::vector<uint8_t> Gsm7ToSeptets(std::wstring_view text);

// Septets back to text. An escape followed by a code the extension table
// does not define shows the default alphabet's character for that code, an
// escape followed by another escape shows a space (23.038 6.2.1.1), and a
// lone escape at the end shows nothing. Values above 127 are taken modulo 128.
std::wstring SeptetsToText(const std::vector<uint8_t>& septets);
// The same, appending to text (the decoder's hot path: no temporary string).
void AppendSeptetsAsText(const uint8_t* septets, size_t count, std::wstring& text);

// Packs septets low bit first, the first one starting fillBits (0..6) bits
// into the first octet; the fill bits and the unused top bits are 0.
std::vector<uint8_t> PackSeptets(const std::vector<uint8_t>& septets, int fillBits);

// Unpacks up to septetCount septets from bytes octets, the first starting
// fillBits (0..6) bits in. Gives fewer septets when the data ends first; never
// reads past data + bytes.
std::vector<uint8_t> UnpackSeptets(const uint8_t* data, size_t bytes, int fillBits, size_t septetCount);
// The same into out, which has room for septetCount septets; gives the count written.
size_t UnpackSeptetsInto(const uint8_t* data, size_t bytes, int fillBits, size_t septetCount, uint8_t* out);

// Septets that fit in the given number of bits after fillBits (for callers
// that check a septet count against the octets present).
constexpr size_t SeptetsInOctets(size_t bytes, int fillBits)
{
    return bytes * 8 > static_cast<size_t>(fillBits) ? (bytes * 8 - static_cast<size_t>(fillBits)) / 7 : 0;
}

}  // namespace marvik
