// Records: the fixed records of sdk/marvik.h.
#include "Records.h"

#include <cstring>

namespace marvik {

void CopyField(wchar_t* field, size_t capacity, std::wstring_view text)
{
    if (field == nullptr || capacity == 0)
        return;
    size_t length = text.size() < capacity - 1 ? text.size() : capacity - 1;
    if (length > 0 && length < text.size() && text[length - 1] >= 0xD800 && text[length - 1] <= 0xDBFF)
        --length;  // the high half without its low half would be a broken character
    std::memcpy(field, text.data(), length * sizeof(wchar_t));
    field[length] = L'\0';
}

std::wstring WidenModemText(std::string_view text)
{
    std::wstring wide;
    wide.reserve(text.size());
    for (const char c : text)
        wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return wide;
}

const wchar_t* AccessTechName(int accessTech, bool packetAttached)
{
    switch (accessTech) {
    case MODEM_ACT_GSM:
    case MODEM_ACT_GSM_COMPACT: return packetAttached ? L"GPRS" : L"GSM";
    case MODEM_ACT_UMTS: return L"UMTS";
    case MODEM_ACT_EDGE: return L"EDGE";
    case MODEM_ACT_HSDPA: return L"HSDPA";
    case MODEM_ACT_HSUPA: return L"HSUPA";
    case MODEM_ACT_HSPA: return L"HSPA";
    case MODEM_ACT_LTE: return L"LTE";
    default: return L"";
    }
}

void FillAbsentStatus(TModemStatus& status)
{
    std::memset(&status, 0, sizeof(status));
    status.cbSize = sizeof(status);
    status.sim = MODEM_SIM_UNKNOWN;
    status.pinTriesLeft = MODEM_TRIES_UNKNOWN;
    status.pukTriesLeft = MODEM_TRIES_UNKNOWN;
    status.registration = MODEM_REG_UNKNOWN;
    status.accessTech = MODEM_ACT_UNKNOWN;
    status.signalDbm = MODEM_SIGNAL_UNKNOWN;
    status.link = MODEM_LINK_DOWN;
}

}  // namespace marvik
