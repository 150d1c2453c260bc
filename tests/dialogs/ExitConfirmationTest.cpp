// The exit confirmation against the modem library's forced states, with the
// message boxes answered from a helper thread.
#include "dialogs/ExitConfirmation.h"

#include "tests/support/MessageBoxWatcher.h"

#include <gtest/gtest.h>

using namespace kivra;
using kivra::testing::MessageBoxWatcher;

namespace {

// A visible top-level window whose text becomes the boxes' caption.
class ExitConfirmationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window_ = CreateWindowExW(0, L"STATIC", L"Exit Owner", WS_POPUP | WS_VISIBLE, 10, 10, 50, 50, nullptr,
                                  nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
    }
    void TearDown() override
    {
        DestroyWindow(window_);
        SetEnvironmentVariableW(L"KIVRA_MODEM_STATE", nullptr);
    }
    static void SetModem(const wchar_t* state) { SetEnvironmentVariableW(L"KIVRA_MODEM_STATE", state); }

    HWND window_ = nullptr;
};

TEST(ConnectionStateTest, UpOnlyWhenBothValuesAreSet)
{
    EXPECT_TRUE(IsConnectionUp(1, 1));
    EXPECT_TRUE(IsConnectionUp(0x8000, 7));
    EXPECT_FALSE(IsConnectionUp(1, 0));
    EXPECT_FALSE(IsConnectionUp(0, 1));
    EXPECT_FALSE(IsConnectionUp(0, 0));
}

TEST_F(ExitConfirmationTest, ModemStateComesFromTheModemLibrary)
{
    SetModem(L"connected");
    EXPECT_TRUE(ModemConnected());
    SetModem(L"disconnected");
    EXPECT_FALSE(ModemConnected());
}

TEST_F(ExitConfirmationTest, WhileConnectedAsksToDisconnectAndRefuses)
{
    SetModem(L"connected");
    bool agreed = true;
    {
        MessageBoxWatcher watcher(kPleaseDisconnectText, IDOK);
        agreed = ConfirmExit(window_);
        EXPECT_TRUE(watcher.Seen());
        EXPECT_EQ(watcher.Caption(), L"Exit Owner");
        EXPECT_TRUE(watcher.HadButton(IDOK));
        EXPECT_FALSE(watcher.HadButton(IDNO));
    }
    EXPECT_FALSE(agreed);
}

TEST_F(ExitConfirmationTest, WhenDisconnectedTheAnswerDecides)
{
    SetModem(L"disconnected");
    struct Case {
        int answer;
        bool agreed;
    };
    for (const Case& c : {Case{IDYES, true}, Case{IDNO, false}}) {
        MessageBoxWatcher watcher(kConfirmExitText, c.answer);
        EXPECT_EQ(ConfirmExit(window_), c.agreed) << c.answer;
        EXPECT_TRUE(watcher.Seen());
        EXPECT_EQ(watcher.Caption(), L"Exit Owner");
        EXPECT_TRUE(watcher.HadButton(IDNO));
    }
}

TEST_F(ExitConfirmationTest, LongWindowTextsAreCutForTheCaption)
{
    SetModem(L"disconnected");
    const std::wstring longText(400, L'x');
    SetWindowTextW(window_, longText.c_str());
    MessageBoxWatcher watcher(kConfirmExitText, IDNO);
    EXPECT_FALSE(ConfirmExit(window_));
    EXPECT_EQ(watcher.Caption(), std::wstring(256, L'x'));
}

}  // namespace
