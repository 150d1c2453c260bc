// marvik.dll: the modem's connection state for the shell: the link the
// session made, any other dial-up (RAS) connection of the system, or the
// demo product's simulated link.
#include "marvik.h"

#include "ProcessModem.h"

#include <windows.h>
#include <ras.h>
#include <raserror.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The demo's simulated connection as its plugins switch it for the whole
// process: KIVRA_MODEM_STATE=connected (any case). Read on every call, and
// honoured only where the demo product allows a simulated link: a real
// product never pretends to be connected.
bool DemoSaysConnected()
{
    wchar_t value[32] = {};
    const DWORD n = GetEnvironmentVariableW(L"KIVRA_MODEM_STATE", value, 32);
    if (n == 0 || n >= 32 || _wcsicmp(value, L"connected") != 0)
        return false;
    return marvik::ProcessAllowsSimulatedLink();
}

// True when RAS lists at least one connection in the connected state.
bool HasActiveDialUpConnection()
{
    // Room for a few connections first; when the system has more, it says how
    // many bytes it needs and the list is asked for again at that size.
    std::vector<RASCONNW> connections(4);
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::memset(connections.data(), 0, connections.size() * sizeof(RASCONNW));
        connections[0].dwSize = sizeof(RASCONNW);
        DWORD bytes = static_cast<DWORD>(connections.size() * sizeof(RASCONNW));
        DWORD count = 0;
        DWORD result = RasEnumConnectionsW(connections.data(), &bytes, &count);
        if (result == ERROR_BUFFER_TOO_SMALL) {
            connections.resize(bytes / sizeof(RASCONNW) + 1);
            continue;
        }
        if (result != ERROR_SUCCESS)
            return false;
        for (DWORD i = 0; i < count && i < connections.size(); ++i) {
            RASCONNSTATUSW status;
            std::memset(&status, 0, sizeof(status));
            status.dwSize = sizeof(status);
            if (RasGetConnectStatusW(connections[i].hrasconn, &status) == ERROR_SUCCESS &&
                status.rasconnstate == RASCS_Connected)
                return true;
        }
        return false;
    }
    return false;
}

}  // namespace

Modem* Modem::GetModem()
{
    static Modem modem;
    return &modem;
}

int Modem::NetStat(unsigned int* first, unsigned int* second)
{
    bool up = false;
    try {
        up = marvik::ProcessLinkUp() || DemoSaysConnected() || HasActiveDialUpConnection();
    } catch (...) {
        up = false;  // out of memory for the list: nothing thrown to the caller
    }
    if (first)
        *first = up ? 1 : 0;
    if (second)
        *second = up ? 1 : 0;
    return 1;
}
