#include "framework/Log.h"

#include "framework/Handles.h"
#include "tests/support/TestProgram.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

using namespace kivra;

namespace {

std::wstring ExeFolder() { return kivra::testing::TestProgramFolder(); }

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Reads a file the way a log viewer would while the shell keeps writing.
std::string ReadAll(const std::wstring& path)
{
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return {};
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file.get(), chunk, sizeof(chunk), &read, nullptr) && read > 0)
        bytes.append(chunk, read);
    return bytes;
}

// "YYYY-MM-DD hh:mm:ss  \t": the time stamp every line starts with.
constexpr size_t kStampBytes = 22;

bool HasStamp(const std::string& line)
{
    if (line.size() < kStampBytes)
        return false;
    const char* pattern = "dddd-dd-dd dd:dd:dd  \t";
    for (size_t i = 0; i < kStampBytes; ++i) {
        if (pattern[i] == 'd' ? !(line[i] >= '0' && line[i] <= '9') : line[i] != pattern[i])
            return false;
    }
    return true;
}

// The message of the single line in bytes, checked for its frame.
std::string SingleLineMessage(const std::string& file)
{
    EXPECT_TRUE(HasStamp(file)) << file;
    EXPECT_GE(file.size(), kStampBytes + 3);
    EXPECT_EQ(file.substr(file.size() - 3), " \r\n");
    if (file.size() < kStampBytes + 3)
        return {};
    return file.substr(kStampBytes, file.size() - kStampBytes - 3);
}

class LogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedMask_ = GetLog().GetMask();
        savedEnabled_ = GetLog().IsEnabled();
        GetLog().SetMask(kLogInitialMask);
        GetLog().SetEnabled(true);
        folder_ = ExeFolder() + L"log\\";
    }
    void TearDown() override
    {
        GetLog().SetMask(savedMask_);
        GetLog().SetEnabled(savedEnabled_);
        GetLog().SetLogFile(L"log.log");
    }
    // A file of the log folder, removed first so that each test starts empty.
    std::wstring FreshFile(const wchar_t* name)
    {
        std::wstring path = folder_ + name;
        DeleteFileW(path.c_str());
        return path;
    }

    unsigned savedMask_ = 0;
    bool savedEnabled_ = true;
    std::wstring folder_;
};

TEST_F(LogTest, FolderIsBesideTheExecutableAndIsCreatedWhenMissing)
{
    // Empty the folder and remove it; the next GetLogFolder makes it again.
    WIN32_FIND_DATAW found;
    UniqueFind find(FindFirstFileW((folder_ + L"*").c_str(), &found));
    if (find) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW((folder_ + found.cFileName).c_str());
        } while (FindNextFileW(find.get(), &found));
    }
    find.reset();
    ASSERT_TRUE(RemoveDirectoryW(folder_.c_str()) || !FileExists(folder_));
    ASSERT_FALSE(FileExists(folder_));

    EXPECT_EQ(GetLog().GetLogFolder(), folder_);
    DWORD attributes = GetFileAttributesW(folder_.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);

    GetLog().SetLogFile(L"named.log");
    EXPECT_EQ(GetLog().GetLogFile(), folder_ + L"named.log");
}

TEST(LogPaths, FolderComesFromTheExecutablePath)
{
    EXPECT_EQ(LogFolderFromExePath(L"C:\\Program Files\\Kivra\\Kivra.exe"), L"C:\\Program Files\\Kivra\\log\\");
    EXPECT_EQ(LogFolderFromExePath(L"\\\\server\\share\\Kivra.exe"), L"\\\\server\\share\\log\\");
    EXPECT_EQ(LogFolderFromExePath(L"Kivra.exe"), L"");
    EXPECT_EQ(LogFolderFromExePath(L""), L"");
    EXPECT_EQ(LogFolderFromExePath(nullptr), L"");
}

TEST(LogPaths, NamesThatWouldLandOutsideTheFolderGiveNoFile)
{
    const std::wstring folder = L"C:\\Kivra\\log\\";
    EXPECT_EQ(LogFilePath(folder, L"ostel.log"), L"C:\\Kivra\\log\\ostel.log");
    EXPECT_EQ(LogFilePath(L"", L"ostel.log"), L"") << "no folder must not mean the current directory";
    EXPECT_EQ(LogFilePath(folder, L"..\\escape.log"), L"");
    EXPECT_EQ(LogFilePath(folder, L"sub/x.log"), L"");
    EXPECT_EQ(LogFilePath(folder, L"D:x.log"), L"");
    EXPECT_EQ(LogFilePath(folder, L""), L"");
    EXPECT_EQ(LogFilePath(folder, nullptr), L"");
    std::wstring longest(259 - folder.size(), L'a');
    EXPECT_EQ(LogFilePath(folder, longest.c_str()), folder + longest);
    std::wstring tooLong = longest + L"a";
    EXPECT_EQ(LogFilePath(folder, tooLong.c_str()), L"") << "paths are rejected, never cut";
}

TEST_F(LogTest, NoFileMeansTheWriteFailsAndNothingIsWritten)
{
    const std::wstring outside = ExeFolder() + L"escape.log";
    DeleteFileW(outside.c_str());
    EXPECT_EQ(GetLog().LogTo(L"..\\escape.log", 32, L"must not appear"), -1);
    EXPECT_TRUE(GetLog().GetLogFile().empty());
    EXPECT_FALSE(FileExists(outside));
    EXPECT_EQ(CLog::WriteLine(L"", L"x"), -1);
    EXPECT_EQ(CLog::WriteLine(nullptr, L"x"), -1);
}

TEST_F(LogTest, MaskOrDisabledFlagWritesNothingAndReturnsZero)
{
    const std::wstring path = FreshFile(L"filtered.log");
    GetLog().SetMask(0);
    EXPECT_EQ(GetLog().LogTo(L"filtered.log", 32, L"masked"), 0);
    GetLog().SetMask(1);
    EXPECT_EQ(GetLog().LogTo(L"filtered.log", 2, L"other level"), 0);
    EXPECT_EQ(GetLog().Log(0, L"no level"), 0);
    GetLog().SetMask(kLogInitialMask);
    GetLog().SetEnabled(false);
    EXPECT_EQ(GetLog().LogTo(L"filtered.log", 32, L"disabled"), 0);
    EXPECT_FALSE(FileExists(path)) << "a filtered write must not even create the file";

    // The filter decides on every write, so the file appears once one passes.
    GetLog().SetEnabled(true);
    EXPECT_EQ(GetLog().Log(32, L"passes"), 0);
    EXPECT_EQ(SingleLineMessage(ReadAll(path)), "passes");
}

TEST(LogLevels, SingleConfiguredLevelIsAddedOtherValuesReplaceTheMask)
{
    struct Case {
        unsigned before, configured, after;
    } cases[] = {
        {0xFF, 32, 0xFF},  {0x80, 4, 0x84},  {0x80, 1, 0x81},  {0x00, 32, 0x20}, {0xFF, 6, 6},
        {0xFF, 0, 0},      {0xFF, 63, 63},   {0x01, 64, 64},   {0x01, 0x100, 0x100},
    };
    CLog& log = GetLog();
    const unsigned saved = log.GetMask();
    for (const Case& c : cases) {
        log.SetMask(c.before);
        log.ApplyConfiguredLevel(c.configured);
        EXPECT_EQ(log.GetMask(), c.after) << "before " << c.before << " configured " << c.configured;
    }
    log.SetMask(saved);
}

TEST_F(LogTest, WideStringArgumentsAreWrittenAsText)
{
    const std::wstring path = FreshFile(L"format.log");
    EXPECT_EQ(GetLog().LogTo(L"format.log", 1, L"%s|%ls|%hs|%d|%04X", L"wide", L"also wide", "narrow", -42, 0xBEEFu),
              0);
    EXPECT_EQ(SingleLineMessage(ReadAll(path)), "wide|also wide|narrow|-42|BEEF");
}

TEST_F(LogTest, NonAsciiTextAndLineBreaksAreWrittenCompletelyInTheAnsiCodePage)
{
    if (GetACP() != 1252)
        GTEST_SKIP() << "expects the Western code page, this system has " << GetACP();
    const std::wstring path = FreshFile(L"ansi.log");
    EXPECT_EQ(GetLog().LogTo(L"ansi.log", 1, L"Caf\x00E9 \x00FC" L"ber %s\r\nnext \x20AC", L"na\x00EFve \x00A3"), 0);
    const std::string file = ReadAll(path);
    EXPECT_EQ(SingleLineMessage(file), "Caf\xE9 \xFC" "ber na\xEFve \xA3\r\nnext \x80");
    EXPECT_NE(static_cast<unsigned char>(file[0]), 0xEF) << "no byte-order mark";
}

TEST_F(LogTest, LinesAppendInOrderAndADeletedFileIsCreatedAgain)
{
    const std::wstring path = FreshFile(L"order.log");
    EXPECT_EQ(GetLog().LogTo(L"order.log", 1, L"first"), 0);
    Sleep(1100);
    EXPECT_EQ(GetLog().Log(1, L"second"), 0);
    const std::string file = ReadAll(path);
    const size_t split = file.find("first \r\n") + 8;
    ASSERT_NE(file.find("first \r\n"), std::string::npos) << file;
    const std::string first = file.substr(0, split);
    const std::string second = file.substr(split);
    EXPECT_EQ(SingleLineMessage(first), "first");
    EXPECT_EQ(SingleLineMessage(second), "second");
    EXPECT_LT(first.substr(0, 19), second.substr(0, 19)) << "each line has its own, later time stamp";

    ASSERT_TRUE(DeleteFileW(path.c_str()));
    EXPECT_EQ(GetLog().Log(1, L"third"), 0);
    EXPECT_EQ(SingleLineMessage(ReadAll(path)), "third");
}

TEST_F(LogTest, StartBannerBeginsWithSixEmptyLinesAndEndsWithOne)
{
    const std::wstring path = FreshFile(L"ostel.log");
    EXPECT_EQ(GetLog().LogTo(L"ostel.log", 32,
                             L"\r\n\r\n\r\n\r\n\r\n\r\nOmbrix PC Software launched, version: %s%s\r\n\r\n",
                             L"V5.0.1.2", L"-skin1"),
              0);
    const std::string file = ReadAll(path);
    EXPECT_EQ(SingleLineMessage(file), "\r\n\r\n\r\n\r\n\r\n\r\nOmbrix PC Software launched, version: V5.0.1.2-skin1\r\n\r\n");
    // Later plain Log calls go to the same file.
    EXPECT_EQ(GetLog().GetLogFile(), folder_ + L"ostel.log");
    EXPECT_EQ(GetLog().Log(1, L"device arrived"), 0);
    const std::string after = ReadAll(path);
    EXPECT_EQ(after.substr(0, file.size()), file);
    EXPECT_EQ(SingleLineMessage(after.substr(file.size())), "device arrived");
}

TEST_F(LogTest, OverLongMessageIsCutAndTheLineStillEnds)
{
    const std::wstring path = FreshFile(L"long.log");
    const std::wstring huge(5000, L'x');
    EXPECT_EQ(GetLog().LogTo(L"long.log", 1, L"%s", huge.c_str()), 0);
    const std::string file = ReadAll(path);
    EXPECT_EQ(file.size(), 2047u) << "the line fills its buffer, less the NUL";
    EXPECT_EQ(SingleLineMessage(file), std::string(2047 - kStampBytes - 3, 'x'));

    // A format without arguments is cut the same way.
    const std::wstring path2 = FreshFile(L"long2.log");
    EXPECT_EQ(GetLog().LogTo(L"long2.log", 1, huge.c_str()), 0);
    EXPECT_EQ(ReadAll(path2).size(), 2047u);
}

TEST(LogLine, CutNeverSplitsACharacter)
{
    const SYSTEMTIME t = {2024, 3, 0, 9, 7, 5, 4, 0};
    char out[kLogLineBytes];
    // The text budget of a line is 2,047 - 22 - 3 = 2,022 units; a surrogate
    // pair in units 2,022 and 2,023 must go whole.
    std::wstring text(2021, L'a');
    text += L"\xD83D\xDE00tail";
    int n = ComposeLogLine(t, text.c_str(), out, sizeof(out), 1252);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(out, n), "2024-03-09 07:05:04  \t" + std::string(2021, 'a') + " \r\n");

    // In a double-byte code page the byte buffer is the limit: 1,011
    // two-byte characters fill the 2,022 bytes left for the text.
    std::wstring chinese(3000, L'\x4E2D');
    n = ComposeLogLine(t, chinese.c_str(), out, sizeof(out), 936);
    ASSERT_EQ(n, 2047);
    EXPECT_EQ(std::string(out + n - 3, 3), " \r\n");
    EXPECT_EQ(std::string(out + kStampBytes, 2), "\xD6\xD0");
    EXPECT_EQ(std::string(out + n - 5, 2), "\xD6\xD0") << "the last character before the end is whole";

    // A short text is kept as it is, and a small buffer still gets a whole line.
    n = ComposeLogLine(t, L"ok", out, sizeof(out), 1252);
    EXPECT_EQ(std::string(out, n), "2024-03-09 07:05:04  \tok \r\n");
    char small[30];
    n = ComposeLogLine(t, L"0123456789", small, sizeof(small), 1252);
    EXPECT_EQ(std::string(small, n), "2024-03-09 07:05:04  \t0123 \r\n");
    EXPECT_EQ(ComposeLogLine(t, L"x", small, 10, 1252), -1) << "no room for the time stamp";
}

TEST_F(LogTest, ReadersMayHoldTheFileWritersMayNot)
{
    const std::wstring path = FreshFile(L"shared.log");
    ASSERT_EQ(GetLog().LogTo(L"shared.log", 1, L"one"), 0);
    {
        // A viewer holds the file open (sharing writes): lines keep coming.
        UniqueFile reader(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(reader);
        EXPECT_EQ(GetLog().Log(1, L"two"), 0);
        char buffer[256] = {};
        DWORD read = 0;
        ASSERT_TRUE(ReadFile(reader.get(), buffer, sizeof(buffer) - 1, &read, nullptr));
        const std::string seen(buffer, read);
        EXPECT_NE(seen.find("one \r\n"), std::string::npos);
        EXPECT_NE(seen.find("two \r\n"), std::string::npos);
    }
    {
        // Another writer holding the file makes the write fail, and report it.
        UniqueFile writer(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(writer);
        EXPECT_EQ(GetLog().Log(1, L"three"), -1);
    }
    const std::string file = ReadAll(path);
    EXPECT_EQ(file.find("three"), std::string::npos);
    EXPECT_EQ(GetLog().Log(1, L"four"), 0);
    EXPECT_NE(ReadAll(path).find("four \r\n"), std::string::npos);
}

}  // namespace
