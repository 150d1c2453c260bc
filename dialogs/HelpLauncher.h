// Opening the product's help and starting its upgrade program. Both bring a
// window that is already open to the front instead of starting a second one:
// the help window is found by the configured help title (translated), the
// upgrade program's by the translation of "Upgrade".
//
// The help file is common\<help file name> and the upgrade program
// update.exe, both in the executable's folder; they are opened with the
// system's "open" verb. A file that does not exist, or is a folder or a
// device rather than a file on a disk, is not opened (nothing is shown; a
// line goes to the log).
#pragma once

#include <windows.h>

#include <string>

namespace kivra {

constexpr wchar_t kUpgradeTitleText[] = L"Upgrade";
constexpr wchar_t kUpgradeProgramName[] = L"update.exe";
// Opening pauses this long so that the new window can come up.
constexpr DWORD kOpenPauseMs = 100;

// Opens path with the "open" verb and these parameters (null: none); true when
// started. ShellExecuteW, or a stand-in in tests.
using OpenFileFunction = bool (*)(const wchar_t* path, const wchar_t* parameters);
bool ShellOpen(const wchar_t* path, const wchar_t* parameters);

// The top-level window showing title: exactly that title, or, as browsers
// name their windows, the title followed by " - " or " — " and the browser's
// name. Null for an empty title or when there is none.
HWND FindTitledWindow(const wchar_t* title);

// Brings the window of title forward (restored and in the foreground) when
// there is one, else opens path (when the file exists) and pauses. Answers
// true when a window was brought forward or the file was opened.
bool BringForwardOrOpen(const wchar_t* title, const std::wstring& path, const wchar_t* parameters,
                        OpenFileFunction open = ShellOpen);

// exeFolder (with its trailing backslash) + "common\" + fileName, and
// exeFolder + "update.exe"; empty when fileName is empty or the path would be
// longer than 259 characters or leave the folder.
std::wstring HelpFilePath(const wchar_t* exeFolder, const wchar_t* fileName);
std::wstring UpgradeProgramPath(const wchar_t* exeFolder);

// "manager/ShowHelpFile" and "manager/UpgradeOnline" with the process's
// configuration and the executable's folder.
bool ShowHelpFile(OpenFileFunction open = ShellOpen);
bool UpgradeOnline(OpenFileFunction open = ShellOpen);

}  // namespace kivra
