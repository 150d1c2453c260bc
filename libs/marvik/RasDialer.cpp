// RasDialer: RasApi on the system's dial-up networking (rasapi32): a
// phonebook entry for the modem, RasDial with a callback (the caller never
// waits), the link's statistics.
#include "RasApi.h"

#include "marvik.h"

#include <ras.h>
#include <raserror.h>

#include <mutex>
#include <vector>

namespace marvik {

namespace {

// Modems as the system knows them: each one's key holds the port it is
// attached to and its name, which is RAS's device name.
const wchar_t kModemClassKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}";

std::wstring ReadString(HKEY key, const wchar_t* name)
{
    wchar_t value[256] = {};
    DWORD bytes = sizeof(value) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes) != ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    return value;
}

// The name of the modem attached to port, or empty.
std::wstring ModemDeviceOnPort(const std::wstring& port)
{
    HKEY modems = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kModemClassKey, 0, KEY_READ, &modems) != ERROR_SUCCESS)
        return {};
    std::wstring found;
    for (DWORD i = 0; found.empty(); ++i) {
        wchar_t sub[64];
        DWORD length = 64;
        if (RegEnumKeyExW(modems, i, sub, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY modem = nullptr;
        if (RegOpenKeyExW(modems, sub, 0, KEY_READ, &modem) != ERROR_SUCCESS)
            continue;
        if (_wcsicmp(ReadString(modem, L"AttachedTo").c_str(), port.c_str()) == 0)
            found = ReadString(modem, L"FriendlyName");
        RegCloseKey(modem);
    }
    RegCloseKey(modems);
    return found;
}

std::vector<RASDEVINFOW> ModemDevices()
{
    std::vector<RASDEVINFOW> devices(1);
    devices[0].dwSize = sizeof(RASDEVINFOW);
    DWORD bytes = sizeof(RASDEVINFOW), count = 0;
    DWORD result = RasEnumDevicesW(devices.data(), &bytes, &count);
    if (result == ERROR_BUFFER_TOO_SMALL) {
        const RASDEVINFOW blank{};
        devices.assign(bytes / sizeof(RASDEVINFOW) + 1, blank);
        devices[0].dwSize = sizeof(RASDEVINFOW);
        bytes = static_cast<DWORD>(devices.size() * sizeof(RASDEVINFOW));
        result = RasEnumDevicesW(devices.data(), &bytes, &count);
    }
    std::vector<RASDEVINFOW> modems;
    if (result != ERROR_SUCCESS)
        return modems;
    for (DWORD i = 0; i < count && i < devices.size(); ++i)
        if (_wcsicmp(devices[i].szDeviceType, RASDT_Modem) == 0)
            modems.push_back(devices[i]);
    return modems;
}

class SystemRas final : public RasApi {
public:
    ~SystemRas() override { HangUp(); }

    bool Available() override { return !ModemDevices().empty(); }

    DWORD SetEntry(const std::wstring& entry, const std::wstring& port, const std::wstring& number) override
    {
        const std::vector<RASDEVINFOW> devices = ModemDevices();
        if (devices.empty())
            return ERROR_DEVICE_DOES_NOT_EXIST;
        std::wstring device = ModemDeviceOnPort(port);
        bool known = false;
        for (const RASDEVINFOW& d : devices)
            known = known || device == d.szDeviceName;
        if (!known)
            device = devices.front().szDeviceName;  // the only modem, as a rule
        RASENTRYW properties{};
        properties.dwSize = sizeof(properties);
        properties.dwfOptions = RASEO_RemoteDefaultGateway | RASEO_ModemLights;
        properties.dwfNetProtocols = RASNP_Ip;
        properties.dwFramingProtocol = RASFP_Ppp;
        properties.dwType = RASET_Phone;
        lstrcpynW(properties.szLocalPhoneNumber, number.c_str(), RAS_MaxPhoneNumber + 1);
        lstrcpynW(properties.szDeviceType, RASDT_Modem, RAS_MaxDeviceType + 1);
        lstrcpynW(properties.szDeviceName, device.c_str(), RAS_MaxDeviceName + 1);
        return RasSetEntryPropertiesW(nullptr, entry.c_str(), &properties, sizeof(properties), nullptr, 0);
    }

    DWORD Dial(const std::wstring& entry, const std::wstring& user, const std::wstring& password,
               Progress progress) override
    {
        ReleaseFailed();
        std::lock_guard<std::mutex> lock(mutex_);
        if (connection_ != nullptr)
            return ERROR_ALREADY_EXISTS;
        progress_ = std::move(progress);
        RASDIALPARAMSW params{};
        params.dwSize = sizeof(params);
        lstrcpynW(params.szEntryName, entry.c_str(), RAS_MaxEntryName + 1);
        lstrcpynW(params.szUserName, user.c_str(), UNLEN + 1);
        lstrcpynW(params.szPassword, password.c_str(), PWLEN + 1);
        params.dwCallbackId = reinterpret_cast<ULONG_PTR>(this);
        HRASCONN connection = nullptr;
        // Notifier type 2: RasDialFunc2, called on the system's thread, with
        // this object as its callback id.
        const DWORD result = RasDialW(nullptr, nullptr, &params, 2, reinterpret_cast<LPVOID>(&OnDial), &connection);
        SecureZeroMemory(params.szPassword, sizeof(params.szPassword));
        if (result != ERROR_SUCCESS) {
            if (connection != nullptr)
                RasHangUpW(connection);
            return result;
        }
        connection_ = connection;
        return 0;
    }

    void HangUp() override
    {
        ReleaseFailed();
        HRASCONN connection;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            connection = connection_;
            connection_ = nullptr;
        }
        if (connection == nullptr)
            return;
        RasHangUpW(connection);
        // The system lets go of the port some time after RasHangUp returns;
        // a new dial before that fails with "port already open".
        RASCONNSTATUSW status{};
        status.dwSize = sizeof(status);
        for (int i = 0; i < 30 && RasGetConnectStatusW(connection, &status) != ERROR_INVALID_HANDLE; ++i)
            Sleep(100);
    }

    bool Statistics(DWORD& seconds, DWORD& bytesReceived, DWORD& bytesSent) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (connection_ == nullptr)
            return false;
        RAS_STATS stats{};
        stats.dwSize = sizeof(stats);
        if (RasGetConnectionStatistics(connection_, &stats) != ERROR_SUCCESS)
            return false;
        seconds = stats.dwConnectDuration / 1000;
        bytesReceived = stats.dwBytesRcved;
        bytesSent = stats.dwBytesXmited;
        return true;
    }

private:
    void ReleaseFailed()
    {
        HRASCONN failed;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            failed = failed_;
            failed_ = nullptr;
        }
        if (failed != nullptr)
            RasHangUpW(failed);
    }

    static DWORD WINAPI OnDial(ULONG_PTR callbackId, DWORD, HRASCONN, UINT, RASCONNSTATE state, DWORD error,
                               DWORD)
    {
        SystemRas* self = reinterpret_cast<SystemRas*>(callbackId);
        Progress progress;
        {
            std::lock_guard<std::mutex> lock(self->mutex_);
            progress = self->progress_;
            if ((error != 0 || state == RASCS_Disconnected) && self->connection_ != nullptr) {
                // A failed dial still holds its handle; it is let go outside
                // this callback, where RasHangUp may be called.
                self->failed_ = self->connection_;
                self->connection_ = nullptr;
            }
        }
        if (progress) {
            if (error != 0 || state == RASCS_Disconnected)
                progress(MODEM_LINK_DOWN, error);
            else if (state == RASCS_Connected)
                progress(MODEM_LINK_UP, 0);
            else
                progress(MODEM_LINK_DIALLING, 0);
        }
        return 1;  // keep the notifications coming
    }

    std::mutex mutex_;
    HRASCONN connection_ = nullptr;
    HRASCONN failed_ = nullptr;  // a failed dial's handle, to let go of
    Progress progress_;
};

}  // namespace

std::unique_ptr<RasApi> MakeSystemRas() { return std::make_unique<SystemRas>(); }

}  // namespace marvik
