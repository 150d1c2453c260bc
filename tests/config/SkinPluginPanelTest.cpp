#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "config/SkinPluginPanel.h"
#include "framework/Text.h"
#include "tests/config/SkinFixture.h"

namespace kivra {
namespace {

using skintest::BitmapSize;
using skintest::SkinFixture;

class SkinPluginPanel : public skintest::SkinTest {};

// A plugin-side request with its own list, as a plugin sets it up.
struct PluginRequest {
    TPluginControlNode sentinel{};
    TPluginControlList list{};
    TPluginSkin skin{};

    explicit PluginRequest(const char* name)
    {
        KivraInitControlList(&list, &sentinel);
        CopyText(skin.szPluginName, name);
        skin.pControls = &list;
        skin.dwUntouched = 0xDEADBEEF;
    }
    std::vector<const TPluginControl*> Controls() const
    {
        std::vector<const TPluginControl*> controls;
        for (const TPluginControlNode* n = sentinel.pNext; n != &sentinel; n = n->pNext)
            controls.push_back(&n->control);
        return controls;
    }
};

const wchar_t kPlugins[] =
    L"<plugin name=\"dialer\" background-color=\"10,20,30\" mask-color=\"255,0,255\" background-image=\"panel.bmp\" "
    L"region=\"ignored\">"
    L"<control name=\"connect\" rect=\"10,20,110,45\" tooltip=\"IDS_CONNECT\" font-size=\"12\" font-face=\"Arial\" "
    L"font-color=\"0,0,255\" image-list=\"buttons.bmp\" IMAGE-SIZE=\"25,25\" visable=\"False\" font-weight=\"700\"/>"
    L"<control tooltip=\"no name: skipped\"/>"
    L"<label name=\"not a control\"/>"
    L"<control name=\"status\" visable=\"false\"/>"
    L"</plugin>"
    L"<plugin name=\"dialer\" background-color=\"1,1,1\"><control name=\"second\"/></plugin>"
    L"<plugin background-color=\"2,2,2\"/>"
    L"<plugin name=\"sms\"/>";

TEST_F(SkinPluginPanel, PluginSkinFillsTheRequestAndAppendsControls)
{
    SkinFixture fixture;
    fixture.WriteSkinImage(L"panel.bmp", 200, 100);
    fixture.WriteCommonImage(L"buttons.bmp", 100, 25);
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, kPlugins));

    PluginRequest request("dialer");
    SelectPluginSkin(skin, &request.skin);
    EXPECT_EQ(request.skin.bFound, 1);
    EXPECT_EQ(request.skin.crBackground, RGB(10, 20, 30)) << "the first section of the name wins";
    EXPECT_EQ(request.skin.crMask, RGB(255, 0, 255));
    EXPECT_EQ(BitmapSize(request.skin.hBackground).cx, 200);
    EXPECT_EQ(request.skin.dwUntouched, 0xDEADBEEFu);
    EXPECT_STREQ(request.skin.szPluginName, "dialer");

    ASSERT_EQ(request.list.nCount, 2u);
    std::vector<const TPluginControl*> controls = request.Controls();
    ASSERT_EQ(controls.size(), 2u);
    const TPluginControl& connect = *controls[0];
    EXPECT_STREQ(connect.szName, "connect");
    EXPECT_STREQ(connect.szTooltip, L"IDS_CONNECT");
    EXPECT_STREQ(connect.szFontFace, L"Arial");
    EXPECT_EQ(connect.nFontSize, 12);
    EXPECT_EQ(connect.crFontColor, 0x00FF0000u);
    EXPECT_EQ(connect.nFontWeight, 700);
    EXPECT_EQ(connect.bVisible, 1) << "only exactly false hides";
    EXPECT_EQ(connect.rect.left, 10);
    EXPECT_EQ(connect.rect.bottom, 45);
    EXPECT_EQ(BitmapSize(connect.hImageList).cx, 100);
    EXPECT_EQ(connect.nImageWidth, 25);
    EXPECT_EQ(connect.nImageHeight, 25);
    const TPluginControl& status = *controls[1];
    EXPECT_STREQ(status.szName, "status");
    EXPECT_EQ(status.bVisible, 0);
    EXPECT_EQ(status.nFontSize, 0);
    EXPECT_EQ(status.hImageList, nullptr);
    // Links both ways: the sentinel's previous is the last node.
    EXPECT_EQ(&request.sentinel.pPrev->control, controls[1]);
    EXPECT_EQ(request.sentinel.pNext->pPrev, &request.sentinel);

    // A second request appends at the end.
    ::DeleteObject(request.skin.hBackground);
    SelectPluginSkin(skin, &request.skin);
    EXPECT_EQ(request.list.nCount, 4u);
    EXPECT_STREQ(request.sentinel.pPrev->control.szName, "status");
    EXPECT_STREQ(request.sentinel.pPrev->pPrev->control.szName, "connect");
    std::vector<HBITMAP> handedOut;  // the plugin's to free
    for (const TPluginControl* control : request.Controls())
        handedOut.push_back(control->hImageList);

    DeletePluginResources(&request.skin);
    EXPECT_EQ(request.list.nCount, 0u);
    EXPECT_EQ(request.sentinel.pNext, &request.sentinel);
    EXPECT_EQ(request.sentinel.pPrev, &request.sentinel);
    EXPECT_EQ(request.list.pHead, &request.sentinel);
    DeletePluginResources(&request.skin);  // a released list releases nothing twice
    EXPECT_EQ(request.sentinel.pNext, &request.sentinel);

    ::DeleteObject(request.skin.hBackground);
    for (HBITMAP bitmap : handedOut)
        if (bitmap)
            ::DeleteObject(bitmap);
}

TEST_F(SkinPluginPanel, PluginSkinWithoutSectionOrListOrName)
{
    SkinFixture fixture;
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, kPlugins));

    // No section of that name: only the flag is written.
    PluginRequest absent("Dialer");
    absent.skin.bFound = 7;
    absent.skin.crBackground = 0x123456;
    SelectPluginSkin(skin, &absent.skin);
    EXPECT_EQ(absent.skin.bFound, 0);
    EXPECT_EQ(absent.skin.crBackground, 0x123456u);
    EXPECT_EQ(absent.list.nCount, 0u);

    // A section with only a name: colours 0, no image, no controls.
    PluginRequest sms("sms");
    SelectPluginSkin(skin, &sms.skin);
    EXPECT_EQ(sms.skin.bFound, 1);
    EXPECT_EQ(sms.skin.crBackground, 0u);
    EXPECT_EQ(sms.skin.hBackground, nullptr);
    EXPECT_EQ(sms.list.nCount, 0u);

    // A null list gets the colours and the flag only.
    PluginRequest noList("dialer");
    noList.skin.pControls = nullptr;
    SelectPluginSkin(skin, &noList.skin);
    EXPECT_EQ(noList.skin.bFound, 1);
    EXPECT_EQ(noList.skin.crBackground, RGB(10, 20, 30));
    EXPECT_EQ(noList.sentinel.pNext, &noList.sentinel);
    DeletePluginResources(&noList.skin);
    DeletePluginResources(nullptr);
    SelectPluginSkin(skin, nullptr);

    // A list without sentinel is left alone.
    PluginRequest broken("dialer");
    broken.list.pHead = nullptr;
    SelectPluginSkin(skin, &broken.skin);
    EXPECT_EQ(broken.skin.bFound, 1);
    EXPECT_EQ(broken.list.nCount, 0u);
    DeletePluginResources(&broken.skin);

    // An unterminated 64-byte name is read as its first 63 bytes.
    PluginRequest full("x");
    std::memset(full.skin.szPluginName, 'd', sizeof(full.skin.szPluginName));
    SelectPluginSkin(skin, &full.skin);
    EXPECT_EQ(full.skin.bFound, 0);
}

TEST_F(SkinPluginPanel, DeletingResourcesUnlinksButDoesNotFreeThePluginsOwnNodes)
{
    SkinFixture fixture;
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, kPlugins));
    PluginRequest request("dialer");
    // A node of the plugin's own, linked in before the shell appends.
    TPluginControlNode own{};
    own.pNext = &request.sentinel;
    own.pPrev = &request.sentinel;
    request.sentinel.pNext = &own;
    request.sentinel.pPrev = &own;
    request.list.nCount = 1;
    SelectPluginSkin(skin, &request.skin);
    ASSERT_EQ(request.list.nCount, 3u);
    EXPECT_EQ(request.sentinel.pNext, &own);
    DeletePluginResources(&request.skin);
    EXPECT_EQ(request.list.nCount, 0u);
    EXPECT_EQ(request.sentinel.pNext, &request.sentinel);
    ::DeleteObject(request.skin.hBackground);
}

}  // namespace
}  // namespace kivra
