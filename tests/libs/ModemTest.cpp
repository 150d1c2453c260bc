#include "marvik.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

// Sets or clears KIVRA_MODEM_STATE (the demo product's simulated connection,
// honoured because the product folder carries tools\simulated-link) for one
// test and clears it afterwards.
class ModemTest : public ::testing::Test {
protected:
    void TearDown() override { SetEnvironmentVariableW(L"KIVRA_MODEM_STATE", nullptr); }
    static void Force(const wchar_t* value) { ASSERT_TRUE(SetEnvironmentVariableW(L"KIVRA_MODEM_STATE", value)); }
    // NetStat with values that are neither 0 nor 1 beforehand, so both writes show.
    static std::pair<unsigned, unsigned> State()
    {
        unsigned first = 77, second = 77;
        EXPECT_EQ(Modem::GetModem()->NetStat(&first, &second), 1);
        return {first, second};
    }
};

TEST_F(ModemTest, GetModemAlwaysGivesTheSameObject)
{
    Modem* modem = Modem::GetModem();
    ASSERT_NE(modem, nullptr);
    EXPECT_EQ(Modem::GetModem(), modem);
}

TEST_F(ModemTest, DemoProductsSimulatedConnectionCounts)
{
    Force(L"connected");
    auto up = State();
    EXPECT_NE(up.first, 0u);
    EXPECT_NE(up.second, 0u);

    Force(L"disconnected");
    EXPECT_EQ(State(), std::make_pair(0u, 0u));

    // Read on every call, and the case does not matter.
    Force(L"CONNECTED");
    up = State();
    EXPECT_NE(up.first, 0u);
    EXPECT_NE(up.second, 0u);
}

TEST_F(ModemTest, WithoutADialUpConnectionTheStateIsDown)
{
    // This machine has no RAS connection: unforced, and with values that force
    // nothing, the system is asked and says down.
    SetEnvironmentVariableW(L"KIVRA_MODEM_STATE", nullptr);
    EXPECT_EQ(State(), std::make_pair(0u, 0u));
    Force(L"maybe");
    EXPECT_EQ(State(), std::make_pair(0u, 0u));
    Force(L"connected-but-far-too-long-to-be-a-state-value");
    EXPECT_EQ(State(), std::make_pair(0u, 0u));
}

TEST_F(ModemTest, NullOutputsAreAllowed)
{
    Force(L"connected");
    unsigned first = 0;
    EXPECT_EQ(Modem::GetModem()->NetStat(&first, nullptr), 1);
    EXPECT_NE(first, 0u);
    unsigned second = 0;
    EXPECT_EQ(Modem::GetModem()->NetStat(nullptr, &second), 1);
    EXPECT_NE(second, 0u);
    EXPECT_EQ(Modem::GetModem()->NetStat(nullptr, nullptr), 1);
}

}  // namespace
