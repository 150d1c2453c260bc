// Start-up and shutdown of the real Kivra.exe, observed from outside: the
// window it shows, the log it writes, what its plugins see, single instance,
// the broken-configuration message, and how it ends.
#include "tests/e2e/KivraRun.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kivra::e2e;

namespace {

// The line numbers of the probe log's lines that contain needle, in order.
std::vector<size_t> LinesWith(const std::vector<std::string>& lines, const std::string& needle)
{
    std::vector<size_t> found;
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find(needle) != std::string::npos)
            found.push_back(i);
    return found;
}

FixtureOptions Titled(const wchar_t* text)
{
    FixtureOptions options;
    options.titleText = text;
    return options;
}

TEST(StartupTest, ShowsTheShapedWindowUnderItsTranslatedTitleAndEndsOnClose)
{
    FixtureProduct product(L"shaped", Titled(L"Kivra Probe Shaped"));
    ASSERT_TRUE(product.Ready());
    KivraProcess kivra;
    HWND window = kivra.StartAndWaitForWindow(product.Folder(), L"Kivra Probe Shaped", product.ProbeLog());
    ASSERT_NE(window, nullptr) << "no main window under the translated title";
    EXPECT_EQ(FindWindowW(nullptr, L"Kivra Probe Shaped"), window);

    // The skin asks for a shaped window: no caption, and a region cut out of
    // the background by the mask colour.
    EXPECT_EQ(GetWindowLongW(window, GWL_STYLE) & WS_CAPTION, 0);
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(window, region), ERROR) << "no window region";
    const int frameX = GetSystemMetrics(SM_CXDLGFRAME);
    const int frameY = GetSystemMetrics(SM_CYDLGFRAME);
    EXPECT_FALSE(PtInRegion(region, frameX + 3, frameY + 3)) << "the cut corner is part of the window";
    EXPECT_TRUE(PtInRegion(region, frameX + kFixtureWidth / 2, frameY + kFixtureHeight / 2));
    EXPECT_TRUE(PtInRegion(region, frameX + kFixtureWidth - 3, frameY + 3)) << "only one corner is cut";
    DeleteObject(region);

    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.right - rect.left, kFixtureWidth + 2 * frameX);
    EXPECT_EQ(rect.bottom - rect.top, kFixtureHeight + 2 * frameY);

    // WM_CLOSE ends it without asking.
    EXPECT_TRUE(kivra.CloseAndWait(window));
    EXPECT_EQ(kivra.ExitCode(), 0u);
}

TEST(StartupTest, WritesTheStartBannerWithProgramAndSkinVersion)
{
    FixtureProduct product(L"banner", Titled(L"Kivra Probe Banner"));
    ASSERT_TRUE(product.Ready());
    KivraProcess kivra;
    HWND window = kivra.StartAndWaitForWindow(product.Folder(), L"Kivra Probe Banner", product.ProbeLog());
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(kivra.CloseAndWait(window));

    const std::string log = ReadTextFile(product.Folder() + L"log\\ostel.log");
    EXPECT_NE(log.find("\r\n\r\n\r\n\r\n\r\n\r\nOmbrix PC Software launched, version: V5.0.1.27.7.1\r\n\r\n"),
              std::string::npos)
        << log;
}

// The configured level mask decides over the banner: 0 silences it, 32
// alone (the banner's own level) is added to a mask that stays all on.
TEST(StartupTest, ConfiguredLevelMaskDecidesOverTheBanner)
{
    struct Case {
        const wchar_t* levels;
        bool bannerExpected;
    };
    for (const Case& c : {Case{L"0,0,0,0,0,0", false}, Case{L"0,0,0,0,0,1", true}}) {
        FixtureOptions options = Titled(L"Kivra Probe Levels");
        options.logLevels = c.levels;
        FixtureProduct product(L"levels", options);
        ASSERT_TRUE(product.Ready());
        KivraProcess kivra;
        HWND window = kivra.StartAndWaitForWindow(product.Folder(), L"Kivra Probe Levels", product.ProbeLog());
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(kivra.CloseAndWait(window));
        const std::string log = ReadTextFile(product.Folder() + L"log\\ostel.log");
        EXPECT_EQ(log.find("Ombrix PC Software launched") != std::string::npos, c.bannerExpected)
            << (c.bannerExpected ? "mask 32: " : "mask 0: ") << log;
    }
}

TEST(StartupTest, PluginsHearTheLoadedNoticeOnceAllAreBound)
{
    FixtureProduct product(L"notice", Titled(L"Kivra Probe Notice"));
    ASSERT_TRUE(product.Ready());
    KivraProcess kivra;
    HWND window = kivra.StartAndWaitForWindow(product.Folder(), L"Kivra Probe Notice", product.ProbeLog());
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitForLine(product.ProbeLog(), "probe_b bus 8069 0"));
    ASSERT_TRUE(WaitForLine(product.ProbeLog(), "probe_a bus 8069 0"));
    ASSERT_TRUE(kivra.CloseAndWait(window));

    const auto lines = ReadLines(product.ProbeLog());
    // The skin's load order binds probe_b before probe_a; the folder scan
    // refuses both as duplicates, so each is loaded once.
    const auto loadA = LinesWith(lines, "probe_a load");
    const auto loadB = LinesWith(lines, "probe_b load");
    ASSERT_EQ(loadA.size(), 1u);
    ASSERT_EQ(loadB.size(), 1u);
    EXPECT_LT(loadB[0], loadA[0]);
    // probe_b listens from its own load on: had the notice been posted before
    // probe_a was bound, probe_b would have heard it first.
    const auto noticeA = LinesWith(lines, "probe_a bus 8069 0");
    const auto noticeB = LinesWith(lines, "probe_b bus 8069 0");
    ASSERT_EQ(noticeA.size(), 1u);
    ASSERT_EQ(noticeB.size(), 1u);
    EXPECT_GT(noticeB[0], loadA[0]);
    EXPECT_GT(noticeA[0], loadA[0]);
}

TEST(StartupTest, PluginsHearTheWindowIsUpOnceAfterTheLoadedNotice)
{
    FixtureProduct product(L"windowup", Titled(L"Kivra Probe Window Up"));
    ASSERT_TRUE(product.Ready());
    KivraProcess kivra;
    HWND window = kivra.StartAndWaitForWindow(product.Folder(), L"Kivra Probe Window Up", product.ProbeLog());
    ASSERT_NE(window, nullptr);
    // Posted at the window's first idle moment: it is shown by then.
    ASSERT_TRUE(WaitForLine(product.ProbeLog(), "probe_a bus 8069 1"));
    ASSERT_TRUE(WaitForLine(product.ProbeLog(), "probe_b bus 8069 1"));
    EXPECT_TRUE(IsWindowVisible(window));
    ASSERT_TRUE(kivra.CloseAndWait(window));

    const auto lines = ReadLines(product.ProbeLog());
    for (const char* probe : {"probe_a", "probe_b"}) {
        const auto loaded = LinesWith(lines, std::string(probe) + " bus 8069 0");
        const auto up = LinesWith(lines, std::string(probe) + " bus 8069 1");
        ASSERT_EQ(loaded.size(), 1u) << probe;
        ASSERT_EQ(up.size(), 1u) << probe << ": once, not at every idle moment";
        EXPECT_GT(up[0], loaded[0]) << probe;
    }
}

TEST(StartupTest, PluginsAreUnloadedNewestFirstWhileTheBusStillRuns)
{
    FixtureProduct product(L"unload", Titled(L"Kivra Probe Unload"));
    ASSERT_TRUE(product.Ready());
    KivraProcess kivra;
    HWND window = kivra.StartAndWaitForWindow(product.Folder(), L"Kivra Probe Unload", product.ProbeLog());
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(kivra.CloseAndWait(window));

    const auto lines = ReadLines(product.ProbeLog());
    const auto unloadA = LinesWith(lines, "probe_a unload");
    const auto unloadB = LinesWith(lines, "probe_b unload");
    ASSERT_EQ(unloadA.size(), 1u);
    ASSERT_EQ(unloadB.size(), 1u);
    EXPECT_LT(unloadA[0], unloadB[0]) << "probe_a was bound last, so it goes first";
    // A post from UnloadPlugin is still taken: the bus stops after the plugins.
    EXPECT_NE(lines[unloadA[0]].find("post=1"), std::string::npos) << lines[unloadA[0]];
    EXPECT_NE(lines[unloadB[0]].find("post=1"), std::string::npos) << lines[unloadB[0]];
}

// probe_a leaves a window and a command callback behind and queues a click
// on the window as it unloads; probe_b, unloaded after probe_a's library is
// freed, pumps the waiting messages. Nothing of probe_a may run then.
TEST(StartupTest, WhatAPluginLeavesBehindGoesBeforeItsLibrary)
{
    FixtureProduct product(L"leftovers", Titled(L"Kivra Probe Leftovers"));
    ASSERT_TRUE(product.Ready());
    KivraProcess kivra;
    SetEnvironmentVariableW(kProbeLeftoversVariable, L"1");
    HWND window = kivra.StartAndWaitForWindow(product.Folder(), L"Kivra Probe Leftovers", product.ProbeLog());
    SetEnvironmentVariableW(kProbeLeftoversVariable, nullptr);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(kivra.CloseAndWait(window));
    EXPECT_EQ(kivra.ExitCode(), 0u) << "a crash in freed code ends it with its exception code";

    const auto lines = ReadLines(product.ProbeLog());
    EXPECT_EQ(LinesWith(lines, "probe_b pumped").size(), 1u);
    EXPECT_TRUE(LinesWith(lines, "probe_a leftover").empty()) << "the queued click reached probe_a's window";
    const auto log = ReadLines(product.Folder() + L"log\\ostel.log");
    EXPECT_EQ(LinesWith(log, "probe_a.dll was freed with a window still running its code (class \"KivraProbeLeftover\", "
                             "text \"Leftover panel\"): destroyed").size(), 1u);
    EXPECT_EQ(LinesWith(log, "probe_a.dll was freed with the callback of command 4000 still set: dropped").size(), 1u);
}

TEST(StartupTest, SecondInstanceBringsTheFirstForwardAndEnds)
{
    FixtureProduct product(L"single", Titled(L"Kivra Probe Single"));
    ASSERT_TRUE(product.Ready());
    KivraProcess first;
    HWND window = first.StartAndWaitForWindow(product.Folder(), L"Kivra Probe Single", product.ProbeLog());
    ASSERT_NE(window, nullptr);
    // Hidden to the tray, as the user would leave it.
    SendMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_FALSE(IsWindowVisible(window));

    KivraProcess second;
    const std::wstring secondLog = product.Folder() + L"second.log";
    ASSERT_TRUE(second.Start(product.Folder(), secondLog));
    ASSERT_TRUE(second.WaitForExit(20000)) << "the second instance keeps running";
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_TRUE(ReadLines(secondLog).empty()) << "the second instance went as far as its plugins";

    // The first one took the tray double click and is back.
    const DWORD start = GetTickCount();
    while (!IsWindowVisible(window) && GetTickCount() - start < 5000)
        Sleep(100);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(IsIconic(window));
    EXPECT_TRUE(first.Running());
    EXPECT_TRUE(first.CloseAndWait(window));
}

TEST(StartupTest, WithAnEmptyTitleEveryInstanceRuns)
{
    // Two copies of one product, so the instances share nothing but the
    // display (the title is what the single-instance rule goes by).
    FixtureOptions options;
    options.titleId = L"";
    FixtureProduct firstProduct(L"untitled1", options);
    FixtureProduct secondProduct(L"untitled2", options);
    ASSERT_TRUE(firstProduct.Ready());
    ASSERT_TRUE(secondProduct.Ready());
    KivraProcess first;
    HWND firstWindow = first.StartAndWaitForWindow(firstProduct.Folder(), nullptr, firstProduct.ProbeLog());
    ASSERT_NE(firstWindow, nullptr);

    KivraProcess second;
    HWND secondWindow = second.StartAndWaitForWindow(secondProduct.Folder(), nullptr, secondProduct.ProbeLog());
    ASSERT_NE(secondWindow, nullptr) << "the second instance did not come up";
    EXPECT_NE(firstWindow, secondWindow);
    EXPECT_TRUE(first.Running());
    EXPECT_TRUE(second.Running());
    EXPECT_TRUE(WaitForLine(secondProduct.ProbeLog(), "probe_a load"));

    EXPECT_TRUE(second.CloseAndWait(secondWindow));
    EXPECT_TRUE(first.CloseAndWait(firstWindow));
}

// The same two copies with a title: the second one meets the first by title
// and mutex and ends, so the test above really is about the empty title.
TEST(StartupTest, TwoCopiesWithOneTitleRunOnce)
{
    const FixtureOptions options = Titled(L"Kivra Probe Copies");
    FixtureProduct firstProduct(L"copies1", options);
    FixtureProduct secondProduct(L"copies2", options);
    ASSERT_TRUE(firstProduct.Ready());
    ASSERT_TRUE(secondProduct.Ready());
    KivraProcess first;
    HWND window = first.StartAndWaitForWindow(firstProduct.Folder(), L"Kivra Probe Copies", firstProduct.ProbeLog());
    ASSERT_NE(window, nullptr);
    KivraProcess second;
    ASSERT_TRUE(second.Start(secondProduct.Folder(), secondProduct.ProbeLog()));
    EXPECT_TRUE(second.WaitForExit(20000));
    EXPECT_TRUE(ReadLines(secondProduct.ProbeLog()).empty());
    EXPECT_TRUE(first.CloseAndWait(window));
}

TEST(StartupTest, BrokenConfigurationIsReportedAndEndsTheProgram)
{
    FixtureOptions options;
    options.brokenConfig = true;
    FixtureProduct product(L"broken", options);
    ASSERT_TRUE(product.Ready());
    KivraProcess kivra;
    ASSERT_TRUE(kivra.Start(product.Folder(), product.ProbeLog()));
    HWND box = WaitForMessageBox(kivra.Id(), L"The config file may be broken!");
    ASSERT_NE(box, nullptr) << "no message box";
    EXPECT_TRUE(kivra.Running());
    PressButton(box, IDOK);
    ASSERT_TRUE(kivra.WaitForExit(15000)) << "Kivra goes on after the message";
    EXPECT_EQ(kivra.ExitCode(), 0u);
    EXPECT_TRUE(ReadLines(product.ProbeLog()).empty()) << "plugins were loaded without a configuration";
}

TEST(StartupTest, EnterAndEscapeDoNotCloseTheWindow)
{
    FixtureProduct product(L"keys", Titled(L"Kivra Probe Keys"));
    ASSERT_TRUE(product.Ready());
    KivraProcess kivra;
    HWND window = kivra.StartAndWaitForWindow(product.Folder(), L"Kivra Probe Keys", product.ProbeLog());
    ASSERT_NE(window, nullptr);

    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        PostMessageW(window, WM_KEYDOWN, key, 1);
        PostMessageW(window, WM_KEYUP, key, 0xC0000001);
    }
    // What the dialog manager makes of the two keys.
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_FALSE(kivra.WaitForExit(1500)) << "Enter or Esc ended Kivra";
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(kivra.CloseAndWait(window));
}

TEST(StartupTest, KeepsTheMainIconWhenStartedFromAnotherFolder)
{
    // Without a loadable logo the window shows common\main.ico, which must be
    // found beside Kivra.exe however the program was started.
    FixtureOptions options = Titled(L"Kivra Probe Icon");
    options.withLogoFile = false;
    FixtureProduct product(L"icon", options);
    ASSERT_TRUE(product.Ready());
    KivraProcess kivra;
    HWND window =
        kivra.StartAndWaitForWindow(product.Folder(), L"Kivra Probe Icon", product.ProbeLog(), TestProgramFolder());
    ASSERT_NE(window, nullptr);
    ProbeClient probe;
    ASSERT_TRUE(probe.Find(kivra.Id()));
    probe.Call(kProbeQueryIcons, "", nullptr, static_cast<int>(reinterpret_cast<INT_PTR>(window)));
    EXPECT_EQ(LastLineStartingWith(product.ProbeLog(), "probe_a icons"), "probe_a icons big=1 small=1 drag=1 same=1");
    EXPECT_TRUE(kivra.CloseAndWait(window));
}

}  // namespace
