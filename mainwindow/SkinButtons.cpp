#include "mainwindow/SkinButtons.h"

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "config/SkinButton.h"
#include "controls/ImageButton.h"
#include "framework/Text.h"
#include "mainwindow/CommandIds.h"

namespace kivra {

namespace {

void SetUpSharedFaces(TToolBarSkin& header, ButtonRegistry& buttons)
{
    TSharedButtonImages& shared = buttons.SharedImages();
    shared = TSharedButtonImages{};
    shared.maskColor = header.maskColor;
    const bool complete = header.imageList != nullptr && header.imageWidth != 0 && header.imageHeight != 0 &&
                          header.normalButtonImage != nullptr && header.hoverButtonImage != nullptr;
    if (!complete)
        return;  // the header frees its pictures
    shared.strip = header.imageList.get();
    shared.normal = header.normalButtonImage.get();
    shared.hover = header.hoverButtonImage.get();
    shared.iconSize = {header.imageWidth, header.imageHeight};
    // The registry keeps them for as long as the buttons draw them.
    buttons.KeepSharedImages(std::move(header.imageList), std::move(header.normalButtonImage),
                             std::move(header.hoverButtonImage));
}

}  // namespace

void CreateSkinButton(TSkinButton& record, const CLanguageTable& language, CommandRegistry& commands,
                      ButtonRegistry& buttons, const TButtonHost& host)
{
    TButtonEntry entry;
    CopyText(entry.name, record.name);
    NarrowName(entry.owner, record.owner);
    NarrowName(entry.service, record.service);
    entry.skinRect = record.rect;

    wchar_t tooltip[kSkinTextSize];
    language.Translate(record.tooltip, tooltip);
    const unsigned id = ButtonCommandId(commands, record, tooltip);
    wchar_t caption[kSkinTextSize];
    language.Translate(record.string, caption);

    auto button = std::make_unique<CImageButton>();
    const RECT placed = host.resolve ? host.resolve(record.rect) : record.rect;
    if (!button->Create(host.window, placed, id, caption))
        return;  // the record frees its pictures
    if (tooltip[0] != 0) {
        entry.tooltip = tooltip;
        AddButtonTooltip(host.tooltip, host.window, button->Handle(), tooltip);  // when it is made already
    }

    // The button shares its five faces with the buttons that show the same
    // pictures, and their stretched copies with those of its size.
    button->SetSharedImages(&buttons.SharedImages());
    button->SetImage(std::move(record.image), kButtonImageNormal);
    button->SetImage(std::move(record.disable), kButtonImageDisabled);
    button->SetImage(std::move(record.down), kButtonImagePressed);
    button->SetImage(std::move(record.hover), kButtonImageHover);
    button->SetImage(std::move(record.focus), kButtonImageFocus);

    button->SetUseSharedImages(record.inherit);
    if (buttons.SharedImages().strip != nullptr)
        button->SetSharedTile(record.imageIndex);
    if (record.imageList != nullptr && record.imageWidth != 0 && record.imageHeight != 0) {
        button->SetStrip(record.imageList.get(), record.imageWidth, record.imageHeight);
        entry.strip = std::move(record.imageList);  // drawn from for the button's life
    }
    std::optional<LOGFONTW> base = host.captionFont;
    if (!base) {
        LOGFONTW read;
        if (CaptionBaseFont(host.window, &read))
            base = read;
    }
    HFONT font = base ? buttons.Font(CaptionFont(*base, record.fontSize, record.fontWeight, record.fontFace)) : nullptr;
    button->SetTextFont(font, record.fontColor);
    if (!record.visable)
        button->Hide();

    entry.button = std::move(button);
    buttons.Add(std::move(entry));
}

void CreateSkinButtons(CConfigure& configure, CommandRegistry& commands, ButtonRegistry& buttons,
                       const TButtonHost& host)
{
    CSkin& skin = configure.Skin();
    TToolBarSkin header = {};
    if (!ReadToolBar(skin, &header))
        return;
    // All records first: the reading holds the skin document's node cursor.
    // Their faces are mostly the same few files, looked at on disk once.
    std::vector<TSkinButton> records;
    {
        const CSkin::PictureBatch batch(skin);
        TSkinButton record{};
        while (ReadNextButton(skin, &record))
            records.push_back(std::move(record));
    }

    SetUpSharedFaces(header, buttons);
    // Asked of the window once: a thousand buttons would ask a thousand times.
    TButtonHost each = host;
    if (!each.captionFont) {
        LOGFONTW base;
        if (CaptionBaseFont(host.window, &base))
            each.captionFont = base;
    }
    for (TSkinButton& button : records) {
        char owner[kSkinTextSize];
        char service[kSkinTextSize];
        NarrowName(owner, button.owner);
        NarrowName(service, button.service);
        const bool kept = configure.ButtonOwnerAccepted(button.owner);
        if (kept && host.convertDialogUnits)
            host.convertDialogUnits(&button.rect);
        const bool bound = owner[0] != 0 && host.ownerIsBound && host.ownerIsBound(owner);
        if (kept && SkinButtonIsCreated(owner, service, bound))
            CreateSkinButton(button, configure.Language(), commands, buttons, each);
        // What a created button did not take over is freed with the records.
    }
}

void PlaceButtons(ButtonRegistry& buttons, const TButtonHost& host)
{
    buttons.ForEachButton([&host](TButtonEntry& entry) {
        const RECT placed = host.resolve ? host.resolve(entry.skinRect) : entry.skinRect;
        entry.button->Move(placed, true);
    });
}

}  // namespace kivra
