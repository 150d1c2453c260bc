#include "controls/MenuBand.h"

#include <commctrl.h>

#include <cwctype>

namespace kivra {

namespace {

constexpr DWORD kMenuBandStyle = WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_LIST | TBSTYLE_TRANSPARENT |
                                 CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN;
// The buttons' ids are the band's own: 1 for the first menu, and so on.
constexpr int kFirstButtonId = 1;
constexpr int kBandIndent = 4;

// The band whose menu is open on this thread (its message filter's target).
thread_local CMenuBand* tTrackingBand = nullptr;

wchar_t Lower(wchar_t c)
{
    return static_cast<wchar_t>(std::towlower(c));
}

bool SystemShowsKeyboardCues()
{
    BOOL show = FALSE;
    return ::SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &show, 0) && show;
}

}  // namespace

wchar_t MnemonicOf(const std::wstring& label)
{
    for (size_t at = label.find(L'&'); at != std::wstring::npos && at + 1 < label.size();
         at = label.find(L'&', at + 2)) {
        if (label[at + 1] != L'&')
            return Lower(label[at + 1]);
    }
    return 0;
}

int FindMnemonic(const std::vector<std::wstring>& labels, wchar_t key)
{
    if (key == 0)
        return -1;
    key = Lower(key);
    bool anyMnemonic = false;
    for (size_t i = 0; i < labels.size(); ++i) {
        const wchar_t mnemonic = MnemonicOf(labels[i]);
        anyMnemonic = anyMnemonic || mnemonic != 0;
        if (mnemonic == key)
            return static_cast<int>(i);
    }
    if (anyMnemonic)
        return -1;
    for (size_t i = 0; i < labels.size(); ++i)
        if (!labels[i].empty() && Lower(labels[i][0]) == key)
            return static_cast<int>(i);
    return -1;
}

TBandStep StepForKey(UINT virtualKey, int selected, int count)
{
    if (count <= 0)
        return {BandKey::Leave, -1};
    switch (virtualKey) {
    case VK_LEFT:
        return {BandKey::Move, (selected + count - 1) % count};
    case VK_RIGHT:
        return {BandKey::Move, (selected + 1) % count};
    case VK_DOWN:
    case VK_UP:
    case VK_RETURN:
    case VK_SPACE:
        return {BandKey::Open, selected};
    case VK_ESCAPE:
        return {BandKey::Leave, -1};
    default:
        return {BandKey::None, selected};
    }
}

CMenuBand::~CMenuBand()
{
    if (tTrackingBand == this)
        tTrackingBand = nullptr;
}

bool CMenuBand::Create(HWND owner, UINT id)
{
    owner_ = owner;
    RECT client = {};
    ::GetClientRect(owner, &client);
    if (!CWindow::Create(0, TOOLBARCLASSNAMEW, nullptr, kMenuBandStyle, 0, 0, client.right, 0, owner, id))
        return false;
    Send(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
    Send(TB_SETBITMAPSIZE, 0, MAKELPARAM(0, 0));
    Send(TB_SETINDENT, kBandIndent);
    SetFont(Parent().Font(), false);
    // Underlines hidden until the keyboard is used, as in every menu bar,
    // unless the system always shows them.
    cuesShown_ = true;
    UpdateCues();
    return true;
}

bool CMenuBand::AddMenu(const std::wstring& label, CMenuEx* menu)
{
    if (menu == nullptr)
        return false;
    std::wstring text = label;
    TBBUTTON button = {};
    button.iBitmap = I_IMAGENONE;
    button.idCommand = kFirstButtonId + MenuCount();
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE | BTNS_SHOWTEXT;
    button.iString = reinterpret_cast<INT_PTR>(text.c_str());
    if (!Send(TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button)))
        return false;
    menus_.push_back(menu);
    labels_.push_back(label);
    Send(TB_SETHOTITEM, static_cast<WPARAM>(-1));  // nothing is hot before the mouse comes
    const RECT placed = RectInParent();
    Move(placed.left, placed.top, placed.right - placed.left, Height());
    return true;
}

int CMenuBand::Height() const
{
    return HIWORD(Send(TB_GETBUTTONSIZE));
}

int CMenuBand::TitleAt(POINT screen) const
{
    if (hwnd_ == nullptr)
        return -1;
    ::ScreenToClient(hwnd_, &screen);
    for (int i = 0; i < MenuCount(); ++i) {
        RECT button = {};
        Send(TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&button));
        if (::PtInRect(&button, screen))
            return i;
    }
    return -1;
}

TPopupResult CMenuBand::OpenMenu(int index, bool byKeyboard)
{
    TPopupResult chosen;
    if (index < 0 || index >= MenuCount())
        return chosen;
    const bool cameFromKeyboard = keyboardMode_;
    for (;;) {
        tracking_ = TTracking{index};
        selected_ = index;
        RECT button = {};
        Send(TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&button));
        POINT below = {button.left, button.bottom};
        ::ClientToScreen(hwnd_, &below);
        Send(TB_PRESSBUTTON, kFirstButtonId + index, TRUE);
        if (byKeyboard) {
            UpdateCues();
            // The menu's own loop takes it: its first item is selected, as
            // a menu bar's menu opened from the keyboard has it.
            ::PostMessageW(owner_, WM_KEYDOWN, VK_DOWN, 0);
        }
        CMenuBand* outer = tTrackingBand;
        tTrackingBand = this;
        HHOOK filter = ::SetWindowsHookExW(WH_MSGFILTER, MenuFilter, nullptr, ::GetCurrentThreadId());
        chosen = menus_[index]->PopupAt(owner_, below, TPM_LEFTALIGN | TPM_TOPALIGN);
        if (filter != nullptr)
            ::UnhookWindowsHookEx(filter);
        tTrackingBand = outer;
        if (!::IsWindow(hwnd_))
            return chosen;
        Send(TB_PRESSBUTTON, kFirstButtonId + index, FALSE);
        if (tracking_.next < 0)
            break;
        index = tracking_.next;
        byKeyboard = tracking_.nextByKeyboard;
    }
    // Esc leaves the title selected, as in a menu bar; anything else (a
    // choice, a click elsewhere) ends the band's use.
    if (tracking_.escaped)
        EnterKeyboardMode(tracking_.index);
    else if (keyboardMode_ || cameFromKeyboard)
        LeaveKeyboardMode();
    if (onChosen_)
        onChosen_(chosen);
    return chosen;
}

LRESULT CALLBACK CMenuBand::MenuFilter(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == MSGF_MENU && tTrackingBand != nullptr && lParam != 0 &&
        tTrackingBand->FilterMenuMessage(*reinterpret_cast<const MSG*>(lParam)))
        return TRUE;
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

bool CMenuBand::FilterMenuMessage(const MSG& msg)
{
    const int count = MenuCount();
    switch (msg.message) {
    case WM_KEYDOWN:
        if (msg.wParam == VK_LEFT || msg.wParam == VK_RIGHT) {
            // The menus are flat: Left and Right go to the neighbouring title.
            tracking_.next = StepForKey(static_cast<UINT>(msg.wParam), tracking_.index, count).index;
            tracking_.nextByKeyboard = true;
            ::EndMenu();
            return true;
        }
        if (msg.wParam == VK_ESCAPE)
            tracking_.escaped = true;  // and the menu closes as usual
        return false;
    case WM_MOUSEMOVE: {
        const int over = TitleAt(msg.pt);
        if (over >= 0 && over != tracking_.index) {
            tracking_.next = over;
            tracking_.nextByKeyboard = false;
            ::EndMenu();
            return true;
        }
        return false;
    }
    case WM_LBUTTONDOWN:
        // A click on the open menu's own title closes it, and is not taken
        // for a press that opens it again.
        if (TitleAt(msg.pt) == tracking_.index) {
            ::EndMenu();
            return true;
        }
        return false;
    default:
        return false;
    }
}

bool CMenuBand::OnKeyMenu(wchar_t key)
{
    if (MenuCount() == 0 || key == L' ')
        return false;  // Alt+Space is the system menu's
    if (key == 0) {
        EnterKeyboardMode(0);
        return true;
    }
    const int index = FindMnemonic(labels_, key);
    if (index < 0)
        return false;
    EnterKeyboardMode(index);
    OpenMenu(index, true);
    return true;
}

void CMenuBand::EnterKeyboardMode(int index)
{
    if (!keyboardMode_) {
        HWND focus = ::GetFocus();
        focusBefore_ = focus != hwnd_ ? focus : nullptr;
    }
    keyboardMode_ = true;
    if (::GetFocus() != hwnd_)
        ::SetFocus(hwnd_);
    Select(index);
    UpdateCues();
}

void CMenuBand::LeaveKeyboardMode()
{
    if (!keyboardMode_)
        return;
    keyboardMode_ = false;
    Select(-1);
    UpdateCues();
    if (::GetFocus() == hwnd_)
        ::SetFocus(focusBefore_ != nullptr && ::IsWindow(focusBefore_) ? focusBefore_ : owner_);
    focusBefore_ = nullptr;
}

void CMenuBand::Select(int index)
{
    selected_ = index;
    Send(TB_SETHOTITEM, static_cast<WPARAM>(index));
}

void CMenuBand::UpdateCues()
{
    const bool show = keyboardMode_ || windowShowsCues_ || SystemShowsKeyboardCues();
    const bool changed = show != cuesShown_;
    cuesShown_ = show;
    Send(TB_SETDRAWTEXTFLAGS, DT_HIDEPREFIX, show ? 0 : DT_HIDEPREFIX);
    if (changed)
        Invalidate(true);
}

void CMenuBand::OnKeyDown(UINT virtualKey)
{
    const TBandStep step = StepForKey(virtualKey, selected_, MenuCount());
    switch (step.action) {
    case BandKey::Move:
        Select(step.index);
        break;
    case BandKey::Open:
        OpenMenu(step.index, true);
        break;
    case BandKey::Leave:
        LeaveKeyboardMode();
        break;
    case BandKey::None:
        break;
    }
}

void CMenuBand::OnChar(wchar_t key)
{
    const int index = FindMnemonic(labels_, key);
    if (index >= 0)
        OpenMenu(index, true);
    else
        ::MessageBeep(0);
}

void CMenuBand::OnUpdateUiState(WPARAM change)
{
    // The window shows or hides keyboard cues (Alt was pressed in it, say):
    // the band follows. Its initial state is a menu bar's, without them.
    if ((HIWORD(change) & UISF_HIDEACCEL) == 0)
        return;
    if (LOWORD(change) == UIS_SET)
        windowShowsCues_ = false;
    else if (LOWORD(change) == UIS_CLEAR)
        windowShowsCues_ = true;
    UpdateCues();
}

bool CMenuBand::OnReflectedMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT* result)
{
    if (msg != WM_COMMAND)
        return false;
    // The band's own button ids never reach the owner's commands.
    OpenMenu(static_cast<int>(LOWORD(wParam)) - kFirstButtonId, keyboardMode_);
    *result = 0;
    return true;
}

LRESULT CMenuBand::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_ERASEBKGND:  // bool OnEraseBackground(HDC dc)
        if (OnEraseBackground(reinterpret_cast<HDC>(wParam)))
            return 1;
        break;
    case WM_SETFOCUS: {  // the keyboard focus makes no button hot, unless selected from the keyboard
        const LRESULT result = CWindow::WindowProc(msg, wParam, lParam);
        Send(TB_SETHOTITEM, static_cast<WPARAM>(keyboardMode_ ? selected_ : -1));
        return result;
    }
    case WM_KILLFOCUS:  // the focus went elsewhere: the keyboard selection ends
        if (keyboardMode_ && tTrackingBand != this) {
            keyboardMode_ = false;
            focusBefore_ = nullptr;
            Select(-1);
            UpdateCues();
        }
        break;
    case WM_GETDLGCODE:  // every key while a title is selected
        if (keyboardMode_)
            return DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTCHARS;
        break;
    case WM_KEYDOWN:  // void OnKeyDown(UINT virtualKey)
        if (keyboardMode_) {
            OnKeyDown(static_cast<UINT>(wParam));
            return 0;
        }
        break;
    case WM_CHAR:
    case WM_SYSCHAR:  // void OnChar(wchar_t key)
        if (keyboardMode_) {
            OnChar(static_cast<wchar_t>(wParam));
            return 0;
        }
        break;
    case WM_SYSKEYDOWN:  // Alt or F10 leaves; its release is swallowed too
        if (keyboardMode_ && (wParam == VK_MENU || wParam == VK_F10)) {
            LeaveKeyboardMode();
            swallowAltUp_ = true;
            return 0;
        }
        break;
    case WM_SYSKEYUP:
    case WM_KEYUP:
        if (swallowAltUp_ && (wParam == VK_MENU || wParam == VK_F10)) {
            swallowAltUp_ = false;
            return 0;  // no SC_KEYMENU that would select the band again
        }
        break;
    case WM_UPDATEUISTATE:  // default, then void OnUpdateUiState()
        return DefaultThen(msg, wParam, lParam, [&] { OnUpdateUiState(wParam); });
    }
    return CWindow::WindowProc(msg, wParam, lParam);
}

bool CMenuBand::OnEraseBackground(HDC dc)
{
    HWND parent = Parent();
    if (dc == nullptr || parent == nullptr)
        return false;
    // The parent paints its background into our DC, at our place in it.
    POINT origin = {0, 0};
    ::MapWindowPoints(hwnd_, parent, &origin, 1);
    POINT old = {};
    ::OffsetWindowOrgEx(dc, origin.x, origin.y, &old);
    ::SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    ::SetWindowOrgEx(dc, old.x, old.y, nullptr);
    return true;
}

}  // namespace kivra
