// Inserting 10,000 received messages in one transaction through dunra.dll,
// as a plugin does (dbOpen, dbMigrate, the shared connection), against the
// same inserts by a bare program with the same SQLite linked in
// (bench_database_bare.exe beside this program). Each sample is a process
// of its own on a fresh file, so neither side inherits the other's cache;
// the samples are interleaved.
//   bench_database            runs the measure and prints its line
//   bench_database sample     one sample through dunra.dll: prints nanoseconds
#include "dunra.h"

#include "bench/BenchSupport.h"
#include "bench/MessageInserts.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

using namespace kivra::bench;

namespace {

constexpr double kRatioLimit = 1.5;

int Sample()
{
    const std::wstring path = FreshDatabasePath(L"kivra-bench-dunra.db");
    const TDbStep steps[] = {{1, kMessageTable}};
    bool ok = dbOpen(path.c_str()) && dbMigrate("bench", steps, 1) == 1;
    const double start = NowNs();
    ok = ok && InsertMessages(dbConnection());
    const double elapsed = NowNs() - start;
    std::printf("%.0f\n", ok ? elapsed : -1.0);
    return ok ? 0 : 1;
}

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

// Runs program with arguments and reads the milliseconds it printed (in ns),
// or -1.
double RunSample(const std::wstring& program, const wchar_t* arguments)
{
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return -1;
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process{};
    std::wstring command = L"\"" + program + L"\" " + arguments;
    const bool started = ::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                          nullptr, &startup, &process);
    ::CloseHandle(writeEnd);
    std::string output;
    char buffer[256];
    DWORD read = 0;
    while (started && ::ReadFile(readEnd, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        output.append(buffer, read);
    ::CloseHandle(readEnd);
    if (!started)
        return -1;
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return std::atof(output.c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc > 1 && std::wcscmp(argv[1], L"sample") == 0)
        return Sample();
    const std::wstring folder = ProgramFolder();
    Cases cases;
    bool failed = false;
    const auto milliseconds = [&failed](double ns) {
        failed = failed || ns < 0;
        return ns / 1e6;
    };
    cases.Add("dunra", [&] { return milliseconds(RunSample(folder + L"bench_database.exe", L"sample")); });
    cases.Add("bare", [&] { return milliseconds(RunSample(folder + L"bench_database_bare.exe", L"")); });
    cases.Run(RunsFromEnvironment(9));
    if (failed) {
        std::printf("database: a sample failed\n");
        return 1;
    }
    Report("10,000 messages in one transaction, dunra", cases.Of("dunra"), "bare program, SQLite linked in",
           cases.Of("bare"), "ms", Target::RatioAtMost, kRatioLimit);
    return 0;
}
