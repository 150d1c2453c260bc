// The key names accelerators are written with in skin.xml ("F5", "Page Up",
// "\"), and the flag byte of an accelerator entry.
#pragma once

#include <windows.h>

#include <span>

#include "config/SkinRecords.h"

namespace kivra {

struct TKeyName {
    const wchar_t* name;
    unsigned short virtualKey;
};

// The 127 names in lookup order. Some codes appear twice: the punctuation
// names give the codes of the characters themselves, so "\" is the code of
// "Right windows" and "-" the code of "Insert".
std::span<const TKeyName> KeyNameTable();

// The key a name gives, when it has none.
constexpr unsigned short kUnknownVirtualKey = 0xFFFF;

// The virtual-key code of the first table entry whose name equals name,
// ignoring case and comparing at most 16 characters; kUnknownVirtualKey for a
// name not in the table (such a key never matches) or a null name.
unsigned short VirtualKeyFromName(const wchar_t* name);

// FVIRTKEY, plus FCONTROL, FALT and FSHIFT as the record says.
BYTE AcceleratorFlags(const TAccelKey& key);

}  // namespace kivra
