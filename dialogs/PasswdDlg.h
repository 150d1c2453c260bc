// CPasswdDlg: the start-up login. When Config.ini beside the executable holds
// a password, the user types it before the main window comes up; without one
// the dialog ends with IDOK at once. Four tries: each of the first three
// wrong passwords says so in red below the edit field, the fourth ends the
// dialog with IDCANCEL (and start-up ends the program). The count of failures
// is kept for the whole run.
//
// The stored password is obfuscated, not protected: every UTF-16 unit is
// stored one higher (section GENERAL_SETTING, key ADJUST). Anybody who can
// read or delete Config.ini can log in. It is never written to the log.
#pragma once

#include <windows.h>

#include <string>

#include "framework/Dialog.h"

namespace kivra {

constexpr wchar_t kPasswordFileName[] = L"Config.ini";
constexpr wchar_t kPasswordSection[] = L"GENERAL_SETTING";
constexpr wchar_t kPasswordKey[] = L"ADJUST";
// The read takes 15 characters and the terminator.
constexpr size_t kStoredPasswordUnits = 16;
// After this many failures the next one ends the login.
constexpr int kPasswordRetries = 3;
constexpr COLORREF kPasswordMessageColour = RGB(255, 0, 0);

constexpr wchar_t kLoginCaptionText[] = L"Login:";
constexpr wchar_t kPasswordLabelText[] = L"Password:";
constexpr wchar_t kReEnterText[] = L"invalidate password, Please ReEnter!";
constexpr wchar_t kTryLastText[] = L"invalidate password, Try last!";

// The password a stored value stands for: each unit one lower. A stored unit
// of 0 or 1 (nothing to decode to) ends the password there, as the end of
// the value does.
std::wstring DecodeStoredPassword(const std::wstring& stored);
// The value to store for a password (each unit one higher); units that would
// not come back (U+FFFF) are left out.
std::wstring EncodeStoredPassword(const std::wstring& password);
// The decoded password of the ini file at path; empty (no password) when the
// file, the section or the key is missing or the value is empty. At most 15
// characters are read.
std::wstring ReadStoredPassword(const wchar_t* iniPath);
// Config.ini in the executable's folder; empty when the path cannot be had.
std::wstring PasswordFilePath();

// The text shown after the failure-th failure (1 to 3), with the translated
// reason: "1 time <re-enter>", "2 times <re-enter>", "3 times <try last>".
std::wstring PasswordFailureMessage(int failure, const wchar_t* translatedReason);
// The reason's text id for that failure.
const wchar_t* PasswordFailureReason(int failure);

// What one press of OK leads to.
enum class PasswordVerdict { Accepted, TryAgain, Refused };
// Checks entered against expected (whole and case-sensitive) and counts a
// failure in *failures; Refused once three failures were counted before.
PasswordVerdict CheckPassword(const std::wstring& entered, const std::wstring& expected, int* failures);

class CPasswdDlg : public CDialog {
public:
    // iniPath: the stored password's file (normally PasswordFilePath()).
    explicit CPasswdDlg(std::wstring iniPath);

    // The failures of this run so far.
    static int Failures();

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnInitDialog() override;
    bool DoDataExchange(bool fromControls) override;
    void OnOK() override;

private:
    void OnCtlColorStatic(HDC dc, HWND control);  // WM_CTLCOLORSTATIC
    void TranslateItem(int id, const wchar_t* textId);

    std::wstring iniPath_;
    std::wstring entered_;
    std::wstring expected_;
};

}  // namespace kivra
