#include "dunra.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>

namespace {

// CRC-32 as zip computes it, bit by bit (the library uses a table).
uint32_t Crc32(const std::string& bytes)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : bytes) {
        crc ^= c;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

std::string U16(uint16_t v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string U32(uint32_t v) { return U16(static_cast<uint16_t>(v)) + U16(static_cast<uint16_t>(v >> 16)); }

std::string Header(uint16_t version, uint16_t headerSize, uint32_t count)
{
    std::string h = "KVDB" + U16(version) + U16(headerSize) + U32(count) + U32(0) + std::string(12, '\0');
    return h + U32(Crc32(h));
}

std::string Record(uint16_t tag, const std::string& payload)
{
    std::string body = U16(tag) + U16(0) + payload;
    return U32(static_cast<uint32_t>(payload.size())) + body + U32(Crc32(body));
}

class DatabaseTest : public ::testing::Test {
protected:
    static std::wstring Folder()
    {
        wchar_t cwd[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, cwd);
        return std::wstring(cwd) + L"\\dbtest\\";
    }
    // Files left by an earlier run are closed now that that process ended.
    static void SetUpTestSuite()
    {
        const std::wstring folder = Folder();
        CreateDirectoryW(folder.c_str(), nullptr);
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW((folder + L"*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    DeleteFileW((folder + found.cFileName).c_str());
            } while (FindNextFileW(find, &found));
            FindClose(find);
        }
    }
    static std::wstring Path(const wchar_t* name) { return Folder() + name; }
    static void Write(const std::wstring& path, const std::string& bytes)
    {
        HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
        CloseHandle(f);
    }
    static std::string Read(const std::wstring& path)
    {
        HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f == INVALID_HANDLE_VALUE)
            return "<cannot read>";
        std::string bytes(1 << 16, '\0');
        DWORD read = 0;
        ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
        CloseHandle(f);
        bytes.resize(read);
        return bytes;
    }
    // True when another handle may open the file for writing, as a second
    // instance of the product does.
    static bool WritableByOthers(const std::wstring& path)
    {
        HANDLE f = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f == INVALID_HANDLE_VALUE)
            return false;
        CloseHandle(f);
        return true;
    }
    // True while the database is held open: nobody may delete it then.
    static bool HeldOpen(const std::wstring& path)
    {
        HANDLE f = CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f == INVALID_HANDLE_VALUE)
            return GetLastError() == ERROR_SHARING_VIOLATION;
        CloseHandle(f);
        return false;
    }
};

TEST(DatabaseCrc, ReferenceCrcIsTheZipOne) { EXPECT_EQ(Crc32("123456789"), 0xCBF43926u); }

TEST_F(DatabaseTest, CreatesAMissingFileWithTheDocumentedHeader)
{
    const std::wstring path = Path(L"new.db");
    ASSERT_TRUE(dbOpen(path.c_str()));
    const std::string bytes = Read(path);
    ASSERT_EQ(bytes.size(), 32u);
    EXPECT_EQ(bytes.substr(0, 4), "KVDB");
    EXPECT_EQ(bytes.substr(4, 2), U16(1)) << "format version";
    EXPECT_EQ(bytes.substr(6, 2), U16(32)) << "header size";
    EXPECT_EQ(bytes.substr(8, 4), U32(0)) << "no records";
    EXPECT_EQ(bytes.substr(12, 16), std::string(16, '\0')) << "flags and reserved";
    EXPECT_EQ(bytes.substr(28, 4), U32(Crc32(bytes.substr(0, 28))));
    EXPECT_EQ(bytes, Header(1, 32, 0));
}

TEST_F(DatabaseTest, TheOpenDatabaseIsSharedWithOtherInstancesButCannotBeDeleted)
{
    const std::wstring path = Path(L"held.db");
    ASSERT_TRUE(dbOpen(path.c_str()));
    EXPECT_TRUE(HeldOpen(path));
    EXPECT_TRUE(WritableByOthers(path)) << "a second instance of the product opens it too";
    EXPECT_FALSE(DeleteFileW(path.c_str()));
    EXPECT_EQ(Read(path), Header(1, 32, 0));
}

TEST_F(DatabaseTest, OpeningTheSameFileAgainKeepsItAndAnotherReplacesIt)
{
    const std::wstring a = Path(L"a.db"), b = Path(L"b.db");
    ASSERT_TRUE(dbOpen(a.c_str()));
    EXPECT_TRUE(dbOpen(a.c_str())) << "the open database itself";
    ASSERT_TRUE(dbOpen(b.c_str()));
    EXPECT_FALSE(HeldOpen(a)) << "the first one was closed";
    EXPECT_TRUE(HeldOpen(b));

    // Reopening an existing database reads it and leaves it as it was.
    ASSERT_TRUE(dbOpen(a.c_str()));
    EXPECT_EQ(Read(a), Header(1, 32, 0));
    EXPECT_TRUE(HeldOpen(a));
}

TEST_F(DatabaseTest, ARefusedFileLeavesTheOpenDatabaseInPlace)
{
    const std::wstring good = Path(L"kept.db"), foreign = Path(L"foreign-kept.txt");
    Write(foreign, "not a database");
    ASSERT_TRUE(dbOpen(good.c_str()));
    EXPECT_FALSE(dbOpen(foreign.c_str()));
    EXPECT_TRUE(HeldOpen(good)) << "still open";
    EXPECT_FALSE(HeldOpen(foreign)) << "the refused file is not held";
}

TEST_F(DatabaseTest, RefusesPathsThatCannotHoldADatabase)
{
    EXPECT_FALSE(dbOpen(nullptr));
    EXPECT_FALSE(dbOpen(L""));
    const std::wstring missingFolder = Path(L"no-such-folder\\x.db");
    EXPECT_FALSE(dbOpen(missingFolder.c_str()));
    EXPECT_EQ(GetFileAttributesW(Path(L"no-such-folder").c_str()), INVALID_FILE_ATTRIBUTES) << "nothing made";
    const std::wstring folder = Folder();
    EXPECT_FALSE(dbOpen(folder.c_str()));
    const std::wstring folderNoSlash = folder.substr(0, folder.size() - 1);
    EXPECT_FALSE(dbOpen(folderNoSlash.c_str()));
    EXPECT_FALSE(dbOpen(L"NUL")) << "a device is no file";
}

TEST_F(DatabaseTest, RefusesFilesThatAreNotSoundDatabasesAndLeavesThemUntouched)
{
    const std::string valid = Header(1, 32, 0);
    std::string badCrc = valid;
    badCrc[20] = 1;  // a reserved byte changed behind the checksum's back
    std::string badMagic = valid;
    badMagic[0] = 'k';
    const struct {
        const wchar_t* name;
        std::string bytes;
    } cases[] = {
        {L"foreign.db", "SQLite format 3 and then some more bytes of another program"},
        {L"truncated.db", valid.substr(0, 20)},
        {L"badcrc.db", badCrc},
        {L"badmagic.db", badMagic},
        {L"future.db", Header(2, 32, 0)},
        {L"version0.db", Header(0, 32, 0)},
        {L"shortheader.db", Header(1, 16, 0)},
        {L"hugeheader.db", Header(1, 64, 0)},
        {L"missingrecord.db", Header(1, 32, 1)},
        {L"cutrecord.db", Header(1, 32, 1) + Record(7, "payload").substr(0, 10)},
        {L"badrecord.db", [] {
             std::string r = Record(7, "payload");
             r[9] ^= 0x20;
             return Header(1, 32, 1) + r;
         }()},
        {L"hugerecord.db", Header(1, 32, 1) + U32(0x7FFFFFFF) + U16(7) + U16(0)},
    };
    for (const auto& c : cases) {
        const std::wstring path = Path(c.name);
        Write(path, c.bytes);
        EXPECT_FALSE(dbOpen(path.c_str())) << "case " << static_cast<int>(&c - cases);
        EXPECT_EQ(Read(path), c.bytes) << "case " << static_cast<int>(&c - cases) << " was changed";
        EXPECT_FALSE(HeldOpen(path)) << "case " << static_cast<int>(&c - cases) << " is still held";
    }
}

TEST_F(DatabaseTest, AcceptsRecordsAnUnfinishedAppendAndAnEmptyFile)
{
    const std::string twoRecords = Header(1, 32, 2) + Record(1, "first") + Record(0x4242, std::string(40000, 'z'));
    const std::wstring records = Path(L"records.db");
    Write(records, twoRecords);
    EXPECT_TRUE(dbOpen(records.c_str()));
    EXPECT_EQ(Read(records), twoRecords);

    // A record written after the count was last updated is not counted yet.
    const std::string pending = Header(1, 32, 1) + Record(1, "done") + Record(1, "half").substr(0, 6);
    const std::wstring tail = Path(L"tail.db");
    Write(tail, pending);
    EXPECT_TRUE(dbOpen(tail.c_str()));
    EXPECT_EQ(Read(tail), pending);

    // A longer header of a compatible writer is skipped.
    std::string longHeader = "KVDB" + U16(1) + U16(40) + U32(1) + U32(0) + std::string(12, '\0');
    longHeader += U32(Crc32(longHeader)) + std::string(8, '\x55') + Record(3, "r");
    const std::wstring wide = Path(L"wideheader.db");
    Write(wide, longHeader);
    EXPECT_TRUE(dbOpen(wide.c_str()));

    // An empty file holds nothing to lose: it becomes an empty database.
    const std::wstring empty = Path(L"empty.db");
    Write(empty, "");
    EXPECT_TRUE(dbOpen(empty.c_str()));
    EXPECT_EQ(Read(empty), Header(1, 32, 0));
}

}  // namespace
