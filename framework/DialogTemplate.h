// Extended dialog templates (DIALOGEX) as bytes: one control taken out of a
// template, so that the dialog is made without it and the control later, as
// the template describes it (CDialog::DeferControl).
//
// The layout is the one resource compilers write: a DLGTEMPLATEEX header,
// then each DLGITEMTEMPLATEEX on a four-byte boundary, counted from the start
// of the template. Names are a string or 0xFFFF and an ordinal.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kivra {

// A control as its template item describes it.
struct TTemplateControl {
    DWORD id = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    DWORD helpId = 0;
    POINT position = {};         // in dialog units
    SIZE size = {};              // in dialog units, converted apart from the position
    std::wstring className;      // a predefined class's ordinal as its name ("Button", ...)
    std::wstring text;           // empty when the template gives an ordinal (an icon)
    size_t index = 0;            // its place among the items: the tab order
};

// The resource template id of module, copied; empty when there is none.
std::vector<BYTE> CopyDialogResource(HINSTANCE module, UINT id);

// Takes the first item with control id out of an extended template: the
// item's bytes are removed and the item count lowered, and the item is
// described in *control. False, with the bytes unchanged, when the bytes are
// not a whole extended template or hold no such item.
bool TakeControlOut(std::vector<BYTE>* dialogTemplate, DWORD id, TTemplateControl* control);

}  // namespace kivra
