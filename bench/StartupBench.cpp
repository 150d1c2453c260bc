// Start-up to a visible main window, and idle cost, of programs started from
// here: Kivra.exe in a product folder, and the floor programs.
//
//   bench_startup startup <label>=<exe> [@<floor label>] ...
//       interleaved starts; a program followed by @<floor label> is judged
//       against that floor (ratio of the medians at most kStartupRatioLimit),
//       every other one is a floor, printed against the program listed last
//       (the bare window program); a program followed by +first-start finds
//       no picture store at each start (LOCALAPPDATA names a missing folder)
//       and decodes every picture, as on its first start after an install;
//       16 MB of fresh memory faulted in here in each round says how steady
//       the machine was meanwhile
//   bench_startup plugins <label>=<exe>
//       starts of a product whose plugins are timed stand-ins
//       (TimedPlugin.cpp): each plugin's LoadPlugin against its LoadLibraryW
//   bench_startup steps <label>=<exe>
//       starts of Kivra.exe that write their step times
//       (framework/StartupTimes.h): each step's own time
//   bench_startup idle <seconds> <label>=<exe> <baseline label>=<exe>
//
// Under Wine GetGuiResources and GetProcessTimes of another process answer 0,
// so CPU time and GDI objects are answered by the program itself (Kivra
// through the probe plugin, see ProcessCounts.h) and USER objects are counted
// as the process's windows, top-level and child.
#include "bench/BenchSupport.h"
#include "bench/ProcessCounts.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace kivra::bench;
using kivra::bench::kCountsMessageName;

namespace {

// A start-up within this many times its floor's.
constexpr double kStartupRatioLimit = 1.3;
// A sample plugin's own LoadPlugin, at most.
constexpr double kLoadPluginLimitMs = 2;
constexpr wchar_t kPluginTimesFile[] = L"bench-plugin-times.txt";
// A start that shows no window in this time failed.
constexpr DWORD kStartLimitMs = 30000;
// Rounds of the start-up measures unless KIVRA_BENCH_RUNS says otherwise.
// On this machine one program's starts can spread by a third from one to
// the next, so the median of seven can land either side of a target; 21
// make that rarer.
constexpr int kStartupRuns = 21;
// The fresh memory faulted in, page by page, in each round beside the starts:
// how steady the machine was while they ran. A start's time goes largely to
// mapping and faulting in memory, and on this machine that is what varies
// (a fixed piece of pure computation stays within a few hundredths).
constexpr SIZE_T kSteadinessBytes = 16 << 20;
constexpr SIZE_T kPageBytes = 4096;

struct Program {
    std::wstring label;
    std::wstring exe;
    std::wstring floor;  // the label of the floor it is judged against; empty for a floor
    bool firstStart = false;  // started without the user's picture and document stores
};

constexpr wchar_t kFirstStartArgument[] = L"+first-start";
constexpr wchar_t kMissingFolder[] = L"C:\\kivra-bench-no-such-folder";

bool ParsePrograms(int first, int argc, wchar_t** argv, std::vector<Program>* programs)
{
    for (int i = first; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg[0] == L'@' && !programs->empty()) {
            programs->back().floor = arg.substr(1);
            continue;
        }
        if (arg == kFirstStartArgument && !programs->empty()) {
            programs->back().firstStart = true;
            continue;
        }
        const size_t equals = arg.find(L'=');
        if (equals == std::wstring::npos)
            return false;
        programs->push_back({arg.substr(0, equals), arg.substr(equals + 1), {}});
    }
    return !programs->empty();
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

struct Started {
    PROCESS_INFORMATION process{};
    HWND window = nullptr;
};

struct WindowSearch {
    DWORD processId;
    bool (*accept)(HWND);
    HWND found;
};

BOOL CALLBACK AcceptWindow(HWND hwnd, LPARAM param)
{
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD process = 0;
    ::GetWindowThreadProcessId(hwnd, &process);
    if (process != search->processId || !search->accept(hwnd))
        return TRUE;
    search->found = hwnd;
    return FALSE;
}

// The first top-level window of the process that accept takes, or null.
HWND TopLevelWindowOf(DWORD processId, bool (*accept)(HWND))
{
    WindowSearch search{processId, accept, nullptr};
    ::EnumWindows(AcceptWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A shown window of some size: the main window, not a tooltip or a tray helper.
bool IsShownMainWindow(HWND hwnd)
{
    RECT rect;
    return ::IsWindowVisible(hwnd) && ::GetWindowRect(hwnd, &rect) && rect.right - rect.left > 100;
}

bool IsProbeWindow(HWND hwnd)
{
    wchar_t className[64] = {};
    ::GetClassNameW(hwnd, className, 64);
    return wcscmp(className, kProbeWindowClass) == 0;
}

// Starts exe in its own folder; answers once its main window is visible
// (milliseconds since the start, or -1).
//
// It first waits for the program's first idle moment (WaitForInputIdle: no
// message left, the first paints done), and only then looks for the window,
// polling each millisecond while it is not there yet; a window there at the
// first look counts from the idle moment. Polling from the start
// would cost the program measured: every look is a few round trips to the
// wineserver, which shares the one CPU with it, and a program that makes a
// thousand windows makes a thousand round trips of its own that wait behind
// them (measured: a skin button's window took 185 us inside a polled Kivra
// against 113 us in the same Kivra started alone).
double Start(const Program& program, Started* started)
{
    std::wstring folder = program.exe.substr(0, program.exe.find_last_of(L'\\') + 1);
    std::wstring commandLine = L"\"" + program.exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    // The child takes the environment as it is at CreateProcessW.
    wchar_t localAppData[MAX_PATH + 1] = {};
    if (program.firstStart) {
        ::GetEnvironmentVariableW(L"LOCALAPPDATA", localAppData, MAX_PATH + 1);
        ::SetEnvironmentVariableW(L"LOCALAPPDATA", kMissingFolder);
    }
    const double begin = NowNs();
    const bool created = ::CreateProcessW(program.exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                          nullptr, folder.c_str(), &startup, &started->process);
    if (program.firstStart)
        ::SetEnvironmentVariableW(L"LOCALAPPDATA", localAppData);
    if (!created)
        return -1;
    ::WaitForInputIdle(started->process.hProcess, kStartLimitMs);
    // A window shown by the first idle moment counts from that moment: the
    // look itself (round trips to the wineserver) waits behind whatever the
    // program does once it is up, on the one CPU they share, and would add
    // that work to the start-up.
    const double idle = (NowNs() - begin) / 1e6;
    if (HWND window = TopLevelWindowOf(started->process.dwProcessId, IsShownMainWindow)) {
        started->window = window;
        return idle;
    }
    for (;;) {
        if (HWND window = TopLevelWindowOf(started->process.dwProcessId, IsShownMainWindow)) {
            started->window = window;
            return (NowNs() - begin) / 1e6;
        }
        if (::WaitForSingleObject(started->process.hProcess, 1) == WAIT_OBJECT_0)
            return -1;
        if (NowNs() - begin > kStartLimitMs * 1e6)
            return -1;
    }
}

void Stop(Started* started)
{
    if (started->window)
        ::PostMessageW(started->window, WM_CLOSE, 0, 0);
    if (::WaitForSingleObject(started->process.hProcess, 15000) != WAIT_OBJECT_0)
        ::TerminateProcess(started->process.hProcess, 1);
    ::CloseHandle(started->process.hThread);
    ::CloseHandle(started->process.hProcess);
    *started = {};
}

// --- Counts ---------------------------------------------------------------

// A count the program answers about itself (see ProcessCounts.h), or -1.
long AskCount(const Started& started, WPARAM which)
{
    static const UINT message = ::RegisterWindowMessageW(kCountsMessageName);
    // Kivra answers through the probe plugin's window, the bare program
    // through its main window.
    HWND window = TopLevelWindowOf(started.process.dwProcessId, IsProbeWindow);
    if (!window)
        window = started.window;
    DWORD_PTR answer = static_cast<DWORD_PTR>(-1);
    if (!window || !::SendMessageTimeoutW(window, message, which, 0, SMTO_ABORTIFHUNG, 5000, &answer))
        return -1;
    return static_cast<long>(answer);
}

struct WindowCount {
    DWORD processId;
    long count;
};

BOOL CALLBACK CountChild(HWND, LPARAM param)
{
    ++reinterpret_cast<WindowCount*>(param)->count;
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND hwnd, LPARAM param)
{
    auto* windows = reinterpret_cast<WindowCount*>(param);
    DWORD process = 0;
    ::GetWindowThreadProcessId(hwnd, &process);
    if (process == windows->processId) {
        ++windows->count;
        ::EnumChildWindows(hwnd, CountChild, param);
    }
    return TRUE;
}

// USER objects: GetGuiResources on Windows; under Wine (which answers 0) the
// process's windows, top-level and child.
long UserObjects(const Started& started)
{
    if (DWORD counted = ::GetGuiResources(started.process.hProcess, GR_USEROBJECTS))
        return static_cast<long>(counted);
    WindowCount windows{started.process.dwProcessId, 0};
    ::EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&windows));
    return windows.count;
}

// Milliseconds to fault in kSteadinessBytes of fresh memory, here in the
// bench's own process.
double SteadinessSample()
{
    const double begin = NowNs();
    auto* memory = static_cast<volatile char*>(
        ::VirtualAlloc(nullptr, kSteadinessBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (memory == nullptr)
        return -1;
    for (SIZE_T at = 0; at < kSteadinessBytes; at += kPageBytes)
        memory[at] = 1;
    ::VirtualFree(const_cast<char*>(memory), 0, MEM_RELEASE);
    return (NowNs() - begin) / 1e6;
}

int RunStartup(const std::vector<Program>& programs)
{
    Cases cases;
    constexpr char kSteadiness[] = "machine steadiness, 16 MB of fresh memory";
    cases.Add(kSteadiness, SteadinessSample);
    for (const Program& program : programs) {
        cases.Add(Narrow(program.label), [&program] {
            Started started;
            const double ms = Start(program, &started);
            Stop(&started);
            ::Sleep(200);  // let the previous instance's windows go before the next start
            return ms;
        });
    }
    cases.Run(RunsFromEnvironment(kStartupRuns));
    const Program& baseline = programs.back();
    const Spread base = cases.Of(Narrow(baseline.label));
    // The products against their floors, then the floors against the bare window.
    for (const Program& program : programs) {
        if (program.floor.empty())
            continue;
        const std::string measure = "start-up to visible window, " + Narrow(program.label);
        Report(measure.c_str(), cases.Of(Narrow(program.label)), Narrow(program.floor).c_str(),
               cases.Of(Narrow(program.floor)), "ms", Target::RatioAtMost, kStartupRatioLimit);
    }
    for (const Program& program : programs) {
        if (&program == &baseline || !program.floor.empty())
            continue;
        const std::string measure = "start-up floor, " + Narrow(program.label);
        Report(measure.c_str(), cases.Of(Narrow(program.label)), Narrow(baseline.label).c_str(), base, "ms",
               Target::None, 0);
    }
    // Read beside the ratios: well above x1 the run was a noisy one.
    const Spread steadiness = cases.Of(kSteadiness);
    Report(kSteadiness, steadiness, "its fastest round", {steadiness.min, steadiness.min, steadiness.min}, "ms",
           Target::None, 0);
    return 0;
}

// The lines "<name> <library ms> <LoadPlugin ms>" the timed stand-ins wrote.
void ReadPluginTimes(const std::wstring& path, std::map<std::string, std::vector<double>>* library,
                     std::map<std::string, std::vector<double>>* loadPlugin)
{
    FILE* file = _wfopen(path.c_str(), L"r");
    if (file == nullptr)
        return;
    char name[64];
    double libraryMs = 0, loadPluginMs = 0;
    while (std::fscanf(file, "%63s %lf %lf", name, &libraryMs, &loadPluginMs) == 3) {
        (*library)[name].push_back(libraryMs);
        (*loadPlugin)[name].push_back(loadPluginMs);
    }
    std::fclose(file);
}

int RunPluginTimes(const Program& program)
{
    const std::wstring times = program.exe.substr(0, program.exe.find_last_of(L'\\') + 1) + kPluginTimesFile;
    std::map<std::string, std::vector<double>> library, loadPlugin;
    const int runs = RunsFromEnvironment(7);
    for (int run = 0; run < runs; ++run) {
        ::DeleteFileW(times.c_str());
        Started started;
        const double ms = Start(program, &started);
        Stop(&started);
        ::Sleep(200);
        if (ms >= 0)
            ReadPluginTimes(times, &library, &loadPlugin);
    }
    for (const auto& [name, samples] : loadPlugin) {
        const std::string measure = "LoadPlugin of " + name + ", " + Narrow(program.label);
        Report(measure.c_str(), SpreadOf(samples), "its library's LoadLibraryW", SpreadOf(library[name]), "ms",
               Target::AtMost, kLoadPluginLimitMs);
    }
    return loadPlugin.empty() ? 1 : 0;
}

// The steps' lines "<ms since wWinMain> <step>" of each start, ended by "--"
// (framework/StartupTimes.h): each step's own time (since the step before),
// by step, in their order.
void ReadStepTimes(const std::wstring& path, std::vector<std::string>* order,
                   std::map<std::string, std::vector<double>>* steps)
{
    FILE* file = _wfopen(path.c_str(), L"r");
    if (file == nullptr)
        return;
    char line[200];
    double before = 0;
    while (std::fgets(line, sizeof(line), file) != nullptr) {
        double at = 0;
        int used = 0;
        if (std::strncmp(line, "--", 2) == 0 || std::sscanf(line, "%lf %n", &at, &used) != 1) {
            before = 0;
            continue;
        }
        std::string step = line + used;
        while (!step.empty() && (step.back() == '\n' || step.back() == '\r'))
            step.pop_back();
        if (!steps->count(step))
            order->push_back(step);
        (*steps)[step].push_back(at - before);
        before = at;
    }
    std::fclose(file);
}

int RunSteps(const Program& program)
{
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring times = std::wstring(temp) + L"kivra-startup-times.txt";
    ::DeleteFileW(times.c_str());
    ::SetEnvironmentVariableW(L"KIVRA_STARTUP_TIMES", times.c_str());  // inherited by the starts
    const int runs = RunsFromEnvironment(7);
    for (int run = 0; run < runs; ++run) {
        Started started;
        Start(program, &started);
        ::Sleep(500);  // the first idle moment, where the times are written
        Stop(&started);
        ::Sleep(200);
    }
    ::SetEnvironmentVariableW(L"KIVRA_STARTUP_TIMES", nullptr);
    std::vector<std::string> order;
    std::map<std::string, std::vector<double>> steps;
    ReadStepTimes(times, &order, &steps);
    std::printf("start-up steps of %s, each since the one before:\n", Narrow(program.label).c_str());
    for (const std::string& step : order) {
        const Spread spread = SpreadOf(steps[step]);
        std::printf("  %-42s %9.1f /%9.1f /%9.1f ms\n", step.c_str(), spread.min, spread.median, spread.max);
    }
    return order.empty() ? 1 : 0;
}

int RunIdle(int seconds, const std::vector<Program>& programs)
{
    if (programs.size() != 2)
        return 2;
    constexpr int kSliceSeconds = 10;
    const int slices = seconds / kSliceSeconds > 0 ? seconds / kSliceSeconds : 1;
    Started started[2];
    for (int k = 0; k < 2; ++k)
        if (Start(programs[k], &started[k]) < 0)
            return 1;
    ::Sleep(2000);  // start-up's own follow-up work (first paints, posted messages)
    std::vector<double> cpu[2];
    long gdi[2], user[2][2];
    double last[2];
    for (int k = 0; k < 2; ++k) {
        gdi[k] = AskCount(started[k], kCountGdiObjects);
        user[k][0] = UserObjects(started[k]);
        last[k] = AskCount(started[k], kCountCpuMs);
    }
    for (int slice = 0; slice < slices; ++slice) {
        ::Sleep(kSliceSeconds * 1000);
        for (int k = 0; k < 2; ++k) {
            const double now = AskCount(started[k], kCountCpuMs);
            cpu[k].push_back(now - last[k]);
            last[k] = now;
        }
    }
    for (int k = 0; k < 2; ++k)
        user[k][1] = UserObjects(started[k]);
    // GDI objects after the first notification and after five more: what the
    // first one makes for good (Wine's DC cache among it) is outside the measure.
    constexpr int kMoreNotifications = 5;
    const auto notify = [&started] {
        AskCount(started[0], kRaiseNotification);
        ::Sleep(kNotificationMs + 1000);
    };
    notify();
    const long gdiFirst = AskCount(started[0], kCountGdiObjects);
    for (int n = 0; n < kMoreNotifications; ++n)
        notify();
    const long gdiMore = AskCount(started[0], kCountGdiObjects);
    const std::string label = Narrow(programs[0].label);
    const std::string base = Narrow(programs[1].label);
    char measure[96];
    std::snprintf(measure, sizeof(measure), "idle CPU per %d s of %d s, %s", kSliceSeconds, slices * kSliceSeconds,
                  label.c_str());
    // The product's own timers: two of 300 ms on the main window.
    Report(measure, SpreadOf(cpu[0]), base.c_str(), SpreadOf(cpu[1]), "ms", Target::AtMost, 50);
    const auto one = [](long v) { return Spread{double(v), double(v), double(v)}; };
    Report(("GDI objects after 5 more notifications, " + label).c_str(), one(gdiMore), "after the first one",
           one(gdiFirst), "", Target::SameAsBaseline, 0);
    Report(("USER objects (windows) after " + std::to_string(slices * kSliceSeconds) + " s, " + label).c_str(),
           one(user[0][1]), "after start", one(user[0][0]), "", Target::SameAsBaseline, 0);
    Report(("GDI objects after start, " + label).c_str(), one(gdi[0]), base.c_str(), one(gdi[1]), "",
           Target::None, 0);
    Report(("USER objects (windows) after start, " + label).c_str(), one(user[0][0]), base.c_str(), one(user[1][0]),
           "", Target::None, 0);
    for (Started& s : started)
        Stop(&s);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::vector<Program> programs;
    if (argc >= 4 && std::wstring(argv[1]) == L"startup" && ParsePrograms(2, argc, argv, &programs))
        return RunStartup(programs);
    if (argc == 3 && std::wstring(argv[1]) == L"plugins" && ParsePrograms(2, argc, argv, &programs))
        return RunPluginTimes(programs.front());
    if (argc == 3 && std::wstring(argv[1]) == L"steps" && ParsePrograms(2, argc, argv, &programs))
        return RunSteps(programs.front());
    if (argc == 5 && std::wstring(argv[1]) == L"idle" && ParsePrograms(3, argc, argv, &programs))
        return RunIdle(_wtoi(argv[2]), programs);
    std::fprintf(stderr, "usage: bench_startup startup <label>=<exe> [@<floor label>] ... | plugins <label>=<exe>"
                         " | steps <label>=<exe> | idle <seconds> <label>=<exe> <label>=<exe>\n");
    return 2;
}
