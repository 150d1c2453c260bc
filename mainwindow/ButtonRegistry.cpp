#include "mainwindow/ButtonRegistry.h"

#include <commctrl.h>

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <string>

#include "controls/ImageButton.h"
#include "framework/Text.h"

namespace kivra {

namespace {

bool SameName(const char* a, const char* b)
{
    return std::strncmp(a, b, KIVRA_NAME_SIZE) == 0;
}

bool Matches(const char* wanted, const char* have)
{
    return wanted[0] != 0 && SameName(wanted, have);
}

}  // namespace

bool SkinButtonIsCreated(const char* owner, const char* service, bool ownerIsBound)
{
    if (SameName(owner, kSystemButtonOwner))
        return true;
    if (owner[0] == 0)
        return service[0] != 0;
    return ownerIsBound;
}

ButtonRegistry::~ButtonRegistry()
{
    // The buttons go before the shared faces and fonts they draw with.
    entries_.clear();
    unlisted_.clear();
}

TButtonEntry* ButtonRegistry::Add(TButtonEntry entry)
{
    // Name, owner and service, each to its end: a thousand-button skin would
    // compare each new button with every listed one.
    std::string key;
    for (const char* field : {entry.name, entry.owner, entry.service})
        key.append(field, strnlen(field, KIVRA_NAME_SIZE)).push_back('\0');
    if (!listedKeys_.insert(std::move(key)).second) {
        unlisted_.push_back(std::move(entry));
        return nullptr;
    }
    entries_.push_back(std::move(entry));
    return &entries_.back();
}

TButtonEntry* ButtonRegistry::FindForChange(const char* name, const char* owner, const char* service)
{
    for (TButtonEntry& entry : entries_)
        if (Matches(name, entry.name) || Matches(owner, entry.owner) || Matches(service, entry.service))
            return &entry;
    return nullptr;
}

void ButtonRegistry::ForEachButton(const std::function<void(TButtonEntry& entry)>& visit)
{
    for (TButtonEntry& entry : entries_)
        if (entry.button)
            visit(entry);
}

HFONT ButtonRegistry::Font(const LOGFONTW& description)
{
    // Every field before the face name, then the face name up to its end
    // (what follows the terminator is left over from the base font).
    const auto same = [&description](const LOGFONTW& have) {
        return std::memcmp(&have, &description, offsetof(LOGFONTW, lfFaceName)) == 0 &&
               std::wcsncmp(have.lfFaceName, description.lfFaceName, LF_FACESIZE) == 0;
    };
    for (const auto& [have, font] : fonts_)
        if (same(have))
            return font.get();
    UniqueFont made(::CreateFontIndirectW(&description));
    if (!made)
        return nullptr;
    fonts_.emplace_back(description, std::move(made));
    return fonts_.back().second.get();
}

void ButtonRegistry::KeepSharedImages(UniqueBitmap strip, UniqueBitmap normal, UniqueBitmap hover)
{
    sharedStrip_ = std::move(strip);
    sharedNormal_ = std::move(normal);
    sharedHover_ = std::move(hover);
}

namespace {

TOOLINFOW ButtonTool(HWND owner, HWND button, wchar_t* text)
{
    TOOLINFOW tool = {};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = owner;
    tool.uId = reinterpret_cast<UINT_PTR>(button);
    tool.lpszText = text;
    return tool;
}

}  // namespace

void AddButtonTooltip(HWND tooltip, HWND owner, HWND button, const wchar_t* text)
{
    if (tooltip == nullptr || button == nullptr)
        return;
    std::wstring copy = text != nullptr ? text : L"";
    TOOLINFOW tool = ButtonTool(owner, button, copy.data());
    ::SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void SetButtonTooltip(HWND tooltip, HWND owner, HWND button, const wchar_t* text)
{
    if (tooltip == nullptr || button == nullptr)
        return;
    // A tool known already is replaced with its new text.
    TOOLINFOW tool = ButtonTool(owner, button, nullptr);
    ::SendMessageW(tooltip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    AddButtonTooltip(tooltip, owner, button, text);
}

void AddButtonTooltips(ButtonRegistry& buttons, HWND tooltip)
{
    buttons.ForEachButton([tooltip](TButtonEntry& entry) {
        if (!entry.tooltip.empty() && entry.button)
            AddButtonTooltip(tooltip, entry.button->Parent(), entry.button->Handle(), entry.tooltip.c_str());
    });
}

bool ApplyButtonChange(ButtonRegistry& buttons, const TButtonChange& change, const ImageLoader& loadImage,
                       HWND tooltip)
{
    char name[KIVRA_NAME_SIZE], owner[KIVRA_NAME_SIZE], service[KIVRA_NAME_SIZE];
    NarrowName(name, change.name.c_str());
    NarrowName(owner, change.owner.c_str());
    NarrowName(service, change.service.c_str());
    TButtonEntry* entry = buttons.FindForChange(name, owner, service);
    if (entry == nullptr || !entry->button)
        return false;
    CImageButton& button = *entry->button;

    // In this order: normal, pressed, focus, hover, disabled.
    const struct {
        const std::wstring& file;
        int type;
    } faces[] = {
        {change.normalImage, kButtonImageNormal}, {change.downImage, kButtonImagePressed},
        {change.focusImage, kButtonImageFocus},   {change.hoverImage, kButtonImageHover},
        {change.disabledImage, kButtonImageDisabled},
    };
    for (const auto& face : faces) {
        const std::wstring& file = face.file;
        if (file.empty() || !loadImage)
            continue;
        // The face replaced goes once no other button shows it.
        if (SharedBitmap bitmap = loadImage(file.c_str()))
            button.SetImage(std::move(bitmap), face.type);
    }
    if (!change.caption.empty())
        button.SetText(change.caption.c_str());
    if (!change.tooltip.empty()) {
        entry->tooltip = change.tooltip;  // for a tooltip control made later
        SetButtonTooltip(tooltip, button.Parent(), button, change.tooltip.c_str());
    }
    button.Show(change.hide ? SW_HIDE : SW_SHOW);
    button.Invalidate(true);
    return true;
}

}  // namespace kivra
