// The simulator's script, played on a SimulatedModem and checked by what the
// modem then answers to the host's commands.
#include "modemsim/ModemScript.h"

#include "marvik/MessageJoin.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <set>

namespace {

using modemsim::ModemScript;
using modemsim::SimulatedModem;

// Everything the modem has to say now, as one string.
std::string Drain(SimulatedModem& modem)
{
    std::string text;
    for (const modemsim::OutputPiece& piece : modem.TakeOutput())
        text += piece.bytes;
    return text;
}

std::string Ask(SimulatedModem& modem, const std::string& command)
{
    Drain(modem);
    modem.Receive(command + "\r");
    return Drain(modem);
}

struct Effect {
    const char* script;
    const char* command;
    const char* answer;  // what the answer holds
};

void PrintTo(const Effect& c, std::ostream* os) { *os << c.script; }

class ScriptEffect : public ::testing::TestWithParam<Effect> {};

TEST_P(ScriptEffect, ShowsInTheModemsAnswer)
{
    SimulatedModem modem;
    ModemScript script(modem);
    std::string error;
    ASSERT_TRUE(script.Load(GetParam().script, error)) << error;
    Ask(modem, "ATE0");
    Ask(modem, "AT+CMEE=1");
    EXPECT_NE(Ask(modem, GetParam().command).find(GetParam().answer), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ScriptEffect,
    ::testing::Values(
        Effect{"manufacturer \"ACME Corp\"", "AT+CGMI", "\r\nACME Corp\r\n"},
        Effect{"model E1752\nrevision 1.2", "AT+CGMR", "\r\n1.2\r\n"},
        Effect{"imei 353142030867543", "AT+CGSN", "353142030867543"},
        Effect{"sim pin", "AT+CPIN?", "+CPIN: SIM PIN"},
        Effect{"sim absent", "AT+CPIN?", "+CME ERROR: 10"},
        Effect{"sim pin\npin 4321", "AT+CPIN=\"4321\"", "\r\nOK\r\n"},
        Effect{"sim pin\ntries 1 7", "AT+CPINR=\"SIM PIN\"", "SIM PIN,1,3"},
        Effect{"operator \"Telia SE\"  # comment", "AT+COPS?", "+COPS: 0,0,\"Telia SE\",2"},
        Effect{"technology lte", "AT+COPS?", "\",7"},
        Effect{"technology 4", "AT+COPS?", "\",4"},
        Effect{"registration searching", "AT+CREG?", "+CREG: 0,2"},
        Effect{"signal 12", "AT+CSQ", "+CSQ: 12,99"},
        Effect{"signal 99", "AT+CSQ", "+CSQ: 99,99"},
        Effect{"message read text \"+4512345678\" \"hi\"", "AT+CMGL=4", "+CMGL: 0,1,,"},
        Effect{"message unread pdu 0011", "AT+CMGL=4", "\r\n0011\r\n"},
        Effect{"ussd *100# \"Balance 5 EUR\"", "AT+CUSD=1,\"*100#\",15", "+CUSD: 0,\"Balance 5 EUR\",15"},
        Effect{"ussd *100# \"Hi\" ucs2", "AT+CUSD=1,\"*100#\",15", "+CUSD: 0,\"00480069\",72"},
        Effect{"ussd *100# \"Hi\" gsm7", "AT+CUSD=1,\"*100#\",15", "+CUSD: 0,\"C834\",15"}));

TEST(ModemScript, ReportSendsItsLineAtOnce)
{
    SimulatedModem modem;
    ModemScript script(modem);
    std::string error;
    ASSERT_TRUE(script.Load("report \"^BOOT:1,0,0,4\"", error)) << error;
    EXPECT_EQ(Drain(modem), "\r\n^BOOT:1,0,0,4\r\n");
}

TEST(ModemScript, EchoOffTakesTheCommandOutOfTheAnswer)
{
    SimulatedModem modem;
    ModemScript script(modem);
    std::string error;
    EXPECT_NE(Ask(modem, "AT+CSQ").find("AT+CSQ\r"), std::string::npos);
    ASSERT_TRUE(script.Command({"echo", "off"}, error));
    EXPECT_EQ(Ask(modem, "AT+CSQ").find("AT+CSQ"), std::string::npos);
}

TEST(ModemScript, BadLinesAreRefusedWithTheirNumberAndWhy)
{
    struct Bad {
        const char* script;
        const char* error;
    } cases[] = {
        {"sgnal 3", "line 1: unknown command \"sgnal\""},
        {"# first\nsignal 40", "line 2: \"signal\" wants"},
        {"at -1 signal 3", "line 1: \"at\" wants seconds"},
        {"at 5", "line 1: \"at\" wants seconds"},
        {"at 5 at 6 end", "line 1: \"at\" twice"},
        {"operator \"Telia", "line 1: a quote is not closed"},
        {"message read text \"\" \"no sender\"", "line 1: the sender is no number"},
        {"message later text \"+45\" \"x\"", "line 1: \"message\" wants its status"},
        {"receive text \"+4512\"", "line 1: \"receive\" wants"},
        {"pin 12", "line 1: \"pin\" wants 4 to 8 digits"},
        {"stamp 2024-13-01 10:00", "line 1: \"stamp\" wants"},
        {"wander 20 10", "line 1: \"wander\" wants"},
        {"fault sometimes", "line 1: \"fault\" wants"},
    };
    for (const Bad& c : cases) {
        SimulatedModem modem;
        ModemScript script(modem);
        std::string error;
        EXPECT_FALSE(script.Load(c.script, error)) << c.script;
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.script << " -> " << error;
    }
}

TEST(ModemScript, TimedCommandsWaitForTheirTimeInOrder)
{
    SimulatedModem modem;
    ModemScript script(modem);
    std::string error;
    ASSERT_TRUE(script.Load("at 20 receive text \"+4512345678\" \"late\"\n"
                            "at 5 signal 3\nat 5 signal 4\nat 30 end\n",
                            error))
        << error;
    Ask(modem, "AT+CNMI=2,1,0,0,0");
    EXPECT_EQ(script.Advance(0), 5000u);
    EXPECT_EQ(script.Advance(4999), 1u);
    EXPECT_NE(Ask(modem, "AT+CSQ").find("+CSQ: 20,"), std::string::npos);
    EXPECT_EQ(script.Advance(5000), 15000u);
    EXPECT_NE(Ask(modem, "AT+CSQ").find("+CSQ: 4,"), std::string::npos);  // written last, run last
    EXPECT_EQ(script.TakeLog(), (std::vector<std::string>{"at 5 signal 3", "at 5 signal 4"}));
    script.Advance(20000);
    EXPECT_NE(Drain(modem).find("+CMTI: \"SM\",0"), std::string::npos);
    EXPECT_FALSE(script.EndWanted());
    EXPECT_EQ(script.Advance(31000), ModemScript::kNothingDue);
    EXPECT_TRUE(script.EndWanted());
}

TEST(ModemScript, LongIncomingTextArrivesAsPartsEachReported)
{
    SimulatedModem modem;
    ModemScript script(modem);
    std::string error;
    Ask(modem, "AT+CNMI=2,1,0,0,0");
    ASSERT_TRUE(script.Command({"receive", "text", "Kivra", std::string(300, 'z')}, error)) << error;
    const std::string reports = Drain(modem);
    EXPECT_NE(reports.find("+CMTI: \"SM\",0"), std::string::npos);
    EXPECT_NE(reports.find("+CMTI: \"SM\",1"), std::string::npos);
    EXPECT_EQ(modem.StoredIndexes().size(), 2u);
}

TEST(ModemScript, WanderingSignalStaysInItsRangeAndMoves)
{
    SimulatedModem modem;
    ModemScript script(modem);
    std::string error;
    ASSERT_TRUE(script.Load("signal 25\nwander 10 14 1", error)) << error;
    std::set<int> seen;
    for (unsigned long long ms = 0; ms <= 60000; ms += 1000) {
        script.Advance(ms);
        const std::string answer = Ask(modem, "AT+CSQ");
        const int rssi = std::atoi(answer.c_str() + answer.find("+CSQ: ") + 6);
        EXPECT_GE(rssi, 10);
        EXPECT_LE(rssi, 14);
        seen.insert(rssi);
    }
    EXPECT_GE(seen.size(), 3u);
}

TEST(ModemScript, FaultCloseDropsTheLineAtTheNextCommand)
{
    SimulatedModem modem;
    ModemScript script(modem);
    std::string error;
    ASSERT_TRUE(script.Load("at 10 fault close\nat 15 reopen", error)) << error;
    script.Advance(10000);
    EXPECT_FALSE(modem.HangUpWanted());
    Ask(modem, "AT+CSQ");
    EXPECT_TRUE(modem.HangUpWanted());
    EXPECT_TRUE(script.ReopenPending());
    script.Advance(15000);
    EXPECT_TRUE(script.TakeReopenWanted());
    EXPECT_FALSE(script.ReopenPending());
}

TEST(ModemScript, FixedStampIsTheMessagesTimeStamp)
{
    SimulatedModem modem;
    ModemScript script(modem);
    std::string error;
    ASSERT_TRUE(script.Load("stamp 2024-03-15 12:30 -05:00", error)) << error;
    EXPECT_EQ(script.NextStamp(), (marvik::SmsTime{2024, 3, 15, 12, 30, 0, -20}));
}

TEST(SplitWords, QuotesEscapesAndComments)
{
    std::vector<std::string> words;
    ASSERT_TRUE(modemsim::SplitWords("  receive text \"+45 12\" \"say \\\"hi\\\"\\n\" # not this", words));
    EXPECT_EQ(words, (std::vector<std::string>{"receive", "text", "+45 12", "say \"hi\"\n"}));
    ASSERT_TRUE(modemsim::SplitWords("operator \"#1 Mobile\"", words));
    EXPECT_EQ(words, (std::vector<std::string>{"operator", "#1 Mobile"}));
}

}  // namespace

namespace {

// The demo's modem (tools/modemsim/demo-modem.txt) loads, and gives what the
// demo shows: four stored messages (one in two parts, one in UCS2) that
// marvik reads back, one more about 20 s after the start, a balance answer.
TEST(DemoScript, LoadsAndGivesTheDemosMessages)
{
    std::ifstream file(KIVRA_DEMO_MODEM_SCRIPT, std::ios::binary);
    ASSERT_TRUE(file) << KIVRA_DEMO_MODEM_SCRIPT;
    std::stringstream text;
    text << file.rdbuf();
    SimulatedModem modem;
    ModemScript script(modem);
    std::string error;
    ASSERT_TRUE(script.Load(text.str(), error)) << error;

    Ask(modem, "ATE0");
    const std::string listing = Ask(modem, "AT+CMGL=4");
    std::vector<marvik::StoredPart> parts;
    size_t at = 0;
    while ((at = listing.find("+CMGL: ", at)) != std::string::npos) {
        const size_t pduStart = listing.find_first_not_of("\r\n", listing.find("\r\n", at));
        const size_t pduEnd = listing.find("\r\n", pduStart);
        marvik::StoredPart part{static_cast<int>(parts.size()), 1, {}};
        std::string why;
        EXPECT_TRUE(marvik::DecodeDeliver(listing.substr(pduStart, pduEnd - pduStart), part.pdu, why)) << why;
        parts.push_back(part);
        at = pduEnd;
    }
    const std::vector<marvik::JoinedMessage> messages = marvik::JoinParts(parts);
    ASSERT_EQ(messages.size(), 4u);
    size_t joined = 0, ucs2 = 0;
    for (const marvik::JoinedMessage& message : messages) {
        EXPECT_TRUE(message.complete);
        joined += message.indexes.size() > 1;
    }
    for (const marvik::StoredPart& part : parts)
        ucs2 += part.pdu.dataCoding == 0x08;
    EXPECT_EQ(joined, 1u);
    EXPECT_GE(ucs2, 1u);
    EXPECT_NE(Ask(modem, "AT+CUSD=1,\"*100#\",15").find("+CUSD: 0,\"Your balance"), std::string::npos);

    Ask(modem, "AT+CNMI=2,1,0,0,0");
    script.Advance(15000);
    EXPECT_EQ(Drain(modem).find("+CMTI"), std::string::npos);
    script.Advance(25000);
    EXPECT_NE(Drain(modem).find("+CMTI: \"SM\",5"), std::string::npos);
}

}  // namespace
