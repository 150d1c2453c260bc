// The skin's menus built into menus: the tray menu and its drop-zone item,
// items left out or made separators, the menu services and the menu bar.
#include <gtest/gtest.h>

#include <optional>

#include "FrameTestSupport.h"
#include "config/LanguageTable.h"
#include "controls/MenuEx.h"
#include "mainwindow/CommandRegistry.h"
#include "mainwindow/SkinMenus.h"
#include "mainwindow/TrayMenu.h"
#include "plugin/ServiceRegistry.h"
#include "tests/config/SkinFixture.h"
#include "tests/framework/FrameworkTestSupport.h"

namespace kivra {
namespace {

using skintest::SkinFixture;

class SkinMenusTest : public skintest::SkinTest {
protected:
    TMenuSetUp Build(const std::wstring& body, bool attach = true)
    {
        EXPECT_TRUE(fixture_.Open(skin_, body));
        registry_ = CServiceRegistry::GetRegistry();
        return SetUpMenus(window_.hwnd(), skin_, language_, commands_, {registry_, nullptr}, menuBar_, attach);
    }
    void TearDown() override
    {
        ::SetMenu(window_.hwnd(), nullptr);
        CServiceRegistry::DestroyRegistry();
    }

    SkinFixture fixture_;
    CSkin skin_;
    CLanguageTable language_;  // no file: every id shows as itself
    CommandRegistry commands_;
    testing::TestDialog window_;
    UniqueMenu menuBar_;
    CServiceRegistry* registry_ = nullptr;
};

TEST_F(SkinMenusTest, TheTrayMenuGetsItsDropZoneItemAndLeavesOutItemsWithoutCommand)
{
    const TMenuSetUp menus = Build(
        L"<menu name=\"tray\"><item name=\"open\" string=\"Open\" service=\"t/open\" tooltip=\"Show it\"/>"
        L"<item name=\"dz\" string=\"Drop zone (&amp;D)\" clicked-checked=\"true\"/>"
        L"<item string=\"Orphan\"/><item cmdid=\"4b0\"/><separator/></menu>"
        L"<menu name=\"Opts\" label=\"Options\"><item name=\"open\" string=\"Again\"/></menu>"
        L"<float-dlg><show-window>true</show-window><enable-menu-item>false</enable-menu-item></float-dlg>");
    ASSERT_NE(menus.trayMenu, nullptr);
    CMenuEx& tray = *menus.trayMenu;
    EXPECT_EQ(tray.ItemCount(), 4) << "the item without name or id is left out";
    EXPECT_EQ(::GetMenuState(tray.Handle(), 2, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR))
        << "an item without text is a separator, cmdid or not";
    ASSERT_GT(menus.dropZoneItemId, 0);
    EXPECT_EQ(tray.FindItemById(static_cast<UINT>(menus.dropZoneItemId)), 1);
    const UINT state = ::GetMenuState(tray.Handle(), static_cast<UINT>(menus.dropZoneItemId), MF_BYCOMMAND);
    EXPECT_NE(state & MF_CHECKED, 0u) << "the floating window starts shown";
    EXPECT_NE(state & MF_GRAYED, 0u) << "the skin does not let the item be used";
    TrayMenu trayMenu;
    trayMenu.Attach(menus.trayMenu, menus.dropZoneItemId);
    EXPECT_TRUE(trayMenu.DropZoneChecked());
    const auto grayed = [&] {
        return (::GetMenuState(tray.Handle(), static_cast<UINT>(menus.dropZoneItemId), MF_BYCOMMAND) & MF_GRAYED) != 0;
    };
    EXPECT_EQ(trayMenu.ToggleDropZone(), std::optional<bool>(false));
    EXPECT_FALSE(trayMenu.DropZoneChecked());
    EXPECT_TRUE(grayed()) << "unchecking changes the check mark only";
    EXPECT_EQ(trayMenu.ToggleDropZone(), std::optional<bool>(true));
    EXPECT_TRUE(trayMenu.DropZoneChecked());
    EXPECT_TRUE(grayed()) << "checking changes the check mark only";
    trayMenu.Attach(menus.trayMenu, -1);
    EXPECT_EQ(trayMenu.ToggleDropZone(), std::nullopt) << "no item, nothing to toggle";

    // Items of one name share a command; both menus are services of their keys.
    EXPECT_EQ(::GetMenuItemID(commands_.MenuByName("OPTS")->Handle(), 0), ::GetMenuItemID(tray.Handle(), 0));
    EXPECT_STREQ(commands_.Find(::GetMenuItemID(tray.Handle(), 0))->tooltip, L"Show it");
    for (const char* service : {"tray", "Opts", "Options"})
        EXPECT_NE(registry_->FindService(service), nullptr) << service;
    // The element with both a name and a label is also the menu bar's entry.
    ASSERT_EQ(menus.menuBar.size(), 1u);
    EXPECT_EQ(menus.menuBar[0].label, L"Options");
    EXPECT_EQ(::GetMenu(window_.hwnd()), menuBar_.get());
    EXPECT_EQ(::GetMenuItemCount(menuBar_.get()), 1);
}

TEST_F(SkinMenusTest, ASkinWithoutMenusStillHasAnEmptyTrayMenu)
{
    const TMenuSetUp menus = Build(L"", false);
    ASSERT_NE(menus.trayMenu, nullptr);
    EXPECT_EQ(menus.trayMenu->ItemCount(), 0);
    EXPECT_EQ(commands_.MenuByName("tray"), menus.trayMenu);
    EXPECT_EQ(menus.dropZoneItemId, -1);
    EXPECT_EQ(registry_->FindService("tray"), nullptr) << "no service for a tray menu the skin does not have";
    EXPECT_TRUE(menuBar_);
    EXPECT_EQ(::GetMenu(window_.hwnd()), nullptr) << "not attached when the caller shows it otherwise";
}

// The main window of the tray test: menu commands 1 and 2 restore and hide
// the window shown, as "manager/PopupTray" and "manager/ShowTray" do.
class TrayOwner : public CWindow {
public:
    HWND shown = nullptr;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_COMMAND && (LOWORD(wParam) == 1 || LOWORD(wParam) == 2))
            ::ShowWindow(shown, LOWORD(wParam) == 1 ? SW_SHOWNA : SW_HIDE);
        return CWindow::WindowProc(msg, wParam, lParam);
    }
};

// Whether the drop zone shows is decided once the menu has closed: the item
// chosen may have restored or hidden the main window.
TEST(TrayMenuTest, TheDropZoneShowsAfterTheMenuOnlyWhileTheWindowIsHidden)
{
    const struct {
        const char* name;
        bool visibleBefore;
        bool checked;
        UINT key;  // what the user presses in the menu: a mnemonic (WM_CHAR) or Esc
        std::optional<bool> showDropZone;
    } cases[] = {
        {"hidden, Restore chosen", false, true, L'r', false},
        {"shown, Hide chosen", true, true, L'h', true},
        {"hidden, dismissed", false, true, VK_ESCAPE, true},
        {"shown, dismissed", true, true, VK_ESCAPE, false},
        {"hidden, item unchecked, dismissed", false, false, VK_ESCAPE, false},
    };
    for (const auto& c : cases) {
        TrayOwner owner;
        ASSERT_TRUE(owner.Create(0, test::TestWindowClass(), L"tray owner", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr));
        owner.shown = ::CreateWindowExW(0, L"STATIC", L"main", WS_POPUP, 100, 100, 80, 60, nullptr, nullptr, nullptr, nullptr);
        ::ShowWindow(owner.shown, c.visibleBefore ? SW_SHOWNA : SW_HIDE);
        CMenuEx menu(owner.Handle());
        ::AppendMenuW(menu.Handle(), MF_STRING, 1, L"&Restore");
        ::AppendMenuW(menu.Handle(), MF_STRING, 2, L"&Hide");
        ::AppendMenuW(menu.Handle(), MF_STRING | (c.checked ? MF_CHECKED : 0), 3, L"Drop zone (&D)");
        TrayMenu tray;
        tray.Attach(&menu, 3);
        // Waiting in the queue, the key is the first thing the menu's loop reads.
        ::PostMessageW(owner.Handle(), c.key == VK_ESCAPE ? WM_KEYDOWN : WM_CHAR, c.key, 0);
        const std::optional<bool> show =
            tray.PopupFromTray(owner.Handle(), [&] { return ::IsWindowVisible(owner.shown) != FALSE; });
        EXPECT_EQ(show, c.showDropZone) << c.name;
        ::DestroyWindow(owner.shown);
    }
}

}  // namespace
}  // namespace kivra
