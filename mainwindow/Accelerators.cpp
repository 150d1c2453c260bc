#include "mainwindow/Accelerators.h"

#include "config/KeyNames.h"

namespace kivra {
namespace {

// The command id the skin writes for "no command".
constexpr unsigned kNoCommand = 0;
constexpr unsigned kInvalidCommand = 0xFFFFFFFFu;

}  // namespace

unsigned NoCommandNames(const char*)
{
    return kNoCommand;
}

std::vector<ACCEL> AcceleratorEntries(const std::vector<TAccelKey>& keys, const CommandIdLookup& lookup)
{
    std::vector<ACCEL> entries;
    for (const TAccelKey& key : keys) {
        unsigned command = key.cmdid;
        if (command == kNoCommand && key.name[0] != '\0' && lookup)
            command = lookup(key.name);
        if (command == kNoCommand || command == kInvalidCommand || key.code[0] == L'\0')
            continue;
        ACCEL entry = {};
        entry.fVirt = AcceleratorFlags(key);
        entry.key = VirtualKeyFromName(key.code);
        entry.cmd = static_cast<WORD>(command);  // WM_COMMAND carries 16 bits
        entries.push_back(entry);
    }
    return entries;
}

UniqueAccel BuildAcceleratorTable(const std::vector<TAccelKey>& keys, const CommandIdLookup& lookup)
{
    std::vector<ACCEL> entries = AcceleratorEntries(keys, lookup);
    if (entries.empty())
        return {};
    return UniqueAccel(::CreateAcceleratorTableW(entries.data(), static_cast<int>(entries.size())));
}

}  // namespace kivra
