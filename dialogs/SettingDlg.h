// CSettingDlg: the settings dialog (template 130), the one place where every
// plugin shows its page of options. The shell owns the frame: a tree of page
// names on the left, the page of the selected name on the right, and OK,
// Cancel and Apply. The pages are child windows the plugins make and own.
//
// It is hidden and modeless with the desktop as parent, its window made when
// first wanted (CSettingDialogs); the object's address is what
// "manager/ProvideSetCWnd" hands out as the pages' parent. Start-up fills it
// once every plugin is bound (FillPages); "manager/ShowSetWindow" shows it;
// OK, Cancel and the close box hide it.
// Its controls are made as the dialog first shows (a tree view makes a
// tooltip window of its own), and its texts translated and its icon set then:
// start-up need not wait for any of it. The pages are placed and the first
// one shown when they are filled in, tree or not.
//
// OK posts kSettingApplyMessage to every page of the tree, Apply to the page
// shown, Cancel to none. Enter counts as OK, Esc as Cancel.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "framework/Dialog.h"
#include "framework/Handles.h"

namespace kivra {

struct ImageListTraits {
    static HIMAGELIST Invalid() { return nullptr; }
    static bool IsValid(HIMAGELIST h) { return h != nullptr; }
    static void Close(HIMAGELIST h) { ::ImageList_Destroy(h); }
};
using UniqueImageList = UniqueHandle<HIMAGELIST, ImageListTraits>;

// The two tree icons, beside the executable, and their size.
constexpr wchar_t kSettingNormalIcon[] = L"common\\normal.ico";
constexpr wchar_t kSettingSelectedIcon[] = L"common\\select.ico";
constexpr int kSettingIconSize = 12;
// Caption and button texts are read into buffers of this many units.
constexpr size_t kSettingCaptionUnits = 260;

class CSettingDlg : public CDialog {
public:
    CSettingDlg();
    ~CSettingDlg() override;

    // Translates the caption and the buttons and sets the small icon (not
    // owned), both as the dialog first shows when it has not shown yet; takes
    // one page per plugin (see SettingPages.h), places them, rebuilds
    // the tree (once there) with an item for each and shows the first page
    // without selecting its item. Without a registry the dialog ends with 0
    // and stays empty. With askPlugins false no plugin is asked for its page:
    // the dialog is filled without pages. Answers 1.
    int FillPages(HICON icon, bool askPlugins = true);

    // The page shown now, null when there is none.
    HWND CurrentPage() const { return currentPage_; }
    const RECT& PageRect() const { return pageRect_; }
    // Null until the dialog first shows.
    HWND Tree() const { return tree_; }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool DoDataExchange(bool fromControls) override;
    // Enter is OK: a page's settings are never dropped by it.
    void OnOK() override { OnOkButton(); }
    // Cancel, Esc and the close box: hidden, and the pages shown afresh.
    void OnCancel() override;

private:
    struct TPage {
        std::wstring name;  // translated
        HWND window;
    };

    void OnShowWindow(bool shown);
    void Dress();  // the translated texts and the icon
    void RebuildTree();
    void LoadTreeImages(UINT* mask);
    void ShowPage(HWND page);
    HWND PageOf(HTREEITEM item) const;

    void OnOkButton();     // 1001 (and Enter)
    void OnApplyButton();  // 1003
    void OnSelectionChanged();  // TVN_SELCHANGEDW from the tree

    WindowRef tree_;
    std::vector<TPage> pages_;     // in load order, as the tree lists them
    HWND currentPage_ = nullptr;  // the plugin's, never destroyed here
    RECT pageRect_ = {};
    UniqueImageList images_;
    HICON smallIcon_ = nullptr;  // the main window's
    bool dressed_ = true;        // texts and icon set since the last fill
};

}  // namespace kivra
