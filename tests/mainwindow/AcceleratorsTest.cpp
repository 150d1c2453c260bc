#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/Text.h"
#include "mainwindow/Accelerators.h"

namespace kivra {
namespace {

TAccelKey Key(const wchar_t* code, unsigned cmdid, const char* name = "", bool control = false, bool alt = false,
              bool shift = false)
{
    TAccelKey key = {};
    CopyText(key.code, code);
    CopyText(key.name, name);
    key.cmdid = cmdid;
    key.control = control;
    key.alt = alt;
    key.shift = shift;
    return key;
}

// Knows the command "Connect" only, and counts the questions.
struct Lookup {
    unsigned operator()(const char* name)
    {
        asked->push_back(name);
        return std::string(name) == "Connect" ? 1201u : 0u;
    }
    std::vector<std::string>* asked;
};

std::vector<ACCEL> ReadBack(HACCEL table)
{
    const int count = ::CopyAcceleratorTableW(table, nullptr, 0);
    std::vector<ACCEL> entries(count);
    if (count > 0)
        ::CopyAcceleratorTableW(table, entries.data(), count);
    return entries;
}

TEST(AcceleratorTable, EntriesKeepSkinOrderWithFlagsKeysAndCommands)
{
    std::vector<std::string> asked;
    const std::vector<TAccelKey> keys = {
        Key(L"F5", 0x1234, "", false, true),                 // alt only
        Key(L"page up", 0, "Connect", true, false, true),     // by name, key name in other case
        Key(L"Nonsense", 0x50),                               // unknown key name
        Key(L"\\", 0x51, "Ignored"),                          // cmdid wins over the name
    };
    UniqueAccel table = BuildAcceleratorTable(keys, Lookup{&asked});
    ASSERT_TRUE(table);
    const std::vector<ACCEL> entries = ReadBack(table.get());
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].fVirt, 0x11);
    EXPECT_EQ(entries[0].key, VK_F5);
    EXPECT_EQ(entries[0].cmd, 0x1234);
    EXPECT_EQ(entries[1].fVirt, FVIRTKEY | FCONTROL | FSHIFT);
    EXPECT_EQ(entries[1].key, VK_PRIOR);
    EXPECT_EQ(entries[1].cmd, 1201);
    EXPECT_EQ(entries[2].fVirt, FVIRTKEY);
    EXPECT_EQ(entries[2].key, 0xFFFF) << "a key that never matches";
    EXPECT_EQ(entries[3].key, 0x5C);
    EXPECT_EQ(entries[3].cmd, 0x51);
    EXPECT_EQ(asked, std::vector<std::string>{"Connect"});
}

TEST(AcceleratorTable, EntriesWithoutCommandOrKeyAreSkipped)
{
    std::vector<std::string> asked;
    const std::vector<TAccelKey> keys = {
        Key(L"F1", 0, "Unregistered"),  // the lookup knows no such command
        Key(L"F2", 0xFFFFFFFFu),        // -1
        Key(L"F3", 0),                  // neither cmdid nor name
        Key(L"", 0x60),                 // no key name
        Key(L"F4", 0x61),
    };
    const std::vector<ACCEL> entries = AcceleratorEntries(keys, Lookup{&asked});
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].key, VK_F4);
    EXPECT_EQ(entries[0].cmd, 0x61);
    EXPECT_EQ(asked, std::vector<std::string>{"Unregistered"});
}

TEST(AcceleratorTable, NoRemainingEntryGivesNoTable)
{
    EXPECT_FALSE(BuildAcceleratorTable({}, NoCommandNames));
    EXPECT_FALSE(BuildAcceleratorTable({Key(L"F1", 0, "Connect")}, NoCommandNames));
    EXPECT_FALSE(BuildAcceleratorTable({Key(L"F1", 0, "Connect")}, nullptr));
}

}  // namespace
}  // namespace kivra
