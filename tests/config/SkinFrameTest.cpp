#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/SkinFrame.h"
#include "tests/config/SkinFixture.h"

namespace kivra {
namespace {

using skintest::BitmapSize;
using skintest::SkinFixture;

class SkinFrame : public skintest::SkinTest {};

void ExpectRect(const RECT& r, LONG left, LONG top, LONG right, LONG bottom)
{
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right, right);
    EXPECT_EQ(r.bottom, bottom);
}

TEST_F(SkinFrame, TitleBarPiecesNeedAnImageAndReadFromAndTo)
{
    SkinFixture fixture;
    fixture.WriteSkinImage(L"title.bmp", 10, 24);
    fixture.WriteCommonImage(L"right.bmp", 4, 24);
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, L"<title-bar>"
                                   L"<image from=\"0,0,10,24\" to=\"0,0,10,24\">title.bmp</image>"
                                   L"<image to=\"10,0,0,24\" other=\"x\">right.bmp</image>"
                                   L"<image from=\"1,1,1,1\">missing.bmp</image>"
                                   L"<image FROM=\"5,5,5,5\">title.bmp</image>"
                                   L"</title-bar>"));
    std::vector<TSkinImage> images;
    TSkinButton buttons[kTitleBarButtonCount] = {};
    ASSERT_TRUE(ReadTitleBar(skin, &images, buttons));
    ASSERT_EQ(images.size(), 3u) << "the piece whose image does not load is dropped";
    ExpectRect(images[0].from, 0, 0, 10, 24);
    ExpectRect(images[0].to, 0, 0, 10, 24);
    EXPECT_EQ(BitmapSize(images[0].bitmap).cy, 24);
    ExpectRect(images[1].from, 0, 0, 0, 0);
    ExpectRect(images[1].to, 10, 0, 0, 24);
    EXPECT_EQ(BitmapSize(images[1].bitmap).cx, 4);
    ExpectRect(images[2].from, 0, 0, 0, 0);  // names are compared with case here
    for (const TSkinButton& b : buttons)
        EXPECT_STREQ(b.owner, L"");
}

TEST_F(SkinFrame, FourTitleBarButtonsGiveThreeZeroedRecords)
{
    SkinFixture fixture;
    fixture.WriteSkinImage(L"close.bmp", 16, 14);
    fixture.WriteSkinImage(L"close-hot.bmp", 17, 14);
    const std::wstring longId(70, L'i');
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, L"<title-bar>"
                                   L"<button id=\"close\" image=\"close.bmp\" hover=\"close-hot.bmp\" rect=\"1,1,1,1\"/>"
                                   L"<button id=\"maximize\" image=\"none.bmp\"/>"
                                   L"<button id=\"" + longId + L"\"/>"
                                   L"<button id=\"fourth\" image=\"close.bmp\"/>"
                                   L"</title-bar>"));
    std::vector<TSkinImage> images;
    TSkinButton buttons[kTitleBarButtonCount] = {};
    buttons[2].imageIndex = 77;
    ASSERT_TRUE(ReadTitleBar(skin, &images, buttons));
    EXPECT_TRUE(images.empty());
    EXPECT_STREQ(buttons[0].owner, L"close");
    EXPECT_EQ(BitmapSize(buttons[0].image).cx, 16);
    EXPECT_EQ(BitmapSize(buttons[0].hover).cx, 17);
    EXPECT_FALSE(buttons[0].visable);
    EXPECT_FALSE(buttons[0].inherit);
    EXPECT_EQ(buttons[0].imageIndex, 0);
    ExpectRect(buttons[0].rect, 0, 0, 0, 0);
    EXPECT_STREQ(buttons[1].owner, L"maximize");
    EXPECT_EQ(buttons[1].image, nullptr);
    EXPECT_EQ(std::wstring(buttons[2].owner), longId.substr(0, 63));
    EXPECT_EQ(buttons[2].imageIndex, 0);
}

TEST_F(SkinFrame, TitleBarWithoutDocumentFails)
{
    CSkin skin;
    std::vector<TSkinImage> images;
    TSkinButton buttons[kTitleBarButtonCount] = {};
    EXPECT_FALSE(ReadTitleBar(skin, &images, buttons));
    EXPECT_FALSE(ReadBackground(skin, &images));
}

TEST_F(SkinFrame, StatusBarShowIsExactAndWidthsAreHexadecimal)
{
    SkinFixture fixture;
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, L"<status-bar show=\"true\">"
                                   L"<item name=\"Signal\" width=\"64\"/>"
                                   L"<item width=\"40\"/>"
                                   L"<item cmdid=\"E001\" width=\"zz\" extra=\"1\"/>"
                                   L"<item Name=\"ignored\" NAME=\"x\"/>"
                                   L"<item name=\"\u4e2d\u6587\"/>"
                                   L"</status-bar>"));
    bool show = false;
    ASSERT_TRUE(ReadStatusBar(skin.Document(), &show));
    EXPECT_TRUE(show);
    std::vector<TStatusItem> items;
    ASSERT_TRUE(ReadStatusItems(skin.Document(), &items));
    ASSERT_EQ(items.size(), 3u) << "a width alone and wrongly cased names are no pane";
    EXPECT_STREQ(items[0].name, "Signal");
    EXPECT_EQ(items[0].width, 100);
    EXPECT_EQ(items[0].cmdid, 0u);
    EXPECT_STREQ(items[1].name, "");
    EXPECT_EQ(items[1].cmdid, 0xE001u);
    EXPECT_EQ(items[1].width, 0);
    EXPECT_STREQ(items[2].name, "-\x87");  // low bytes of U+4E2D U+6587
}

TEST_F(SkinFrame, StatusBarShowInCapitalsOrMissingIsHidden)
{
    SkinFixture fixture;
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, L"<status-bar show=\"TRUE\"/>"));
    bool show = true;
    ASSERT_TRUE(ReadStatusBar(skin.Document(), &show));
    EXPECT_FALSE(show);
    std::vector<TStatusItem> items;
    EXPECT_TRUE(ReadStatusItems(skin.Document(), &items));
    EXPECT_TRUE(items.empty());

    ASSERT_TRUE(fixture.Open(skin, L"<status-bar/>"));
    show = true;
    ASSERT_TRUE(ReadStatusBar(skin.Document(), &show));
    EXPECT_FALSE(show);

    // No status-bar element: the selection still succeeds, show is set false.
    ASSERT_TRUE(fixture.Open(skin, L""));
    show = true;
    EXPECT_TRUE(ReadStatusBar(skin.Document(), &show));
    EXPECT_FALSE(show);

    CSkin closed;
    show = true;
    EXPECT_FALSE(ReadStatusBar(closed.Document(), &show));
    EXPECT_TRUE(show) << "untouched when the selection fails";
}

TEST_F(SkinFrame, BackgroundKeepsPiecesWithoutImageAndIsSpelledBackgroud)
{
    SkinFixture fixture;
    fixture.WriteSkinImage(L"back.bmp", 30, 20);
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, L"<backgroud><image to=\"0,0,30,20\">back.bmp</image>"
                                   L"<image from=\"3,4,5,6\">missing.bmp</image><image/></backgroud>"
                                   L"<background><image>back.bmp</image></background>"));
    std::vector<TSkinImage> images;
    ASSERT_TRUE(ReadBackground(skin, &images));
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(BitmapSize(images[0].bitmap).cx, 30);
    ExpectRect(images[0].to, 0, 0, 30, 20);
    EXPECT_EQ(images[1].bitmap, nullptr);
    ExpectRect(images[1].from, 3, 4, 5, 6);
    EXPECT_EQ(images[2].bitmap, nullptr);

    images.clear();
    ASSERT_TRUE(fixture.Open(skin, L"<background><image>back.bmp</image></background>"));
    EXPECT_TRUE(ReadBackground(skin, &images));
    EXPECT_TRUE(images.empty()) << "background is not the section's name";
}

TEST_F(SkinFrame, MainFrameValues)
{
    SkinFixture fixture;
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, L"<main-frame><abnormal-window>true</abnormal-window>"
                                   L"<mask-color>0,255,0</mask-color><window-size>400, 300</window-size>"
                                   L"<plugin-window-same-size>true</plugin-window-same-size>"
                                   L"<fit-size-to-plugin>TRUE</fit-size-to-plugin></main-frame>"));
    TMainFrameSkin values;
    ReadMainFrame(skin.Document(), &values);
    EXPECT_TRUE(values.abnormalWindow);
    EXPECT_EQ(values.maskColor, RGB(0, 255, 0));
    EXPECT_EQ(values.windowWidth, 400);
    EXPECT_EQ(values.windowHeight, 300);
    EXPECT_TRUE(values.pluginWindowSameSize);
    EXPECT_FALSE(values.fitSizeToPlugin);

    ASSERT_TRUE(fixture.Open(skin, L"<main-frame><window-size>400,300</window-size><mask-color>7</mask-color>"
                                   L"<abnormal-window>yes</abnormal-window></main-frame>"));
    ReadMainFrame(skin.Document(), &values);
    EXPECT_EQ(values.windowWidth, 400);
    EXPECT_EQ(values.windowHeight, 300);
    EXPECT_EQ(values.maskColor, RGB(7, 0, 0));
    EXPECT_FALSE(values.abnormalWindow);
    EXPECT_FALSE(values.pluginWindowSameSize) << "nothing kept from the earlier read";
}

TEST_F(SkinFrame, MainFrameDefaultsWhenElementsAreMissing)
{
    SkinFixture fixture;
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, L"<main-frame/>"));
    TMainFrameSkin values;
    values.windowWidth = 5;
    values.abnormalWindow = true;
    ReadMainFrame(skin.Document(), &values);
    EXPECT_FALSE(values.abnormalWindow);
    EXPECT_EQ(values.maskColor, 0xFF00FFu);
    EXPECT_EQ(values.windowWidth, 0);
    EXPECT_EQ(values.windowHeight, 0);
    ReadMainFrame(skin.Document(), nullptr);  // harmless
}

TEST_F(SkinFrame, StartServiceIsNarrowedAndCut)
{
    SkinFixture fixture;
    CSkin skin;
    char service[kSkinTextSize] = "stale";
    ASSERT_TRUE(fixture.Open(skin, L"<main-frame><start-service>dialer/ShowPluginPanel; sms/Init</start-service>"
                                   L"</main-frame>"));
    ASSERT_TRUE(ReadStartService(skin.Document(), service));
    EXPECT_STREQ(service, "dialer/ShowPluginPanel; sms/Init");

    ASSERT_TRUE(fixture.Open(skin, L"<main-frame><start-service>" + std::wstring(80, L's') +
                                       L"</start-service></main-frame>"));
    ASSERT_TRUE(ReadStartService(skin.Document(), service));
    EXPECT_EQ(std::string(service), std::string(63, 's'));

    ASSERT_TRUE(fixture.Open(skin, L"<main-frame><start-service/></main-frame>"));
    EXPECT_FALSE(ReadStartService(skin.Document(), service));
    EXPECT_STREQ(service, "");
    ASSERT_TRUE(fixture.Open(skin, L""));
    EXPECT_FALSE(ReadStartService(skin.Document(), service));
}


}  // namespace
}  // namespace kivra
