// The tool area: one CToolBarEx per "skin/tool" element of the skin, whose
// items are commands. Built by the frame set-up, before the plugins load;
// the bars go into the command registry's tool-bar list and take part in the
// main window's control-bar layout (ids 0xE800..).
#pragma once

#include <windows.h>

#include "config/LanguageTable.h"
#include "config/Skin.h"
#include "config/SkinRecords.h"
#include "mainwindow/CommandRegistry.h"

namespace kivra {

// Builds one tool bar on mainWindow from tool, and hands it to commands.
// The tool's pictures are used up (the bar keeps copies). An element without
// items leaves no bar; answers whether a bar was kept.
bool BuildToolBar(HWND mainWindow, TToolAreaSkin& tool, const CLanguageTable& language, CommandRegistry& commands);

// Every "skin/tool" element in document order.
void BuildToolArea(HWND mainWindow, CSkin& skin, const CLanguageTable& language, CommandRegistry& commands);

}  // namespace kivra
