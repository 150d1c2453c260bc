#include "framework/CrashReport.h"

#include "framework/CrashContext.h"
#include "framework/Handles.h"
#include "framework/ModulePath.h"
#include "framework/ProgramVersion.h"
#include "framework/Text.h"

#include <dbghelp.h>
#include <tlhelp32.h>

#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace kivra {

namespace {

// Everything the handler uses is made at installation or lives in static
// storage: a failing process may have a broken heap.
constexpr size_t kReportBytes = 64 * 1024;
constexpr int kMaxStackEntries = 40;
constexpr size_t kMaxStackScanBytes = 256 * 1024;
constexpr int kMaxCallNotes = 16;
constexpr DWORD kAbortCode = 0x40000015;  // STATUS_FATAL_APP_EXIT, as abort() reports itself
constexpr int kAbortExitCode = 3;
constexpr wchar_t kNoticeFile[] = L"last-crash.txt";
constexpr wchar_t kReportPrefix[] = L"log\\crash-";
constexpr wchar_t kMessageCaption[] = L"Kivra";
// Room the user-interface thread keeps for the handler when its stack overflows.
constexpr ULONG kStackGuaranteeBytes = 64 * 1024;
// SetProcessUserModeExceptionPolicy: let exceptions in window procedures
// reach the handler instead of being swallowed (32-bit programs on 64-bit
// Windows).
constexpr DWORD kProcessCallbackFilterEnabled = 0x1;

using MiniDumpWriteDumpFn = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE, PMINIDUMP_EXCEPTION_INFORMATION,
                                          PMINIDUMP_USER_STREAM_INFORMATION, PMINIDUMP_CALLBACK_INFORMATION);

wchar_t g_logFolder[kMaxPathChars + 1];
DWORD g_uiThread = 0;
MiniDumpWriteDumpFn g_writeDump = nullptr;
volatile LONG g_reportingThread = 0;  // the thread writing the report, 0 before
char g_report[kReportBytes];
size_t g_reportUsed = 0;

// ---------------------------------------------------------------------------
// The report text, UTF-8.

void Add(const char* format, ...)
{
    if (g_reportUsed + 1 >= kReportBytes)
        return;
    va_list args;
    va_start(args, format);
    // Cut where the report is full: what was written, terminated, counts.
    FormatTextV(g_report + g_reportUsed, kReportBytes - g_reportUsed, format, args);
    va_end(args);
    g_reportUsed += std::strlen(g_report + g_reportUsed);
}

// A UTF-16 text as UTF-8 into out[capacity] (cut, terminated).
const char* Utf8(const wchar_t* text, char* out, int capacity)
{
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text ? text : L"", -1, out, capacity, nullptr, nullptr);
    if (n <= 0)
        out[0] = 0;
    out[capacity - 1] = 0;
    return out;
}

// ---------------------------------------------------------------------------
// Addresses and the modules they lie in.

struct Place {
    HMODULE module = nullptr;
    wchar_t path[MAX_PATH] = {};
    const wchar_t* name = L"?";  // file name part of path
    uintptr_t offset = 0;
    bool plugin = false;
    char pluginName[64] = {};
};

bool Locate(const void* address, Place* place)
{
    *place = Place{};
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              static_cast<LPCWSTR>(address), &place->module) ||
        place->module == nullptr)
        return false;
    if (::GetModuleFileNameW(place->module, place->path, MAX_PATH) == 0)
        place->path[0] = 0;
    place->path[MAX_PATH - 1] = 0;
    const wchar_t* slash = std::wcsrchr(place->path, L'\\');
    place->name = slash ? slash + 1 : place->path;
    place->offset = reinterpret_cast<uintptr_t>(address) - reinterpret_cast<uintptr_t>(place->module);
    place->plugin = LookUpModule(place->module, place->pluginName, sizeof(place->pluginName), nullptr, 0);
    return true;
}

void AddPlace(const void* address)
{
    Place place;
    char name[MAX_PATH * 3];
    if (Locate(address, &place)) {
        Add("0x%08lX  %s+0x%lX", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(address)),
            Utf8(place.name, name, sizeof(name)), static_cast<unsigned long>(place.offset));
        if (place.plugin)
            Add("  (plugin \"%s\")", place.pluginName);
    } else {
        Add("0x%08lX  (no module)", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(address)));
    }
    Add("\r\n");
}

bool IsReadable(const void* address, size_t size)
{
    MEMORY_BASIC_INFORMATION info;
    if (::VirtualQuery(address, &info, sizeof(info)) != sizeof(info) || info.State != MEM_COMMIT ||
        (info.Protect & (PAGE_NOACCESS | PAGE_GUARD)) != 0)
        return false;
    const auto end = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
    return reinterpret_cast<uintptr_t>(address) + size <= end;
}

bool IsCode(const void* address)
{
    MEMORY_BASIC_INFORMATION info;
    constexpr DWORD kExecutable = PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    return ::VirtualQuery(address, &info, sizeof(info)) == sizeof(info) && info.State == MEM_COMMIT &&
           info.Type == MEM_IMAGE && (info.Protect & kExecutable) != 0;
}

// A value on the stack is taken for a return address when it points into a
// module's code just after a call instruction: E8 rel32, or FF /2 with a
// register, [register], [register + 8-bit], [address] or [register + 32-bit]
// operand.
bool IsReturnAddress(uintptr_t value)
{
    const auto* at = reinterpret_cast<const unsigned char*>(value);
    if (value < 0x10000 || !IsCode(at) || !IsReadable(at - 7, 7))
        return false;
    const auto callThrough = [](unsigned char opcode, unsigned char modrm) {
        return opcode == 0xFF && (modrm & 0x38) == 0x10;
    };
    return at[-5] == 0xE8 || callThrough(at[-2], at[-1]) || callThrough(at[-3], at[-2]) ||
           callThrough(at[-6], at[-5]) || callThrough(at[-7], at[-6]);
}

// The return addresses found on the stack above esp, innermost first.
int ScanStack(uintptr_t esp, uintptr_t* out, int capacity)
{
    // The stack's committed pages above esp form one region, up to its base.
    MEMORY_BASIC_INFORMATION info;
    if (esp == 0 || ::VirtualQuery(reinterpret_cast<const void*>(esp), &info, sizeof(info)) != sizeof(info))
        return 0;
    const uintptr_t base = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
    const uintptr_t end = base - esp > kMaxStackScanBytes ? esp + kMaxStackScanBytes : base;
    int count = 0;
    for (uintptr_t slot = esp & ~uintptr_t(3); slot + sizeof(uintptr_t) <= end && count < capacity;
         slot += sizeof(uintptr_t)) {
        if (!IsReadable(reinterpret_cast<const void*>(slot), sizeof(uintptr_t)))
            break;
        const uintptr_t value = *reinterpret_cast<const uintptr_t*>(slot);
        if (IsReturnAddress(value) && (count == 0 || out[count - 1] != value))  // a value left twice says nothing new
            out[count++] = value;
    }
    return count;
}

const char* ExceptionName(DWORD code)
{
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION: return "access violation";
    case EXCEPTION_STACK_OVERFLOW: return "stack overflow";
    case EXCEPTION_ILLEGAL_INSTRUCTION: return "illegal instruction";
    case EXCEPTION_PRIV_INSTRUCTION: return "privileged instruction";
    case EXCEPTION_INT_DIVIDE_BY_ZERO: return "integer division by zero";
    case EXCEPTION_INT_OVERFLOW: return "integer overflow";
    case EXCEPTION_IN_PAGE_ERROR: return "in-page error";
    case EXCEPTION_BREAKPOINT: return "breakpoint";
    case EXCEPTION_DATATYPE_MISALIGNMENT: return "misaligned data";
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED: return "array bounds exceeded";
    case EXCEPTION_FLT_DIVIDE_BY_ZERO: return "floating-point division by zero";
    case EXCEPTION_FLT_INVALID_OPERATION: return "invalid floating-point operation";
    case EXCEPTION_NONCONTINUABLE_EXCEPTION: return "non-continuable exception";
    case 0xC0000374: return "heap corruption";
    case 0xE06D7363: return "C++ exception not caught (Visual C++)";
    case kAbortCode: return "abort() called (for example an uncaught C++ exception)";
    default: return "exception";
    }
}

// ---------------------------------------------------------------------------
// Who is at fault.

struct Culprit {
    bool found = false;
    char plugin[64] = {};
    wchar_t library[MAX_PATH] = {};
    const char* how = "";
};

void BlameModule(HMODULE module, const char* how, Culprit* culprit)
{
    if (culprit->found || module == nullptr)
        return;
    if (LookUpModule(module, culprit->plugin, sizeof(culprit->plugin), culprit->library, MAX_PATH)) {
        culprit->found = true;
        culprit->how = how;
    }
}

HMODULE ModuleAt(const void* address)
{
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         static_cast<LPCWSTR>(address), &module);
    return module;
}

// The window's procedure, or else its class, in a plugin library.
HMODULE WindowModule(HWND window)
{
    if (window == nullptr || !::IsWindow(window))
        return nullptr;
    if (HMODULE module = ModuleAt(reinterpret_cast<const void*>(::GetWindowLongPtrW(window, GWLP_WNDPROC))))
        if (LookUpModule(module, nullptr, 0, nullptr, 0))
            return module;
    return reinterpret_cast<HMODULE>(::GetClassLongPtrW(window, GCLP_HMODULE));
}

// The fault address and the return addresses first (the innermost plugin
// code on the stack), then the plugin entries this thread was in, innermost
// first.
Culprit FindCulprit(const void* fault, const uintptr_t* stack, int stackCount, const PluginCallNote* notes,
                    int noteCount)
{
    Culprit culprit;
    BlameModule(ModuleAt(fault), "the fault lies in its code", &culprit);
    for (int i = 0; i < stackCount; ++i)
        BlameModule(ModuleAt(reinterpret_cast<const void*>(stack[i])), "its code is on the stack", &culprit);
    for (int i = noteCount - 1; i >= 0; --i) {
        BlameModule(notes[i].module, "the shell had called into it", &culprit);
        BlameModule(WindowModule(notes[i].window), "its window was handling a message", &culprit);
    }
    return culprit;
}

// ---------------------------------------------------------------------------
// Writing.

bool WriteWholeFile(const wchar_t* path, const void* data, size_t size)
{
    UniqueFile file(::CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.get(), data, static_cast<DWORD>(size), &written, nullptr) && written == size;
}

void AddPluginCalls(const PluginCallNote* notes, int count)
{
    if (count == 0) {
        Add("Plugin entries: none (the thread was not inside a plugin entry the shell called)\r\n");
        return;
    }
    Add("Plugin entries the thread was in, outermost first:\r\n");
    char name[64], library[MAX_PATH * 3], windowClass[MAX_PATH];
    for (int i = 0; i < count; ++i) {
        const PluginCallNote& note = notes[i];
        Add("  %s", note.entry ? note.entry : "?");
        if (note.detail[0] != 0)
            Add(" %s", note.detail);
        if (note.window != nullptr) {
            wchar_t className[MAX_PATH] = {};
            ::GetClassNameW(note.window, className, MAX_PATH);
            Add(" 0x%04X to window 0x%08lX (class \"%s\")", note.message,
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(note.window)),
                Utf8(className, windowClass, sizeof(windowClass)));
        }
        wchar_t path[MAX_PATH];
        if (note.module != nullptr && LookUpModule(note.module, name, sizeof(name), path, MAX_PATH))
            Add(" of plugin \"%s\" (%s)", name, Utf8(path, library, sizeof(library)));
        Add("\r\n");
    }
}

void AddModules()
{
    Add("\r\nModules:\r\n");
    UniqueKernelHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, 0));
    if (!snapshot)
        return;
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    char path[MAX_PATH * 3];
    for (BOOL more = ::Module32FirstW(snapshot.get(), &entry); more; more = ::Module32NextW(snapshot.get(), &entry)) {
        char plugin[64] = {};
        const bool isPlugin = LookUpModule(entry.hModule, plugin, sizeof(plugin), nullptr, 0);
        Add("  0x%08lX-0x%08lX  %s%s%s%s\r\n", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(entry.modBaseAddr)),
            static_cast<unsigned long>(reinterpret_cast<uintptr_t>(entry.modBaseAddr) + entry.modBaseSize),
            Utf8(entry.szExePath, path, sizeof(path)), isPlugin ? "  (plugin \"" : "", isPlugin ? plugin : "",
            isPlugin ? "\")" : "");
    }
}

// The files of one crash: log\crash-<date>-<time>.txt and .dmp, and the
// notice for the next start.
struct TReportFiles {
    wchar_t baseName[64];
    wchar_t report[kMaxPathChars + 1];
    wchar_t dump[kMaxPathChars + 1];
    wchar_t notice[kMaxPathChars + 1];
};

bool NameReportFiles(const SYSTEMTIME& now, TReportFiles* files)
{
    FormatText(files->baseName, L"crash-%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
               now.wMinute, now.wSecond);
    return CopyText(files->report, g_logFolder) && AppendText(files->report, files->baseName) &&
           AppendText(files->report, L".txt") && CopyText(files->dump, g_logFolder) &&
           AppendText(files->dump, files->baseName) && AppendText(files->dump, L".dmp") &&
           CopyText(files->notice, g_logFolder) && AppendText(files->notice, kNoticeFile);
}

// The first lines: when, which plugin is at fault and how, the exception and
// where it happened, on which thread, in which plugin entries.
void AddWhatHappened(const SYSTEMTIME& now, Culprit& culprit, const wchar_t* libraryName,
                     const EXCEPTION_RECORD& record, const PluginCallNote* notes, int noteCount)
{
    char text[MAX_PATH * 3];
    Add("Kivra %s ended in a crash on %04u-%02u-%02u at %02u:%02u:%02u.\r\n\r\n", Utf8(kProgramVersion, text, 64),
        now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    // A library that crashed before it told its name goes by its file name.
    if (culprit.found && culprit.plugin[0] == 0)
        ::WideCharToMultiByte(CP_UTF8, 0, libraryName, -1, culprit.plugin, sizeof(culprit.plugin), nullptr, nullptr);
    if (culprit.found)
        Add("At fault: plugin \"%s\" (%s): %s.\r\n", culprit.plugin, Utf8(culprit.library, text, sizeof(text)),
            culprit.how);
    else
        Add("At fault: no plugin library was involved.\r\n");
    Add("Exception: 0x%08lX, %s", record.ExceptionCode, ExceptionName(record.ExceptionCode));
    if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2)
        Add(", %s address 0x%08lX",
            record.ExceptionInformation[0] == 0 ? "reading" : (record.ExceptionInformation[0] == 8 ? "executing" : "writing"),
            static_cast<unsigned long>(record.ExceptionInformation[1]));
    Add("\r\nFaulting module: ");
    AddPlace(record.ExceptionAddress);
    Add("Thread: %lu%s\r\n", ::GetCurrentThreadId(),
        ::GetCurrentThreadId() == g_uiThread ? " (the user-interface thread)" : "");
    AddPluginCalls(notes, noteCount);
}

void AddRegisters(const CONTEXT& context)
{
    Add("\r\nRegisters:\r\n  EAX=%08lX EBX=%08lX ECX=%08lX EDX=%08lX ESI=%08lX EDI=%08lX\r\n"
        "  EBP=%08lX ESP=%08lX EIP=%08lX EFLAGS=%08lX\r\n",
        context.Eax, context.Ebx, context.Ecx, context.Edx, context.Esi, context.Edi, context.Ebp, context.Esp,
        context.Eip, context.EFlags);
}

void AddStack(const uintptr_t* stack, int count)
{
    Add("\r\nStack (return addresses found on the stack, innermost first):\r\n");
    for (int i = 0; i < count; ++i) {
        Add("  ");
        AddPlace(reinterpret_cast<const void*>(stack[i]));
    }
}

// For the next start: the plugin (may be empty), its library's file name and
// the report's name, one per line, added after the report's reportBytes and
// written to the notice; the report text is left as it was.
void WriteNotice(const TReportFiles& files, const Culprit& culprit, const wchar_t* libraryName, size_t reportBytes)
{
    char text[MAX_PATH * 3];
    Add("%s\r\n", culprit.found ? culprit.plugin : "");
    Add("%s\r\n", Utf8(libraryName, text, sizeof(text)));
    Add("log\\%s.txt\r\n", Utf8(files.baseName, text, sizeof(text)));
    WriteWholeFile(files.notice, g_report + reportBytes, g_reportUsed - reportBytes);
    g_reportUsed = reportBytes;
}

// The minidump, where the system's dbghelp.dll can write one; none leaves no
// file behind.
bool WriteMinidump(EXCEPTION_POINTERS* pointers, const wchar_t* path)
{
    if (g_writeDump == nullptr)
        return false;
    bool dumped = false;
    {
        UniqueFile dump(::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        MINIDUMP_EXCEPTION_INFORMATION exception{::GetCurrentThreadId(), pointers, FALSE};
        dumped = dump && g_writeDump(::GetCurrentProcess(), ::GetCurrentProcessId(), dump.get(), MiniDumpNormal,
                                     &exception, nullptr, nullptr);
    }
    return dumped;
}

// Writes the report, the notice for the next start and the minidump.
void WriteReport(EXCEPTION_POINTERS* pointers)
{
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    const CONTEXT& context = *pointers->ContextRecord;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    static TReportFiles files;
    if (!NameReportFiles(now, &files))
        return;
    ::CreateDirectoryW(g_logFolder, nullptr);

    static uintptr_t stack[kMaxStackEntries];
    const int stackCount = ScanStack(context.Esp, stack, kMaxStackEntries);
    static PluginCallNote notes[kMaxCallNotes];
    const int noteCount = CurrentPluginCalls(notes, kMaxCallNotes);
    static Culprit culprit;
    culprit = FindCulprit(record.ExceptionAddress, stack, stackCount, notes, noteCount);
    const wchar_t* slash = std::wcsrchr(culprit.library, L'\\');
    const wchar_t* libraryName = slash ? slash + 1 : culprit.library;

    g_reportUsed = 0;
    AddWhatHappened(now, culprit, libraryName, record, notes, noteCount);
    AddRegisters(context);
    AddStack(stack, stackCount);
    AddModules();
    const size_t reportBytes = g_reportUsed;
    WriteNotice(files, culprit, libraryName, reportBytes);

    // The report and the notice are written before the minidump, which may
    // take long or fail in a process this broken; the report says how it went.
    char text[MAX_PATH * 3];
    Add("\r\nMinidump: being written to %s\r\n", Utf8(files.dump, text, sizeof(text)));
    WriteWholeFile(files.report, g_report, g_reportUsed);
    const bool dumped = WriteMinidump(pointers, files.dump);
    if (!dumped)
        ::DeleteFileW(files.dump);
    g_reportUsed = reportBytes;
    Add("\r\nMinidump: %s\r\n", dumped ? Utf8(files.dump, text, sizeof(text)) : "none (the system could not write one)");
    WriteWholeFile(files.report, g_report, g_reportUsed);
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pointers)
{
    const LONG self = static_cast<LONG>(::GetCurrentThreadId());
    const LONG reporter = ::InterlockedCompareExchange(&g_reportingThread, self, 0);
    if (reporter == 0 && pointers != nullptr)
        WriteReport(pointers);
    else if (reporter != self)
        ::Sleep(INFINITE);  // a second thread failing meanwhile waits for the end the first one brings
    // A fault while reporting ends the report where it got to.
    return EXCEPTION_EXECUTE_HANDLER;  // the process ends with the exception code
}

void __cdecl OnAbort(int)
{
    static CONTEXT context;
    static EXCEPTION_RECORD record;
    ::RtlCaptureContext(&context);
    record = {};
    record.ExceptionCode = kAbortCode;
    record.ExceptionAddress = reinterpret_cast<void*>(static_cast<uintptr_t>(context.Eip));
    EXCEPTION_POINTERS pointers{&record, &context};
    OnUnhandledException(&pointers);
    ::TerminateProcess(::GetCurrentProcess(), kAbortExitCode);
}

// Splits the notice's three lines.
bool ReadNotice(const wchar_t* path, wchar_t (&plugin)[64], wchar_t (&library)[MAX_PATH], wchar_t (&report)[MAX_PATH])
{
    char bytes[1024] = {};
    DWORD got = 0;
    {
        UniqueFile file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!file || !::ReadFile(file.get(), bytes, sizeof(bytes) - 1, &got, nullptr))
            return false;
    }
    wchar_t* fields[] = {plugin, library, report};
    const int capacities[] = {64, MAX_PATH, MAX_PATH};
    const char* at = bytes;
    for (int i = 0; i < 3; ++i) {
        const char* end = std::strstr(at, "\r\n");
        const int length = end ? static_cast<int>(end - at) : static_cast<int>(std::strlen(at));
        const int n = ::MultiByteToWideChar(CP_UTF8, 0, at, length, fields[i], capacities[i] - 1);
        fields[i][n > 0 ? n : 0] = 0;
        at = end ? end + 2 : at + length;
    }
    return true;
}

}  // namespace

void InstallCrashReport()
{
    g_uiThread = ::GetCurrentThreadId();
    if (!ExecutableFolder(g_logFolder, kMaxPathChars + 1) || !AppendText(g_logFolder, L"log\\"))
        g_logFolder[0] = 0;

    // The system's own dbghelp.dll, never one that lies beside the program.
    wchar_t dbghelp[kMaxPathChars + 1];
    const UINT length = ::GetSystemDirectoryW(dbghelp, kMaxPathChars + 1);
    if (length > 0 && length < kMaxPathChars && AppendText(dbghelp, L"\\dbghelp.dll"))
        if (HMODULE module = ::LoadLibraryW(dbghelp))
            g_writeDump = reinterpret_cast<MiniDumpWriteDumpFn>(
                reinterpret_cast<void (*)()>(::GetProcAddress(module, "MiniDumpWriteDump")));

    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    using GuaranteeFn = BOOL(WINAPI*)(PULONG);
    if (auto guarantee = reinterpret_cast<GuaranteeFn>(
            reinterpret_cast<void (*)()>(::GetProcAddress(kernel, "SetThreadStackGuarantee")))) {
        ULONG bytes = kStackGuaranteeBytes;
        guarantee(&bytes);
    }
    using GetPolicyFn = BOOL(WINAPI*)(LPDWORD);
    using SetPolicyFn = BOOL(WINAPI*)(DWORD);
    auto getPolicy = reinterpret_cast<GetPolicyFn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(kernel, "GetProcessUserModeExceptionPolicy")));
    auto setPolicy = reinterpret_cast<SetPolicyFn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(kernel, "SetProcessUserModeExceptionPolicy")));
    DWORD policy = 0;
    if (getPolicy && setPolicy && getPolicy(&policy))
        setPolicy(policy & ~kProcessCallbackFilterEnabled);

    ::SetUnhandledExceptionFilter(OnUnhandledException);
    std::signal(SIGABRT, OnAbort);
}

bool ShowLastCrashOnce(HWND owner)
{
    if (g_logFolder[0] == 0 && (!ExecutableFolder(g_logFolder, kMaxPathChars + 1) ||
                                !AppendText(g_logFolder, L"log\\")))
        return false;
    wchar_t noticePath[kMaxPathChars + 1];
    if (!CopyText(noticePath, g_logFolder) || !AppendText(noticePath, kNoticeFile))
        return false;
    wchar_t plugin[64], library[MAX_PATH], report[MAX_PATH];
    if (!ReadNotice(noticePath, plugin, library, report))
        return false;
    // Once: the notice goes before the box shows, so a second start while it
    // is open does not show it again. A notice that is not ours says nothing.
    ::DeleteFileW(noticePath);
    if (std::wcsncmp(report, kReportPrefix, std::wcslen(kReportPrefix)) != 0)
        return false;

    wchar_t text[1024];
    if (plugin[0] != 0)
        FormatText(text,
                   L"The last run of Kivra ended in a crash in the plugin \"%ls\" (%ls).\r\n\r\n"
                   L"The crash report is %ls beside Kivra.exe; the plugin's author can tell from it what went wrong.",
                   plugin, library, report);
    else
        FormatText(text, L"The last run of Kivra ended in a crash.\r\n\r\nThe crash report is %ls beside Kivra.exe.",
                   report);
    ::MessageBoxW(owner, text, kMessageCaption, MB_OK | MB_ICONWARNING);
    return true;
}

}  // namespace kivra
