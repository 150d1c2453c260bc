#include <gtest/gtest.h>

#include <string>

#include "config/SkinButton.h"
#include "tests/config/SkinFixture.h"

namespace kivra {
namespace {

using skintest::BitmapSize;
using skintest::SkinFixture;

class SkinButton : public skintest::SkinTest {};

TEST_F(SkinButton, ReadsTheHeaderImagesSizeAndMaskColour)
{
    SkinFixture fixture;
    fixture.WriteSkinImage(L"strip.bmp", 64, 16);
    fixture.WriteSkinImage(L"normal.bmp", 20, 20);
    fixture.WriteCommonImage(L"hover.bmp", 21, 20);
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, L"<tool-bar IMAGE-LIST=\"strip.bmp\" image-size=\"16,16\" "
                                   L"normal-button-image=\"normal.bmp\" hover-button-image=\"hover.bmp\" "
                                   L"mask-color=\"255,0,255\"/>"));
    TToolBarSkin header{};
    ASSERT_TRUE(ReadToolBar(skin, &header));
    EXPECT_EQ(BitmapSize(header.imageList).cx, 64);
    EXPECT_EQ(BitmapSize(header.normalButtonImage).cx, 20);
    EXPECT_EQ(BitmapSize(header.hoverButtonImage).cx, 21);
    EXPECT_EQ(header.imageWidth, 16);
    EXPECT_EQ(header.imageHeight, 16);
    EXPECT_EQ(header.maskColor, RGB(255, 0, 255));
    EXPECT_FALSE(ReadNextButton(skin, nullptr));
    TSkinButton button{};
    EXPECT_FALSE(ReadNextButton(skin, &button)) << "no button elements";
}

TEST_F(SkinButton, MissingMaskColourIsBlack)
{
    SkinFixture fixture;
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, L"<tool-bar image-size=\"12\"/>"));
    TToolBarSkin header{};
    header.maskColor = RGB(1, 2, 3);
    ASSERT_TRUE(ReadToolBar(skin, &header));
    EXPECT_EQ(header.maskColor, 0u);
    EXPECT_EQ(header.imageWidth, 12);
    EXPECT_EQ(header.imageHeight, 0);
    EXPECT_EQ(header.imageList, nullptr);
}

TEST_F(SkinButton, ButtonWithOnlyOwnerAndServiceGetsTheDefaults)
{
    SkinFixture fixture;
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, L"<tool-bar><button owner=\"system\" service=\"manager/ShowAbout\"/></tool-bar>"));
    TToolBarSkin header{};
    ASSERT_TRUE(ReadToolBar(skin, &header));
    TSkinButton button{};
    ASSERT_TRUE(ReadNextButton(skin, &button));
    EXPECT_STREQ(button.owner, L"system");
    EXPECT_STREQ(button.service, L"manager/ShowAbout");
    EXPECT_EQ(button.cmdid, 0u);
    EXPECT_EQ(button.imageIndex, -1);
    EXPECT_TRUE(button.visable);
    EXPECT_TRUE(button.inherit);
    EXPECT_EQ(button.rect.left, 0);
    EXPECT_EQ(button.rect.top, 0);
    EXPECT_EQ(button.rect.right, 0);
    EXPECT_EQ(button.rect.bottom, 0);
    EXPECT_EQ(button.fontSize, -1);
    EXPECT_EQ(button.fontWeight, -1);
    EXPECT_EQ(button.fontColor, 0u);
    EXPECT_STREQ(button.name, "");
    EXPECT_STREQ(button.fontFace, L"");
    EXPECT_EQ(button.image, nullptr);
    EXPECT_EQ(button.imageList, nullptr);
    EXPECT_EQ(button.control, nullptr);
    EXPECT_FALSE(ReadNextButton(skin, &button));
}

TEST_F(SkinButton, ReadsEveryButtonAttributeIgnoringCase)
{
    SkinFixture fixture;
    fixture.WriteSkinImage(L"n.bmp", 10, 8);
    fixture.WriteSkinImage(L"h.bmp", 11, 8);
    fixture.WriteSkinImage(L"f.bmp", 12, 8);
    fixture.WriteCommonImage(L"d.bmp", 13, 8);
    fixture.WriteSkinImage(L"x.bmp", 14, 8);
    fixture.WriteSkinImage(L"list.bmp", 40, 10);
    CSkin skin;
    ASSERT_TRUE(fixture.Open(
        skin, L"<tool-bar><button owner=\"dialer\" name=\"Connect\" string=\"IDS_CONNECT\" tooltip=\"IDS_TIP\" "
              L"service=\"dialer/Connect\" cmdid=\"800A\" image-index=\"3\" RECT=\"1,2,30,40\" image=\"n.bmp\" "
              L"Hover=\"h.bmp\" focus=\"f.bmp\" down=\"d.bmp\" disable=\"x.bmp\" visable=\"FALSE\" inherit=\"no\" "
              L"image-list=\"list.bmp\" image-size=\"10,10\" font-color=\"0,0,255\" font-size=\"12\" "
              L"font-weight=\"700\" font-face=\"Tahoma\" visible=\"true\" unknown=\"1\"/></tool-bar>"));
    TToolBarSkin header{};
    ASSERT_TRUE(ReadToolBar(skin, &header));
    TSkinButton b{};
    ASSERT_TRUE(ReadNextButton(skin, &b));
    EXPECT_STREQ(b.owner, L"dialer");
    EXPECT_STREQ(b.name, "Connect");
    EXPECT_STREQ(b.string, L"IDS_CONNECT");
    EXPECT_STREQ(b.tooltip, L"IDS_TIP");
    EXPECT_STREQ(b.service, L"dialer/Connect");
    EXPECT_EQ(b.cmdid, 0x800Au);
    EXPECT_EQ(b.imageIndex, 3);
    EXPECT_EQ(b.rect.left, 1);
    EXPECT_EQ(b.rect.top, 2);
    EXPECT_EQ(b.rect.right, 30);
    EXPECT_EQ(b.rect.bottom, 40);
    EXPECT_EQ(BitmapSize(b.image).cx, 10);
    EXPECT_EQ(BitmapSize(b.hover).cx, 11);
    EXPECT_EQ(BitmapSize(b.focus).cx, 12);
    EXPECT_EQ(BitmapSize(b.down).cx, 13) << "found in common";
    EXPECT_EQ(BitmapSize(b.disable).cx, 14);
    EXPECT_EQ(BitmapSize(b.imageList).cx, 40);
    EXPECT_EQ(b.imageWidth, 10);
    EXPECT_EQ(b.imageHeight, 10);
    // "visable" FALSE hides the button; "visible" is not the attribute.
    EXPECT_FALSE(b.visable);
    EXPECT_TRUE(b.inherit) << "only a text starting with false clears it";
    EXPECT_EQ(b.fontColor, 0x00FF0000u);
    EXPECT_EQ(b.fontSize, 12);
    EXPECT_EQ(b.fontWeight, 700);
    EXPECT_STREQ(b.fontFace, L"Tahoma");
}

TEST_F(SkinButton, ButtonsComeInDocumentOrderAndEachStartsFresh)
{
    SkinFixture fixture;
    CSkin skin;
    const std::wstring c63(63, L'a'), c64(64, L'b'), c65(65, L'c');
    ASSERT_TRUE(fixture.Open(skin, L"<tool-bar><button owner=\"one\" cmdid=\"5\" font-size=\"9\" rect=\"1,2\"/>"
                                   L"<button owner=\"" + c63 + L"\" string=\"" + c64 + L"\" tooltip=\"" + c65 +
                                   L"\" name=\"\u00e9\u0410\">text inside</button></tool-bar>"));
    TToolBarSkin header{};
    ASSERT_TRUE(ReadToolBar(skin, &header));
    TSkinButton b{};
    ASSERT_TRUE(ReadNextButton(skin, &b));
    EXPECT_STREQ(b.owner, L"one");
    EXPECT_EQ(b.rect.top, 2);
    EXPECT_EQ(b.rect.right, 0);
    ASSERT_TRUE(ReadNextButton(skin, &b));
    EXPECT_EQ(std::wstring(b.owner), c63);
    EXPECT_EQ(std::wstring(b.string), c64.substr(0, 63));
    EXPECT_EQ(std::wstring(b.tooltip), c65.substr(0, 63));
    EXPECT_STREQ(b.name, "\xe9\x10");
    EXPECT_EQ(b.cmdid, 0u);
    EXPECT_EQ(b.fontSize, -1);
    EXPECT_FALSE(ReadNextButton(skin, &b));
}

TEST_F(SkinButton, WithoutToolBarElementNoButtonIsRead)
{
    SkinFixture fixture;
    CSkin skin;
    // Buttons elsewhere, and a selection still open from an earlier reader.
    ASSERT_TRUE(fixture.Open(skin, L"<buttons><button owner=\"system\"/></buttons><button owner=\"system\"/>"
                                   L"<menu name=\"a\"/><menu name=\"b\"/>"));
    ASSERT_TRUE(skin.Document().Select(L"skin/menu"));
    TToolBarSkin header{};
    header.maskColor = RGB(9, 9, 9);
    EXPECT_FALSE(ReadToolBar(skin, &header));
    EXPECT_EQ(header.maskColor, RGB(9, 9, 9)) << "header untouched";
    TSkinButton button{};
    EXPECT_FALSE(ReadNextButton(skin, &button));
}

}  // namespace
}  // namespace kivra
