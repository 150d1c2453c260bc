#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/SkinWindows.h"
#include "tests/config/SkinFixture.h"

namespace kivra {
namespace {

using skintest::BitmapSize;
using skintest::SkinFixture;

class SkinWindows : public skintest::SkinTest {};

const wchar_t kMaxWindowValues[] =
    L"<max-window-size>1024,700</max-window-size><max-panel-rect>10,20,1000,650</max-panel-rect>"
    L"<get_max_panel-service>browser/GetMaxPanel</get_max_panel-service>"
    L"<right-button-service>manager/ShowTrayMenu</right-button-service>";

TEST_F(SkinWindows, EnabledMaxWindowReadsItsValues)
{
    SkinFixture fixture;
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, std::wstring(L"<max-window-service ENABLE=\"yes\">") + kMaxWindowValues +
                                       L"</max-window-service>"));
    TMaxWindowSkin values{};
    ASSERT_TRUE(ReadMaxWindow(skin.Document(), &values));
    EXPECT_TRUE(values.enabled);
    EXPECT_EQ(values.width, 1024);
    EXPECT_EQ(values.height, 700);
    EXPECT_EQ(values.panelRect.left, 10);
    EXPECT_EQ(values.panelRect.bottom, 650);
    EXPECT_STREQ(values.getMaxPanelService, "browser/GetMaxPanel");
    EXPECT_STREQ(values.rightButtonService, "manager/ShowTrayMenu");
}

TEST_F(SkinWindows, MaxWindowStaysOffForFalseTextsAndMissingSection)
{
    SkinFixture fixture;
    CSkin skin;
    for (const wchar_t* enable : {L"FALSE", L"falsehood", L"False", L""}) {
        ASSERT_TRUE(fixture.Open(skin, std::wstring(L"<max-window-service enable=\"") + enable + L"\">" +
                                           kMaxWindowValues + L"</max-window-service>"));
        TMaxWindowSkin values{};
        values.width = 5;
        EXPECT_TRUE(ReadMaxWindow(skin.Document(), &values)) << enable;
        EXPECT_FALSE(values.enabled) << enable;
        EXPECT_EQ(values.width, 0) << "values are read only when enabled";
        EXPECT_STREQ(values.getMaxPanelService, "");
    }
    ASSERT_TRUE(fixture.Open(skin, std::wstring(L"<max-window-service>") + kMaxWindowValues +
                                       L"</max-window-service>"));
    TMaxWindowSkin values{};
    EXPECT_TRUE(ReadMaxWindow(skin.Document(), &values));
    EXPECT_FALSE(values.enabled) << "no enable attribute";

    ASSERT_TRUE(fixture.Open(skin, kMaxWindowValues));
    values.enabled = true;
    EXPECT_FALSE(ReadMaxWindow(skin.Document(), &values));
    EXPECT_FALSE(values.enabled);
    EXPECT_FALSE(ReadMaxWindow(skin.Document(), nullptr));
}

TEST_F(SkinWindows, MaxBackgroundKeepsOnlyLoadableImages)
{
    SkinFixture fixture;
    fixture.WriteSkinImage(L"max.bmp", 40, 30);
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, L"<max-window-service enable=\"true\"><max-window-size>800,600</max-window-size>"
                                   L"<max-back-image><image from=\"0,0,40,30\" to=\"1,2,3,4\">max.bmp</image>"
                                   L"<image>gone.bmp</image></max-back-image></max-window-service>"));
    std::vector<TSkinImage> images;
    ASSERT_TRUE(ReadMaxBackground(skin, &images));
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(BitmapSize(images[0].bitmap).cx, 40);
    EXPECT_EQ(images[0].from.right, 40);
    EXPECT_EQ(images[0].to.bottom, 4);

    images.clear();
    // A size but no background images: nothing to build max mode from.
    ASSERT_TRUE(fixture.Open(skin, L"<max-window-service enable=\"true\"><max-window-size>800,600</max-window-size>"
                                   L"</max-window-service>"));
    EXPECT_TRUE(ReadMaxBackground(skin, &images));
    EXPECT_TRUE(images.empty());
}

TEST_F(SkinWindows, NotifierReadsTextRectThenImage)
{
    SkinFixture fixture;
    fixture.WriteCommonImage(L"notifier.bmp", 180, 120);
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, L"<notifier-window><text-rect>10,40,170,95</text-rect>"
                                   L"<image>notifier.bmp</image></notifier-window>"));
    TNotifierSkin notifier{};
    ReadNotifierSkin(skin, &notifier);
    EXPECT_TRUE(notifier.hasTextRect);
    EXPECT_EQ(notifier.textRect.top, 40);
    EXPECT_EQ(notifier.textRect.right, 170);
    EXPECT_EQ(BitmapSize(notifier.image).cx, 180);

    // Without text rectangle the image is not read.
    ASSERT_TRUE(fixture.Open(skin, L"<notifier-window><image>notifier.bmp</image></notifier-window>"));
    notifier = TNotifierSkin{};
    notifier.textRect.left = 3;
    ReadNotifierSkin(skin, &notifier);
    EXPECT_FALSE(notifier.hasTextRect);
    EXPECT_EQ(notifier.textRect.left, 3);
    EXPECT_EQ(notifier.image, nullptr);

    // An empty text rectangle keeps the caller's.
    ASSERT_TRUE(fixture.Open(skin, L"<notifier-window><text-rect/></notifier-window>"));
    ReadNotifierSkin(skin, &notifier);
    EXPECT_TRUE(notifier.hasTextRect);
    EXPECT_EQ(notifier.textRect.left, 3);
    EXPECT_EQ(notifier.image, nullptr);
}

TEST_F(SkinWindows, FloatDialogReadsEveryValue)
{
    SkinFixture fixture;
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, L"<float-dlg><show-window>true</show-window><enable-menu-item>false"
                                   L"</enable-menu-item><normal-transparent-layer>300</normal-transparent-layer>"
                                   L"<hover-transparent-layer>200</hover-transparent-layer>"
                                   L"<backgroud-image>float.bmp</backgroud-image></float-dlg>"));
    TFloatDlgSkin values;
    ASSERT_TRUE(ReadFloatDlgSkin(skin, &values));
    EXPECT_TRUE(values.showWindow);
    EXPECT_FALSE(values.enableMenuItem);
    EXPECT_EQ(values.normalOpacity, 44) << "300 keeps its low 8 bits";
    EXPECT_EQ(values.hoverOpacity, 200);
    EXPECT_EQ(std::wstring(values.backgroundImagePath), fixture.SkinFolder() + L"\\float.bmp");
}

TEST_F(SkinWindows, FloatDialogStopsAtTheFirstMissingValue)
{
    SkinFixture fixture;
    CSkin skin;
    // No show-window: nothing else is read.
    ASSERT_TRUE(fixture.Open(skin, L"<float-dlg><enable-menu-item>false</enable-menu-item>"
                                   L"<normal-transparent-layer>100</normal-transparent-layer>"
                                   L"<hover-transparent-layer>200</hover-transparent-layer></float-dlg>"));
    TFloatDlgSkin values;
    values.normalOpacity = 9;
    EXPECT_FALSE(ReadFloatDlgSkin(skin, &values));
    EXPECT_FALSE(values.showWindow);
    EXPECT_TRUE(values.enableMenuItem);
    EXPECT_EQ(values.normalOpacity, 0);
    EXPECT_EQ(values.hoverOpacity, 0);

    // enable-menu-item is optional; a missing hover opacity stops the rest.
    ASSERT_TRUE(fixture.Open(skin, L"<float-dlg><show-window>TRUE</show-window>"
                                   L"<normal-transparent-layer>128</normal-transparent-layer>"
                                   L"<backgroud-image>float.bmp</backgroud-image></float-dlg>"));
    EXPECT_FALSE(ReadFloatDlgSkin(skin, &values));
    EXPECT_FALSE(values.showWindow) << "exactly true only";
    EXPECT_TRUE(values.enableMenuItem);
    EXPECT_EQ(values.normalOpacity, 128);
    EXPECT_EQ(values.hoverOpacity, 0);
    EXPECT_STREQ(values.backgroundImagePath, L"");
}

TEST_F(SkinWindows, FloatDialogRejectsEmptyAndOverlongImagePaths)
{
    SkinFixture fixture;
    CSkin skin;
    const std::wstring start = L"<float-dlg><show-window>true</show-window><normal-transparent-layer>1"
                               L"</normal-transparent-layer><hover-transparent-layer>2</hover-transparent-layer>";
    ASSERT_TRUE(fixture.Open(skin, start + L"<backgroud-image/></float-dlg>"));
    TFloatDlgSkin values;
    EXPECT_TRUE(ReadFloatDlgSkin(skin, &values));
    EXPECT_STREQ(values.backgroundImagePath, L"");
    ASSERT_TRUE(fixture.Open(skin, start + L"<backgroud-image>" + std::wstring(300, L'f') +
                                       L"</backgroud-image></float-dlg>"));
    EXPECT_TRUE(ReadFloatDlgSkin(skin, &values));
    EXPECT_STREQ(values.backgroundImagePath, L"");
    EXPECT_EQ(values.hoverOpacity, 2);
}

}  // namespace
}  // namespace kivra
