// Readers of the sections only the main window and the plugins use: the tool
// area ("skin/tool"), the per-plugin panels ("skin/plugin") and the start
// service.
#pragma once

#include <functional>
#include <vector>

#include "config/Skin.h"
#include "config/SkinRecords.h"
#include "config/XmlDocument.h"
#include "kivra_plugin.h"

namespace kivra {

// Reads every "skin/tool" element in document order. Attribute and child
// names are compared exactly; unknown ones are ignored. The callback gets each
// element's values after the whole section has been read, so it may use the
// skin document freely; the record's bitmaps are freed after the callback
// unless it moves them out.
void ReadToolArea(CSkin& skin, const std::function<void(TToolAreaSkin& tool)>& onTool);
// The same, collected.
std::vector<TToolAreaSkin> ReadToolArea(CSkin& skin);

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

// Copies "skin/main-frame/start-service" as an 8-bit name (cut to 63). False,
// with an empty service, when the element is missing or empty.
bool ReadStartService(CXmlDocument& skinDocument, char (&service)[KIVRA_NAME_SIZE]);

}  // namespace kivra
