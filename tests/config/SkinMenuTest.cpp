#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/SkinMenu.h"
#include "tests/config/SkinFixture.h"

namespace kivra {
namespace {

using skintest::BitmapSize;
using skintest::SkinFixture;

class SkinMenu : public skintest::SkinTest {};

const wchar_t kMenus[] =
    L"<menu name=\"tray\" popup-type=\"right-bottom-up\" group-radio-checked=\"2,4\" default-checked=\"3\" "
    L"IMAGE-LIST=\"icons.bmp\" image-size=\"16,16\" mask-color=\"255,0,255\" normal-item-image=\"item.bmp\" "
    L"hover-item-image=\"item-hot.bmp\" unchecked-image=\"off.bmp\" checked-image=\"on.bmp\">"
    L"<item cmdid=\"8010\" name=\"Open\" string=\"IDS_OPEN\" tooltip=\"IDS_OPEN_TIP\" service=\"manager/ShowMainWindow\" "
    L"image-index=\"2\" checked-image=\"on.bmp\"/>"
    L"<separator cmdid=\"5\" string=\"x\"/>"
    L"<item string=\"IDS_DROP\" clicked-checked=\"yes\" enable=\"false\"/>"
    L"<item string=\"IDS_A\" clicked-checked=\"FALSE\" enable=\"False\" Cmdid=\"9\"/>"
    L"<submenu string=\"skipped\"/>"
    L"<item cmdid=\"8011\"/>"
    L"</menu>"
    L"<menu label=\"IDS_FILE\"><item string=\"IDS_EXIT\" cmdid=\"E141\"/></menu>"
    L"<menu name=\"help\" label=\"IDS_HELP\" popup-type=\"Mouse\"><item string=\"IDS_ABOUT\"/></menu>"
    L"<menu><item string=\"no key\"/></menu>";

TEST_F(SkinMenu, ReadsNamedMenusWithHeaderAndItems)
{
    SkinFixture fixture;
    for (const wchar_t* name : {L"icons.bmp", L"item.bmp", L"item-hot.bmp", L"off.bmp"})
        fixture.WriteSkinImage(name, 16, 16);
    fixture.WriteCommonImage(L"on.bmp", 13, 13);
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, kMenus));
    ASSERT_TRUE(SelectMenus(skin));

    std::wstring key;
    TMenuSkin menu{};
    std::vector<TMenuItemSkin> items;
    ASSERT_TRUE(ReadMenu(skin, L"name", &key, &menu, &items));
    EXPECT_EQ(key, L"tray");
    EXPECT_EQ(menu.popupType, kMenuPopupRightBottomUp);
    EXPECT_EQ(menu.radioFirst, 2);
    EXPECT_EQ(menu.radioLast, 4);
    EXPECT_EQ(menu.defaultChecked, 3);
    EXPECT_EQ(BitmapSize(menu.imageList).cx, 16);
    EXPECT_EQ(menu.imageWidth, 16);
    EXPECT_EQ(menu.imageHeight, 16);
    EXPECT_EQ(menu.maskColor, RGB(255, 0, 255));
    EXPECT_NE(menu.normalItemImage, nullptr);
    EXPECT_NE(menu.hoverItemImage, nullptr);
    EXPECT_NE(menu.uncheckedImage, nullptr);
    EXPECT_EQ(BitmapSize(menu.checkedImage).cx, 13);

    ASSERT_EQ(items.size(), 5u) << "the unknown child is skipped";
    EXPECT_EQ(items[0].cmdid, 0x8010u);
    EXPECT_STREQ(items[0].name, L"Open");
    EXPECT_STREQ(items[0].string, L"IDS_OPEN");
    EXPECT_STREQ(items[0].tooltip, L"IDS_OPEN_TIP");
    EXPECT_STREQ(items[0].service, "manager/ShowMainWindow");
    EXPECT_EQ(items[0].imageIndex, 2);
    EXPECT_EQ(items[0].enabled, 1);
    EXPECT_EQ(items[0].checkToggle, 0);
    EXPECT_NE(items[0].checkedImage, nullptr);
    EXPECT_EQ(items[0].uncheckedImage, nullptr);

    // A separator reads none of its attributes.
    EXPECT_EQ(items[1].cmdid, 0u);
    EXPECT_STREQ(items[1].string, L"");
    EXPECT_EQ(items[1].enabled, 1);

    EXPECT_EQ(items[2].enabled, 0);
    EXPECT_EQ(items[2].checkToggle, 1);
    EXPECT_EQ(items[2].cmdid, 0u);

    // "enable" is compared exactly, "clicked-checked" ignoring case; attribute names exactly.
    EXPECT_EQ(items[3].enabled, 1);
    EXPECT_EQ(items[3].checkToggle, 0);
    EXPECT_EQ(items[3].cmdid, 0u);

    EXPECT_EQ(items[4].cmdid, 0x8011u);
    EXPECT_STREQ(items[4].string, L"") << "no string: built as a separator later";

    // The next named menu is "help"; elements without a name are passed over.
    std::wstring next;
    TMenuSkin help{};
    std::vector<TMenuItemSkin> helpItems;
    ASSERT_TRUE(ReadMenu(skin, L"name", &next, &help, &helpItems));
    EXPECT_EQ(next, L"help");
    EXPECT_EQ(help.popupType, 0) << "popup types are compared exactly";
    EXPECT_EQ(help.radioFirst, -1);
    EXPECT_EQ(help.radioLast, -1);
    EXPECT_EQ(help.defaultChecked, -1);
    ASSERT_EQ(helpItems.size(), 1u);
    next.clear();
    EXPECT_FALSE(ReadMenu(skin, L"name", &next, &help, &helpItems));
}

TEST_F(SkinMenu, ReadsMenuBarEntriesByLabel)
{
    SkinFixture fixture;
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, kMenus));
    ASSERT_TRUE(SelectMenus(skin));
    std::vector<std::wstring> labels;
    std::wstring key;
    TMenuSkin menu{};
    std::vector<TMenuItemSkin> items;
    while (ReadMenu(skin, L"label", &key, &menu, &items)) {
        labels.push_back(key);
        key.clear();
    }
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[0], L"IDS_FILE");
    EXPECT_EQ(labels[1], L"IDS_HELP");
    ASSERT_EQ(items.size(), 2u) << "items are appended";
    EXPECT_EQ(items[0].cmdid, 0xE141u);
    EXPECT_STREQ(items[1].string, L"IDS_ABOUT");
}

TEST_F(SkinMenu, FindsAMenuByItsKeyText)
{
    SkinFixture fixture;
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, kMenus));
    ASSERT_TRUE(SelectMenus(skin));
    std::wstring key = L"help";
    TMenuSkin menu{};
    std::vector<TMenuItemSkin> items;
    ASSERT_TRUE(ReadMenu(skin, L"name", &key, &menu, &items));
    EXPECT_EQ(key, L"help");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_STREQ(items[0].string, L"IDS_ABOUT");

    ASSERT_TRUE(SelectMenus(skin));
    key = L"Help";  // exact comparison
    EXPECT_FALSE(ReadMenu(skin, L"name", &key, &menu, &items));
    EXPECT_EQ(key, L"Help");
    EXPECT_FALSE(ReadMenu(skin, L"", &key, &menu, &items));
    EXPECT_FALSE(ReadMenu(skin, L"name", nullptr, &menu, &items));
}

TEST_F(SkinMenu, ItemTextsAreCutAndKeepNonAsciiCharacters)
{
    SkinFixture fixture;
    CSkin skin;
    const std::wstring c63(63, L'a'), c64(64, L'b'), c70(70, L's');
    const std::wstring chinese = L"\u6253\u5f00\u4e3b\u7a97\u53e3";
    ASSERT_TRUE(fixture.Open(skin, L"<menu name=\"m\"><item name=\"" + c63 + L"\" string=\"" + chinese +
                                       L"\" tooltip=\"" + c64 + L"\" service=\"" + c70 + L"\"/></menu>"));
    ASSERT_TRUE(SelectMenus(skin));
    std::wstring key;
    TMenuSkin menu{};
    std::vector<TMenuItemSkin> items;
    ASSERT_TRUE(ReadMenu(skin, L"name", &key, &menu, &items));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(std::wstring(items[0].name), c63);
    EXPECT_EQ(std::wstring(items[0].string), chinese);
    EXPECT_EQ(std::wstring(items[0].tooltip), c64.substr(0, 63));
    EXPECT_EQ(std::string(items[0].service), std::string(63, 's'));
}

TEST_F(SkinMenu, NoMenusReadsNothing)
{
    SkinFixture fixture;
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, L""));
    ASSERT_TRUE(SelectMenus(skin));
    std::wstring key;
    TMenuSkin menu{};
    std::vector<TMenuItemSkin> items;
    EXPECT_FALSE(ReadMenu(skin, L"name", &key, &menu, &items));
    EXPECT_TRUE(items.empty());
}

}  // namespace
}  // namespace kivra
