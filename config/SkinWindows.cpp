#include "config/SkinWindows.h"

#include <cwchar>
#include <string>

#include "config/SkinFrame.h"
#include "config/Values.h"
#include "framework/Text.h"

namespace kivra {

bool ReadMaxWindow(CXmlDocument& skinDocument, TMaxWindowSkin* values)
{
    if (values == nullptr)
        return false;
    *values = TMaxWindowSkin{};

    XmlNode node;
    if (!skinDocument.Select(L"skin/max-window-service") ||
        !skinDocument.NextMatch(nullptr, nullptr, nullptr, &node))
        return false;
    TAttributeEntry rows[] = {{L"enable", L""}};
    skinDocument.ReadAttributeTable(node.get(), rows);
    // Empty stays off; "FALSE" and "falsehood" are off too.
    values->enabled = ParseFalseTestFlag(AttributeValue(rows, L"enable"), false);
    if (!values->enabled)
        return true;

    std::wstring text;
    if (skinDocument.ReadText(L"skin/max-window-service/max-window-size", &text)) {
        IntPair size = ParsePair(text.c_str());
        values->width = size.first;
        values->height = size.second;
    }
    if (skinDocument.ReadText(L"skin/max-window-service/max-panel-rect", &text))
        values->panelRect = ParseRect(text.c_str());
    if (skinDocument.ReadText(L"skin/max-window-service/get_max_panel-service", &text))
        NarrowName(values->getMaxPanelService, text.c_str());
    if (skinDocument.ReadText(L"skin/max-window-service/right-button-service", &text))
        NarrowName(values->rightButtonService, text.c_str());
    return true;
}

bool ReadMaxBackground(CSkin& skin, std::vector<TSkinImage>* images)
{
    return ReadImagePieces(skin, L"skin/max-window-service/max-back-image/image", false, images);
}

void ReadNotifierSkin(CSkin& skin, TNotifierSkin* values)
{
    if (values == nullptr)
        return;
    values->image.reset();
    values->hasTextRect = false;

    CXmlDocument& document = skin.Document();
    std::wstring text;
    if (!document.ReadText(L"skin/notifier-window/text-rect", &text))
        return;
    values->hasTextRect = true;
    if (!text.empty())
        values->textRect = ParseRect(text.c_str());
    if (!document.ReadText(L"skin/notifier-window/image", &text))
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
    if (!document.ReadText(L"skin/float-dlg/show-window", &text))
        return false;
    values->showWindow = ParseTrueTestFlag(text.c_str());
    if (document.ReadText(L"skin/float-dlg/enable-menu-item", &text))
        values->enableMenuItem = wcscmp(text.c_str(), L"false") != 0;
    if (!document.ReadText(L"skin/float-dlg/normal-transparent-layer", &text))
        return false;
    values->normalOpacity = static_cast<BYTE>(ParseDecimal(text.c_str(), 0) & 0xFF);
    if (!document.ReadText(L"skin/float-dlg/hover-transparent-layer", &text))
        return false;
    values->hoverOpacity = static_cast<BYTE>(ParseDecimal(text.c_str(), 0) & 0xFF);
    if (!document.ReadText(L"skin/float-dlg/backgroud-image", &text))
        return false;
    // An empty name names no image, and a path that does not fit is rejected.
    if (!text.empty() &&
        !(CopyText(values->backgroundImagePath, skin.SkinFolder()) &&
          AppendText(values->backgroundImagePath, text.c_str())))
        CopyText(values->backgroundImagePath, nullptr);
    return true;
}

}  // namespace kivra
