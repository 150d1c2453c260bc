// The skinned controls as windows: faces drawn, tool bars pressed, menu
// choices and the status bar's idle text.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <vector>

#include "controls/ImageButton.h"
#include "controls/ImageStrip.h"
#include "controls/MenuBand.h"
#include "controls/MenuEx.h"
#include "controls/StatusBarEx.h"
#include "controls/ToolBarEx.h"
#include "tests/framework/FrameworkTestSupport.h"
#include "tests/mainwindow/FrameTestSupport.h"

namespace kivra {
namespace {

using testing::Canvas;
using testing::MakeBitmap;
using testing::SolidBitmap;

constexpr COLORREF kMask = RGB(255, 0, 255);
constexpr COLORREF kFace = RGB(10, 100, 200);
constexpr COLORREF kBehind = RGB(0, 200, 0);

// A visible parent window that routes through CWindow, as the main window does.
class ControlHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::EnsureCommonControls();
        ASSERT_TRUE(host_.Create(0, test::TestWindowClass(), L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 400,
                                 300, nullptr));
    }
    CWindow host_;
};

// A 20 x 10 face whose left half is mask colour.
UniqueBitmap HalfMaskedFace()
{
    return MakeBitmap(20, 10, [](int x, int) { return x < 10 ? kMask : kFace; });
}

COLORREF DrawnAt(CImageButton& button, int x, int y)
{
    Canvas canvas(20, 10, kBehind);
    DRAWITEMSTRUCT item = {};
    item.CtlType = ODT_BUTTON;
    item.hDC = canvas.dc();
    item.rcItem = {0, 0, 20, 10};
    button.DrawItem(item);
    return canvas.At(x, y);
}

TEST(ImageCopyTest, ATileIsCopiedWithItsMaskColourLeftOutAndNothingKept)
{
    // A strip of two 4 x 3 tiles: the first all face, the second with its
    // left column in the mask colour.
    UniqueBitmap strip = MakeBitmap(8, 3, [](int x, int) { return x == 4 ? kMask : kFace; });
    const struct {
        bool transparent;
        int sourceX, targetX;
        COLORREF firstColumn, inside;
    } cases[] = {
        {true, 4, 2, kBehind, kFace},
        {true, 0, 0, kFace, kFace},
        {false, 4, 5, kMask, kFace},
    };
    const DWORD gdiBefore = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    for (int round = 0; round < 20; ++round) {
        for (const auto& c : cases) {
            Canvas canvas(12, 5, kBehind);
            if (c.transparent)
                TransparentCopy(strip.get(), canvas.dc(), c.sourceX, 0, c.targetX, 1, 4, 3, kMask);
            else
                OpaqueCopy(strip.get(), canvas.dc(), c.sourceX, 0, c.targetX, 1, 4, 3);
            EXPECT_EQ(canvas.At(c.targetX, 2), c.firstColumn) << c.sourceX;
            EXPECT_EQ(canvas.At(c.targetX + 3, 2), c.inside) << c.sourceX;
            EXPECT_EQ(canvas.At(c.targetX + 4, 2), kBehind) << "nothing past the tile";
            EXPECT_EQ(canvas.At(c.targetX + 1, 0), kBehind) << "nothing above the tile";
        }
    }
    // The copies' own DCs are made once; nothing else stays behind.
    EXPECT_LE(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS), gdiBefore + 2);
}

TEST_F(ControlHost, AFaceThatNeededStretchingMakesEveryFaceOpaque)
{
    TSharedButtonImages shared;
    shared.maskColor = kMask;
    for (bool stretchedHover : {false, true}) {
        CImageButton button;
        ASSERT_TRUE(button.Create(host_, {0, 0, 20, 10}, 1300, L""));
        button.SetSharedImages(&shared);
        EXPECT_NE(button.Style() & BS_OWNERDRAW, 0);
        button.SetImage(SharedBitmap(HalfMaskedFace()), kButtonImageNormal);
        if (stretchedHover)
            button.SetImage(SharedBitmap(SolidBitmap(7, 3, kFace)), kButtonImageHover);
        EXPECT_EQ(button.Resized(), stretchedHover);
        EXPECT_EQ(DrawnAt(button, 2, 5), stretchedHover ? kMask : kBehind) << stretchedHover;
        EXPECT_EQ(DrawnAt(button, 15, 5), kFace);
    }
    {
        CImageButton button;
        ASSERT_TRUE(button.Create(host_, {0, 0, 20, 10}, 1301, L""));
        button.SetImage(SharedBitmap(SolidBitmap(7, 3, kFace)), kButtonImageHover);
        const SIZE stretched = BitmapSize(button.Image(kButtonImageHover));
        EXPECT_EQ(stretched.cx, 20);
        EXPECT_EQ(stretched.cy, 10);
        button.SetImage(SharedBitmap(SolidBitmap(20, 10, kFace)), 6);  // no such type
        EXPECT_EQ(button.Image(6), nullptr);
    }
}

TEST_F(ControlHost, ACaptionIsDrawnCentredAsPlainTextWhateverItHolds)
{
    // The system's plain-text state drawing (DST_TEXT) is what the caption
    // must look like: no mnemonic underline, no tab stops.
    constexpr int kWidth = 90;
    constexpr int kHeight = 20;
    const wchar_t* const captions[] = {L"Connect", L"S&MS", L"a\tb", L"W"};
    for (int i = 0; i < static_cast<int>(std::size(captions)); ++i) {
        const wchar_t* caption = captions[i];
        CImageButton button;
        ASSERT_TRUE(button.Create(host_, {0, 0, kWidth, kHeight}, 1302, caption));
        button.SetTextFont(nullptr, RGB(255, 255, 255));
        Canvas drawn(kWidth, kHeight, kBehind);
        DRAWITEMSTRUCT item = {};
        item.CtlType = ODT_BUTTON;
        item.hDC = drawn.dc();
        item.rcItem = {0, 0, kWidth, kHeight};
        button.DrawItem(item);

        Canvas expected(kWidth, kHeight, kBehind);
        const int length = lstrlenW(caption);
        SIZE extent = {};
        ::GetTextExtentPoint32W(expected.dc(), caption, length, &extent);
        ::SetTextColor(expected.dc(), RGB(255, 255, 255));
        ::SetBkMode(expected.dc(), TRANSPARENT);
        ::DrawStateW(expected.dc(), nullptr, nullptr, reinterpret_cast<LPARAM>(caption), length,
                     (kWidth - extent.cx) / 2, (kHeight - extent.cy) / 2, extent.cx, extent.cy, DST_TEXT);

        int differing = 0;
        int lit = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                differing += drawn.At(x, y) != expected.At(x, y);
                lit += drawn.At(x, y) != kBehind;
            }
        EXPECT_EQ(differing, 0) << "caption " << i;
        EXPECT_GT(lit, 0) << "caption " << i;
    }
}

TEST_F(ControlHost, ButtonsOfOneSizeShareOneStretchedCopyOfAFace)
{
    TSharedButtonImages shared;
    const SharedBitmap face(SolidBitmap(7, 3, kFace));
    const SharedBitmap otherFace(SolidBitmap(7, 3, kFace));  // the same pixels, another picture
    struct Made {
        RECT rect;
        const SharedBitmap* face;
    };
    const Made made[] = {
        {{0, 0, 20, 10}, &face}, {{30, 0, 50, 10}, &face}, {{0, 20, 40, 30}, &face}, {{0, 40, 20, 50}, &otherFace}};
    std::vector<std::unique_ptr<CImageButton>> buttons;
    for (const Made& m : made) {
        auto button = std::make_unique<CImageButton>();
        ASSERT_TRUE(button->Create(host_, m.rect, 1310 + static_cast<UINT>(buttons.size()), L""));
        button->SetSharedImages(&shared);
        button->SetImage(*m.face, kButtonImageHover);
        ASSERT_TRUE(button->Resized());
        buttons.push_back(std::move(button));
    }
    const auto hover = [&buttons](size_t k) { return buttons[k]->Image(kButtonImageHover); };
    EXPECT_EQ(hover(0), hover(1));  // same face, same size
    EXPECT_NE(hover(0), hover(2));  // another size
    EXPECT_NE(hover(0), hover(3));  // another picture
    EXPECT_EQ(shared.stretchedFaces.size(), 3u);
    const SIZE wide = BitmapSize(hover(2));
    EXPECT_EQ(wide.cx, 40);
    EXPECT_EQ(wide.cy, 10);

    // The copy outlives the buttons that showed it, for as long as the faces are shared.
    buttons.clear();
    EXPECT_EQ(GetObjectType(shared.stretchedFaces.front().stretched.get()), static_cast<DWORD>(OBJ_BITMAP));
}

TEST_F(ControlHost, AnOwnStripTurnsTheMaskBlackForEveryButton)
{
    TSharedButtonImages shared;  // what every button of the registry shares
    shared.maskColor = kMask;
    UniqueBitmap strip = SolidBitmap(80, 10, kFace);
    CImageButton one;
    one.SetSharedImages(&shared);
    one.SetStrip(strip.get(), 0, 10);  // incomplete: ignored
    EXPECT_EQ(shared.maskColor, kMask);
    one.SetStrip(strip.get(), 20, 10);
    EXPECT_EQ(shared.maskColor, RGB(0, 0, 0));
}

TEST_F(ControlHost, OneOfManyKeepsExactlyOneButtonPressedAndTheGuardSpansBars)
{
    CToolBarEx first;
    CToolBarEx second;
    ASSERT_TRUE(first.Create(host_, {40, 30}, {16, 16}));
    ASSERT_TRUE(second.Create(host_, {40, 30}, {16, 16}));
    first.SetButtons({1201, 0, 1202, 1203});
    second.SetButtons({1301, 1302});
    first.SetOneOfMany(true);
    second.SetOneOfMany(true);
    EXPECT_EQ(first.HeldId(), 1201u);
    EXPECT_TRUE(first.IsPressed(1201));

    first.Hold(1203);
    EXPECT_FALSE(first.IsPressed(1201));
    EXPECT_TRUE(first.IsPressed(1203));

    // A click on the first bar, then at once one on the second: the second is
    // dropped whole, its hot button is not pressed.
    Sleep(kToolBarClickGuardMs + 20);
    first.Send(TB_SETHOTITEM, 2);  // 1202 (the separator counts as an item)
    first.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    first.Send(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(first.HeldId(), 1202u);
    second.Send(TB_SETHOTITEM, 1);
    second.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    second.Send(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(second.HeldId(), 1301u);
    EXPECT_FALSE(second.IsPressed(1302));
}

TEST_F(ControlHost, ToolTipsComeFromTheButtonTextOrTheCommand)
{
    CToolBarEx bar;
    ASSERT_TRUE(bar.Create(host_, {40, 30}, {16, 16}));
    bar.SetButtons({1201, 1202});
    bar.SetButtonText(1201, L"Connection");
    bar.SetCommandTooltip([](UINT id) { return id == 1202 ? std::wstring(L"Show the messages") : std::wstring(); });
    EXPECT_EQ(bar.TooltipFor(1201), L"Connection");
    EXPECT_EQ(bar.TooltipFor(1202), L"Show the messages");
    EXPECT_EQ(bar.TooltipFor(0), L"");
}

class MenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // 0 auto, 1 3g, 2 2g (radio 0..2), 3 separator, 4 roaming (toggle), 5 about
        for (const auto& [id, text, toggle] : {std::tuple{1200u, L"Auto", false}, {1201u, L"3G", false},
                                               {1202u, L"2G", false}, {0u, L"", false}, {1203u, L"Roaming", true},
                                               {1204u, L"About", false}}) {
            ::AppendMenuW(menu_.Handle(), id == 0 ? MF_SEPARATOR : MF_STRING, id, id == 0 ? nullptr : text);
            menu_.AppendCheckToggle(toggle);
        }
        menu_.SetRadioGroup(0, 2);
    }
    CMenuEx menu_{nullptr};
};

TEST_F(MenuTest, ARadioChoiceMovesTheMarkAndAToggleReportsItsNewState)
{
    const TPopupResult radio = menu_.ApplyChoice(1201);
    EXPECT_EQ(radio.id, 0u);
    EXPECT_TRUE(menu_.IsChecked(1));
    menu_.ApplyChoice(1202);
    EXPECT_FALSE(menu_.IsChecked(1));
    EXPECT_TRUE(menu_.IsChecked(2));

    const TPopupResult on = menu_.ApplyChoice(1203);
    EXPECT_EQ(on.id, 1203u);
    EXPECT_TRUE(on.checked);
    const TPopupResult off = menu_.ApplyChoice(1203);
    EXPECT_EQ(off.id, 1203u);
    EXPECT_FALSE(off.checked);
    EXPECT_FALSE(menu_.IsChecked(4));

    EXPECT_EQ(menu_.ApplyChoice(1204).id, 0u);  // a plain item
    EXPECT_EQ(menu_.ApplyChoice(0).id, 0u);     // dismissed
    EXPECT_EQ(menu_.ApplyChoice(4711).id, 0u);  // not an item of this menu
}

TEST_F(MenuTest, ItemsAreFoundByIdAndTextAndCheckedByIdTextOrPosition)
{
    EXPECT_EQ(menu_.FindItemById(1203), 4);
    EXPECT_EQ(menu_.FindItemById(999), -1);
    EXPECT_EQ(menu_.FindItemByText(L"About"), 5);
    EXPECT_EQ(menu_.FindItemByText(L"about"), -1);  // exactly

    menu_.CheckItem(nullptr, 1204, -1, true);
    EXPECT_TRUE(menu_.IsChecked(5));
    menu_.CheckItem(L"Roaming", 0, 0, true);  // the text wins over the position
    EXPECT_TRUE(menu_.IsChecked(4));
    EXPECT_FALSE(menu_.IsChecked(0));
    menu_.CheckItem(L"No such item", 0, 1, true);
    EXPECT_TRUE(menu_.IsChecked(1));
    menu_.CheckItem(L"", 0, -1, true);  // nothing to check
}

TEST_F(MenuTest, OwnerDrawnItemsKeepTheirIdsTextsAndGrayedState)
{
    ::EnableMenuItem(menu_.Handle(), 1204, MF_BYCOMMAND | MF_GRAYED);
    menu_.MakeOwnerDraw();
    EXPECT_EQ(menu_.FindItemByText(L"About"), 5);
    EXPECT_EQ(::GetMenuItemID(menu_.Handle(), 4), 1203u);
    EXPECT_NE(::GetMenuState(menu_.Handle(), 5, MF_BYPOSITION) & MF_GRAYED, 0u);
    MEASUREITEMSTRUCT foreign = {ODT_MENU, 0, 1204, 0, 0, 0x1234};
    EXPECT_FALSE(CMenuEx::RouteMeasureItem(&foreign));  // not one of our items
}

TEST_F(ControlHost, TheIdleTextFillsTheMessagePaneUnlessAHintShows)
{
    CStatusBarEx bar(L"For help, press F1");
    ASSERT_TRUE(bar.Create(host_, 0xE801));
    bar.SetPanes({0, 1200});
    EXPECT_EQ(bar.PaneText(0), L"For help, press F1") << "shown from the start, before any idle moment";
    EXPECT_TRUE(bar.ShowsIdleText());
    bar.SetPaneText(0, L"Show the messages");
    bar.SetHintShown(true);
    bar.OnIdleUpdate();
    EXPECT_EQ(bar.PaneText(0), L"Show the messages");
    bar.SetHintShown(false);
    bar.Send(kIdleUpdateCmdUI, TRUE);
    EXPECT_EQ(bar.PaneText(0), L"For help, press F1");
    EXPECT_TRUE(bar.ShowsIdleText());

    CStatusBarEx noMessagePane(L"idle");
    ASSERT_TRUE(noMessagePane.Create(host_, 0xE802));
    noMessagePane.SetPanes({1200});
    noMessagePane.OnIdleUpdate();
    EXPECT_EQ(noMessagePane.PaneText(0), L"");
}

TEST(MenuBandMnemonicTest, TheLetterAfterTheAmpersandOrElseTheFirstLetter)
{
    const std::vector<std::wstring> marked = {L"&File", L"Vi&ew", L"Tom && &Jerry", L"&&Co"};
    const std::vector<std::wstring> plain = {L"File", L"View"};
    const struct {
        const std::vector<std::wstring>* labels;
        wchar_t key;
        int found;
    } cases[] = {
        {&marked, L'f', 0}, {&marked, L'E', 1}, {&marked, L'j', 2},
        {&marked, L'c', -1},  // "&&" is a plain ampersand
        {&marked, L'v', -1},  // with mnemonics, first letters do not count
        {&plain, L'v', 1},    // without any, they do
        {&plain, 0, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindMnemonic(*c.labels, c.key), c.found) << static_cast<char>(c.key);
}

// A band of three menus, "&File", "&View", "&Help", on a host that notes the
// menus that open and the commands chosen.
class BandHost : public CWindow {
public:
    std::vector<HMENU> opened;
    std::vector<UINT> chosen;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_INITMENUPOPUP)
            opened.push_back(reinterpret_cast<HMENU>(wParam));
        if (msg == WM_COMMAND && LOWORD(wParam) != 0)
            chosen.push_back(LOWORD(wParam));
        return CWindow::WindowProc(msg, wParam, lParam);
    }
};

// One key of a script, given on its own timer tick as the user would: the
// owner's SC_KEYMENU (0 for a lone Alt or F10, else Alt+letter), or a key
// pressed while the band or one of its menus has the keyboard.
struct BandKeyStep {
    enum Kind { KeyMenu, Key, SysKey } kind;
    WPARAM value;
};

struct BandScript {
    CMenuBand* band = nullptr;
    std::vector<BandKeyStep> steps;
    size_t next = 0;
    std::vector<int> selectedAfter;  // the band's selection after each step, seen at the next tick
    bool cuesWhileSelected = true;   // the underlines showed whenever a title was selected
    bool done = false;
};
BandScript* g_script = nullptr;

void CALLBACK RunBandStep(HWND, UINT, UINT_PTR, DWORD)
{
    BandScript* script = g_script;
    if (script == nullptr || script->done)
        return;
    if (script->next > 0) {
        const int selected = script->band->SelectedIndex();
        script->selectedAfter.push_back(selected);
        script->cuesWhileSelected = script->cuesWhileSelected && (selected < 0 || script->band->CuesShown());
    }
    if (script->next >= script->steps.size()) {
        script->done = true;
        return;
    }
    // The index moves first: a step that opens a menu runs the next ticks
    // inside that menu's loop.
    const BandKeyStep step = script->steps[script->next++];
    if (step.kind == BandKeyStep::KeyMenu)
        script->band->OnKeyMenu(static_cast<wchar_t>(step.value));
    else
        ::PostMessageW(script->band->Handle(), step.kind == BandKeyStep::Key ? WM_KEYDOWN : WM_SYSKEYDOWN, step.value, 0);
}

// Runs this thread's messages until done() or the time is up.
void PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    for (const DWORD start = ::GetTickCount(); !done() && ::GetTickCount() - start < timeoutMs;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

TEST(MenuBandTest, ReachedFromTheKeyboardAsAMenuBarIs)
{
    test::EnsureCommonControls();
    using K = BandKeyStep;
    const struct {
        const char* name;
        std::vector<BandKeyStep> steps;
        std::vector<int> selectedAfter;
        std::vector<int> opened;  // menu indices in the order they opened
        std::vector<UINT> chosen;
    } cases[] = {
        {"F10 selects File; Right, Down open View; Esc closes it, Esc leaves",
         {{K::KeyMenu, 0}, {K::Key, VK_RIGHT}, {K::Key, VK_DOWN}, {K::Key, VK_ESCAPE}, {K::Key, VK_ESCAPE}},
         {0, 1, 1, 1, -1}, {1}, {}},
        {"Alt+V opens View; Right goes on to Help, Left back to View; Enter takes its first item",
         {{K::KeyMenu, L'v'}, {K::Key, VK_RIGHT}, {K::Key, VK_LEFT}, {K::Key, VK_RETURN}},
         {1, 2, 1, -1}, {1, 2, 1}, {2001}},
        {"Left wraps from File to Help; the mnemonic letter alone opens File; Alt leaves",
         {{K::KeyMenu, 0}, {K::Key, VK_LEFT}, {K::Key, L'F'}, {K::Key, VK_ESCAPE}, {K::SysKey, VK_MENU}},
         {0, 2, 0, 0, -1}, {0}, {}},
        {"Alt+Z, a letter no title has, opens nothing", {{K::KeyMenu, L'z'}}, {-1}, {}, {}},
    };
    // As Windows has it by default: no underlines until the keyboard is used
    // (Wine's default shows them always). For this process only.
    BOOL systemCues = FALSE;
    SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &systemCues, 0);
    SystemParametersInfoW(SPI_SETKEYBOARDCUES, 0, reinterpret_cast<void*>(FALSE), 0);
    for (const auto& c : cases) {
        BandHost host;
        ASSERT_TRUE(host.Create(0, test::TestWindowClass(), L"band host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                                400, 300, nullptr));
        ::SetForegroundWindow(host.Handle());
        CMenuBand band;
        ASSERT_TRUE(band.Create(host.Handle(), 0xE7FF));
        std::vector<std::unique_ptr<CMenuEx>> menus;
        const wchar_t* labels[] = {L"&File", L"&View", L"&Help"};
        for (UINT i = 0; i < 3; ++i) {
            menus.push_back(std::make_unique<CMenuEx>(host.Handle()));
            ::AppendMenuW(menus.back()->Handle(), MF_STRING, 1001 + 1000 * i, L"&First");
            ::AppendMenuW(menus.back()->Handle(), MF_STRING, 1002 + 1000 * i, L"&Second");
            band.AddMenu(labels[i], menus.back().get());
        }
        EXPECT_FALSE(band.CuesShown()) << "underlines before the keyboard is used";

        BandScript script;
        script.band = &band;
        script.steps = c.steps;
        g_script = &script;
        // The host's activation settles first: under Wine its focus events
        // come late, and one arriving after the band took the focus would
        // take the focus back to the host and end the keyboard selection.
        PumpMessagesUntil([&] { return ::GetActiveWindow() == host.Handle(); }, 3000);
        PumpMessagesUntil([] { return false; }, 300);
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 150, RunBandStep);
        PumpMessagesUntil([&] { return script.done; }, 10000);
        ::KillTimer(nullptr, timer);
        g_script = nullptr;

        std::vector<int> opened;
        for (HMENU menu : host.opened)
            for (int i = 0; i < 3; ++i)
                if (menus[i]->Handle() == menu)
                    opened.push_back(i);
        EXPECT_TRUE(script.done) << c.name;
        EXPECT_EQ(script.selectedAfter, c.selectedAfter) << c.name;
        EXPECT_TRUE(script.cuesWhileSelected) << c.name << ": the underlines show while the keyboard uses the band";
        EXPECT_EQ(opened, c.opened) << c.name;
        EXPECT_EQ(host.chosen, c.chosen) << c.name;
        EXPECT_FALSE(band.CuesShown()) << c.name << ": the underlines go with the keyboard selection";
        EXPECT_NE(::GetFocus(), band.Handle()) << c.name << ": the focus goes back";
    }
    SystemParametersInfoW(SPI_SETKEYBOARDCUES, 0, reinterpret_cast<void*>(static_cast<INT_PTR>(systemCues)), 0);
}

}  // namespace
}  // namespace kivra

TEST(CaptionFontTest, TheSkinReplacesHeightWeightAndFaceOnlyWhereItGivesThem)
{
    LOGFONTW base = {};
    base.lfHeight = -11;
    base.lfWeight = FW_NORMAL;
    wcscpy(base.lfFaceName, L"Tahoma");
    const struct {
        int height, weight;
        const wchar_t* face;
        LONG wantHeight, wantWeight;
        const wchar_t* wantFace;
    } cases[] = {
        {-1, -1, L"", -11, FW_NORMAL, L"Tahoma"},  // nothing given: the base
        {0, 0, nullptr, -11, FW_NORMAL, L"Tahoma"},
        {-14, FW_BOLD, L"Arial", -14, FW_BOLD, L"Arial"},
        {20, -1, L"", 20, FW_NORMAL, L"Tahoma"},
    };
    for (const auto& c : cases) {
        const LOGFONTW font = kivra::CaptionFont(base, c.height, c.weight, c.face);
        EXPECT_EQ(font.lfHeight, c.wantHeight) << c.height;
        EXPECT_EQ(font.lfWeight, c.wantWeight) << c.weight;
        EXPECT_STREQ(font.lfFaceName, c.wantFace);
    }
}
