// Reader of the skin buttons: the "skin/tool-bar" header (the faces the
// buttons share) and one TSkinButton per "skin/tool-bar/button". (The tool
// bars of the tool area are "skin/tool", SkinToolArea.h.) Attribute names are
// matched ignoring case; the visibility attribute is spelled "visable".
#pragma once

#include "config/Skin.h"
#include "config/SkinRecords.h"

namespace kivra {

// Reads the header into *header and prepares the button list. False, with the
// header untouched, when there is no tool-bar element; the prepared list is
// then empty, so ReadNextButton finds no button even when button elements
// exist elsewhere. Between ReadToolBar and the last ReadNextButton no other
// selection may be made in the skin document.
bool ReadToolBar(CSkin& skin, TToolBarSkin* header);

// Reads the next button element into *button, which is overwritten with a
// fresh record (cmdid 0, image index -1, visable and inherit true, font size
// and weight -1); the caller releases or hands on the bitmaps of a record it
// keeps before reusing it. False when no button is left.
bool ReadNextButton(CSkin& skin, TSkinButton* button);

}  // namespace kivra
