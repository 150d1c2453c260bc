#include "controls/StatusBarEx.h"

#include <commctrl.h>

#include <algorithm>

namespace kivra {

namespace {

// The pane texts are at most this long, terminator included.
constexpr int kPaneTextUnits = 256;

}  // namespace

std::vector<int> PaneEdges(const std::vector<UINT>& ids, const std::vector<int>& widths, int barWidth)
{
    const size_t count = ids.size();
    int fixed = 0;
    size_t stretch = count;
    for (size_t i = 0; i < count; ++i) {
        const int width = i < widths.size() ? std::max(widths[i], 0) : 0;
        if (ids[i] == 0 && stretch == count)
            stretch = i;
        else
            fixed += width;
    }
    std::vector<int> edges;
    int right = 0;
    for (size_t i = 0; i < count; ++i) {
        int width = i < widths.size() ? std::max(widths[i], 0) : 0;
        if (i == stretch)
            width = std::max(width, barWidth - fixed);
        right += width;
        edges.push_back(right);
    }
    if (!edges.empty())
        edges.back() = -1;  // the last pane runs to the bar's end
    return edges;
}

CStatusBarEx::CStatusBarEx(const std::wstring& idleText) : idleText_(idleText.substr(0, kIdleTextUnits - 1)) {}

bool CStatusBarEx::Create(HWND parent, UINT id)
{
    // Laid out by the main window with its other control bars.
    if (!CWindow::Create(0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | CCS_BOTTOM | CCS_NOPARENTALIGN, 0, 0,
                         0, 0, parent, id))
        return false;
    Send(WM_SIZE);  // takes the control's own height
    return true;
}

bool CStatusBarEx::SetPanes(const std::vector<UINT>& ids)
{
    ids_ = ids;
    widths_.assign(ids.size(), 0);
    LayoutPanes();
    // The idle text from the start: the first paint shows it, and the first
    // idle refresh has nothing to write (a repaint of the bar).
    const int message = CommandToIndex(0);
    if (message >= 0) {
        SetPaneText(message, idleText_);
        showsIdleText_ = true;
    }
    return true;
}

void CStatusBarEx::SetPaneWidth(int index, int width)
{
    if (index < 0 || index >= PaneCount())
        return;
    widths_[index] = width;
    LayoutPanes();
}

int CStatusBarEx::CommandToIndex(UINT id) const
{
    const auto found = std::find(ids_.begin(), ids_.end(), id);
    return found == ids_.end() ? -1 : static_cast<int>(found - ids_.begin());
}

UINT CStatusBarEx::PaneId(int index) const
{
    return index >= 0 && index < PaneCount() ? ids_[index] : 0;
}

bool CStatusBarEx::SetPaneText(int index, const std::wstring& text)
{
    if (index < 0 || index >= PaneCount())
        return false;
    if (index == CommandToIndex(0))
        showsIdleText_ = false;
    return Send(SB_SETTEXTW, index, reinterpret_cast<LPARAM>(text.c_str())) != 0;
}

std::wstring CStatusBarEx::PaneText(int index) const
{
    if (index < 0 || index >= PaneCount())
        return {};
    const auto length = LOWORD(Send(SB_GETTEXTLENGTHW, index));
    std::wstring text(length + 1, L'\0');
    Send(SB_GETTEXTW, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(length);
    return text;
}

LRESULT CStatusBarEx::SetPaneIcon(int index, HICON icon)
{
    return Send(SB_SETICON, index, reinterpret_cast<LPARAM>(icon));
}

RECT CStatusBarEx::PaneRect(int index) const
{
    RECT rect = {};
    Send(SB_GETRECT, index, reinterpret_cast<LPARAM>(&rect));
    return rect;
}

void CStatusBarEx::OnIdleUpdate()
{
    // The panes have no command states to update: they show what was written.
    if (!IsVisible() || !Parent().IsWindow())
        return;
    const int message = CommandToIndex(0);
    if (message < 0 || hintShown_)
        return;
    if (!showsIdleText_ || PaneText(message) != idleText_) {
        SetPaneText(message, idleText_);
        showsIdleText_ = true;
    }
}

LRESULT CStatusBarEx::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_SIZE: {  // void LayoutPanes()
        const LRESULT result = CWindow::WindowProc(msg, wParam, lParam);
        LayoutPanes();
        return result;
    }
    case kIdleUpdateCmdUI:  // void OnIdleUpdate()
        OnIdleUpdate();
        return 0;
    }
    return CWindow::WindowProc(msg, wParam, lParam);
}

void CStatusBarEx::LayoutPanes()
{
    if (ids_.empty())
        return;
    const RECT client = ClientRect();
    std::vector<int> edges = PaneEdges(ids_, widths_, client.right - client.left);
    Send(SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
}

}  // namespace kivra
