#include "config/SkinToolArea.h"

#include <string>
#include <utility>

#include "config/SkinKeys.h"
#include "config/Values.h"
#include "framework/Text.h"

namespace kivra {

namespace {

void ReadToolAttributes(CSkin& skin, const XmlNode& node, TToolAreaSkin* tool)
{
    CXmlDocument& document = skin.Document();
    if (!document.OpenAttributes(node))
        return;
    std::wstring name, value;
    while (document.NextAttribute(&name, &value)) {
        if (name == L"image") {
            skin.LoadSkinImage(value.c_str(), &tool->image);
        } else if (name == L"background-color") {
            tool->backgroundColor = ParseSpacedColor(value.c_str());
        } else if (name == L"background-image") {
            skin.LoadSkinImage(value.c_str(), &tool->backgroundImage);
        } else if (name == L"logo-image") {
            skin.LoadSkinImage(value.c_str(), &tool->logoImage);
        } else if (name == L"button-size") {
            IntPair size = ParsePair(value.c_str());
            tool->buttonWidth = size.first;
            tool->buttonHeight = size.second;
        } else if (name == L"image-size") {
            IntPair size = ParsePair(value.c_str());
            tool->imageWidth = size.first;
            tool->imageHeight = size.second;
        } else if (name == L"selfocus") {
            tool->selfocus = ParseTrueTestFlag(value.c_str()) ? 1 : 0;
        }
    }
}

void ReadToolItem(CSkin& skin, const XmlNode& node, TToolItem* item)
{
    CXmlDocument& document = skin.Document();
    if (!document.OpenAttributes(node))
        return;
    std::wstring name, value;
    while (document.NextAttribute(&name, &value)) {
        if (name == L"name")
            CopyText(item->name, value.c_str());
        else if (name == L"image")
            skin.LoadSkinImage(value.c_str(), &item->image);
        else if (name == L"tooltip")
            CopyText(item->tooltip, value.c_str());
        else if (name == L"service")
            NarrowName(item->service, value.c_str());
        else if (name == L"cmdid")
            item->cmdid = ParseHex(value.c_str(), 0);
    }
}

}  // namespace

void ReadToolArea(CSkin& skin, const std::function<void(TToolAreaSkin& tool)>& onTool)
{
    std::vector<TToolAreaSkin> tools = ReadToolArea(skin);
    if (onTool)
        for (TToolAreaSkin& tool : tools)
            onTool(tool);
}

std::vector<TToolAreaSkin> ReadToolArea(CSkin& skin)
{
    std::vector<TToolAreaSkin> tools;
    CXmlDocument& document = skin.Document();
    if (!document.Select(skinpath::kTool))
        return tools;
    // Takes all elements first: reading their attributes and children does
    // not touch the node cursor, but the callback above may.
    std::vector<XmlNode> nodes;
    XmlNode node;
    while (document.NextMatch(nullptr, nullptr, nullptr, &node))
        nodes.push_back(std::move(node));

    for (const XmlNode& element : nodes) {
        TToolAreaSkin tool{};
        ReadToolAttributes(skin, element, &tool);
        XmlNode child;
        std::wstring elementName;
        while (NextChildElement(element, &child, &elementName)) {
            if (elementName == L"item") {
                TToolItem item{};
                ReadToolItem(skin, child, &item);
                tool.items.push_back(std::move(item));
            } else if (elementName == L"separator") {
                tool.items.push_back(TToolItem{});
            }
        }
        tools.push_back(std::move(tool));
    }
    return tools;
}

}  // namespace kivra
