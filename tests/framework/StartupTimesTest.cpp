// The start-up's step times, written for the benchmark.
#include "framework/StartupTimes.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace kivra;

TEST(StartupTimesTest, TheMarksGoOnceToTheNamedFileInTheirOrderFromTheFirst)
{
    wchar_t folder[MAX_PATH];
    ::GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + L"kivra-startup-times-test.txt";
    ::DeleteFileW(path.c_str());
    ASSERT_TRUE(::SetEnvironmentVariableW(kStartupTimesVariable, path.c_str()));
    MarkStartupStep("first");
    ::Sleep(5);
    MarkStartupStep("second");
    MarkStartupStep("third");
    EXPECT_TRUE(WriteStartupTimes());
    MarkStartupStep("after");  // too late: written already
    EXPECT_FALSE(WriteStartupTimes()) << "once per process";
    ::SetEnvironmentVariableW(kStartupTimesVariable, nullptr);

    FILE* file = _wfopen(path.c_str(), L"r");
    ASSERT_NE(file, nullptr);
    std::vector<std::string> names;
    std::vector<double> times;
    char line[160];
    bool ended = false;
    while (std::fgets(line, sizeof(line), file) != nullptr) {
        double ms = 0;
        char name[64] = {};
        if (std::strncmp(line, "--", 2) == 0)
            ended = true;
        else if (std::sscanf(line, "%lf %63s", &ms, name) == 2) {
            times.push_back(ms);
            names.emplace_back(name);
        }
    }
    std::fclose(file);
    ::DeleteFileW(path.c_str());
    EXPECT_EQ(names, (std::vector<std::string>{"first", "second", "third"}));
    ASSERT_EQ(times.size(), 3u);
    EXPECT_EQ(times[0], 0.0) << "counted from the first mark";
    EXPECT_GE(times[1], 4.0);
    EXPECT_GE(times[2], times[1]);
    EXPECT_TRUE(ended) << "each start ends with --";
}
