// Commands of the main window: the registry's dispatch, ids in build order,
// the message pane, skin buttons found for a change, and the plugin panels.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "FrameTestSupport.h"
#include "controls/StatusBarEx.h"
#include "mainwindow/ButtonRegistry.h"
#include "mainwindow/CommandIds.h"
#include "mainwindow/CommandRegistry.h"
#include "mainwindow/PluginPanels.h"
#include "plugin/ServiceRegistry.h"
#include "tests/framework/FrameworkTestSupport.h"

namespace kivra {
namespace {

std::vector<std::string>& Calls()
{
    static std::vector<std::string> calls;
    return calls;
}
void __cdecl CallbackRuns() { Calls().push_back("callback"); }
int __cdecl RecordCall(TService* service, TParam*)
{
    Calls().push_back(service->szName);
    return 1;
}

// The process's service registry with a few recording services; destroyed again.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Calls().clear();
        registry_ = CServiceRegistry::GetRegistry();
        ASSERT_NE(registry_, nullptr);
        for (const char* name : {"t/first", "t/second"}) {
            TService service{};
            strcpy(service.szName, name);
            service.pfnHandler = RecordCall;
            registry_->AddService(&service);
        }
        commands_.SetServiceCaller([this](const char* paths) {
            TService service{};
            strncpy(service.szName, paths, KIVRA_NAME_SIZE - 1);
            TParam param{};
            return registry_->CallService(&service, &param);
        });
    }
    void TearDown() override { CServiceRegistry::DestroyRegistry(); }

    CServiceRegistry* registry_ = nullptr;
    CommandRegistry commands_;
};

TEST_F(RegistryTest, ACommandRunsItsCallbackThenEachServiceOfItsList)
{
    commands_.Register("both", 1300, "t/first;t/second", L"", CallbackRuns);
    EXPECT_TRUE(commands_.Execute(1300));
    EXPECT_EQ(Calls(), (std::vector<std::string>{"callback", "t/first", "t/second"}));

    Calls().clear();
    commands_.Register("", 1301, "t/missing;t/first", nullptr, nullptr);
    EXPECT_TRUE(commands_.Execute(1301));
    EXPECT_TRUE(Calls().empty()) << "the list stops at its first unknown path";

    EXPECT_FALSE(commands_.Execute(1302));
    EXPECT_FALSE(commands_.Execute(0));  // a dismissed menu runs nothing
}

TEST(CommandRegistryTest, RegisteringAgainKeepsTheNameButNotTheCallback)
{
    CommandRegistry commands;
    commands.SetServiceCaller([](const char*) { return 1; });
    commands.Register("connect", 1250, "c/Show", L"Show", CallbackRuns);
    commands.Register("", 1250, nullptr, nullptr, nullptr);
    const CommandEntry* entry = commands.Find(1250);
    ASSERT_NE(entry, nullptr);
    EXPECT_STREQ(entry->name, "connect");
    EXPECT_STREQ(entry->service, "c/Show");
    EXPECT_STREQ(entry->tooltip, L"Show");
    EXPECT_EQ(entry->callback, nullptr);
    commands.Register("", 1250, "", nullptr, nullptr);
    EXPECT_STREQ(commands.Find(1250)->service, "");

    commands.Register("zero", 0, "x", nullptr, nullptr);
    commands.Register("minus", static_cast<unsigned>(-1), "x", nullptr, nullptr);
    EXPECT_EQ(commands.FindIdByName("zero"), -1);
    EXPECT_EQ(commands.FindIdByName("minus"), -1);
    EXPECT_EQ(commands.FindIdByName("connect"), 1250);
}

TEST(CommandRegistryTest, ANameFindsTheLowestIdThatHasItThroughRenames)
{
    CommandRegistry commands;
    const std::string longName(70, 'n');  // kept as its first 63 characters
    commands.Register("sms", 1305, nullptr, nullptr, nullptr);
    commands.Register("sms", 1301, nullptr, nullptr, nullptr);
    commands.Register("sms", 1303, nullptr, nullptr, nullptr);
    commands.Register("", 1302, "x", nullptr, nullptr);
    commands.Register(longName.c_str(), 1304, nullptr, nullptr, nullptr);
    commands.Register("stats", 1301, nullptr, nullptr, nullptr);  // the first "sms" renamed
    commands.Register("", 1303, nullptr, nullptr, nullptr);       // an empty name keeps "sms"
    const struct {
        std::string name;
        int id;
    } cases[] = {
        {"sms", 1303},  {"stats", 1301},          {"SMS", -1},  {"", 1302},
        {"sm", -1},     {longName.substr(0, 63), 1304}, {longName, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(commands.FindIdByName(c.name.c_str()), c.id) << '"' << c.name << '"';
    commands.Register("other", 1303, nullptr, nullptr, nullptr);
    commands.Register("other", 1305, nullptr, nullptr, nullptr);
    EXPECT_EQ(commands.FindIdByName("sms"), -1) << "no entry has it any more";
    EXPECT_EQ(commands.FindIdByName("other"), 1303);
}

TEST(CommandIdsTest, IdsComeFromOneCounterInBuildOrder)
{
    CommandRegistry commands;
    TMenuItemSkin menuItem{};
    wcscpy(menuItem.name, L"settings");
    wcscpy(menuItem.string, L"IDS_MENU_SETTINGS");
    strcpy(menuItem.service, "manager/ShowSetWindow");
    TMenuItemSkin separator{};
    separator.cmdid = 0x4B2;  // a separator written with an id stays without one
    TToolItem sameName{};
    wcscpy(sameName.name, L"settings");
    TToolItem fixed{};
    fixed.cmdid = 1201;  // taken by the skin itself: the counter skips it
    wcscpy(fixed.name, L"fixed");
    strcpy(fixed.service, "t/fixed");
    TToolItem named{};
    wcscpy(named.name, L"tool-sms");
    strcpy(named.service, "sms/ShowPluginPanel");
    TToolItem bare{};  // no name, no service: a separator
    TStatusItem pane{};
    strcpy(pane.name, "signal");
    TSkinButton button{};
    strcpy(button.name, "btn-new-sms");
    wcscpy(button.owner, L"sms");
    wcscpy(button.service, L"sms/NewMessage");

    EXPECT_EQ(MenuItemCommandId(commands, menuItem, L"Change the settings"), 1200u);
    EXPECT_EQ(MenuItemCommandId(commands, separator, L""), 0x4B2u);
    EXPECT_EQ(ToolItemCommandId(commands, fixed, L""), 1201u);
    EXPECT_EQ(ToolItemCommandId(commands, sameName, L""), 1200u);
    EXPECT_EQ(ToolItemCommandId(commands, named, L""), 1202u);
    EXPECT_EQ(ToolItemCommandId(commands, bare, L""), 0u);
    EXPECT_EQ(StatusPaneCommandId(commands, pane), 1203u);
    EXPECT_EQ(StatusPaneCommandId(commands, TStatusItem{}), 0u);  // the message pane
    EXPECT_EQ(ButtonCommandId(commands, button, L"Write"), 1204u);
    EXPECT_STREQ(commands.Find(1204)->service, "sms/ShowPluginPanel;sms/NewMessage");
    EXPECT_STREQ(commands.Find(1200)->tooltip, L"Change the settings");
    TSkinButton maximize{};
    maximize.cmdid = 0xF030;
    wcscpy(maximize.owner, L"system");
    EXPECT_EQ(ButtonCommandId(commands, maximize, L""), 0xF030u);
    EXPECT_EQ(commands.Find(0xF030), nullptr) << "a system command is no command of the registry";
}

TEST(CommandIdsTest, AButtonServiceLongerThanItsFieldIsCut)
{
    EXPECT_EQ(ButtonCommandService("sms", ""), "sms/ShowPluginPanel");
    EXPECT_EQ(ButtonCommandService("", "manager/ShowTray"), "manager/ShowTray");
    EXPECT_EQ(ButtonCommandService("system", "manager/ShowTray"), "manager/ShowTray") << "the shell has no panel";
    const std::string cut = ButtonCommandService("statistics", "statistics/ResetTheUsageCountersOfTheWholeMonth");
    EXPECT_EQ(cut.size(), 63u);
    EXPECT_EQ(cut.substr(0, 26), "statistics/ShowPluginPanel");
}

TEST(ButtonRegistryTest, TheFirstButtonMatchingNameOwnerOrServiceIsFound)
{
    ButtonRegistry buttons;
    auto add = [&](const char* name, const char* owner, const char* service) {
        TButtonEntry entry;
        strcpy(entry.name, name);
        strcpy(entry.owner, owner);
        strcpy(entry.service, service);
        return buttons.Add(std::move(entry));
    };
    TButtonEntry* connect = add("btn-connect", "connect", "connect/Toggle");
    TButtonEntry* sms = add("btn-sms", "sms", "sms/New");
    EXPECT_EQ(add("btn-sms", "sms", "sms/New"), nullptr) << "the same button twice is listed once";
    // Another button when any of the three differs, also where one field's
    // end would run into the next.
    EXPECT_NE(add("btn-sms", "sms", "sms/Reply"), nullptr);
    EXPECT_NE(add("btn-smss", "ms", "sms/New"), nullptr);
    EXPECT_NE(add("btn-sms", "", "smssms/New"), nullptr);
    EXPECT_EQ(add("btn-smss", "ms", "sms/New"), nullptr);
    EXPECT_EQ(buttons.Entries().size(), 5u);
    EXPECT_EQ(buttons.FindForChange("btn-sms", "", ""), sms);
    EXPECT_EQ(buttons.FindForChange("btn-sms", "connect", ""), connect) << "the first button that matches at all";
    EXPECT_EQ(buttons.FindForChange("", "connect", "sms/New"), connect);
    EXPECT_EQ(buttons.FindForChange("", "", "sms/New"), sms);
    EXPECT_EQ(buttons.FindForChange("", "", ""), nullptr);
    EXPECT_EQ(buttons.FindForChange("unknown", "", ""), nullptr);

    EXPECT_TRUE(SkinButtonIsCreated("system", "", false));
    EXPECT_TRUE(SkinButtonIsCreated("", "options", false));
    EXPECT_FALSE(SkinButtonIsCreated("", "", false));
    EXPECT_FALSE(SkinButtonIsCreated("sms", "sms/New", false)) << "its plugin is not loaded";
    EXPECT_TRUE(SkinButtonIsCreated("sms", "", true));
}

TEST(MessagePaneTest, ShowsAHintOnceAndAgainAfterTheIdleText)
{
    test::EnsureCommonControls();
    CWindow host;
    ASSERT_TRUE(host.Create(0, test::TestWindowClass(), L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                            nullptr));
    CommandRegistry commands;
    auto bar = std::make_unique<CStatusBarEx>(L"Idle");
    ASSERT_TRUE(bar->Create(host, 0xE801));
    bar->SetPanes({0, 1200});
    CStatusBarEx* status = bar.get();
    commands.SetStatusBar(std::move(bar));
    commands.Register("open", 1300, "", L"Show the window", nullptr);

    commands.ShowCommandText(1300);
    EXPECT_EQ(status->PaneText(0), L"Show the window");
    status->SetPaneText(0, L"written by someone else");
    commands.ShowCommandText(1300);
    EXPECT_EQ(status->PaneText(0), L"written by someone else") << "the same item twice writes once";
    status->OnIdleUpdate();
    commands.ShowCommandText(1300);
    EXPECT_EQ(status->PaneText(0), L"Show the window");
    commands.ShowCommandText(4711);  // no command: the pane keeps its text
    EXPECT_EQ(status->PaneText(0), L"Show the window");

    commands.Register("signal", 1200, "", nullptr, nullptr);
    EXPECT_EQ(commands.SetPaneTextByName("unknown", L"x", nullptr), -1);
    commands.SetPaneTextByName("signal", L"Signal: good", nullptr);
    EXPECT_EQ(status->PaneText(1), L"Signal: good");
    EXPECT_LT(commands.SetPaneTextById(1201, L"x", nullptr), 0);
}

int __cdecl GivesPanel(TService* service, TParam*)
{
    static HWND panels[2];
    const int which = service->szName[0] == 'a' ? 0 : 1;
    if (panels[which] == nullptr)
        panels[which] = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 50, 40, nullptr, nullptr, nullptr,
                                          nullptr);
    service->hWnd = panels[which];
    return 1;
}
int __cdecl PanelHandler(TService*, TParam*) { return 1; }

TEST(PluginPanelsTest, EachNameOfAPluginGetsItsPanelAndShowService)
{
    CServiceRegistry* registry = CServiceRegistry::GetRegistry();
    ASSERT_NE(registry, nullptr);
    auto* plugin = new CPluginInterface{};
    strcpy(plugin->info.szName, "alpha beta");
    ASSERT_TRUE(registry->AddPlugin(plugin));
    for (const char* name : {"alpha/GetPanelHandle", "beta/GetPanelHandle"}) {
        TService service{};
        strcpy(service.szName, name);
        service.pfnHandler = GivesPanel;
        registry->AddService(&service);
    }
    TPanelState panels;
    panels.sameSize = true;
    CollectPluginPanels(*registry, plugin, PanelHandler, panels, {10, 20, 110, 70});
    ASSERT_EQ(panels.byShowService.size(), 2u);
    HWND alpha = panels.byShowService["alpha/ShowPluginPanel"];
    EXPECT_NE(alpha, nullptr);
    EXPECT_NE(panels.byShowService["beta/ShowPluginPanel"], alpha);
    TService* stored = registry->FindService("beta/ShowPluginPanel");
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->pfnHandler, PanelHandler);
    EXPECT_EQ(stored->hWnd, panels.byShowService["beta/ShowPluginPanel"]);
    RECT placed;
    GetWindowRect(alpha, &placed);
    EXPECT_EQ(placed.right - placed.left, 100);
    EXPECT_EQ(panels.current, nullptr) << "no panel shows before its service is called";
    DestroyWindow(alpha);
    DestroyWindow(panels.byShowService["beta/ShowPluginPanel"]);
    CServiceRegistry::DestroyRegistry();
}

TEST(PluginPanelsTest, SwitchingShowsOnePanelAndLeavesMaxMode)
{
    testing::TestDialog window;
    HWND first = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, window.hwnd(), nullptr, nullptr, nullptr);
    HWND second = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, window.hwnd(), nullptr, nullptr, nullptr);
    TPanelState panels;
    panels.byShowService = {{"a/ShowPluginPanel", first}, {"b/ShowPluginPanel", second}};
    const TPanelHost host = {window.hwnd(), 0, {200, 100}};

    EXPECT_FALSE(ShowPanel(panels, "c/ShowPluginPanel", host));
    EXPECT_TRUE(ShowPanel(panels, "a/ShowPluginPanel", host));
    EXPECT_TRUE(::IsWindowVisible(first) || !::IsWindowVisible(window.hwnd()));
    ::ShowWindow(window.hwnd(), SW_SHOWMAXIMIZED);
    MSG posted;
    EXPECT_TRUE(ShowPanel(panels, "a/ShowPluginPanel", host));
    EXPECT_FALSE(testing::TakePosted(window.hwnd(), WM_SYSCOMMAND, &posted)) << "the same panel again changes nothing";

    EXPECT_TRUE(ShowPanel(panels, "b/ShowPluginPanel", host));
    EXPECT_EQ(panels.current, second);
    EXPECT_FALSE(::GetWindowLongPtrW(first, GWL_STYLE) & WS_VISIBLE);
    EXPECT_TRUE(::GetWindowLongPtrW(second, GWL_STYLE) & WS_VISIBLE);
    ASSERT_TRUE(testing::TakePosted(window.hwnd(), WM_SYSCOMMAND, &posted)) << "max mode is left";
    EXPECT_EQ(posted.wParam, static_cast<WPARAM>(SC_RESTORE));
}

}  // namespace
}  // namespace kivra
