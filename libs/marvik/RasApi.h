// RasApi: the few dial-up networking (RAS) calls the modem's data link
// needs, behind an interface so that tests use a stand-in.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace marvik {

class RasApi {
public:
    // Called from the system's dial-up thread: the link's MODEM_LINK_* state,
    // and the system's error (0 for none) once a dial failed.
    using Progress = std::function<void(int link, DWORD error)>;

    virtual ~RasApi() = default;
    // Whether the system has dial-up networking with a modem device to dial.
    virtual bool Available() = 0;
    // Makes or updates the phonebook entry that dials number on the modem
    // attached to port ("COM5"). 0 or the system's error.
    virtual DWORD SetEntry(const std::wstring& entry, const std::wstring& port, const std::wstring& number) = 0;
    // Starts dialling entry without waiting; progress reports until the link
    // is up or down. 0 or the system's error (nothing reported then).
    virtual DWORD Dial(const std::wstring& entry, const std::wstring& user, const std::wstring& password,
                       Progress progress) = 0;
    // Hangs the link (or the dial) up; waits until the system let go of it.
    virtual void HangUp() = 0;
    // The link's duration and byte counts; false when no link is up.
    virtual bool Statistics(DWORD& seconds, DWORD& bytesReceived, DWORD& bytesSent) = 0;
};

// The system's dial-up networking (rasapi32).
std::unique_ptr<RasApi> MakeSystemRas();

}  // namespace marvik
