#include "config/SkinMenu.h"

#include <cwchar>
#include <utility>

#include "config/SkinKeys.h"
#include "config/Values.h"
#include "framework/Text.h"

namespace kivra {

namespace {

struct PopupTypeName {
    const wchar_t* text;
    int code;
};

constexpr PopupTypeName kPopupTypes[] = {
    {L"left-top-up", kMenuPopupLeftTopUp},         {L"right-bottom-up", kMenuPopupRightBottomUp},
    {L"right-bottom-down", kMenuPopupRightBottomDown}, {L"right-top-up", kMenuPopupRightTopUp},
    {L"right-top-down", kMenuPopupRightTopDown},   {L"mouse", kMenuPopupMouse},
};

// "%u" fields; the ones that cannot be read keep preset (-1 for "none").
void ReadPositions(const wchar_t* text, const wchar_t* format, int* first, int* second)
{
    unsigned a = static_cast<unsigned>(*first);
    unsigned b = second ? static_cast<unsigned>(*second) : 0;
    if (text[0] != 0) {
        if (second)
            swscanf(text, format, &a, &b);
        else
            swscanf(text, format, &a);
    }
    *first = static_cast<int>(a);
    if (second)
        *second = static_cast<int>(b);
}

void ReadHeader(CSkin& skin, const XmlNode& node, TMenuSkin* menu)
{
    TAttributeEntry rows[] = {
        {L"popup-type", L""},      {L"group-radio-checked", L""}, {L"default-checked", L""},
        {L"image-list", L""},      {L"image-size", L""},          {L"mask-color", L""},
        {L"normal-item-image", L""}, {L"hover-item-image", L""},  {L"unchecked-image", L""},
        {L"checked-image", L""},
    };
    // A header that cannot be read leaves the defaults; the items are read anyway.
    if (!skin.Document().ReadAttributeTable(node, rows))
        return;

    const wchar_t* popupType = AttributeValue(rows, L"popup-type");
    for (const PopupTypeName& type : kPopupTypes)
        if (wcscmp(popupType, type.text) == 0)
            menu->popupType = type.code;
    ReadPositions(AttributeValue(rows, L"group-radio-checked"), L"%u,%u", &menu->radioFirst, &menu->radioLast);
    ReadPositions(AttributeValue(rows, L"default-checked"), L"%u", &menu->defaultChecked, nullptr);
    skin.LoadSkinImage(AttributeValue(rows, L"image-list"), &menu->imageList);
    IntPair size = ParsePair(AttributeValue(rows, L"image-size"));
    menu->imageWidth = size.first;
    menu->imageHeight = size.second;
    menu->maskColor = ParseColor(AttributeValue(rows, L"mask-color"));
    skin.LoadSkinImage(AttributeValue(rows, L"normal-item-image"), &menu->normalItemImage);
    skin.LoadSkinImage(AttributeValue(rows, L"hover-item-image"), &menu->hoverItemImage);
    skin.LoadSkinImage(AttributeValue(rows, L"unchecked-image"), &menu->uncheckedImage);
    skin.LoadSkinImage(AttributeValue(rows, L"checked-image"), &menu->checkedImage);
}

// Item attribute names are compared exactly.
void ReadItem(CSkin& skin, const XmlNode& node, TMenuItemSkin* item)
{
    CXmlDocument& document = skin.Document();
    if (!document.OpenAttributes(node))
        return;
    std::wstring name, value;
    while (document.NextAttribute(&name, &value)) {
        const wchar_t* text = value.c_str();
        if (name == L"cmdid") {
            item->cmdid = ParseHex(text, 0);
        } else if (name == L"name") {
            CopyText(item->name, text);
        } else if (name == L"string") {
            CopyText(item->string, text);
        } else if (name == L"tooltip") {
            CopyText(item->tooltip, text);
        } else if (name == L"service") {
            NarrowName(item->service, text);
        } else if (name == L"enable") {
            item->enabled = wcscmp(text, L"false") == 0 ? 0 : 1;
        } else if (name == L"clicked-checked") {
            item->checkToggle = _wcsicmp(text, L"false") == 0 ? 0 : 1;
        } else if (name == L"unchecked-image") {
            skin.LoadSkinImage(text, &item->uncheckedImage);
        } else if (name == L"checked-image") {
            skin.LoadSkinImage(text, &item->checkedImage);
        } else if (name == L"image-index") {
            item->imageIndex = ParseDecimal(text, 0);
        }
    }
}

}  // namespace

bool SelectMenus(CSkin& skin)
{
    return skin.Document().Select(skinpath::kMenu);
}

bool ReadMenu(CSkin& skin, const wchar_t* keyAttribute, std::wstring* keyText, TMenuSkin* menu,
              std::vector<TMenuItemSkin>* items)
{
    if (keyAttribute == nullptr || keyAttribute[0] == 0 || keyText == nullptr || menu == nullptr ||
        items == nullptr)
        return false;

    CXmlDocument& document = skin.Document();
    XmlNode node;
    std::wstring key;
    for (;;) {
        if (!document.NextMatch(keyAttribute, &key, nullptr, &node))
            return false;
        if (keyText->empty() || key == *keyText)
            break;
    }
    *keyText = key;

    *menu = TMenuSkin{};
    menu->radioFirst = -1;
    menu->radioLast = -1;
    menu->defaultChecked = -1;
    ReadHeader(skin, node, menu);

    XmlNode child;
    std::wstring elementName;
    while (NextChildElement(node, &child, &elementName)) {
        if (elementName != L"item" && elementName != L"separator")
            continue;
        TMenuItemSkin item{};
        item.enabled = 1;
        if (elementName == L"item")
            ReadItem(skin, child, &item);
        items->push_back(std::move(item));
    }
    return true;
}

}  // namespace kivra
