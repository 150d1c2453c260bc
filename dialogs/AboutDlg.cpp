#include "dialogs/AboutDlg.h"

#include "config/Configure.h"
#include "dialogs/DialogText.h"
#include "framework/ProgramVersion.h"
#include "resources/resource.h"

namespace kivra {

namespace {

constexpr wchar_t kVersionLabel[] = L"Version:";

std::wstring Translated(const CLanguageTable& language, const wchar_t* id)
{
    wchar_t text[kTranslateTextUnits];
    language.Translate(id != nullptr ? id : L"", text);
    return text;
}

}  // namespace

AboutTexts ComposeAboutTexts(const CLanguageTable& language, const wchar_t* title, const wchar_t* skinVersion,
                             const wchar_t* skinCompany)
{
    AboutTexts texts;
    texts.product = Translated(language, title);
    // No separators: the skin's version is written to follow the program's.
    texts.version = Translated(language, kVersionLabel) + kProgramVersion + (skinVersion ? skinVersion : L"");
    texts.maker = Translated(language, skinCompany);
    return texts;
}

CAboutDlg::CAboutDlg(HICON icon) : CDialog(IDD_ABOUT), icon_(icon) {}

LRESULT CAboutDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_COMMAND:
        // The one button closes the box; a click on the version line does nothing.
        if (LOWORD(wParam) == IDC_ABOUT_OK && HIWORD(wParam) == BN_CLICKED) {
            EndDialog(IDOK);
            return 0;
        }
        break;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}

bool CAboutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    TranslateWindowText(hwnd_, kAboutTextUnits);
    TranslateWindowText(Item(IDC_ABOUT_OK), kAboutTextUnits);

    if (icon_ != nullptr)
        Item(IDC_ABOUT_ICON).Send(STM_SETICON, reinterpret_cast<WPARAM>(icon_));

    CConfigure* configure = ExistingConfigure();
    if (configure == nullptr)
        return true;  // the template's own texts
    CSkin& skin = configure->Skin();
    const AboutTexts texts = ComposeAboutTexts(configure->Language(), configure->Title(), skin.Version(),
                                               skin.Company());
    SetItemText(IDC_ABOUT_PRODUCT, texts.product.c_str());
    SetItemText(IDC_ABOUT_VERSION, texts.version.c_str());
    SetItemText(IDC_ABOUT_MAKER, texts.maker.c_str());
    return true;
}

}  // namespace kivra
