#include "plugin/ManagerPlugin.h"
#include "plugin/PluginLoader.h"
#include "plugin/ServiceRegistry.h"
#include "tests/support/StubManagerHost.h"

#include <gtest/gtest.h>

#include <cstring>

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

}  // namespace
