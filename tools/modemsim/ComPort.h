// ComPort: the simulator's end of the line, a COM port read with a time
// limit. Under Wine the port is a pseudo-terminal: when the other end goes
// away, reads still just time out with no bytes, but ClearCommError (like
// any call that asks the line) fails, which Gone() reports.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

namespace modemsim {

class ComPort {
public:
    // "COM6", set up as a modem's port is (115200 8N1, no flow control); null
    // with GetLastError() set when it does not open.
    static std::unique_ptr<ComPort> Open(const std::wstring& name);
    ComPort(const ComPort&) = delete;
    ComPort& operator=(const ComPort&) = delete;
    ~ComPort();

    // Bytes read within timeoutMs (0: none came), or -1 when the port failed.
    int Read(char* buffer, int capacity, unsigned timeoutMs);
    bool Write(std::string_view bytes);
    // The line is gone (the other end closed for good).
    bool Gone();

private:
    explicit ComPort(HANDLE file) : file_(file) {}

    HANDLE file_;
    unsigned readTimeoutMs_ = 0;
};

}  // namespace modemsim
