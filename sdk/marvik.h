// marvik.dll - modem status.
//
// NetStat reports a connection as up (both values non-zero) when the system
// has an active dial-up (RAS) connection. Machines without a modem can force
// the state with the environment variable KIVRA_MODEM_STATE:
//   KIVRA_MODEM_STATE=connected     always up
//   KIVRA_MODEM_STATE=disconnected  always down
// (case does not matter). Any other value, or none, asks the system. The
// variable is read on every call.
#pragma once

#if defined(KIVRA_BUILDING_MARVIK)
#define MARVIK_API __declspec(dllexport)
#else
#define MARVIK_API __declspec(dllimport)
#endif

class MARVIK_API Modem {
public:
    // The process's modem object; never null.
    static Modem* GetModem();

    // Fills *first and *second (either may be null): both non-zero when a
    // connection is up, both 0 otherwise. Returns 1.
    int NetStat(unsigned int* first, unsigned int* second);
};
