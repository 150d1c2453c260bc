// The start-up login: the stored password file, the four tries and their
// messages, and the dialog answered from a helper thread. (The battery runs
// the real program with hostile password files and a cancelled login.)
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
        {"[GENERAL_SETTING]\r\nADJUST=Ljwsb", L"Kivra"},                               // cut after the value
        {"[GENERAL_SETTING]\r\nADJUST=bcdefghijklmnopqrstu\r\n", L"abcdefghijklmno"},  // 15 are read
        {"[GENERAL_SETTING]\r\nADJUST=c\x01" "d\r\n", L"b"},  // a unit that decodes to nothing ends it
        {"[GENERAL_SETTING]\r\nADJ", L""},                     // truncated
    };
    for (const Case& c : cases) {
        std::wstring path = TestProgramFolder() + L"no-such-password.ini";
        if (c.file != nullptr)
            path = WriteIni(c.file);
        EXPECT_EQ(ReadStoredPassword(path.c_str()), c.password) << (c.file ? c.file : "(none)");
    }
    EXPECT_EQ(DecodeStoredPassword(EncodeStoredPassword(L"Pa\u00DF w\u00F6rd!")), L"Pa\u00DF w\u00F6rd!");
}

// Runs the dialog on this thread while a helper types each entry and presses
// OK, then Cancel when cancel is set; answers DoModal's result. messages gets the message line after each
// entry (marked when the entry stayed in the field), caption the caption.
INT_PTR RunLogin(const std::wstring& ini, std::vector<std::wstring> entries, bool cancel,
                 std::vector<std::wstring>* messages, std::wstring* caption)
{
    std::thread helper([&] {
        HWND dialog = nullptr;
        for (int i = 0; i < 200 && dialog == nullptr; ++i, Sleep(25))
            dialog = FindDialogWithChildText(GetCurrentProcessId(), kPasswordLabelText, true);
        if (dialog == nullptr)
            return;
        caption->resize(256);
        caption->resize(GetWindowTextW(dialog, caption->data(), 256));
        for (const std::wstring& entry : entries) {
            SetDlgItemTextW(dialog, IDC_PASSWORD_EDIT, entry.c_str());
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            if (!IsWindow(dialog))
                return;
            wchar_t text[256] = {}, edit[64] = {};
            GetDlgItemTextW(dialog, IDC_PASSWORD_MESSAGE, text, 256);
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

TEST(PasswordDialogTest, ThreeWrongEntriesAreCountedTheFourthRightOneIsAcceptedAndCancelEnds)
{
    const std::wstring ini = WriteIni("[GENERAL_SETTING]\r\nADJUST=ljwsb\r\n");
    std::vector<std::wstring> messages;
    std::wstring caption;
    ASSERT_EQ(CPasswdDlg::Failures(), 0);
    // Case-sensitive and whole: each of these is wrong.
    EXPECT_EQ(RunLogin(ini, {L"Kivra", L"kivr", L"kivra "}, true, &messages, &caption), IDCANCEL) << "Cancel ends it";
    EXPECT_EQ(caption, kLoginCaptionText) << "no language table here: the id is the text";
    EXPECT_EQ(messages, (std::vector<std::wstring>{std::wstring(L"1 time ") + kReEnterText,
                                                   std::wstring(L"2 times ") + kReEnterText,
                                                   std::wstring(L"3 times ") + kTryLastText}));
    // The count lasts the whole run: the fourth try still takes the right one...
    EXPECT_EQ(RunLogin(ini, {L"kivra"}, false, &messages, &caption), IDOK);
    // ...and a fourth wrong one ends the login.
    EXPECT_EQ(RunLogin(ini, {L"nope"}, false, &messages, &caption), IDCANCEL);
    // Without a stored password it ends at once with OK.
    EXPECT_EQ(CPasswdDlg(WriteIni("[GENERAL_SETTING]\r\n")).DoModal(), IDOK);
}

}  // namespace
