// The skinned controls' rules that need no window: faces, strips, the click
// guard, tooltips, logo, menu measuring and anchoring, status panes.
#include <gtest/gtest.h>

#include "controls/ImageButton.h"
#include "controls/ImageStrip.h"
#include "controls/MenuEx.h"
#include "controls/StatusBarEx.h"
#include "controls/ToolBarEx.h"

namespace kivra {
namespace {

TFaceInputs Images(std::initializer_list<int> types)
{
    TFaceInputs in;
    for (int type : types)
        in.hasImage[type] = true;
    return in;
}

TEST(FacePlanTest, ChoosesTheFaceOfTheState)
{
    struct Case {
        const char* what;
        TFaceInputs in;
        FaceSource source;
        int imageType;
        int stripIndex;
        bool opaque;
    };
    TFaceInputs focusedDisabled = Images({1, 2, 4, 5});
    focusedDisabled.focused = focusedDisabled.disabled = focusedDisabled.hover = true;
    TFaceInputs disabledHover = Images({1, 2, 4});
    disabledHover.focused = disabledHover.disabled = disabledHover.hover = true;  // no focus image
    TFaceInputs hoverOnly = Images({1, 4});
    hoverOnly.hover = hoverOnly.disabled = true;  // no disabled image
    TFaceInputs resized = Images({1});
    resized.resized = true;
    TFaceInputs stripFocus;
    stripFocus.stripUsable = stripFocus.tileFillsButton = stripFocus.focused = stripFocus.disabled = true;
    TFaceInputs stripSmall;
    stripSmall.stripUsable = stripSmall.hover = true;
    TFaceInputs shared = Images({1});
    shared.sharedUsable = shared.stripUsable = true;
    const Case cases[] = {
        {"focus wins over disabled", focusedDisabled, FaceSource::Image, 5, 0, false},
        {"disabled wins over hover", disabledHover, FaceSource::Image, 2, 0, false},
        {"a missing face falls through", hoverOnly, FaceSource::Image, 4, 0, false},
        {"nothing but the normal face", Images({1}), FaceSource::Image, 1, 0, false},
        {"a stretched face makes every face opaque", resized, FaceSource::Image, 1, 0, true},
        {"no face at all", TFaceInputs{}, FaceSource::None, 0, 0, false},
        {"strip: focus tile, transparent at full size", stripFocus, FaceSource::Strip, 0, 2, false},
        {"strip: hover tile of another size, opaque", stripSmall, FaceSource::Strip, 0, 1, true},
        {"shared faces first", shared, FaceSource::Shared, 0, 0, false},
    };
    for (const Case& c : cases) {
        const TFacePlan plan = PlanFace(c.in);
        EXPECT_EQ(plan.source, c.source) << c.what;
        EXPECT_EQ(plan.imageType, c.imageType) << c.what;
        if (c.source == FaceSource::Strip) {
            EXPECT_EQ(plan.stripIndex, c.stripIndex) << c.what;
        }
        EXPECT_EQ(plan.opaque, c.opaque) << c.what;
    }
}

TEST(ImageStripTest, TilesRunAcrossThenDown)
{
    const SIZE tile = {10, 8};
    EXPECT_EQ(StripTile({40, 8}, tile, 2)->left, 20);
    EXPECT_EQ(StripTile({40, 8}, tile, 3)->right, 40);
    EXPECT_FALSE(StripTile({40, 8}, tile, 4));
    EXPECT_EQ(StripTile({10, 32}, tile, 3)->top, 24);
    EXPECT_FALSE(StripTile({10, 32}, tile, 4));
    EXPECT_FALSE(StripTile({40, 8}, tile, -1));
    EXPECT_FALSE(StripTile({40, 8}, {0, 8}, 0));
    EXPECT_FALSE(StripTile({40, 8}, tile, 0x7FFFFFFF));  // no wrap into a tile
}

TEST(ClickGuardTest, DropsClicksWithin300MsOfTheLastAcceptedOne)
{
    ClickGuard guard;
    EXPECT_TRUE(guard.Accept(5000));
    EXPECT_FALSE(guard.Accept(5299));
    EXPECT_TRUE(guard.Accept(5300));  // measured from the accepted click, not the dropped one
    EXPECT_FALSE(guard.Accept(5301));
    ClickGuard wrapping;
    EXPECT_TRUE(wrapping.Accept(0xFFFFFF00u));
    EXPECT_FALSE(wrapping.Accept(0x10u));  // 272 ms later, across the wrap
    EXPECT_TRUE(wrapping.Accept(0x40u));
}

TEST(ToolTipTextTest, TakesTheFirstTextAndWhatFollowsItsLineFeed)
{
    EXPECT_EQ(ToolTipText(L"Connect", L"res", L"cmd"), L"Connect");
    EXPECT_EQ(ToolTipText(L"", L"", L"From the command"), L"From the command");
    EXPECT_EQ(ToolTipText(L"", L"Resource", L"cmd"), L"Resource");
    EXPECT_EQ(ToolTipText(L"Sms\nShow the text messages\nmore", L"", L""), L"Show the text messages\nmore");
    EXPECT_EQ(ToolTipText(std::wstring(200, L'x'), L"", L"").size(), kToolTipChars);
}

TEST(LogoPlaceTest, ALogoLargerThanTheBarIsCutAndStaysCut)
{
    SIZE logo = {160, 64};
    const RECT place = LogoPlace({0, 0, 100, 56}, &logo);
    EXPECT_EQ(place.left, 0);
    EXPECT_EQ(place.top, 0);
    EXPECT_EQ(place.bottom, 56);
    EXPECT_EQ(logo.cx, 100);
    LogoPlace({0, 0, 640, 56}, &logo);
    EXPECT_EQ(logo.cx, 100);  // a wider bar later does not bring it back
    SIZE small = {40, 20};
    EXPECT_EQ(LogoPlace({0, 0, 640, 56}, &small).top, 18);
}

TEST(MenuMeasureTest, DefaultsGiveIconHighItemsAndSevenPixelSeparators)
{
    CMenuEx reset(nullptr);  // every construction starts the measures afresh
    TMenuMetrics& metrics = MenuMetrics();
    TMenuItemMeasure separator;
    separator.separator = true;
    EXPECT_EQ(MeasureMenuItem(separator, metrics).cy, 7);

    TMenuItemMeasure item;
    item.text = {50, 13};
    const SIZE size = MeasureMenuItem(item, metrics);
    EXPECT_EQ(size.cx, 50 + 32);
    EXPECT_EQ(size.cy, 22);
    EXPECT_EQ(metrics.textPadding, 4);  // grew by half of 22 - 19
    EXPECT_EQ(MeasureMenuItem(separator, metrics).cy, 9);

    TMenuItemMeasure pictures;
    pictures.fullBitmapSet = true;
    pictures.rowPicture = {180, 24};
    EXPECT_EQ(MeasureMenuItem(pictures, metrics).cx, 180 - 16);
    EXPECT_EQ(MeasureMenuItem(pictures, metrics).cy, 24);

    CMenuEx next(nullptr);
    EXPECT_EQ(MenuMetrics().textPadding, 3);
}

TEST(PopupPlacementTest, AnchorsToASmallWindowAndOpensAtTheCursorOverALargeOne)
{
    const RECT button = {100, 200, 160, 220};  // 60 x 20
    const POINT cursor = {130, 210};
    struct Case {
        int code;
        POINT at;
        UINT flags;
    };
    const Case cases[] = {
        {0, {100, 220}, TPM_RETURNCMD},
        {1, {160, 200}, TPM_RETURNCMD},
        {0x41, {160, 200}, TPM_RETURNCMD | TPM_BOTTOMALIGN},
        {2, {160, 220}, TPM_RETURNCMD},
        {0x42, {160, 220}, TPM_RETURNCMD | TPM_BOTTOMALIGN},
        {0x40, {100, 200}, TPM_RETURNCMD | TPM_BOTTOMALIGN},
        {3, {130, 210}, TPM_RETURNCMD},
    };
    for (const Case& c : cases) {
        const TPopupPlacement placement = PlacePopup(cursor, &button, c.code);
        EXPECT_EQ(placement.at.x, c.at.x) << c.code;
        EXPECT_EQ(placement.at.y, c.at.y) << c.code;
        EXPECT_EQ(placement.flags, c.flags) << c.code;
    }
    const RECT large = {0, 0, 640, 440};
    for (int code : {0, 1, 2, 0x40})
        EXPECT_EQ(PlacePopup({300, 200}, &large, code).at.y, 200) << code;
    EXPECT_EQ(PlacePopup({300, 200}, nullptr, 0).at.x, 300);
    // 40 px from top and bottom still anchors, 41 does not.
    const RECT reach = {0, 0, 100, 80};
    const RECT beyond = {0, 0, 100, 82};
    EXPECT_EQ(PlacePopup({50, 40}, &reach, 0).at.y, 80);
    EXPECT_EQ(PlacePopup({50, 41}, &beyond, 0).at.y, 41);
}

TEST(PaneEdgesTest, TheMessagePaneTakesWhatTheOthersLeave)
{
    const std::vector<int> edges = PaneEdges({0, 1200, 1201}, {300, 100, 120}, 640);
    EXPECT_EQ(edges, (std::vector<int>{420, 520, -1}));
    // Too narrow a bar: the message pane keeps its own width.
    EXPECT_EQ(PaneEdges({0, 1200}, {300, 100}, 200), (std::vector<int>{300, -1}));
    EXPECT_TRUE(PaneEdges({}, {}, 640).empty());
}

}  // namespace
}  // namespace kivra
