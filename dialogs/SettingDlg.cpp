#include "dialogs/SettingDlg.h"

#include <string>

#include "dialogs/DialogText.h"
#include "dialogs/SettingPages.h"
#include "framework/ModulePath.h"
#include "framework/Text.h"
#include "plugin/ServiceRegistry.h"
#include "resources/resource.h"

namespace kivra {

namespace {

constexpr int kInitialImages = 8;
constexpr int kImageGrowth = 8;

HICON LoadTreeIcon(const wchar_t* relative)
{
    wchar_t path[kMaxPathChars + 1];
    if (!ExecutableFolder(path, std::size(path)) || !AppendText(path, relative))
        return nullptr;
    return static_cast<HICON>(
        ::LoadImageW(nullptr, path, IMAGE_ICON, kSettingIconSize, kSettingIconSize, LR_LOADFROMFILE));
}

}  // namespace

CSettingDlg::CSettingDlg() : CDialog(IDD_SETTING)
{
    // Every control waits for the first show: the tree, and the buttons
    // (0.6 ms of a start-up under Wine).
    for (UINT id : {IDC_SETTING_OK, IDC_SETTING_CANCEL, IDC_SETTING_APPLY, IDC_SETTING_TREE})
        DeferControl(id);
}

CSettingDlg::~CSettingDlg()
{
    // The tree goes before the image list it shows.
    if (IsWindow())
        Destroy();
}

bool CSettingDlg::DoDataExchange(bool)
{
    tree_ = Item(IDC_SETTING_TREE);
    return true;
}

int CSettingDlg::FillPages(HICON icon, bool askPlugins)
{
    if (hwnd_ == nullptr)
        return 1;
    // 1. and 3. Texts and icon: now when the dialog has shown before (its
    // tree is there then), else as it first shows. Both cost the hidden
    // dialog of a start-up about half a millisecond under Wine (the icon is
    // converted for the window manager).
    smallIcon_ = icon;
    dressed_ = false;
    if (tree_)
        Dress();

    // 2. The page area, beside where the tree is or will be.
    pageRect_ = SettingPageRect(ClientRect(), DeferredControlRect(IDC_SETTING_TREE));

    // 4. No page shown until they are all there.
    if (currentPage_ != nullptr && ::IsWindow(currentPage_))
        ::ShowWindow(currentPage_, SW_HIDE);
    currentPage_ = nullptr;
    pages_.clear();

    // 5. The plugins.
    CServiceRegistry* registry = CServiceRegistry::ExistingRegistry();
    if (registry == nullptr) {
        RebuildTree();
        EndDialog(0);
        return 1;
    }

    // 6. One page per plugin, in load order, in the page area.
    std::vector<SettingPage> pages;
    if (askPlugins)
        pages = CollectSettingPages(*registry);
    for (SettingPage& page : pages) {
        TranslateInPlace(page.name, std::size(page.name));
        pages_.push_back({page.name, page.window});
        WindowRef(page.window).Move(pageRect_, true);
    }
    // 7. The tree's images and an item per page, when there is a tree.
    RebuildTree();

    // 8. The first page shows; no item is selected yet.
    if (!pages_.empty())
        ShowPage(pages_.front().window);
    return 1;
}

void CSettingDlg::Dress()
{
    dressed_ = true;
    TranslateWindowText(hwnd_, kSettingCaptionUnits);
    for (int id : {IDC_SETTING_OK, IDC_SETTING_CANCEL, IDC_SETTING_APPLY})
        TranslateWindowText(Item(id), kSettingCaptionUnits);
    Send(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
}

void CSettingDlg::RebuildTree()
{
    if (!tree_)
        return;
    TreeView_DeleteAllItems(tree_);
    TreeView_SetImageList(tree_, nullptr, TVSIL_NORMAL);
    images_.reset();
    UINT mask = TVIF_TEXT | TVIF_PARAM;
    LoadTreeImages(&mask);
    for (TPage& page : pages_) {
        TVINSERTSTRUCTW insert{};
        insert.hParent = TVI_ROOT;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = mask;
        insert.item.pszText = page.name.data();
        insert.item.iImage = 0;
        insert.item.iSelectedImage = 1;
        insert.item.lParam = reinterpret_cast<LPARAM>(page.window);
        TreeView_InsertItem(tree_, &insert);
    }
}

void CSettingDlg::LoadTreeImages(UINT* mask)
{
    UniqueIcon normal(LoadTreeIcon(kSettingNormalIcon));
    if (!normal)
        return;  // no list, and so no place for the selected image either
    images_.reset(::ImageList_Create(kSettingIconSize, kSettingIconSize, ILC_COLOR24, kInitialImages, kImageGrowth));
    if (!images_)
        return;
    ::ImageList_SetBkColor(images_.get(), RGB(255, 255, 255));
    if (::ImageList_ReplaceIcon(images_.get(), -1, normal.get()) >= 0)
        *mask |= TVIF_IMAGE;
    UniqueIcon selected(LoadTreeIcon(kSettingSelectedIcon));
    if (selected && ::ImageList_ReplaceIcon(images_.get(), -1, selected.get()) >= 0)
        *mask |= TVIF_SELECTEDIMAGE;
    TreeView_SetImageList(tree_, images_.get(), TVSIL_NORMAL);
}

HWND CSettingDlg::PageOf(HTREEITEM item) const
{
    if (item == nullptr)
        return nullptr;
    TVITEMW data{};
    data.mask = TVIF_PARAM | TVIF_HANDLE;
    data.hItem = item;
    if (!TreeView_GetItem(tree_, &data))
        return nullptr;
    return reinterpret_cast<HWND>(data.lParam);
}

void CSettingDlg::ShowPage(HWND page)
{
    // A plugin may have destroyed its page meanwhile: it is then not shown.
    currentPage_ = page;
    if (page != nullptr && ::IsWindow(page))
        ::ShowWindow(page, SW_SHOW);
}

// ---------------------------------------------------------------------------
// Message map

LRESULT CSettingDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED)
            break;
        switch (LOWORD(wParam)) {
        case IDC_SETTING_OK:  // void OnOkButton()
            OnOkButton();
            return 0;
        case IDC_SETTING_APPLY:  // void OnApplyButton()
            OnApplyButton();
            return 0;
        case IDC_SETTING_CANCEL:  // void OnCancel()
            OnCancel();
            return 0;
        }
        break;
    case WM_SHOWWINDOW:  // void OnShowWindow(bool shown)
        OnShowWindow(wParam != FALSE);
        break;
    case WM_NOTIFY: {  // void OnSelectionChanged()
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header != nullptr && header->idFrom == IDC_SETTING_TREE && header->code == TVN_SELCHANGEDW) {
            OnSelectionChanged();
            return 0;
        }
        break;
    }
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}

void CSettingDlg::OnShowWindow(bool shown)
{
    if (!shown)
        return;
    const bool first = !tree_;
    if (first) {
        CreateDeferredControls();
        tree_ = Item(IDC_SETTING_TREE);
    }
    if (!dressed_)
        Dress();
    if (first)
        RebuildTree();
}

void CSettingDlg::OnOkButton()
{
    for (const TPage& page : pages_) {
        if (::IsWindow(page.window))
            ::PostMessageW(page.window, kSettingApplyMessage, 0, 0);
    }
    EndDialog(IDOK);
}

void CSettingDlg::OnApplyButton()
{
    if (currentPage_ != nullptr && ::IsWindow(currentPage_))
        ::PostMessageW(currentPage_, kSettingApplyMessage, 0, 0);
    ::SetForegroundWindow(hwnd_);
}

void CSettingDlg::OnCancel()
{
    EndDialog(IDCANCEL);
    // No apply message: the pages hear nothing of Cancel itself. Each comes to
    // the front once while the dialog is hidden (WM_SHOWWINDOW, wParam TRUE),
    // where a page fills its controls from its settings again, so what Cancel
    // dropped does not come back at the next opening, nor with the next OK.
    for (const TPage& entry : pages_) {
        HWND page = entry.window;
        if (!::IsWindow(page))
            continue;
        const bool front = page == currentPage_;
        ::ShowWindow(page, front ? SW_HIDE : SW_SHOW);
        ::ShowWindow(page, front ? SW_SHOW : SW_HIDE);
    }
}

void CSettingDlg::OnSelectionChanged()
{
    if (currentPage_ != nullptr && ::IsWindow(currentPage_))
        ::ShowWindow(currentPage_, SW_HIDE);
    ShowPage(PageOf(TreeView_GetSelection(tree_)));
}

}  // namespace kivra
