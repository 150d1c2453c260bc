// KivraRun.h - running the real Kivra.exe from a test program: a product
// folder of its own in the test's binary folder, the process, its windows, and
// the probe plugin's log and control window.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/e2e/ProbeProtocol.h"
#include "tests/support/Files.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/TestProgram.h"

namespace kivra::e2e {

// The folder of this test program and the demo product's installed folder
// (build/Kivra\), both with a trailing backslash.
using testing::DemoDatabaseAsMade;
using testing::DemoProductFolder;
using testing::TestProgramFolder;

using testing::WriteFileBytes;
bool WriteTextFile(const std::wstring& path, const std::string& utf8);
std::string ReadTextFile(const std::wstring& path);
std::vector<std::string> ReadLines(const std::wstring& path);
bool DeleteTree(const std::wstring& folder);
// Copies the files and folders of from into to (both with a trailing
// backslash), leaving out the names in skip.
bool CopyTree(const std::wstring& from, const std::wstring& to, const std::vector<std::wstring>& skip = {});

// A copy of the demo product as the build lays it out (build/Kivra\), without
// its log folder, in runs\<name>\ of the test program's short scratch
// folder; with the demo's database (its messages and usage) only when asked.
class DemoProductCopy {
public:
    enum class Database { kLeftOut, kCopied };
    explicit DemoProductCopy(const wchar_t* name, Database database = Database::kLeftOut);
    ~DemoProductCopy();
    DemoProductCopy(const DemoProductCopy&) = delete;
    DemoProductCopy& operator=(const DemoProductCopy&) = delete;

    bool Ready() const { return ready_; }
    const std::wstring& Folder() const { return folder_; }

private:
    std::wstring folder_;
    bool ready_ = false;
};

// A 24-bit bottom-up BMP of width x height whose pixels come from colourAt(x, y)
// (as COLORREF values).
std::vector<unsigned char> MakeBitmapFile(int width, int height, COLORREF (*colourAt)(int x, int y));
// A 32 x 32 icon file of one colour.
std::vector<unsigned char> MakeIconFile(COLORREF colour);

// What the fixture product looks like.
struct FixtureOptions {
    std::wstring titleId = L"ProbeTitle";      // main-frame/title (a language id)
    std::wstring titleText = L"Kivra Probe";   // its translation in the language file
    bool brokenConfig = false;                 // config.xml not well-formed
    bool withProgram = true;                   // Kivra.exe and the three libraries copied in
    bool withProbes = true;                    // probe_a and probe_b in plugins\ .
    std::wstring loadOrder = L"probe_b probe_a";
    std::wstring logLevels;                    // main-frame/enble-log-level, empty: absent
    bool withLogoFile = true;                  // common\logo.ico present (config.xml names it anyway)
    bool withTrayMenu = false;                 // a tray menu: "Open" and the drop-zone item, the drop zone hidden at first
};

// Colours of the fixture skin's background picture.
constexpr COLORREF kFixtureMask = RGB(255, 0, 255);
constexpr COLORREF kFixtureBody = RGB(0, 128, 128);
constexpr int kFixtureWidth = 320;
constexpr int kFixtureHeight = 240;
constexpr int kFixtureCornerCut = 40;  // the top-left triangle x + y < 40 is mask colour

// A product folder made for one test: Kivra.exe, the three libraries, the
// fixture product files and the probe plugins (the options say which). Made
// below "runs\" in the test program's short scratch folder; removed again by
// the destructor.
class FixtureProduct {
public:
    explicit FixtureProduct(const wchar_t* name, const FixtureOptions& options = {});
    ~FixtureProduct();
    FixtureProduct(const FixtureProduct&) = delete;
    FixtureProduct& operator=(const FixtureProduct&) = delete;

    bool Ready() const { return ready_; }
    const std::wstring& Folder() const { return folder_; }  // with a trailing backslash
    std::wstring ProbeLog() const { return folder_ + L"probe.log"; }

private:
    std::wstring folder_;
    bool ready_ = false;
};

// A started Kivra.exe. The destructor ends a process that still runs.
class KivraProcess {
public:
    KivraProcess() = default;
    ~KivraProcess();
    KivraProcess(const KivraProcess&) = delete;
    KivraProcess& operator=(const KivraProcess&) = delete;

    // Starts folder\Kivra.exe in workingFolder (the product folder when empty),
    // with KIVRA_PROBE_LOG naming probeLog when given and the modem library
    // told the connection state (KIVRA_MODEM_STATE: "connected" or
    // "disconnected").
    bool Start(const std::wstring& folder, const std::wstring& probeLog = {},
               const std::wstring& workingFolder = {}, const wchar_t* modemState = L"disconnected");
    // Start, then the main window: the first visible top-level window of the
    // process titled title (any title when null), waited for up to
    // timeoutMs. Null when the program did not start or no such window came.
    HWND StartAndWaitForWindow(const std::wstring& folder, const wchar_t* title, const std::wstring& probeLog = {},
                               const std::wstring& workingFolder = {}, const wchar_t* modemState = L"disconnected",
                               DWORD timeoutMs = 20000);
    DWORD Id() const { return id_; }
    // Waits for the end of the process; true when it ended within timeout.
    bool WaitForExit(DWORD timeoutMs);
    bool Running() const;
    DWORD ExitCode() const;
    // Why Start failed (ERROR_FILENAME_EXCED_RANGE: a path past CreateProcessW's limits).
    DWORD StartError() const { return startError_; }
    // Sends WM_CLOSE to window and waits for the end; kills it as a last resort.
    bool CloseAndWait(HWND window, DWORD timeoutMs = 15000);

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
    DWORD startError_ = 0;
};

// The first visible top-level window of the process whose title is title
// (any title when null), waiting up to timeout.
HWND WaitForWindow(DWORD processId, const wchar_t* title, DWORD timeoutMs = 20000);
// The first layered top-level window of the process, shown or not (the
// floating drop zone, made once the main window is up), waiting up to
// timeout; null when there is none.
HWND FindLayeredWindow(DWORD processId, DWORD timeoutMs = 5000);
// A top-level dialog (#32770) of the process that holds a child with exactly
// this text, waiting up to timeout.
HWND WaitForMessageBox(DWORD processId, const wchar_t* text, DWORD timeoutMs = 20000);
// Presses the button with this id (IDOK, IDYES, IDNO...) of a dialog.
void PressButton(HWND dialog, int id);

// Waits until the window is shown (visible true) or hidden; true when it came
// to that within the timeout.
bool WaitUntilVisible(HWND window, bool visible, DWORD timeoutMs = 5000);

// Waits until a line of the file satisfies contains(needle); true when found.
bool WaitForLine(const std::wstring& path, const std::string& needle, DWORD timeoutMs = 10000);

// The control window of the probe plugin inside Kivra.exe.
class ProbeClient {
public:
    // The control window of the probe inside that process.
    bool Find(DWORD processId, DWORD timeoutMs = 20000);
    // CallService through the probe; returns its result (or -100 when the probe
    // cannot be reached).
    int Call(ProbeCallKind kind, const char* service, const wchar_t* text = nullptr, int wParam = 0);
    HWND Window() const { return window_; }

private:
    HWND window_ = nullptr;
};

// The last line of the probe log that begins with prefix, or empty.
std::string LastLineStartingWith(const std::wstring& path, const std::string& prefix);

}  // namespace kivra::e2e
