#include "plugin/ManagerPlugin.h"
#include "plugin/PluginLoader.h"
#include "plugin/ServiceRegistry.h"
#include "tests/support/StubManagerHost.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>

using namespace kivra;

namespace {

class ManagerPluginTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        UnloadAllPlugins();
        CServiceRegistry::DestroyRegistry();
    }
};

TEST_F(ManagerPluginTest, ReportsItsNameTwiceAndVersion257)
{
    PluginInfo info;
    std::memset(&info, 0xCC, sizeof(info));
    ManagerPluginEntryPoints().getPluginInfo(&info);
    EXPECT_STREQ(info.szName, "manager");
    EXPECT_STREQ(info.szSecondName, "manager");
    for (size_t i = 7; i < KIVRA_NAME_SIZE; ++i) {
        ASSERT_EQ(info.szName[i], 0) << i;
        ASSERT_EQ(info.szSecondName[i], 0) << i;
    }
    for (char c : info.szReserved)
        ASSERT_EQ(c, 0);
    EXPECT_EQ(info.dwVersion, 257u);
}

TEST_F(ManagerPluginTest, AcceptsAnyHostVersion)
{
    const PluginEntryPoints entries = ManagerPluginEntryPoints();
    for (unsigned long version : {0UL, PLUGIN_HOST_VERSION, 0xFFFFFFFFUL})
        EXPECT_TRUE(entries.checkDependenceInfo(version)) << version;
}

int __cdecl AnswerSeven(TService* service, TParam* param)
{
    param->nCode = static_cast<int>(service->uMessage);
    return 7;
}

TEST_F(ManagerPluginTest, ExecuteServiceRunsTheRecordsHandler)
{
    const PluginEntryPoints entries = ManagerPluginEntryPoints();
    TService service{};
    service.uMessage = 42;
    service.pfnHandler = AnswerSeven;
    TParam param{};
    EXPECT_EQ(entries.executeService(&service, &param), 7);
    EXPECT_EQ(param.nCode, 42);
    service.pfnHandler = nullptr;
    EXPECT_EQ(entries.executeService(&service, &param), 0);
    EXPECT_EQ(entries.executeService(nullptr, &param), 0);
}

TEST_F(ManagerPluginTest, KeepsItsInterfaceAndHostWhileBound)
{
    CServiceRegistry* registry = CServiceRegistry::GetRegistry();
    ASSERT_NE(registry, nullptr);
    kivra::testing::StubManagerHost host;
    registry->SetHost(&host, nullptr);
    EXPECT_EQ(ManagerPluginInterface(), nullptr);

    ASSERT_EQ(BindPlugin(registry, ManagerPluginEntryPoints()), 1);
    ASSERT_EQ(registry->Plugins().size(), 1u);
    CPluginInterface* bound = registry->Plugins().front().get();
    EXPECT_EQ(ManagerPluginInterface(), bound);
    EXPECT_EQ(ManagerPluginHost(), &host);
    EXPECT_EQ(bound->pHost, &host);
    EXPECT_EQ(bound->hModule, nullptr);
    EXPECT_STREQ(bound->info.szName, "manager");

    EXPECT_EQ(BindPlugin(registry, ManagerPluginEntryPoints()), 0) << "bound once only";
    UnloadAllPlugins();
    EXPECT_EQ(ManagerPluginInterface(), nullptr);
    EXPECT_STREQ(bound->info.szName, "");
    EXPECT_EQ(bound->pfnLoadPlugin, nullptr);
}

// A plugin names the manager's services by the constants of its header.
TEST_F(ManagerPluginTest, HeaderPathConstantsNameTheServiceTableInOrder)
{
    const char* const constants[] = {
        KIVRA_SVC_CONFIGURE_GET_STRING,      KIVRA_SVC_NOTIFICATION_DISPLAY_WND, KIVRA_SVC_MAIN_APP_SHOW_STATUS_BAR,
        KIVRA_SVC_PROVIDE_SET_CWND,          KIVRA_SVC_SHOW_SET_WINDOW,          KIVRA_SVC_DROPZONE_UPDATE_LAST_DATA,
        KIVRA_SVC_DROPZONE_SHOW_DATA_STATUS, KIVRA_SVC_CHECK_DROPZONE_ITEM,      KIVRA_SVC_TRAY_SET_TOOL_TIP,
        KIVRA_SVC_CHANGE_TRAY_ICON,          KIVRA_SVC_POPUP_TRAY,               KIVRA_SVC_SHOW_TRAY,
        KIVRA_SVC_PROGRAM_EXIT,              KIVRA_SVC_SHOW_WAIT_DLG,            KIVRA_SVC_LOAD_IMAGE,
        KIVRA_SVC_MODIFY_BUTTON_INFO,        KIVRA_SVC_SHOW_ABOUT_DLG,           KIVRA_SVC_SHOW_MAIN_WINDOW,
        KIVRA_SVC_SHOW_WINDOW,               KIVRA_SVC_HIDE_MAIN_WINDOW,         KIVRA_SVC_SHOW_HELP_FILE,
        KIVRA_SVC_ENABLE_COMMAND_ITEM,       KIVRA_SVC_REGISTER_COMMAND_FUNCTION, KIVRA_SVC_UPGRADE_ONLINE,
        KIVRA_SVC_CHECK_MENU_ITEM,           KIVRA_SVC_MAXIMIZE_WINDOW,          KIVRA_SVC_RESTORE_WINDOW,
        KIVRA_SVC_PUT_WINDOW_TOP_MOST,       KIVRA_SVC_SELECT_PLUGIN_NAME,       KIVRA_SVC_DELETE_PLUGIN_RES,
        KIVRA_SVC_SET_WINDOW_ICON,
    };
    const auto table = ManagerServiceTable();
    ASSERT_EQ(table.size(), std::size(constants));
    for (size_t i = 0; i < table.size(); ++i)
        EXPECT_STREQ(table[i].szName, constants[i]) << i;
}

}  // namespace
