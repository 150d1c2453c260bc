// Decoding a full modem's worth of stored messages: 10,000 SMS-DELIVER PDUs
// (GSM 7-bit, UCS2, and parts of concatenated messages in both), against a
// plain hex-to-octets pass over the same PDUs, the least any decoder does.
// Then the same decode with the parts joined into messages, as a listing does.
#include "bench/BenchSupport.h"

#include "marvik/Gsm7.h"
#include "marvik/MessageJoin.h"
#include "marvik/Pdu.h"

#include <cstdio>
#include <string>
#include <vector>

using namespace kivra::bench;
using namespace marvik;

namespace {

constexpr int kPduCount = 10000;

void AppendHex(std::string& hex, const std::vector<uint8_t>& octets)
{
    static const char digits[] = "0123456789ABCDEF";
    for (uint8_t octet : octets) {
        hex += digits[octet >> 4];
        hex += digits[octet & 15];
    }
}

std::vector<uint8_t> Ucs2(const std::wstring& text)
{
    std::vector<uint8_t> octets;
    for (wchar_t unit : text) {
        octets.push_back(static_cast<uint8_t>(unit >> 8));
        octets.push_back(static_cast<uint8_t>(unit & 0xFF));
    }
    return octets;
}

// One SMS-DELIVER as a modem lists it: service centre, sender, time stamp,
// user data (with a concatenation header when header is not empty).
std::string Deliver(const std::vector<uint8_t>& sender, bool ucs2, const std::vector<uint8_t>& header,
                    const std::wstring& text)
{
    std::vector<uint8_t> pdu = {0x07, 0x91, 0x74, 0x49, 0x00, 0x00, 0x00, 0xF0};  // service centre
    pdu.push_back(header.empty() ? 0x04 : 0x44);
    pdu.insert(pdu.end(), sender.begin(), sender.end());
    pdu.push_back(0x00);
    pdu.push_back(ucs2 ? 0x08 : 0x00);
    const uint8_t stamp[] = {0x62, 0x21, 0x90, 0x31, 0x54, 0x03, 0x40};
    pdu.insert(pdu.end(), std::begin(stamp), std::end(stamp));
    if (ucs2) {
        const std::vector<uint8_t> data = Ucs2(text);
        pdu.push_back(static_cast<uint8_t>(header.size() + data.size()));
        pdu.insert(pdu.end(), header.begin(), header.end());
        pdu.insert(pdu.end(), data.begin(), data.end());
    } else {
        const int fill = static_cast<int>((7 - header.size() * 8 % 7) % 7);
        const std::vector<uint8_t> septets = Gsm7ToSeptets(text);
        const std::vector<uint8_t> packed = PackSeptets(septets, fill);
        pdu.push_back(static_cast<uint8_t>((header.size() * 8 + fill) / 7 + septets.size()));
        pdu.insert(pdu.end(), header.begin(), header.end());
        pdu.insert(pdu.end(), packed.begin(), packed.end());
    }
    std::string hex;
    AppendHex(hex, pdu);
    return hex;
}

std::wstring Cut(const std::wstring& text, size_t length)
{
    std::wstring cut;
    while (cut.size() < length)
        cut += text;
    cut.resize(length);
    return cut;
}

// The mix: four in ten single 7-bit messages, two in ten single UCS2, and
// the rest full parts of concatenated messages (7-bit with 8-bit references,
// UCS2 with 16-bit references), from international and alphanumeric senders.
std::vector<std::string> StoredPdus()
{
    const std::vector<uint8_t> international = {0x0B, 0x91, 0x74, 0x21, 0x43, 0x65, 0x87, 0xF9};
    const std::vector<uint8_t> alphanumeric = {0x0E, 0xD0, 0xD6, 0x37, 0x39, 0x6C, 0x7E, 0xBB, 0xCB};
    const std::wstring latin = L"Your order 12345 is on its way; questions? Call us \x20AC 0,00 [free] ";
    const std::wstring cyrillic = L"\x0412\x0430\x0448 \x0437\x0430\x043A\x0430\x0437 \x0432 \x043F\x0443\x0442"
                                  L"\x0438 \xD83D\xDE9A ";
    std::vector<std::string> pdus;
    pdus.reserve(kPduCount);
    for (int i = 0; i < kPduCount; ++i) {
        const std::vector<uint8_t>& sender = i % 2 ? international : alphanumeric;
        const uint8_t part = static_cast<uint8_t>(1 + i % 2);
        switch (i % 10) {
        case 0: case 1: case 2: case 3:
            pdus.push_back(Deliver(sender, false, {}, Cut(latin, 120)));
            break;
        case 4: case 5:
            pdus.push_back(Deliver(sender, true, {}, Cut(cyrillic, 60)));
            break;
        case 6: case 7:
            pdus.push_back(Deliver(international, false, {0x05, 0x00, 0x03, static_cast<uint8_t>(i / 10), 2, part},
                                   Cut(latin, 140)));
            break;
        default:
            pdus.push_back(Deliver(international, true,
                                   {0x06, 0x08, 0x04, static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i / 10), 2,
                                    part},
                                   Cut(cyrillic, 66)));  // 140 octets less the 7 of a 16-bit header
            break;
        }
    }
    return pdus;
}

volatile size_t g_sink = 0;

double HexToOctetsMs(const std::vector<std::string>& pdus)
{
    const double start = NowNs();
    std::vector<uint8_t> octets;
    size_t sum = 0;
    for (const std::string& hex : pdus) {
        octets.clear();
        for (size_t i = 0; i + 1 < hex.size(); i += 2) {
            const auto digit = [](char c) { return c <= '9' ? c - '0' : (c & 0x0F) + 9; };
            octets.push_back(static_cast<uint8_t>(digit(hex[i]) << 4 | digit(hex[i + 1])));
        }
        sum += octets.back();
    }
    g_sink = g_sink + sum;
    return (NowNs() - start) / 1e6;
}

double DecodeMs(const std::vector<std::string>& pdus, bool join)
{
    const double start = NowNs();
    std::vector<StoredPart> parts(pdus.size());
    std::string why;
    size_t decoded = 0;
    for (size_t i = 0; i < pdus.size(); ++i) {
        parts[i].index = static_cast<int>(i);
        decoded += DecodeDeliver(pdus[i], parts[i].pdu, why) ? 1 : 0;
    }
    if (join)
        decoded += JoinParts(std::move(parts)).size();
    g_sink = g_sink + decoded;
    return (NowNs() - start) / 1e6;
}

}  // namespace

int main()
{
    const int runs = RunsFromEnvironment(15);
    const std::vector<std::string> pdus = StoredPdus();

    // Every PDU must decode, or the figure would time the refusals.
    std::vector<StoredPart> check(pdus.size());
    std::string why;
    for (size_t i = 0; i < pdus.size(); ++i)
        if (!DecodeDeliver(pdus[i], check[i].pdu, why)) {
            std::printf("bench PDU %u does not decode: %s\n", static_cast<unsigned>(i), why.c_str());
            return 1;
        }

    Cases cases;
    cases.Add("hex", [&] { return HexToOctetsMs(pdus); });
    cases.Add("decode", [&] { return DecodeMs(pdus, false); });
    cases.Add("decode+join", [&] { return DecodeMs(pdus, true); });
    cases.Run(runs);
    Report("decode 10,000 stored PDUs", cases.Of("decode"), "hex to octets, same PDUs", cases.Of("hex"), "ms",
           Target::AtMost, 50);
    Report("decode and join 10,000 stored PDUs", cases.Of("decode+join"), "hex to octets, same PDUs",
           cases.Of("hex"), "ms", Target::AtMost, 50);
    return 0;
}
