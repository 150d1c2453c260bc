// ComPort: blocking reads with a total time limit, whole writes.
#include "ComPort.h"

namespace modemsim {

namespace {

constexpr DWORD kWriteTimeoutMs = 2000;

bool SetReadTimeout(HANDLE file, unsigned timeoutMs)
{
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;  // with the multiplier: back as soon as a byte is there
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = timeoutMs;
    timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
    return SetCommTimeouts(file, &timeouts) != FALSE;
}

}  // namespace

std::unique_ptr<ComPort> ComPort::Open(const std::wstring& name)
{
    const std::wstring path = L"\\\\.\\" + name;
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    std::unique_ptr<ComPort> port(new ComPort(file));
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    GetCommState(file, &dcb);
    dcb.BaudRate = CBR_115200;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    if (!SetCommState(file, &dcb))
        return nullptr;
    return port;
}

ComPort::~ComPort() { CloseHandle(file_); }

int ComPort::Read(char* buffer, int capacity, unsigned timeoutMs)
{
    if (timeoutMs == 0)
        timeoutMs = 1;
    if (timeoutMs != readTimeoutMs_) {
        if (!SetReadTimeout(file_, timeoutMs))
            return -1;
        readTimeoutMs_ = timeoutMs;
    }
    DWORD got = 0;
    if (!ReadFile(file_, buffer, static_cast<DWORD>(capacity), &got, nullptr))
        return -1;
    return static_cast<int>(got);
}

bool ComPort::Write(std::string_view bytes)
{
    DWORD written = 0;
    return WriteFile(file_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool ComPort::Gone()
{
    DWORD errors = 0;
    COMSTAT status{};
    return !ClearCommError(file_, &errors, &status);
}

}  // namespace modemsim
