#include "mainwindow/ToolArea.h"

#include <memory>
#include <string>
#include <vector>

#include "config/SkinToolArea.h"
#include "controls/ToolBarEx.h"
#include "framework/ControlBars.h"
#include "mainwindow/CommandIds.h"

namespace kivra {

bool BuildToolBar(HWND mainWindow, TToolAreaSkin& tool, const CLanguageTable& language, CommandRegistry& commands)
{
    auto bar = std::make_unique<CToolBarEx>();
    const SIZE buttonSize = {tool.buttonWidth, tool.buttonHeight};
    const SIZE imageSize = {tool.imageWidth, tool.imageHeight};
    if (!bar->Create(mainWindow, buttonSize, imageSize, kToolBarId))
        return false;
    if (tool.image != nullptr)
        bar->SetButtonImages(tool.image.get());
    if (tool.backgroundColor != 0)
        bar->SetBackgroundColour(tool.backgroundColor);
    bar->SetBackgroundImage(tool.backgroundImage.get());
    bar->SetLogo(tool.logoImage.get());

    // The tooltips (also the button labels) are text ids of the language file.
    std::vector<UINT> ids;
    std::vector<std::wstring> labels;
    for (const TToolItem& item : tool.items) {
        wchar_t tooltip[kSkinTextSize];
        language.Translate(item.tooltip, tooltip);
        ids.push_back(ToolItemCommandId(commands, item, tooltip));
        labels.push_back(item.tooltip[0] != 0 ? tooltip : L"");
    }
    // The bar made its own copies of the pictures (the strip went into its
    // image list, the background and the logo into brushes); the record frees
    // the originals.
    if (ids.empty())
        return false;  // the bar is destroyed with its object

    bar->SetButtons(ids);
    bar->SetOneOfMany(tool.selfocus != 0);
    for (size_t i = 0; i < ids.size(); ++i)
        if (ids[i] != 0 && !labels[i].empty())
            bar->SetButtonText(ids[i], labels[i]);
    bar->SetCommandTooltip([&commands](UINT id) {
        std::wstring text;
        commands.GetTooltip(id, &text);
        return text;
    });
    commands.AddToolBar(std::move(bar));
    return true;
}

void BuildToolArea(HWND mainWindow, CSkin& skin, const CLanguageTable& language, CommandRegistry& commands)
{
    ReadToolArea(skin, [&](TToolAreaSkin& tool) { BuildToolBar(mainWindow, tool, language, commands); });
}

}  // namespace kivra
