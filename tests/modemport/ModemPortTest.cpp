// marvik.dll over a real COM port pair under Wine: kivra-modem-sim.exe on one
// end of a socat pair, the session on the other, found through
// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM. run-modemport.sh sets the line up,
// plays port-modem.txt on the far end, and ends socat when this program asks
// (by making the file "unplug" in its working folder).
#include "marvik.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr unsigned kStartLimitMs = 20000;   // the search probes every listed port with AT
constexpr unsigned kChangeLimitMs = 15000;  // the next refresh
// The line going away is seen by the port's reader (its state query fails),
// well before the next refresh (5 s) would find the modem silent.
constexpr unsigned kGoneLimitMs = 3000;
constexpr int kUssdLimitMs = 10000;
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

std::wstring LastError()
{
    wchar_t text[256] = {};
    ModemLastError(text, 256);
    return text;
}

// marvik.dll's one session, as a plugin starts it (ModemStart(nullptr): find
// the modem); the cases run in the order written, the unplug last.
class ModemPortTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(ModemStart(nullptr), MODEM_OK); }
    static void TearDownTestSuite() { ModemStop(); }
    static TModemStatus Status()
    {
        TModemStatus status{};
        status.cbSize = sizeof(status);
        EXPECT_EQ(ModemGetStatus(&status), MODEM_OK);
        return status;
    }
    static bool WaitStarted()
    {
        return Eventually([] {
            const TModemStatus s = Status();
            return s.present && s.sim == MODEM_SIM_READY && s.operatorName[0] != 0 && s.signalBars > 0;
        }, kStartLimitMs);
    }
    static std::vector<TModemMessage> Messages()
    {
        std::vector<TModemMessage> messages(8);
        messages[0].cbSize = sizeof(TModemMessage);
        int count = 0;
        EXPECT_EQ(ModemListMessages(messages.data(), static_cast<int>(messages.size()), &count), MODEM_OK);
        messages.resize(static_cast<size_t>(std::min(count, 8)));
        return messages;
    }
    static std::wstring WholeText(const TModemMessage& message)
    {
        std::wstring text(static_cast<size_t>(message.textLength) + 1, L'\0');
        const int length = ModemGetMessageText(message.id, text.data(), static_cast<int>(text.size()));
        text.resize(static_cast<size_t>(std::max(length, 0)));
        return text;
    }
};

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
    ASSERT_TRUE(Eventually([] { return Messages().size() == 3; }, kChangeLimitMs));
    struct Expected {
        const wchar_t* sender;
        int parts;
        std::wstring textStart, textEnd;
    } expected[] = {
        {L"+46701234567", 1, L"Plain GSM text: {brackets} and the euro \u20AC.", L"\u20AC."},
        {L"Kivra", 2, L"This message is long enough to be sent in two parts", L"joined again into one."},
        {L"12345", 1, L"\u041F\u0440\u0438\u0432\u0435\u0442, \u044D\u0442\u043E UCS2 \U0001F642", L"\U0001F642"},
    };
    const std::vector<TModemMessage> messages = Messages();  // oldest first
    for (size_t k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        const std::wstring text = WholeText(messages[k]);
        EXPECT_STREQ(messages[k].sender, expected[k].sender);
        EXPECT_EQ(messages[k].partsTotal, expected[k].parts);
        EXPECT_EQ(messages[k].indexCount, expected[k].parts);
        EXPECT_EQ(text.rfind(expected[k].textStart, 0), 0u) << text;
        ASSERT_GE(text.size(), expected[k].textEnd.size());
        EXPECT_EQ(text.substr(text.size() - expected[k].textEnd.size()), expected[k].textEnd);
    }
    EXPECT_EQ(messages[0].hour, 9);
    EXPECT_EQ(messages[0].zoneQuarterHours, 4);
}

TEST_F(ModemPortTest, SendGetsEveryPartAccepted)
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
        EXPECT_EQ(ModemSendMessage(L"+46701234567", c.text.c_str(), &sent), MODEM_OK) << LastError();
        EXPECT_EQ(sent, c.parts);
    }
}

TEST_F(ModemPortTest, UssdAnswerComesBackDecoded)
{
    ASSERT_TRUE(WaitStarted());
    wchar_t reply[128] = {};
    EXPECT_GT(ModemUssd(L"*100#", reply, 128, kUssdLimitMs), 0) << LastError();
    EXPECT_STREQ(reply, L"Saldo: 12,50 \u20AC");
}

TEST_F(ModemPortTest, TheLineGoingAwayMakesTheModemAbsent)
{
    ASSERT_TRUE(WaitStarted());
    HANDLE request = CreateFileW(kUnplugRequest, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(request, INVALID_HANDLE_VALUE);
    CloseHandle(request);
    // Under Wine a read on the hung-up pseudo-terminal only ever comes back
    // empty at its time limit, as if the modem were silent; ClearCommError
    // fails at once (ERROR_NOT_READY), which is what makes this quick.
    EXPECT_TRUE(Eventually([] { return Status().present == 0; }, kGoneLimitMs));
}

}  // namespace
