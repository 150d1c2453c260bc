#include "config/SkinFrame.h"

#include <cwchar>
#include <string>
#include <utility>

#include "config/SkinKeys.h"
#include "config/Values.h"
#include "framework/Text.h"

namespace kivra {

bool ReadImagePieces(CSkin& skin, const wchar_t* path, bool keepWithoutBitmap, std::vector<TSkinImage>* pieces)
{
    CXmlDocument& document = skin.Document();
    if (pieces == nullptr || !document.Select(path))
        return false;

    std::wstring fileName;
    XmlNode node;
    while (document.NextMatch(nullptr, nullptr, &fileName, &node)) {
        TSkinImage piece{};
        skin.LoadSkinImage(fileName.c_str(), &piece.bitmap);
        if (!piece.bitmap && !keepWithoutBitmap)
            continue;
        if (document.OpenAttributes(node)) {
            std::wstring name, value;
            while (document.NextAttribute(&name, &value)) {
                if (name == L"from")
                    piece.from = ParseRect(value.c_str());
                else if (name == L"to")
                    piece.to = ParseRect(value.c_str());
            }
        }
        pieces->push_back(std::move(piece));
    }
    return true;
}

bool ReadTitleBar(CSkin& skin, std::vector<TSkinImage>* images, TSkinButton (&buttons)[kTitleBarButtonCount])
{
    if (!ReadImagePieces(skin, skinpath::kTitleBarImage, false, images))
        return false;

    CXmlDocument& document = skin.Document();
    if (!document.Select(skinpath::kTitleBarButton))
        return false;
    for (TSkinButton& button : buttons)
        button = TSkinButton{};

    // A fourth and further button element is not read.
    XmlNode node;
    for (size_t count = 0; count < kTitleBarButtonCount && document.NextMatch(nullptr, nullptr, nullptr, &node);
         ++count) {
        TSkinButton& button = buttons[count];
        if (!document.OpenAttributes(node))
            continue;
        std::wstring name, value;
        while (document.NextAttribute(&name, &value)) {
            if (name == L"id") {
                CopyText(button.owner, value.c_str());
            } else if (name == L"image") {
                skin.LoadSkinImage(value.c_str(), &button.image);
            } else if (name == L"hover") {
                skin.LoadSkinImage(value.c_str(), &button.hover);
            }
        }
    }
    return true;
}

bool ReadStatusBar(CXmlDocument& skinDocument, bool* show)
{
    if (show == nullptr || !skinDocument.Select(skinpath::kStatusBar))
        return false;
    *show = false;
    std::wstring value;
    if (skinDocument.NextMatch(L"show", &value, nullptr, nullptr))
        *show = ParseTrueTestFlag(value.c_str());
    return skinDocument.Select(skinpath::kStatusBarItem);
}

bool ReadStatusItems(CXmlDocument& skinDocument, std::vector<TStatusItem>* items)
{
    if (items == nullptr)
        return false;
    XmlNode node;
    while (skinDocument.NextMatch(nullptr, nullptr, nullptr, &node)) {
        if (!skinDocument.OpenAttributes(node))
            continue;
        TStatusItem item{};
        bool named = false;
        std::wstring name, value;
        while (skinDocument.NextAttribute(&name, &value)) {
            if (name == L"name") {
                NarrowName(item.name, value.c_str());
                named = true;
            } else if (name == L"cmdid") {
                item.cmdid = ParseHex(value.c_str(), 0);
                named = true;
            } else if (name == L"width") {
                item.width = static_cast<int>(ParseHex(value.c_str(), 0));
            }
        }
        // A width alone names no pane.
        if (named)
            items->push_back(item);
    }
    return true;
}

bool ReadBackground(CSkin& skin, std::vector<TSkinImage>* images)
{
    return ReadImagePieces(skin, skinpath::kBackgroundImage, true, images);
}

void ReadMainFrame(CXmlDocument& skinDocument, TMainFrameSkin* values)
{
    if (values == nullptr)
        return;
    // Starts from the defaults, so the mask colour of a skin that names none
    // is kDefaultMaskColor, the value the frame context starts from.
    *values = TMainFrameSkin{};

    std::wstring text;
    if (skinDocument.ReadText(skinpath::kMainFrameAbnormalWindow, &text))
        values->abnormalWindow = ParseTrueTestFlag(text.c_str());
    if (skinDocument.ReadText(skinpath::kMainFrameMaskColor, &text))
        values->maskColor = ParseColor(text.c_str());
    if (skinDocument.ReadText(skinpath::kMainFrameWindowSize, &text)) {
        IntPair size = ParseSpacedPair(text.c_str());
        values->windowWidth = size.first;
        values->windowHeight = size.second;
    }
    if (skinDocument.ReadText(skinpath::kMainFramePluginWindowSameSize, &text))
        values->pluginWindowSameSize = ParseTrueTestFlag(text.c_str());
    if (skinDocument.ReadText(skinpath::kMainFrameFitSizeToPlugin, &text))
        values->fitSizeToPlugin = ParseTrueTestFlag(text.c_str());
}

bool ReadStartService(CXmlDocument& skinDocument, char (&service)[kSkinTextSize])
{
    CopyText(service, nullptr);
    std::wstring text;
    if (!skinDocument.ReadText(skinpath::kMainFrameStartService, &text) || text.empty())
        return false;
    NarrowName(service, text.c_str());
    return true;
}

}  // namespace kivra
