#include "config/SkinCheck.h"

#include "config/KeyNames.h"
#include "config/Skin.h"
#include "config/SkinFrame.h"
#include "config/SkinKeys.h"
#include "config/SkinMenu.h"
#include "config/SkinToolArea.h"
#include "config/SkinButton.h"
#include "config/SkinWindows.h"
#include "config/Values.h"
#include "framework/DiskFile.h"
#include "framework/Text.h"

#include <cwchar>
#include <cwctype>
#include <map>

namespace kivra {

namespace {

// What a key's text must look like; the readers' syntaxes.
enum class Syntax {
    None,          // an element that only holds others
    Text,          // at most kSkinTextChars characters
    ItemName,      // at most kToolItemNameChars characters
    OrderList,     // at most kLoadOrderChars characters
    Service,       // 8-bit, at most kSkinTextChars characters
    Picture,       // a picture file in the skin folder or common\.
    SkinPicture,   // a picture file in the skin folder only
    Decimal,
    Opacity,       // decimal, 0 to 255
    Hex,
    Pair,
    SpacedPair,
    Color,
    SpacedColor,
    Rect,
    TrueFlag,      // exactly "true" is true
    FalseFlag,     // a text starting with "false" in any case is false
    ExactFalse,    // exactly "false" is false
    KeyName,
    PopupType,
    Position,      // "%u"
    Positions,     // "%u,%u"
    TitleButtonId,
};

struct Key {
    const wchar_t* name;
    Syntax syntax;
};

// One element the readers know, with its text and its attributes.
struct Rule {
    const wchar_t* path;
    Syntax text;
    bool attributesIgnoreCase;  // read with ReadAttributeTable
    std::vector<Key> attributes;
};

const std::vector<Rule>& Rules()
{
    using S = Syntax;
    static const std::vector<Rule> rules = {
        {skinpath::kRoot, S::None, false, {}},
        {skinpath::kDescription, S::None, false, {}},
        {skinpath::kDescriptionSkinName, S::Text, false, {}},
        {skinpath::kDescriptionVersion, S::Text, false, {}},
        {skinpath::kDescriptionCompany, S::Text, false, {}},
        {skinpath::kDescriptionUrl, S::Text, false, {}},
        {skinpath::kDescriptionPreview, S::Picture, false, {}},
        {skinpath::kAccelerator, S::None, false, {}},
        {skinpath::kAcceleratorKey, S::None, true,
         {{L"control", S::FalseFlag}, {L"alt", S::FalseFlag}, {L"shift", S::FalseFlag}, {L"code", S::KeyName},
          {L"cmdid", S::Hex}, {L"name", S::Service}}},
        {skinpath::kToolBar, S::None, true,
         {{L"image-list", S::Picture}, {L"image-size", S::Pair}, {L"normal-button-image", S::Picture},
          {L"hover-button-image", S::Picture}, {L"mask-color", S::Color}}},
        {skinpath::kToolBarButton, S::None, true,
         {{L"owner", S::Text}, {L"name", S::Service}, {L"string", S::Text}, {L"tooltip", S::Text},
          {L"service", S::Text}, {L"cmdid", S::Hex}, {L"image-index", S::Decimal}, {L"rect", S::Rect},
          {L"image", S::Picture}, {L"hover", S::Picture}, {L"focus", S::Picture}, {L"down", S::Picture},
          {L"disable", S::Picture}, {L"visable", S::FalseFlag}, {L"inherit", S::FalseFlag},
          {L"image-list", S::Picture}, {L"image-size", S::Pair}, {L"font-color", S::Color},
          {L"font-size", S::Decimal}, {L"font-weight", S::Decimal}, {L"font-face", S::Text}}},
        {skinpath::kTitleBar, S::None, false, {}},
        {skinpath::kTitleBarImage, S::Picture, false, {{L"from", S::Rect}, {L"to", S::Rect}}},
        {skinpath::kTitleBarButton, S::None, false,
         {{L"id", S::TitleButtonId}, {L"image", S::Picture}, {L"hover", S::Picture}}},
        {skinpath::kStatusBar, S::None, false, {{L"show", S::TrueFlag}}},
        {skinpath::kStatusBarItem, S::None, false, {{L"name", S::Service}, {L"cmdid", S::Hex}, {L"width", S::Hex}}},
        {skinpath::kBackground, S::None, false, {}},
        {skinpath::kBackgroundImage, S::Picture, false, {{L"from", S::Rect}, {L"to", S::Rect}}},
        {skinpath::kMainFrame, S::None, false, {}},
        {skinpath::kMainFrameAbnormalWindow, S::TrueFlag, false, {}},
        {skinpath::kMainFrameMaskColor, S::Color, false, {}},
        {skinpath::kMainFrameWindowSize, S::SpacedPair, false, {}},
        {skinpath::kMainFramePanelRect, S::Rect, false, {}},
        {skinpath::kMainFramePluginWindowSameSize, S::TrueFlag, false, {}},
        {skinpath::kMainFrameFitSizeToPlugin, S::TrueFlag, false, {}},
        {skinpath::kMainFrameStartService, S::Service, false, {}},
        {skinpath::kLoadOrderSection, S::None, false, {}},
        {skinpath::kLoadOrder, S::OrderList, false, {}},
        {skinpath::kMenu, S::None, true,
         {{L"popup-type", S::PopupType}, {L"group-radio-checked", S::Positions}, {L"default-checked", S::Position},
          {L"image-list", S::Picture}, {L"image-size", S::Pair}, {L"mask-color", S::Color},
          {L"normal-item-image", S::Picture}, {L"hover-item-image", S::Picture},
          {L"unchecked-image", S::Picture}, {L"checked-image", S::Picture}, {L"name", S::Text},
          {L"label", S::Text}}},
        {skinpath::kMenuItem, S::None, false,
         {{L"cmdid", S::Hex}, {L"name", S::Text}, {L"string", S::Text}, {L"tooltip", S::Text},
          {L"service", S::Service}, {L"enable", S::ExactFalse}, {L"clicked-checked", S::FalseFlag},
          {L"unchecked-image", S::Picture}, {L"checked-image", S::Picture}, {L"image-index", S::Decimal}}},
        {skinpath::kMenuSeparator, S::None, false, {}},
        {skinpath::kTool, S::None, false,
         {{L"image", S::Picture}, {L"background-color", S::SpacedColor}, {L"background-image", S::Picture},
          {L"logo-image", S::Picture}, {L"button-size", S::Pair}, {L"image-size", S::Pair},
          {L"selfocus", S::TrueFlag}}},
        {skinpath::kToolItem, S::None, false,
         {{L"cmdid", S::Hex}, {L"name", S::ItemName}, {L"tooltip", S::Text}, {L"service", S::Service},
          {L"image", S::Picture}}},
        {skinpath::kToolSeparator, S::None, false, {}},
        {skinpath::kPlugin, S::None, true,
         {{L"name", S::Service}, {L"background-color", S::Color}, {L"background-image", S::Picture},
          {L"region", S::Text}, {L"mask-color", S::Color}}},
        {skinpath::kPluginControl, S::None, true,
         {{L"name", S::Service}, {L"rect", S::Rect}, {L"tooltip", S::Text}, {L"font-size", S::Decimal},
          {L"font-face", S::Text}, {L"font-color", S::Color}, {L"image-list", S::Picture},
          {L"image-size", S::Pair}, {L"visable", S::ExactFalse}, {L"font-weight", S::Decimal}}},
        {skinpath::kMaxWindow, S::None, true, {{L"enable", S::FalseFlag}}},
        {skinpath::kMaxWindowSize, S::Pair, false, {}},
        {skinpath::kMaxWindowPanelRect, S::Rect, false, {}},
        {skinpath::kMaxWindowGetPanelService, S::Service, false, {}},
        {skinpath::kMaxWindowRightButtonService, S::Service, false, {}},
        {skinpath::kMaxWindowBackImage, S::None, false, {}},
        {skinpath::kMaxWindowBackImagePiece, S::Picture, false, {{L"from", S::Rect}, {L"to", S::Rect}}},
        {skinpath::kNotifier, S::None, false, {}},
        {skinpath::kNotifierTextRect, S::Rect, false, {}},
        {skinpath::kNotifierImage, S::Picture, false, {}},
        {skinpath::kFloatDlg, S::None, false, {}},
        {skinpath::kFloatDlgShowWindow, S::TrueFlag, false, {}},
        {skinpath::kFloatDlgEnableMenuItem, S::ExactFalse, false, {}},
        {skinpath::kFloatDlgNormalLayer, S::Opacity, false, {}},
        {skinpath::kFloatDlgHoverLayer, S::Opacity, false, {}},
        {skinpath::kFloatDlgBackgroundImage, S::SkinPicture, false, {}},
    };
    return rules;
}

const Rule* FindRule(const std::wstring& path)
{
    for (const Rule& rule : Rules())
        if (path == rule.path)
            return &rule;
    return nullptr;
}

const Key* FindKey(const Rule& rule, const std::wstring& name)
{
    for (const Key& key : rule.attributes)
        if (rule.attributesIgnoreCase ? _wcsicmp(key.name, name.c_str()) == 0 : name == key.name)
            return &key;
    return nullptr;
}

// The spellings the formats keep, which authors tend to correct.
std::wstring SpellingHint(std::wstring name)
{
    for (const auto& [usual, kept] : {std::pair{L"background", L"backgroud"}, std::pair{L"visible", L"visable"}}) {
        const size_t at = name.find(usual);
        if (at != std::wstring::npos)
            return L" (the skin spells it \"" + name.replace(at, std::wcslen(usual), kept) + L"\")";
    }
    return {};
}

bool SameIgnoringCase(const std::wstring& a, const wchar_t* b) { return _wcsicmp(a.c_str(), b) == 0; }

// The file sizes the skin check reads pictures at.
struct Picture {
    bool loaded = false;
    int width = 0;
    int height = 0;
};

class Checker {
public:
    Checker(CSkin& skin, SkinCheckResult* result) : skin_(skin), result_(result)
    {
        // Paths are shown from the product folder on (skin\aurora\x.bmp).
        product_ = skin.CommonFolder();
        product_.resize(product_.size() - std::wcslen(L"common\\"));
    }

    void Walk(const XmlNode& element, const std::wstring& path, const std::wstring& shown);

private:
    void Report(const std::wstring& path, const std::wstring& text) { result_->findings.push_back({path, text}); }
    std::wstring Shown(const std::wstring& path) const
    {
        return path.compare(0, product_.size(), product_) == 0 ? path.substr(product_.size()) : path;
    }
    Picture CheckPicture(const std::wstring& at, const std::wstring& name, bool commonToo);
    void CheckValue(const std::wstring& at, Syntax syntax, const std::wstring& text, Picture* picture = nullptr);
    // from: the picture whose part a "from" rectangle is; null for a place in a window.
    void CheckRect(const std::wstring& at, const std::wstring& text, const Picture* from);

    CSkin& skin_;
    SkinCheckResult* result_;
    std::wstring product_;
    int titleBarButtons_ = 0;
};

Picture Checker::CheckPicture(const std::wstring& at, const std::wstring& name, bool commonToo)
{
    Picture picture;
    if (name.empty()) {
        Report(at, L"missing picture: the file name is empty");
        return picture;
    }
    if (NamesDevice(name.c_str())) {
        Report(at, L"missing picture: \"" + name + L"\" names a device, which is never opened");
        return picture;
    }
    const std::wstring inSkin = std::wstring(skin_.SkinFolder()) + name;
    const std::wstring inCommon = std::wstring(skin_.CommonFolder()) + name;
    if (!IsRegularDiskFile(inSkin.c_str()) && !(commonToo && IsRegularDiskFile(inCommon.c_str()))) {
        Report(at, L"missing picture \"" + name + L"\" (in neither " + Shown(skin_.SkinFolder()) +
                       (commonToo ? L" nor " + Shown(skin_.CommonFolder()) : std::wstring()) + L")");
        return picture;
    }
    HBITMAP bitmap = nullptr;
    const bool loaded =
        commonToo ? skin_.LoadSkinImage(name.c_str(), &bitmap) : LoadPictureFile(inSkin.c_str(), 0, 0, &bitmap);
    if (!loaded) {
        Report(at, L"unreadable picture \"" + name + L"\": not a BMP, JPEG or GIF file the system can read");
        return picture;
    }
    BITMAP info{};
    ::GetObjectW(bitmap, sizeof(info), &info);
    ::DeleteObject(bitmap);
    return {true, info.bmWidth, info.bmHeight};
}

void Checker::CheckRect(const std::wstring& at, const std::wstring& text, const Picture* from)
{
    const RECT rect = ParseRect(text.c_str());
    const std::wstring value = L"out-of-range rectangle " + text;
    if (from != nullptr) {
        // A part of a picture: picture coordinates; a right or bottom of 0
        // leaves the size to the "to" rectangle.
        if (rect.left < 0 || rect.top < 0 || rect.right < 0 || rect.bottom < 0)
            Report(at, value + L": a coordinate is negative");
        else if ((rect.right != 0 && rect.right < rect.left) || (rect.bottom != 0 && rect.bottom < rect.top))
            Report(at, value + L": its right or bottom edge lies before its left or top edge");
        else if (from->loaded && (rect.left >= from->width || rect.top >= from->height || rect.right > from->width ||
                                  rect.bottom > from->height))
            Report(at, value + L": reaches beyond its picture of " + std::to_wstring(from->width) + L" x " +
                           std::to_wstring(from->height));
        return;
    }
    // A place in a window: a negative left or top, and a right or bottom of 0
    // or less, count from the far edge; the edges of a pair that count from
    // the same side must not cross.
    const auto crossed = [](LONG nearEdge, LONG farEdge) {
        const bool sameSide = (nearEdge >= 0) == (farEdge > 0);
        return sameSide && farEdge < nearEdge;
    };
    if (crossed(rect.left, rect.right) || crossed(rect.top, rect.bottom))
        Report(at, value + L": its right or bottom edge lies before its left or top edge");
}

void Checker::CheckValue(const std::wstring& at, Syntax syntax, const std::wstring& text, Picture* picture)
{
    using S = Syntax;
    const wchar_t* value = text.c_str();
    const auto unreadable = [&](const wchar_t* expected) {
        Report(at, L"unreadable value \"" + text + L"\": " + expected + L" expected");
    };
    const auto longer = [&](size_t limit) {
        if (text.size() > limit)
            Report(at, L"value of " + std::to_wstring(text.size()) + L" characters: only the first " +
                           std::to_wstring(limit) + L" are read");
    };
    switch (syntax) {
    case S::None:
        return;
    case S::Text:
        return longer(kSkinTextChars);
    case S::ItemName:
        return longer(kToolItemNameChars);
    case S::OrderList:
        return longer(kLoadOrderChars);
    case S::Service:
        longer(kSkinTextChars);
        for (wchar_t c : text)
            if (c > 0xFF) {
                Report(at, L"value \"" + text + L"\" holds characters beyond 8 bits, which are cut to their low byte");
                break;
            }
        return;
    case S::Picture:
    case S::SkinPicture: {
        const Picture found = CheckPicture(at, text, syntax == S::Picture);
        if (picture != nullptr)
            *picture = found;
        return;
    }
    case S::Decimal:
        if (!IsWholeNumberValue(value, kDecimalPattern))
            unreadable(L"a whole number");
        return;
    case S::Opacity:
        if (!IsWholeNumberValue(value, kDecimalPattern))
            unreadable(L"a number from 0 to 255");
        else if (ParseDecimal(value) < 0 || ParseDecimal(value) > 255)
            Report(at, L"out-of-range value " + text + L": 0 to 255, it is taken as " +
                           std::to_wstring(ParseDecimal(value) & 0xFF));
        return;
    case S::Hex:
        if (!IsWholeNumberValue(value, kHexPattern))
            unreadable(L"a hexadecimal number such as 8001");
        return;
    case S::Pair:
    case S::SpacedPair:
        if (!IsWholeNumberValue(value, syntax == S::Pair ? kPairPattern : kSpacedPairPattern))
            unreadable(syntax == S::Pair ? L"two numbers such as 16,16" : L"two numbers such as 400, 300");
        return;
    case S::Color:
    case S::SpacedColor: {
        int rgb[3] = {-1, -1, -1};
        if (!IsWholeNumberValue(value, syntax == S::Color ? kColorPattern : kSpacedColorPattern) ||
            swscanf(value, syntax == S::Color ? kColorPattern : kSpacedColorPattern, &rgb[0], &rgb[1], &rgb[2]) != 3)
            unreadable(L"red, green and blue such as 255,0,255");
        else if (rgb[0] < 0 || rgb[0] > 255 || rgb[1] < 0 || rgb[1] > 255 || rgb[2] < 0 || rgb[2] > 255)
            Report(at, L"out-of-range colour " + text + L": each part 0 to 255, only its low 8 bits are used");
        return;
    }
    case S::Rect:
        if (!IsWholeNumberValue(value, kRectPattern))
            unreadable(L"left, top, right and bottom such as 0,0,100,20");
        else
            CheckRect(at, text, nullptr);
        return;
    case S::TrueFlag:
        if (text != L"true" && (SameIgnoringCase(text, L"true") || text == L"1" || SameIgnoringCase(text, L"yes")))
            Report(at, L"\"" + text + L"\" is read as false: only \"true\", in lower case, is true");
        return;
    case S::FalseFlag:
        if (SameIgnoringCase(text, L"0") || SameIgnoringCase(text, L"no") || SameIgnoringCase(text, L"off"))
            Report(at, L"\"" + text + L"\" is read as true: only a text starting with \"false\" is false");
        return;
    case S::ExactFalse:
        if (text != L"false" && (SameIgnoringCase(text, L"false") || text == L"0" || SameIgnoringCase(text, L"no")))
            Report(at, L"\"" + text + L"\" is read as true: only \"false\", in lower case, is false");
        return;
    case S::KeyName:
        if (VirtualKeyFromName(value) == kUnknownVirtualKey)
            Report(at, L"unknown key name \"" + text + L"\": the accelerator gives no entry");
        return;
    case S::PopupType:
        for (const wchar_t* known : {L"left-top-up", L"right-bottom-up", L"right-bottom-down", L"right-top-up",
                                     L"right-top-down", L"mouse"})
            if (text == known)
                return;
        unreadable(L"left-top-up, right-bottom-up, right-bottom-down, right-top-up, right-top-down or mouse");
        return;
    case S::Position:
    case S::Positions:
        if (!IsWholeNumberValue(value, syntax == S::Position ? kDecimalPattern : kPairPattern) ||
            text.find(L'-') != std::wstring::npos)
            unreadable(syntax == S::Position ? L"a menu position such as 2" : L"two menu positions such as 2,4");
        return;
    case S::TitleButtonId:
        if (text != L"close" && text != L"maximize" && text != L"minimize")
            Report(at, L"unknown title-bar button id \"" + text + L"\": close, maximize or minimize");
        return;
    }
}

void Checker::Walk(const XmlNode& element, const std::wstring& path, const std::wstring& shown)
{
    const Rule* rule = FindRule(path);
    if (rule == nullptr) {
        const size_t slash = path.rfind(L'/');
        Report(shown, L"unknown key \"" + path.substr(slash + 1) + L"\"" + SpellingHint(path.substr(slash + 1)) +
                          L": nothing reads it");
        return;
    }
    if (path == skinpath::kTitleBarButton && ++titleBarButtons_ > static_cast<int>(kTitleBarButtonCount))
        Report(shown, L"ignored: the title bar reads its first three buttons only");

    // The element's own text first: the picture it names bounds its "from".
    Picture picture;
    std::wstring text;
    if (rule->text != Syntax::None && NodeText(element, &text))
        CheckValue(shown, rule->text, text, &picture);

    CXmlDocument& document = skin_.Document();
    std::wstring name, value;
    std::vector<std::pair<std::wstring, std::wstring>> attributes;
    if (document.OpenAttributes(element))
        while (document.NextAttribute(&name, &value))
            attributes.emplace_back(name, value);
    for (const auto& [attribute, attributeValue] : attributes) {
        const std::wstring at = shown + L"/@" + attribute;
        const Key* key = FindKey(*rule, attribute);
        if (key == nullptr)
            Report(at, L"unknown key \"" + attribute + L"\"" + SpellingHint(attribute) + L": nothing reads it");
        else if (key->syntax == Syntax::Rect && attribute == L"from" && IsWholeNumberValue(attributeValue.c_str(), kRectPattern))
            CheckRect(at, attributeValue, &picture);
        else
            CheckValue(at, key->syntax, attributeValue);
    }

    // Children: "name[n]" where an element has several of a name.
    std::map<std::wstring, int> counts, seen;
    XmlNode child;
    while (NextChildElement(element, &child, &name))
        ++counts[name];
    child.reset();
    while (NextChildElement(element, &child, &name)) {
        const int index = ++seen[name];
        Walk(child, path + L"/" + name,
             shown + L"/" + name + (counts[name] > 1 ? L"[" + std::to_wstring(index) + L"]" : std::wstring()));
    }
}

// Why CSkin::Open refused folder.
std::wstring WhyNotOpened(const wchar_t* folder)
{
    if (std::wcsstr(folder, L"\\skin\\") == nullptr)
        return L"the folder does not lie in a skin\\ folder beside Kivra.exe";
    const std::wstring file = std::wstring(folder) + L"\\skin.xml";
    if (file.size() > kMaxPathChars)
        return L"the path of skin.xml is longer than 259 characters";
    CXmlDocument document;
    if (!document.Load(file.c_str()))
        return L"skin.xml: " + document.LastLoadErrorText();
    std::wstring preview;
    if (!document.ReadText(skinpath::kDescriptionPreview, &preview))
        return std::wstring(skinpath::kDescriptionPreview) + L" is missing; a skin needs it (its text may be empty)";
    return L"the skin could not be opened";
}

// A line of what the main window's readers make of the skin.
std::wstring Summary(CSkin& skin)
{
    CXmlDocument& document = skin.Document();
    std::wstring line = L"read by the shell:";
    const auto add = [&](const std::wstring& part) { line += (line.back() == L':' ? L" " : L", ") + part; };

    TMainFrameSkin frame{};
    ReadMainFrame(document, &frame);
    add(std::wstring(frame.abnormalWindow ? L"shaped" : L"framed") + L" window " + std::to_wstring(frame.windowWidth) +
        L" x " + std::to_wstring(frame.windowHeight) + L" dialog units");

    std::vector<TSkinImage> pieces;
    ReadBackground(skin, &pieces);
    size_t withPicture = 0;
    for (const TSkinImage& piece : pieces)
        withPicture += piece.bitmap != nullptr;
    add(std::to_wstring(pieces.size()) + L" background pieces (" + std::to_wstring(withPicture) + L" with pictures)");
    pieces.clear();

    TSkinButton titleButtons[kTitleBarButtonCount] = {};
    ReadTitleBar(skin, &pieces, titleButtons);
    int buttons = 0;
    for (TSkinButton& button : titleButtons) {
        buttons += button.owner[0] != 0;
    }
    add(L"title bar " + std::to_wstring(pieces.size()) + L" pieces and " + std::to_wstring(buttons) + L" buttons");

    TToolBarSkin header{};
    int toolBarButtons = 0;
    if (ReadToolBar(skin, &header)) {
        TSkinButton button{};
        while (ReadNextButton(skin, &button)) {
            ++toolBarButtons;
            button = TSkinButton{};
        }
    }
    add(std::to_wstring(toolBarButtons) + L" tool-bar buttons");

    bool show = false;
    std::vector<TStatusItem> items;
    if (ReadStatusBar(document, &show))
        ReadStatusItems(document, &items);
    add(std::to_wstring(items.size()) + L" status-bar panes" + (show ? L" (shown)" : L" (hidden)"));

    std::vector<TAccelKey> keys;
    skin.ReadAccelerators(&keys);
    add(std::to_wstring(keys.size()) + L" accelerators");

    std::vector<TToolAreaSkin> tools = ReadToolArea(skin);
    size_t toolItems = 0;
    for (const TToolAreaSkin& tool : tools)
        toolItems += tool.items.size();
    add(std::to_wstring(tools.size()) + L" tool bars with " + std::to_wstring(toolItems) + L" items");

    int menus = 0;
    if (SelectMenus(skin)) {
        std::wstring key;
        TMenuSkin menu{};
        std::vector<TMenuItemSkin> menuItems;
        while (ReadMenu(skin, L"name", &key, &menu, &menuItems)) {
            ++menus;
            menu = TMenuSkin{};
            menuItems.clear();
            key.clear();
        }
    }
    add(std::to_wstring(menus) + L" named menus");

    TMaxWindowSkin max{};
    ReadMaxWindow(document, &max);
    add(max.enabled ? L"max mode on" : L"no max mode");
    TFloatDlgSkin floating;
    ReadFloatDlgSkin(skin, &floating);
    add(floating.showWindow ? L"floating window shown" : L"floating window hidden");
    return line;
}

// The pattern's next number at text[at], as the C library reads "%d" or
// "%x": blanks, a sign (decimal only), then digits. False when none.
bool ReadNumber(const wchar_t* text, size_t& at, bool hex)
{
    while (std::iswspace(text[at]))
        ++at;
    if (!hex && (text[at] == L'-' || text[at] == L'+'))
        ++at;
    if (hex && text[at] == L'0' && (text[at + 1] == L'x' || text[at + 1] == L'X') && std::iswxdigit(text[at + 2]))
        at += 2;
    long long value = 0;
    size_t digits = 0;
    for (; hex ? std::iswxdigit(text[at]) : std::iswdigit(text[at]); ++at, ++digits) {
        const int digit = std::iswdigit(text[at]) ? text[at] - L'0' : (std::towlower(text[at]) - L'a' + 10);
        value = value * (hex ? 16 : 10) + digit;
        if (value > (hex ? 0xFFFFFFFFLL : 0x80000000LL))
            return false;  // beyond 32 bits: the reader's result is not the number written
    }
    return digits > 0;
}

}  // namespace

bool IsWholeNumberValue(const wchar_t* text, const wchar_t* pattern)
{
    if (text == nullptr || pattern == nullptr)
        return false;
    size_t at = 0;
    for (const wchar_t* p = pattern; *p != 0; ++p) {
        if (p[0] == L'%' && (p[1] == L'd' || p[1] == L'x')) {
            if (!ReadNumber(text, at, p[1] == L'x'))
                return false;
            ++p;
        } else if (*p == L' ') {
            while (std::iswspace(text[at]))
                ++at;
        } else if (text[at++] != *p) {
            return false;
        }
    }
    while (std::iswspace(text[at]))
        ++at;
    return text[at] == 0;
}

SkinCheckResult CheckSkin(const wchar_t* folder)
{
    SkinCheckResult result;
    CSkin skin;
    if (folder == nullptr || !skin.Open(folder)) {
        result.findings.push_back({L"", folder ? WhyNotOpened(folder) : L"no skin folder"});
        return result;
    }
    result.starts = true;
    XmlNode root;
    if (skin.Document().Select(skinpath::kRoot) && skin.Document().NextMatch(nullptr, nullptr, nullptr, &root))
        Checker(skin, &result).Walk(root, skinpath::kRoot, skinpath::kRoot);
    result.summary = Summary(skin);
    return result;
}

}  // namespace kivra
