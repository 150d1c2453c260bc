#include "mainwindow/SkinMenus.h"

#include <memory>
#include <utility>

#include "config/SkinMenu.h"
#include "config/SkinWindows.h"
#include "controls/MenuEx.h"
#include "framework/Text.h"
#include "mainwindow/CommandIds.h"
#include "mainwindow/CommandRegistry.h"
#include "plugin/ManagerPlugin.h"
#include "plugin/ServiceRegistry.h"

namespace kivra {

namespace {

struct TReadMenu {
    std::wstring key;
    TMenuSkin header = {};
    std::vector<TMenuItemSkin> items;
};

// Every menu element with keyAttribute, read before any is built: reading
// holds the skin document's node cursor.
std::vector<TReadMenu> ReadMenus(CSkin& skin, const wchar_t* keyAttribute)
{
    std::vector<TReadMenu> menus;
    if (!SelectMenus(skin))
        return menus;
    for (;;) {
        TReadMenu menu;
        if (!ReadMenu(skin, keyAttribute, &menu.key, &menu.header, &menu.items))
            break;
        menus.push_back(std::move(menu));
    }
    return menus;
}

void AppendItem(CMenuEx& menu, TMenuItemSkin& item, const TMenuSkin& header, const CLanguageTable& language,
                CommandRegistry& commands)
{
    wchar_t tooltip[kSkinTextSize];
    language.Translate(item.tooltip, tooltip);
    const unsigned id = MenuItemCommandId(commands, item, tooltip);
    const bool separator = item.string[0] == 0;
    if (!separator && !IsCommandId(id))
        return;  // a text without a command is left out
    wchar_t text[kSkinTextSize];
    language.Translate(item.string, text);
    UINT flags = separator ? MF_SEPARATOR : MF_STRING;
    if (!item.enabled)
        flags |= MF_GRAYED;
    if (!::AppendMenuW(menu.Handle(), flags, id, separator ? nullptr : text))
        return;
    menu.AppendCheckToggle(item.checkToggle != 0);
    if (separator)
        return;
    HBITMAP unchecked = item.uncheckedImage != nullptr ? item.uncheckedImage.get() : header.uncheckedImage.get();
    HBITMAP checked = item.checkedImage != nullptr ? item.checkedImage.get() : header.checkedImage.get();
    if (unchecked != nullptr || checked != nullptr)
        ::SetMenuItemBitmaps(menu.Handle(), menu.ItemCount() - 1, MF_BYPOSITION, unchecked, checked);
    // The menu draws them for its life.
    menu.KeepBitmap(std::move(item.uncheckedImage));
    menu.KeepBitmap(std::move(item.checkedImage));
}

}  // namespace

CMenuEx* BuildSkinMenu(TMenuSkin& header, std::vector<TMenuItemSkin>& items, const std::wstring& key, HWND owner,
                       const CLanguageTable& language, CommandRegistry& commands, const TMenuServices& services)
{
    auto menu = std::make_unique<CMenuEx>(owner);
    const bool iconsGiven = header.imageList != nullptr && header.imageWidth != 0 && header.imageHeight != 0;
    if (iconsGiven)
        menu->SetIconStrip(std::move(header.imageList), {header.imageWidth, header.imageHeight}, header.maskColor);
    menu->SetAlignment(header.popupType);
    menu->SetItemBackgrounds(std::move(header.normalItemImage), std::move(header.hoverItemImage));

    for (TMenuItemSkin& item : items)
        AppendItem(*menu, item, header, language, commands);
    items.clear();  // the pictures the menu did not take
    menu->KeepBitmap(std::move(header.uncheckedImage));
    menu->KeepBitmap(std::move(header.checkedImage));

    menu->SetRadioGroup(header.radioFirst, header.radioLast);
    if (menu->HasRadioGroup())
        ::CheckMenuRadioItem(menu->Handle(), header.radioFirst, header.radioLast, 0, MF_BYPOSITION);
    if (menu->HasFullBitmapSet())
        menu->MakeOwnerDraw();

    char name[KIVRA_NAME_SIZE];
    NarrowName(name, key.c_str());
    if (services.registry != nullptr && name[0] != 0) {
        TService record{};
        CopyText(record.szName, name);
        record.pfnHandler = MenuServiceHandler;
        record.pInterface = services.manager;
        services.registry->AddService(&record);  // a name taken already keeps its first record
    }
    if (name[0] == 0)
        return commands.KeepMenu(std::move(menu));
    return commands.RegisterMenu(name, std::move(menu));
}

TMenuSetUp SetUpMenus(HWND owner, CSkin& skin, const CLanguageTable& language, CommandRegistry& commands,
                      const TMenuServices& services, UniqueMenu& menuBar, bool attachMenuBar)
{
    TMenuSetUp result;
    for (TReadMenu& read : ReadMenus(skin, L"name")) {
        const int radioFirst = read.header.radioFirst;
        const int radioLast = read.header.radioLast;
        const int defaultChecked = read.header.defaultChecked;
        CMenuEx* menu = BuildSkinMenu(read.header, read.items, read.key, owner, language, commands, services);
        if (menu == nullptr)
            continue;
        if (radioFirst >= 0 && radioFirst < radioLast && radioFirst <= defaultChecked && defaultChecked <= radioLast)
            ::CheckMenuRadioItem(menu->Handle(), radioFirst, radioLast, defaultChecked, MF_BYPOSITION);
        if (read.key == L"tray")
            result.trayMenu = menu;
    }
    if (result.trayMenu == nullptr)
        result.trayMenu = commands.RegisterMenu(kTrayMenuName, std::make_unique<CMenuEx>(owner));

    // The floating window's item: checked when the window starts shown.
    wchar_t dropZoneText[kSkinTextSize];
    language.Translate(kDropZoneItemText, dropZoneText);
    const int position = result.trayMenu->FindItemByText(dropZoneText);
    const int id = position >= 0 ? static_cast<int>(::GetMenuItemID(result.trayMenu->Handle(), position)) : -1;
    if (id > 0) {
        TFloatDlgSkin floatSkin;
        ReadFloatDlgSkin(skin, &floatSkin);
        if (floatSkin.showWindow)
            ::CheckMenuItem(result.trayMenu->Handle(), static_cast<UINT>(id), MF_BYCOMMAND | MF_CHECKED);
        if (!floatSkin.enableMenuItem)
            ::EnableMenuItem(result.trayMenu->Handle(), static_cast<UINT>(id), MF_BYCOMMAND | MF_GRAYED);
        result.dropZoneItemId = id;
    }

    // The menu bar, also when it has no entry.
    menuBar.reset(::CreateMenu());
    for (TReadMenu& read : ReadMenus(skin, L"label")) {
        wchar_t label[kSkinTextSize];
        language.Translate(read.key.c_str(), label);
        CMenuEx* menu = BuildSkinMenu(read.header, read.items, read.key, owner, language, commands, services);
        if (menu == nullptr || !menuBar)
            continue;
        if (::AppendMenuW(menuBar.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(menu->Handle()), label)) {
            menu->GiveToMenuBar();
            result.menuBar.push_back({label, menu});
        }
    }
    if (attachMenuBar)
        ::SetMenu(owner, menuBar.get());
    return result;
}

}  // namespace kivra
