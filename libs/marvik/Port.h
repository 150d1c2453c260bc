// Port: the byte stream to a modem's AT interface (a COM port, or a modem
// simulated in-process), and the source of such ports.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace marvik {

// One reader thread calls Read while one other thread calls Write; Close is
// called once neither is under way any more, or from the writing thread to
// make a pending Read return.
class Port {
public:
    virtual ~Port() = default;
    // Writes every byte; false when the port failed (the modem went away).
    virtual bool Write(std::string_view bytes) = 0;
    // Waits up to timeoutMs for bytes and returns how many it read into
    // buffer (0: none came in time), or -1 when the port failed or is closed.
    virtual int Read(char* buffer, int capacity, unsigned timeoutMs) = 0;
    // Closes the port; Read and Write fail afterwards. Harmless twice.
    virtual void Close() = 0;
};

class PortProvider {
public:
    virtual ~PortProvider() = default;
    // The port of that name ("COM5"), or null when it cannot be opened.
    virtual std::unique_ptr<Port> Open(const std::wstring& name) = 0;
    // The ports a modem may be on, in the order to probe them.
    virtual std::vector<std::wstring> List() = 0;
};

// "COM5" from "COM5", "com5" or "\\.\COM5"; empty when name is no COM port.
std::wstring NormalPortName(std::wstring_view name);

}  // namespace marvik
