#include "tests/e2e/KivraRun.h"

#include "framework/ChildProcess.h"
#include "framework/Text.h"
#include "tests/support/Bitmaps.h"
#include "tests/support/DialogSearch.h"

#include <cstring>

namespace kivra::e2e {

namespace {

bool CopyInto(const std::wstring& from, const std::wstring& to)
{
    return CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
}

using testing::Utf8;

COLORREF FixtureBackground(int x, int y)
{
    if (x + y < kFixtureCornerCut)
        return kFixtureMask;
    return kFixtureBody;
}

std::string ConfigXml(const FixtureOptions& o)
{
    if (o.brokenConfig)
        return "<?xml version=\"1.0\"?>\r\n<main-frame>\r\n  <title>unfinished\r\n";
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<main-frame>\r\n";
    xml += "  <logo>logo.ico</logo>\r\n";
    xml += "  <title>" + Utf8(o.titleId) + "</title>\r\n";
    xml += "  <using-system-language>false</using-system-language>\r\n";
    xml += "  <default-language>am_EN</default-language>\r\n";
    xml += "  <skin>probe</skin>\r\n";
    xml += "  <db-file-name>probe.db</db-file-name>\r\n";
    if (!o.logLevels.empty())
        xml += "  <enble-log-level>" + Utf8(o.logLevels) + "</enble-log-level>\r\n";
    xml += "  <button-owner>probe</button-owner>\r\n";
    xml += "</main-frame>\r\n";
    return xml;
}

std::string LanguageXml(const FixtureOptions& o)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<table>\r\n";
    if (!o.titleId.empty())
        xml += "  <string id=\"" + Utf8(o.titleId) + "\">" + Utf8(o.titleText) + "</string>\r\n";
    xml += "  <string id=\"ProbeGreeting\">Hello from the language file</string>\r\n";
    xml += "  <string id=\"Are you sure to exit?\">Probe: leave now?</string>\r\n";
    xml += "  <string id=\"Please disconnect!\">Probe: hang up first</string>\r\n";
    xml += "</table>\r\n";
    return xml;
}

std::string SkinXml(const FixtureOptions& o)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<skin>\r\n";
    xml += "  <description>\r\n    <skin-name>probe</skin-name>\r\n    <version>7.7.1</version>\r\n"
           "    <company>Kivra tests</company>\r\n    <URL></URL>\r\n    <preview></preview>\r\n"
           "  </description>\r\n";
    xml += "  <main-frame>\r\n    <abnormal-window>true</abnormal-window>\r\n"
           "    <mask-color>255,0,255</mask-color>\r\n    <window-size>200, 150</window-size>\r\n"
           "  </main-frame>\r\n";
    // F9 carries the system command SC_MINIMIZE (hex, as the skin writes it).
    xml += "  <accelerator>\r\n    <key control=\"false\" code=\"F9\" cmdid=\"F020\"/>\r\n  </accelerator>\r\n";
    xml += "  <backgroud>\r\n    <image from=\"0,0,320,240\" to=\"0,0,320,240\">back.bmp</image>\r\n"
           "  </backgroud>\r\n";
    xml += "  <backgroudmain-frame>\r\n    <load-plugin-order>" + Utf8(o.loadOrder) +
           "</load-plugin-order>\r\n  </backgroudmain-frame>\r\n";
    if (o.withTrayMenu)
        xml += "  <menu name=\"tray\">\r\n    <item name=\"open\" string=\"Open\" service=\"manager/ShowMainWindow\"/>\r\n"
               "    <item name=\"dropzone\" string=\"Drop zone (&amp;D)\"/>\r\n  </menu>\r\n"
               "  <float-dlg>\r\n    <show-window>false</show-window>\r\n    <enable-menu-item>true</enable-menu-item>\r\n"
               "    <normal-transparent-layer>160</normal-transparent-layer>\r\n"
               "    <hover-transparent-layer>240</hover-transparent-layer>\r\n  </float-dlg>\r\n";
    xml += "  <plugin name=\"probe_a\" background-color=\"10,20,30\" mask-color=\"1,2,3\""
           " background-image=\"back.bmp\">\r\n    <control name=\"label\" rect=\"1,2,30,40\"/>\r\n"
           "  </plugin>\r\n";
    xml += "</skin>\r\n";
    return xml;
}

bool MakeFolder(const std::wstring& folder)
{
    return CreateDirectoryW(folder.c_str(), nullptr) != FALSE || GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace

bool WriteTextFile(const std::wstring& path, const std::string& utf8)
{
    return WriteFileBytes(path, utf8.data(), utf8.size());
}

std::string ReadTextFile(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
        text.append(buffer, got);
    CloseHandle(file);
    return text;
}

std::vector<std::string> ReadLines(const std::wstring& path)
{
    std::vector<std::string> lines;
    const std::string text = ReadTextFile(path);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool DeleteTree(const std::wstring& folder)
{
    std::wstring pattern = folder + L"*";
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(pattern.c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = folder + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(path + L"\\");
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    return RemoveDirectoryW(folder.c_str()) != FALSE;
}

bool CopyTree(const std::wstring& from, const std::wstring& to, const std::vector<std::wstring>& skip)
{
    if (!MakeFolder(to))
        return false;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((from + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        bool skipped = false;
        for (const std::wstring& s : skip)
            skipped = skipped || _wcsicmp(s.c_str(), name.c_str()) == 0;
        if (skipped)
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ok = CopyTree(from + name + L"\\", to + name + L"\\", skip) && ok;
        else
            ok = CopyInto(from + name, to + name) && ok;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return ok;
}

DemoProductCopy::DemoProductCopy(const wchar_t* name, Database database)
{
    const std::wstring runs = testing::ScratchFolder() + L"runs\\";
    MakeFolder(runs);
    folder_ = runs + name + L"\\";
    DeleteTree(folder_);
    // The database as the build made it, not as a demo run left it.
    const std::vector<std::wstring> skip = {L"log", L"wineprefix", L"kivra.db", L"kivra.db-wal", L"kivra.db-shm"};
    ready_ = CopyTree(DemoProductFolder(), folder_, skip);
    if (database == Database::kCopied)
        ready_ = ready_ && CopyFileW(DemoDatabaseAsMade().c_str(), (folder_ + L"kivra.db").c_str(), FALSE);
}

DemoProductCopy::~DemoProductCopy()
{
    for (int attempt = 0; attempt < 20 && !DeleteTree(folder_); ++attempt)
        Sleep(100);
}

std::vector<unsigned char> MakeBitmapFile(int width, int height, COLORREF (*colourAt)(int x, int y))
{
    const std::string bytes = testing::BmpFileBytes(width, height, colourAt);
    return std::vector<unsigned char>(bytes.begin(), bytes.end());
}

std::vector<unsigned char> MakeIconFile(COLORREF colour)
{
    const std::string bytes = testing::IconFileBytes(32, colour, 0xFF);
    return std::vector<unsigned char>(bytes.begin(), bytes.end());
}

FixtureProduct::FixtureProduct(const wchar_t* name, const FixtureOptions& options)
{
    const std::wstring runs = testing::ScratchFolder() + L"runs\\";
    MakeFolder(runs);
    folder_ = runs + name + L"\\";
    DeleteTree(folder_);
    bool ok = MakeFolder(folder_);
    for (const wchar_t* sub : {L"common", L"language", L"skin", L"skin\\probe", L"plugins", L"log"})
        ok = ok && MakeFolder(folder_ + sub);

    const std::wstring product = DemoProductFolder();
    if (options.withProgram) {
        for (const wchar_t* file : {L"Kivra.exe", L"ostel.dll", L"marvik.dll", L"dunra.dll"})
            ok = ok && CopyInto(product + file, folder_ + file);
        // The demo's setting that lets KIVRA_MODEM_STATE=connected stand for
        // its simulated link, which the exit tests use.
        ok = ok && MakeFolder(folder_ + L"tools") &&
             CopyInto(product + L"tools\\simulated-link", folder_ + L"tools\\simulated-link");
    }
    if (options.withProbes) {
        const std::wstring probes = TestProgramFolder() + L"probes\\";
        for (const wchar_t* file : {L"probe_a.dll", L"probe_b.dll"})
            ok = ok && CopyInto(probes + file, folder_ + L"plugins\\" + file);
    }

    ok = ok && WriteTextFile(folder_ + L"common\\config.xml", ConfigXml(options));
    ok = ok && WriteTextFile(folder_ + L"language\\am_EN.xml", LanguageXml(options));
    ok = ok && WriteTextFile(folder_ + L"skin\\probe\\skin.xml", SkinXml(options));
    const auto background = MakeBitmapFile(kFixtureWidth, kFixtureHeight, FixtureBackground);
    ok = ok && WriteFileBytes(folder_ + L"skin\\probe\\back.bmp", background.data(), background.size());
    const auto mainIcon = MakeIconFile(RGB(200, 30, 30));
    ok = ok && WriteFileBytes(folder_ + L"common\\main.ico", mainIcon.data(), mainIcon.size());
    if (options.withLogoFile) {
        const auto logo = MakeIconFile(RGB(30, 30, 200));
        ok = ok && WriteFileBytes(folder_ + L"common\\logo.ico", logo.data(), logo.size());
    }
    // An image only the common folder has, for the skin's fallback.
    const auto common = MakeBitmapFile(16, 8, [](int, int) { return RGB(1, 2, 3); });
    ok = ok && WriteFileBytes(folder_ + L"common\\only-common.bmp", common.data(), common.size());
    ready_ = ok;
}

FixtureProduct::~FixtureProduct()
{
    // Kivra may still hold its files for a moment after its end.
    for (int attempt = 0; attempt < 20 && !DeleteTree(folder_); ++attempt)
        Sleep(100);
}

KivraProcess::~KivraProcess()
{
    if (process_ != nullptr) {
        if (Running()) {
            TerminateProcess(process_, 99);
            WaitForSingleObject(process_, 5000);
        }
        CloseHandle(process_);
    }
}

bool KivraProcess::Start(const std::wstring& folder, const std::wstring& probeLog, const std::wstring& workingFolder,
                         const wchar_t* modemState)
{
    SetEnvironmentVariableW(kProbeLogVariable, probeLog.empty() ? nullptr : probeLog.c_str());
    SetEnvironmentVariableW(L"KIVRA_MODEM_STATE", modemState);
    std::wstring command = L"\"" + folder + L"Kivra.exe\"";
    const std::wstring cwd = workingFolder.empty() ? folder : workingFolder;
    // Past CreateProcessW's limits Wine may abort inside this process.
    if (!FitsProcessLimits(command, cwd)) {
        SetEnvironmentVariableW(kProbeLogVariable, nullptr);
        SetEnvironmentVariableW(L"KIVRA_MODEM_STATE", nullptr);
        startError_ = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    const BOOL ok = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, cwd.c_str(),
                                   &startup, &info);
    startError_ = ok ? 0 : GetLastError();
    SetEnvironmentVariableW(kProbeLogVariable, nullptr);
    SetEnvironmentVariableW(L"KIVRA_MODEM_STATE", nullptr);
    if (!ok)
        return false;
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
    return true;
}

HWND KivraProcess::StartAndWaitForWindow(const std::wstring& folder, const wchar_t* title,
                                         const std::wstring& probeLog, const std::wstring& workingFolder,
                                         const wchar_t* modemState, DWORD timeoutMs)
{
    if (!Start(folder, probeLog, workingFolder, modemState))
        return nullptr;
    return WaitForWindow(id_, title, timeoutMs);
}

bool KivraProcess::WaitForExit(DWORD timeoutMs)
{
    return process_ != nullptr && WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
}

bool KivraProcess::Running() const
{
    return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

DWORD KivraProcess::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    if (process_ != nullptr)
        GetExitCodeProcess(process_, &code);
    return code;
}

bool KivraProcess::CloseAndWait(HWND window, DWORD timeoutMs)
{
    if (window != nullptr)
        PostMessageW(window, WM_CLOSE, 0, 0);
    return WaitForExit(timeoutMs);
}

namespace {

struct WindowSearch {
    DWORD processId;
    const wchar_t* title;
    bool visibleOnly;
    HWND found;
    DWORD exStyle = 0;  // extended style bits the window must have
};

BOOL CALLBACK FindTopLevel(HWND hwnd, LPARAM lParam)
{
    auto* search = reinterpret_cast<WindowSearch*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != search->processId)
        return TRUE;
    if (search->visibleOnly && !IsWindowVisible(hwnd))
        return TRUE;
    if ((static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE)) & search->exStyle) != search->exStyle)
        return TRUE;
    if (search->title != nullptr) {
        wchar_t text[512];
        GetWindowTextW(hwnd, text, 512);
        if (wcscmp(text, search->title) != 0)
            return TRUE;
    }
    search->found = hwnd;
    return FALSE;
}

HWND WaitFor(WindowSearch search, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        search.found = nullptr;
        EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr || GetTickCount() - start > timeoutMs)
            return search.found;
        Sleep(100);
    }
}

}  // namespace

HWND WaitForWindow(DWORD processId, const wchar_t* title, DWORD timeoutMs)
{
    return WaitFor({processId, title, true, nullptr}, timeoutMs);
}

HWND FindLayeredWindow(DWORD processId, DWORD timeoutMs)
{
    return WaitFor({processId, nullptr, false, nullptr, WS_EX_LAYERED}, timeoutMs);
}

HWND WaitForMessageBox(DWORD processId, const wchar_t* text, DWORD timeoutMs)
{
    // Hidden dialogs count too: a message box may be found before it shows.
    const DWORD start = GetTickCount();
    for (;;) {
        HWND found = testing::FindDialogWithChildText(processId, text, false);
        if (found != nullptr || GetTickCount() - start > timeoutMs)
            return found;
        Sleep(100);
    }
}

void PressButton(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    if (button != nullptr)
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    else
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

bool WaitUntilVisible(HWND window, bool visible, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while ((IsWindowVisible(window) != FALSE) != visible) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(50);
    }
    return true;
}

bool WaitForLine(const std::wstring& path, const std::string& needle, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        for (const std::string& line : ReadLines(path))
            if (line.find(needle) != std::string::npos)
                return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(100);
    }
}

bool ProbeClient::Find(DWORD processId, DWORD timeoutMs)
{
    window_ = WaitFor({processId, kProbeControlTitle, false, nullptr}, timeoutMs);
    return window_ != nullptr;
}

int ProbeClient::Call(ProbeCallKind kind, const char* service, const wchar_t* text, int wParam)
{
    if (window_ == nullptr)
        return -100;
    ProbeCall call{};
    CopyText(call.service, service);
    call.wParam = wParam;
    CopyText(call.text, text);
    COPYDATASTRUCT data{kind, sizeof(call), &call};
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, 15000,
                             &result))
        return -100;
    return static_cast<int>(result);
}

std::string LastLineStartingWith(const std::wstring& path, const std::string& prefix)
{
    std::string last;
    for (const std::string& line : ReadLines(path))
        if (line.compare(0, prefix.size(), prefix) == 0)
            last = line;
    return last;
}

}  // namespace kivra::e2e
