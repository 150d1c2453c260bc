// CStatusBarEx: the main window's status bar. Its panes are named by command
// ids; the pane of id 0 is the message pane, which takes the width the other
// panes leave, shows menu and tool-bar hints, and shows the idle text ("For
// Help, Press F1", translated) whenever the main window's loop goes idle,
// unless a tool-bar hint is being shown.
//
// Message map:
//   WM_SIZE             the panes are laid out again
//   WM_IDLEUPDATECMDUI  (0x0363) the idle text into the message pane
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/Window.h"

namespace kivra {

// The main window's idle refresh of its control bars.
constexpr UINT kIdleUpdateCmdUI = 0x0363;
// The idle text, before translation.
constexpr wchar_t kIdleTextId[] = L"For Help, Press F1";
// The idle text is kept in this many units (the last one the terminator).
constexpr size_t kIdleTextUnits = 128;

// Right edges of the panes for SB_SETPARTS: every pane gets its width, the
// message pane (the first of id 0) also what is left of barWidth; the last
// edge is -1, the bar's end.
std::vector<int> PaneEdges(const std::vector<UINT>& ids, const std::vector<int>& widths, int barWidth);

class CStatusBarEx : public CWindow {
public:
    // idleText: the translated idle text (cut to kIdleTextUnits - 1).
    explicit CStatusBarEx(const std::wstring& idleText);

    // A visible child status bar of parent with the given id.
    bool Create(HWND parent, UINT id);
    // One pane per id, in order, each 0 pixels wide until SetPaneWidth; the
    // message pane (id 0) shows the idle text.
    bool SetPanes(const std::vector<UINT>& ids);
    void SetPaneWidth(int index, int width);
    // The index of the pane of id, -1 when there is none.
    int CommandToIndex(UINT id) const;
    UINT PaneId(int index) const;
    int PaneCount() const { return static_cast<int>(ids_.size()); }
    bool SetPaneText(int index, const std::wstring& text);
    std::wstring PaneText(int index) const;
    // SB_SETICON; answers the control's answer.
    LRESULT SetPaneIcon(int index, HICON icon);
    RECT PaneRect(int index) const;

    // Set while the message pane shows a hot tool-bar button's hint.
    void SetHintShown(bool shown) { hintShown_ = shown; }
    bool HintShown() const { return hintShown_; }
    // Whether the message pane shows the idle text (set by the idle refresh,
    // cleared when anything else is written into it).
    bool ShowsIdleText() const { return showsIdleText_; }
    const std::wstring& IdleText() const { return idleText_; }

    // The idle refresh (WM_IDLEUPDATECMDUI): the idle text into the message
    // pane, unless the bar is hidden, has no parent or shows a hint.
    void OnIdleUpdate();

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void LayoutPanes();  // WM_SIZE

    std::wstring idleText_;
    std::vector<UINT> ids_;
    std::vector<int> widths_;
    bool hintShown_ = false;
    bool showsIdleText_ = false;
};

}  // namespace kivra
