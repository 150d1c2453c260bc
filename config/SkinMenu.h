// Reader of the skin's menus: one TMenuSkin header and a list of items per
// "skin/menu" element. Named pop-up menus carry a "name", menu-bar entries a
// "label"; one element may carry both and is then read once for each.
#pragma once

#include <string>
#include <vector>

#include "config/Skin.h"
#include "config/SkinRecords.h"

namespace kivra {

// Selects "skin/menu" and stands before the first menu; ReadMenu walks on
// from there. False when the selection fails.
bool SelectMenus(CSkin& skin);

// Takes the next menu element that carries keyAttribute ("name" or "label").
// With an empty *keyText the element's key value is returned in *keyText;
// otherwise the next element whose key equals *keyText exactly is taken.
// *menu is overwritten (popup type 0, radio group and default choice -1), the
// items are appended in document order: "item" and "separator" children,
// others skipped. False when no element is left.
bool ReadMenu(CSkin& skin, const wchar_t* keyAttribute, std::wstring* keyText, TMenuSkin* menu,
              std::vector<TMenuItemSkin>* items);

}  // namespace kivra
