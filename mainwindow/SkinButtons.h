// The skin buttons: one CImageButton per "skin/tool-bar/button" that the
// configuration keeps (its owner occurs in the button-owner text) and that
// has someone to serve it: the shell ("system"), nobody but a service, or a
// bound plugin. Created once the plugins are loaded.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>

#include "config/Configure.h"
#include "mainwindow/ButtonRegistry.h"
#include "mainwindow/CommandRegistry.h"

namespace kivra {

// What the buttons need of the main window.
struct TButtonHost {
    HWND window = nullptr;   // the parent of the buttons
    HWND tooltip = nullptr;  // the shared tooltip control
    // Skin rectangle in dialog units (or pixels) to pixels, in place.
    std::function<void(RECT* rect)> convertDialogUnits;
    // Pixel skin rectangle to client coordinates (negative: from the far edge).
    std::function<RECT(const RECT& rect)> resolve;
    // Whether a plugin whose name occurs in owner is bound.
    std::function<bool(const char* owner)> ownerIsBound;
    // The font captions start from (CaptionBaseFont of window); read from
    // the window for each button when not given.
    std::optional<LOGFONTW> captionFont;
};

// Reads the tool-bar header (the shared faces) and the buttons, and creates
// the buttons that are kept, in document order.
void CreateSkinButtons(CConfigure& configure, CommandRegistry& commands, ButtonRegistry& buttons,
                       const TButtonHost& host);

// Creates one button from record (whose pictures it takes over).
void CreateSkinButton(TSkinButton& record, const CLanguageTable& language, CommandRegistry& commands,
                      ButtonRegistry& buttons, const TButtonHost& host);

// Every button at its resolved rectangle again (after a mode switch): those
// anchored to the right or bottom edge follow the window's new size, whoever
// owns them.
void PlaceButtons(ButtonRegistry& buttons, const TButtonHost& host);

}  // namespace kivra
