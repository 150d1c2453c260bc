#include "framework/ChildProcess.h"

#include <mutex>
#include <vector>

#include "framework/Handles.h"

namespace kivra {

namespace {

// How often the reader looks at the pipe and the child while both are quiet.
constexpr DWORD kPollMs = 20;
constexpr DWORD kReadChunk = 4096;

// Launches that cannot name the handles to inherit take turns, so that no
// other launch of this process inherits their pipe meanwhile.
std::mutex& InheritingLaunchLock()
{
    static std::mutex lock;
    return lock;
}

// A thread attribute list that names the only handle a child inherits.
class InheritOnly {
public:
    explicit InheritOnly(HANDLE handle) : handle_(handle)
    {
        SIZE_T size = 0;
        ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        if (size == 0)
            return;
        buffer_.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data());
        if (!::InitializeProcThreadAttributeList(list, 1, 0, &size))
            return;
        if (!::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &handle_, sizeof(handle_),
                                         nullptr, nullptr)) {
            ::DeleteProcThreadAttributeList(list);
            return;
        }
        list_ = list;
    }
    ~InheritOnly()
    {
        if (list_ != nullptr)
            ::DeleteProcThreadAttributeList(list_);
    }
    InheritOnly(const InheritOnly&) = delete;
    InheritOnly& operator=(const InheritOnly&) = delete;

    LPPROC_THREAD_ATTRIBUTE_LIST List() const { return list_; }

private:
    HANDLE handle_;  // the attribute points at this member
    std::vector<unsigned char> buffer_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

// Reads what the pipe holds now, without waiting for more; false when the
// pipe is broken (every write end closed and nothing left).
bool ReadAvailable(HANDLE pipe, const TChildRun& run)
{
    for (;;) {
        DWORD available = 0;
        if (!::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr))
            return false;
        if (available == 0)
            return true;
        char chunk[kReadChunk];
        DWORD got = 0;
        if (!::ReadFile(pipe, chunk, available < kReadChunk ? available : kReadChunk, &got, nullptr) || got == 0)
            return false;
        if (run.onOutput)
            run.onOutput(chunk, got);
    }
}

}  // namespace

bool FitsProcessLimits(const std::wstring& commandLine, const std::wstring& workingFolder)
{
    return commandLine.size() < kMaxCommandLineUnits && workingFolder.size() <= kMaxWorkingFolderChars;
}

TChildOutcome RunChildProcess(const TChildRun& run)
{
    TChildOutcome outcome;
    if (!FitsProcessLimits(run.commandLine, run.workingFolder) || run.application.size() >= MAX_PATH) {
        outcome.startError = ERROR_FILENAME_EXCED_RANGE;
        return outcome;
    }
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
        outcome.startError = ::GetLastError();
        return outcome;
    }
    UniqueKernelHandle reader(readEnd), writer(writeEnd);
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    InheritOnly onlyThePipe(writeEnd);
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof(startup);
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdOutput = writeEnd;
    startup.StartupInfo.hStdError = writeEnd;
    startup.lpAttributeList = onlyThePipe.List();
    const DWORD flags = onlyThePipe.List() != nullptr ? EXTENDED_STARTUPINFO_PRESENT : 0;
    if (onlyThePipe.List() == nullptr)
        startup.StartupInfo.cb = sizeof(STARTUPINFOW);

    std::wstring commandLine = run.commandLine;  // CreateProcessW may write into it
    PROCESS_INFORMATION process{};
    BOOL created = FALSE;
    {
        std::unique_lock<std::mutex> turn(InheritingLaunchLock(), std::defer_lock);
        if (onlyThePipe.List() == nullptr)
            turn.lock();
        created = ::CreateProcessW(run.application.empty() ? nullptr : run.application.c_str(), commandLine.data(),
                                   nullptr, nullptr, TRUE, flags, nullptr,
                                   run.workingFolder.empty() ? nullptr : run.workingFolder.c_str(),
                                   &startup.StartupInfo, &process);
        outcome.startError = created ? 0 : ::GetLastError();
        // The child holds its copy; ours would keep the pipe open for ever.
        writer.reset();
    }
    if (!created)
        return outcome;
    outcome.started = true;
    UniqueKernelHandle child(process.hProcess);
    ::CloseHandle(process.hThread);

    const DWORD begin = ::GetTickCount();
    bool pipeOpen = true;
    for (;;) {
        if (pipeOpen)
            pipeOpen = ReadAvailable(readEnd, run);
        const DWORD elapsed = ::GetTickCount() - begin;
        if (run.limitMs != INFINITE && elapsed >= run.limitMs) {
            ::TerminateProcess(child.get(), kChildTimedOutExitCode);
            ::WaitForSingleObject(child.get(), kPollMs * 50);
            outcome.timedOut = true;
            break;
        }
        DWORD wait = kPollMs;
        if (!pipeOpen)  // nothing more can come: only the end is awaited
            wait = run.limitMs == INFINITE ? INFINITE : run.limitMs - elapsed;
        if (::WaitForSingleObject(child.get(), wait) == WAIT_OBJECT_0)
            break;
    }
    // What the child wrote before it ended; a helper that still holds the
    // write end may add more later, which nobody waits for.
    if (pipeOpen)
        ReadAvailable(readEnd, run);
    outcome.milliseconds = ::GetTickCount() - begin;
    ::GetExitCodeProcess(child.get(), &outcome.exitCode);
    return outcome;
}

}  // namespace kivra
