// The product database under hostile conditions, with the real Kivra.exe:
// database files that are no sound database of ours (each ends the start
// the way its row says, says why in the log and is left as it was), a writer
// inside Kivra.exe killed in the middle of its writes again and again (no
// committed message is lost, the file stays sound), and a second process
// reading and writing while Kivra.exe writes (nobody sees SQLITE_BUSY).
#include "tests/battery/Battery.h"
#include "tests/e2e/KivraRun.h"

#include "dunra.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <vector>

using namespace kivra::battery;
using kivra::e2e::KivraProcess;
using kivra::e2e::ReadLines;
using kivra::e2e::ReadTextFile;
using kivra::e2e::TestProgramFolder;
using kivra::e2e::WriteFileBytes;

namespace {

constexpr DWORD kLimitMs = 30000;
constexpr int kOurApplicationId = 0x4B564442;
constexpr int kKillRuns = 20;
constexpr int kMessagesPerRun = 1000;
constexpr int kPeerMessages = 300;
constexpr DWORD kWriterWaitMs = 60000;
constexpr DWORD kPollMs = 5;

std::string Utf8(const std::wstring& text) { return kivra::testing::Utf8(text); }

std::string ReadBytes(const std::wstring& path)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return "<cannot read>";
    LARGE_INTEGER size = {};
    GetFileSizeEx(f, &size);
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(f);
    bytes.resize(read);
    return bytes;
}

// Runs sql on a new SQLite file (as another program would make one) and
// gives its bytes.
std::string SqliteFileBytes(const std::string& sql)
{
    const std::wstring path = kivra::testing::ScratchFolder() + L"made.sqlite";
    DeleteFileW(path.c_str());
    sqlite3* db = nullptr;
    sqlite3_open_v2(Utf8(path).c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    const bool made = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    const std::string bytes = made ? ReadBytes(path) : "<not made>";
    DeleteFileW(path.c_str());
    return bytes;
}

std::string OurFileBytes(int formatVersion)
{
    return SqliteFileBytes("PRAGMA application_id=" + std::to_string(kOurApplicationId) +
                           "; PRAGMA user_version=" + std::to_string(formatVersion) +
                           "; CREATE TABLE dunra_schema(name TEXT PRIMARY KEY NOT NULL, version INTEGER NOT NULL);"
                           "CREATE TABLE notes(body TEXT); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 "
                           "FROM n WHERE i<500) INSERT INTO notes SELECT randomblob(100) FROM n;");
}

// Every line of every file in the product's log\ folder.
std::string LogText(const std::wstring& folder)
{
    std::string text;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"log\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return text;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            text += ReadTextFile(folder + L"log\\" + found.cFileName);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return text;
}

struct HostileCase {
    const char* name;
    std::function<std::string()> bytes;  // battery.db's content; null: made by the plan
    Outcome expected;
    const char* logSays;
    bool readOnly = false;
    bool heldByAnother = false;
    bool isFolder = false;
    bool lockedRange = false;  // another program's byte-range lock over the whole file
};

TEST(DatabaseBatteryTest, HostileDatabaseFilesEndTheStartClearlyAndAreLeftAsTheyWere)
{
    const Outcome E = Outcome::Ended, S = Outcome::Started;
    std::string random(16384, '\0');
    for (size_t i = 0; i < random.size(); ++i)
        random[i] = static_cast<char>((i * 2654435761u) >> 11);
    const HostileCase cases[] = {
        {"truncated", [] { return OurFileBytes(1).substr(0, 6000); }, E, "is damaged"},
        {"zero-filled", [] { return std::string(16384, '\0'); }, E, "is not a database of this product"},
        {"random bytes", [&] { return random; }, E, "is not a database of this product"},
        {"a damaged page",
         [] {
             std::string bytes = OurFileBytes(1);
             bytes.replace(12000, 4000, 4000, '\x33');
             return bytes;
         },
         E, "is damaged"},
        {"another program's SQLite database", [] { return SqliteFileBytes("CREATE TABLE photos(path TEXT)"); }, E,
         "is another program's SQLite database"},
        {"a newer format of ours", [] { return OurFileBytes(2); }, E, "was written by a newer version"},
        {"a folder", nullptr, E, "is a folder", false, false, true},
        {"a read-only file", [] { return OurFileBytes(1); }, E, "is read-only", true},
        {"held by another program", [] { return OurFileBytes(1); }, E, "is held by another program", false, true},
        {"locked by another program", [] { return OurFileBytes(1); }, E, "locked by another program", false, false,
         false, true},
        {"the earlier format", [] { return std::string("KVDB\x01\x00\x20\x00", 8) + std::string(24, '\0'); }, S,
         "was moved to"},
        {"one of ours", [] { return OurFileBytes(1); }, S, ""},
    };
    int i = 0;
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.name);
        Plan plan = BasePlan();
        plan.title = L"Database battery " + std::to_wstring(++i);
        std::string before;
        if (c.bytes) {
            before = c.bytes();
            plan.files.push_back({L"battery.db", before});
        }
        if (c.isFolder)
            plan.folders.push_back(L"battery.db");
        const std::wstring folder = ProductFolder(L"d" + std::to_wstring(i));
        ASSERT_EQ(MakeProduct(folder, plan), "");
        const std::wstring db = folder + L"battery.db";
        if (c.readOnly) {
            ASSERT_TRUE(SetFileAttributesW(db.c_str(), FILE_ATTRIBUTE_READONLY));
        }
        HANDLE held = INVALID_HANDLE_VALUE;
        if (c.heldByAnother || c.lockedRange)
            held = CreateFileW(db.c_str(), GENERIC_READ | GENERIC_WRITE,
                               c.lockedRange ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        OVERLAPPED whole = {};
        if (c.lockedRange) {
            ASSERT_TRUE(LockFileEx(held, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                                   &whole));
        }

        const RunResult result = RunKivra(folder, plan, kLimitMs);

        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        SetFileAttributesW(db.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_STREQ(OutcomeName(result.outcome), OutcomeName(c.expected)) << result.crashReport.substr(0, 400);
        EXPECT_NE(LogText(folder).find(c.logSays), std::string::npos) << LogText(folder);
        if (c.expected == E && c.bytes) {
            EXPECT_TRUE(ReadBytes(db) == before) << "the refused file was changed";
        }
        if (c.expected == S && std::string(c.name) == "the earlier format") {
            EXPECT_TRUE(ReadBytes(db + L".old") == before);
        }
        kivra::e2e::DeleteTree(folder);
    }
}

// ---- writers ------------------------------------------------------------------

// A product folder with the writer plugin in plugins\ and dbpeer.exe beside
// Kivra.exe (where dunra.dll is).
std::wstring WriterProduct(const wchar_t* name, Plan& plan)
{
    plan = BasePlan();
    plan.title = std::wstring(L"Database writer ") + name;
    plan.files.push_back({L"plugins\\writer.dll", ReadBytes(TestProgramFolder() + L"fixtures\\writer.dll")});
    plan.files.push_back({L"dbpeer.exe", ReadBytes(TestProgramFolder() + L"fixtures\\dbpeer.exe")});
    const std::wstring folder = ProductFolder(name);
    const std::string problem = MakeProduct(folder, plan);
    return problem.empty() ? folder : L"";
}

// Starts Kivra.exe with its writer plugin writing count messages and
// reporting to report.
bool StartWriter(KivraProcess& kivra, const std::wstring& folder, const std::wstring& report, int count)
{
    SetEnvironmentVariableW(L"KIVRA_WRITER_REPORT", report.c_str());
    SetEnvironmentVariableW(L"KIVRA_WRITER_COUNT", std::to_wstring(count).c_str());
    const bool started = kivra.Start(folder);
    SetEnvironmentVariableW(L"KIVRA_WRITER_REPORT", nullptr);
    SetEnvironmentVariableW(L"KIVRA_WRITER_COUNT", nullptr);
    return started;
}

// The row ids a report lists; *done tells whether it ended with "done", and
// *errors collects its error lines.
std::set<long long> ReportedIds(const std::wstring& report, bool* done = nullptr, std::string* errors = nullptr)
{
    std::set<long long> ids;
    for (const std::string& line : ReadLines(report)) {
        if (line == "done") {
            if (done)
                *done = true;
        } else if (line.rfind("error", 0) == 0) {
            if (errors)
                *errors += line + "; ";
        } else if (!line.empty()) {
            ids.insert(std::stoll(line));
        }
    }
    return ids;
}

size_t LineCount(const std::wstring& path)
{
    const std::string text = ReadBytes(path);
    size_t lines = 0;
    for (char c : text)
        lines += c == '\n';
    return text == "<cannot read>" ? 0 : lines;
}

// What the file holds after a writer ended: whether it is sound, its ids,
// and whether the totals agree with the rows.
struct Contents {
    std::string integrity;
    std::set<long long> ids;
    long long total = -1;
};

Contents ReadContents(const std::wstring& db)
{
    Contents contents;
    sqlite3* connection = nullptr;
    if (sqlite3_open_v2(Utf8(db).c_str(), &connection, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(connection);
        contents.integrity = "<does not open>";
        return contents;
    }
    sqlite3_busy_timeout(connection, 5000);
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(connection, "PRAGMA integrity_check", -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW)
            contents.integrity += reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    }
    sqlite3_finalize(statement);
    if (sqlite3_prepare_v2(connection, "SELECT id FROM writer_messages", -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW)
            contents.ids.insert(sqlite3_column_int64(statement, 0));
    }
    sqlite3_finalize(statement);
    if (sqlite3_prepare_v2(connection, "SELECT ifnull(sum(count), 0) FROM writer_totals", -1, &statement, nullptr) ==
            SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        contents.total = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    sqlite3_close(connection);
    return contents;
}

bool Kill(const KivraProcess& kivra)
{
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, kivra.Id());
    if (process == nullptr)
        return false;
    const bool killed = TerminateProcess(process, 1) && WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
    CloseHandle(process);
    return killed;
}

TEST(DatabaseBatteryTest, KillingKivraMidWriteLosesNoCommittedMessage)
{
    Plan plan;
    const std::wstring folder = WriterProduct(L"killed", plan);
    ASSERT_FALSE(folder.empty());
    const std::wstring db = folder + L"battery.db";
    std::set<long long> committed;
    for (int run = 0; run < kKillRuns; ++run) {
        SCOPED_TRACE("run " + std::to_string(run + 1));
        const std::wstring report = folder + L"report" + std::to_wstring(run) + L".txt";
        // Kill points spread over the run, a different one each time.
        const size_t killAfter = 20 + static_cast<size_t>(run * 379 % (kMessagesPerRun - 40));
        KivraProcess kivra;
        ASSERT_TRUE(StartWriter(kivra, folder, report, kMessagesPerRun));
        const DWORD begin = GetTickCount();
        while (LineCount(report) < killAfter && kivra.Running() && GetTickCount() - begin < kWriterWaitMs)
            Sleep(kPollMs);
        ASSERT_TRUE(kivra.Running()) << "Kivra.exe ended before it was killed: " << ReadTextFile(report).substr(0, 200)
                                     << LogText(folder);
        ASSERT_GE(LineCount(report), killAfter) << "the writer did not get going";
        ASSERT_TRUE(Kill(kivra));

        bool done = false;
        std::string errors;
        const std::set<long long> reported = ReportedIds(report, &done, &errors);
        EXPECT_EQ(errors, "");
        EXPECT_FALSE(done) << "killed after the last message: the kill point is too late";
        committed.insert(reported.begin(), reported.end());

        const Contents contents = ReadContents(db);
        ASSERT_EQ(contents.integrity, "ok");
        for (long long id : committed)
            ASSERT_TRUE(contents.ids.count(id)) << "message " << id << " committed, then lost";
        EXPECT_EQ(contents.total, static_cast<long long>(contents.ids.size())) << "half a transaction is in the file";
    }
    std::printf("%d kills, %zu committed messages all kept\n", kKillRuns, committed.size());
    kivra::e2e::DeleteTree(folder);
}

// Starts folder\dbpeer.exe with the arguments, its output to outputPath.
HANDLE StartPeer(const std::wstring& folder, const std::wstring& arguments, const std::wstring& outputPath)
{
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE output = CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION process{};
    std::wstring command = L"\"" + folder + L"dbpeer.exe\" " + arguments;
    const bool started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        folder.c_str(), &startup, &process);
    CloseHandle(output);
    if (!started)
        return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
}

DWORD WaitForPeer(HANDLE peer)
{
    DWORD code = 0xFFFF;
    if (peer != nullptr && WaitForSingleObject(peer, 120000) == WAIT_OBJECT_0)
        GetExitCodeProcess(peer, &code);
    if (peer != nullptr)
        CloseHandle(peer);
    return code;
}

TEST(DatabaseBatteryTest, ASecondProcessReadsAndWritesWhileKivraWritesWithoutBusy)
{
    Plan plan;
    const std::wstring folder = WriterProduct(L"peers", plan);
    ASSERT_FALSE(folder.empty());
    const std::wstring db = folder + L"battery.db", kivraReport = folder + L"kivra.txt",
                       peerReport = folder + L"peer.txt";
    KivraProcess kivra;
    ASSERT_TRUE(StartWriter(kivra, folder, kivraReport, kMessagesPerRun));
    const DWORD begin = GetTickCount();
    while (LineCount(kivraReport) < 1 && GetTickCount() - begin < kWriterWaitMs)
        Sleep(kPollMs);
    ASSERT_GE(LineCount(kivraReport), 1u) << "the writer in Kivra.exe did not get going";

    HANDLE reader = StartPeer(folder, L"read \"" + db + L"\" \"" + kivraReport + L"\"", folder + L"reader.out");
    HANDLE writer = StartPeer(folder,
                              L"write \"" + db + L"\" " + std::to_wstring(kPeerMessages) + L" \"" + peerReport + L"\"",
                              folder + L"writer.out");
    ASSERT_NE(reader, nullptr);
    ASSERT_NE(writer, nullptr);
    const DWORD writerCode = WaitForPeer(writer);
    const DWORD readerCode = WaitForPeer(reader);
    EXPECT_EQ(writerCode, 0u) << ReadTextFile(folder + L"writer.out");
    EXPECT_EQ(readerCode, 0u) << ReadTextFile(folder + L"reader.out");

    bool done = false;
    std::string errors;
    const std::set<long long> kivraIds = ReportedIds(kivraReport, &done, &errors);
    EXPECT_TRUE(done) << "the writer in Kivra.exe did not finish";
    EXPECT_EQ(errors, "");
    const std::set<long long> peerIds = ReportedIds(peerReport);
    EXPECT_EQ(kivraIds.size(), static_cast<size_t>(kMessagesPerRun));
    EXPECT_EQ(peerIds.size(), static_cast<size_t>(kPeerMessages));

    HWND window = kivra::e2e::WaitForWindow(kivra.Id(), plan.title.c_str(), 20000);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(kivra.CloseAndWait(window));
    EXPECT_EQ(GetFileAttributesW((db + L"-wal").c_str()), INVALID_FILE_ATTRIBUTES)
        << "with everyone closed, the database is one file again (as a backup copies it)";
    const Contents contents = ReadContents(db);
    EXPECT_EQ(contents.integrity, "ok");
    EXPECT_EQ(contents.ids.size(), kivraIds.size() + peerIds.size());
    for (long long id : kivraIds)
        EXPECT_TRUE(contents.ids.count(id)) << id;
    for (long long id : peerIds)
        EXPECT_TRUE(contents.ids.count(id)) << id;
    std::printf("%s", ReadTextFile(folder + L"reader.out").c_str());
    kivra::e2e::DeleteTree(folder);
}

}  // namespace
