// Readers of the small window sections: the main window's max mode
// ("skin/max-window-service"), the slide-in notifier ("skin/notifier-window")
// and the floating dialog ("skin/float-dlg").
#pragma once

#include <vector>

#include "config/Skin.h"
#include "config/SkinRecords.h"
#include "config/XmlDocument.h"

namespace kivra {

// Clears *values, then reads the max-window section. The four value paths are
// read only when "enable" is a non-empty text not starting with "false" in any
// case. False when the section is missing (max mode stays off).
bool ReadMaxWindow(CXmlDocument& skinDocument, TMaxWindowSkin* values);

// Appends one piece per "max-back-image/image" element whose image loads.
bool ReadMaxBackground(CSkin& skin, std::vector<TSkinImage>* images);

// Sets values->image to null, then reads the text rectangle (hasTextRect tells
// whether the skin gives one; an empty text leaves textRect as it was) and,
// when the text rectangle is there, the image. The caller owns the image.
void ReadNotifierSkin(CSkin& skin, TNotifierSkin* values);

// Resets *values to its defaults, then reads show-window, enable-menu-item,
// the two opacities (low 8 bits) and the background image path in that order.
// Reading stops at the first missing one of show-window, the opacities and the
// image (enable-menu-item is optional), leaving the rest at the defaults; the
// result then is false. The path stays empty for an empty element text or a
// path that would not fit 259 characters.
bool ReadFloatDlgSkin(CSkin& skin, TFloatDlgSkin* values);

}  // namespace kivra
