#include "config/SkinWindows.h"

#include <cwchar>
#include <string>

#include "config/SkinFrame.h"
#include "config/SkinKeys.h"
#include "config/Values.h"
#include "framework/Text.h"

namespace kivra {

bool ReadMaxWindow(CXmlDocument& skinDocument, TMaxWindowSkin* values)
{
    if (values == nullptr)
        return false;
    *values = TMaxWindowSkin{};

    XmlNode node;
    if (!skinDocument.Select(skinpath::kMaxWindow) ||
        !skinDocument.NextMatch(nullptr, nullptr, nullptr, &node))
        return false;
    TAttributeEntry rows[] = {{L"enable", L""}};
    skinDocument.ReadAttributeTable(node, rows);
    // Empty stays off; "FALSE" and "falsehood" are off too.
    values->enabled = ParseFalseTestFlag(AttributeValue(rows, L"enable"), false);
    if (!values->enabled)
        return true;

    std::wstring text;
    if (skinDocument.ReadText(skinpath::kMaxWindowSize, &text)) {
        IntPair size = ParsePair(text.c_str());
        values->width = size.first;
        values->height = size.second;
    }
    if (skinDocument.ReadText(skinpath::kMaxWindowPanelRect, &text))
        values->panelRect = ParseRect(text.c_str());
    if (skinDocument.ReadText(skinpath::kMaxWindowGetPanelService, &text))
        NarrowName(values->getMaxPanelService, text.c_str());
    if (skinDocument.ReadText(skinpath::kMaxWindowRightButtonService, &text))
        NarrowName(values->rightButtonService, text.c_str());
    return true;
}

bool ReadMaxBackground(CSkin& skin, std::vector<TSkinImage>* images)
{
    return ReadImagePieces(skin, skinpath::kMaxWindowBackImagePiece, false, images);
}

void ReadNotifierSkin(CSkin& skin, TNotifierSkin* values)
{
    if (values == nullptr)
        return;
    values->image.reset();
    values->hasTextRect = false;

    CXmlDocument& document = skin.Document();
    std::wstring text;
    if (!document.ReadText(skinpath::kNotifierTextRect, &text))
        return;
    values->hasTextRect = true;
    if (!text.empty())
        values->textRect = ParseRect(text.c_str());
    if (!document.ReadText(skinpath::kNotifierImage, &text))
        return;
    skin.LoadSkinImage(text.c_str(), &values->image);
}

bool ReadFloatDlgSkin(CSkin& skin, TFloatDlgSkin* values)
{
    if (values == nullptr)
        return false;
    *values = TFloatDlgSkin{};

    CXmlDocument& document = skin.Document();
    std::wstring text;
    if (!document.ReadText(skinpath::kFloatDlgShowWindow, &text))
        return false;
    values->showWindow = ParseTrueTestFlag(text.c_str());
    if (document.ReadText(skinpath::kFloatDlgEnableMenuItem, &text))
        values->enableMenuItem = wcscmp(text.c_str(), L"false") != 0;
    if (!document.ReadText(skinpath::kFloatDlgNormalLayer, &text))
        return false;
    values->normalOpacity = static_cast<BYTE>(ParseDecimal(text.c_str(), 0) & 0xFF);
    if (!document.ReadText(skinpath::kFloatDlgHoverLayer, &text))
        return false;
    values->hoverOpacity = static_cast<BYTE>(ParseDecimal(text.c_str(), 0) & 0xFF);
    if (!document.ReadText(skinpath::kFloatDlgBackgroundImage, &text))
        return false;
    // An empty name names no image, and a path that does not fit is rejected.
    if (!text.empty() &&
        !(CopyText(values->backgroundImagePath, skin.SkinFolder()) &&
          AppendText(values->backgroundImagePath, text.c_str())))
        CopyText(values->backgroundImagePath, nullptr);
    return true;
}

}  // namespace kivra
