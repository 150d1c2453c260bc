#include "dialogs/PasswdDlg.h"

#include <cwchar>

#include "config/Configure.h"
#include "framework/DiskFile.h"
#include "framework/ModulePath.h"
#include "framework/Text.h"
#include "resources/resource.h"

namespace kivra {

namespace {

// Failed tries of this run; the login happens once, on the user-interface thread.
int g_failures = 0;

}  // namespace

std::wstring DecodeStoredPassword(const std::wstring& stored)
{
    std::wstring password;
    for (wchar_t unit : stored) {
        if (unit <= 1)
            break;
        password.push_back(static_cast<wchar_t>(unit - 1));
    }
    return password;
}

std::wstring EncodeStoredPassword(const std::wstring& password)
{
    std::wstring stored;
    for (wchar_t unit : password)
        if (unit != 0xFFFF)
            stored.push_back(static_cast<wchar_t>(unit + 1));
    return stored;
}

std::wstring ReadStoredPassword(const wchar_t* iniPath)
{
    // A folder or a device in the file's place holds no password.
    if (iniPath == nullptr || iniPath[0] == 0 || !IsRegularDiskFile(iniPath))
        return {};
    wchar_t value[kStoredPasswordUnits] = {};
    // Always terminated: a longer value is cut to 15 characters.
    ::GetPrivateProfileStringW(kPasswordSection, kPasswordKey, L"", value, static_cast<DWORD>(kStoredPasswordUnits),
                               iniPath);
    value[kStoredPasswordUnits - 1] = 0;
    return DecodeStoredPassword(value);
}

std::wstring PasswordFilePath()
{
    wchar_t path[kMaxPathChars + 1];
    if (!ExecutableFolder(path, kMaxPathChars + 1) || !AppendText(path, kPasswordFileName))
        return {};
    return path;
}

const wchar_t* PasswordFailureReason(int failure)
{
    return failure >= kPasswordRetries ? kTryLastText : kReEnterText;
}

std::wstring PasswordFailureMessage(int failure, const wchar_t* translatedReason)
{
    wchar_t text[512];
    FormatText(text, failure == 1 ? L"%d time %ls" : L"%d times %ls", failure,
               translatedReason != nullptr ? translatedReason : L"");
    return text;
}

PasswordVerdict CheckPassword(const std::wstring& entered, const std::wstring& expected, int* failures)
{
    if (entered == expected)
        return PasswordVerdict::Accepted;
    const int before = (*failures)++;
    return before >= kPasswordRetries ? PasswordVerdict::Refused : PasswordVerdict::TryAgain;
}

// ---------------------------------------------------------------------------
// The dialog

CPasswdDlg::CPasswdDlg(std::wstring iniPath) : CDialog(IDD_PASSWORD), iniPath_(std::move(iniPath)) {}

int CPasswdDlg::Failures()
{
    return g_failures;
}

LRESULT CPasswdDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CTLCOLORSTATIC: {  // void OnCtlColorStatic(HDC dc, HWND control), after the default
        const LRESULT brush = DefaultProc(msg, wParam, lParam);
        OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        return brush;
    }
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}

bool CPasswdDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    expected_ = ReadStoredPassword(iniPath_.c_str());
    if (expected_.empty()) {
        CDialog::OnOK();  // no password: on with the start-up
        return true;
    }
    wchar_t caption[256];
    TranslateShellText(kLoginCaptionText, caption);
    SetText(caption);
    TranslateItem(IDC_PASSWORD_LABEL, kPasswordLabelText);
    TranslateItem(IDOK, L"OK");
    TranslateItem(IDCANCEL, L"Cancel");
    return true;
}

void CPasswdDlg::TranslateItem(int id, const wchar_t* textId)
{
    wchar_t text[256];
    TranslateShellText(textId, text);
    SetItemText(id, text);
}

bool CPasswdDlg::DoDataExchange(bool fromControls)
{
    if (fromControls)
        entered_ = ItemText(IDC_PASSWORD_EDIT);
    else
        SetItemText(IDC_PASSWORD_EDIT, entered_.c_str());
    return true;
}

void CPasswdDlg::OnOK()
{
    UpdateData(true);
    switch (CheckPassword(entered_, expected_, &g_failures)) {
    case PasswordVerdict::Accepted:
        EndDialog(IDOK);
        break;
    case PasswordVerdict::Refused:
        EndDialog(IDCANCEL);
        break;
    case PasswordVerdict::TryAgain: {
        wchar_t reason[256];
        TranslateShellText(PasswordFailureReason(g_failures), reason);
        SetItemText(IDC_PASSWORD_MESSAGE, PasswordFailureMessage(g_failures, reason).c_str());
        entered_.clear();
        UpdateData(false);
        break;
    }
    }
    // What was typed does not stay in memory longer than needed.
    entered_.assign(entered_.size(), L'\0');
    entered_.clear();
}

void CPasswdDlg::OnCtlColorStatic(HDC dc, HWND control)
{
    if (::GetDlgCtrlID(control) == IDC_PASSWORD_MESSAGE)
        ::SetTextColor(dc, kPasswordMessageColour);
}

}  // namespace kivra
