#include "SessionFixture.h"

#include "marvik/Pdu.h"

#include <algorithm>

using modemsim::Fault;
using modemsim::SimState;
using modemsim::UssdAnswer;
using sessiontest::DeliverPdu;
using sessiontest::Eventually;
using sessiontest::SessionTest;

namespace {

TEST_F(SessionTest, StartReadsIdentityAndNetwork)
{
    modem.SetIdentity("HUAWEI", "E173", "11.126.85.00.209", "353142034567890");
    modem.SetNetwork(1, "Telia", 6);
    modem.SetSignal(20);
    StartSession();
    ASSERT_TRUE(WaitReady());
    const TModemStatus s = Status();
    EXPECT_STREQ(s.port, L"COM5");
    EXPECT_STREQ(s.manufacturer, L"HUAWEI");
    EXPECT_STREQ(s.model, L"E173");
    EXPECT_STREQ(s.revision, L"11.126.85.00.209");
    EXPECT_STREQ(s.imei, L"353142034567890");
    EXPECT_EQ(s.sim, MODEM_SIM_READY);
    EXPECT_EQ(s.registration, MODEM_REG_HOME);
    EXPECT_STREQ(s.operatorName, L"Telia");
    EXPECT_EQ(s.accessTech, MODEM_ACT_HSPA);
    EXPECT_STREQ(s.accessTechName, L"HSPA");
    EXPECT_EQ(s.signalDbm, -73);
    EXPECT_EQ(s.signalBars, 5);
    EXPECT_TRUE(recorder.StatusBits() & MODEM_CHANGED_PRESENCE);
}

TEST_F(SessionTest, SetUpCommandsComeFirstInOrder)
{
    StartSession();
    ASSERT_TRUE(WaitReady());
    const std::vector<std::string> commands = modem.Commands();
    const std::vector<std::string> expected = {"ATE0", "AT+CMEE=1", "AT+CREG=2", "AT+CGREG=2", "AT+COPS=3,0",
                                               "AT+CMGF=0", "AT+CNMI=2,1,0,0,0"};
    ASSERT_GE(commands.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(commands.begin(), commands.begin() + expected.size()), expected);
    for (const char* identity : {"AT+CGMI", "AT+CGMM", "AT+CGMR", "AT+CGSN"})
        EXPECT_EQ(CountCommands(identity), 1u) << identity;
}

class FindingTest : public SessionTest {
protected:
    void SetUp() override
    {
        silentPorts = {L"COM3", L"COM4"};
        SessionTest::SetUp();
    }
};

TEST_F(FindingTest, WithoutAPortTheOneThatAnswersAtIsTaken)
{
    StartSession(L"");
    ASSERT_TRUE(WaitReady());
    EXPECT_STREQ(Status().port, L"COM5");
    const std::vector<std::wstring> opened = ports->Opened();
    EXPECT_EQ(opened, (std::vector<std::wstring>{L"COM3", L"COM4", L"COM5"}));
}

// The same start, whatever the line does: bytes one by one, noise between the
// answers, slow answers inside the time limit, vendor reports in between.
struct LineCase {
    const char* name;
    size_t readChunk;
    bool noise;
    unsigned delayMs;
    bool vendorReports;
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }

class LineTest : public SessionTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(LineTest, SessionComesUpAndReadsTheNetwork)
{
    const LineCase& c = GetParam();
    ports->SetReadChunk(c.readChunk);
    modem.SetNoise(c.noise);
    modem.SetReplyDelay(c.delayMs);
    modem.SetNetwork(5, "Roamer", 7);
    StartSession();
    if (c.vendorReports)
        modem.Report("^BOOT:12345678,0,0,0,75");
    ASSERT_TRUE(WaitReady());
    ASSERT_TRUE(Eventually([&] { return Status().registration == MODEM_REG_ROAMING; }));
    EXPECT_STREQ(Status().operatorName, L"Roamer");
    EXPECT_STREQ(Status().accessTechName, L"LTE");
    EXPECT_FALSE(recorder.Logged(L"no answer to")) << "every answer came inside its limit";
}

const LineCase kLineCases[] = {
    {"ByteByByte", 1, false, 0, false},
    {"Noise", 4096, true, 0, false},
    {"SlowInsideTheLimit", 4096, false, 150, false},
    {"VendorReports", 7, false, 0, true},
};
INSTANTIATE_TEST_SUITE_P(Session, LineTest, ::testing::ValuesIn(kLineCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SessionTest, PinNeededThenEnteredWithTriesLeft)
{
    modem.SetSim(SimState::Pin, "1234");
    modem.StoreMessage(1, DeliverPdu("4512345678", L"after the PIN"));
    StartSession();
    ASSERT_TRUE(Eventually([&] { return Status().sim == MODEM_SIM_PIN; }));
    EXPECT_EQ(Status().pinTriesLeft, 3);
    EXPECT_TRUE(session->Messages().empty());

    const marvik::Outcome wrong = session->EnterPin(L"0000");
    EXPECT_EQ(wrong.result, MODEM_E_REFUSED);
    EXPECT_EQ(wrong.error, L"+CME ERROR: 16 (incorrect password)");
    EXPECT_EQ(Status().pinTriesLeft, 2);

    EXPECT_EQ(session->EnterPin(L"1234").result, MODEM_OK);
    EXPECT_EQ(Status().sim, MODEM_SIM_READY);
    ASSERT_TRUE(Eventually([&] { return session->Messages().size() == 1; }));
    EXPECT_EQ(session->Messages()[0].text, L"after the PIN");
}

TEST_F(SessionTest, LastWrongPinLeavesThePukThenThePukUnlocks)
{
    modem.SetSim(SimState::Pin, "1234", "87654321", 1, 10);
    StartSession();
    ASSERT_TRUE(Eventually([&] { return Status().sim == MODEM_SIM_PIN; }));
    EXPECT_EQ(session->EnterPin(L"9999").result, MODEM_E_SIM_LOCKED);
    EXPECT_EQ(Status().sim, MODEM_SIM_PUK);
    EXPECT_EQ(Status().pukTriesLeft, 10);
    EXPECT_EQ(session->EnterPin(L"1234").result, MODEM_E_SIM_LOCKED) << "no PIN once the PUK is wanted";

    EXPECT_EQ(session->EnterPuk(L"11111111", L"4321").result, MODEM_E_REFUSED);
    EXPECT_EQ(Status().pukTriesLeft, 9);
    EXPECT_EQ(session->EnterPuk(L"87654321", L"4321").result, MODEM_OK);
    EXPECT_EQ(Status().sim, MODEM_SIM_READY);
}

TEST_F(SessionTest, TriesStayUnknownWhereTheModemDoesNotTell)
{
    modem.SetSim(SimState::Pin);
    modem.SetReportsTries(false);
    StartSession();
    ASSERT_TRUE(Eventually([&] { return Status().sim == MODEM_SIM_PIN; }));
    EXPECT_EQ(Status().pinTriesLeft, MODEM_TRIES_UNKNOWN);
}

TEST_F(SessionTest, MalformedCodesNeverReachTheModem)
{
    modem.SetSim(SimState::Pin);
    StartSession();
    ASSERT_TRUE(Eventually([&] { return Status().sim == MODEM_SIM_PIN; }));
    for (const wchar_t* pin : {L"", L"123", L"123456789", L"12a4", L"12\"4"})
        EXPECT_EQ(session->EnterPin(pin).result, MODEM_E_BAD_ARGUMENT) << pin;
    EXPECT_EQ(session->EnterPuk(L"1234567", L"1234").result, MODEM_E_BAD_ARGUMENT);
    EXPECT_EQ(session->EnterPuk(L"12345678", L"12").result, MODEM_E_BAD_ARGUMENT);
    for (const std::string& command : modem.Commands())
        EXPECT_EQ(command.find("AT+CPIN="), std::string::npos) << command;
}

TEST_F(SessionTest, NoSimIsReportedAbsent)
{
    modem.SetSim(SimState::Absent);
    StartSession();
    ASSERT_TRUE(Eventually([&] { return Status().sim == MODEM_SIM_ABSENT; }));
    int sent = 0;
    EXPECT_EQ(session->SendMessage(L"+4512345678", L"hi", sent).result, MODEM_E_SIM_LOCKED);
}

TEST_F(SessionTest, ListJoinsPartsSkipsABrokenPduAndDeleteTakesEveryPart)
{
    const int single = modem.StoreMessage(1, DeliverPdu("4511111111", L"single"));
    const int second = modem.StoreMessage(0, DeliverPdu("4522222222", L" world", 7, 2, 2));
    const int broken = modem.StoreMessage(1, "0004ZZ");
    const int first = modem.StoreMessage(0, DeliverPdu("4522222222", L"hello", 7, 2, 1));
    StartSession();
    ASSERT_TRUE(Eventually([&] { return session->Messages().size() == 2; }));
    EXPECT_TRUE(recorder.Logged(L"message " + std::to_wstring(broken) + L" skipped"));

    const std::vector<marvik::JoinedMessage> messages = session->Messages();
    const auto joined = std::find_if(messages.begin(), messages.end(),
                                     [](const marvik::JoinedMessage& m) { return m.partsTotal == 2; });
    ASSERT_NE(joined, messages.end());
    EXPECT_EQ(joined->text, L"hello world");
    EXPECT_EQ(joined->sender, L"+4522222222");
    EXPECT_EQ(joined->indexes, (std::vector<int>{first, second}));
    EXPECT_EQ(Status().unreadMessages, 1);

    EXPECT_EQ(session->DeleteMessage(std::min(first, second)).result, MODEM_OK);
    EXPECT_EQ(CountCommands("AT+CMGD=" + std::to_string(first)), 1u);
    EXPECT_EQ(CountCommands("AT+CMGD=" + std::to_string(second)), 1u);
    EXPECT_EQ(modem.StoredIndexes(), (std::vector<int>{single, broken}));
    ASSERT_EQ(session->Messages().size(), 1u);
    EXPECT_EQ(session->Messages()[0].text, L"single");
    EXPECT_EQ(Status().unreadMessages, 0);
    EXPECT_TRUE(recorder.StatusBits() & MODEM_CHANGED_MESSAGES);
    EXPECT_EQ(session->DeleteMessage(12345).result, MODEM_E_BAD_ARGUMENT);
}

TEST_F(SessionTest, SendGivesEveryPartWithItsLength)
{
    StartSession();
    ASSERT_TRUE(WaitReady());
    const std::wstring text(200, L'a');  // 160 septets at most in one part: two parts
    int sent = 0;
    const marvik::Outcome outcome = session->SendMessage(L"+4512345678", text, sent);
    EXPECT_EQ(outcome.result, MODEM_OK) << std::string(outcome.error.begin(), outcome.error.end());
    EXPECT_EQ(sent, 2);
    const std::vector<marvik::SubmitPdu> expected = marvik::EncodeSubmit(L"+4512345678", text, 1);
    ASSERT_EQ(modem.SentPdus().size(), 2u);
    ASSERT_EQ(expected.size(), 2u);
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(CountCommands("AT+CMGS=" + std::to_string(expected[i].tpduLength)), 1u);
        EXPECT_EQ(modem.SentPdus()[i].size(), expected[i].hex.size());
    }
}

TEST_F(SessionTest, SendRefusesBadNumbersAndOverlongTexts)
{
    StartSession();
    ASSERT_TRUE(WaitReady());
    int sent = 5;
    EXPECT_EQ(session->SendMessage(L"", L"hi", sent).result, MODEM_E_BAD_ARGUMENT);
    EXPECT_EQ(sent, 0);
    EXPECT_EQ(session->SendMessage(L"123456789012345678901", L"hi", sent).result, MODEM_E_BAD_ARGUMENT);
    EXPECT_EQ(session->SendMessage(L"+4512345678", std::wstring(153 * 33, L'a'), sent).result, MODEM_E_TOO_LONG);
    EXPECT_TRUE(modem.SentPdus().empty());
}

struct UssdCase {
    const char* name;
    UssdAnswer answer;
    bool beforeOk;
    const wchar_t* expected;
};

void PrintTo(const UssdCase& c, std::ostream* os) { *os << c.name; }

class UssdTest : public SessionTest, public ::testing::WithParamInterface<UssdCase> {};

TEST_P(UssdTest, AnswerIsDecodedByItsCodingScheme)
{
    const UssdCase& c = GetParam();
    modem.SetUssdAnswer("*100#", c.answer);
    modem.SetUssdBeforeOk(c.beforeOk);
    StartSession();
    ASSERT_TRUE(WaitReady());
    std::wstring reply;
    const marvik::Outcome outcome = session->Ussd(L"*100#", 5000, reply);
    EXPECT_EQ(outcome.result, MODEM_OK);
    EXPECT_EQ(reply, c.expected);
}

const UssdCase kUssdCases[] = {
    {"Text", {"Balance 5.00 EUR", 15, 0}, false, L"Balance 5.00 EUR"},
    {"TextBeforeOk", {"Balance 5.00 EUR", 15, 0}, true, L"Balance 5.00 EUR"},
    {"PackedGsm7Hex", {"C8329BFD06", 15, 0}, false, L"Hello"},
    {"Ucs2Hex", {"004B0072002E00200035", 72, 0}, false, L"Kr. 5"},
    {"FurtherActionRequired", {"1 Balance 2 Top up", 15, 1}, false, L"1 Balance 2 Top up"},
};
INSTANTIATE_TEST_SUITE_P(Session, UssdTest, ::testing::ValuesIn(kUssdCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SessionTest, UssdTheNetworkDoesNotKnowIsRefused)
{
    StartSession();
    ASSERT_TRUE(WaitReady());
    std::wstring reply = L"old";
    EXPECT_EQ(session->Ussd(L"*999#", 5000, reply).result, MODEM_E_REFUSED);
    EXPECT_TRUE(reply.empty());
    EXPECT_EQ(session->Ussd(L"*100#\x4E2D", 5000, reply).result, MODEM_E_BAD_ARGUMENT);
}

TEST_F(SessionTest, NewMessageIsReadAtOnceAndPosted)
{
    StartSession();
    ASSERT_TRUE(WaitReady());
    ASSERT_TRUE(Eventually([&] { return CountCommands("AT+CMGL=4") == 1; }));
    const int index = modem.DeliverMessage(DeliverPdu("4533333333", L"new one"));
    ASSERT_TRUE(Eventually([&] {
        for (const sessiontest::Post& post : recorder.Posts())
            if (post.message == MODEM_BUS_MESSAGE && post.wParam == static_cast<unsigned>(index))
                return true;
        return false;
    }));
    EXPECT_EQ(CountCommands("AT+CMGR=" + std::to_string(index)), 1u);
    ASSERT_EQ(session->Messages().size(), 1u);
    EXPECT_EQ(session->Messages()[0].text, L"new one");
    EXPECT_EQ(session->Messages()[0].status, MODEM_MSG_UNREAD);
    EXPECT_EQ(Status().unreadMessages, 1);
}

TEST_F(SessionTest, ChangesOfTheNetworkArePostedWithTheirBits)
{
    modem.SetNetwork(1, "Home", 2);
    modem.SetSignal(20);
    StartSession();
    ASSERT_TRUE(WaitReady());
    recorder.Clear();
    modem.SetNetwork(5, "Abroad", 7);
    modem.SetSignal(3);
    ASSERT_TRUE(Eventually([&] { return Status().signalBars == 1 && Status().registration == MODEM_REG_ROAMING; }));
    const unsigned bits = recorder.StatusBits();
    EXPECT_TRUE(bits & MODEM_CHANGED_REGISTRATION);
    EXPECT_TRUE(bits & MODEM_CHANGED_OPERATOR);
    EXPECT_TRUE(bits & MODEM_CHANGED_TECHNOLOGY);
    EXPECT_TRUE(bits & MODEM_CHANGED_SIGNAL);
    EXPECT_FALSE(bits & MODEM_CHANGED_PRESENCE);
}

// Unplugged, the session notices at once; plugged in again, it finds the
// modem on the shell's device-arrival notice or on its own next look.
struct ReplugCase {
    const char* name;
    bool notice;
    unsigned lookAgainMs;
};

void PrintTo(const ReplugCase& c, std::ostream* os) { *os << c.name; }

class ReplugTest : public SessionTest, public ::testing::WithParamInterface<ReplugCase> {};

TEST_P(ReplugTest, UnplugIsSeenAndReplugFound)
{
    marvik::SessionTimings timings = sessiontest::TestTimings();
    timings.lookAgainMs = GetParam().lookAgainMs;
    modem.StoreMessage(1, DeliverPdu("4511111111", L"kept on the SIM"));
    StartSession(L"COM5", timings);
    ASSERT_TRUE(WaitReady());
    ASSERT_TRUE(Eventually([&] { return session->Messages().size() == 1; }));

    ports->Unplug();
    ASSERT_TRUE(WaitPresent(false));
    EXPECT_TRUE(recorder.Logged(L"the port failed"));
    EXPECT_FALSE(recorder.Logged(L"no answer to")) << "a failed port is not waited for";
    EXPECT_TRUE(session->Messages().empty());
    EXPECT_STREQ(Status().operatorName, L"");

    ports->Plug();
    if (GetParam().notice)
        session->LookAgain();
    ASSERT_TRUE(WaitReady());
    EXPECT_EQ(ports->OpenCount(), 2);
    EXPECT_TRUE(Eventually([&] { return session->Messages().size() == 1; }));
}

const ReplugCase kReplugCases[] = {
    {"OnTheDeviceNotice", true, 60000},
    {"OnTheNextLook", false, 200},
};
INSTANTIATE_TEST_SUITE_P(Session, ReplugTest, ::testing::ValuesIn(kReplugCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SessionTest, ModemThatHangsUpIsClosedAtOnce)
{
    StartSession();
    ASSERT_TRUE(WaitReady());
    modem.SetFault(Fault::HangUp);
    ASSERT_TRUE(WaitPresent(false));
    EXPECT_TRUE(recorder.Logged(L"the port failed"));
    int sent = 0;
    EXPECT_EQ(session->SendMessage(L"+4512345678", L"hi", sent).result, MODEM_E_NO_MODEM);
}

TEST_F(SessionTest, SilentModemIsAbsentAfterThreeTimeoutsAndBackWhenItAnswers)
{
    StartSession();
    ASSERT_TRUE(WaitReady());
    modem.SetFault(Fault::Silent);
    ASSERT_TRUE(WaitPresent(false));
    EXPECT_TRUE(recorder.Logged(L"no answer to three commands in a row"));
    EXPECT_TRUE(recorder.StatusBits() & MODEM_CHANGED_PRESENCE);

    modem.SetFault(Fault::None);
    session->LookAgain();
    EXPECT_TRUE(WaitReady());
}

TEST_F(SessionTest, ModemAnsweringGarbageNeverCountsAsPresent)
{
    modem.SetFault(Fault::Garbage);
    StartSession();
    ASSERT_TRUE(Eventually([&] { return recorder.Logged(L"no answer to three commands in a row"); }));
    EXPECT_EQ(Status().present, 0);
    EXPECT_FALSE(recorder.StatusBits() & MODEM_CHANGED_PRESENCE);
    modem.SetFault(Fault::None);
    session->LookAgain();
    EXPECT_TRUE(WaitReady());
}

TEST_F(SessionTest, CallsWithoutAModemSayNoModem)
{
    ports->Unplug();
    StartSession();
    std::wstring reply;
    int sent = 0;
    EXPECT_EQ(session->Ussd(L"*100#", 1000, reply).result, MODEM_E_NO_MODEM);
    EXPECT_EQ(session->SendMessage(L"+4512345678", L"hi", sent).result, MODEM_E_NO_MODEM);
    EXPECT_EQ(session->EnterPin(L"1234").result, MODEM_E_NO_MODEM);
    EXPECT_EQ(Status().present, 0);
}

TEST_F(SessionTest, ApnIsSetOnTheModem)
{
    StartSession();
    ASSERT_TRUE(WaitReady());
    EXPECT_EQ(session->SetApn(L"internet.telia.se").result, MODEM_OK);
    EXPECT_EQ(modem.Apn(), "internet.telia.se");
    EXPECT_EQ(session->SetApn(L"bad\"apn").result, MODEM_E_BAD_ARGUMENT);
}

}  // namespace
