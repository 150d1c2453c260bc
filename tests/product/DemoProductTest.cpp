// The demo product as the build lays it out beside Kivra.exe (build*/Kivra/),
// read through the same configuration, skin and language code the shell
// uses: every file it names must be there, every picture must load, the
// window shape must come out of the background, and every text the skin and
// the shell show must be translated in all three languages.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "config/Configure.h"
#include "config/LanguageTable.h"
#include "config/SkinFrame.h"
#include "config/SkinMenu.h"
#include "config/SkinPluginPanel.h"
#include "config/SkinToolArea.h"
#include "config/SkinButton.h"
#include "config/SkinWindows.h"
#include "config/Values.h"
#include "config/XmlDocument.h"
#include "framework/Handles.h"
#include "kivra_plugin.h"
#include "mainwindow/Accelerators.h"
#include "mainwindow/TitleBar.h"
#include "mainwindow/WindowRegion.h"
#include "tests/support/DialogTemplate.h"
#include "tests/support/TestProgram.h"
#include "tests/support/XmlFixture.h"

namespace kivra {
namespace {

using testing::ComScope;

// The product folder of this build: the test runs from build*/tests/product,
// the product lies in build*/Kivra/.
std::wstring ProductFolder() { return testing::DemoProductFolder(); }

bool EndsWith(const std::wstring& text, const std::wstring& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

SIZE BitmapSize(HBITMAP bitmap)
{
    BITMAP info = {};
    if (bitmap == nullptr || ::GetObjectW(bitmap, sizeof(info), &info) == 0)
        return {0, 0};
    return {info.bmWidth, info.bmHeight};
}
SIZE BitmapSize(const UniqueBitmap& bitmap)
{
    return BitmapSize(bitmap.get());
}

SIZE IconSize(HICON icon)
{
    ICONINFO info = {};
    if (icon == nullptr || !::GetIconInfo(icon, &info))
        return {0, 0};
    const SIZE size = BitmapSize(info.hbmColor ? info.hbmColor : info.hbmMask);
    if (info.hbmColor)
        ::DeleteObject(info.hbmColor);
    if (info.hbmMask)
        ::DeleteObject(info.hbmMask);
    return size;
}

std::wstring Widen(const char* name)
{
    wchar_t wide[KIVRA_NAME_SIZE] = {};
    WidenName(wide, name);
    return wide;
}

// Every element of a document below the root, depth first, with its
// attributes and its own text.
struct ElementInfo {
    std::wstring name;
    std::map<std::wstring, std::wstring> attributes;
    std::wstring text;
};

std::wstring NodeText(const XmlNode& node)
{
    std::wstring text;
    kivra::NodeText(node, &text);
    return text;
}

void CollectElements(CXmlDocument& document, const XmlNode& parent, std::vector<ElementInfo>* elements)
{
    XmlNode child;
    std::wstring name;
    while (NextChildElement(parent, &child, &name)) {
        ElementInfo info;
        info.name = name;
        if (document.OpenAttributes(child)) {
            std::wstring attribute, value;
            while (document.NextAttribute(&attribute, &value))
                info.attributes[attribute] = value;
        }
        bool hasChildElements = false;
        {
            XmlNode probe;
            hasChildElements = NextChildElement(child, &probe, nullptr);
        }
        if (!hasChildElements)
            info.text = NodeText(child);
        elements->push_back(info);
        CollectElements(document, child, elements);
    }
}

std::vector<ElementInfo> AllElements(CXmlDocument& document, const wchar_t* root)
{
    std::vector<ElementInfo> elements;
    XmlNode node;
    if (document.Select(root) && document.NextMatch(nullptr, nullptr, nullptr, &node))
        CollectElements(document, node, &elements);
    return elements;
}

// The picture file names skin.xml gives: image attributes of every kind and
// the texts of the elements that name one picture.
std::set<std::wstring> PictureNames(const std::vector<ElementInfo>& elements)
{
    static const std::set<std::wstring> kImageAttributes = {
        L"image", L"hover", L"focus", L"down", L"disable", L"image-list", L"normal-button-image",
        L"hover-button-image", L"checked-image", L"unchecked-image", L"normal-item-image", L"hover-item-image",
        L"background-image", L"logo-image"};
    static const std::set<std::wstring> kImageElements = {L"image", L"preview", L"backgroud-image"};
    std::set<std::wstring> names;
    for (const ElementInfo& element : elements) {
        for (const auto& [attribute, value] : element.attributes)
            if (kImageAttributes.count(attribute) && !value.empty())
                names.insert(value);
        if (kImageElements.count(element.name) && !element.text.empty())
            names.insert(element.text);
    }
    return names;
}

INT_PTR CALLBACK EmptyDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

class DemoProduct : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(com_.ok());
        ASSERT_TRUE(FileExists(folder_ + L"common\\config.xml")) << "no product in " << folder_.c_str();
        ASSERT_TRUE(config_.Load()) << "the demo product's config.xml does not load";
        for (const wchar_t* code : {L"am_EN", L"zh_CN", L"zh_HK"})
            ASSERT_TRUE(languages_[code].Load((folder_ + L"language\\" + code + L".xml").c_str())) << code;
    }

    CSkin& Skin() { return config_.Skin(); }

    // The translation of id in the given language, or "<missing>".
    std::wstring Translation(const wchar_t* code, const std::wstring& id)
    {
        wchar_t text[kTranslateTextUnits] = {};
        return languages_[code].Translate(id.c_str(), text) ? std::wstring(text) : L"<missing>";
    }

    ComScope com_;
    std::wstring folder_ = ProductFolder();
    CConfigure config_{folder_.c_str()};
    std::map<std::wstring, CLanguageTable> languages_;
};

const wchar_t* const kLanguageCodes[] = {L"am_EN", L"zh_CN", L"zh_HK"};

TEST_F(DemoProduct, ConfigurationNamesTheProductAndItsFiles)
{
    EXPECT_STREQ(config_.Title(), L"IDS_PRODUCT_TITLE");
    EXPECT_TRUE(EndsWith(config_.LanguageFilePath(), L"\\language\\am_EN.xml")) << config_.LanguageFilePath();
    EXPECT_TRUE(EndsWith(config_.SkinFolder(), L"\\skin\\aurora")) << config_.SkinFolder();
    EXPECT_TRUE(EndsWith(Skin().CommonFolder(), L"\\Kivra\\common\\")) << Skin().CommonFolder();
    EXPECT_EQ(config_.LogLevelMask(), 0x3Fu) << "all six log categories on";
    EXPECT_STREQ(config_.HelpTitle(), L"IDS_HELP_TITLE");
    EXPECT_STREQ(config_.DatabaseFileName(), L"kivra.db");
    EXPECT_TRUE(FileExists(std::wstring(config_.CommonFolder()) + config_.HelpFileName())) << config_.HelpFileName();

    for (const wchar_t* owner : {L"", L"system", L"connect", L"sms", L"statistics"})
        EXPECT_TRUE(config_.ButtonOwnerAccepted(owner)) << owner;
    EXPECT_FALSE(config_.ButtonOwnerAccepted(L"phonebook"));

    ASSERT_NE(config_.LogoIcon(), nullptr) << "common\\main.ico";
    EXPECT_EQ(IconSize(config_.LogoIcon()).cx, ::GetSystemMetrics(SM_CXICON));

    wchar_t title[kConfigLongTextUnits] = {};
    EXPECT_TRUE(config_.Language().Translate(config_.Title(), title));
    EXPECT_STREQ(title, L"Kivra Mobile Broadband");
}

TEST_F(DemoProduct, WindowSizeInDialogUnitsIsTheBackgroundWithItsFrame)
{
    const TMainFrameSkin& frame = config_.MainFrame();
    EXPECT_TRUE(frame.abnormalWindow);
    EXPECT_EQ(frame.maskColor, RGB(255, 0, 255));
    EXPECT_TRUE(frame.pluginWindowSameSize);
    EXPECT_FALSE(frame.fitSizeToPlugin);

    std::vector<TSkinImage> background;
    ASSERT_TRUE(ReadBackground(Skin(), &background));
    ASSERT_FALSE(background.empty());
    const SIZE bitmap = BitmapSize(background[0].bitmap);

    // A dialog with the main window's font, for measuring dialog units the way
    // the main window converts them.
    testing::DialogTemplateBuilder layout(DS_MODALFRAME | WS_POPUP, 100, 100);
    HWND dialog = ::CreateDialogIndirectParamW(nullptr, layout.Get(), nullptr, EmptyDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    RECT size = {0, 0, frame.windowWidth, frame.windowHeight};
    ::MapDialogRect(dialog, &size);
    ::DestroyWindow(dialog);

    // Before the shape is cut the window has this size; afterwards the
    // background's size plus the dialog frame. The two should agree.
    const int expectedWidth = bitmap.cx + 2 * ::GetSystemMetrics(SM_CXDLGFRAME);
    const int expectedHeight = bitmap.cy + 2 * ::GetSystemMetrics(SM_CYDLGFRAME);
    EXPECT_NEAR(size.right, expectedWidth, 3) << frame.windowWidth << " dialog units across";
    EXPECT_NEAR(size.bottom, expectedHeight, 3) << frame.windowHeight << " dialog units down";
}

TEST_F(DemoProduct, SkinDescribesItselfWithAPreview)
{
    EXPECT_STREQ(Skin().SkinName(), L"Aurora");
    EXPECT_STREQ(Skin().Version(), L"+aurora.1.0");
    EXPECT_STREQ(Skin().Company(), L"Kivra Labs");
    EXPECT_EQ(std::wstring(Skin().Url()).rfind(L"https://", 0), 0u) << Skin().Url();
    const SIZE preview = BitmapSize(Skin().Preview());
    EXPECT_EQ(preview.cx, 200);
    EXPECT_EQ(preview.cy, 139);
}

// Checks that a background cuts a window with rounded corners, and that the
// drawn title-bar buttons and the system skin buttons lie inside the shape.
void ExpectShapedWindow(const std::vector<TSkinImage>& background, COLORREF mask, const wchar_t* what)
{
    SCOPED_TRACE(what);
    ASSERT_FALSE(background.empty());
    const SIZE size = BitmapSize(background[0].bitmap);
    ASSERT_GT(size.cx, 0);
    UniqueRegion region = RegionFromBitmap(background[0].bitmap.get(), mask);
    ASSERT_TRUE(region) << "no window region from the background";

    RECT box = {};
    ::GetRgnBox(region.get(), &box);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.top, 0);
    EXPECT_GE(box.right, size.cx - 1);
    EXPECT_GE(box.bottom, size.cy - 1);

    // Rounded corners: the very corners are cut away, the middle of each
    // edge is not.
    const int w = size.cx, h = size.cy;
    for (POINT corner : {POINT{0, 0}, POINT{w - 2, 0}, POINT{0, h - 2}, POINT{w - 2, h - 2}, POINT{1, h - 3}})
        EXPECT_FALSE(::PtInRegion(region.get(), corner.x, corner.y)) << corner.x << "," << corner.y;
    for (POINT edge : {POINT{w / 2, 1}, POINT{1, h / 2}, POINT{w / 2, h - 3}, POINT{w - 3, h / 2}})
        EXPECT_TRUE(::PtInRegion(region.get(), edge.x, edge.y)) << edge.x << "," << edge.y;
    UniqueRegion rectangle(::CreateRectRgnIndirect(&box));
    UniqueRegion difference(::CreateRectRgn(0, 0, 0, 0));
    EXPECT_NE(::CombineRgn(difference.get(), rectangle.get(), region.get(), RGN_DIFF), NULLREGION)
        << "the shape is only a rectangle";

    // The title bar is laid out on the window, whose client area (the
    // background) starts one dialog frame in.
    const int frameX = ::GetSystemMetrics(SM_CXDLGFRAME), frameY = ::GetSystemMetrics(SM_CYDLGFRAME);
    const TTitleBarMetrics metrics = TTitleBarMetrics::FromSystem();
    const TTitleBarLayout layout = LayoutTitleBar(w + 2 * frameX, metrics);
    for (const RECT& button : {layout.minimize, layout.maximize, layout.close}) {
        // The glyphs leave a 2 pixel margin in the 16 pixel faces.
        const RECT glyph = {button.left - frameX + 2, button.top - frameY + 2, button.right - frameX - 3,
                            button.bottom - frameY - 3};
        for (POINT p : {POINT{glyph.left, glyph.top}, POINT{glyph.right, glyph.top}, POINT{glyph.left, glyph.bottom},
                        POINT{glyph.right, glyph.bottom}})
            EXPECT_TRUE(::PtInRegion(region.get(), p.x, p.y)) << "title button glyph at " << p.x << "," << p.y;
    }
    EXPECT_TRUE(::PtInRegion(region.get(), metrics.frameWidth - frameX + 2, metrics.frameHeight - frameY + 2))
        << "the window icon's corner";
}

TEST_F(DemoProduct, BackgroundsCutShapedWindows)
{
    std::vector<TSkinImage> background;
    ASSERT_TRUE(ReadBackground(Skin(), &background));
    ASSERT_EQ(background.size(), 1u);
    EXPECT_EQ(BitmapSize(background[0].bitmap).cx, 640);
    EXPECT_EQ(BitmapSize(background[0].bitmap).cy, 440);
    ExpectShapedWindow(background, config_.MainFrame().maskColor, L"normal background");

    // The system skin buttons, resolved against the window, sit inside the
    // shape and clear of its corners.
    const int w = BitmapSize(background[0].bitmap).cx, h = BitmapSize(background[0].bitmap).cy;
    UniqueRegion region = RegionFromBitmap(background[0].bitmap.get(), config_.MainFrame().maskColor);
    TToolBarSkin header = {};
    ASSERT_TRUE(ReadToolBar(Skin(), &header));
    TSkinButton button = {};
    int buttons = 0;
    while (ReadNextButton(Skin(), &button)) {
        RECT r = button.rect;
        if (r.left < 0) r.left += w;
        if (r.top < 0) r.top += h;
        if (r.right <= 0) r.right += w;
        if (r.bottom <= 0) r.bottom += h;
        for (POINT p : {POINT{r.left, r.top}, POINT{r.right - 1, r.top}, POINT{r.left, r.bottom - 1},
                        POINT{r.right - 1, r.bottom - 1}})
            EXPECT_TRUE(region && ::PtInRegion(region.get(), p.x, p.y)) << button.name << " at " << p.x << "," << p.y;
        ++buttons;
    }
    EXPECT_GE(buttons, 6);

    TMaxWindowSkin max = {};
    ASSERT_TRUE(ReadMaxWindow(Skin().Document(), &max));
    EXPECT_TRUE(max.enabled);
    std::vector<TSkinImage> maxBackground;
    ASSERT_TRUE(ReadMaxBackground(Skin(), &maxBackground));
    ASSERT_EQ(maxBackground.size(), 1u);
    const SIZE maxSize = BitmapSize(maxBackground[0].bitmap);
    EXPECT_GT(maxSize.cx, w);
    EXPECT_GT(maxSize.cy, h);
    EXPECT_EQ(max.width, maxSize.cx + 2 * ::GetSystemMetrics(SM_CXDLGFRAME));
    EXPECT_EQ(max.height, maxSize.cy + 2 * ::GetSystemMetrics(SM_CYDLGFRAME));
    EXPECT_LE(max.panelRect.right, maxSize.cx);
    EXPECT_LE(max.panelRect.bottom, maxSize.cy);
    EXPECT_STREQ(max.rightButtonService, "manager/RestoreWindow");
    ExpectShapedWindow(maxBackground, config_.MainFrame().maskColor, L"max background");
}

TEST_F(DemoProduct, EveryPictureNamedInTheSkinLoads)
{
    std::vector<ElementInfo> elements = AllElements(Skin().Document(), L"skin");
    const std::set<std::wstring> names = PictureNames(elements);
    EXPECT_GE(names.size(), 30u) << "the walk over skin.xml found too few pictures";
    for (const std::wstring& name : names) {
        SCOPED_TRACE(name.c_str());
        const std::wstring extension = name.substr(name.rfind(L'.') + 1);
        EXPECT_TRUE(extension == L"bmp" || extension == L"jpg" || extension == L"gif")
            << "only BMP, JPEG and GIF load everywhere";
        // Each picture of the skin lies in the skin's own folder, with the
        // exact name skin.xml gives.
        const std::wstring path = std::wstring(Skin().SkinFolder()) + name;
        WIN32_FIND_DATAW found = {};
        HANDLE find = ::FindFirstFileW(path.c_str(), &found);
        ASSERT_NE(find, INVALID_HANDLE_VALUE) << "missing";
        ::FindClose(find);
        EXPECT_STREQ(found.cFileName, name.c_str()) << "the file's name differs in case";
        HBITMAP bitmap = nullptr;
        EXPECT_TRUE(LoadPictureFile(path.c_str(), 0, 0, &bitmap));
        EXPECT_GT(BitmapSize(bitmap).cx, 0);
        ::DeleteObject(bitmap);
        EXPECT_TRUE(Skin().LoadSkinImage(name.c_str(), &bitmap));
        ::DeleteObject(bitmap);
    }
}

TEST_F(DemoProduct, CommonPicturesAndIconsLoad)
{
    const std::wstring common = config_.CommonFolder();
    struct Picture {
        const wchar_t* name;
        int width, height;
    };
    for (const Picture& picture : {Picture{L"main.bmp", 120, 40}, Picture{L"wait.JPG", 340, 60}}) {
        SCOPED_TRACE(picture.name);
        WIN32_FIND_DATAW found = {};
        HANDLE find = ::FindFirstFileW((common + picture.name).c_str(), &found);
        ASSERT_NE(find, INVALID_HANDLE_VALUE);
        ::FindClose(find);
        EXPECT_STREQ(found.cFileName, picture.name) << "the shell names it with this case";
        HBITMAP bitmap = nullptr;
        ASSERT_TRUE(LoadPictureFile((common + picture.name).c_str(), 0, 0, &bitmap));
        EXPECT_EQ(BitmapSize(bitmap).cx, picture.width);
        EXPECT_EQ(BitmapSize(bitmap).cy, picture.height);
        ::DeleteObject(bitmap);
    }
    // The wait dialog's picture comes through the skin's lookup.
    HBITMAP wait = nullptr;
    EXPECT_TRUE(Skin().LoadSkinImage(L"wait.JPG", &wait));
    ::DeleteObject(wait);

    struct Icon {
        const wchar_t* name;
        int size;
    };
    for (const Icon& icon : {Icon{L"main.ico", 16}, Icon{L"main.ico", 32}, Icon{L"normal.ico", 12},
                             Icon{L"normal.ico", 16}, Icon{L"select.ico", 12}, Icon{L"select.ico", 16}}) {
        SCOPED_TRACE(icon.name);
        UniqueIcon loaded(static_cast<HICON>(
            ::LoadImageW(nullptr, (common + icon.name).c_str(), IMAGE_ICON, icon.size, icon.size, LR_LOADFROMFILE)));
        ASSERT_TRUE(loaded);
        EXPECT_EQ(IconSize(loaded.get()).cx, icon.size);
    }
}

TEST_F(DemoProduct, ShellTextsAreTranslatedInEveryLanguage)
{
    struct Row {
        const wchar_t* id;
        const wchar_t* english;
        const wchar_t* simplified;
        const wchar_t* traditional;
    };
    const Row rows[] = {
        {L"Drop zone (&D)", L"Drop zone (&D)", L"\u60ac\u6d6e\u7a97(&D)", L"\u61f8\u6d6e\u7a97(&D)"},
        {L"IDS_PRODUCT_TITLE", L"Kivra Mobile Broadband", L"Kivra \u79fb\u52a8\u5bbd\u5e26",
         L"Kivra \u6d41\u52d5\u5bec\u983b"},
        {L"OK", L"OK", L"\u786e\u5b9a", L"\u78ba\u5b9a"},
        {L"cancel", L"Cancel", L"\u53d6\u6d88", L"\u53d6\u6d88"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Translation(L"am_EN", row.id), row.english) << row.id;
        EXPECT_EQ(Translation(L"zh_CN", row.id), row.simplified) << row.id;
        EXPECT_EQ(Translation(L"zh_HK", row.id), row.traditional) << row.id;
    }
    // "Version:" is followed directly by the program version in the About box.
    const std::wstring version = Translation(L"am_EN", L"Version:");
    ASSERT_FALSE(version.empty());
    EXPECT_EQ(version.back(), L'\u00a0') << "a no-break space survives the trimming of element texts";

    const wchar_t* const shellTexts[] = {
        L"Please disconnect!", L"Are you sure to exit?", L"Upgrade", L"For Help, Press F1", L"Login:",
        L"Password:", L"invalidate password, Please ReEnter!", L"invalidate password, Try last!", L"Apply",
        L"Settings...", L"About", L"Version:", L"Please wait...", L"IDS_HELP_TITLE", L"connect", L"sms",
        L"statistics"};
    for (const wchar_t* code : kLanguageCodes)
        for (const wchar_t* id : shellTexts)
            EXPECT_NE(Translation(code, id), L"<missing>") << code << ": " << id;
}

TEST_F(DemoProduct, EveryTextIdOfTheSkinIsInEveryLanguage)
{
    std::set<std::wstring> ids = {config_.Title(), config_.HelpTitle(), Skin().Company()};
    for (const ElementInfo& element : AllElements(Skin().Document(), L"skin"))
        for (const wchar_t* attribute : {L"string", L"tooltip", L"label"}) {
            auto found = element.attributes.find(attribute);
            if (found != element.attributes.end() && !found->second.empty())
                ids.insert(found->second);
        }
    EXPECT_GE(ids.size(), 60u);
    for (const wchar_t* code : kLanguageCodes)
        for (const std::wstring& id : ids)
            EXPECT_NE(Translation(code, id), L"<missing>") << code << ": " << id.c_str();

    // The three files cover the same ids.
    CXmlDocument english;
    ASSERT_TRUE(english.Load((folder_ + L"language\\am_EN.xml").c_str()));
    ASSERT_TRUE(english.Select(L"table/string"));
    std::wstring id;
    size_t count = 0;
    while (english.NextMatch(L"id", &id, nullptr, nullptr)) {
        ++count;
        EXPECT_NE(Translation(L"zh_CN", id), L"<missing>") << id.c_str();
        EXPECT_NE(Translation(L"zh_HK", id), L"<missing>") << id.c_str();
    }
    EXPECT_EQ(count, languages_[L"am_EN"].Count()) << "two English entries share an id";
    EXPECT_EQ(languages_[L"zh_CN"].Count(), count);
    EXPECT_EQ(languages_[L"zh_HK"].Count(), count);
}

TEST_F(DemoProduct, MenusGiveTheTrayItsDropZoneItem)
{
    std::map<std::wstring, std::vector<TMenuItemSkin>> named;
    std::map<std::wstring, TMenuSkin> headers;
    ASSERT_TRUE(SelectMenus(Skin()));
    for (;;) {
        std::wstring key;
        TMenuSkin menu = {};
        std::vector<TMenuItemSkin> items;
        if (!ReadMenu(Skin(), L"name", &key, &menu, &items))
            break;
        named[key] = std::move(items);
        headers[key] = std::move(menu);
    }
    ASSERT_TRUE(named.count(L"tray"));
    ASSERT_TRUE(named.count(L"options"));
    ASSERT_TRUE(named.count(L"help"));

    // The drop-zone item is found by the translation of "Drop zone (&D)".
    const std::wstring dropZone = Translation(L"am_EN", L"Drop zone (&D)");
    int dropZoneItems = 0;
    for (const TMenuItemSkin& item : named[L"tray"])
        if (item.string[0] && Translation(L"am_EN", item.string) == dropZone) {
            ++dropZoneItems;
            EXPECT_EQ(item.checkToggle, 1) << "the drop-zone item toggles its check mark";
            EXPECT_NE(item.name[0], 0) << "an item needs a name or a cmdid to get a command";
        }
    EXPECT_EQ(dropZoneItems, 1);

    std::set<std::string> services;
    for (const auto& [name, items] : named)
        for (const TMenuItemSkin& item : items) {
            if (item.service[0])
                services.insert(item.service);
            if (item.string[0]) {
                EXPECT_TRUE(item.cmdid != 0 || item.name[0] != 0) << Widen(item.service).c_str();
            }
        }
    for (const char* service : {"manager/ProgramExit", "manager/ShowAboutDlg", "manager/ShowSetWindow",
                                "manager/ShowHelpFile", "manager/ShowMainWindow"})
        EXPECT_TRUE(services.count(service)) << service;

    // The options menu: a radio group at positions 1 to 3 with 1 checked.
    const TMenuSkin& options = headers[L"options"];
    EXPECT_EQ(options.popupType, kMenuPopupLeftTopUp);
    EXPECT_EQ(options.radioFirst, 1);
    EXPECT_EQ(options.radioLast, 3);
    EXPECT_EQ(options.defaultChecked, 1);
    EXPECT_NE(options.checkedImage, nullptr);
    ASSERT_GT(named[L"options"].size(), 3u);
    for (int position = 1; position <= 3; ++position)
        EXPECT_NE(named[L"options"][position].string[0], 0) << "radio item " << position;
    EXPECT_EQ(named[L"options"][0].enabled, 0) << "the heading is grayed";

    // The help menu is drawn by the shell: it has the whole picture set and
    // one icon per item.
    const TMenuSkin& help = headers[L"help"];
    EXPECT_NE(help.normalItemImage, nullptr);
    EXPECT_NE(help.hoverItemImage, nullptr);
    ASSERT_NE(help.imageList, nullptr);
    EXPECT_EQ(help.imageWidth, 16);
    const auto items = static_cast<int>(std::count_if(named[L"help"].begin(), named[L"help"].end(),
                                                      [](const TMenuItemSkin& item) { return item.string[0] != 0; }));
    EXPECT_GE(BitmapSize(help.imageList).cx, items * help.imageWidth);
    EXPECT_EQ(BitmapSize(help.normalItemImage).cy, BitmapSize(help.hoverItemImage).cy);

    // Menu-bar entries.
    ASSERT_TRUE(SelectMenus(Skin()));
    std::vector<std::wstring> labels;
    for (;;) {
        std::wstring key;
        TMenuSkin menu = {};
        std::vector<TMenuItemSkin> labelItems;
        if (!ReadMenu(Skin(), L"label", &key, &menu, &labelItems))
            break;
        labels.push_back(key);
    }
    EXPECT_EQ(labels, (std::vector<std::wstring>{L"IDS_MENUBAR_FILE", L"IDS_MENUBAR_VIEW", L"IDS_MENUBAR_HELP"}));

}

TEST_F(DemoProduct, SkinButtonsUseTheirFacesAtTheirOwnSize)
{
    TToolBarSkin header = {};
    ASSERT_TRUE(ReadToolBar(Skin(), &header));
    ASSERT_NE(header.imageList, nullptr);
    ASSERT_NE(header.normalButtonImage, nullptr);
    ASSERT_NE(header.hoverButtonImage, nullptr);
    EXPECT_EQ(header.imageWidth, 20);
    EXPECT_EQ(header.imageHeight, 20);
    EXPECT_EQ(header.maskColor, RGB(255, 0, 255));
    const SIZE face = BitmapSize(header.normalButtonImage);
    EXPECT_EQ(BitmapSize(header.hoverButtonImage).cx, face.cx);
    const int tiles = BitmapSize(header.imageList).cx / header.imageWidth;

    std::set<std::wstring> services;
    std::set<unsigned> cmdids;
    int hidden = 0;
    TSkinButton button = {};
    while (ReadNextButton(Skin(), &button)) {
        SCOPED_TRACE(button.name);
        EXPECT_TRUE(config_.ButtonOwnerAccepted(button.owner)) << "owner " << button.owner;
        EXPECT_TRUE(button.owner[0] != 0 || button.service[0] != 0) << "an ownerless button needs a service";
        const int width = button.rect.right - button.rect.left, height = button.rect.bottom - button.rect.top;
        if (button.inherit && button.imageIndex >= 0) {
            // Shared plates are copied from their top-left corner at the
            // button's size: they must be exactly that size.
            EXPECT_EQ(width, face.cx);
            EXPECT_EQ(height, face.cy);
            EXPECT_LT(button.imageIndex, tiles);
        } else {
            // Own faces of the button's size are drawn as they are.
            for (HBITMAP image : {button.image.get(), button.hover.get(), button.focus.get(), button.down.get(),
                                  button.disable.get()}) {
                ASSERT_NE(image, nullptr);
                EXPECT_EQ(BitmapSize(image).cx, width);
                EXPECT_EQ(BitmapSize(image).cy, height);
            }
        }
        EXPECT_NE(button.string[0], 0) << "every button has a caption";
        if (std::wstring(button.owner) == L"system") {
            services.insert(button.service);
            cmdids.insert(button.cmdid);
        }
        hidden += button.visable ? 0 : 1;
    }
    EXPECT_TRUE(services.count(L"manager/ShowTray"));
    EXPECT_TRUE(services.count(L"manager/ProgramExit"));
    EXPECT_TRUE(cmdids.count(0xF030u)) << "the full-view button";
    EXPECT_EQ(hidden, 1);
}

TEST_F(DemoProduct, AcceleratorsReachCommandsOfTheSkin)
{
    // The command names the skin registers: named menu items and tool items.
    std::map<std::string, unsigned> commands;
    unsigned next = 1200;
    for (const wchar_t* attribute : {L"name", L"label"}) {
        ASSERT_TRUE(SelectMenus(Skin()));
        for (;;) {
            std::wstring key;
            TMenuSkin menu = {};
            std::vector<TMenuItemSkin> items;
            if (!ReadMenu(Skin(), attribute, &key, &menu, &items))
                break;
            for (const TMenuItemSkin& item : items) {
                char name[KIVRA_NAME_SIZE] = {};
                NarrowName(name, item.name);
                if (name[0] && !commands.count(name))
                    commands[name] = next++;
            }
        }
    }
    for (TToolAreaSkin& tool : ReadToolArea(Skin())) {
        for (const TToolItem& item : tool.items) {
            char name[KIVRA_NAME_SIZE] = {};
            NarrowName(name, item.name);
            if (name[0] && !commands.count(name))
                commands[name] = item.cmdid ? item.cmdid : next++;
        }
    }

    std::vector<TAccelKey> keys;
    ASSERT_TRUE(Skin().ReadAccelerators(&keys));
    for (const TAccelKey& key : keys)
        if (key.cmdid == 0) {
            EXPECT_TRUE(commands.count(key.name)) << "accelerator names unknown command " << key.name;
        }
    const std::vector<ACCEL> rows = AcceleratorEntries(keys, [&](const char* name) {
        auto found = commands.find(name);
        return found == commands.end() ? 0u : found->second;
    });
    EXPECT_EQ(rows.size(), keys.size()) << "every key gives a table row";

    struct Expected {
        BYTE flags;
        WORD key;
        unsigned command;
    };
    const Expected expected[] = {
        {FVIRTKEY | FCONTROL, '1', commands["tool-connect"]},
        {FVIRTKEY | FCONTROL, ',', commands["settings"]},
        {FVIRTKEY | FALT, 'X', commands["exit"]},
        {FVIRTKEY | FCONTROL | FSHIFT, 'M', 0xF030},
        {FVIRTKEY, VK_F11, 0xF030},
        {FVIRTKEY | FCONTROL, 'H', 0xF020},
    };
    for (const Expected& want : expected) {
        const bool found = std::any_of(rows.begin(), rows.end(), [&](const ACCEL& row) {
            return row.fVirt == want.flags && row.key == want.key && row.cmd == want.command;
        });
        EXPECT_TRUE(found) << "flags " << int(want.flags) << " key " << want.key << " command " << want.command;
    }
}

TEST_F(DemoProduct, PluginSectionsFitThePanel)
{
    std::wstring panelText;
    ASSERT_TRUE(Skin().Document().ReadText(L"skin/main-frame/panel-rect", &panelText));
    const RECT panel = ParseRect(panelText.c_str());
    const int panelWidth = panel.right - panel.left, panelHeight = panel.bottom - panel.top;
    EXPECT_EQ(panelWidth, 616);
    EXPECT_EQ(panelHeight, 272);

    for (const char* plugin : {"connect", "sms", "statistics"}) {
        SCOPED_TRACE(plugin);
        TPluginControlNode sentinel = {};
        TPluginControlList controls = {};
        KivraInitControlList(&controls, &sentinel);
        TPluginSkin request = {};
        CopyText(request.szPluginName, plugin);
        request.pControls = &controls;
        SelectPluginSkin(Skin(), &request);
        ASSERT_EQ(request.bFound, 1);
        EXPECT_EQ(request.crMask, RGB(255, 0, 255));
        EXPECT_EQ(BitmapSize(request.hBackground).cx, panelWidth);
        EXPECT_EQ(BitmapSize(request.hBackground).cy, panelHeight);
        ::DeleteObject(request.hBackground);
        EXPECT_GE(controls.nCount, 4u);
        for (TPluginControlNode* node = sentinel.pNext; node != &sentinel; node = node->pNext) {
            const TPluginControl& control = node->control;
            SCOPED_TRACE(control.szName);
            EXPECT_GE(control.rect.left, 0);
            EXPECT_GE(control.rect.top, 0);
            EXPECT_LE(control.rect.right, panelWidth);
            EXPECT_LE(control.rect.bottom, panelHeight);
            EXPECT_LT(control.rect.left, control.rect.right);
            if (control.nImageWidth > 0) {
                ASSERT_NE(control.hImageList, nullptr);
                EXPECT_EQ(BitmapSize(control.hImageList).cy, control.nImageHeight);
                EXPECT_EQ(BitmapSize(control.hImageList).cx % control.nImageWidth, 0);
            }
            HBITMAP image = control.hImageList;
            ::DeleteObject(image);
        }
        DeletePluginResources(&request);
    }
}

TEST_F(DemoProduct, WindowSectionsAreComplete)
{
    const int smallIcon = ::GetSystemMetrics(SM_CXSMICON);
    std::vector<TSkinImage> pieces;
    TSkinButton titleButtons[kTitleBarButtonCount] = {};
    ASSERT_TRUE(ReadTitleBar(Skin(), &pieces, titleButtons));
    EXPECT_EQ(pieces.size(), 2u);
    for (TitleBarButton id : {TitleBarButton::Close, TitleBarButton::Maximize, TitleBarButton::Minimize}) {
        const TSkinButton* button = FindTitleBarButton(titleButtons, id);
        ASSERT_NE(button, nullptr) << TitleBarButtonId(id);
        EXPECT_EQ(BitmapSize(button->image.get()).cx, smallIcon);
        EXPECT_EQ(BitmapSize(button->hover.get()).cy, ::GetSystemMetrics(SM_CYSMICON));
    }

    bool show = false;
    ASSERT_TRUE(ReadStatusBar(Skin().Document(), &show));
    std::vector<TStatusItem> panes;
    ASSERT_TRUE(ReadStatusItems(Skin().Document(), &panes));
    EXPECT_TRUE(show);
    ASSERT_EQ(panes.size(), 4u);
    EXPECT_EQ(panes[0].cmdid, 0u) << "the message pane";
    EXPECT_EQ(panes[0].width, 300) << "widths are hexadecimal: 12c";

    std::vector<TToolAreaSkin> tools = ReadToolArea(Skin());
    ASSERT_EQ(tools.size(), 1u);
    const TToolAreaSkin& tool = tools[0];
    EXPECT_EQ(tool.selfocus, 1);
    const auto buttons = std::count_if(tool.items.begin(), tool.items.end(),
                                       [](const TToolItem& item) { return item.service[0] != 0; });
    EXPECT_EQ(tool.items.size(), static_cast<size_t>(buttons) + 1) << "one separator";
    EXPECT_GE(BitmapSize(tool.image).cx, buttons * tool.imageWidth) << "an icon per tool item";
    EXPECT_EQ(BitmapSize(tool.backgroundImage).cy, BitmapSize(tool.logoImage).cy);
    EXPECT_EQ(640 % BitmapSize(tool.logoImage).cx, 0) << "the logo's pattern lines up with the window's right edge";

    char start[KIVRA_NAME_SIZE] = {};
    EXPECT_TRUE(ReadStartService(Skin().Document(), start));
    EXPECT_STREQ(start, "connect/ShowPluginPanel");
    std::wstring order;
    EXPECT_TRUE(Skin().Document().ReadText(L"skin/backgroudmain-frame/load-plugin-order", &order));
    EXPECT_EQ(order, L"connect;sms;statistics");

    TNotifierSkin notifier = {};
    ReadNotifierSkin(Skin(), &notifier);
    EXPECT_TRUE(notifier.hasTextRect);
    const SIZE notifierSize = BitmapSize(notifier.image);
    EXPECT_EQ(notifierSize.cx % 4, 0) << "the notifier's shape is read in rows of a multiple of 4 pixels";
    EXPECT_LE(notifier.textRect.right, notifierSize.cx);
    EXPECT_LE(notifier.textRect.bottom, notifierSize.cy);
    EXPECT_TRUE(RegionFromBitmap(notifier.image.get(), config_.MainFrame().maskColor));

    TFloatDlgSkin floating;
    ASSERT_TRUE(ReadFloatDlgSkin(Skin(), &floating));
    EXPECT_TRUE(floating.showWindow);
    EXPECT_TRUE(floating.enableMenuItem);
    EXPECT_GT(floating.hoverOpacity, floating.normalOpacity);
    EXPECT_GT(floating.normalOpacity, 0);
    HBITMAP picture = nullptr;
    EXPECT_TRUE(LoadPictureFile(floating.backgroundImagePath, 0, 0, &picture)) << floating.backgroundImagePath;
    ::DeleteObject(picture);
}

// The file offsets of an image's sections, and its file alignment, from its
// headers; false when the file is no PE image.
bool ReadSectionLayout(const std::wstring& path, DWORD* fileAlignment, std::vector<DWORD>* offsets)
{
    UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return false;
    std::vector<unsigned char> head(4096);
    DWORD read = 0;
    if (!::ReadFile(file.get(), head.data(), static_cast<DWORD>(head.size()), &read, nullptr))
        return false;
    IMAGE_DOS_HEADER dos;
    IMAGE_NT_HEADERS32 nt;
    if (read < sizeof(dos))
        return false;
    memcpy(&dos, head.data(), sizeof(dos));
    if (dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0 || read < dos.e_lfanew + sizeof(nt))
        return false;
    memcpy(&nt, head.data() + dos.e_lfanew, sizeof(nt));
    if (nt.Signature != IMAGE_NT_SIGNATURE)
        return false;
    *fileAlignment = nt.OptionalHeader.FileAlignment;
    const size_t sections =
        dos.e_lfanew + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) + nt.FileHeader.SizeOfOptionalHeader;
    for (WORD n = 0; n < nt.FileHeader.NumberOfSections; ++n) {
        IMAGE_SECTION_HEADER section;
        if (read < sections + (n + 1) * sizeof(section))
            return false;
        memcpy(&section, head.data() + sections + n * sizeof(section), sizeof(section));
        if (section.SizeOfRawData != 0)
            offsets->push_back(section.PointerToRawData);
    }
    return true;
}

// The loader can map a section's pages straight from the file only when the
// section starts on a page of it; otherwise Wine reads the whole image into
// fresh memory at each start (about 2.6 MB for the shell's own images).
TEST_F(DemoProduct, ShippedImagesHaveTheirSectionsOnPageBoundaries)
{
    constexpr DWORD kPage = 4096;
    const std::vector<std::wstring> images = {L"Kivra.exe",           L"kivra-check.exe",  L"ostel.dll",
                                              L"marvik.dll",          L"dunra.dll",        L"plugins\\connect.dll",
                                              L"plugins\\sms.dll",    L"plugins\\statistics.dll"};
    for (const std::wstring& image : images) {
        SCOPED_TRACE(image.c_str());
        DWORD alignment = 0;
        std::vector<DWORD> offsets;
        ASSERT_TRUE(ReadSectionLayout(folder_ + image, &alignment, &offsets));
        EXPECT_EQ(alignment % kPage, 0u);
        ASSERT_FALSE(offsets.empty());
        for (DWORD offset : offsets)
            EXPECT_EQ(offset % kPage, 0u) << "a section at " << offset;
    }
}

}  // namespace
}  // namespace kivra
