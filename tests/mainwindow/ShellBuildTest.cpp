// What the skin builds on the main window: tool bars from "skin/tool" and
// skin buttons, with pictures that are missing, and a plugin's change of a
// button.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <iterator>
#include <string>

#include "config/LanguageTable.h"
#include "framework/Text.h"
#include "controls/ToolBarEx.h"
#include "mainwindow/ButtonRegistry.h"
#include "mainwindow/SkinButtons.h"
#include "mainwindow/ToolArea.h"
#include "plugin/ManagerPlugin.h"
#include "tests/config/SkinFixture.h"
#include "tests/framework/FrameworkTestSupport.h"

namespace kivra {
namespace {

class ShellBuildTest : public skintest::SkinTest {
protected:
    void SetUp() override
    {
        skintest::SkinTest::SetUp();
        test::EnsureCommonControls();
        ASSERT_TRUE(window_.Create(0, test::TestWindowClass(), L"main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400,
                                   300, nullptr));
    }
    CWindow window_;
    CLanguageTable language_;
    CommandRegistry commands_;
};

TEST_F(ShellBuildTest, EachToolElementWithItemsBecomesABar)
{
    skintest::SkinFixture fixture;
    fixture.WriteSkinImage(L"icons.bmp", 64, 16);
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, L"<tool image=\"icons.bmp\" image-size=\"16,16\" button-size=\"40,30\" "
                                   L"logo-image=\"missing.bmp\" selfocus=\"true\">"
                                   L"<item name=\"a\" tooltip=\"First\" service=\"x/A\"/><separator/>"
                                   L"<item name=\"b\" tooltip=\"Second&#10;The second one\" service=\"x/B\"/>"
                                   L"<item name=\"nothing\"/></tool>"
                                   L"<tool background-color=\"1,2,3\"></tool>"));
    BuildToolArea(window_, skin, language_, commands_);
    ASSERT_EQ(commands_.ToolBars().size(), 1u) << "a tool element without items leaves no bar";
    CToolBarEx& bar = *commands_.ToolBars()[0];
    EXPECT_EQ(bar.ButtonIds(), (std::vector<UINT>{1200, 0, 1201, 0}));
    EXPECT_TRUE(bar.IsPressed(1200));
    EXPECT_EQ(bar.LogoSize().cx, 0) << "a missing logo draws nothing";
    EXPECT_EQ(bar.TooltipFor(1201), L"The second one");
    EXPECT_EQ(bar.WindowRect().bottom - bar.WindowRect().top, 30);
    EXPECT_STREQ(commands_.Find(1201)->service, "x/B");
}

TEST_F(ShellBuildTest, AButtonGetsItsCommandFacesAndTipAndAPluginChangesIt)
{
    ButtonRegistry buttons;
    TButtonHost host;
    host.window = window_;
    host.tooltip = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP, 0, 0, 0, 0, window_, nullptr, nullptr,
                                     nullptr);
    TSkinButton record{};
    strcpy(record.name, "btn-new");
    wcscpy(record.owner, L"sms");
    wcscpy(record.service, L"sms/New");
    wcscpy(record.string, L"New");
    record.rect = {10, -40, 90, -10};  // from the bottom edge
    record.fontSize = record.fontWeight = -1;
    record.imageIndex = -1;
    record.visable = false;
    host.resolve = [this](const RECT& rect) {
        RECT client = window_.ClientRect();
        return RECT{rect.left, client.bottom + rect.top, rect.right, client.bottom + rect.bottom};
    };
    CreateSkinButton(record, language_, commands_, buttons, host);
    ASSERT_EQ(buttons.Entries().size(), 1u);
    CImageButton& button = *buttons.Entries().front().button;
    EXPECT_EQ(button.Id(), 1200);
    EXPECT_STREQ(commands_.Find(1200)->service, "sms/ShowPluginPanel;sms/New");
    EXPECT_FALSE(button.IsVisible()) << "visable=\"false\"";
    EXPECT_EQ(button.Image(kButtonImageNormal), nullptr) << "no picture: no face, and no crash";

    TButtonInfo info{};
    wcscpy(info.szOwner, L"sms");
    wcscpy(info.szCaption, L"Write");
    wcscpy(info.szNormalImage, L"face.bmp");
    int loads = 0;
    const ImageLoader load = [&loads](const wchar_t*) {
        ++loads;
        return SharedBitmap(UniqueBitmap(::CreateBitmap(80, 30, 1, 32, nullptr)));
    };
    EXPECT_TRUE(ApplyButtonChange(buttons, ButtonChangeOf(info), load, host.tooltip));
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(button.GetText(), L"Write");
    EXPECT_TRUE(button.IsVisible());
    EXPECT_NE(button.Image(kButtonImageNormal), nullptr);
    info.bHide = 1;
    ApplyButtonChange(buttons, ButtonChangeOf(info), nullptr, host.tooltip);
    EXPECT_FALSE(button.IsVisible());
    EXPECT_FALSE(ApplyButtonChange(buttons, ButtonChangeOf(TButtonInfo{}), load, host.tooltip))
        << "names nothing: changes nothing";
    ::DestroyWindow(host.tooltip);
}

// The tip a tooltip control shows for button, or "" when it has no such tool.
std::wstring TipOf(HWND tooltip, HWND owner, HWND button)
{
    wchar_t text[80] = {};
    TOOLINFOW tool = {};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = owner;
    tool.uId = reinterpret_cast<UINT_PTR>(button);
    tool.lpszText = text;
    ::SendMessageW(tooltip, TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&tool));
    return text;
}

TEST_F(ShellBuildTest, TipsGivenBeforeTheTooltipControlIsMadeReachItWhenItIs)
{
    ButtonRegistry buttons;
    TButtonHost host;  // no tooltip control yet
    host.window = window_;
    const struct {
        const char* name;
        const wchar_t* tooltip;
    } made[] = {{"tipped", L"To the tray"}, {"plain", L""}, {"changed", L"Old tip"}};
    for (const auto& m : made) {
        TSkinButton record{};
        CopyText(record.name, m.name);
        CopyText(record.tooltip, m.tooltip);
        record.rect = {10, 10, 50, 30};
        record.fontSize = record.fontWeight = -1;
        record.imageIndex = -1;
        record.visable = true;
        CreateSkinButton(record, language_, commands_, buttons, host);
    }
    ASSERT_EQ(buttons.Entries().size(), 3u);
    TButtonInfo info{};
    wcscpy(info.szName, L"changed");
    wcscpy(info.szTooltip, L"New tip");
    ASSERT_TRUE(ApplyButtonChange(buttons, ButtonChangeOf(info), nullptr, nullptr));

    HWND tooltip = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP, 0, 0, 0, 0, window_, nullptr, nullptr,
                                     nullptr);
    AddButtonTooltips(buttons, tooltip);
    EXPECT_EQ(::SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0), 2) << "a button without a tip adds no tool";
    const auto button = [&buttons](size_t k) { return std::next(buttons.Entries().begin(), k)->button->Handle(); };
    EXPECT_EQ(TipOf(tooltip, window_, button(0)), L"To the tray");
    EXPECT_EQ(TipOf(tooltip, window_, button(2)), L"New tip") << "the change made before the control";
    ::DestroyWindow(tooltip);
}

TEST_F(ShellBuildTest, AFaceSharedByTwoButtonsStaysWithTheOtherWhenOneIsChanged)
{
    skintest::SkinFixture fixture;
    fixture.WriteSkinImage(L"face.bmp", 20, 10);
    fixture.WriteSkinImage(L"new.bmp", 20, 10);
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, L""));
    TSkinButton records[2] = {};
    for (TSkinButton& record : records)
        ASSERT_TRUE(skin.LoadSkinImage(L"face.bmp", &record.image));
    const HBITMAP face = records[0].image.get();
    EXPECT_EQ(records[1].image.get(), face) << "one bitmap for one picture";

    HBITMAP changed = nullptr;
    {
        ButtonRegistry buttons;
        TButtonHost host;
        host.window = window_;
        for (int i = 0; i < 2; ++i) {
            sprintf(records[i].name, "btn-%d", i);
            wcscpy(records[i].owner, L"system");
            records[i].rect = {0, 0, 20, 10};
            CreateSkinButton(records[i], language_, commands_, buttons, host);
        }
        ASSERT_EQ(buttons.Entries().size(), 2u);
        CImageButton& first = *buttons.Entries().front().button;
        CImageButton& second = *buttons.Entries().back().button;

        TButtonInfo info{};
        wcscpy(info.szName, L"btn-0");
        wcscpy(info.szNormalImage, L"new.bmp");
        const ImageLoader load = [&skin](const wchar_t* file) {
            SharedBitmap bitmap;
            skin.LoadSkinImage(file, &bitmap);
            return bitmap;
        };
        ASSERT_TRUE(ApplyButtonChange(buttons, ButtonChangeOf(info), load, nullptr));
        changed = first.Image(kButtonImageNormal);
        EXPECT_NE(changed, face);
        EXPECT_EQ(second.Image(kButtonImageNormal), face);
        EXPECT_EQ(::GetObjectType(face), static_cast<DWORD>(OBJ_BITMAP)) << "still shown by the second button";
    }
    EXPECT_EQ(::GetObjectType(changed), static_cast<DWORD>(OBJ_BITMAP)) << "the skin's cache still holds it";
    skin.Open(L"");  // closing the skin drops its cache: the last owner
    EXPECT_EQ(::GetObjectType(face), 0u);
    EXPECT_EQ(::GetObjectType(changed), 0u);
}

TEST_F(ShellBuildTest, ButtonsOfOneFontDescriptionShareOneFontThatLivesAsLongAsTheRegistry)
{
    HFONT shared = nullptr, other = nullptr;
    {
        ButtonRegistry buttons;
        TButtonHost host;
        host.window = window_;
        const auto make = [&](const char* name, int fontSize) {
            TSkinButton record{};
            strcpy(record.name, name);
            wcscpy(record.owner, L"system");
            record.rect = {0, 0, 40, 20};
            record.fontSize = fontSize;
            record.fontWeight = -1;
            wcscpy(record.fontFace, L"Arial");
            record.imageIndex = -1;
            CreateSkinButton(record, language_, commands_, buttons, host);
            return buttons.Entries().back().button->Font();
        };
        shared = make("a", 20);
        EXPECT_EQ(make("b", 20), shared);
        other = make("c", 30);
        EXPECT_NE(other, shared);
        LOGFONTW font = {};
        ASSERT_NE(::GetObjectW(shared, sizeof(font), &font), 0);
        EXPECT_EQ(font.lfHeight, 20);
    }
    LOGFONTW gone = {};
    EXPECT_EQ(::GetObjectW(shared, sizeof(gone), &gone) + ::GetObjectW(other, sizeof(gone), &gone), 0)
        << "freed with the buttons";
}

}  // namespace
}  // namespace kivra
