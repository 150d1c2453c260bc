#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/SkinFrame.h"
#include "config/SkinToolArea.h"
#include "tests/config/SkinFixture.h"

namespace kivra {
namespace {

using skintest::BitmapSize;
using skintest::SkinFixture;

class SkinToolArea : public skintest::SkinTest {};

TEST_F(SkinToolArea, ReadsToolElementsWithItemsAndSeparators)
{
    SkinFixture fixture;
    fixture.WriteSkinImage(L"strip.bmp", 96, 32);
    fixture.WriteSkinImage(L"back.bmp", 8, 40);
    fixture.WriteCommonImage(L"logo.bmp", 50, 40);
    fixture.WriteSkinImage(L"item.bmp", 32, 32);
    const std::wstring longName(130, L'n');
    CSkin skin;
    ASSERT_TRUE(fixture.Open(
        skin, L"<tool image=\"strip.bmp\" background-color=\"255,0, 128\" background-image=\"back.bmp\" "
              L"logo-image=\"logo.bmp\" button-size=\"60,40\" image-size=\"32,32\" selfocus=\"true\" Image=\"x\">"
              L"<item cmdid=\"8020\" name=\"Connect\" tooltip=\"IDS_CONNECT\" service=\"dialer/ShowPluginPanel\" "
              L"image=\"item.bmp\" other=\"1\"/>"
              L"<separator name=\"ignored\"/>"
              L"<button name=\"skipped\"/>"
              L"<item name=\"" + longName + L"\" service=\"sms/ShowPluginPanel\"/>"
              L"</tool>"
              L"<tool background-color=\"255,0,128\" selfocus=\"TRUE\"/>"));
    std::vector<TToolAreaSkin> tools = ReadToolArea(skin);
    ASSERT_EQ(tools.size(), 2u);

    const TToolAreaSkin& first = tools[0];
    EXPECT_EQ(BitmapSize(first.image).cx, 96);
    EXPECT_EQ(first.backgroundColor, 0x8000FFu);
    EXPECT_EQ(BitmapSize(first.backgroundImage).cy, 40);
    EXPECT_EQ(BitmapSize(first.logoImage).cx, 50);
    EXPECT_EQ(first.buttonWidth, 60);
    EXPECT_EQ(first.buttonHeight, 40);
    EXPECT_EQ(first.imageWidth, 32);
    EXPECT_EQ(first.imageHeight, 32);
    EXPECT_EQ(first.selfocus, 1);
    ASSERT_EQ(first.items.size(), 3u);
    EXPECT_EQ(first.items[0].cmdid, 0x8020u);
    EXPECT_STREQ(first.items[0].name, L"Connect");
    EXPECT_STREQ(first.items[0].tooltip, L"IDS_CONNECT");
    EXPECT_STREQ(first.items[0].service, "dialer/ShowPluginPanel");
    EXPECT_EQ(BitmapSize(first.items[0].image).cx, 32);
    // The separator is all zero.
    EXPECT_EQ(first.items[1].cmdid, 0u);
    EXPECT_STREQ(first.items[1].name, L"");
    EXPECT_STREQ(first.items[1].service, "");
    EXPECT_EQ(first.items[1].image, nullptr);
    EXPECT_EQ(std::wstring(first.items[2].name), longName.substr(0, 127));
    EXPECT_EQ(first.items[2].cmdid, 0u);

    const TToolAreaSkin& second = tools[1];
    EXPECT_EQ(second.backgroundColor, 0x8000FFu) << "same colour without the blank";
    EXPECT_EQ(second.selfocus, 0) << "only exactly true";
    EXPECT_TRUE(second.items.empty());
    EXPECT_EQ(second.image, nullptr);
}

TEST_F(SkinToolArea, CallbackRunsPerToolAfterTheSectionIsRead)
{
    SkinFixture fixture;
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, L"<tool><item cmdid=\"1\"/></tool><tool><item cmdid=\"2\"/><item cmdid=\"3\"/></tool>"
                                   L"<main-frame><start-service>a/b</start-service></main-frame>"));
    std::vector<size_t> counts;
    ReadToolArea(skin, [&](TToolAreaSkin& tool) {
        counts.push_back(tool.items.size());
        // The callback may use the document.
        char service[KIVRA_NAME_SIZE];
        EXPECT_TRUE(ReadStartService(skin.Document(), service));
    });
    ASSERT_EQ(counts.size(), 2u);
    EXPECT_EQ(counts[0], 1u);
    EXPECT_EQ(counts[1], 2u);

    ASSERT_TRUE(fixture.Open(skin, L""));
    EXPECT_TRUE(ReadToolArea(skin).empty());
    CSkin closed;
    EXPECT_TRUE(ReadToolArea(closed).empty());
}

}  // namespace
}  // namespace kivra
