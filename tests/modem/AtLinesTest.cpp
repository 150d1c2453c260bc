#include "marvik/AtLines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using marvik::AtFinal;
using marvik::AtLine;
using marvik::AtLineKind;
using marvik::AtLineSplitter;

namespace {

// One line as a test expects it: kind letter (A answer, F final, P prompt,
// U unsolicited) and text.
std::string Show(const AtLine& line)
{
    const char kind = line.kind == AtLineKind::Answer ? 'A'
                      : line.kind == AtLineKind::Final ? 'F'
                      : line.kind == AtLineKind::Prompt ? 'P'
                                                        : 'U';
    return std::string(1, kind) + ":" + line.text + (line.cut ? "|cut" : "");
}

struct SplitCase {
    const char* name;
    const char* command;              // sent before the bytes (nullptr: none pending)
    bool expectPrompt;
    std::vector<std::string> reads;   // the bytes, read by read
    std::vector<std::string> lines;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

class SplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTest, GivesTheLinesTheModemMeant)
{
    const SplitCase& c = GetParam();
    AtLineSplitter splitter;
    if (c.command)
        splitter.BeginCommand(c.command);
    splitter.ExpectPrompt(c.expectPrompt);
    std::vector<AtLine> lines;
    for (const std::string& read : c.reads)
        splitter.Feed(read, lines);
    std::vector<std::string> shown;
    for (const AtLine& line : lines)
        shown.push_back(Show(line));
    EXPECT_EQ(shown, c.lines);
}

const SplitCase kSplitCases[] = {
    {"OneReadCrLf", "AT+CSQ", false, {"\r\n+CSQ: 20,99\r\n\r\nOK\r\n"}, {"A:+CSQ: 20,99", "F:OK"}},
    {"ByteByByte", "AT+CSQ", false,
     {"\r", "\n", "+", "C", "S", "Q", ":", " ", "5", ",", "9", "9", "\r", "\n", "O", "K", "\r", "\n"},
     {"A:+CSQ: 5,99", "F:OK"}},
    {"SplitInsideCrLf", "AT+CGMI", false, {"\r\nHUA", "WEI\r", "\nOK\r", "\n"}, {"A:HUAWEI", "F:OK"}},
    {"LfOnly", "AT+CGMM", false, {"\nE173\n\nOK\n"}, {"A:E173", "F:OK"}},
    {"CrOnly", "AT+CGMM", false, {"\rE173\r\rOK\r"}, {"A:E173", "F:OK"}},
    {"SeveralAnswersInOneRead", nullptr, false, {"\r\nOK\r\n\r\nERROR\r\n\r\nOK\r\n"}, {"F:OK", "F:ERROR", "F:OK"}},
    {"LineWithoutEndWaits", "AT+CGSN", false, {"\r\n35000000000000", "0\r\nOK"}, {"A:350000000000000"}},
    {"EchoDropped", "AT+CGMR", false, {"AT+CGMR\r\r\n11.608\r\n\r\nOK\r\n"}, {"A:11.608", "F:OK"}},
    {"EchoInOtherCaseDropped", "at+cgmr", false, {"AT+CGMR\r\r\nX\r\nOK\r\n"}, {"A:X", "F:OK"}},
    {"EchoOnlyOnce", "AT", false, {"AT\r\r\nAT\r\nOK\r\n"}, {"A:AT", "F:OK"}},
    {"NoEchoWithEchoOff", "ATE0", false, {"\r\nOK\r\n"}, {"F:OK"}},
    {"PromptWithoutLineEnd", "AT+CMGS=23", true, {"AT+CMGS=23\r\r\n> "}, {"P:> "}},
    {"PromptSplit", "AT+CMGS=23", true, {"\r\n>", " "}, {"P:> "}},
    {"PromptOnlyWhenExpected", "AT+CSQ", false, {"\r\n> \r\n"}, {"A:>"}},
    {"ReportBetweenCommandAndFinal", "AT+CSQ", false,
     {"\r\n+CSQ: 20,99\r\n\r\n+CMTI: \"SM\",3\r\n\r\nOK\r\n"}, {"A:+CSQ: 20,99", "U:+CMTI: \"SM\",3", "F:OK"}},
    {"ReportBeforeAnswer", "AT+COPS?", false,
     {"\r\nRING\r\n\r\n+COPS: 0,0,\"Telia\",2\r\n\r\nOK\r\n"}, {"U:RING", "A:+COPS: 0,0,\"Telia\",2", "F:OK"}},
    {"RegistrationReportWhileOtherCommand", "AT+CSQ", false,
     {"\r\n+CREG: 1,\"00C3\",\"0012ABCD\",2\r\n\r\nOK\r\n"}, {"U:+CREG: 1,\"00C3\",\"0012ABCD\",2", "F:OK"}},
    {"RegistrationAnswerToItsQuery", "AT+CREG?", false,
     {"\r\n+CREG: 2,1,\"00C3\",\"0012ABCD\",2\r\n\r\nOK\r\n"}, {"A:+CREG: 2,1,\"00C3\",\"0012ABCD\",2", "F:OK"}},
    {"VendorReports", "AT+CSQ", false,
     {"\r\n^RSSI:17\r\n\r\n^BOOT:1,0,0,0\r\n\r\n+CSQ: 17,99\r\n\r\nOK\r\n"},
     {"U:^RSSI:17", "U:^BOOT:1,0,0,0", "A:+CSQ: 17,99", "F:OK"}},
    {"ReportsWithNothingPending", nullptr, false,
     {"\r\n+CUSD: 0,\"Balance 5\",15\r\n\r\n+CGREG: 5\r\n\r\n+CEREG: 1\r\n"},
     {"U:+CUSD: 0,\"Balance 5\",15", "U:+CGREG: 5", "U:+CEREG: 1"}},
    {"EveryFinalResult", "ATD*99#", false,
     {"\r\nNO CARRIER\r\n\r\nBUSY\r\n\r\nNO ANSWER\r\n\r\nNO DIALTONE\r\n\r\n+CME ERROR: 10\r\n\r\n+CMS ERROR: 330\r\n"},
     {"F:NO CARRIER", "F:BUSY", "F:NO ANSWER", "F:NO DIALTONE", "F:+CME ERROR: 10", "F:+CMS ERROR: 330"}},
    {"AnswerThatOnlyStartsLikeAFinal", "AT+CGMM", false, {"\r\nOK-1000\r\nOK\r\n"}, {"A:OK-1000", "F:OK"}},
    {"BinaryGarbageSurvived", "AT", false,
     {std::string("\x00\xff\x01\x1a\x7f", 5), std::string("\r\n\x80\x90zz\x00\r\nOK\r\n", 13)},
     {"A:\xff", "A:\x80\x90zz", "F:OK"}},
    {"GarbageGluedToALineIsDroppedFromIt", "AT", false, {std::string("\r\nO\x00K\x03\r\n", 8)}, {"F:OK"}},
    {"ReportRightAfterTheFinalIsAReport", "AT+CUSD=1,\"AA180C3602\",15", false,
     {"\r\nOK\r\n\r\n+CUSD: 0,\"Balance\",15\r\n"}, {"F:OK", "U:+CUSD: 0,\"Balance\",15"}},
    {"TrailingBlanksIgnored", "AT", false, {"\r\nOK  \r\n"}, {"F:OK"}},
};

INSTANTIATE_TEST_SUITE_P(AtLines, SplitTest, ::testing::ValuesIn(kSplitCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AtLinesLimit, LongLineIsCutAndWhatFollowsIsIntact)
{
    AtLineSplitter splitter(64);
    splitter.BeginCommand("AT+CMGL=4");
    std::vector<AtLine> lines;
    const std::string chunk(1000, 'A');
    for (int i = 0; i < 100; ++i)  // 100 KB without a line end
        splitter.Feed(chunk, lines);
    EXPECT_TRUE(lines.empty());
    splitter.Feed("\r\nOK\r\n", lines);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].cut);
    EXPECT_EQ(lines[0].text, std::string(64, 'A'));
    EXPECT_EQ(lines[1].final, AtFinal::Ok);
    EXPECT_FALSE(lines[1].cut);
}

TEST(AtLinesLimit, CutLineIsNeverTakenForTheEcho)
{
    AtLineSplitter splitter(4);
    splitter.BeginCommand("ATE1");
    std::vector<AtLine> lines;
    splitter.Feed("ATE1XXXX\r\n", lines);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].cut);
}

struct PrefixCase {
    const char* command;
    const char* prefix;
};

TEST(AtLinesPrefix, AnswerPrefixOfEachCommandForm)
{
    const PrefixCase cases[] = {
        {"AT+CSQ", "+CSQ:"},       {"AT+CREG?", "+CREG:"},  {"AT+CMGL=4", "+CMGL:"},
        {"at+cgmi", "+CGMI:"},     {"AT^SYSINFO", "^SYSINFO:"}, {"ATE0", ""},
        {"AT", ""},                {"0011000B91", ""},      {"AT+", ""},
    };
    for (const PrefixCase& c : cases)
        EXPECT_EQ(AtLineSplitter::AnswerPrefix(c.command), c.prefix) << c.command;
}

struct ErrorCase {
    const char* line;
    AtFinal final;
    int code;
    const char* described;
};

TEST(AtLinesErrors, ErrorNumbersAndTheirMeanings)
{
    const ErrorCase cases[] = {
        {"+CME ERROR: 10", AtFinal::CmeError, 10, "+CME ERROR: 10 (SIM not inserted)"},
        {"+CME ERROR: 16", AtFinal::CmeError, 16, "+CME ERROR: 16 (incorrect password)"},
        {"+CME ERROR:11", AtFinal::CmeError, 11, "+CME ERROR:11 (SIM PIN required)"},
        {"+CMS ERROR: 330", AtFinal::CmsError, 330, "+CMS ERROR: 330 (SMSC address unknown)"},
        {"+CMS ERROR: 500", AtFinal::CmsError, 500, "+CMS ERROR: 500 (unknown error)"},
        {"+CMS ERROR: 38", AtFinal::CmsError, 38, "+CMS ERROR: 38 (network out of order)"},
        {"+CME ERROR: 777", AtFinal::CmeError, 777, "+CME ERROR: 777"},
        {"+CME ERROR: SIM busy", AtFinal::CmeError, -1, "+CME ERROR: SIM busy"},
        {"+CMS ERROR: 99999999999", AtFinal::CmsError, -1, "+CMS ERROR: 99999999999"},
        {"ERROR", AtFinal::Error, -1, "ERROR"},
    };
    for (const ErrorCase& c : cases) {
        const AtLine line = AtLineSplitter::Classify(c.line, "");
        EXPECT_EQ(line.kind, AtLineKind::Final) << c.line;
        EXPECT_EQ(line.final, c.final) << c.line;
        EXPECT_EQ(line.errorCode, c.code) << c.line;
        EXPECT_EQ(marvik::DescribeFinal(line), c.described);
    }
}

}  // namespace
