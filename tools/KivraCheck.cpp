// kivra-check.exe: the plugin and skin checks of Kivra.exe, from a console.
//
// The checks run inside Kivra.exe ("Kivra.exe --check ..."), because plugin
// libraries import their functions from the module named Kivra.exe and must
// meet the very loader and registry the shell uses. Kivra.exe is a windowed
// program; this console program starts it beside itself with a pipe as its
// output, shows what it writes, and ends with its exit code (a check that
// has not ended after two minutes is ended and answers 1):
//
//   kivra-check                           every plugin library and the configured skin
//   kivra-check plugins [file.dll ...]    plugins\ as the start-up binds it, then the files given
//   kivra-check skin [name | folder]      the configured skin, skin\<name> or a skin folder
//   kivra-check --help
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "framework/ChildProcess.h"
#include "framework/Text.h"

namespace {

// A check that takes longer than this is stuck (a plugin waiting in
// LoadPlugin for something that never comes): Kivra.exe is ended.
constexpr DWORD kCheckLimitMs = 120000;

// An argument quoted the way CommandLineToArgvW reads it back.
std::wstring Quoted(const std::wstring& argument)
{
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

// Writes UTF-8 bytes to this program's output: as text to a console, as they
// are to a file or a pipe.
void Forward(HANDLE output, const std::string& bytes)
{
    DWORD mode = 0, written = 0;
    if (::GetConsoleMode(output, &mode)) {
        const int units = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
        std::wstring text(units > 0 ? units : 0, L'\0');
        ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), units);
        ::WriteConsoleW(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    } else {
        ::WriteFile(output, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
}

// Kivra.exe left log\last-crash.txt for its next start: the plugin, its
// library and the report, one per line. Told here, it need not be told again.
void TellCrash(const std::wstring& folder, DWORD exitCode)
{
    const std::wstring notice = folder + L"log\\last-crash.txt";
    char bytes[1024] = {};
    DWORD got = 0;
    HANDLE file = ::CreateFileW(notice.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        ::ReadFile(file, bytes, sizeof(bytes) - 1, &got, nullptr);
        ::CloseHandle(file);
        ::DeleteFileW(notice.c_str());
    }
    std::string lines[3];
    std::string text(bytes, got);
    for (std::string& line : lines) {
        const size_t end = text.find("\r\n");
        line = text.substr(0, end);
        text = end == std::string::npos ? std::string() : text.substr(end + 2);
    }
    char message[1200];
    if (!lines[0].empty())
        kivra::FormatText(message, "plugins\\%s: crashed (plugin \"%s\", exception 0x%08lX); the crash report is %s\r\n",
                          lines[1].c_str(), lines[0].c_str(), exitCode, lines[2].c_str());
    else
        kivra::FormatText(message, "Kivra.exe ended in a crash (exception 0x%08lX); the crash report is %s\r\n",
                          exitCode, lines[2].empty() ? "in log\\" : lines[2].c_str());
    Forward(::GetStdHandle(STD_OUTPUT_HANDLE), message);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    wchar_t self[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring kivra(self, length < MAX_PATH ? length : 0);
    kivra = kivra.substr(0, kivra.find_last_of(L'\\') + 1) + L"Kivra.exe";

    const bool help = argc > 1 && (std::wstring(argv[1]) == L"--help" || std::wstring(argv[1]) == L"-h" ||
                                   std::wstring(argv[1]) == L"/?");
    std::wstring command = Quoted(kivra) + (help ? L" --help" : L" --check");
    for (int i = help ? argc : 1; i < argc; ++i)
        command += L" " + Quoted(argv[i]);

    // Kivra.exe gets the pipe and nothing else of ours, and is awaited
    // itself, not the pipe's end: a helper program that a plugin started
    // with inherited handles may hold the pipe long after Kivra.exe ended.
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    std::string pending;
    kivra::TChildRun run;
    run.application = kivra;
    run.commandLine = command;
    run.limitMs = kCheckLimitMs;
    run.onOutput = [&](const char* bytes, size_t size) {
        pending.append(bytes, size);
        // Whole lines only, so no UTF-8 sequence is split.
        const size_t end = pending.rfind('\n');
        if (end != std::string::npos) {
            Forward(output, pending.substr(0, end + 1));
            pending.erase(0, end + 1);
        }
    };
    const kivra::TChildOutcome ran = kivra::RunChildProcess(run);
    if (!ran.started) {
        std::fwprintf(stderr, L"kivra-check: %ls cannot be started (error %lu).\n", kivra.c_str(), ran.startError);
        return 1;
    }
    if (!pending.empty())
        Forward(output, pending);
    if (ran.timedOut) {
        char message[160];
        kivra::FormatText(message, "kivra-check: Kivra.exe --check did not end within %lu s and was ended.\r\n",
                          kCheckLimitMs / 1000);
        Forward(output, message);
        return 1;
    }
    const DWORD exitCode = ran.exitCode;
    if ((exitCode & 0xC0000000u) == 0xC0000000u)
        TellCrash(kivra.substr(0, kivra.size() - std::wcslen(L"Kivra.exe")), exitCode);
    return static_cast<int>(exitCode);
}
