#include "app/CheckCommand.h"

#include "config/Configure.h"
#include "config/SkinCheck.h"
#include "config/XmlDocument.h"
#include "framework/Handles.h"
#include "framework/ModulePath.h"
#include "framework/ProgramVersion.h"
#include "framework/Text.h"
#include "ostel.h"
#include "plugin/ManagerPlugin.h"
#include "plugin/PluginLoader.h"
#include "plugin/ServiceRegistry.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <set>

namespace kivra {

namespace {

constexpr wchar_t kCheckSwitch[] = L"--check";
constexpr wchar_t kHelpText[] =
    L"Kivra.exe                                 starts the shell\r\n"
    L"Kivra.exe --check                         checks every plugin library and the configured skin\r\n"
    L"Kivra.exe --check plugins [file.dll ...]  checks plugins\\ as the start-up binds it, then the files given\r\n"
    L"Kivra.exe --check skin [name | folder]    checks the configured skin, skin\\<name> or a skin folder\r\n"
    L"Kivra.exe --help                          shows this text\r\n"
    L"\r\n"
    L"kivra-check.exe takes the same words after its name (kivra-check skin aurora) and\r\n"
    L"shows the output in its console. Exit code: 0 all is well, 1 a library would not\r\n"
    L"be bound, 2 the skin would not start.";

// Lines for people: to the standard output when it is a file or a pipe (as
// kivra-check.exe gives it), else to the console Kivra.exe was started from,
// else, for a program started without either, into one message box.
class Output {
public:
    Output()
    {
        handle_ = ::GetStdHandle(STD_OUTPUT_HANDLE);
        const DWORD type = handle_ && handle_ != INVALID_HANDLE_VALUE ? ::GetFileType(handle_) : FILE_TYPE_UNKNOWN;
        if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE || type == FILE_TYPE_CHAR)
            mode_ = type == FILE_TYPE_CHAR ? Mode::Console : Mode::Bytes;
        else if (::AttachConsole(ATTACH_PARENT_PROCESS) && (handle_ = ::GetStdHandle(STD_OUTPUT_HANDLE)) != nullptr)
            mode_ = Mode::Console;
        else
            mode_ = Mode::Box;
    }
    ~Output()
    {
        if (mode_ == Mode::Box && !collected_.empty())
            ::MessageBoxW(nullptr, collected_.c_str(), L"Kivra", MB_OK);
    }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    void Line(const std::wstring& text)
    {
        const std::wstring line = text + L"\r\n";
        DWORD written = 0;
        if (mode_ == Mode::Console &&
            ::WriteConsoleW(handle_, line.c_str(), static_cast<DWORD>(line.size()), &written, nullptr))
            return;
        if (mode_ == Mode::Box) {
            collected_ += line;
            return;
        }
        const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0,
                                                nullptr, nullptr);
        std::string utf8(bytes > 0 ? bytes : 0, '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8.data(), bytes, nullptr,
                              nullptr);
        ::WriteFile(handle_, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    }

private:
    enum class Mode { Bytes, Console, Box };
    Mode mode_ = Mode::Box;
    HANDLE handle_ = nullptr;
    std::wstring collected_;
};

std::wstring ProductFolder()
{
    wchar_t folder[kMaxPathChars + 1];
    return ExecutableFolder(folder, kMaxPathChars + 1) ? folder : L"";
}

// path from the product folder on, when it lies below it.
std::wstring Shown(const std::wstring& path)
{
    const std::wstring product = ProductFolder();
    return !product.empty() && _wcsnicmp(path.c_str(), product.c_str(), product.size()) == 0
               ? path.substr(product.size())
               : path;
}

std::wstring Wide(const char* name)
{
    wchar_t wide[KIVRA_NAME_SIZE];
    WidenName(wide, name);
    return wide;
}

std::wstring Hex(unsigned long value)
{
    wchar_t text[16];
    FormatText(text, L"0x%lX", value);
    return text;
}

const wchar_t* MachineName(unsigned short machine)
{
    switch (machine) {
    case IMAGE_FILE_MACHINE_AMD64: return L"x64";
    case IMAGE_FILE_MACHINE_IA64: return L"Itanium";
    case 0x01C4: return L"ARM";
    case 0xAA64: return L"ARM64";
    default: return L"another processor";
    }
}

std::wstring SystemMessage(unsigned long error)
{
    wchar_t text[256] = {};
    ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, 255, nullptr);
    std::wstring message = text;
    while (!message.empty() && (std::iswspace(message.back()) || message.back() == L'.'))
        message.pop_back();
    return message;
}

std::wstring ServicesOf(const CPluginInterface* plugin)
{
    std::wstring list;
    int count = 0;
    for (const auto& record : CServiceRegistry::GetRegistry()->Services())
        if (record->pInterface == plugin) {
            list += (count++ ? L", " : L"") + Wide(record->szName);
        }
    return std::to_wstring(count) + (count == 1 ? L" service" : L" services") + (count ? L": " + list : L"");
}

// Libraries the load order list names but plugins\ does not hold are skipped
// by the start-up as well; they are told, not counted as refused.
bool IsMissing(const wchar_t* path, const BindReport& report)
{
    return report.outcome == BindOutcome::NotAFile && ::GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES;
}

std::wstring Describe(const wchar_t* path, const BindReport& report)
{
    if (IsMissing(path, report))
        return L"not found (a name of the skin's load order list, or a file given)";
    switch (report.outcome) {
    case BindOutcome::Bound:
        return L"bound as \"" + Wide(report.info.szName) + L"\", " + ServicesOf(report.plugin);
    case BindOutcome::NotAFile:
        return L"refused: not a regular file (missing, a folder, or a device name such as COM1)";
    case BindOutcome::NotALibrary:
        return L"refused: not a Windows library";
    case BindOutcome::Not32Bit:
        return L"refused: not a 32-bit library (machine " + Hex(report.machine) + L", " + MachineName(report.machine) + L")";
    case BindOutcome::LoadFailed:
        return L"refused: Windows could not load it (error " + std::to_wstring(report.systemError) + L": " +
               SystemMessage(report.systemError) +
               (report.systemError == ERROR_MOD_NOT_FOUND ? L"; a library it needs is missing)" : L")");
    case BindOutcome::MissingExports:
        return L"refused: missing export " + std::wstring(report.missingExports.begin(), report.missingExports.end());
    case BindOutcome::Duplicate:
        return L"refused: its name \"" + Wide(report.info.szName) + L"\" contains the name of the bound plugin \"" +
               Wide(report.duplicateOf.szName) + L"\"";
    case BindOutcome::HostRefused:
        return L"refused: CheckDependenceInfo answered false to the host version " + Hex(PLUGIN_HOST_VERSION);
    case BindOutcome::LoadRefused:
        return L"refused: LoadPlugin answered false";
    case BindOutcome::NoMemory:
        break;
    }
    return L"refused: out of memory";
}

std::wstring Lower(std::wstring text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towlower(c); });
    return text;
}

int CheckPlugins(Output& out, const std::vector<std::wstring>& files)
{
    out.Line(L"Plugin check of " + Shown(PluginFolder()) + L" and the files given");
    CConfigure* configure = GetConfigure();  // the skin's load order list, as at start-up
    if (configure == nullptr)
        out.Line(L"common\\config.xml: does not load (the shell would say \"The config file may be broken!\"); "
                 L"plugins\\ is checked without the skin's load order list");
    CServiceRegistry* registry = CServiceRegistry::GetRegistry();
    if (registry == nullptr)
        return kCheckPluginRefused;

    int bound = 0, refused = 0;
    std::set<std::wstring> boundPaths;
    const BindObserver observer = [&](const wchar_t* path, const BindReport& report) {
        // The folder scan meets the libraries of the load order list again.
        if (report.outcome == BindOutcome::Duplicate && boundPaths.count(Lower(path)) != 0)
            return;
        if (report.outcome == BindOutcome::Bound) {
            ++bound;
            boundPaths.insert(Lower(path));
        } else if (!IsMissing(path, report)) {
            ++refused;
        }
        out.Line(Shown(path) + L": " + Describe(path, report));
    };
    // As at start-up: the bus forgets a library's listeners before it goes.
    SetLibraryReleaseHandler([](HMODULE library) { OpUnsubscribeModule(library); });
    LoadStartupPlugins(registry, ManagerPluginEntryPoints(), configure ? &configure->Skin().Document() : nullptr,
                       observer);
    for (const std::wstring& file : files) {
        wchar_t full[kMaxPathChars + 1];
        const DWORD length = ::GetFullPathNameW(file.c_str(), kMaxPathChars + 1, full, nullptr);
        BindReport report;
        if (length == 0 || length > kMaxPathChars)
            observer(file.c_str(), report);  // NotAFile
        else if (boundPaths.count(Lower(full)) == 0) {
            BindPlugin(registry, full, &report);
            observer(full, report);
        }
    }
    out.Line(std::to_wstring(bound + refused) + L" libraries: " + std::to_wstring(bound) + L" bound, " +
             std::to_wstring(refused) + L" refused.");

    UnloadAllPlugins();
    CServiceRegistry::DestroyRegistry();
    DestroyConfigure();
    return refused > 0 ? kCheckPluginRefused : kCheckPassed;
}

// The configured skin's folder, or skin\<which>, or the folder which names.
bool SkinFolderFor(Output& out, const std::wstring& which, std::wstring* folder)
{
    const std::wstring product = ProductFolder();
    std::wstring name = which;
    if (name.empty()) {
        CXmlDocument config;
        const std::wstring path = product + L"common\\config.xml";
        if (!config.Load(path.c_str()) || !config.ReadText(L"main-frame/skin", &name)) {
            out.Line(L"common\\config.xml: " + (config.IsLoaded() ? std::wstring(L"main-frame/skin is missing")
                                                                  : config.LastLoadErrorText()));
            return false;
        }
    }
    if (name.find_first_of(L"\\/:") == std::wstring::npos) {
        *folder = product + L"skin\\" + name;
    } else {
        wchar_t full[kMaxPathChars + 1];
        const DWORD length = ::GetFullPathNameW(name.c_str(), kMaxPathChars + 1, full, nullptr);
        *folder = length > 0 && length <= kMaxPathChars ? full : name;
    }
    while (!folder->empty() && (folder->back() == L'\\' || folder->back() == L'/'))
        folder->pop_back();
    return true;
}

int CheckSkinFolder(Output& out, const std::wstring& which)
{
    std::wstring folder;
    if (!SkinFolderFor(out, which, &folder)) {
        out.Line(L"The configured skin is not known: the shell would say \"The config file may be broken!\"");
        return kCheckSkinWouldNotStart;
    }
    const std::wstring shown = Shown(folder);
    out.Line(L"Skin check of " + shown);
    const SkinCheckResult result = CheckSkin(folder.c_str());
    for (const SkinFinding& finding : result.findings)
        out.Line((finding.path.empty() ? shown : finding.path) + L": " + finding.text);
    if (!result.starts) {
        out.Line(shown + L" would not start: the shell would say \"The config file may be broken!\"");
        return kCheckSkinWouldNotStart;
    }
    out.Line(result.summary);
    out.Line(result.findings.empty() ? L"No findings." : std::to_wstring(result.findings.size()) + L" findings.");
    return kCheckPassed;
}

}  // namespace

bool IsCheckCommand(const std::vector<std::wstring>& arguments)
{
    if (arguments.empty())
        return false;
    const std::wstring& first = arguments.front();
    return first == kCheckSwitch || first == L"--help" || first == L"-h" || first == L"/?";
}

int RunCheckCommand(const std::vector<std::wstring>& arguments)
{
    Output out;
    if (arguments.empty() || arguments.front() != kCheckSwitch) {
        out.Line(L"Kivra " + std::wstring(kProgramVersion) + L"\r\n\r\n" + kHelpText);
        return kCheckPassed;
    }
    // COM for the XML readers, as the start-up has it.
    const ComScope com;
    const std::wstring what = arguments.size() > 1 ? arguments[1] : L"";
    const std::vector<std::wstring> rest(arguments.begin() + std::min<size_t>(2, arguments.size()), arguments.end());
    int result = kCheckPassed;
    if (what == L"plugins") {
        result = CheckPlugins(out, rest);
    } else if (what == L"skin") {
        result = CheckSkinFolder(out, rest.empty() ? L"" : rest.front());
    } else if (what.empty()) {
        result = CheckPlugins(out, {});
        out.Line(L"");
        result = std::max(result, CheckSkinFolder(out, L""));
    } else {
        out.Line(L"Unknown check \"" + what + L"\".\r\n\r\n" + kHelpText);
        result = kCheckPluginRefused;
    }
    return result;
}

}  // namespace kivra
