// The crash report of a plugin that crashes on purpose (fixtures/CrashyPlugin.cpp)
// and the message the next start shows once.
#include "tests/battery/Battery.h"

#include "tests/e2e/KivraRun.h"
#include "tests/support/DialogSearch.h"

#include <gtest/gtest.h>

using namespace kivra::battery;
using namespace kivra::e2e;

namespace {

constexpr DWORD kLimitMs = 30000;

// The single file of log\ matching pattern, or empty.
std::wstring OnlyFile(const std::wstring& folder, const wchar_t* pattern)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"log\\" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return {};
    std::wstring name = found.cFileName;
    if (FindNextFileW(search, &found))
        name.clear();
    FindClose(search);
    return name;
}

TEST(CrashReportTest, NamesThePluginItsEntryAndStackAndTheNextStartSaysSoOnce)
{
    Plan plan = BasePlan();
    plan.title = L"Battery crash report";
    plan.crashyAt = "service";
    const std::wstring folder = ProductFolder(L"crash-report");
    ASSERT_EQ(MakeProduct(folder, plan), "");

    const RunResult crashed = RunKivra(folder, plan, kLimitMs);
    ASSERT_EQ(crashed.outcome, Outcome::Crashed);
    EXPECT_EQ(crashed.exitCode, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
    const std::string& report = crashed.crashReport;
    std::printf("%s\n", report.c_str());
    EXPECT_NE(report.find("At fault: plugin \"crashy\" ("), std::string::npos);
    EXPECT_NE(report.find("plugins\\crashy.dll): the fault lies in its code."), std::string::npos);
    EXPECT_NE(report.find("Exception: 0xC0000005, access violation, writing address 0x00000000"), std::string::npos);
    EXPECT_NE(report.find("Faulting module: 0x"), std::string::npos);
    EXPECT_NE(report.find("crashy.dll+0x"), std::string::npos);
    // Reached through its listener on the user-interface thread, which called
    // the service: both entries are named.
    EXPECT_NE(report.find("(the user-interface thread)"), std::string::npos);
    EXPECT_NE(report.find("class \"OstelBusReceiver\""), std::string::npos);
    EXPECT_NE(report.find("service crashy/Boom of plugin \"crashy\""), std::string::npos);
    EXPECT_NE(report.find("  0x"), report.find("Stack (return addresses")) << "no stack";
    EXPECT_NE(report.find("Kivra.exe+0x", report.find("Stack (")), std::string::npos);
    const std::wstring reportName = OnlyFile(folder, L"crash-*.txt");
    ASSERT_FALSE(reportName.empty());
    // Wine's dbghelp writes minidumps as Windows' does.
    const std::wstring dumpName = reportName.substr(0, reportName.size() - 4) + L".dmp";
    EXPECT_EQ(OnlyFile(folder, L"crash-*.dmp"), dumpName);
    EXPECT_NE(report.find(kivra::testing::Utf8(dumpName)), std::string::npos);

    // The next start, with a plugin that no longer crashes, says so once.
    plan.crashyAt = "-";
    const std::wstring message = L"The last run of Kivra ended in a crash in the plugin \"crashy\" (crashy.dll).\r\n\r\n"
                                 L"The crash report is log\\" + reportName +
                                 L" beside Kivra.exe; the plugin's author can tell from it what went wrong.";
    {
        KivraProcess kivra;
        ASSERT_TRUE(kivra.Start(folder));
        HWND box = WaitForMessageBox(kivra.Id(), message.c_str());
        ASSERT_NE(box, nullptr) << "no crash notice";
        PressButton(box, IDOK);
        HWND window = WaitForWindow(kivra.Id(), plan.title.c_str());
        ASSERT_NE(window, nullptr) << "the start goes on after the notice";
        EXPECT_TRUE(kivra.CloseAndWait(window));
        EXPECT_EQ(kivra.ExitCode(), 0u);
    }
    {
        KivraProcess kivra;
        ASSERT_TRUE(kivra.Start(folder));
        HWND window = WaitForWindow(kivra.Id(), plan.title.c_str());
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(kivra::testing::FindDialogWithChildText(kivra.Id(), message.c_str(), false), nullptr)
            << "the notice is shown once only";
        EXPECT_TRUE(kivra.CloseAndWait(window));
    }
    for (int attempt = 0; attempt < 20 && !DeleteTree(folder); ++attempt)
        Sleep(100);
}

}  // namespace
