#include "controls/MenuBand.h"

#include <commctrl.h>

namespace kivra {

namespace {

constexpr DWORD kMenuBandStyle = WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_LIST | TBSTYLE_TRANSPARENT |
                                 CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN;
// The buttons' ids are the band's own: 1 for the first menu, and so on.
constexpr int kFirstButtonId = 1;
constexpr int kBandIndent = 4;

}  // namespace

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
    Send(TB_SETHOTITEM, static_cast<WPARAM>(-1));  // nothing is hot before the mouse comes
    const RECT placed = RectInParent();
    Move(placed.left, placed.top, placed.right - placed.left, Height());
    return true;
}

int CMenuBand::Height() const
{
    return HIWORD(Send(TB_GETBUTTONSIZE));
}

TPopupResult CMenuBand::OpenMenu(int index)
{
    if (index < 0 || index >= MenuCount())
        return {};
    RECT button = {};
    Send(TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&button));
    POINT below = {button.left, button.bottom};
    ::ClientToScreen(hwnd_, &below);
    Send(TB_PRESSBUTTON, kFirstButtonId + index, TRUE);
    const TPopupResult chosen = menus_[index]->PopupAt(owner_, below, TPM_LEFTALIGN | TPM_TOPALIGN);
    Send(TB_PRESSBUTTON, kFirstButtonId + index, FALSE);
    if (onChosen_)
        onChosen_(chosen);
    return chosen;
}

bool CMenuBand::OnReflectedMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT* result)
{
    if (msg != WM_COMMAND)
        return false;
    // The band's own button ids never reach the owner's commands.
    OpenMenu(static_cast<int>(LOWORD(wParam)) - kFirstButtonId);
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
    case WM_SETFOCUS: {  // the keyboard focus makes no button hot
        const LRESULT result = CWindow::WindowProc(msg, wParam, lParam);
        Send(TB_SETHOTITEM, static_cast<WPARAM>(-1));
        return result;
    }
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
