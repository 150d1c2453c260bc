// CMenuBand: a menu bar drawn as a band of text buttons inside the client
// area, for windows whose own menu bar cannot show: a shaped window has no
// caption, so the system's menu bar would sit under its drawn title bar and
// push the client area off the shape. Each button opens one skin menu below
// itself; the chosen command reaches the owner as WM_COMMAND, as from the
// system's menu bar, and menu hints come as WM_MENUSELECT.
//
// It is reached from the keyboard as a menu bar is:
//   - F10 or a lone Alt (the owner's SC_KEYMENU with no key, handed to
//     OnKeyMenu) selects the first title without opening it; Left and Right
//     move between titles, Down, Up, Enter or Space open the selected one,
//     its mnemonic letter opens that one, Esc, Alt or F10 leave;
//   - Alt+letter (SC_KEYMENU with the key) opens the menu whose title has
//     that mnemonic (the letter after "&"; a title without one answers to
//     its first letter) with its first item selected;
//   - while a menu is open, Left and Right (and the mouse over another
//     title) close it and open the neighbour; Esc closes it and leaves its
//     title selected.
// The mnemonics are underlined while the band is used from the keyboard, and
// always when the system shows keyboard cues (SPI_GETKEYBOARDCUES) or the
// window's UI state does (WM_UPDATEUISTATE).
//
// Message map:
//   WM_ERASEBKGND            the parent's background shows through
//   WM_SETFOCUS              no button turns hot with the focus, unless selected from the keyboard
//   WM_KILLFOCUS             the keyboard selection ends
//   WM_GETDLGCODE            every key, while selected from the keyboard
//   WM_KEYDOWN, WM_CHAR      titles chosen from the keyboard
//   WM_SYSKEYDOWN, WM_SYSKEYUP, WM_SYSCHAR   Alt and F10 leave, Alt+letter opens
//   WM_UPDATEUISTATE         the underlines follow the window's UI state changes
//   reflected WM_COMMAND     a button was pressed: its menu opens
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "controls/MenuEx.h"
#include "framework/Window.h"

namespace kivra {

// The mnemonic of a title: the lower-case letter after its first single "&"
// ("&&" is a plain ampersand); 0 when there is none.
wchar_t MnemonicOf(const std::wstring& label);
// The first title whose mnemonic is key (any case); when no title has a
// mnemonic at all, the first whose first letter is key. -1 for none.
int FindMnemonic(const std::vector<std::wstring>& labels, wchar_t key);

// What the keyboard does to the band's selection while no menu is open.
enum class BandKey {
    None,   // not the band's: nothing changes
    Move,   // another title is selected
    Open,   // the selected title's menu opens
    Leave,  // the band is left
};
struct TBandStep {
    BandKey action = BandKey::None;
    int index = -1;  // the title selected or opened
};
// Left and Right move with wrap-around, Down, Up, Enter and Space open, Esc
// leaves: virtual key on the title selected of count titles.
TBandStep StepForKey(UINT virtualKey, int selected, int count);

class CMenuBand : public CWindow {
public:
    // Told what was chosen in one of the band's menus.
    using ChoiceHandler = std::function<void(const TPopupResult& chosen)>;

    CMenuBand() = default;
    ~CMenuBand() override;

    // A child band of owner with the given id, as high as its buttons.
    bool Create(HWND owner, UINT id);
    // One button labelled label that opens menu (not owned).
    bool AddMenu(const std::wstring& label, CMenuEx* menu);
    int MenuCount() const { return static_cast<int>(menus_.size()); }
    // The band's height: that of its buttons.
    int Height() const;
    void SetChoiceHandler(ChoiceHandler handler) { onChosen_ = std::move(handler); }
    // Opens the menu of button index below it (with its first item selected
    // when byKeyboard); Left, Right and the mouse over another title go on to
    // that title's menu. Answers what was chosen.
    TPopupResult OpenMenu(int index, bool byKeyboard = false);

    // The owner's SC_KEYMENU: key 0 (a lone Alt, F10) selects the first title;
    // a character opens the menu with that mnemonic. False when the band has
    // no use for it (no titles, Alt+Space, no such mnemonic).
    bool OnKeyMenu(wchar_t key);

    // The title selected from the keyboard, -1 for none.
    int SelectedIndex() const { return keyboardMode_ ? selected_ : -1; }
    bool CuesShown() const { return cuesShown_; }

    bool OnReflectedMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    bool OnEraseBackground(HDC dc);         // WM_ERASEBKGND
    void OnKeyDown(UINT virtualKey);        // WM_KEYDOWN while selected
    void OnChar(wchar_t key);               // WM_CHAR, WM_SYSCHAR while selected
    void OnUpdateUiState(WPARAM change);    // WM_UPDATEUISTATE, after the default

    void EnterKeyboardMode(int index);
    void LeaveKeyboardMode();
    void Select(int index);
    void UpdateCues();
    // The title under a screen point, -1.
    int TitleAt(POINT screen) const;
    // The message filter that runs while one of the band's menus is open.
    static LRESULT CALLBACK MenuFilter(int code, WPARAM wParam, LPARAM lParam);
    bool FilterMenuMessage(const MSG& msg);  // true: taken

    HWND owner_ = nullptr;
    std::vector<CMenuEx*> menus_;
    std::vector<std::wstring> labels_;
    ChoiceHandler onChosen_;

    bool keyboardMode_ = false;  // a title is selected from the keyboard
    int selected_ = -1;
    HWND focusBefore_ = nullptr;  // given back when the keyboard selection ends
    bool swallowAltUp_ = false;   // the Alt press that left the band: its release is ours too
    bool windowShowsCues_ = false;
    bool cuesShown_ = false;

    // While a menu is open.
    struct TTracking {
        int index = -1;
        int next = -1;          // the title to open next (Left, Right, the mouse)
        bool nextByKeyboard = false;
        bool escaped = false;   // Esc closed it
    };
    TTracking tracking_;
};

}  // namespace kivra
