// A product database of the test's own: a fresh file opened through dbOpen,
// as Kivra.exe opens its own before the plugins load.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "dunra.h"
#include "tests/support/ScratchFolder.h"

namespace kivra::samples {

class SampleDatabase : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::wstring folder = testing::FreshScratchFolder(L"samples");
        path_ = folder + L"kivra.db";
        other_ = folder + L"other.db";
        ASSERT_TRUE(dbOpen(path_.c_str()));
    }

    // Closes the file and opens it again, as a restart of Kivra does.
    void Reopen()
    {
        ASSERT_TRUE(dbOpen(other_.c_str()));
        ASSERT_TRUE(dbOpen(path_.c_str()));
    }

private:
    std::wstring path_;
    std::wstring other_;
};

}  // namespace kivra::samples
