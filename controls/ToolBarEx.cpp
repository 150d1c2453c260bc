#include "controls/ToolBarEx.h"

#include <algorithm>

#include "controls/ImageStrip.h"
#include "framework/Text.h"

namespace kivra {

namespace {

// The common control's own styles for the bar: flat wrapping buttons with
// tooltips, laid out by the main window rather than by the control itself.
constexpr DWORD kToolBarWindowStyle = WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_WRAPABLE | TBSTYLE_TOOLTIPS |
                                      CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER;
// Space before the first button.
constexpr int kToolBarIndent = 4;
// Button texts are read into a buffer of this many units.
constexpr int kButtonTextUnits = 1024;

}  // namespace

bool ClickGuard::Accept(DWORD now)
{
    // Unsigned difference: right across the tick count's wrap-around.
    if (any_ && now - last_ < kToolBarClickGuardMs)
        return false;
    last_ = now;
    any_ = true;
    return true;
}

ClickGuard& ToolBarClickGuard()
{
    static ClickGuard guard;
    return guard;
}

std::wstring ToolTipText(const std::wstring& buttonText, const std::wstring& resourceText,
                         const std::wstring& commandText)
{
    std::wstring text = !buttonText.empty() ? buttonText : !resourceText.empty() ? resourceText : commandText;
    // "Label\nLonger sentence": the label is the button's, the tip is the sentence.
    const size_t lineFeed = text.find(L'\n');
    if (lineFeed != std::wstring::npos)
        text.erase(0, lineFeed + 1);
    if (text.size() > kToolTipChars)
        text.resize(kToolTipChars);
    return text;
}

RECT LogoPlace(const RECT& bar, SIZE* logo)
{
    const int width = bar.right - bar.left;
    const int height = bar.bottom - bar.top;
    logo->cx = std::min<int>(logo->cx, width);
    logo->cy = std::min<int>(logo->cy, height);
    return {bar.right - logo->cx, bar.top + (height - logo->cy) / 2, bar.right, bar.top + (height + logo->cy) / 2};
}

CToolBarEx::~CToolBarEx()
{
    // The image list outlives the window that draws with it.
    if (IsWindow() && ownsWindow_)
        Destroy();
    if (images_ != nullptr)
        ImageList_Destroy(images_);
}

bool CToolBarEx::Create(HWND parent, SIZE buttonSize, SIZE imageSize, UINT id)
{
    RECT client = {};
    ::GetClientRect(parent, &client);
    const int height = buttonSize.cy > 0 ? buttonSize.cy : 0;
    if (!CWindow::Create(0, TOOLBARCLASSNAMEW, nullptr, kToolBarWindowStyle, 0, 0, client.right, height, parent, id))
        return false;
    Send(TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
    Send(TB_SETINDENT, kToolBarIndent);
    const bool sized = (buttonSize.cx != 0 || buttonSize.cy != 0) && (imageSize.cx != 0 || imageSize.cy != 0);
    if (sized) {
        imageSize_ = imageSize;
        Send(TB_SETBITMAPSIZE, 0, MAKELPARAM(imageSize.cx, imageSize.cy));
        Send(TB_SETBUTTONSIZE, 0, MAKELPARAM(buttonSize.cx, buttonSize.cy));
    }
    return true;
}

bool CToolBarEx::SetButtons(const std::vector<UINT>& ids)
{
    std::vector<TBBUTTON> buttons;
    int image = 0;
    for (UINT id : ids) {
        TBBUTTON button = {};
        if (id == 0) {
            button.fsStyle = BTNS_SEP;
        } else {
            button.iBitmap = image++;
            button.idCommand = static_cast<int>(id);
            button.fsState = TBSTATE_ENABLED;
            button.fsStyle = BTNS_BUTTON;
            button.iString = -1;
        }
        buttons.push_back(button);
    }
    ids_ = ids;
    if (buttons.empty())
        return true;
    return Send(TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data())) != 0;
}

bool CToolBarEx::SetButtonImages(HBITMAP bitmap)
{
    if (bitmap == nullptr)
        return false;
    HIMAGELIST list = ImageList_Create(imageSize_.cx, imageSize_.cy, ILC_COLOR16 | ILC_MASK, 1, 1);
    if (list == nullptr)
        return false;
    if (ImageList_AddMasked(list, bitmap, kControlMaskColor) < 0) {
        ImageList_Destroy(list);
        return false;
    }
    Send(TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(list));
    if (images_ != nullptr)
        ImageList_Destroy(images_);
    images_ = list;
    return true;
}

void CToolBarEx::SetButtonText(UINT id, const std::wstring& text)
{
    TBBUTTONINFOW info = {};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_TEXT;
    std::wstring copy = text.substr(0, kButtonTextUnits - 1);
    info.pszText = copy.data();
    info.cchText = static_cast<int>(copy.size());
    Send(TB_SETBUTTONINFOW, id, reinterpret_cast<LPARAM>(&info));
}

std::wstring CToolBarEx::ButtonText(UINT id) const
{
    wchar_t text[kButtonTextUnits] = {};
    TBBUTTONINFOW info = {};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_TEXT;
    info.pszText = text;
    info.cchText = kButtonTextUnits;
    if (Send(TB_GETBUTTONINFOW, id, reinterpret_cast<LPARAM>(&info)) < 0)
        return {};
    text[kButtonTextUnits - 1] = 0;
    return text;
}

void CToolBarEx::SetBackgroundColour(COLORREF colour)
{
    background_.reset(::CreateSolidBrush(colour));
    Invalidate(true);
}

void CToolBarEx::SetBackgroundImage(HBITMAP image)
{
    if (image == nullptr)
        return;
    // The brush keeps its own copy of the pattern.
    background_.reset(::CreatePatternBrush(image));
    Invalidate(true);
}

void CToolBarEx::SetLogo(HBITMAP logo)
{
    if (logo == nullptr)
        return;
    logoSize_ = BitmapSize(logo);
    logo_.reset(::CreatePatternBrush(logo));
    Invalidate(true);
}

void CToolBarEx::SetOneOfMany(bool on)
{
    oneOfMany_ = on;
    held_ = 0;
    if (!on)
        return;
    for (UINT id : ids_) {
        if (id != 0) {
            held_ = id;
            break;
        }
    }
    if (held_ != 0)
        Send(TB_CHECKBUTTON, held_, TRUE);
}

void CToolBarEx::Hold(UINT id)
{
    if (!oneOfMany_ || id == 0)
        return;
    if (held_ != 0 && held_ != id)
        Send(TB_CHECKBUTTON, held_, FALSE);
    held_ = id;
    Send(TB_CHECKBUTTON, held_, TRUE);
}

bool CToolBarEx::IsPressed(UINT id) const
{
    return Send(TB_ISBUTTONCHECKED, id) != 0;
}

int CToolBarEx::HotId() const
{
    const auto hot = static_cast<int>(Send(TB_GETHOTITEM));
    if (hot < 0)
        return -1;
    TBBUTTON button = {};
    if (!Send(TB_GETBUTTON, hot, reinterpret_cast<LPARAM>(&button)))
        return -1;
    return button.idCommand;
}

void CToolBarEx::EnableButton(UINT id, bool enable)
{
    Send(TB_ENABLEBUTTON, id, enable ? TRUE : FALSE);
}

std::wstring CToolBarEx::TooltipFor(UINT id) const
{
    if (id == 0)
        return {};
    wchar_t resource[kButtonTextUnits] = {};
    ::LoadStringW(::GetModuleHandleW(nullptr), id, resource, kButtonTextUnits);
    const std::wstring command = commandTooltip_ ? commandTooltip_(id) : std::wstring();
    return ToolTipText(ButtonText(id), resource, command);
}

LRESULT CToolBarEx::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_ERASEBKGND:  // bool OnEraseBackground(HDC dc)
        if (OnEraseBackground(reinterpret_cast<HDC>(wParam)))
            return 1;
        break;
    case WM_LBUTTONDOWN:  // bool OnLButtonDown(); false drops the click
        if (!OnLButtonDown())
            return 0;
        break;
    case WM_RBUTTONDOWN:  // no default handling
        return 0;
    case WM_NOTIFY: {  // bool OnNotify(NMHDR* header, LRESULT* result)
        LRESULT result = 0;
        if (OnNotify(reinterpret_cast<NMHDR*>(lParam), &result))
            return result;
        break;
    }
    }
    return CWindow::WindowProc(msg, wParam, lParam);
}

bool CToolBarEx::OnEraseBackground(HDC dc)
{
    if (dc == nullptr || (!background_ && !logo_))
        return false;
    const RECT bar = ClientRect();
    if (background_)
        ::FillRect(dc, &bar, background_.get());
    if (logo_) {
        const RECT place = LogoPlace(bar, &logoSize_);
        // The pattern starts at the logo's corner, so the logo shows whole
        // whatever the bar's width.
        POINT old = {};
        ::SetBrushOrgEx(dc, place.left, place.top, &old);
        ::FillRect(dc, &place, logo_.get());
        ::SetBrushOrgEx(dc, old.x, old.y, nullptr);
    }
    return true;
}

bool CToolBarEx::OnLButtonDown()
{
    if (!ToolBarClickGuard().Accept(::GetTickCount()))
        return false;
    if (oneOfMany_) {
        const int hot = HotId();
        if (hot > 0)
            Hold(static_cast<UINT>(hot));
    }
    return true;
}

bool CToolBarEx::OnNotify(NMHDR* header, LRESULT* result)
{
    if (header == nullptr || header->code != TTN_NEEDTEXTW)
        return false;
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
    UINT id = static_cast<UINT>(header->idFrom);
    if (info->uFlags & TTF_IDISHWND)
        id = static_cast<UINT>(::GetDlgCtrlID(reinterpret_cast<HWND>(header->idFrom)));
    if (id == 0)
        return false;
    const std::wstring text = TooltipFor(id);
    static_assert(std::size(NMTTDISPINFOW{}.szText) == kToolTipChars + 1);
    CopyText(info->szText, text.c_str());
    info->lpszText = info->szText;
    info->hinst = nullptr;
    *result = 0;
    // Above the main window even when that one is top-most.
    ::SetWindowPos(header->hwndFrom, HWND_TOP, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    return true;
}

}  // namespace kivra
