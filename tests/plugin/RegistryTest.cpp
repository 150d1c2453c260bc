#include "plugin/ManagerPlugin.h"
#include "plugin/PluginLoader.h"
#include "plugin/ServiceRegistry.h"

#include "framework/Text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace kivra;

namespace {

// What the recording handler saw, one entry per call.
struct HandlerCall {
    std::string name;  // the caller's szName during the call
    TService* service;
    TParam* param;
    TParam seen;  // *param as it was during the call (the caller's block is gone after it)
};
std::vector<HandlerCall> g_calls;

int __cdecl RecordCall(TService* service, TParam* param)
{
    g_calls.push_back({std::string(service->szName, strnlen(service->szName, KIVRA_NAME_SIZE)), service, param,
                       param ? *param : TParam{}});
    return 1;
}

int __cdecl OtherHandler(TService*, TParam* param)
{
    if (param)
        param->nCode = 99;
    return 1;
}

TService Record(const char* name, TServiceHandler handler = RecordCall)
{
    TService service{};
    CopyText(service.szName, name);
    service.pfnHandler = handler;
    return service;
}

// The names SplitNameList produced, in order.
template <typename Ch>
std::vector<std::basic_string<Ch>> NamesOf(const Ch* out, size_t count)
{
    std::vector<std::basic_string<Ch>> names;
    for (size_t at = 0; at < count && out[at] != 0;) {
        std::basic_string<Ch> name(out + at);
        at += name.size() + 1;
        names.push_back(name);
    }
    return names;
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_calls.clear();
        registry_ = CServiceRegistry::GetRegistry();
        ASSERT_NE(registry_, nullptr);
    }
    void TearDown() override
    {
        UnloadAllPlugins();
        CServiceRegistry::DestroyRegistry();
    }

    void Register(const char* name, TServiceHandler handler = RecordCall)
    {
        TService service = Record(name, handler);
        ASSERT_EQ(caller_.RegisterService(&service), 1) << name;
    }

    // Adds a plugin object with the given name to the plugin list.
    CPluginInterface* AddPlugin(const char* name, unsigned long version = 0)
    {
        auto* plugin = new CPluginInterface();
        CopyText(plugin->info.szName, name);
        CopyText(plugin->info.szSecondName, "second");
        plugin->info.dwVersion = version;
        EXPECT_TRUE(registry_->AddPlugin(plugin));
        return plugin;
    }

    CServiceRegistry* registry_ = nullptr;
    CPluginInterface caller_{};  // the plugin the test registers through
};

// ---------------------------------------------------------------------------
// Name lists

struct SplitCase {
    const char* text;
    std::vector<std::string> names;
    size_t count;
};

TEST(NameList, SplitsAtBlanksCommasAndSemicolons)
{
    const SplitCase cases[] = {
        {"a;b", {"a", "b"}, 3},
        {"  a,, b ", {"a", "b"}, 4},
        {"sms ,;smsbox;;dialer", {"sms", "smsbox", "dialer"}, 17},
        {";;, ,", {}, 0},
        {"", {}, 0},
        {"manager/ShowTray", {"manager/ShowTray"}, 16},
    };
    for (const SplitCase& c : cases) {
        char out[kNameListLimit + 1];
        std::memset(out, 0x55, sizeof(out));
        size_t count = kNameListLimit;
        CServiceRegistry::SplitNameList(c.text, out, count);
        EXPECT_EQ(count, c.count) << c.text;
        EXPECT_EQ(NamesOf(out, count), c.names) << c.text;
        for (size_t i = count; i <= kNameListLimit; ++i)
            ASSERT_EQ(out[i], 0) << c.text << " zero-filled at " << i;
    }
}

TEST(NameList, ReadsAndWritesAtMost64Characters)
{
    // 70 characters of one name: cut at 64 and still terminated.
    std::string longName(70, 'x');
    char out[kNameListLimit + 1];
    size_t count = kNameListLimit;
    CServiceRegistry::SplitNameList(longName.c_str(), out, count);
    EXPECT_EQ(count, 64u);
    EXPECT_EQ(NamesOf(out, count), std::vector<std::string>{std::string(64, 'x')});

    // A separator at position 63 ends the read text: the name after it is
    // beyond the limit.
    std::string text = std::string(63, 'a') + ";b";
    count = kNameListLimit;
    CServiceRegistry::SplitNameList(text.c_str(), out, count);
    EXPECT_EQ(count, 64u);
    EXPECT_EQ(NamesOf(out, count), std::vector<std::string>{std::string(63, 'a')});
}

TEST(NameList, WideListUsesTheTextLengthAsLimit)
{
    std::wstring text = L" first, second;;third ";
    for (int i = 0; i < 40; ++i)
        text += L" plugin" + std::to_wstring(i);
    std::vector<wchar_t> out(text.size() + 1, 0x55);
    size_t count = text.size();
    CServiceRegistry::SplitNameList(text.c_str(), out.data(), count);
    auto names = NamesOf(out.data(), count);
    ASSERT_EQ(names.size(), 43u);
    EXPECT_EQ(names[0], L"first");
    EXPECT_EQ(names[1], L"second");
    EXPECT_EQ(names[2], L"third");
    EXPECT_EQ(names[42], L"plugin39");
    EXPECT_EQ(out[count], 0);
}

// ---------------------------------------------------------------------------
// Calls

TEST_F(RegistryTest, ListCallsEachNameInOrderWithTheSameParam)
{
    Register("a");
    Register("b");
    for (const char* text : {"a;b", "  a,, b "}) {
        g_calls.clear();
        TService service = Record(text, nullptr);
        TParam param{};
        EXPECT_EQ(registry_->CallService(&service, &param), 1) << text;
        ASSERT_EQ(g_calls.size(), 2u) << text;
        EXPECT_EQ(g_calls[0].name, "a");
        EXPECT_EQ(g_calls[1].name, "b");
        for (const HandlerCall& call : g_calls) {
            EXPECT_EQ(call.service, &service) << "handlers get the caller's record";
            EXPECT_EQ(call.param, &param);
        }
        EXPECT_STREQ(service.szName, "b");
        for (size_t i = 1; i < sizeof(service.szName); ++i)
            ASSERT_EQ(service.szName[i], 0) << "zero-filled after the last name, at " << i;
    }
}

// A name that fills its whole field has no terminator: all 64 bytes name the
// service, and the handler sees it cut to 63 characters and terminated.
TEST_F(RegistryTest, NameFillingTheFieldIsFoundByAll64Bytes)
{
    TService full{};
    std::memset(full.szName, 'n', sizeof(full.szName));
    full.pfnHandler = RecordCall;
    ASSERT_EQ(caller_.RegisterService(&full), 1);
    TService service{};
    std::memset(service.szName, 'n', sizeof(service.szName));
    TParam param{};
    EXPECT_EQ(registry_->CallService(&service, &param), 1);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].name, std::string(63, 'n'));
    TService shorter = Record(std::string(63, 'n').c_str(), nullptr);
    EXPECT_EQ(registry_->CallService(&shorter, &param), 0) << "63 of the 64 bytes name another service";
}

TEST_F(RegistryTest, CallStopsAtFirstUnregisteredName)
{
    Register("a");
    Register("b");
    TService service = Record("a;x;b", nullptr);
    TParam param{};
    EXPECT_EQ(registry_->CallService(&service, &param), 0);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].name, "a");
    EXPECT_STREQ(service.szName, "x");

    TService unknown = Record("nobody/Here", nullptr);
    EXPECT_EQ(registry_->CallService(&unknown, &param), 0);
}

TEST_F(RegistryTest, DataRecordIsCopiedOverTheCallersRecordAndEndsTheCall)
{
    Register("a");
    Register("b");
    TService data = Record("manager/ProvideSetCWnd", nullptr);
    data.uMessage = 0x1234;
    data.hWnd = reinterpret_cast<HWND>(0x5500);
    ASSERT_EQ(caller_.RegisterService(&data), 1);

    TService service = Record("a;manager/ProvideSetCWnd;b", nullptr);
    service.uMessage = 7;
    service.hWnd = reinterpret_cast<HWND>(0x99);
    TParam param{};
    EXPECT_EQ(registry_->CallService(&service, &param), 1);
    ASSERT_EQ(g_calls.size(), 1u) << "b is not called";
    const TService* stored = registry_->FindService("manager/ProvideSetCWnd");
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(std::memcmp(&service, stored, sizeof(TService)), 0);
    EXPECT_EQ(service.uMessage, 0x1234u);
    EXPECT_EQ(service.pInterface, &caller_);
    EXPECT_EQ(service.hWnd, reinterpret_cast<HWND>(0x5500));
}

TEST_F(RegistryTest, DataRecordReaderFillsTheRecordInBeforeEachCopy)
{
    Register("a");
    TService data = Record("manager/ProvideSetCWnd", nullptr);
    ASSERT_EQ(caller_.RegisterService(&data), 1);
    EXPECT_FALSE(registry_->SetDataRecordReader("a", [] {})) << "a handler record has no reader";
    EXPECT_FALSE(registry_->SetDataRecordReader("nobody/Here", [] {}));

    int reads = 0;
    ASSERT_TRUE(registry_->SetDataRecordReader("manager/ProvideSetCWnd", [&] {
        ++reads;
        registry_->FindService("manager/ProvideSetCWnd")->hWnd = reinterpret_cast<HWND>(0x5500);
    }));
    TParam param{};
    for (int call = 1; call <= 2; ++call) {
        TService service = Record("manager/ProvideSetCWnd;a", nullptr);
        EXPECT_EQ(registry_->CallService(&service, &param), 1);
        EXPECT_EQ(service.hWnd, reinterpret_cast<HWND>(0x5500)) << "the copy is taken after the reader ran";
        EXPECT_EQ(reads, call);
    }
    // Calling a handler record runs no reader; an empty reader removes it.
    TService handler = Record("a", nullptr);
    registry_->CallService(&handler, &param);
    ASSERT_TRUE(registry_->SetDataRecordReader("manager/ProvideSetCWnd", nullptr));
    TService service = Record("manager/ProvideSetCWnd", nullptr);
    registry_->CallService(&service, &param);
    EXPECT_EQ(reads, 2);
}

TEST_F(RegistryTest, EmptyOrSeparatorOnlyNameSucceedsWithoutCalls)
{
    Register("a");
    for (const char* text : {"", " ;, ;"}) {
        TService service = Record(text, nullptr);
        TParam param{};
        EXPECT_EQ(registry_->CallService(&service, &param), 1) << '"' << text << '"';
        EXPECT_STREQ(service.szName, text);
    }
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(RegistryTest, HandlerGetsAZeroParamWhenTheCallerPassesNone)
{
    Register("a");
    TService service = Record("a", nullptr);
    EXPECT_EQ(registry_->CallService(&service, nullptr), 1);
    ASSERT_EQ(g_calls.size(), 1u);
    ASSERT_NE(g_calls[0].param, nullptr);
    EXPECT_EQ(registry_->CallService(nullptr, nullptr), 0);
}

// ---------------------------------------------------------------------------
// Registration

TEST_F(RegistryTest, SecondRegistrationOfANameIsRefusedAndCaseCounts)
{
    TService first = Record("manager/ShowTray", RecordCall);
    TService second = Record("manager/ShowTray", OtherHandler);
    TService capital = Record("Manager/ShowTray", OtherHandler);
    EXPECT_EQ(caller_.RegisterService(&first), 1);
    EXPECT_EQ(caller_.RegisterService(&second), 0);
    EXPECT_EQ(caller_.RegisterService(&capital), 1);

    TService service = Record("manager/ShowTray", nullptr);
    TParam param{};
    EXPECT_EQ(registry_->CallService(&service, &param), 1);
    EXPECT_EQ(g_calls.size(), 1u) << "the first record stays in force";
    EXPECT_EQ(param.nCode, 0);

    service = Record("Manager/ShowTray", nullptr);
    EXPECT_EQ(registry_->CallService(&service, &param), 1);
    EXPECT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(param.nCode, 99);
}

TEST_F(RegistryTest, RegistrationStoresACopyMarkedWithTheRegisteringPlugin)
{
    CPluginInterface other{};
    TService service = Record("sms/Send");
    service.uMessage = 0x219;
    ASSERT_EQ(other.RegisterService(&service), 1);
    EXPECT_EQ(service.pInterface, &other) << "the caller's record is marked too";

    service.uMessage = 1;
    service.pfnHandler = OtherHandler;
    const TService* stored = registry_->FindService("sms/Send");
    ASSERT_NE(stored, nullptr);
    EXPECT_NE(stored, &service);
    EXPECT_EQ(stored->uMessage, 0x219u);
    EXPECT_EQ(stored->pfnHandler, RecordCall);
    EXPECT_EQ(stored->pInterface, &other);
}

TEST_F(RegistryTest, RemovingAPluginsServicesKeepsTheOthers)
{
    CPluginInterface refused{};
    TService a = Record("refused/A");
    TService b = Record("refused/B");
    refused.RegisterService(&a);
    Register("kept/C");
    refused.RegisterService(&b);
    registry_->RemoveServicesOf(&refused);
    EXPECT_EQ(registry_->FindService("refused/A"), nullptr);
    EXPECT_EQ(registry_->FindService("refused/B"), nullptr);
    EXPECT_NE(registry_->FindService("kept/C"), nullptr);
    EXPECT_EQ(registry_->Services().size(), 1u);
}

TEST_F(RegistryTest, NameOfARefusedPluginCanBeRegisteredAgainByAnother)
{
    CPluginInterface refused{};
    CPluginInterface other{};
    TService first = Record("sms/Send");
    first.uMessage = WM_APP;
    ASSERT_EQ(refused.RegisterService(&first), 1);
    registry_->RemoveServicesOf(&refused);

    TService service = Record("sms/Send", nullptr);
    TParam param{};
    EXPECT_EQ(registry_->CallService(&service, &param), 0) << "nothing of the refused plugin is callable";
    MSG msg{};
    msg.message = WM_APP;
    EXPECT_EQ(registry_->DispatchServiceMessage(&msg), 0);
    EXPECT_TRUE(g_calls.empty()) << "nor reached by messages";

    TService second = Record("sms/Send", OtherHandler);
    EXPECT_EQ(other.RegisterService(&second), 1);
    service = Record("sms/Send", nullptr);
    EXPECT_EQ(registry_->CallService(&service, &param), 1);
    EXPECT_EQ(param.nCode, 99) << "the new record is the one called";
    EXPECT_EQ(registry_->FindService("sms/Send")->pInterface, &other);
}

TEST_F(RegistryTest, MessageReachesTheNewestListenerOfItsWindowAsTheRecordIsNow)
{
    const HWND page = reinterpret_cast<HWND>(0x1100);
    const HWND panel = reinterpret_cast<HWND>(0x2200);
    CPluginInterface refused{};
    const auto bind = [](CPluginInterface& plugin, const char* name, HWND window) {
        TService record = Record(name);
        record.uMessage = WM_APP;
        record.hWnd = window;
        ASSERT_EQ(plugin.RegisterService(&record), 1);
    };
    bind(caller_, "a/OnPage", page);
    bind(caller_, "b/OnPanel", panel);
    bind(caller_, "c/OnPage", page);
    bind(refused, "d/OnPage", page);
    registry_->RemoveServicesOf(&refused);

    const auto route = [this](HWND window) {
        g_calls.clear();
        MSG msg{};
        msg.hwnd = window;
        msg.message = WM_APP;
        EXPECT_EQ(registry_->DispatchServiceMessage(&msg), 0);
        return g_calls.size() == 1 ? g_calls[0].name : std::string("calls: ") + std::to_string(g_calls.size());
    };
    EXPECT_EQ(route(page), "c/OnPage");
    EXPECT_EQ(route(panel), "b/OnPanel");
    // The shell takes a window back from a stored record (a destroyed page).
    registry_->FindService("c/OnPage")->hWnd = nullptr;
    EXPECT_EQ(route(page), "a/OnPage");
}

// ---------------------------------------------------------------------------
// Plugin queries

TEST_F(RegistryTest, QueryFindsTheNewestPluginWhoseNameOccursInTheQuery)
{
    PluginInfo info{};
    CopyText(info.szName, "smsbox");
    info.dwVersion = 77;
    const PluginInfo before = info;
    EXPECT_FALSE(caller_.QueryPluginInfo(&info)) << "no plugin bound";
    EXPECT_EQ(std::memcmp(&info, &before, sizeof(info)), 0);

    AddPlugin("box", 1);
    AddPlugin("sms", 2);
    EXPECT_TRUE(caller_.QueryPluginInfo(&info));
    EXPECT_STREQ(info.szName, "sms") << "newest first";
    EXPECT_STREQ(info.szSecondName, "second");
    EXPECT_EQ(info.dwVersion, 2u);

    PluginInfo shorter{};
    CopyText(shorter.szName, "sm");
    shorter.dwVersion = 5;
    EXPECT_FALSE(caller_.QueryPluginInfo(&shorter)) << "a bound name longer than the query does not occur in it";
    EXPECT_STREQ(shorter.szName, "sm");
    EXPECT_EQ(shorter.dwVersion, 5u);

    AddPlugin("");
    PluginInfo anything{};
    CopyText(anything.szName, "whatever");
    EXPECT_TRUE(caller_.QueryPluginInfo(&anything)) << "an empty name occurs in every name";
    EXPECT_STREQ(anything.szName, "");
}

TEST_F(RegistryTest, EnumerationRunsNewestFirstWithOneCursor)
{
    AddPlugin("manager");
    AddPlugin("sms");
    AddPlugin("dialer");
    auto enumerate = [this] {
        std::vector<std::string> names;
        PluginInfo info;
        while (registry_->EnumPluginInfoNext(&info))
            names.push_back(info.szName);
        return names;
    };
    const std::vector<std::string> expected = {"dialer", "sms", "manager"};
    EXPECT_TRUE(enumerate().empty()) << "nothing before the first reset";
    registry_->EnumPluginInfoReset();
    EXPECT_EQ(enumerate(), expected);
    EXPECT_TRUE(enumerate().empty()) << "the cursor stays at the end";
    registry_->EnumPluginInfoReset();
    PluginInfo first;
    ASSERT_TRUE(registry_->EnumPluginInfoNext(&first));
    EXPECT_STREQ(first.szName, "dialer");
    registry_->EnumPluginInfoReset();
    EXPECT_EQ(enumerate(), expected);
}

// ---------------------------------------------------------------------------
// The shell's own calls

TEST_F(RegistryTest, CallByNameGoesThroughTheBuiltInPlugin)
{
    Register("a");
    Register("b");
    EXPECT_EQ(registry_->CallServiceByName(ManagerPluginInterface(), "a"), 0) << "built-in plugin not bound";
    EXPECT_TRUE(g_calls.empty());

    ASSERT_EQ(BindPlugin(registry_, ManagerPluginEntryPoints()), 1);
    EXPECT_EQ(registry_->CallServiceByName(ManagerPluginInterface(), "a;b"), 1);
    ASSERT_EQ(g_calls.size(), 2u);
    const TParam zero{};
    EXPECT_EQ(std::memcmp(&g_calls[0].seen, &zero, sizeof(TParam)), 0) << "all-zero parameter";
    EXPECT_EQ(registry_->CallServiceByName(ManagerPluginInterface(), "a;nobody"), 0);
    EXPECT_EQ(registry_->CallServiceByName(ManagerPluginInterface(), nullptr), 1) << "no name, nothing called";

    UnloadAllPlugins();
    g_calls.clear();
    EXPECT_EQ(registry_->CallServiceByName(ManagerPluginInterface(), "a"), 0);
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(RegistryTest, DestroyedRegistryComesBackEmpty)
{
    Register("a");
    AddPlugin("sms");
    CServiceRegistry::DestroyRegistry();
    registry_ = CServiceRegistry::GetRegistry();
    ASSERT_NE(registry_, nullptr);
    EXPECT_EQ(registry_->FindService("a"), nullptr);
    EXPECT_TRUE(registry_->Plugins().empty());
    EXPECT_EQ(registry_->Host(), nullptr);
}

}  // namespace
