// Records: filling the fixed records of sdk/marvik.h from the session's
// ordinary types.
#pragma once

#include "marvik.h"

#include <string>
#include <string_view>

namespace marvik {

// Copies text into a field of capacity units: cut to capacity - 1 (never
// between the halves of a surrogate pair), always terminated. Nothing for a
// null field or capacity 0.
void CopyField(wchar_t* field, size_t capacity, std::wstring_view text);
template <size_t N>
void CopyField(wchar_t (&field)[N], std::wstring_view text)
{
    CopyField(field, N, text);
}

// Text from the modem (ASCII, or Latin-1 bytes some modems put in operator
// names) as UTF-16.
std::wstring WidenModemText(std::string_view text);

// "GSM", "GPRS" (GSM with a packet attach), "EDGE", "UMTS", "HSDPA",
// "HSUPA", "HSPA", "LTE"; empty for unknown.
const wchar_t* AccessTechName(int accessTech, bool packetAttached);

// The record a caller gets with no session or no modem: present 0, the rest
// unknown.
void FillAbsentStatus(TModemStatus& status);

}  // namespace marvik
