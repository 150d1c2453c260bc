// The main window's accelerator table, made from the skin's
// "skin/accelerator/key" entries. The application's message filter offers it
// every key press of every modal loop.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "config/SkinRecords.h"
#include "framework/Handles.h"

namespace kivra {

// Gives the command id registered under an 8-bit command name, 0 when the
// name is not registered. This is how accelerators written with a command
// name instead of a cmdid find their command; until the command registry
// exists, callers pass a lookup that knows no names (NoCommandNames), so such
// entries are skipped.
using CommandIdLookup = std::function<unsigned(const char* name)>;

// A lookup that knows no command names.
unsigned NoCommandNames(const char* name);

// The table rows of the entries, in skin order. An entry's command is its
// cmdid, or, when that is 0 and it has a name, the id lookup gives for the
// name. Entries whose command is 0 or -1, or that have no key name, are
// skipped. The key comes from its name (an unknown name gives 0xFFFF, which
// never matches); the flags are FVIRTKEY with FCONTROL, FALT and FSHIFT as set.
std::vector<ACCEL> AcceleratorEntries(const std::vector<TAccelKey>& keys, const CommandIdLookup& lookup);

// The table of those rows; null when no row remains.
UniqueAccel BuildAcceleratorTable(const std::vector<TAccelKey>& keys, const CommandIdLookup& lookup);

}  // namespace kivra
