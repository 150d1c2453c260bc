// The manager services that reach the commands, menus and status bar, as a
// plugin's record gives them (read by the built-in plugin's readers).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "controls/MenuEx.h"
#include "mainwindow/ShellFrame.h"
#include "plugin/ManagerPlugin.h"

namespace kivra {
namespace {

void __cdecl PluginFunction() {}

class ShellServicesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        shell_ = std::make_unique<CShellFrame>();
        CommandRegistry& commands = *shell_->Commands();
        commands.Register("connect", 1300, "connect/Toggle", L"", PluginFunction);
        auto menu = std::make_unique<CMenuEx>(nullptr);
        ::AppendMenuW(menu->Handle(), MF_STRING, 1300, L"Connect");
        ::AppendMenuW(menu->Handle(), MF_STRING, 1301, L"Roaming");
        menu_ = commands.RegisterMenu("options", std::move(menu));
    }
    void TearDown() override { shell_.reset(); }
    bool Grayed(UINT id) const { return (::GetMenuState(menu_->Handle(), id, MF_BYCOMMAND) & MF_GRAYED) != 0; }

    std::unique_ptr<CShellFrame> shell_;
    CMenuEx* menu_ = nullptr;
};

TEST_F(ShellServicesTest, EnablingACommandKeepsWhatItRuns)
{
    TCommandItem item{};
    item.nCommandId = 1300;
    item.bEnable = 0;
    EXPECT_TRUE(shell_->EnableCommandItem(CommandRequestOf(item)));
    EXPECT_TRUE(Grayed(1300));
    const CommandEntry* entry = shell_->Commands()->Find(1300);
    EXPECT_STREQ(entry->service, "connect/Toggle");
    EXPECT_EQ(entry->callback, PluginFunction);

    TCommandItem byName{};
    std::memset(byName.szName, 'x', sizeof(byName.szName));  // not terminated: read as 63 characters
    EXPECT_FALSE(shell_->EnableCommandItem(CommandRequestOf(byName))) << "no command has that name";
    std::strcpy(byName.szName, "connect");
    byName.bEnable = 1;
    EXPECT_TRUE(shell_->EnableCommandItem(CommandRequestOf(byName)));
    EXPECT_FALSE(Grayed(1300));
}

TEST_F(ShellServicesTest, RegisteringAFunctionReplacesServiceAndFunction)
{
    TCommandItem item{};
    std::strcpy(item.szName, "connect");
    item.nCommandId = static_cast<unsigned>(-1);  // found by its name
    EXPECT_TRUE(shell_->RegisterCommandFunction(CommandRequestOf(item)));
    const CommandEntry* entry = shell_->Commands()->Find(1300);
    EXPECT_STREQ(entry->service, "");
    EXPECT_EQ(entry->callback, nullptr);
    TCommandItem unknown{};
    std::strcpy(unknown.szName, "nobody");
    EXPECT_FALSE(shell_->RegisterCommandFunction(CommandRequestOf(unknown)));
}

TEST_F(ShellServicesTest, CheckingAMenuItemAnswersWhetherTheItemExists)
{
    TMenuCheckInfo check{};
    std::strcpy(check.szMenuName, "OPTIONS");  // A-Z case does not matter
    check.bCheck = 1;
    check.nPosition = -1;
    wcscpy(check.szItemText, L"Roaming");
    EXPECT_TRUE(shell_->SetMenuCheck(MenuCheckRequestOf(check)));
    EXPECT_TRUE(menu_->IsChecked(1));
    check.szItemText[0] = 0;
    check.nPosition = 5;
    EXPECT_FALSE(shell_->SetMenuCheck(MenuCheckRequestOf(check)));
    std::strcpy(check.szMenuName, "none");
    EXPECT_FALSE(shell_->SetMenuCheck(MenuCheckRequestOf(check)));
}

// The shutdown destroys the commands; what a late plugin call reaches then
// answers false instead of using the registry that is gone.
TEST_F(ShellServicesTest, OnceTheCommandsAreDestroyedTheServicesFindNone)
{
    shell_->DestroyCommands();
    EXPECT_EQ(shell_->Commands(), nullptr);
    TCommandItem item{};
    item.nCommandId = 1300;
    item.bEnable = 1;
    EXPECT_FALSE(shell_->EnableCommandItem(CommandRequestOf(item)));
    EXPECT_FALSE(shell_->RegisterCommandFunction(CommandRequestOf(item)));
    TMenuCheckInfo check{};
    std::strcpy(check.szMenuName, "options");
    EXPECT_FALSE(shell_->SetMenuCheck(MenuCheckRequestOf(check)));
    EXPECT_EQ(shell_->Commands(), nullptr) << "no new registry made on the way";
}

}  // namespace
}  // namespace kivra
