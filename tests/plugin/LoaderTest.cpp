// The plugin loader against real plugin libraries. This program is named
// Kivra.exe so that the libraries' imports from Kivra.exe resolve to it; the
// libraries sit in fixtures\<group>\ beside it (see fixtures/TestPlugin.cpp).
#include "plugin/ManagerPlugin.h"
#include "plugin/PluginLoader.h"
#include "plugin/ServiceRegistry.h"

#include "framework/Text.h"
#include "ostel.h"
#include "tests/support/StubManagerHost.h"
#include "tests/support/TestProgram.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

using namespace kivra;

namespace {

std::wstring ExeFolder() { return kivra::testing::TestProgramFolder(); }

std::wstring GroupFolder(const wchar_t* group)
{
    return ExeFolder() + L"fixtures\\" + group + L"\\";
}

std::wstring Library(const wchar_t* group, const wchar_t* name)
{
    return GroupFolder(group) + name + L".dll";
}

bool IsLoaded(const wchar_t* fileName)
{
    return ::GetModuleHandleW(fileName) != nullptr;
}

// What "probe/Unload" saw: each unloading plugin's tag, and whether the
// built-in plugin was still bound at that moment.
struct UnloadSeen {
    std::string tag;
    bool managerBound;
};
std::vector<UnloadSeen> g_unloads;

int __cdecl ProbeUnload(TService*, TParam* param)
{
    std::string tag;
    for (const wchar_t* c = param->pszText; c && *c; ++c)
        tag += static_cast<char>(*c);
    g_unloads.push_back({tag, ManagerPluginInterface() != nullptr});
    return 1;
}

class PluginLoaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_unloads.clear();
        logPath_ = ExeFolder() + L"fixture.log";
        ::DeleteFileW(logPath_.c_str());
        ::SetEnvironmentVariableW(L"KIVRA_FIXTURE_LOG", logPath_.c_str());
        registry_ = CServiceRegistry::GetRegistry();
        ASSERT_NE(registry_, nullptr);
        registry_->SetHost(&host_, nullptr);
    }
    void TearDown() override
    {
        UnloadAllPlugins();
        CServiceRegistry::DestroyRegistry();
        ::SetEnvironmentVariableW(L"KIVRA_FIXTURE_LOG", nullptr);
        ::DeleteFileW(logPath_.c_str());
    }

    std::vector<std::string> Log() const
    {
        std::vector<std::string> lines;
        std::ifstream file(std::string(logPath_.begin(), logPath_.end()));
        for (std::string line; std::getline(file, line);)
            lines.push_back(line);
        return lines;
    }

    // The tags of the log lines "<tag> <event>", in log order.
    std::vector<std::string> TagsOf(const std::string& event) const
    {
        std::vector<std::string> tags;
        for (const std::string& line : Log()) {
            size_t blank = line.find(' ');
            if (blank != std::string::npos && line.compare(blank + 1, std::string::npos, event) == 0)
                tags.push_back(line.substr(0, blank));
        }
        return tags;
    }

    bool Logged(const std::string& line) const
    {
        auto lines = Log();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    // Names of the bound plugins, newest first.
    std::vector<std::string> Bound() const
    {
        std::vector<std::string> names;
        for (const auto& plugin : registry_->Plugins())
            names.push_back(plugin->info.szName);
        return names;
    }

    int Bind(const wchar_t* group, const wchar_t* name)
    {
        return BindPlugin(registry_, Library(group, name).c_str());
    }

    int Call(const char* name, TParam* param)
    {
        TService service{};
        CopyText(service.szName, name);
        return registry_->CallService(&service, param);
    }

    std::wstring logPath_;
    CServiceRegistry* registry_ = nullptr;
    kivra::testing::StubManagerHost host_;  // stands in for the main window object
};

// ---------------------------------------------------------------------------
// Load order

struct OrderCase {
    const wchar_t* list;
    std::vector<std::string> loadOrder;
};

class LoadOrderTest : public PluginLoaderTest, public ::testing::WithParamInterface<OrderCase> {};

TEST_P(LoadOrderTest, ListedPluginsBindInListOrderAfterTheBuiltInPlugin)
{
    const OrderCase& c = GetParam();
    ASSERT_EQ(BindPlugin(registry_, ManagerPluginEntryPoints()), 1);
    EXPECT_EQ(LoadPluginsInOrder(c.list, GroupFolder(L"order").c_str()), static_cast<int>(c.loadOrder.size()));
    EXPECT_EQ(TagsOf("registered"), c.loadOrder);

    std::vector<std::string> newestFirst(c.loadOrder.rbegin(), c.loadOrder.rend());
    newestFirst.push_back("manager");
    EXPECT_EQ(Bound(), newestFirst);
}

INSTANTIATE_TEST_SUITE_P(Separators, LoadOrderTest,
                         ::testing::Values(OrderCase{L"beta alpha", {"beta", "alpha"}},
                                           OrderCase{L"gamma,alpha", {"gamma", "alpha"}},
                                           OrderCase{L"alpha;beta", {"alpha", "beta"}},
                                           OrderCase{L" ;alpha,, gamma ;beta; ", {"alpha", "gamma", "beta"}},
                                           OrderCase{L"alpha missing beta", {"alpha", "beta"}},
                                           OrderCase{L"", {}}));

TEST_F(PluginLoaderTest, ListedPluginIsBoundOnceWhenTheFolderIsScanned)
{
    ASSERT_EQ(BindPlugin(registry_, ManagerPluginEntryPoints()), 1);
    ASSERT_EQ(LoadPluginsInOrder(L"beta", GroupFolder(L"order").c_str()), 1);
    EXPECT_EQ(LoadPluginsInFolder((GroupFolder(L"order") + L"*.dll").c_str()), 2);

    const auto bound = Bound();
    ASSERT_EQ(bound.size(), 4u);
    EXPECT_EQ(std::set<std::string>(bound.begin(), bound.begin() + 2), (std::set<std::string>{"alpha", "gamma"}))
        << "the scan's order is the file system's";
    EXPECT_EQ(bound[2], "beta");
    EXPECT_EQ(bound[3], "manager");
    auto infoCalls = TagsOf("GetPluginInfo");
    EXPECT_EQ(std::count(infoCalls.begin(), infoCalls.end(), "beta"), 2) << "asked again by the scan";
    EXPECT_EQ(TagsOf("registered"), (std::vector<std::string>{"beta", bound[1], bound[0]}));
}

TEST_F(PluginLoaderTest, ListNamesThatLeaveThePluginFolderAreSkipped)
{
    EXPECT_EQ(LoadPluginsInOrder(L"..\\order\\alpha ../order/beta", GroupFolder(L"names").c_str()), 0);
    EXPECT_TRUE(Bound().empty());
    EXPECT_TRUE(Log().empty());
}

TEST_F(PluginLoaderTest, BoundPluginGetsItsInterfaceAndTheHost)
{
    ASSERT_EQ(Bind(L"order", L"alpha"), 1);
    char expected[64];
    std::snprintf(expected, sizeof(expected), "alpha LoadPlugin host=%p", static_cast<void*>(&host_));
    EXPECT_TRUE(Logged(expected));
    EXPECT_TRUE(Logged("alpha CheckDependenceInfo 1052672"));

    const TService* ping = registry_->FindService("alpha/Ping");
    ASSERT_NE(ping, nullptr);
    ASSERT_EQ(registry_->Plugins().size(), 1u);
    CPluginInterface* plugin = registry_->Plugins().front().get();
    EXPECT_EQ(ping->pInterface, plugin) << "RegisterService marked the record with the plugin's interface";
    EXPECT_EQ(plugin->pHost, &host_);
    EXPECT_NE(plugin->hModule, nullptr);

    TParam param{};
    EXPECT_EQ(Call("alpha/Ping;alpha/Ping", &param), 1);
    EXPECT_EQ(param.nCode, 2);
}

// ---------------------------------------------------------------------------
// Refusals

TEST_F(PluginLoaderTest, LibraryWithoutExecuteServiceIsRefused)
{
    EXPECT_EQ(Bind(L"refused", L"noexec"), 0);
    EXPECT_TRUE(Log().empty()) << "refused before GetPluginInfo";
    EXPECT_TRUE(Bound().empty());
    EXPECT_FALSE(IsLoaded(L"noexec.dll"));
}

TEST_F(PluginLoaderTest, HostVersionIsCheckedBeforeLoadPlugin)
{
    // CheckDependenceInfo returns 0x100: its low byte is zero.
    EXPECT_EQ(Bind(L"refused", L"oldhost"), 0);
    EXPECT_EQ(Log(), (std::vector<std::string>{"oldhost GetPluginInfo", "oldhost CheckDependenceInfo 1052672"}));
    EXPECT_TRUE(Bound().empty());
    EXPECT_FALSE(IsLoaded(L"oldhost.dll"));
}

TEST_F(PluginLoaderTest, BooleanResultsCountByTheirLowByte)
{
    // CheckDependenceInfo returns 0xFFFFFF01 and LoadPlugin 0x201.
    EXPECT_EQ(Bind(L"refused", L"wideresult"), 1);
    EXPECT_EQ(Bound(), std::vector<std::string>{"wideresult"});
}

TEST_F(PluginLoaderTest, RefusedLoadPluginLeavesNothingCallable)
{
    EXPECT_EQ(Bind(L"refused", L"failload"), 0);
    EXPECT_TRUE(Logged("failload registered")) << "it did register before refusing";
    EXPECT_EQ(registry_->FindService("failload/Ping"), nullptr);
    TParam param{};
    EXPECT_EQ(Call("failload/Ping", &param), 0);
    EXPECT_FALSE(Logged("failload Ping"));
    EXPECT_TRUE(Bound().empty());
    EXPECT_FALSE(IsLoaded(L"failload.dll"));
}

TEST_F(PluginLoaderTest, OnlyFullPathsAreLoaded)
{
    wchar_t previous[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryW(GroupFolder(L"order").c_str()));
    EXPECT_EQ(BindPlugin(registry_, L"alpha.dll"), 0);
    EXPECT_EQ(BindPlugin(registry_, L".\\beta.dll"), 0);
    EXPECT_EQ(BindPlugin(registry_, L""), 0);
    EXPECT_EQ(LoadPluginsInFolder(L"*.dll"), 0) << "a pattern without folder";
    ::SetCurrentDirectoryW(previous);
    EXPECT_TRUE(Log().empty());
    EXPECT_TRUE(Bound().empty());
}

TEST_F(PluginLoaderTest, OverlongPathIsRejectedNotCut)
{
    // The path names alpha.dll once trailing blanks are dropped, as Windows
    // drops them; over 259 characters it must not be loaded at all.
    std::wstring path = Library(L"order", L"alpha");
    path.resize(300, L' ');
    EXPECT_EQ(BindPlugin(registry_, path.c_str()), 0);
    EXPECT_TRUE(Log().empty());
}

TEST_F(PluginLoaderTest, EmptyNameRefusesEveryLaterPlugin)
{
    ASSERT_EQ(BindPlugin(registry_, ManagerPluginEntryPoints()), 1);
    ASSERT_EQ(Bind(L"empty", L"emptyname"), 1);
    EXPECT_EQ(LoadPluginsInOrder(L"alpha beta", GroupFolder(L"order").c_str()), 0);
    EXPECT_EQ(Bound(), (std::vector<std::string>{"", "manager"}));
    EXPECT_EQ(TagsOf("GetPluginInfo"), (std::vector<std::string>{"emptyname", "alpha", "beta"}));
    EXPECT_EQ(TagsOf("CheckDependenceInfo 1052672"), std::vector<std::string>{"emptyname"});
}

TEST_F(PluginLoaderTest, SmsboxIsRefusedAfterSms)
{
    EXPECT_EQ(LoadPluginsInOrder(L"sms smsbox", GroupFolder(L"names").c_str()), 1);
    EXPECT_EQ(Bound(), std::vector<std::string>{"sms"});
    EXPECT_FALSE(IsLoaded(L"smsbox.dll"));
}

TEST_F(PluginLoaderTest, SmsIsBoundAfterSmsbox)
{
    EXPECT_EQ(LoadPluginsInOrder(L"smsbox sms", GroupFolder(L"names").c_str()), 2);
    EXPECT_EQ(Bound(), (std::vector<std::string>{"sms", "smsbox"}));
}

// ---------------------------------------------------------------------------
// Unloading

TEST_F(PluginLoaderTest, UnloadRunsNewestFirstAndTheBuiltInPluginLast)
{
    TService probe{};
    CopyText(probe.szName, "probe/Unload");
    probe.pfnHandler = ProbeUnload;
    ASSERT_EQ(registry_->AddService(&probe), 1);

    ASSERT_EQ(BindPlugin(registry_, ManagerPluginEntryPoints()), 1);
    ASSERT_EQ(LoadPluginsInOrder(L"alpha beta gamma", GroupFolder(L"order").c_str()), 3);
    UnloadAllPlugins();

    EXPECT_EQ(TagsOf("UnloadPlugin"), (std::vector<std::string>{"gamma", "beta", "alpha"}));
    ASSERT_EQ(g_unloads.size(), 3u);
    for (const UnloadSeen& seen : g_unloads)
        EXPECT_TRUE(seen.managerBound) << seen.tag << " unloaded while the built-in plugin was still bound";
    EXPECT_EQ(ManagerPluginInterface(), nullptr) << "the built-in plugin was unloaded too";

    for (const auto& plugin : registry_->Plugins()) {
        EXPECT_EQ(plugin->hModule, nullptr);
        EXPECT_EQ(plugin->pfnUnloadPlugin, nullptr);
        EXPECT_EQ(plugin->info.szName[0], 0);
    }
    EXPECT_EQ(registry_->Plugins().size(), 4u) << "the objects stay until the registry goes";
    EXPECT_FALSE(IsLoaded(L"alpha.dll"));
    EXPECT_EQ(registry_->FindService("alpha/Ping"), nullptr) << "no handler into a freed library";
    EXPECT_NE(registry_->FindService("probe/Unload"), nullptr);

    UnloadAllPlugins();
    EXPECT_EQ(TagsOf("UnloadPlugin").size(), 3u) << "a second unload finds nothing left to do";
}

// ---------------------------------------------------------------------------
// Bus listeners

// A listener the plugin forgot is never called once its library is freed,
// whether the plugin was refused or unloaded.
TEST_F(PluginLoaderTest, ForgottenBusListenersGoWithTheirLibrary)
{
    // As the shell has it: the bus forgets a library's listeners before it goes.
    SetLibraryReleaseHandler([](HMODULE library) { OpUnsubscribeModule(library); });
    ASSERT_EQ(Bind(L"listeners", L"listenerrefused"), 0);
    ASSERT_EQ(Bind(L"listeners", L"listener"), 1);
    ASSERT_EQ(OpInit(), 1);
    ASSERT_EQ(TPostMessage(1, 0, 0), 1);
    for (int wait = 0; wait < 100 && TagsOf("bus 1").empty(); ++wait)
        ::Sleep(50);
    UnloadAllPlugins();
    ASSERT_EQ(TPostMessage(2, 0, 0), 1);
    ASSERT_EQ(OpExit(), 1);
    EXPECT_EQ(TagsOf("bus 1"), std::vector<std::string>{"listener"});
    EXPECT_TRUE(TagsOf("bus 2").empty());
    EXPECT_FALSE(IsLoaded(L"listener.dll"));
    SetLibraryReleaseHandler(nullptr);
}

}  // namespace
