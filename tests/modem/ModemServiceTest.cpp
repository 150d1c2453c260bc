// What marvik.dll's C functions do, on the simulated modem and a stand-in
// for the system's dial-up networking.
#include "SessionFixture.h"

#include "marvik/ModemService.h"
#include "tests/support/ScratchFolder.h"

#include <atomic>

using marvik::ModemService;
using sessiontest::DeliverPdu;
using sessiontest::Eventually;
using sessiontest::Post;

namespace {

// Dial-up networking as the test says it is; the test plays the system's
// progress reports.
class StandInRas final : public marvik::RasApi {
public:
    explicit StandInRas(modemsim::SimulatedModem& modem) : modem_(modem) {}
    bool Available() override { return available; }
    DWORD SetEntry(const std::wstring& entry, const std::wstring& port, const std::wstring& number) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        entries.push_back(entry + L"|" + port + L"|" + number);
        apnAtEntry = modem_.Apn();
        return 0;
    }
    DWORD Dial(const std::wstring& entry, const std::wstring& user, const std::wstring& password,
               Progress progress) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        dialled = entry + L"|" + user + L"|" + password;
        progress_ = std::move(progress);
        return dialResult;
    }
    void HangUp() override { hangUps++; }
    bool Statistics(DWORD& seconds, DWORD& received, DWORD& sent) override
    {
        seconds = 42;
        received = 1000;
        sent = 200;
        return true;
    }
    void Report(int link, DWORD error)
    {
        Progress progress;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            progress = progress_;
        }
        progress(link, error);
    }

    bool available = true;
    DWORD dialResult = 0;
    std::vector<std::wstring> entries;
    std::string apnAtEntry;
    std::wstring dialled;
    std::atomic<int> hangUps{0};

private:
    modemsim::SimulatedModem& modem_;
    std::mutex mutex_;
    Progress progress_;
};

class ModemServiceTest : public ::testing::Test {
protected:
    void SetUp() override { ports = std::make_unique<modemsim::SimulatedPortProvider>(modem); }
    void TearDown() override { service.reset(); }

    void MakeService(bool simulatedLinkAllowed = false)
    {
        service = std::make_unique<ModemService>(
            *ports, ras, [this](unsigned long m, unsigned w, long l) { recorder.Add(Post{m, w, l}); },
            [this](const std::wstring& line) { recorder.AddLog(line); }, sessiontest::TestTimings(),
            simulatedLinkAllowed);
    }
    TModemStatus Status() const
    {
        TModemStatus status{};
        status.cbSize = sizeof(status);
        EXPECT_EQ(service->GetStatus(&status), MODEM_OK);
        return status;
    }
    bool StartReady()
    {
        if (service->Start(L"COM5").result != MODEM_OK)
            return false;
        return Eventually([&] {
            const TModemStatus s = Status();
            return s.present && s.sim == MODEM_SIM_READY && s.registration == MODEM_REG_HOME;
        });
    }
    std::vector<unsigned> LinkPosts() const
    {
        std::vector<unsigned> links;
        for (const Post& post : recorder.Posts())
            if (post.message == MODEM_BUS_LINK)
                links.push_back(post.wParam);
        return links;
    }

    modemsim::SimulatedModem modem;
    std::unique_ptr<modemsim::SimulatedPortProvider> ports;
    StandInRas ras{modem};
    sessiontest::Recorder recorder;
    std::unique_ptr<ModemService> service;
};

TEST_F(ModemServiceTest, StatusRecordIsCheckedAndUnknownWithoutASession)
{
    MakeService();
    EXPECT_EQ(service->GetStatus(nullptr), MODEM_E_BAD_ARGUMENT);
    TModemStatus small{};
    small.cbSize = sizeof(TModemStatus) - 4;
    EXPECT_EQ(service->GetStatus(&small), MODEM_E_BAD_ARGUMENT);
    const TModemStatus s = Status();
    EXPECT_EQ(s.cbSize, sizeof(TModemStatus));
    EXPECT_EQ(s.present, 0);
    EXPECT_EQ(s.signalDbm, MODEM_SIGNAL_UNKNOWN);
    EXPECT_EQ(s.registration, MODEM_REG_UNKNOWN);
}

TEST_F(ModemServiceTest, StartingTwiceIsHarmlessAndAnotherPortIsBusy)
{
    MakeService();
    EXPECT_EQ(service->Start(L"COM5").result, MODEM_OK);
    EXPECT_EQ(service->Start(nullptr).result, MODEM_OK);
    EXPECT_EQ(service->Start(L"\\\\.\\com5").result, MODEM_OK);
    EXPECT_EQ(service->Start(L"COM6").result, MODEM_E_BUSY);
    ASSERT_TRUE(Eventually([&] { return Status().present == 1; }));
    EXPECT_EQ(service->Stop().result, MODEM_OK);
    EXPECT_EQ(Status().present, 0);
    EXPECT_EQ(service->Start(L"LPT1").result, MODEM_E_BAD_ARGUMENT);
    EXPECT_EQ(service->Start(L"COM0").result, MODEM_E_BAD_ARGUMENT);
    EXPECT_EQ(ports->OpenCount(), 1);
}

TEST_F(ModemServiceTest, StartAfterStopRunsTheSessionAgainWithTheLinkKept)
{
    MakeService(true);
    ASSERT_TRUE(StartReady());
    EXPECT_EQ(service->Stop().result, MODEM_OK);
    EXPECT_EQ(service->SetSimulatedLink(1).result, MODEM_OK);  // while stopped
    TModemStatus stopped = Status();
    EXPECT_EQ(stopped.present, 0);
    EXPECT_EQ(stopped.link, MODEM_LINK_UP);
    wchar_t reply[16];
    EXPECT_EQ(service->Ussd(L"*100#", reply, 16, 0).result, MODEM_E_NO_MODEM);
    ASSERT_TRUE(StartReady());
    EXPECT_EQ(Status().link, MODEM_LINK_UP);
    EXPECT_EQ(service->Start(L"COM6").result, MODEM_E_BUSY);  // the port of the second start
    EXPECT_EQ(ports->OpenCount(), 2);
}

TEST_F(ModemServiceTest, CallsBeforeStartSayNoModem)
{
    MakeService();
    wchar_t reply[16];
    int sent = 7;
    EXPECT_EQ(service->EnterPin(L"1234").result, MODEM_E_NO_MODEM);
    EXPECT_EQ(service->Ussd(L"*100#", reply, 16, 0).result, MODEM_E_NO_MODEM);
    EXPECT_EQ(service->SendMessage(L"+4512345678", L"hi", &sent).result, MODEM_E_NO_MODEM);
    EXPECT_EQ(sent, 0);
    int count = 5;
    EXPECT_EQ(service->ListMessages(nullptr, 0, &count).result, MODEM_OK);
    EXPECT_EQ(count, 0);
}

TEST_F(ModemServiceTest, MessageRecordsCutLongTextsWithoutBreakingACharacter)
{
    // 469 UCS2 units in seven parts, with a surrogate pair where the record's
    // text field ends (units 398 and 399).
    std::wstring text;
    for (int i = 0; i < 469; ++i)
        text += static_cast<wchar_t>(L'A' + i % 26);
    text[398] = 0xD83D;
    text[399] = 0xDE00;
    for (int part = 0; part < 7; ++part)
        modem.StoreMessage(1, DeliverPdu("4599999999", text.substr(part * 67, 67), 9, 7, part + 1));
    modem.StoreMessage(0, DeliverPdu("4511111111", L"short"));
    MakeService();
    ASSERT_TRUE(StartReady());
    int count = 0;
    ASSERT_TRUE(Eventually([&] { return service->ListMessages(nullptr, 0, &count).result == MODEM_OK && count == 2; }));

    TModemMessage one[1] = {};
    one[0].cbSize = sizeof(TModemMessage);
    EXPECT_EQ(service->ListMessages(one, 1, &count).result, MODEM_OK);
    EXPECT_EQ(count, 2) << "the count says how many there are, past the capacity";

    TModemMessage records[4] = {};
    records[0].cbSize = sizeof(TModemMessage) + 1;
    EXPECT_EQ(service->ListMessages(records, 4, &count).result, MODEM_E_BAD_ARGUMENT);
    records[0].cbSize = sizeof(TModemMessage);
    ASSERT_EQ(service->ListMessages(records, 4, &count).result, MODEM_OK);
    const TModemMessage* longOne = records[0].partsTotal == 7 ? &records[0] : &records[1];
    EXPECT_EQ(longOne->indexCount, 7);
    EXPECT_EQ(longOne->textLength, 469);
    EXPECT_EQ(std::wstring(longOne->text), text.substr(0, 398)) << "cut before the pair, not inside it";
    EXPECT_STREQ(longOne->sender, L"+4599999999");
    EXPECT_EQ(longOne->year, 2024);
    EXPECT_EQ(longOne->zoneQuarterHours, 4);

    std::vector<wchar_t> whole(600);
    EXPECT_EQ(service->GetMessageText(longOne->id, whole.data(), 600).result, 469);
    EXPECT_EQ(std::wstring(whole.data()), text);
    wchar_t tiny[5];
    EXPECT_EQ(service->GetMessageText(longOne->id, tiny, 5).result, 469);
    EXPECT_EQ(std::wstring(tiny), text.substr(0, 4));
    EXPECT_EQ(service->GetMessageText(4711, tiny, 5).result, MODEM_E_BAD_ARGUMENT);

    EXPECT_EQ(service->DeleteMessage(longOne->id).result, MODEM_OK);
    EXPECT_EQ(modem.StoredIndexes().size(), 1u);
}

TEST_F(ModemServiceTest, PartsAreCountedAsTheyWouldBeSent)
{
    EXPECT_EQ(ModemService::CountMessageParts(nullptr), MODEM_E_BAD_ARGUMENT);
    EXPECT_EQ(ModemService::CountMessageParts(L""), 1);
    EXPECT_EQ(ModemService::CountMessageParts(std::wstring(160, L'a').c_str()), 1);
    EXPECT_EQ(ModemService::CountMessageParts(std::wstring(161, L'a').c_str()), 2);
    EXPECT_EQ(ModemService::CountMessageParts(std::wstring(71, L'\x4E2D').c_str()), 2);
}

TEST_F(ModemServiceTest, ConnectSetsTheApnMakesTheEntryAndReportsTheLink)
{
    MakeService();
    ASSERT_TRUE(StartReady());
    ASSERT_EQ(service->Connect(L"internet", L"user", L"secret").result, MODEM_OK);
    EXPECT_EQ(ras.apnAtEntry, "internet") << "the APN is on the modem before the entry is dialled";
    EXPECT_EQ(ras.entries, (std::vector<std::wstring>{L"Kivra Modem|COM5|*99#"}));
    EXPECT_EQ(ras.dialled, L"Kivra Modem|user|secret");
    EXPECT_EQ(Status().link, MODEM_LINK_DIALLING);
    EXPECT_FALSE(service->LinkUp());
    EXPECT_EQ(service->Connect(L"internet", nullptr, nullptr).result, MODEM_E_BUSY);

    ras.Report(MODEM_LINK_UP, 0);
    EXPECT_EQ(Status().link, MODEM_LINK_UP);
    EXPECT_EQ(Status().linkSimulated, 0);
    EXPECT_TRUE(service->LinkUp());
    ASSERT_TRUE(Eventually([&] { return Status().linkSeconds == 42; })) << "statistics read at the refresh";
    EXPECT_EQ(Status().bytesReceived, 1000u);
    EXPECT_EQ(Status().bytesSent, 200u);

    EXPECT_EQ(service->Disconnect().result, MODEM_OK);
    ASSERT_TRUE(Eventually([&] { return Status().link == MODEM_LINK_DOWN; }));
    EXPECT_EQ(ras.hangUps.load(), 1);
    EXPECT_EQ(LinkPosts(), (std::vector<unsigned>{MODEM_LINK_DIALLING, MODEM_LINK_UP, MODEM_LINK_DOWN}));
    EXPECT_TRUE(recorder.StatusBits() & MODEM_CHANGED_LINK);
}

TEST_F(ModemServiceTest, FailedDialIsPostedWithTheSystemsError)
{
    MakeService();
    ASSERT_TRUE(StartReady());
    ASSERT_EQ(service->Connect(L"internet", nullptr, nullptr).result, MODEM_OK);
    ras.Report(MODEM_LINK_DOWN, 691);
    EXPECT_EQ(Status().link, MODEM_LINK_DOWN);
    const std::vector<Post> posts = recorder.Posts();
    ASSERT_FALSE(posts.empty());
    bool found = false;
    for (const Post& post : posts)
        found = found || (post.message == MODEM_BUS_LINK && post.wParam == MODEM_LINK_DOWN && post.lParam == 691);
    EXPECT_TRUE(found);
    EXPECT_EQ(service->Connect(L"internet", nullptr, nullptr).result, MODEM_OK) << "a new dial may start";
}

struct RefusedConnectCase {
    const char* name;
    bool rasAvailable;
    DWORD dialResult;
    bool simReady;
    int result;
};

void PrintTo(const RefusedConnectCase& c, std::ostream* os) { *os << c.name; }

class RefusedConnectTest : public ModemServiceTest, public ::testing::WithParamInterface<RefusedConnectCase> {};

TEST_P(RefusedConnectTest, ConnectFailsClearlyAndLeavesTheLinkDown)
{
    const RefusedConnectCase& c = GetParam();
    ras.available = c.rasAvailable;
    ras.dialResult = c.dialResult;
    if (!c.simReady)
        modem.SetSim(modemsim::SimState::Pin);
    MakeService();
    ASSERT_EQ(service->Start(L"COM5").result, MODEM_OK);
    ASSERT_TRUE(Eventually([&] { return Status().present && Status().sim != MODEM_SIM_UNKNOWN; }));
    EXPECT_EQ(service->Connect(L"internet", nullptr, nullptr).result, c.result);
    EXPECT_EQ(Status().link, MODEM_LINK_DOWN);
    EXPECT_FALSE(service->LinkUp());
}

const RefusedConnectCase kRefusedConnectCases[] = {
    {"NoDialUpNetworking", false, 0, true, MODEM_E_NOT_SUPPORTED},
    {"DialNotImplemented", true, ERROR_CALL_NOT_IMPLEMENTED, true, MODEM_E_NOT_SUPPORTED},
    {"DialRefused", true, 633, true, MODEM_E_REFUSED},
    {"SimLocked", true, 0, false, MODEM_E_SIM_LOCKED},
};
INSTANTIATE_TEST_SUITE_P(ModemService, RefusedConnectTest, ::testing::ValuesIn(kRefusedConnectCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ModemServiceTest, SimulatedLinkOnlyWhereTheDemoAllowsIt)
{
    MakeService(false);
    EXPECT_EQ(service->SetSimulatedLink(1).result, MODEM_E_NOT_SUPPORTED);
    EXPECT_EQ(Status().link, MODEM_LINK_DOWN);
    EXPECT_FALSE(service->LinkUp());

    MakeService(true);
    ASSERT_TRUE(StartReady());
    EXPECT_EQ(service->SetSimulatedLink(1).result, MODEM_OK);
    EXPECT_EQ(Status().link, MODEM_LINK_UP);
    EXPECT_EQ(Status().linkSimulated, 1);
    EXPECT_TRUE(service->LinkUp());
    const DWORD earlier = Status().bytesReceived;
    Sleep(100);
    EXPECT_GT(Status().bytesReceived, earlier) << "the simulated traffic is counted at each read";
    EXPECT_EQ(service->Connect(L"internet", nullptr, nullptr).result, MODEM_E_BUSY);
    EXPECT_EQ(service->Disconnect().result, MODEM_OK);
    EXPECT_EQ(Status().link, MODEM_LINK_DOWN);
    EXPECT_EQ(Status().linkSimulated, 0);
    EXPECT_EQ(ras.hangUps.load(), 0) << "nothing real to hang up";
}

TEST(SimulatedLinkSetting, OnlyTheDemosToolsFileAllowsIt)
{
    const std::wstring folder = kivra::testing::FreshScratchFolder(L"simlink");
    const std::wstring base = folder.substr(0, folder.size() - 1);
    EXPECT_FALSE(marvik::SimulatedLinkAllowedIn(base));
    CreateDirectoryW((folder + L"tools").c_str(), nullptr);
    CreateDirectoryW((folder + L"tools\\simulated-link").c_str(), nullptr);
    EXPECT_FALSE(marvik::SimulatedLinkAllowedIn(base)) << "a folder of that name is not the setting";
    RemoveDirectoryW((folder + L"tools\\simulated-link").c_str());
    const HANDLE file = CreateFileW((folder + L"tools\\simulated-link").c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_TRUE(marvik::SimulatedLinkAllowedIn(base));
    EXPECT_FALSE(marvik::SimulatedLinkAllowedIn(L""));
}

TEST(SimulatedLinkTraffic, EverySecondCarriesABelievableAmountAndTheCountsNeverFall)
{
    DWORD lastReceived = 0, lastSent = 0;
    marvik::SimulatedTraffic(0, lastReceived, lastSent);
    EXPECT_EQ(lastReceived, 0u);
    EXPECT_EQ(lastSent, 0u);
    // Two minutes, second by second: the download between 60 and 140 KB/s,
    // the upload about a tenth of it.
    for (unsigned long long ms = 1000; ms <= 120000; ms += 1000) {
        DWORD received = 0, sent = 0;
        marvik::SimulatedTraffic(ms, received, sent);
        const DWORD down = received - lastReceived, up = sent - lastSent;
        EXPECT_GE(down, 60u * 1024) << ms;
        EXPECT_LE(down, 140u * 1024) << ms;
        EXPECT_GE(up, down / 20) << ms;
        EXPECT_LE(up, down / 5) << ms;
        lastReceived = received;
        lastSent = sent;
    }
}

TEST_F(ModemServiceTest, DeviceArrivalOnTheBusLooksForTheModemAtOnce)
{
    MakeService();
    ASSERT_TRUE(StartReady());
    ports->Unplug();
    ASSERT_TRUE(Eventually([&] { return Status().present == 0; }));
    ports->Plug();
    service->OnBusMessage(0x8069, 0, 0);  // plugins loaded: not an arrival
    service->OnBusMessage(0x0218, 0x8000, 0);
    Sleep(300);
    EXPECT_EQ(ports->OpenCount(), 1) << "only the device-arrival notice makes it look before its 5 s";
    service->OnBusMessage(0x8069, 0x8000, 0);
    EXPECT_TRUE(Eventually([&] { return Status().present == 1; }));
}

}  // namespace
