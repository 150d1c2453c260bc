// Help and upgrade: an open window is brought forward instead of a second
// start; the paths they open.
#include "dialogs/HelpLauncher.h"

#include <gtest/gtest.h>

#include "tests/support/Files.h"
#include "tests/support/TestProgram.h"

using namespace kivra;
using namespace kivra::testing;

namespace {

constexpr wchar_t kHelpTitle[] = L"Kivra Test Help";
int g_opened = 0;
HWND g_helpWindow = nullptr;

// Stands in for the help program: its window comes up with the help's title,
// as a browser names it.
bool OpenHelpWindow(const wchar_t*, const wchar_t*)
{
    ++g_opened;
    g_helpWindow = CreateWindowExW(0, L"STATIC", L"Kivra Test Help - Some Browser", WS_POPUP | WS_VISIBLE, 0, 0, 50,
                                   50, nullptr, nullptr, nullptr, nullptr);
    return true;
}

TEST(HelpLauncherTest, TheSecondRequestBringsTheOpenHelpForwardAndMissingFilesOpenNothing)
{
    const std::wstring file = TestProgramFolder() + L"help-test.html";
    ASSERT_TRUE(WriteFileBytes(file, std::string("<title>help</title>")));
    EXPECT_TRUE(BringForwardOrOpen(kHelpTitle, file, L"", OpenHelpWindow));
    ASSERT_NE(g_helpWindow, nullptr);
    ShowWindow(g_helpWindow, SW_MINIMIZE);
    EXPECT_TRUE(BringForwardOrOpen(kHelpTitle, file, L"", OpenHelpWindow));
    EXPECT_EQ(g_opened, 1) << "a second help was started";
    EXPECT_FALSE(IsIconic(g_helpWindow)) << "the open help was not restored";
    EXPECT_EQ(FindTitledWindow(L"Kivra Test"), nullptr) << "only the whole title before the browser's name counts";
    DestroyWindow(g_helpWindow);

    for (const std::wstring& missing : {file + L".missing", std::wstring(), TestProgramFolder()})
        EXPECT_FALSE(BringForwardOrOpen(kHelpTitle, missing, L"", OpenHelpWindow));
    EXPECT_EQ(g_opened, 1);
}

TEST(HelpLauncherTest, PathsStayInsideTheProductFolder)
{
    EXPECT_EQ(HelpFilePath(L"C:\\Kivra\\", L"help.chm"), L"C:\\Kivra\\common\\help.chm");
    EXPECT_EQ(UpgradeProgramPath(L"C:\\Kivra\\"), L"C:\\Kivra\\update.exe");
    for (const wchar_t* bad : {L"", L"..\\..\\evil.exe", L"C:evil.exe", L"sub/file.html"})
        EXPECT_EQ(HelpFilePath(L"C:\\Kivra\\", bad), L"") << bad;
    EXPECT_EQ(HelpFilePath(std::wstring(250, L'f').c_str(), L"help.chm"), L"") << "longer than a path";
}

}  // namespace
