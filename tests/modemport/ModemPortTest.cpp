// marvik's session over a real COM port pair under Wine: kivra-modem-sim.exe
// on one end of a socat pair, the session on the other, found through
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM. run-modemport.sh sets the line up,
// plays port-modem.txt on the far end, and ends socat when this program asks
// (by making the file "unplug" in its working folder).
#include "marvik/SerialPort.h"
#include "marvik/Session.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace {

constexpr unsigned kStartLimitMs = 20000;   // the search probes every listed port with AT
constexpr unsigned kChangeLimitMs = 15000;  // the next refresh, or a hang-up noticed
const wchar_t kKivraPort[] = L"COM8";
const wchar_t kUnplugRequest[] = L"unplug";

bool Eventually(const std::function<bool()>& condition, unsigned limitMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        Sleep(20);
    }
    return true;
}

// One session for the whole program, as a process has it; the cases run in
// the order written, the unplug last.
class ModemPortTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ports_ = new marvik::SerialPortProvider;
        session_ = new marvik::Session(*ports_, [](unsigned long, unsigned, long) {},
                                       [](const std::wstring& line) { OutputDebugStringW(line.c_str()); });
        session_->Start(L"");
    }
    static void TearDownTestSuite()
    {
        session_->Stop();
        delete session_;
        delete ports_;
    }
    static TModemStatus Status()
    {
        TModemStatus status{};
        session_->ReadStatus(status);
        return status;
    }
    static bool WaitStarted()
    {
        return Eventually([] {
            const TModemStatus s = Status();
            return s.present && s.sim == MODEM_SIM_READY && s.operatorName[0] != 0 && s.signalBars > 0;
        }, kStartLimitMs);
    }

    static marvik::SerialPortProvider* ports_;
    static marvik::Session* session_;
};

marvik::SerialPortProvider* ModemPortTest::ports_ = nullptr;
marvik::Session* ModemPortTest::session_ = nullptr;

TEST_F(ModemPortTest, StartFindsTheModemListedUnderSerialComm)
{
    ASSERT_TRUE(WaitStarted());
    const TModemStatus s = Status();
    struct Field {
        const wchar_t* name;
        std::wstring actual, expected;
    } fields[] = {
        {L"port", s.port, kKivraPort},
        {L"manufacturer", s.manufacturer, L"HUAWEI"},
        {L"model", s.model, L"E1752"},
        {L"revision", s.revision, L"11.126.15.00.00"},
        {L"imei", s.imei, L"353142030867543"},
        {L"operator", s.operatorName, L"Port Test Mobile"},
        {L"technology", s.accessTechName, L"HSPA"},
    };
    for (const Field& field : fields)
        EXPECT_EQ(field.actual, field.expected) << field.name;
    EXPECT_EQ(s.registration, MODEM_REG_HOME);
    EXPECT_EQ(s.signalDbm, -113 + 2 * 17);
}

TEST_F(ModemPortTest, StoredMessagesAreListedJoinedAndDecoded)
{
    ASSERT_TRUE(WaitStarted());
    ASSERT_TRUE(Eventually([] { return session_->Messages().size() == 3; }, kChangeLimitMs));
    struct Expected {
        const wchar_t* sender;
        size_t parts;
        const wchar_t* textStart;
    } expected[] = {
        {L"+46701234567", 1, L"Plain GSM text: {brackets} and the euro \u20AC."},
        {L"Kivra", 2, L"This message is long enough to be sent in two parts"},
        {L"12345", 1, L"\u041F\u0440\u0438\u0432\u0435\u0442, \u044D\u0442\u043E UCS2 \U0001F642"},
    };
    const std::vector<marvik::JoinedMessage> messages = session_->Messages();  // oldest first
    for (size_t k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(messages[k].sender, expected[k].sender);
        EXPECT_EQ(messages[k].indexes.size(), expected[k].parts);
        EXPECT_TRUE(messages[k].complete);
        EXPECT_EQ(messages[k].text.rfind(expected[k].textStart, 0), 0u);
    }
    const std::wstring end = L"joined again into one.";
    ASSERT_GT(messages[1].text.size(), end.size());
    EXPECT_EQ(messages[1].text.substr(messages[1].text.size() - end.size()), end);
}

TEST_F(ModemPortTest, SendGetsAReferenceForEveryPart)
{
    ASSERT_TRUE(WaitStarted());
    struct Case {
        std::wstring text;
        int parts;
    } cases[] = {
        {L"Short and plain", 1},
        {L"UCS2: \u00A1Hola! \u4F60\u597D", 1},
        {std::wstring(200, L'x'), 2},
    };
    for (const Case& c : cases) {
        int sent = 0;
        const marvik::Outcome outcome = session_->SendMessage(L"+46701234567", c.text, sent);
        EXPECT_EQ(outcome.result, MODEM_OK) << outcome.error;
        EXPECT_EQ(sent, c.parts);
    }
}

TEST_F(ModemPortTest, TheLineGoingAwayMakesTheModemAbsent)
{
    ASSERT_TRUE(WaitStarted());
    HANDLE request = CreateFileW(kUnplugRequest, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(request, INVALID_HANDLE_VALUE);
    CloseHandle(request);
    EXPECT_TRUE(Eventually([] { return Status().present == 0; }, kChangeLimitMs));
}

}  // namespace
