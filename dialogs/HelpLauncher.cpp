#include "dialogs/HelpLauncher.h"

#include <shellapi.h>

#include <cwchar>

#include "config/Configure.h"
#include "framework/DiskFile.h"
#include "framework/Log.h"
#include "framework/ModulePath.h"
#include "framework/Text.h"

namespace kivra {

namespace {

// ShellExecuteW answers a value above 32 when it started something.
constexpr INT_PTR kShellExecuteFirstSuccess = 33;
constexpr unsigned kLauncherLogLevel = 1;
// Separators browsers put between a page's title and their own name.
constexpr const wchar_t* kTitleSeparators[] = {L" - ", L" \u2014 "};

struct TitleSearch {
    const wchar_t* title;
    size_t length;
    HWND found;
};

BOOL CALLBACK MatchBrowserTitle(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<TitleSearch*>(context);
    wchar_t text[512];
    if (!::IsWindowVisible(window) || ::GetWindowTextW(window, text, static_cast<int>(std::size(text))) == 0)
        return TRUE;
    if (std::wcsncmp(text, search->title, search->length) != 0)
        return TRUE;
    for (const wchar_t* separator : kTitleSeparators)
        if (std::wcsncmp(text + search->length, separator, std::wcslen(separator)) == 0) {
            search->found = window;
            return FALSE;
        }
    return TRUE;
}

std::wstring FolderPath(const wchar_t* exeFolder, const wchar_t* relative, const wchar_t* fileName)
{
    // A name with a separator or a drive would leave the product's folder.
    if (exeFolder == nullptr || fileName == nullptr || fileName[0] == 0 || std::wcspbrk(fileName, L"\\/:") != nullptr)
        return {};
    wchar_t path[kMaxPathChars + 1];
    if (!CopyText(path, exeFolder) || !AppendText(path, relative) || !AppendText(path, fileName))
        return {};
    return path;
}

std::wstring ExecutableFolderText()
{
    wchar_t folder[kMaxPathChars + 1];
    return ExecutableFolder(folder, kMaxPathChars + 1) ? folder : L"";
}

}  // namespace

bool ShellOpen(const wchar_t* path, const wchar_t* parameters)
{
    const auto result = reinterpret_cast<INT_PTR>(::ShellExecuteW(nullptr, L"open", path, parameters, nullptr, SW_SHOW));
    return result >= kShellExecuteFirstSuccess;
}

HWND FindTitledWindow(const wchar_t* title)
{
    if (title == nullptr || title[0] == 0)
        return nullptr;
    if (HWND exact = ::FindWindowW(nullptr, title))
        return exact;
    TitleSearch search{title, std::wcslen(title), nullptr};
    ::EnumWindows(MatchBrowserTitle, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool BringForwardOrOpen(const wchar_t* title, const std::wstring& path, const wchar_t* parameters,
                        OpenFileFunction open)
{
    if (HWND window = FindTitledWindow(title)) {
        ::ShowWindow(window, SW_RESTORE);
        ::SetForegroundWindow(window);
        return true;
    }
    // The help file's name comes from the configuration: a device such as
    // "COM1" or a folder is never handed to the shell.
    if (path.empty() || !IsRegularDiskFile(path.c_str())) {
        GetLog().Log(kLauncherLogLevel, L"not found: %s", path.c_str());
        return false;
    }
    const bool opened = open(path.c_str(), parameters);
    ::Sleep(kOpenPauseMs);
    return opened;
}

std::wstring HelpFilePath(const wchar_t* exeFolder, const wchar_t* fileName)
{
    return FolderPath(exeFolder, L"common\\", fileName);
}

std::wstring UpgradeProgramPath(const wchar_t* exeFolder)
{
    return FolderPath(exeFolder, L"", kUpgradeProgramName);
}

bool ShowHelpFile(OpenFileFunction open)
{
    CConfigure* configure = ExistingConfigure();
    if (configure == nullptr)
        return false;
    wchar_t title[kConfigShortTextUnits];
    TranslateShellText(configure->HelpTitle(), title);
    return BringForwardOrOpen(title, HelpFilePath(ExecutableFolderText().c_str(), configure->HelpFileName()), L"",
                              open);
}

bool UpgradeOnline(OpenFileFunction open)
{
    wchar_t title[kConfigShortTextUnits];
    TranslateShellText(kUpgradeTitleText, title);
    return BringForwardOrOpen(title, UpgradeProgramPath(ExecutableFolderText().c_str()), nullptr, open);
}

}  // namespace kivra
