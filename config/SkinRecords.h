// The records the skin readers fill from skin.xml. They stay inside the shell
// (the per-plugin records TPluginSkin and TPluginControl, which plugins see,
// are in kivra_plugin.h). Fixed text fields keep the widths the skin formats
// have always had and are written through framework/Text.h only.
//
// Every record is zero when value-initialised (Record{}); the readers set the
// documented defaults themselves, so a record read by one reader and a zeroed
// record are told apart by the reader's documentation, not by the type.
//
// Bitmaps: the records own the bitmaps the readers loaded (UniqueBitmap), so a
// record frees them when it goes and records move but do not copy. Whoever
// hands one on lends it with get() (an image button draws the skin's bitmap
// and never deletes it) or gives it away with release(), and says so there.
// A skin button's faces are the exception: buttons showing the same picture
// share one bitmap (SharedBitmap) with the skin's picture cache.
#pragma once

#include <windows.h>

#include <vector>

#include "framework/Handles.h"
#include "kivra_plugin.h"

namespace kivra {

class CImageButton;

// 63 characters and a terminator: every short UTF-16 text and 8-bit name.
constexpr size_t kSkinTextSize = KIVRA_NAME_SIZE;
// Accelerator key names: at most 15 characters (the longest name is 13).
constexpr size_t kAccelCodeSize = 16;
// Tool-area item names are longer than the other texts.
constexpr size_t kToolItemNameSize = 128;
// The drawn title bar has a close, a maximize and a minimize button.
constexpr size_t kTitleBarButtonCount = 3;

// One keyboard accelerator of "skin/accelerator/key".
struct TAccelKey {
    bool control;                // default true
    bool alt;                    // default false
    bool shift;                  // default false
    wchar_t code[kAccelCodeSize];  // key name, see KeyNames.h
    char name[kSkinTextSize];    // command name, used when cmdid is 0
    unsigned cmdid;              // default 0
};

// The "skin/tool-bar" header: the strip and faces shared by the tool-bar buttons.
struct TToolBarSkin {
    UniqueBitmap imageList;
    UniqueBitmap normalButtonImage;
    UniqueBitmap hoverButtonImage;
    int imageWidth;
    int imageHeight;
    COLORREF maskColor;          // default 0
};

// One skin button ("skin/tool-bar/button"), also used for the title-bar buttons.
struct TSkinButton {
    unsigned cmdid;              // default 0
    char name[kSkinTextSize];    // registered command name
    wchar_t owner[kSkinTextSize];    // "system", a plugin name, or a title-bar button id
    wchar_t service[kSkinTextSize];  // service path to call
    wchar_t string[kSkinTextSize];   // caption, a language id
    wchar_t tooltip[kSkinTextSize];  // tool tip, a language id
    RECT rect;
    SharedBitmap image;
    SharedBitmap hover;
    SharedBitmap focus;
    SharedBitmap down;
    SharedBitmap disable;
    SharedBitmap imageList;      // the button's own strip of faces
    int imageWidth;
    int imageHeight;
    int fontSize;                // default -1
    int fontWeight;              // default -1
    wchar_t fontFace[kSkinTextSize];
    COLORREF fontColor;          // default 0, black
    CImageButton* control;       // the button made for this record; not owned, null when read
    bool visable;                // default true; false creates the button hidden
    bool inherit;                // default true
    int imageIndex;              // default -1; face in the tool bar's shared strip
};

// One piece of a title bar or background: "from" gives the image point where
// copying starts, "to" where the piece goes.
struct TSkinImage {
    RECT from;
    RECT to;
    UniqueBitmap bitmap;
};

// One status-bar pane.
struct TStatusItem {
    char name[kSkinTextSize];    // registered command name
    unsigned cmdid;
    int width;                   // pixels
};

// The mask colour of a skin that does not give one: the frame context's
// starting value, a magenta no real window face uses.
constexpr COLORREF kDefaultMaskColor = RGB(255, 0, 255);

// The "skin/main-frame" values kept by the configuration.
struct TMainFrameSkin {
    bool abnormalWindow = false;        // shape cut out of the background by the mask colour
    bool pluginWindowSameSize = false;
    bool fitSizeToPlugin = false;
    COLORREF maskColor = kDefaultMaskColor;
    int windowWidth = 0;                // dialog units
    int windowHeight = 0;
};

// Popup alignment codes of "skin/menu" popup-type.
enum : int {
    kMenuPopupDefault = 0,
    kMenuPopupRightTopDown = 1,
    kMenuPopupRightBottomDown = 2,
    kMenuPopupMouse = 3,
    kMenuPopupLeftTopUp = 0x40,
    kMenuPopupRightTopUp = 0x41,
    kMenuPopupRightBottomUp = 0x42,
};

// The header of one "skin/menu" element.
struct TMenuSkin {
    int popupType;               // one of kMenuPopup*, default 0
    int radioFirst;              // group-radio-checked, default -1
    int radioLast;               // default -1
    int defaultChecked;          // default -1
    UniqueBitmap imageList;      // icon strip
    int imageWidth;
    int imageHeight;
    COLORREF maskColor;
    UniqueBitmap normalItemImage;
    UniqueBitmap hoverItemImage;
    UniqueBitmap uncheckedImage;
    UniqueBitmap checkedImage;
};

// One "item" or "separator" of a menu.
struct TMenuItemSkin {
    unsigned cmdid;
    wchar_t name[kSkinTextSize];
    wchar_t string[kSkinTextSize];   // item text, a language id; empty makes a separator
    wchar_t tooltip[kSkinTextSize];
    char service[kSkinTextSize];
    BYTE enabled;                // default 1
    BYTE checkToggle;            // "clicked-checked"
    UniqueBitmap uncheckedImage;
    UniqueBitmap checkedImage;
    int imageIndex;
};

// One "item" or "separator" of a tool element; a separator is all zero.
struct TToolItem {
    unsigned cmdid;
    wchar_t name[kToolItemNameSize];
    wchar_t tooltip[kSkinTextSize];
    char service[kSkinTextSize];
    UniqueBitmap image;
};

// One "skin/tool" element, a tool bar of the tool area.
struct TToolAreaSkin {
    UniqueBitmap image;          // image strip
    COLORREF backgroundColor;
    UniqueBitmap backgroundImage;
    UniqueBitmap logoImage;
    int buttonWidth;
    int buttonHeight;
    int imageWidth;
    int imageHeight;
    BYTE selfocus;               // keep the chosen button pressed (one of many)
    std::vector<TToolItem> items;
};

// "skin/max-window-service": the max mode of the main window.
struct TMaxWindowSkin {
    bool enabled;
    int width;
    int height;
    RECT panelRect;              // pixels, not converted
    char getMaxPanelService[kSkinTextSize];
    char rightButtonService[kSkinTextSize];
};

// "skin/notifier-window".
struct TNotifierSkin {
    bool hasTextRect;            // the skin names a text rectangle
    RECT textRect;
    UniqueBitmap image;
};

// "skin/float-dlg": the floating dialog.
struct TFloatDlgSkin {
    bool showWindow = false;
    bool enableMenuItem = true;
    BYTE normalOpacity = 0;
    BYTE hoverOpacity = 0;
    wchar_t backgroundImagePath[MAX_PATH] = {};  // skin folder + file name, or empty
};

}  // namespace kivra
