#include "tests/battery/Battery.h"

#include "tests/e2e/KivraRun.h"
#include "tests/support/Bitmaps.h"
#include "tests/support/DialogSearch.h"

#include <mutex>

namespace kivra::battery {

namespace {

using namespace kivra::e2e;
using testing::Utf8;

constexpr wchar_t kConfigBroken[] = L"The config file may be broken!";
// The login's label; the battery's language table leaves it as it is.
constexpr wchar_t kPasswordLabel[] = L"Password:";
constexpr DWORD kPollMs = 50;

// Starting sets process-wide environment variables; one start at a time.
std::mutex g_startLock;

std::string Element(const std::string& name, const std::string& text)
{
    return "  <" + name + ">" + text + "</" + name + ">\r\n";
}

bool MakeFolders(const std::wstring& path)
{
    // Every folder on the way, from the first backslash after the drive.
    for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    CreateDirectoryW(path.c_str(), nullptr);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string CrashReportIn(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"log\\crash-*.txt").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return {};
    FindClose(search);
    const std::string text = ReadTextFile(folder + L"log\\" + found.cFileName);
    return text.empty() ? std::string("(empty report)") : text;
}

}  // namespace

const char* OutcomeName(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Started: return "started";
    case Outcome::ConfigBroken: return "config broken";
    case Outcome::Ended: return "ended";
    case Outcome::LoginCancelled: return "login cancelled";
    case Outcome::Crashed: return "crashed";
    case Outcome::NotStarted: return "not started";
    case Outcome::Hung: return "hung";
    }
    return "?";
}

Plan BasePlan()
{
    Plan plan;
    plan.config = {
        {"logo", "logo.ico"},          {"title", ""},
        {"using-system-language", "false"}, {"default-language", "am_EN"},
        {"skin", "battery"},           {"db-file-name", "battery.db"},
        {"button-owner", "battery"},
    };
    plan.skinBody =
        "  <description><skin-name>battery</skin-name><version>1</version><preview></preview></description>\r\n"
        "  <main-frame><abnormal-window>true</abnormal-window><mask-color>255,0,255</mask-color>"
        "<window-size>160, 120</window-size></main-frame>\r\n"
        "  <backgroud><image from=\"0,0,160,120\" to=\"0,0,160,120\">back.bmp</image></backgroud>\r\n";
    plan.languageBody = "  <string id=\"BatteryGreeting\">Hello</string>\r\n";
    return plan;
}

void SetConfig(Plan& plan, const std::string& element, const std::string& text)
{
    for (auto& entry : plan.config)
        if (entry.first == element) {
            entry.second = text;
            return;
        }
    plan.config.emplace_back(element, text);
}

std::string ConfigText(const Plan& plan)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<main-frame>\r\n";
    for (const auto& [name, text] : plan.config)
        if (text != kAbsent)
            xml += Element(name, name == "title" && text.empty() ? Utf8(plan.title) : text);
    return xml + "</main-frame>\r\n";
}

std::string SkinText(const Plan& plan)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<skin>\r\n" + plan.skinBody + "</skin>\r\n";
}

std::string Utf16File(const std::string& utf8)
{
    std::string text = utf8;
    const size_t declared = text.find("encoding=\"utf-8\"");
    if (declared != std::string::npos)
        text.replace(declared, 16, "encoding=\"utf-16\"");
    const int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(units, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), units);
    std::string bytes = "\xFF\xFE";
    bytes.append(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
    return bytes;
}

std::wstring ProductFolder(const std::wstring& name)
{
    return testing::ScratchFolder() + L"runs\\" + name + L"\\";
}

std::string MakeProduct(const std::wstring& folder, const Plan& plan)
{
    std::string problem;
    const auto need = [&](bool ok, const std::wstring& path) {
        if (!ok && problem.empty())
            problem = Utf8(path) + ": error " + std::to_string(GetLastError());
    };
    DeleteTree(folder);
    need(MakeFolders(folder), folder);
    for (const wchar_t* sub : {L"common", L"language", L"skin", L"skin\\battery", L"plugins"})
        need(MakeFolders(folder + sub), folder + sub);
    // Copied, not linked: Wine checks sharing per file, not per link, and a
    // crashing Kivra.exe holds its image for a while (dbghelp reads it for the
    // minidump), which would refuse every other link's use meanwhile.
    const std::wstring program = DemoProductFolder();
    for (const wchar_t* file : {L"Kivra.exe", L"ostel.dll", L"marvik.dll", L"dunra.dll"})
        need(CopyFileW((program + file).c_str(), (folder + file).c_str(), FALSE), folder + file);
    if (!plan.crashyAt.empty())
        need(CopyFileW((TestProgramFolder() + L"fixtures\\crashy.dll").c_str(), (folder + L"plugins\\crashy.dll").c_str(), FALSE),
             L"plugins\\crashy.dll");

    const auto background = testing::BmpFileBytes(160, 120, [](int x, int y) {
        return x + y < 30 ? RGB(255, 0, 255) : RGB(40, 90, 160);
    });
    const std::string language = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<table>\r\n" + plan.languageBody +
                                 "</table>\r\n";
    const std::pair<const wchar_t*, std::string> files[] = {
        {L"skin\\battery\\back.bmp", background},
        {L"common\\main.ico", testing::IconFileBytes(32, RGB(200, 30, 30), 0xFF)},
        {L"common\\logo.ico", testing::IconFileBytes(32, RGB(30, 30, 200), 0xFF)},
        {L"common\\config.xml", plan.configFile.empty() ? ConfigText(plan) : plan.configFile},
        {L"skin\\battery\\skin.xml", plan.skinFile.empty() ? SkinText(plan) : plan.skinFile},
        {L"language\\am_EN.xml", plan.languageFile.empty() ? language : plan.languageFile},
    };
    for (const auto& [path, bytes] : files)
        need(WriteFileBytes(folder + path, bytes), path);
    for (const std::wstring& removed : plan.removed)
        DeleteFileW((folder + removed).c_str()) || RemoveDirectoryW((folder + removed).c_str());
    for (const auto& [path, bytes] : plan.files) {
        const size_t slash = path.find_last_of(L'\\');
        if (slash != std::wstring::npos)
            MakeFolders(folder + path.substr(0, slash));
        need(WriteFileBytes(folder + path, bytes), path);
    }
    for (const std::wstring& sub : plan.folders)
        need(MakeFolders(folder + sub), sub);
    return problem;
}

RunResult RunKivra(const std::wstring& folder, const Plan& plan, DWORD limitMs)
{
    RunResult result;
    KivraProcess kivra;
    std::wstring working = plan.workingFolder;
    if (!working.empty() && working.find(L':') == std::wstring::npos)
        working = folder + working;
    bool started = false;
    {
        std::lock_guard<std::mutex> lock(g_startLock);
        SetEnvironmentVariableW(L"KIVRA_CRASHY_AT",
                                plan.crashyAt.empty() ? nullptr : std::wstring(plan.crashyAt.begin(), plan.crashyAt.end()).c_str());
        started = kivra.Start(folder, {}, working);
        SetEnvironmentVariableW(L"KIVRA_CRASHY_AT", nullptr);
    }
    if (!started) {
        result.outcome = kivra.StartError() == ERROR_FILENAME_EXCED_RANGE ? Outcome::NotStarted : Outcome::Hung;
        result.crashReport = "(Kivra.exe could not be started: error " + std::to_string(kivra.StartError()) + ")";
        return result;
    }

    const DWORD begin = GetTickCount();
    Outcome seen = Outcome::Ended;
    bool exited = false;
    while (!exited && GetTickCount() - begin < limitMs) {
        exited = kivra.WaitForExit(kPollMs);
        if (exited || seen != Outcome::Ended)
            continue;
        if (HWND box = testing::FindDialogWithChildText(kivra.Id(), kConfigBroken, false)) {
            PressButton(box, IDOK);
            seen = Outcome::ConfigBroken;
        } else if (HWND login = testing::FindDialogWithChildText(kivra.Id(), kPasswordLabel, true)) {
            // Cancelled, which ends the program: nobody here knows the password.
            PressButton(login, IDCANCEL);
            seen = Outcome::LoginCancelled;
        } else if (HWND window = WaitForWindow(kivra.Id(), plan.title.c_str(), 0)) {
            PostMessageW(window, WM_CLOSE, 0, 0);
            seen = Outcome::Started;
        }
    }
    result.milliseconds = GetTickCount() - begin;
    result.exitCode = kivra.ExitCode();
    result.crashReport = CrashReportIn(folder);
    if (!exited)
        result.outcome = Outcome::Hung;
    else if (!result.crashReport.empty() || (result.exitCode & 0xC0000000u) == 0xC0000000u)
        result.outcome = Outcome::Crashed;
    else
        result.outcome = seen;
    return result;
}

}  // namespace kivra::battery
