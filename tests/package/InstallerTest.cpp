// The installer made from this build's product folder, run the way users and
// deployment tools run it: silently into the default folder and into a chosen
// one, refused while Kivra runs, over an installation with the user's data,
// and uninstalled by the command its Uninstall key registers, keeping the
// data or removing it. The product folder it was made from (product\ beside
// this program, see CMakeLists.txt) holds what the installer must leave out.
#include "framework/Handles.h"
#include "resources/Version.h"
#include "tests/e2e/KivraRun.h"
#include "tests/support/ComScope.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

namespace kivra::e2e {
namespace {

using kivra::testing::ComScope;
using kivra::testing::Utf8;

constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kivra";
constexpr wchar_t kUninstaller[] = L"uninstall.exe";
constexpr wchar_t kDatabase[] = KIVRA_TEST_DATABASE;  // the one common\config.xml names
constexpr DWORD kSetupTimeoutMs = 120000;
constexpr DWORD kExitKivraRunning = 2;
// What Kivra.exe --check writes fits; it is read once the process has ended.
constexpr DWORD kOutputBufferBytes = 65536;

std::wstring Version()
{
    return std::to_wstring(KIVRA_VERSION_MAJOR) + L"." + std::to_wstring(KIVRA_VERSION_MINOR) + L"." +
           std::to_wstring(KIVRA_VERSION_BUILD) + L"." + std::to_wstring(KIVRA_VERSION_PATCH);
}

std::wstring SetupProgram() { return TestProgramFolder() + L"Kivra-" + Version() + L"-setup.exe"; }
std::wstring FixtureProductFolder() { return TestProgramFolder() + L"product\\"; }

std::wstring KnownFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, 0, path)) ? std::wstring(path) + L"\\" : L"";
}
std::wstring DefaultInstallFolder() { return KnownFolder(CSIDL_LOCAL_APPDATA) + L"Programs\\Kivra\\"; }
std::wstring ShortcutPath() { return KnownFolder(CSIDL_PROGRAMS) + L"Kivra.lnk"; }

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
std::wstring WithoutSlash(const std::wstring& folder) { return folder.substr(0, folder.size() - 1); }

bool SamePath(const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) == 0; }
bool StartsWith(const std::wstring& text, const std::wstring& prefix)
{
    return text.size() >= prefix.size() && _wcsnicmp(text.c_str(), prefix.c_str(), prefix.size()) == 0;
}

// Every file below folder, by its path relative to it, with its bytes.
using Tree = std::map<std::wstring, std::string>;
void ReadTree(const std::wstring& folder, const std::wstring& relative, Tree* tree)
{
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW((folder + relative + L"*").c_str(), &data));
    if (!find)
        return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ReadTree(folder, relative + name + L"\\", tree);
        else
            (*tree)[relative + name] = ReadTextFile(folder + relative + name);
    } while (FindNextFileW(find.get(), &data));
}
Tree ReadTree(const std::wstring& folder)
{
    Tree tree;
    ReadTree(folder, L"", &tree);
    return tree;
}

// The user's data, which Kivra writes beside itself.
bool IsUserData(const std::wstring& relative)
{
    const std::wstring database = kDatabase;
    for (const wchar_t* suffix : {L"", L"-journal", L"-wal", L"-shm"})
        if (SamePath(relative, database + suffix))
            return true;
    return StartsWith(relative, L"log\\") || SamePath(relative, L"Config.ini");
}
Tree UserData(const Tree& tree)
{
    Tree data;
    for (const auto& [path, bytes] : tree)
        if (IsUserData(path))
            data[path] = bytes;
    return data;
}

// What the product folder holds that is not the program, and so must not be
// installed: the build's import library, the demo's simulated modem, and the
// demo's data (which an installation must never overwrite either).
const wchar_t* const kLeftOut[] = {L"libKivra.a", L"tools\\kivra-modem-sim.exe", L"log\\ostel.log", kDatabase,
                                   L"Config.ini"};

// The program's files: the product folder's, less what is left out.
Tree ProgramFiles()
{
    Tree files = ReadTree(FixtureProductFolder());
    std::erase_if(files, [](const auto& file) {
        return IsUserData(file.first) || StartsWith(file.first, L"tools\\") || file.first.ends_with(L".a");
    });
    return files;
}

// Files of the user's own in the chosen folder, which no step may touch: the
// folder could as well be the desktop, and plugins\ can hold plugins the user
// added.
const Tree kForeignFiles = {{L"notes.txt", "the user's own notes"}, {L"plugins\\mine.txt", "a plugin's read-me"}};

std::wstring RegistryText(HKEY key, const wchar_t* name)
{
    wchar_t value[1024] = {};
    DWORD size = sizeof(value) - sizeof(wchar_t), type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return L"<missing>";
    return value;
}
DWORD RegistryNumber(HKEY key, const wchar_t* name)
{
    DWORD value = 0, size = sizeof(value), type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return 0xFFFFFFFF;
    return value;
}

// The Uninstall key's InstallLocation, or empty without the key.
std::wstring RegisteredFolder()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    const std::wstring location = RegistryText(key, L"InstallLocation");
    RegCloseKey(key);
    return location + L"\\";
}

struct Shortcut {
    bool found = false;
    std::wstring target, workingFolder;
};
Shortcut ReadShortcut()
{
    Shortcut shortcut;
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(link.put()))) ||
        FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))) ||
        FAILED(file->Load(ShortcutPath().c_str(), STGM_READ)))
        return shortcut;
    wchar_t text[MAX_PATH] = {};
    shortcut.found = SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, 0));
    shortcut.target = text;
    text[0] = 0;
    link->GetWorkingDirectory(text, MAX_PATH);
    shortcut.workingFolder = text;
    return shortcut;
}

struct Ran {
    bool finished = false;
    DWORD exitCode = 0;
    std::string output;
};

// Runs command in folder and waits for it and for every process it starts:
// the uninstaller hands over to a copy of itself in the temporary folder and
// ends at once, and only the copy's end means the files are gone.
Ran RunAndWait(std::wstring command, const std::wstring& folder = {})
{
    Ran ran;
    UniqueKernelHandle job(CreateJobObjectW(nullptr, nullptr));
    UniqueKernelHandle port(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1));
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT association{job.get(), port.get()};
    if (!job || !port ||
        !SetInformationJobObject(job.get(), JobObjectAssociateCompletionPortInformation, &association,
                                 sizeof(association)))
        return ran;

    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, kOutputBufferBytes))
        return ran;
    UniqueKernelHandle reader(readEnd), writer(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = writeEnd;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &process))
        return ran;
    UniqueKernelHandle processHandle(process.hProcess), thread(process.hThread);
    AssignProcessToJobObject(job.get(), process.hProcess);
    ResumeThread(process.hThread);
    writer.reset();

    const DWORD start = GetTickCount();
    for (;;) {
        DWORD message = 0;
        ULONG_PTR key = 0;
        OVERLAPPED* overlapped = nullptr;
        const DWORD spent = GetTickCount() - start;
        if (spent >= kSetupTimeoutMs ||
            !GetQueuedCompletionStatus(port.get(), &message, &key, &overlapped, kSetupTimeoutMs - spent))
            break;
        if (message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO) {
            ran.finished = true;
            break;
        }
    }
    if (!ran.finished) {
        TerminateJobObject(job.get(), 1);
        return ran;
    }
    GetExitCodeProcess(process.hProcess, &ran.exitCode);
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(reader.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0)
        ran.output.append(buffer, got);
    return ran;
}

enum class Where { Default, Chosen };
enum class Action {
    Install,
    Uninstall,             // the registered QuietUninstallString
    UninstallRemovingData  // ... with /REMOVEDATA
};
enum class Data {
    None,     // no log, database or Config.ini
    Present,  // some (Kivra runs, and writes it while the step runs)
    Kept,     // the same files with the same bytes as before the step
    Gone      // there before the step, none after
};

enum class Kivra { NotRunning, RunsFromDefault, RunsFromChosen };  // during the step

struct Step {
    const char* name;
    Action action = Action::Install;
    Where where = Where::Chosen;
    Kivra kivra = Kivra::NotRunning;
    bool addUserData = false;  // before the step: Config.ini (with a password) and a crash report
    DWORD exitCode = 0;
    bool installed = true;  // the program's files, the shortcut and the Uninstall key
    Data data = Data::None;
    bool folderRemains = true;
};

// One installation's life, step by step; each step sees what the one before
// left.
const Step kSteps[] = {
    {.name = "install into the default folder", .where = Where::Default},
    {.name = "install elsewhere while Kivra runs: refused",
     .kivra = Kivra::RunsFromDefault, .exitCode = kExitKivraRunning, .installed = false},
    {.name = "uninstall the default one removing Kivra's data: the emptied folder goes too",
     .action = Action::UninstallRemovingData, .where = Where::Default, .installed = false, .data = Data::Gone,
     .folderRemains = false},
    {.name = "install into a chosen folder that has a space in its name"},
    {.name = "install over it while it runs: refused, nothing changed",
     .kivra = Kivra::RunsFromChosen, .exitCode = kExitKivraRunning, .data = Data::Present},
    {.name = "install over it with the log, the database and Config.ini there: all kept",
     .addUserData = true, .data = Data::Kept},
    {.name = "install over it while it asks for its start-up password (before it takes its mutex): refused",
     .kivra = Kivra::RunsFromChosen, .exitCode = kExitKivraRunning, .data = Data::Present},
    {.name = "uninstall silently: the program goes, the data stays",
     .action = Action::Uninstall, .installed = false, .data = Data::Kept},
    {.name = "install again beside the kept data", .data = Data::Kept},
    {.name = "uninstall removing the data: what else the folder holds stays",
     .action = Action::UninstallRemovingData, .installed = false, .data = Data::Gone},
};

class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Exists(SetupProgram())) << "no installer made by the build";
        chosen_ = TestProgramFolder() + L"runs\\Kivra Install\\";
        // Left over from an interrupted run.
        RegDeleteKeyW(HKEY_CURRENT_USER, kUninstallKey);
        DeleteFileW(ShortcutPath().c_str());
        DeleteTree(DefaultInstallFolder());
        DeleteTree(chosen_);
        CreateDirectoryW((TestProgramFolder() + L"runs\\").c_str(), nullptr);
        CreateDirectoryW(chosen_.c_str(), nullptr);
        CreateDirectoryW((chosen_ + L"plugins\\").c_str(), nullptr);
        for (const auto& [path, bytes] : kForeignFiles)
            ASSERT_TRUE(WriteFileBytes(chosen_ + path, bytes));
    }
    void TearDown() override
    {
        if (SamePath(RegisteredFolder(), chosen_) || SamePath(RegisteredFolder(), DefaultInstallFolder())) {
            RegDeleteKeyW(HKEY_CURRENT_USER, kUninstallKey);
            DeleteFileW(ShortcutPath().c_str());
        }
        DeleteTree(DefaultInstallFolder());
        DeleteTree(chosen_);
    }

    std::wstring Folder(Where where) const { return where == Where::Default ? DefaultInstallFolder() : chosen_; }

    Ran Run(const Step& step) const
    {
        const std::wstring folder = Folder(step.where);
        if (step.action == Action::Install) {
            std::wstring command = L"\"" + SetupProgram() + L"\" /S";
            // /D= comes last and unquoted, spaces and all.
            if (step.where == Where::Chosen)
                command += L" /D=" + WithoutSlash(folder);
            return RunAndWait(command);
        }
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return {};
        std::wstring command = RegistryText(key, L"QuietUninstallString");
        RegCloseKey(key);
        if (step.action == Action::UninstallRemovingData)
            command += L" /REMOVEDATA";
        return RunAndWait(command);
    }

    void ExpectInstalled(const std::wstring& folder) const
    {
        const Tree installed = ReadTree(folder);
        const Tree program = ProgramFiles();
        for (const auto& [path, bytes] : program) {
            const auto file = installed.find(path);
            EXPECT_TRUE(file != installed.end() && file->second == bytes) << "not installed as built: " << Utf8(path);
        }
        for (const wchar_t* path : kLeftOut) {
            if (!IsUserData(path)) {
                EXPECT_FALSE(Exists(folder + path)) << "installed: " << Utf8(path);
            }
        }
        EXPECT_TRUE(Exists(folder + kUninstaller));

        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kUninstallKey, 0, KEY_READ, &key), ERROR_SUCCESS);
        EXPECT_EQ(RegistryText(key, L"DisplayName"), L"Kivra");
        EXPECT_EQ(RegistryText(key, L"DisplayVersion"), Version());
        EXPECT_EQ(RegistryText(key, L"Publisher"), L"Kivra");
        EXPECT_EQ(RegistryText(key, L"DisplayIcon"), folder + L"Kivra.exe");
        EXPECT_EQ(RegistryText(key, L"InstallLocation"), WithoutSlash(folder));
        EXPECT_EQ(RegistryText(key, L"UninstallString"), L"\"" + folder + kUninstaller + L"\"");
        EXPECT_EQ(RegistryText(key, L"QuietUninstallString"), L"\"" + folder + kUninstaller + L"\" /S");
        EXPECT_EQ(RegistryNumber(key, L"NoModify"), 1u);
        EXPECT_EQ(RegistryNumber(key, L"NoRepair"), 1u);
        // In KB, each file rounded up.
        size_t bytes = 0;
        for (const auto& file : program)
            bytes += file.second.size();
        const DWORD size = RegistryNumber(key, L"EstimatedSize");
        EXPECT_GE(size, bytes / 1024);
        EXPECT_LE(size, bytes / 1024 + program.size());
        RegCloseKey(key);

        const Shortcut shortcut = ReadShortcut();
        EXPECT_TRUE(shortcut.found);
        EXPECT_TRUE(SamePath(shortcut.target, folder + L"Kivra.exe")) << Utf8(shortcut.target);
        EXPECT_TRUE(SamePath(shortcut.workingFolder, WithoutSlash(folder))) << Utf8(shortcut.workingFolder);

        // The installed program binds its plugins and reads its skin.
        const Ran check = RunAndWait(L"\"" + folder + L"Kivra.exe\" --check", folder);
        EXPECT_TRUE(check.finished);
        EXPECT_EQ(check.exitCode, 0u) << check.output;
    }

    void ExpectNotInstalled(const std::wstring& folder) const
    {
        for (const auto& file : ProgramFiles())
            EXPECT_FALSE(Exists(folder + file.first)) << "still there: " << Utf8(file.first);
        EXPECT_FALSE(Exists(folder + kUninstaller));
        // Its folders, unless something else is in them.
        for (const wchar_t* sub : {L"common\\", L"language\\", L"skin\\aurora\\", L"skin\\", L"plugins\\"}) {
            if (Exists(folder + sub)) {
                EXPECT_FALSE(ReadTree(folder + sub).empty()) << "left empty: " << Utf8(sub);
            }
        }
        // Registration and shortcut, unless another installation has them.
        EXPECT_FALSE(SamePath(RegisteredFolder(), folder));
        const Shortcut shortcut = ReadShortcut();
        EXPECT_FALSE(shortcut.found && SamePath(shortcut.target, folder + L"Kivra.exe"));
    }

    std::wstring chosen_;
    ComScope com_;
};

TEST_F(InstallerTest, InstallsUpgradesAndUninstallsKeepingTheUsersData)
{
    const Tree leftOut = ReadTree(FixtureProductFolder());
    for (const wchar_t* path : kLeftOut)
        ASSERT_TRUE(leftOut.count(path)) << "the product folder should hold " << Utf8(path);

    for (const Step& step : kSteps) {
        SCOPED_TRACE(step.name);
        const std::wstring folder = Folder(step.where);
        KivraProcess running;
        HWND window = nullptr;
        if (step.kivra != Kivra::NotRunning) {
            window = running.StartAndWaitForWindow(
                Folder(step.kivra == Kivra::RunsFromDefault ? Where::Default : Where::Chosen), nullptr);
            ASSERT_NE(window, nullptr) << "Kivra did not start";
        }
        if (step.addUserData) {
            ASSERT_TRUE(WriteFileBytes(folder + L"Config.ini", "[GENERAL_SETTING]\r\nADJUST=ljwsb\r\n"));
            ASSERT_TRUE(WriteFileBytes(folder + L"log\\crash-20240101-120000.txt", "a crash report"));
        }
        const Tree dataBefore = UserData(ReadTree(folder));

        const Ran ran = Run(step);
        ASSERT_TRUE(ran.finished);
        EXPECT_EQ(ran.exitCode, step.exitCode);

        const Tree dataAfter = UserData(ReadTree(folder));
        switch (step.data) {
        case Data::None:
            EXPECT_TRUE(dataAfter.empty());
            break;
        case Data::Present:
            EXPECT_FALSE(dataAfter.empty());
            break;
        case Data::Kept:
            EXPECT_FALSE(dataBefore.empty());
            EXPECT_TRUE(dataAfter == dataBefore) << "the user's data changed";
            break;
        case Data::Gone:
            EXPECT_FALSE(dataBefore.empty());
            EXPECT_TRUE(dataAfter.empty());
            break;
        }
        if (step.installed)
            ExpectInstalled(folder);
        else
            ExpectNotInstalled(folder);
        EXPECT_EQ(Exists(folder), step.folderRemains);
        if (step.where == Where::Chosen) {
            for (const auto& [path, bytes] : kForeignFiles)
                EXPECT_EQ(ReadTextFile(chosen_ + path), bytes) << Utf8(path);
        }

        if (window) {
            ASSERT_TRUE(running.CloseAndWait(window));
        }
    }
}

// Adds the bytes of one icon resource to the std::vector<std::string> at list.
BOOL CALLBACK CollectIcon(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR list)
{
    HRSRC found = FindResourceW(module, name, type);
    const void* bytes = found ? LockResource(LoadResource(module, found)) : nullptr;
    if (bytes)
        reinterpret_cast<std::vector<std::string>*>(list)->emplace_back(static_cast<const char*>(bytes),
                                                                         SizeofResource(module, found));
    return TRUE;
}

// The installer's own file: its version and the product's icon.
TEST(InstallerFileTest, CarriesTheVersionAndTheProductsIcon)
{
    const std::wstring setup = SetupProgram();
    DWORD ignored = 0;
    std::vector<BYTE> info(GetFileVersionInfoSizeW(setup.c_str(), &ignored));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(GetFileVersionInfoW(setup.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwProductVersionMS, static_cast<DWORD>(MAKELONG(KIVRA_VERSION_MINOR, KIVRA_VERSION_MAJOR)));
    EXPECT_EQ(fixed->dwProductVersionLS, static_cast<DWORD>(MAKELONG(KIVRA_VERSION_PATCH, KIVRA_VERSION_BUILD)));
    // The texts of its first language and code page.
    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    ASSERT_GE(length, 4u);
    wchar_t block[64];
    swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\ProductVersion", translation[0], translation[1]);
    wchar_t* text = nullptr;
    ASSERT_TRUE(VerQueryValueW(info.data(), block, reinterpret_cast<void**>(&text), &length));
    EXPECT_EQ(std::wstring(text), Version());

    // Every picture of common\main.ico is one of the file's icon resources.
    const std::string ico = ReadTextFile(FixtureProductFolder() + L"common\\main.ico");
    ASSERT_GE(ico.size(), 6u);
    const int count = static_cast<unsigned char>(ico[4]) | static_cast<unsigned char>(ico[5]) << 8;
    UniqueModule module(LoadLibraryExW(setup.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(module);
    std::vector<std::string> resources;
    EnumResourceNamesW(module.get(), RT_ICON, CollectIcon, reinterpret_cast<LONG_PTR>(&resources));
    ASSERT_GT(count, 0);
    for (int i = 0; i < count; ++i) {
        const size_t entry = 6 + 16 * static_cast<size_t>(i);
        ASSERT_LE(entry + 16, ico.size());
        auto word = [&](size_t at) {
            return static_cast<size_t>(static_cast<unsigned char>(ico[at]) | static_cast<unsigned char>(ico[at + 1]) << 8);
        };
        const size_t size = word(entry + 8) | word(entry + 10) << 16;
        const size_t offset = word(entry + 12) | word(entry + 14) << 16;
        ASSERT_LE(offset + size, ico.size());
        EXPECT_NE(std::find(resources.begin(), resources.end(), ico.substr(offset, size)), resources.end())
            << "picture " << i << " of main.ico";
    }
}

}  // namespace
}  // namespace kivra::e2e
