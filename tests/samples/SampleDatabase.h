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
        // A folder of each test's own: the database stays open after the
        // test, until the next one opens its own.
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string name = std::string(test->test_suite_name()) + "." + test->name();
        const std::wstring folder = testing::FreshScratchFolder(std::wstring(name.begin(), name.end()));
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
