// SerialPort: a modem's COM port.
#include "SerialPort.h"

#include <algorithm>

namespace marvik {

namespace {

constexpr DWORD kQueueBytes = 4096;
constexpr DWORD kWriteTimeoutMs = 2000;   // a write that takes longer: the port is stuck
// A hung-up pseudo-terminal (and some USB drivers once the device is gone)
// answers every read at once with no bytes instead of failing it. That many
// such reads in a row, each back in under a quarter of its time limit, mean
// the port is gone.
constexpr int kInstantEmptyReadsForHangUp = 20;

const wchar_t kSerialCommKey[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
const wchar_t kBuiltInSerialPrefix[] = L"\\Device\\Serial";

}  // namespace

void UniqueHandle::Reset(HANDLE handle)
{
    if (Valid())
        CloseHandle(handle_);
    handle_ = handle;
}

std::wstring NormalPortName(std::wstring_view name)
{
    constexpr std::wstring_view kDevicePrefix = L"\\\\.\\";
    if (name.substr(0, kDevicePrefix.size()) == kDevicePrefix)
        name.remove_prefix(kDevicePrefix.size());
    if (name.size() < 4 || name.size() > 6)
        return {};
    std::wstring normal;
    for (size_t i = 0; i < 3; ++i)
        normal += static_cast<wchar_t>(towupper(name[i]));
    if (normal != L"COM")
        return {};
    for (size_t i = 3; i < name.size(); ++i) {
        if (name[i] < L'0' || name[i] > L'9')
            return {};
        normal += name[i];
    }
    const int number = _wtoi(normal.c_str() + 3);
    if (number < 1 || number > 255 || normal[3] == L'0')
        return {};
    return normal;
}

std::unique_ptr<SerialPort> SerialPort::Open(const std::wstring& name)
{
    const std::wstring normal = NormalPortName(name);
    if (normal.empty())
        return nullptr;
    const std::wstring path = L"\\\\.\\" + normal;
    std::unique_ptr<SerialPort> port(new SerialPort);
    port->file_.Reset(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!port->file_.Valid())
        return nullptr;
    const HANDLE file = port->file_.Get();
    SetupComm(file, kQueueBytes, kQueueBytes);  // a hint only; some drivers refuse it

    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (!GetCommState(file, &dcb)) {
        dcb = DCB{};
        dcb.DCBlength = sizeof(dcb);
    }
    dcb.BaudRate = CBR_115200;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;  // a modem ignores commands while DTR is off
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
    if (!SetCommState(file, &dcb))
        return nullptr;

    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;  // with both below: return as soon as any byte is there
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = 100;
    timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
    if (!SetCommTimeouts(file, &timeouts))
        return nullptr;
    port->readTimeoutMs_ = timeouts.ReadTotalTimeoutConstant;
    PurgeComm(file, PURGE_RXCLEAR | PURGE_TXCLEAR);
    return port;
}

bool SerialPort::Write(std::string_view bytes)
{
    if (closed_ || !file_.Valid())
        return false;
    DWORD written = 0;
    if (!WriteFile(file_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        return false;
    return written == bytes.size();
}

int SerialPort::Read(char* buffer, int capacity, unsigned timeoutMs)
{
    if (closed_ || !file_.Valid() || capacity <= 0)
        return -1;
    if (timeoutMs == 0)
        timeoutMs = 1;
    if (timeoutMs != readTimeoutMs_) {
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = MAXDWORD;
        timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
        timeouts.ReadTotalTimeoutConstant = timeoutMs;
        timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
        if (!SetCommTimeouts(file_.Get(), &timeouts))
            return -1;
        readTimeoutMs_ = timeoutMs;
    }
    // One byte with the time limit: a read whose buffer is full returns at
    // once. (Windows returns at the first byte whatever the buffer, with the
    // time-outs above; Wine, on a pseudo-terminal, only at the time limit.)
    const ULONGLONG started = GetTickCount64();
    DWORD got = 0;
    if (!ReadFile(file_.Get(), buffer, 1, &got, nullptr))
        return closed_ || GetLastError() != ERROR_OPERATION_ABORTED ? -1 : 0;
    if (closed_)
        return -1;
    // The line's state: what else is waiting, and whether the port is still
    // there. When the far end goes away Wine's reads only come back empty at
    // their limit, but this fails at once (ERROR_NOT_READY on a hung-up
    // pseudo-terminal; a removed USB modem fails it too).
    DWORD errors = 0;
    COMSTAT state{};
    const bool lineKnown = ClearCommError(file_.Get(), &errors, &state) != FALSE;
    if (got == 0) {
        if (!lineKnown)
            return -1;
        if (GetTickCount64() - started < timeoutMs / 4) {
            if (++instantEmptyReads_ >= kInstantEmptyReadsForHangUp)
                return -1;
        } else {
            instantEmptyReads_ = 0;
        }
        return 0;
    }
    instantEmptyReads_ = 0;
    // The bytes already waiting, at once: the read asks no more than are there.
    const DWORD waiting = lineKnown ? std::min<DWORD>(state.cbInQue, static_cast<DWORD>(capacity - 1)) : 0;
    DWORD more = 0;
    if (waiting > 0 && !ReadFile(file_.Get(), buffer + 1, waiting, &more, nullptr))
        more = 0;  // the byte in hand is kept; the next read tells whether the port failed
    return static_cast<int>(1 + more);
}

void SerialPort::Close()
{
    // The handle itself is closed by the destructor, once the reader thread
    // is done with it: here a pending read is only made to return.
    if (InterlockedExchange(&closed_, 1) == 0 && file_.Valid())
        CancelIoEx(file_.Get(), nullptr);
}

std::vector<std::wstring> ListModemPorts()
{
    std::vector<std::wstring> ports;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSerialCommKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return ports;
    for (DWORD i = 0;; ++i) {
        wchar_t valueName[256];
        DWORD nameLength = 256;
        wchar_t data[64] = {};
        DWORD dataBytes = sizeof(data) - sizeof(wchar_t);  // room for a terminator the data may lack
        DWORD type = 0;
        const LONG result = RegEnumValueW(key, i, valueName, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataBytes);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS || type != REG_SZ)
            continue;  // a value too long for a port name is no port name
        const std::wstring_view name(valueName, nameLength);
        const std::wstring_view prefix(kBuiltInSerialPrefix);
        if (name.size() > prefix.size() && name.substr(0, prefix.size()) == prefix &&
            name[prefix.size()] >= L'0' && name[prefix.size()] <= L'9')
            continue;
        const std::wstring port = NormalPortName(data);
        if (!port.empty())
            ports.push_back(port);
    }
    RegCloseKey(key);
    return ports;
}

}  // namespace marvik
