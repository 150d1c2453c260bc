#include "config/SkinButton.h"

#include "config/SkinKeys.h"
#include "config/Values.h"
#include "framework/Text.h"

namespace kivra {

bool ReadToolBar(CSkin& skin, TToolBarSkin* header)
{
    CXmlDocument& document = skin.Document();
    if (header == nullptr || !document.Select(skinpath::kToolBar))
        return false;
    XmlNode node;
    if (!document.NextMatch(nullptr, nullptr, nullptr, &node))
        return false;

    TAttributeEntry rows[] = {
        {L"image-list", L""},          {L"image-size", L""}, {L"normal-button-image", L""},
        {L"hover-button-image", L""}, {L"mask-color", L""},
    };
    if (document.ReadAttributeTable(node, rows)) {
        skin.LoadSkinImage(AttributeValue(rows, L"image-list"), &header->imageList);
        skin.LoadSkinImage(AttributeValue(rows, L"normal-button-image"), &header->normalButtonImage);
        skin.LoadSkinImage(AttributeValue(rows, L"hover-button-image"), &header->hoverButtonImage);
        IntPair size = ParsePair(AttributeValue(rows, L"image-size"));
        header->imageWidth = size.first;
        header->imageHeight = size.second;
        header->maskColor = ParseColor(AttributeValue(rows, L"mask-color"));
    }
    return document.Select(skinpath::kToolBarButton);
}

bool ReadNextButton(CSkin& skin, TSkinButton* button)
{
    CXmlDocument& document = skin.Document();
    XmlNode node;
    if (button == nullptr || !document.NextMatch(nullptr, nullptr, nullptr, &node))
        return false;

    // The 21 button attributes, in the order skins have always listed them.
    TAttributeEntry rows[] = {
        {L"owner", L""},       {L"name", L""},       {L"string", L""},      {L"tooltip", L""},
        {L"service", L""},     {L"cmdid", L""},      {L"image-index", L""}, {L"rect", L""},
        {L"image", L""},       {L"hover", L""},      {L"focus", L""},       {L"down", L""},
        {L"disable", L""},     {L"visable", L""},    {L"inherit", L""},     {L"image-list", L""},
        {L"image-size", L""},  {L"font-color", L""}, {L"font-size", L""},   {L"font-weight", L""},
        {L"font-face", L""},
    };
    static_assert(sizeof(rows) / sizeof(rows[0]) == 21);
    if (!document.ReadAttributeTable(node, rows))
        return false;

    TSkinButton& b = *button;
    b = TSkinButton{};
    CopyText(b.owner, AttributeValue(rows, L"owner"));
    NarrowName(b.name, AttributeValue(rows, L"name"));
    CopyText(b.string, AttributeValue(rows, L"string"));
    CopyText(b.tooltip, AttributeValue(rows, L"tooltip"));
    CopyText(b.service, AttributeValue(rows, L"service"));
    b.cmdid = ParseHex(AttributeValue(rows, L"cmdid"), 0);
    b.imageIndex = ParseDecimal(AttributeValue(rows, L"image-index"), -1);

    skin.LoadSkinImage(AttributeValue(rows, L"image"), &b.image);
    skin.LoadSkinImage(AttributeValue(rows, L"hover"), &b.hover);
    skin.LoadSkinImage(AttributeValue(rows, L"focus"), &b.focus);
    skin.LoadSkinImage(AttributeValue(rows, L"down"), &b.down);
    skin.LoadSkinImage(AttributeValue(rows, L"disable"), &b.disable);
    skin.LoadSkinImage(AttributeValue(rows, L"image-list"), &b.imageList);

    b.rect = ParseRect(AttributeValue(rows, L"rect"));
    IntPair size = ParsePair(AttributeValue(rows, L"image-size"));
    b.imageWidth = size.first;
    b.imageHeight = size.second;
    b.visable = ParseFalseTestFlag(AttributeValue(rows, L"visable"), true);
    b.inherit = ParseFalseTestFlag(AttributeValue(rows, L"inherit"), true);
    b.fontColor = ParseColor(AttributeValue(rows, L"font-color"));
    b.fontSize = ParseDecimal(AttributeValue(rows, L"font-size"), -1);
    b.fontWeight = ParseDecimal(AttributeValue(rows, L"font-weight"), -1);
    CopyText(b.fontFace, AttributeValue(rows, L"font-face"));
    return true;
}

}  // namespace kivra
