// SerialPort: a COM port opened for a modem (115200 8N1, no flow control).
// Reads return as soon as a byte is there, or after their time limit with
// none, so the reader thread's pending read holds up a write for one short
// slice at most. A read waits for one byte only, then takes what
// ClearCommError says is waiting: under Wine a read on a pseudo-terminal
// returns at its time limit unless its buffer is full, whatever the
// time-outs say (Windows returns at the first byte), measured. The same
// query notices a vanished port at once. (Overlapped reads would not help:
// under Wine they never complete on a pseudo-terminal, measured.)
// GetCommModemStatus is never used: pseudo-terminals and some USB modem
// drivers fail it.
#pragma once

#include "Port.h"

#include <windows.h>

namespace marvik {

// Owns one kernel handle; closes it once.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }
    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    void Reset(HANDLE handle = nullptr);

private:
    HANDLE handle_ = nullptr;
};

class SerialPort final : public Port {
public:
    // The port "COM5", set up for a modem; null when it cannot be opened.
    static std::unique_ptr<SerialPort> Open(const std::wstring& name);
    ~SerialPort() override { Close(); }

    bool Write(std::string_view bytes) override;
    int Read(char* buffer, int capacity, unsigned timeoutMs) override;
    void Close() override;

private:
    SerialPort() = default;

    UniqueHandle file_;
    unsigned readTimeoutMs_ = 0;  // what SetCommTimeouts holds now
    int instantEmptyReads_ = 0;
    volatile LONG closed_ = 0;
};

// The COM ports under HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, without the
// machine's built-in serial ports ("\Device\Serial<n>"), which are never a
// USB modem and may be a console.
std::vector<std::wstring> ListModemPorts();

class SerialPortProvider final : public PortProvider {
public:
    std::unique_ptr<Port> Open(const std::wstring& name) override { return SerialPort::Open(name); }
    std::vector<std::wstring> List() override { return ListModemPorts(); }
};

}  // namespace marvik
