// ChildProcess: runs a program to its end with its output read through a
// pipe, for kivra-check.exe and the tests that start programs.
//
// Three things keep such a run from waiting forever:
//   - the child inherits the pipe's write end and nothing else
//     (PROC_THREAD_ATTRIBUTE_HANDLE_LIST); where that attribute cannot be
//     had, launches take turns under one lock, so no other launch of this
//     process inherits the pipe meanwhile;
//   - the reader does not wait for the pipe to close, which it never does
//     while any other process holds a copy of the write end (a helper that a
//     plugin started with inherited handles): it waits for the child itself
//     to end and then takes what is left in the pipe;
//   - a time limit, after which the child is ended.
// A command line or working folder that does not fit what CreateProcessW
// takes is refused before the call (Wine aborts inside the calling process
// on a working folder past MAX_PATH).
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace kivra {

// The exit code given to a child ended at its time limit.
constexpr DWORD kChildTimedOutExitCode = 0x4B540000;  // "KT"
// CreateProcessW's limits: the command line in characters with its NUL, the
// working folder in characters without it (SetCurrentDirectory's MAX_PATH - 2
// and its trailing backslash).
constexpr size_t kMaxCommandLineUnits = 32767;
constexpr size_t kMaxWorkingFolderChars = MAX_PATH - 2;

struct TChildRun {
    std::wstring application;    // the program's path; empty: the command line's first word
    std::wstring commandLine;    // the whole command line, program name first
    std::wstring workingFolder;  // empty: this process's
    DWORD limitMs = INFINITE;
    // Told each piece of output as it is read, in order.
    std::function<void(const char* bytes, size_t size)> onOutput;
};

struct TChildOutcome {
    bool started = false;
    DWORD startError = 0;  // why it did not start (ERROR_FILENAME_EXCED_RANGE for a path too long)
    bool timedOut = false;  // ended at the time limit
    DWORD exitCode = 0;
    DWORD milliseconds = 0;
};

// Whether CreateProcessW can be given these (see kMaxCommandLineUnits,
// kMaxWorkingFolderChars).
bool FitsProcessLimits(const std::wstring& commandLine, const std::wstring& workingFolder);

// Runs the program with its standard output and error on one pipe, reads it
// until the program has ended and then drains it, and ends the program once
// the limit has passed.
TChildOutcome RunChildProcess(const TChildRun& run);

}  // namespace kivra
