// Readers of the sections that dress the main window: the drawn title bar, the
// status bar and its panes, the background ("backgroud", as skins spell it)
// and the main-frame values. Each reader is one uninterrupted pass over the
// skin document's node cursor.
#pragma once

#include <vector>

#include "config/Skin.h"
#include "config/SkinRecords.h"
#include "config/XmlDocument.h"

namespace kivra {

// Appends one piece per element matched by path: the element text is the
// image file, the attributes "from" and "to" (exact names) the rectangles.
// Pieces whose image does not load are appended only with keepWithoutBitmap.
// False when the selection fails.
bool ReadImagePieces(CSkin& skin, const wchar_t* path, bool keepWithoutBitmap, std::vector<TSkinImage>* pieces);

// Appends the loadable "skin/title-bar/image" pieces to images and fills the
// three button records from the first three "skin/title-bar/button" elements:
// owner holds the "id", image and hover the faces, every other field is zero.
// Records without an element stay zero. False when a selection fails.
bool ReadTitleBar(CSkin& skin, std::vector<TSkinImage>* images, TSkinButton (&buttons)[kTitleBarButtonCount]);

// Sets show from "skin/status-bar" (exactly "true" shows it) and prepares the
// pane list for ReadStatusItems. False, with show untouched, when the
// selection fails; otherwise the result of selecting the panes.
bool ReadStatusBar(CXmlDocument& skinDocument, bool* show);

// Appends the panes prepared by ReadStatusBar. A pane counts when it has a
// "name" or a "cmdid"; its "width" is hexadecimal like the cmdid.
bool ReadStatusItems(CXmlDocument& skinDocument, std::vector<TStatusItem>* items);

// Appends every "skin/backgroud/image" piece, also those whose image does not
// load (they keep their place and are not drawn). False when the selection fails.
bool ReadBackground(CSkin& skin, std::vector<TSkinImage>* images);

// Fills values from "skin/main-frame"; every element is optional and a
// missing one leaves the default of TMainFrameSkin.
void ReadMainFrame(CXmlDocument& skinDocument, TMainFrameSkin* values);

// Copies "skin/main-frame/start-service", the service list called once the
// plugins are loaded, as an 8-bit name (cut to 63). False, with an empty
// service, when the element is missing or empty.
bool ReadStartService(CXmlDocument& skinDocument, char (&service)[kSkinTextSize]);

}  // namespace kivra
