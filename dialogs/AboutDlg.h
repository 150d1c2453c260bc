// CAboutDlg: the About box (template 100), run modally by
// "manager/ShowAboutDlg": the product's icon, its title, the program version
// followed by the skin's version, and the skin's maker line. Every text comes
// from the configuration, the skin and the language table, so a rebranded
// product shows its own names.
#pragma once

#include <string>

#include "framework/Dialog.h"

namespace kivra {

class CLanguageTable;

// Caption and button texts are read into buffers of this many units.
constexpr size_t kAboutTextUnits = 512;

// The three texts the About box shows beside its icon.
struct AboutTexts {
    std::wstring product;  // the configured title, translated
    std::wstring version;  // "Version:" translated, the program version, the skin's version
    std::wstring maker;    // the skin's company, translated; empty without one
};

AboutTexts ComposeAboutTexts(const CLanguageTable& language, const wchar_t* title, const wchar_t* skinVersion,
                             const wchar_t* skinCompany);

class CAboutDlg : public CDialog {
public:
    // icon: the product's configured logo (not owned), or null, which leaves
    // the icon control empty.
    explicit CAboutDlg(HICON icon);

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnInitDialog() override;

private:
    HICON icon_;
};

}  // namespace kivra
