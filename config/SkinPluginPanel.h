// Reader of the per-plugin sections of the skin ("skin/plugin"), which the
// plugins ask for through "manager/SelectPluginName" to dress their panels:
// colours, background picture and the controls the section places. The
// request is the plugins' own record (TPluginSkin); "manager/DeletePluginRes"
// gives the control nodes back.
#pragma once

#include "config/Skin.h"
#include "kivra_plugin.h"

namespace kivra {

// Fills the plugin's request from the first "skin/plugin" element whose "name"
// equals the record's plugin name. Sets bFound to 0 first and leaves the other
// outputs untouched when there is no such element. When the record has a
// control list, one node per named "control" child is allocated and appended
// at the end of it; DeletePluginResources gives those nodes back. The
// background image and the control images become the plugin's.
void SelectPluginSkin(CSkin& skin, TPluginSkin* request);

// Unlinks every node from the request's control list and frees the nodes that
// SelectPluginSkin allocated, leaving the plugin's sentinel valid and the list
// empty. Safe with a null request, a null list and a list already released.
// Bitmaps handed out are not touched: they are the plugin's.
void DeletePluginResources(TPluginSkin* request);

}  // namespace kivra
