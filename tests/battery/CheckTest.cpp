// kivra-check.exe (and through it Kivra.exe --check) on the demo product and
// on generated product folders: what it prints, line by line, and its exit code.
#include "tests/battery/Battery.h"

#include "framework/ChildProcess.h"
#include "tests/e2e/KivraRun.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <functional>

using namespace kivra::battery;
using namespace kivra::e2e;

namespace {

// A check that takes longer than this is taken for a hang.
constexpr DWORD kCheckRunLimitMs = 60000;

struct Ran {
    DWORD exitCode = 0;
    bool timedOut = false;
    std::string output;
};

// Runs folder\kivra-check.exe with arguments, its output through a pipe.
Ran RunCheck(const std::wstring& folder, const std::wstring& arguments)
{
    Ran ran;
    kivra::TChildRun run;
    run.commandLine = L"\"" + folder + L"kivra-check.exe\" " + arguments;
    run.workingFolder = folder;
    run.limitMs = kCheckRunLimitMs;
    run.onOutput = [&](const char* bytes, size_t size) { ran.output.append(bytes, size); };
    const kivra::TChildOutcome outcome = kivra::RunChildProcess(run);
    ran.exitCode = outcome.exitCode;
    ran.timedOut = outcome.timedOut;
    if (!outcome.started)
        ran.output = "(kivra-check.exe could not be started: error " + std::to_string(outcome.startError) + ")";
    return ran;
}

std::string ForeignLibrary()
{
    std::string bytes(512, '\0');
    bytes[0] = 'M', bytes[1] = 'Z', bytes[0x3C] = 0x40;
    return bytes.replace(0x40, 6, std::string("PE\0\0\x64\x86", 6));
}

// The plugin loader's fixture libraries (tests/plugin).
std::wstring LoaderFixtures()
{
    return kivra::testing::TestProgramFolder() + L"..\\plugin\\host\\fixtures\\";
}

struct Case {
    const char* name;
    std::function<void(Plan&)> make;
    const wchar_t* arguments;
    DWORD exitCode;
    std::vector<std::string> lines;  // each must occur in the output (the folder scan has no fixed order)
};

TEST(CheckTest, DemoProductPassesBothChecks)
{
    const Ran skin = RunCheck(DemoProductFolder(), L"skin");
    EXPECT_EQ(skin.exitCode, 0u) << skin.output;
    EXPECT_NE(skin.output.find("Skin check of skin\\aurora\r\nread by the shell: shaped window"), std::string::npos)
        << skin.output;
    EXPECT_NE(skin.output.find("\r\nNo findings.\r\n"), std::string::npos) << skin.output;
    const Ran help = RunCheck(DemoProductFolder(), L"--help");
    EXPECT_NE(help.output.find("Kivra.exe --check skin [name | folder]"), std::string::npos) << help.output;
}

TEST(CheckTest, SaysOfEveryLibraryAndSkinKeyWhatTheShellMakesOfIt)
{
    const Case cases[] = {
        {"plugins", [](Plan& s) {
             s.crashyAt = "-";
             s.files = {{L"plugins\\junk.dll", std::string(900, 'j')}, {L"plugins\\x64.dll", ForeignLibrary()}};
             for (const wchar_t* fixture : {L"refused\\oldhost", L"refused\\failload", L"names\\sms", L"names\\smsbox"})
                 s.files.emplace_back(L"plugins\\" + std::wstring(std::wcsrchr(fixture, L'\\') + 1) + L".dll",
                                      ReadTextFile(LoaderFixtures() + fixture + L".dll"));
             s.skinBody += "<backgroudmain-frame><load-plugin-order>crashy sms COM1 absent</load-plugin-order></backgroudmain-frame>";
         }, L"plugins", 1,
         {"plugins\\crashy.dll: bound as \"crashy\", 1 service: crashy/Boom",
          "plugins\\sms.dll: bound as \"sms\", 1 service: sms/Ping",
          "plugins\\COM1.dll: refused: not a regular file",
          "plugins\\absent.dll: not found",
          "plugins\\junk.dll: refused: not a Windows library",
          "plugins\\x64.dll: refused: not a 32-bit library (machine 0x8664, x64)",
          "plugins\\oldhost.dll: refused: CheckDependenceInfo answered false to the host version 0x101000",
          "plugins\\failload.dll: refused: LoadPlugin answered false",
          "plugins\\smsbox.dll: refused: its name \"smsbox\" contains the name of the bound plugin \"sms\"",
          "8 libraries: 2 bound, 6 refused."}},
        {"a library that is no plugin", [](Plan&) {}, L"plugins marvik.dll", 1,
         {"marvik.dll: refused: missing export LoadPlugin, ExecuteService, UnloadPlugin, GetPluginInfo, CheckDependenceInfo"}},
        {"skin findings", [](Plan& s) {
             s.skinBody.replace(s.skinBody.find("true</abnormal-window>"), 4, "TRUE");
             s.skinBody += "<tool-bar><button rect=\"30,0,10,20\" image=\"gone.bmp\" visible=\"no\" cmdid=\"x1\"/>"
                           "<button image=\"COM1\"/></tool-bar><status-bar show=\"1\"/>";
             s.skinBody.replace(s.skinBody.find("from=\"0,0,160,120\""), 18, "from=\"0,0,170,120\"");
         }, L"skin", 0,
         {"skin/main-frame/abnormal-window: \"TRUE\" is read as false",
          "skin/backgroud/image/@from: out-of-range rectangle 0,0,170,120: reaches beyond its picture of 160 x 120",
          "skin/tool-bar/button[1]/@rect: out-of-range rectangle 30,0,10,20",
          "skin/tool-bar/button[1]/@image: missing picture \"gone.bmp\" (in neither skin\\battery\\ nor common\\)",
          "skin/tool-bar/button[1]/@visible: unknown key \"visible\" (the skin spells it \"visable\")",
          "skin/tool-bar/button[1]/@cmdid: unreadable value \"x1\"",
          "skin/tool-bar/button[2]/@image: missing picture: \"COM1\" names a device",
          "skin/status-bar/@show: \"1\" is read as false", "read by the shell: ", "findings."}},
        {"a skin that would not start", [](Plan& s) { s.skinFile = "<skin><description/></skin>"; }, L"skin battery", 2,
         {"skin\\battery: skin/description/preview is missing",
          "skin\\battery would not start: the shell would say \"The config file may be broken!\""}},
        {"a plugin that crashes while checked", [](Plan& s) { s.crashyAt = "LoadPlugin"; }, L"plugins",
         EXCEPTION_ACCESS_VIOLATION,
         {"plugins\\crashy.dll: crashed (plugin \"crashy\", exception 0xC0000005); the crash report is log\\crash-"}},
    };
    for (const Case& c : cases) {
        Plan plan = BasePlan();
        plan.title = L"Battery check";
        c.make(plan);
        const std::wstring folder = ProductFolder(L"check");
        ASSERT_EQ(MakeProduct(folder, plan), "") << c.name;
        ASSERT_TRUE(CopyFileW((DemoProductFolder() + L"kivra-check.exe").c_str(), (folder + L"kivra-check.exe").c_str(), FALSE));
        SetEnvironmentVariableA("KIVRA_CRASHY_AT", plan.crashyAt.c_str());
        const Ran ran = RunCheck(folder, c.arguments);
        SetEnvironmentVariableA("KIVRA_CRASHY_AT", nullptr);
        EXPECT_FALSE(ran.timedOut) << c.name << ": kivra-check.exe did not end";
        EXPECT_EQ(ran.exitCode, c.exitCode) << c.name << "\n" << ran.output;
        for (const std::string& line : c.lines)
            EXPECT_NE(ran.output.find(line), std::string::npos) << c.name << ": no \"" << line << "\" in\n" << ran.output;
        for (int attempt = 0; attempt < 20 && !DeleteTree(folder); ++attempt)
            Sleep(100);
    }
}

// A plugin whose LoadPlugin starts a helper program with inherited handles:
// the helper holds a copy of the check's output pipe long after Kivra.exe
// --check ended, and kivra-check.exe still returns with Kivra's answer.
TEST(CheckTest, ReturnsWhenTheCheckEndsThoughAPluginsHelperHoldsItsOutput)
{
    Plan plan = BasePlan();
    plan.title = L"Battery check helper";
    plan.crashyAt = "helper";
    const std::wstring folder = ProductFolder(L"helper");
    ASSERT_EQ(MakeProduct(folder, plan), "");
    ASSERT_TRUE(CopyFileW((DemoProductFolder() + L"kivra-check.exe").c_str(), (folder + L"kivra-check.exe").c_str(), FALSE));
    const std::wstring endEvent = L"KivraLingerEnd" + std::to_wstring(GetCurrentProcessId());
    HANDLE lingerEnd = CreateEventW(nullptr, TRUE, FALSE, endEvent.c_str());
    ASSERT_NE(lingerEnd, nullptr);
    const std::wstring helper = L"\"" + kivra::testing::TestProgramFolder() + L"fixtures\\linger.exe\" " + endEvent;
    SetEnvironmentVariableA("KIVRA_CRASHY_AT", "helper");
    SetEnvironmentVariableW(L"KIVRA_CRASHY_HELPER", helper.c_str());
    const Ran ran = RunCheck(folder, L"plugins");
    SetEnvironmentVariableA("KIVRA_CRASHY_AT", nullptr);
    SetEnvironmentVariableW(L"KIVRA_CRASHY_HELPER", nullptr);
    SetEvent(lingerEnd);
    CloseHandle(lingerEnd);

    EXPECT_FALSE(ran.timedOut) << "kivra-check.exe waited for the helper's copy of its pipe";
    EXPECT_EQ(ran.exitCode, 0u) << ran.output;
    EXPECT_NE(ran.output.find("plugins\\crashy.dll: bound as \"crashy\""), std::string::npos) << ran.output;
    for (int attempt = 0; attempt < 20 && !DeleteTree(folder); ++attempt)
        Sleep(100);
}

}  // namespace
