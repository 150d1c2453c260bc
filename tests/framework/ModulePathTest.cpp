// Loading a library the way a delay-loaded import's first call would.
#include "framework/ModulePath.h"

#include <gtest/gtest.h>

using namespace kivra;

namespace {

TEST(ModulePathTest, LibraryWithEntriesOnlyWhenItLoadsAndExportsEveryOne)
{
    struct Case {
        const wchar_t* library;
        std::initializer_list<const char*> entries;
        bool loads;
    };
    const Case cases[] = {
        {L"kernel32.dll", {"GetProcAddress", "LoadLibraryW"}, true},
        {L"kernel32.dll", {}, true},
        {L"kernel32.dll", {"GetProcAddress", "NoSuchEntryInThisLibrary"}, false},
        {L"no-such-library-anywhere.dll", {}, false},
        {L"no-such-library-anywhere.dll", {"GetProcAddress"}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LoadLibraryWithEntries(c.library, c.entries), c.loads) << c.library << " " << c.entries.size();
}

}  // namespace
