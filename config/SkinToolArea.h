// Reader of the skin's tool area: one tool bar per "skin/tool" element, whose
// items are commands. (The skin buttons of "skin/tool-bar" are SkinButton.h's.)
#pragma once

#include <functional>
#include <vector>

#include "config/Skin.h"
#include "config/SkinRecords.h"

namespace kivra {

// Reads every "skin/tool" element in document order. Attribute and child
// names are compared exactly; unknown ones are ignored. The callback gets each
// element's values after the whole section has been read, so it may use the
// skin document freely; the record's bitmaps are freed after the callback
// unless it moves them out.
void ReadToolArea(CSkin& skin, const std::function<void(TToolAreaSkin& tool)>& onTool);
// The same, collected.
std::vector<TToolAreaSkin> ReadToolArea(CSkin& skin);

}  // namespace kivra
