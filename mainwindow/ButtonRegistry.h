// ButtonRegistry: the skin buttons the main window created, in creation
// order, each with the 8-bit name, owner and service it was made from and
// its skin rectangle (pixels, before it is resolved against the client area).
// "manager/ModifyButtonInfo" finds buttons here; the mode switch places the
// buttons again.
#pragma once

#include <windows.h>

#include <functional>
#include <list>
#include <memory>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "controls/ImageButton.h"
#include "framework/Handles.h"
#include "kivra_plugin.h"
#include "plugin/ManagerHost.h"

namespace kivra {

// The owner of the shell's own buttons.
constexpr char kSystemButtonOwner[] = "system";

// Whether a skin button kept by the configuration is created: "system"
// buttons, buttons without owner that call a service, and buttons whose
// owner is a bound plugin (ownerIsBound answers that).
bool SkinButtonIsCreated(const char* owner, const char* service, bool ownerIsBound);

struct TButtonEntry {
    char name[KIVRA_NAME_SIZE] = {};
    char owner[KIVRA_NAME_SIZE] = {};
    char service[KIVRA_NAME_SIZE] = {};
    RECT skinRect = {};
    std::unique_ptr<CImageButton> button;
    SharedBitmap strip;  // the button's own strip of faces, which it draws from
    std::wstring tooltip;  // its tip, also before the tooltip control is made
};

class ButtonRegistry {
public:
    ButtonRegistry() = default;
    ~ButtonRegistry();
    ButtonRegistry(const ButtonRegistry&) = delete;
    ButtonRegistry& operator=(const ButtonRegistry&) = delete;

    // Keeps the entry (entries stay where they are: the answer stays valid).
    // When an entry with the same name, owner and service is
    // listed already, the new one's button is kept alive but not listed (no
    // one finds it) and null is answered.
    TButtonEntry* Add(TButtonEntry entry);
    // The first entry whose name equals a non-empty name, or whose owner a
    // non-empty owner, or whose service a non-empty service; null.
    TButtonEntry* FindForChange(const char* name, const char* owner, const char* service);
    const std::list<TButtonEntry>& Entries() const { return entries_; }
    // Each listed entry that has a button.
    void ForEachButton(const std::function<void(TButtonEntry& entry)>& visit);

    // The faces the buttons share (the skin's tool-bar header); each button
    // made for the registry points at them.
    TSharedButtonImages& SharedImages() { return shared_; }
    // Their pictures, kept for the buttons' life.
    void KeepSharedImages(UniqueBitmap strip, UniqueBitmap normal, UniqueBitmap hover);
    // One font per distinct description, made on first request and kept until
    // after the buttons (1,000 fonts of one description would bring the
    // process near Windows' limit of 10,000 GDI objects); null when it cannot
    // be made.
    HFONT Font(const LOGFONTW& description);

private:
    // Declared first, freed last: the buttons select these fonts and draw
    // these faces.
    std::vector<std::pair<LOGFONTW, UniqueFont>> fonts_;
    TSharedButtonImages shared_;
    UniqueBitmap sharedStrip_, sharedNormal_, sharedHover_;
    std::list<TButtonEntry> entries_;
    std::list<TButtonEntry> unlisted_;
    std::unordered_set<std::string> listedKeys_;  // name, owner and service of each listed entry
};

// What "manager/ModifyButtonInfo" changes on the button it finds: loadImage
// turns an image file name into a bitmap (the skin folder, then common\),
// empty when it does not load;
// tooltip is the main window's tooltip control. Answers whether a button was
// found.
using ImageLoader = std::function<SharedBitmap(const wchar_t* fileName)>;
bool ApplyButtonChange(ButtonRegistry& buttons, const TButtonChange& change, const ImageLoader& loadImage,
                       HWND tooltip);

// Adds or changes the tooltip text of button in tooltip control.
void SetButtonTooltip(HWND tooltip, HWND owner, HWND button, const wchar_t* text);
// Adds the tooltip of a button made just now, which the control cannot know
// yet: without SetButtonTooltip's search for the tool among all the others.
void AddButtonTooltip(HWND tooltip, HWND owner, HWND button, const wchar_t* text);
// The tips of every button with one, into a tooltip control made just now.
void AddButtonTooltips(ButtonRegistry& buttons, HWND tooltip);

}  // namespace kivra
