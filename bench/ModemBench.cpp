// The modem session's costs over the simulated port pair (scripts/bench.sh
// makes it with modem-ports.sh: the simulator on COM6, Kivra's side COM5,
// listed under SERIALCOMM). Each run starts kivra-modem-sim.exe itself.
//
//   bench_modem.exe <simulator> <script> status | roundtrip | idle <seconds>
//
// status     ModemGetStatus (marvik.dll, a session running) against a plain
//            copy of the record.
// roundtrip  "AT" and its OK through marvik's channel on a SerialPort (the
//            session's command path, its reader thread in between) against a
//            bare program's WriteFile then ReadFile on the same port.
// idle       the session's CPU with nothing asked of it (its refresh every
//            5 s, the simulator answering), against the simulator alone on
//            the line. Under Wine one process cannot read another's CPU time
//            (GetProcessTimes gives 0), so each side counts its own: this
//            program itself, and the simulator, which says its CPU time when
//            it ends. The wineserver's work for both is in neither figure.
#include "bench/BenchSupport.h"

#include "marvik.h"
#include "marvik/AtChannel.h"
#include "marvik/SerialPort.h"
#include "marvik/Session.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

using namespace kivra::bench;

namespace {

const wchar_t kSimulatorPort[] = L"COM6";
const wchar_t kSessionPort[] = L"COM5";
constexpr DWORD kSettleMs = 500;          // the simulator opens its port
constexpr DWORD kPresentLimitMs = 20000;  // the search finds the modem
constexpr unsigned kCommandMs = 2000;
constexpr int kStatusCalls = 100000;
constexpr int kRoundTrips = 20;           // per sample
constexpr DWORD kBareReadMs = 1;
constexpr unsigned kIdleWindowSeconds = 10;

ULONGLONG OwnCpuMs()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    const auto ticks = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return (ticks(kernel) + ticks(user)) / 10000;
}

// kivra-modem-sim.exe on COM6, its console output in a file; ended by its
// script after endSeconds (0: ended by Stop).
class Simulator {
public:
    Simulator(const std::wstring& exe, const std::wstring& script, unsigned endSeconds)
    {
        wchar_t folder[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        log_ = std::wstring(folder) + L"bench-modem-sim-" + std::to_wstring(GetCurrentProcessId()) + L".log";
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        output_.Reset(CreateFileW(log_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr));
        std::wstring command = L"\"" + exe + L"\" " + kSimulatorPort + L" \"" + script + L"\"";
        if (endSeconds > 0)
            command += L" --at " + std::to_wstring(endSeconds) + L" end";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output_.Get();
        startup.hStdError = output_.Get();
        PROCESS_INFORMATION info{};
        if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
            process_.Reset(info.hProcess);
            CloseHandle(info.hThread);
        }
        Sleep(kSettleMs);
    }
    ~Simulator() { Stop(); }
    bool Running() const { return process_.Valid() && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT; }
    // Waits for the script's end (limitMs), and gives the CPU time the
    // simulator said it used, or -1.
    double WaitCpuMs(DWORD limitMs)
    {
        if (!process_.Valid() || WaitForSingleObject(process_.Get(), limitMs) != WAIT_OBJECT_0)
            return -1;
        output_.Reset();
        FILE* file = _wfopen(log_.c_str(), L"r");
        double cpu = -1;
        char line[256];
        while (file && std::fgets(line, sizeof(line), file)) {
            const char* at = std::strstr(line, " s, ");
            unsigned long long ms = 0;
            if (at && std::sscanf(at, " s, %llu ms of CPU", &ms) == 1)
                cpu = static_cast<double>(ms);
        }
        if (file)
            std::fclose(file);
        return cpu;
    }
    void Stop()
    {
        if (Running())
            TerminateProcess(process_.Get(), 0);  // our own child
        output_.Reset();
        DeleteFileW(log_.c_str());
    }

private:
    marvik::UniqueHandle process_;
    marvik::UniqueHandle output_;
    std::wstring log_;
};

bool WaitPresent()
{
    const ULONGLONG deadline = GetTickCount64() + kPresentLimitMs;
    while (GetTickCount64() < deadline) {
        TModemStatus status{};
        status.cbSize = sizeof(status);
        if (ModemGetStatus(&status) == MODEM_OK && status.present && status.signalBars > 0)
            return true;
        Sleep(50);
    }
    return false;
}

int Fail(const char* what)
{
    std::printf("%-44s %s\n", "modem", what);
    return 1;
}

int MeasureStatus(int runs)
{
    if (ModemStart(nullptr) != MODEM_OK || !WaitPresent())
        return Fail("no modem found on the port pair");
    TModemStatus source{};
    source.cbSize = sizeof(source);
    ModemGetStatus(&source);
    static TModemStatus target;
    Cases cases;
    cases.Add("get", [] {
        return TimePerCall(kStatusCalls, [] {
            target.cbSize = sizeof(target);
            ModemGetStatus(&target);
        });
    });
    cases.Add("copy", [&] {
        return TimePerCall(kStatusCalls, [&] {
            std::memcpy(&target, &source, sizeof(target));
            asm volatile("" ::: "memory");  // the copy is made every time
        });
    });
    // The session's own lock-free copy, without the C function's way to it
    // (the argument checks and the service).
    marvik::SerialPortProvider ports;
    marvik::Session inner(ports, [](unsigned long, unsigned, long) {}, [](const std::wstring&) {});
    cases.Add("session", [&] { return TimePerCall(kStatusCalls, [&] { inner.ReadStatus(target); }); });
    cases.Run(runs);
    ModemStop();
    Report("ModemGetStatus, a session running", cases.Of("get"), "plain copy of the record", cases.Of("copy"), "ns",
           Target::RatioAtMost, 2.0);
    Report("  Session::ReadStatus alone", cases.Of("session"), "plain copy of the record", cases.Of("copy"), "ns",
           Target::None, 0);
    return 0;
}

// The bare program: AT and CR written, then read until OK, on a plain handle.
// Its reads wait 1 ms each: under Wine a read on a pseudo-terminal returns at
// its time limit, not at the first byte (measured), so the shortest limit is
// the quickest a program can see an answer.
class BarePort {
public:
    explicit BarePort(const wchar_t* name)
    {
        const std::wstring path = std::wstring(L"\\\\.\\") + name;
        file_.Reset(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        DCB dcb{};
        dcb.DCBlength = sizeof(dcb);
        GetCommState(file_.Get(), &dcb);
        dcb.BaudRate = CBR_115200;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fBinary = TRUE;
        dcb.fOutxCtsFlow = FALSE;  // what a port had set before is not kept
        dcb.fOutxDsrFlow = FALSE;
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        dcb.fDsrSensitivity = FALSE;  // a pseudo-terminal has no DSR: bytes would be dropped
        dcb.fParity = FALSE;
        dcb.fNull = FALSE;
        dcb.fErrorChar = FALSE;
        dcb.fAbortOnError = FALSE;
        SetCommState(file_.Get(), &dcb);
        COMMTIMEOUTS timeouts{MAXDWORD, MAXDWORD, kBareReadMs, 0, kCommandMs};
        SetCommTimeouts(file_.Get(), &timeouts);
    }
    bool Valid() const { return file_.Valid(); }
    bool RoundTrip(const char* command)
    {
        std::string line = std::string(command) + "\r";
        DWORD done = 0;
        if (!WriteFile(file_.Get(), line.data(), static_cast<DWORD>(line.size()), &done, nullptr))
            return false;
        std::string got;
        char buffer[256];
        const ULONGLONG deadline = GetTickCount64() + kCommandMs;
        while (got.find("OK\r\n") == std::string::npos) {
            if (!ReadFile(file_.Get(), buffer, sizeof(buffer), &done, nullptr) || GetTickCount64() > deadline)
                return false;
            got.append(buffer, done);
        }
        return true;
    }

private:
    marvik::UniqueHandle file_;
};

int MeasureRoundTrip(int runs)
{
    const char* failure = nullptr;  // the first thing that went wrong
    Cases cases;
    cases.Add("session", [&] {
        auto port = marvik::SerialPort::Open(kSessionPort);
        if (!port) {
            failure = "marvik's SerialPort did not open COM5";
            return 0.0;
        }
        marvik::AtChannel channel(std::move(port), [] {});
        channel.Exchange("ATE0", kCommandMs);
        const double ns = TimePerCall(kRoundTrips, [&] {
            if (!channel.Exchange("AT", kCommandMs).Ok() && !failure)
                failure = "marvik's channel got no OK to AT";
        });
        return ns / 1000.0;
    });
    cases.Add("bare", [&] {
        BarePort port(kSessionPort);
        if (!port.Valid() || !port.RoundTrip("ATE0")) {
            failure = "the bare program got no OK to ATE0";
            return 0.0;
        }
        const double ns = TimePerCall(kRoundTrips, [&] {
            if (!port.RoundTrip("AT") && !failure)
                failure = "the bare program got no OK to AT";
        });
        return ns / 1000.0;
    });
    cases.Run(runs);
    if (failure)
        return Fail(failure);
    Report("AT round trip, marvik's channel", cases.Of("session"), "bare write then read", cases.Of("bare"), "us",
           Target::RatioAtMost, 1.2);
    return 0;
}

int MeasureIdle(const std::wstring& exe, const std::wstring& script, unsigned seconds)
{
    const DWORD limitMs = (seconds + 30) * 1000;
    double alone = -1;
    {
        Simulator simulator(exe, script, seconds);
        alone = simulator.WaitCpuMs(limitMs);
    }
    // The session: started and settled first, then left alone, counted in windows.
    const unsigned startSeconds = kPresentLimitMs / 1000 + 5;
    Simulator simulator(exe, script, startSeconds + seconds);
    const ULONGLONG launched = GetTickCount64();
    if (ModemStart(nullptr) != MODEM_OK || !WaitPresent())
        return Fail("no modem found on the port pair");
    // Settled: the windows start at the same moment of every run, a second
    // before the simulator's end would be due without them.
    const ULONGLONG settleUntil = launched + (startSeconds - 1) * 1000ull;
    if (GetTickCount64() < settleUntil)
        Sleep(static_cast<DWORD>(settleUntil - GetTickCount64()));
    std::vector<double> windows;
    const ULONGLONG cpuBefore = OwnCpuMs();
    ULONGLONG cpu = cpuBefore;
    for (unsigned done = 0; done + kIdleWindowSeconds <= seconds; done += kIdleWindowSeconds) {
        Sleep(kIdleWindowSeconds * 1000);
        const ULONGLONG now = OwnCpuMs();
        windows.push_back(100.0 * static_cast<double>(now - cpu) / (kIdleWindowSeconds * 1000.0));
        cpu = now;
    }
    const double sessionPercent = 100.0 * static_cast<double>(cpu - cpuBefore) / (seconds * 1000.0);
    const double answering = simulator.WaitCpuMs(limitMs);
    ModemStop();
    if (alone < 0 || answering < 0)
        return Fail("the simulator did not say its CPU time");
    char measure[64], baseline[64];
    std::snprintf(measure, sizeof(measure), "session idle CPU, %u s (%% of a CPU)", seconds);
    std::snprintf(baseline, sizeof(baseline), "simulator alone, %u s", seconds);
    // The start-up's share of the simulator's second run is left in: it only
    // makes the simulator's figure larger.
    const double alonePercent = 100.0 * alone / (seconds * 1000.0);
    Report(measure, SpreadOf(windows), baseline, Spread{alonePercent, alonePercent, alonePercent}, "%",
           Target::AtMost, 1.0);
    std::printf("%-44s %.2f %% of a CPU over the %u s; the simulator answering it: %.0f ms\n",
                "  session whole period", sessionPercent, seconds, answering);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4)
        return Fail("usage: bench_modem.exe <simulator> <script> status|roundtrip|idle <seconds>");
    const std::wstring exe = argv[1], script = argv[2], mode = argv[3];
    const int runs = RunsFromEnvironment(mode == L"roundtrip" ? 9 : 15);
    if (mode == L"idle")
        return MeasureIdle(exe, script, argc > 4 ? static_cast<unsigned>(_wtoi(argv[4])) : 60);
    Simulator simulator(exe, script, 0);
    if (!simulator.Running())
        return Fail("the simulator did not start");
    return mode == L"status" ? MeasureStatus(runs) : MeasureRoundTrip(runs);
}
