// The start-up login: the stored password file, the four tries and their
// messages, and the dialog answered from a helper thread.
#include "dialogs/PasswdDlg.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "resources/resource.h"
#include "tests/support/DialogSearch.h"
#include "tests/support/Files.h"
#include "tests/support/TestProgram.h"

using namespace kivra;
using namespace kivra::testing;

namespace {

std::wstring WriteIni(const std::string& bytes)
{
    const std::wstring path = TestProgramFolder() + L"password-test.ini";
    EXPECT_TRUE(WriteFileBytes(path, bytes));
    return path;
}

TEST(StoredPasswordTest, EachStoredUnitIsOneHigherAndBadFilesMeanNoPassword)
{
    struct Case {
        const char* file;  // null: no file at all
        std::wstring password;
    } cases[] = {
        {nullptr, L""},
        {"", L""},
        {"[OTHER]\r\nADJUST=ljwsb\r\n", L""},
        {"[GENERAL_SETTING]\r\nADJUST=\r\n", L""},
        {"[GENERAL_SETTING]\r\nADJUST=ljwsb\r\n", L"kivra"},
        {"[GENERAL_SETTING]\r\nADJUST=Ljwsb", L"Kivra"},                       // cut after the value
        {"[GENERAL_SETTING]\r\nADJUST=bcdefghijklmnopqrstu\r\n", L"abcdefghijklmno"},  // 15 are read
        {"[GENERAL_SETTING]\r\nADJUST=c\x01" "d\r\n", L"b"},                   // a unit that decodes to nothing ends it
        {"[GENERAL_SETTING]\r\nADJ", L""},                                     // truncated
    };
    for (const Case& c : cases) {
        std::wstring path = TestProgramFolder() + L"no-such-password.ini";
        if (c.file != nullptr)
            path = WriteIni(c.file);
        EXPECT_EQ(ReadStoredPassword(path.c_str()), c.password) << (c.file ? c.file : "(none)");
    }
    EXPECT_EQ(DecodeStoredPassword(EncodeStoredPassword(L"Pa\u00DF w\u00F6rd!")), L"Pa\u00DF w\u00F6rd!");
}

TEST(PasswordCheckTest, FourTriesCaseSensitiveWithTheRightMessages)
{
    int failures = 0;
    EXPECT_EQ(CheckPassword(L"KIVRA", L"kivra", &failures), PasswordVerdict::TryAgain);
    EXPECT_EQ(CheckPassword(L"kivr", L"kivra", &failures), PasswordVerdict::TryAgain);
    EXPECT_EQ(CheckPassword(L"kivra ", L"kivra", &failures), PasswordVerdict::TryAgain);
    EXPECT_EQ(CheckPassword(L"kivra", L"kivra", &failures), PasswordVerdict::Accepted) << "the fourth try counts";
    EXPECT_EQ(failures, 3);
    EXPECT_EQ(CheckPassword(L"x", L"kivra", &failures), PasswordVerdict::Refused);

    EXPECT_EQ(PasswordFailureMessage(1, L"again"), L"1 time again");
    EXPECT_EQ(PasswordFailureMessage(2, L"again"), L"2 times again");
    EXPECT_STREQ(PasswordFailureReason(2), kReEnterText);
    EXPECT_STREQ(PasswordFailureReason(3), kTryLastText);
}

// Runs the dialog on this thread while a helper types each entry and presses
// OK, then Cancel when cancel is set; answers DoModal's result. messages gets
// the message line after each entry (marked when the entry stayed in the field).
INT_PTR RunLogin(const std::wstring& ini, std::vector<std::wstring> entries, bool cancel,
                 std::vector<std::wstring>* messages, std::wstring* caption)
{
    std::thread helper([&] {
        HWND dialog = nullptr;
        for (int i = 0; i < 200 && dialog == nullptr; ++i, Sleep(25))
            dialog = FindDialogWithChildText(GetCurrentProcessId(), kPasswordLabelText, true);
        if (dialog == nullptr)
            return;
        *caption = std::wstring(256, L'\0');
        caption->resize(GetWindowTextW(dialog, caption->data(), 256));
        for (const std::wstring& entry : entries) {
            SetDlgItemTextW(dialog, IDC_PASSWORD_EDIT, entry.c_str());
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            if (!IsWindow(dialog))
                return;
            wchar_t text[256] = {};
            GetDlgItemTextW(dialog, IDC_PASSWORD_MESSAGE, text, 256);
            wchar_t edit[64] = {L'?'};
            GetDlgItemTextW(dialog, IDC_PASSWORD_EDIT, edit, 64);
            messages->push_back(std::wstring(text) + (edit[0] != 0 ? L" [entry kept]" : L""));
        }
        if (cancel)
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    CPasswdDlg dialog(ini);
    const INT_PTR result = dialog.DoModal();
    helper.join();
    return result;
}

TEST(PasswordDialogTest, WithoutAPasswordItEndsAtOnceWithOk)
{
    CPasswdDlg dialog(WriteIni("[GENERAL_SETTING]\r\n"));
    EXPECT_EQ(dialog.DoModal(), IDOK);
}

TEST(PasswordDialogTest, CancelEndsTheLogin)
{
    std::vector<std::wstring> messages;
    std::wstring caption;
    EXPECT_EQ(RunLogin(WriteIni("[GENERAL_SETTING]\r\nADJUST=ljwsb\r\n"), {}, true, &messages, &caption), IDCANCEL);
    EXPECT_EQ(caption, kLoginCaptionText) << "no language table here: the id is the text";
}

TEST(PasswordDialogTest, ThreeWrongEntriesAreCountedAndTheFourthRightOneIsAccepted)
{
    ASSERT_EQ(CPasswdDlg::Failures(), 0);
    std::vector<std::wstring> messages;
    std::wstring caption;
    const INT_PTR result = RunLogin(WriteIni("[GENERAL_SETTING]\r\nADJUST=ljwsb\r\n"),
                                    {L"Kivra", L"kivra2", L"", L"kivra"}, false, &messages, &caption);
    EXPECT_EQ(result, IDOK);
    ASSERT_GE(messages.size(), 3u);
    EXPECT_EQ(messages[0], std::wstring(L"1 time ") + kReEnterText);
    EXPECT_EQ(messages[1], std::wstring(L"2 times ") + kReEnterText);
    EXPECT_EQ(messages[2], std::wstring(L"3 times ") + kTryLastText);

    // The count lasts the whole run: the next wrong entry ends the login.
    EXPECT_EQ(RunLogin(WriteIni("[GENERAL_SETTING]\r\nADJUST=ljwsb\r\n"), {L"nope"}, false, &messages, &caption),
              IDCANCEL);
}

}  // namespace
