#include "marvik/AtParse.h"
#include "marvik/Records.h"

#include <gtest/gtest.h>

using namespace marvik;

namespace {

TEST(AtParse, SignalFromCsqAndItsBars)
{
    struct Case {
        const char* line;
        int dbm;
        int bars;
    };
    const Case cases[] = {
        {"+CSQ: 0,99", -113, 0},  {"+CSQ: 2,99", -109, 1},  {"+CSQ: 6,0", -101, 2},
        {"+CSQ: 10,99", -93, 3},  {"+CSQ: 15,99", -83, 4},  {"+CSQ: 20,99", -73, 5},
        {"+CSQ: 31,99", -51, 5},  {"+CSQ: 99,99", kUnknownDbm, 0}, {"+CSQ: 32,99", kUnknownDbm, 0},
        {"+CSQ: x,99", kUnknownDbm, 0}, {"+CSQ:", kUnknownDbm, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseSignalDbm(c.line), c.dbm) << c.line;
        EXPECT_EQ(SignalBars(ParseSignalDbm(c.line)), c.bars) << c.line;
    }
}

TEST(AtParse, RegistrationAsAnswerAndAsReport)
{
    struct Case {
        const char* line;
        bool ok;
        int stat;
        int accessTech;
    };
    const Case cases[] = {
        {"+CREG: 2,1,\"00C3\",\"0012ABCD\",2", true, 1, 2},  // answer to AT+CREG?, n = 2
        {"+CREG: 0,5", true, 5, -1},                        // answer, n = 0
        {"+CREG: 1,\"00C3\",\"0012ABCD\",7", true, 1, 7},    // report
        {"+CGREG: 2", true, 2, -1},                         // report while searching
        {"+CREG: 2,3", true, 3, -1},
        {"+CREG: banana", false, 0, 0},
        {"+CREG: 2,77", false, 0, 0},
    };
    for (const Case& c : cases) {
        Registration registration;
        EXPECT_EQ(ParseRegistration(c.line, registration), c.ok) << c.line;
        if (c.ok) {
            EXPECT_EQ(registration.stat, c.stat) << c.line;
            EXPECT_EQ(registration.accessTech, c.accessTech) << c.line;
        }
    }
}

TEST(AtParse, OperatorNamesWithCommasAndWithoutRegistration)
{
    std::string name;
    int tech = 0;
    ASSERT_TRUE(ParseOperator("+COPS: 0,0,\"Telia, Sweden\",7", name, tech));
    EXPECT_EQ(name, "Telia, Sweden");
    EXPECT_EQ(tech, 7);
    ASSERT_TRUE(ParseOperator("+COPS: 0", name, tech));
    EXPECT_EQ(name, "");
    EXPECT_EQ(tech, -1);
    EXPECT_FALSE(ParseOperator("+COPS: \"x\"", name, tech));
}

TEST(AtParse, StoredMessageHeadersAndReports)
{
    StoredHeader header;
    ASSERT_TRUE(ParseListHeader("+CMGL: 3,1,,24", header));
    EXPECT_EQ(header.index, 3);
    EXPECT_EQ(header.status, 1);
    EXPECT_EQ(header.length, 24);
    ASSERT_TRUE(ParseListHeader("+CMGL: 12,0,\"Mom, home\",130", header));
    EXPECT_EQ(header.length, 130);
    EXPECT_FALSE(ParseListHeader("+CMGL: x,1,,24", header));
    EXPECT_FALSE(ParseListHeader("+CMGR: 1,,24", header));
    ASSERT_TRUE(ParseReadHeader("+CMGR: 0,,22", header));
    EXPECT_EQ(header.status, 0);
    EXPECT_EQ(header.length, 22);
    EXPECT_EQ(ParseNewMessageIndex("+CMTI: \"SM\",17"), 17);
    EXPECT_EQ(ParseNewMessageIndex("+CMTI: \"SM\""), -1);
    EXPECT_EQ(ParseMessageReference("+CMGS: 201"), 201);
}

TEST(AtParse, UssdReportsAndSimAnswers)
{
    UssdReport ussd;
    ASSERT_TRUE(ParseUssd("+CUSD: 0,\"Saldo: 5,00\",15", ussd));
    EXPECT_EQ(ussd.status, 0);
    EXPECT_EQ(ussd.text, "Saldo: 5,00");
    EXPECT_EQ(ussd.dcs, 15);
    ASSERT_TRUE(ParseUssd("+CUSD: 4", ussd));
    EXPECT_FALSE(ussd.hasText);
    EXPECT_EQ(ParseSimState("+CPIN: READY"), MODEM_SIM_READY);
    EXPECT_EQ(ParseSimState("+CPIN: SIM PUK"), MODEM_SIM_PUK);
    EXPECT_EQ(ParseSimState("+CPIN: PH-SIM PIN"), MODEM_SIM_UNKNOWN);
    EXPECT_EQ(ParseTriesLeft("+CPINR: SIM PIN,2,3"), 2);
    EXPECT_EQ(IdentityValue("+CGSN: \"353142034567890\"", "+CGSN:"), "353142034567890");
    EXPECT_EQ(IdentityValue("HUAWEI", "+CGMI:"), "HUAWEI");
}

TEST(Records, FieldsAreCutAndTerminatedNeverInsideAPair)
{
    wchar_t field[4];
    CopyField(field, L"ab");
    EXPECT_STREQ(field, L"ab");
    CopyField(field, L"abcdef");
    EXPECT_STREQ(field, L"abc");
    CopyField(field, L"ab\xD83D\xDE00");
    EXPECT_STREQ(field, L"ab") << "the high half alone is dropped";
    CopyField(field, L"a\xD83D\xDE00z");
    EXPECT_STREQ(field, L"a\xD83D\xDE00");
    EXPECT_STREQ(AccessTechName(MODEM_ACT_GSM, true), L"GPRS");
    EXPECT_STREQ(AccessTechName(MODEM_ACT_GSM, false), L"GSM");
    EXPECT_STREQ(AccessTechName(99, false), L"");
}

}  // namespace
