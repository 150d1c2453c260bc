// marvik.dll's C interface (sdk/marvik.h): the process's one ModemService on
// the system's COM ports, its dial-up networking and the message bus.
#include "marvik.h"

#include "ModemService.h"
#include "ProcessModem.h"
#include "Records.h"
#include "SerialPort.h"
#include "ostel.h"

#include <mutex>

namespace {

using marvik::ModemService;
using marvik::Outcome;

// Why the calling thread's last call failed (ModemLastError).
thread_local std::wstring t_lastError;

std::wstring LibraryFolder()
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&LibraryFolder), &module))
        return {};
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    std::wstring folder(path, length);
    const size_t slash = folder.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash);
}

bool SimulatedLinkAllowed()
{
    static const bool allowed = marvik::SimulatedLinkAllowedIn(LibraryFolder());
    return allowed;
}

// The service lives as long as the process: it is never destroyed, since at
// process exit its threads are already gone and joining them would hang.
// ModemStop ends the session properly.
ModemService& Service()
{
    static marvik::SerialPortProvider* ports = new marvik::SerialPortProvider;
    static marvik::RasApi* ras = marvik::MakeSystemRas().release();
    static ModemService* service = new ModemService(
        *ports, *ras, [](unsigned long message, unsigned wParam, long lParam) { TPostMessage(message, wParam, lParam); },
        [](const std::wstring& line) { OutputDebugStringW((L"marvik: " + line + L"\n").c_str()); },
        marvik::SessionTimings{}, SimulatedLinkAllowed());
    return *service;
}

std::mutex g_busMutex;
int g_busCookie = 0;

void __cdecl OnBus(unsigned long message, unsigned int wParam, long lParam, void*)
{
    Service().OnBusMessage(message, wParam, lParam);
}

int Finish(const Outcome& outcome)
{
    if (outcome.result >= 0)
        t_lastError.clear();
    else
        t_lastError = outcome.error;
    return outcome.result;
}

// Nothing is thrown to a caller: out of memory and the like end as a refusal.
template <typename Call>
int Guarded(Call call)
{
    try {
        return call();
    } catch (...) {
        t_lastError = L"out of memory";
        return MODEM_E_REFUSED;
    }
}

}  // namespace

namespace marvik {

bool ProcessLinkUp() { return Service().LinkUp(); }
bool ProcessAllowsSimulatedLink() { return SimulatedLinkAllowed(); }

}  // namespace marvik

extern "C" {

MARVIK_API int __cdecl ModemStart(const wchar_t* port)
{
    return Guarded([&] {
        const int result = Finish(Service().Start(port));
        if (result == MODEM_OK) {
            std::lock_guard<std::mutex> lock(g_busMutex);
            if (g_busCookie == 0)
                g_busCookie = OpSubscribe(OnBus, nullptr);  // the shell's device-arrival notice
        }
        return result;
    });
}

MARVIK_API int __cdecl ModemStop(void)
{
    return Guarded([&] {
        {
            std::lock_guard<std::mutex> lock(g_busMutex);
            if (g_busCookie != 0)
                OpUnsubscribe(g_busCookie);
            g_busCookie = 0;
        }
        return Finish(Service().Stop());
    });
}

MARVIK_API int __cdecl ModemGetStatus(TModemStatus* status)
{
    return Guarded([&] { return Service().GetStatus(status); });
}

MARVIK_API int __cdecl ModemEnterPin(const wchar_t* pin)
{
    return Guarded([&] { return Finish(Service().EnterPin(pin)); });
}

MARVIK_API int __cdecl ModemEnterPuk(const wchar_t* puk, const wchar_t* newPin)
{
    return Guarded([&] { return Finish(Service().EnterPuk(puk, newPin)); });
}

MARVIK_API int __cdecl ModemListMessages(TModemMessage* out, int capacity, int* count)
{
    return Guarded([&] { return Finish(Service().ListMessages(out, capacity, count)); });
}

MARVIK_API int __cdecl ModemGetMessageText(int id, wchar_t* buffer, int capacity)
{
    return Guarded([&] { return Finish(Service().GetMessageText(id, buffer, capacity)); });
}

MARVIK_API int __cdecl ModemDeleteMessage(int id)
{
    return Guarded([&] { return Finish(Service().DeleteMessage(id)); });
}

MARVIK_API int __cdecl ModemCountMessageParts(const wchar_t* text)
{
    return Guarded([&] { return ModemService::CountMessageParts(text); });
}

MARVIK_API int __cdecl ModemSendMessage(const wchar_t* number, const wchar_t* text, int* partsSent)
{
    return Guarded([&] { return Finish(Service().SendMessage(number, text, partsSent)); });
}

MARVIK_API int __cdecl ModemUssd(const wchar_t* code, wchar_t* reply, int capacity, int timeoutMs)
{
    return Guarded([&] { return Finish(Service().Ussd(code, reply, capacity, timeoutMs)); });
}

MARVIK_API int __cdecl ModemLastError(wchar_t* text, int capacity)
{
    return Guarded([&] {
        if (text != nullptr && capacity > 0)
            marvik::CopyField(text, static_cast<size_t>(capacity), t_lastError);
        return static_cast<int>(t_lastError.size());
    });
}

MARVIK_API int __cdecl ModemConnect(const wchar_t* apn, const wchar_t* user, const wchar_t* password)
{
    return Guarded([&] { return Finish(Service().Connect(apn, user, password)); });
}

MARVIK_API int __cdecl ModemDisconnect(void)
{
    return Guarded([&] { return Finish(Service().Disconnect()); });
}

MARVIK_API int __cdecl ModemSetSimulatedLink(int on)
{
    return Guarded([&] { return Finish(Service().SetSimulatedLink(on)); });
}

}  // extern "C"
