// The process-wide log: time-stamped text lines appended to files in the
// "log\" folder beside the executable.
//
// Every write opens the file (others may read it meanwhile, nobody else may
// write it), appends one line and closes it again, so nothing stays open
// between writes and a file deleted meanwhile is simply created again. A line
// is
//     "%4d-%02d-%02d %02d:%02d:%02d  \t%s \r\n"
// (local time, two blanks and a tab, the message, one blank, CR LF), stored in
// the system's ANSI code page without a byte-order mark.
//
// Message formats follow the Windows wide printf rules, whatever the MinGW
// stdio setting: %s and %ls take a wide string (const wchar_t*), %hs and %S a
// narrow one.
//
// Used from the user-interface thread only; the object takes no lock.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <string>

namespace kivra {

// The level bits the configuration can switch (its six flags in order); the
// shell itself writes the start banner at 32 and device arrivals at 1.
constexpr unsigned kLogLevelAllConfigurable = 0x3F;
constexpr unsigned kLogInitialMask = 0xFF;

// Formatted messages and whole lines are cut to these sizes (including the NUL
// for the UTF-16 buffers; the converted line never exceeds kLogLineBytes - 1).
constexpr size_t kLogMessageUnits = 2048;
constexpr size_t kLogLineUnits = 2048;
constexpr size_t kLogLineBytes = 2048;

class CLog {
public:
    CLog();
    CLog(const CLog&) = delete;
    CLog& operator=(const CLog&) = delete;

    // The log folder: the executable's folder followed by "log\", created when
    // missing. Empty when the executable path has no folder; nothing is then
    // written anywhere (see SetLogFile).
    std::wstring GetLogFolder() const;

    // Makes GetLogFolder() + name the current file. A name that is empty, that
    // leaves the log folder (a separator, a drive colon) or that makes the path
    // longer than 259 characters leaves no current file: later writes fail
    // with -1 instead of landing somewhere else.
    void SetLogFile(const wchar_t* name);
    const std::wstring& GetLogFile() const { return path_; }

    // SetLogFile(name), then Log(level, format, ...).
    int LogTo(const wchar_t* name, unsigned level, const wchar_t* format, ...);

    // Writes one line to the current file when the log is enabled and the
    // level has a bit in the mask. Returns 0 both when the line was written
    // and when the mask or the flag filtered it out (callers ignore the
    // result), -1 when the file could not be opened or written. The message
    // is cut to 2,047 UTF-16 units.
    int Log(unsigned level, const wchar_t* format, ...);
    int LogV(unsigned level, const wchar_t* format, va_list args);

    // Appends one time-stamped line holding text to the file at path. The
    // line always ends in " \r\n": an over-long text is cut, on a character
    // boundary, so that the line fits 2,047 UTF-16 units and, converted, 2,047
    // bytes. Returns 0 when the whole line was written, -1 otherwise.
    static int WriteLine(const wchar_t* path, const wchar_t* text);

    unsigned GetMask() const { return mask_; }
    void SetMask(unsigned mask) { mask_ = mask; }
    // The start-up rule for the configured levels: a single level bit (1, 2,
    // 4, 8, 16 or 32) is added to the mask, any other value replaces it.
    void ApplyConfiguredLevel(unsigned level);

    bool IsEnabled() const { return enabled_; }
    void SetEnabled(bool enabled) { enabled_ = enabled; }

private:
    unsigned mask_ = kLogInitialMask;
    bool enabled_ = true;
    std::wstring path_;
};

// The one log object, made on the first call and kept until the process ends.
CLog& GetLog();

// The log folder for an executable path: everything up to and including the
// last backslash, followed by "log\"; empty when the path has no backslash.
std::wstring LogFolderFromExePath(const wchar_t* exePath);

// Builds the bytes of one line (time stamp, text, " \r\n") in codePage
// into out[capacity], cutting text as WriteLine does; out is terminated.
// Returns the byte count without the NUL, or -1 when nothing fits.
int ComposeLogLine(const SYSTEMTIME& time, const wchar_t* text, char* out, size_t capacity,
                   UINT codePage = CP_ACP);

// folder + name when it names a file inside folder and fits 259 characters;
// otherwise empty (see CLog::SetLogFile).
std::wstring LogFilePath(const std::wstring& folder, const wchar_t* name);

}  // namespace kivra
