// The settings dialog's tree of plugin pages and the apply messages its
// buttons send, with plugins registered straight into the registry.
#include "dialogs/SettingDialogs.h"
#include "dialogs/SettingDlg.h"
#include "dialogs/SettingPages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/Text.h"
#include "plugin/PluginLoader.h"
#include "plugin/ServiceRegistry.h"
#include "resources/resource.h"

using namespace kivra;

namespace {

const std::string k46(46, 'n');  // with the suffix exactly 63 bytes
const std::string k47(47, 'm');

TEST(SettingPagesTest, PagesSitRightOfTheTreeWithItsMarginOnTheRight)
{
    const RECT page = SettingPageRect({0, 0, 510, 348}, {12, 11, 137, 299});
    EXPECT_EQ(page.left, 139);
    EXPECT_EQ(page.top, 11);
    EXPECT_EQ(page.right, 498);
    EXPECT_EQ(page.bottom, 299);
}

HWND g_handlerPage = nullptr;

int __cdecl HandOutPage(TService* service, TParam*)
{
    service->hWnd = g_handlerPage;
    return 1;
}

LRESULT CALLBACK CountingPageProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_SHOWWINDOW && wParam)
        SetWindowLongPtrW(window, GWLP_USERDATA, GetWindowLongPtrW(window, GWLP_USERDATA) + 1);
    return DefWindowProcW(window, msg, wParam, lParam);
}

class SettingDlgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        registry_ = CServiceRegistry::GetRegistry();
        ASSERT_NE(registry_, nullptr);
        ASSERT_TRUE(dialog_.Create(GetDesktopWindow()));
    }
    void TearDown() override
    {
        dialog_.Destroy();
        UnloadAllPlugins();
        CServiceRegistry::DestroyRegistry();
    }

    // A page that counts the times it comes to the front (WM_SHOWWINDOW TRUE).
    HWND MakePage()
    {
        WNDCLASSW page{};
        page.lpfnWndProc = CountingPageProc;
        page.lpszClassName = L"KivraTestPage";
        RegisterClassW(&page);
        return CreateWindowExW(0, L"KivraTestPage", L"", WS_CHILD, 0, 0, 20, 20, dialog_, nullptr, nullptr, nullptr);
    }
    static LONG_PTR TimesInFront(HWND page) { return GetWindowLongPtrW(page, GWLP_USERDATA); }
    // A plugin bound after the ones before it; with a page it registers
    // "<name>/GetSettingHandle" as a data record carrying the page, or, with
    // handler, a handler that writes it.
    void AddPlugin(const char* name, size_t nameBytes, HWND page, TServiceHandler handler = nullptr)
    {
        auto* plugin = new CPluginInterface{};
        std::memcpy(plugin->info.szName, name, nameBytes);
        ASSERT_TRUE(registry_->AddPlugin(plugin));
        if (page == nullptr && handler == nullptr)
            return;
        TService record{};
        std::memcpy(record.szName, name, std::min<size_t>(nameBytes, 46));
        std::strncat(record.szName, kSettingHandleSuffix, sizeof(record.szName) - 1 - std::strlen(record.szName));
        record.pfnHandler = handler;
        record.hWnd = page;
        record.pInterface = plugin;
        registry_->AddService(&record);
    }
    void AddPlugin(const std::string& name, HWND page) { AddPlugin(name.c_str(), name.size() + 1, page); }

    std::vector<std::wstring> ItemTexts()
    {
        std::vector<std::wstring> texts;
        for (HTREEITEM item = TreeView_GetRoot(dialog_.Tree()); item; item = TreeView_GetNextSibling(dialog_.Tree(), item)) {
            wchar_t text[KIVRA_NAME_SIZE] = {};
            TVITEMW data{};
            data.mask = TVIF_TEXT | TVIF_HANDLE;
            data.hItem = item;
            data.pszText = text;
            data.cchTextMax = KIVRA_NAME_SIZE;
            TreeView_GetItem(dialog_.Tree(), &data);
            texts.push_back(text);
        }
        return texts;
    }
    // The apply messages waiting for page, taken out of the queue.
    static int ApplyMessages(HWND page)
    {
        int count = 0;
        MSG msg;
        while (PeekMessageW(&msg, page, kSettingApplyMessage, kSettingApplyMessage, PM_REMOVE))
            ++count;
        return count;
    }
    void Click(int id) { SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)dialog_.Item(id).Handle()); }

    CServiceRegistry* registry_ = nullptr;
    CSettingDlg dialog_;
};

TEST_F(SettingDlgTest, OnePageItemPerAnsweringPluginInLoadOrder)
{
    HWND alpha = MakePage(), beta = MakePage(), longName = MakePage(), dead = MakePage(), tooLong = MakePage();
    g_handlerPage = beta;
    DestroyWindow(dead);
    char unterminated[KIVRA_NAME_SIZE];
    std::memset(unterminated, 'u', sizeof(unterminated));

    AddPlugin("alpha", 6, alpha);
    AddPlugin("quiet", 6, nullptr);           // no settings service
    AddPlugin("beta", 5, nullptr, HandOutPage);  // a handler hands the page out
    AddPlugin("dead", 5, dead);               // its page is gone already
    AddPlugin(k47, tooLong);                  // no room for the suffix
    AddPlugin(unterminated, sizeof(unterminated), tooLong);
    AddPlugin(k46, longName);
    ASSERT_EQ(dialog_.FillPages(nullptr), 1);

    // The first page shows, without a selection; every page sits in the page
    // area, beside the tree, which comes with the dialog's first showing.
    EXPECT_EQ(dialog_.CurrentPage(), alpha);
    EXPECT_EQ(GetWindowLongW(alpha, GWL_STYLE) & WS_VISIBLE, WS_VISIBLE);
    const RECT placed = WindowRef(longName).RectInParent();
    EXPECT_TRUE(EqualRect(&placed, &dialog_.PageRect()));
    dialog_.Show();
    ASSERT_NE(dialog_.Tree(), nullptr);
    EXPECT_EQ(ItemTexts(), (std::vector<std::wstring>{L"alpha", L"beta", std::wstring(k46.begin(), k46.end())}));
    EXPECT_EQ(TreeView_GetSelection(dialog_.Tree()), nullptr);
    const RECT besideTree = SettingPageRect(dialog_.ClientRect(), WindowRef(dialog_.Tree()).RectInParent());
    EXPECT_TRUE(EqualRect(&besideTree, &dialog_.PageRect()));
    EXPECT_EQ(GetWindow(dialog_.Tree(), GW_HWNDPREV), dialog_.Item(IDC_SETTING_APPLY).Handle()) << "tab order";

    // Selecting the second item swaps the pages.
    TreeView_SelectItem(dialog_.Tree(), TreeView_GetNextSibling(dialog_.Tree(), TreeView_GetRoot(dialog_.Tree())));
    EXPECT_EQ(dialog_.CurrentPage(), beta);
    EXPECT_EQ(GetWindowLongW(alpha, GWL_STYLE) & WS_VISIBLE, 0);
    EXPECT_EQ(GetWindowLongW(beta, GWL_STYLE) & WS_VISIBLE, WS_VISIBLE);
}

TEST_F(SettingDlgTest, OkAppliesEveryPageOnceApplyTheShownOneCancelNone)
{
    HWND pages[] = {MakePage(), MakePage(), MakePage()};
    AddPlugin("one", 4, pages[0]);
    AddPlugin("two", 4, pages[1]);
    AddPlugin("three", 6, pages[2]);
    dialog_.FillPages(nullptr);
    dialog_.Show();

    Click(IDC_SETTING_APPLY);
    EXPECT_EQ(ApplyMessages(pages[0]), 1);
    EXPECT_EQ(ApplyMessages(pages[1]), 0);
    EXPECT_TRUE(dialog_.IsVisible());

    // Cancel applies nothing; every page comes to the front once, to show
    // its settings again, and the shown page stays the one shown.
    const LONG_PTR before[] = {TimesInFront(pages[0]), TimesInFront(pages[1]), TimesInFront(pages[2])};
    Click(IDC_SETTING_CANCEL);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ApplyMessages(pages[i]), 0);
        EXPECT_EQ(TimesInFront(pages[i]), before[i] + 1) << i;
    }
    EXPECT_FALSE(dialog_.IsVisible());
    EXPECT_EQ(GetWindowLongW(pages[0], GWL_STYLE) & WS_VISIBLE, WS_VISIBLE);
    EXPECT_EQ(GetWindowLongW(pages[1], GWL_STYLE) & WS_VISIBLE, 0);

    dialog_.Show();
    Click(IDC_SETTING_OK);
    for (HWND page : pages)
        EXPECT_EQ(ApplyMessages(page), 1);
    EXPECT_FALSE(dialog_.IsVisible());

    // Enter is OK; a page its plugin destroyed meanwhile is left out.
    DestroyWindow(pages[1]);
    dialog_.Show();
    SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(ApplyMessages(pages[0]), 1);
    EXPECT_EQ(ApplyMessages(pages[2]), 1);
}

TEST_F(SettingDlgTest, WithoutPagesTheTreeIsEmptyAndOkOnlyHides)
{
    EXPECT_EQ(dialog_.FillPages(nullptr), 1);  // no plugin at all
    dialog_.Show();
    ASSERT_NE(dialog_.Tree(), nullptr);
    EXPECT_EQ(TreeView_GetCount(dialog_.Tree()), 0u);
    AddPlugin("quiet", 6, nullptr);
    // A fill of a dialog that has shown sets its icon at once.
    const HICON icon = LoadIconW(nullptr, IDI_APPLICATION);
    dialog_.FillPages(icon);
    EXPECT_EQ(reinterpret_cast<HICON>(dialog_.Send(WM_GETICON, ICON_SMALL, 0)), icon);
    EXPECT_EQ(TreeView_GetCount(dialog_.Tree()), 0u);
    EXPECT_EQ(dialog_.CurrentPage(), nullptr);
    Click(IDC_SETTING_OK);
    EXPECT_FALSE(dialog_.IsVisible());
}

// A page service that counts its calls and hands out a window of its own.
int g_pageCalls = 0;
HWND g_servicePage = nullptr;
int __cdecl CountedPage(TService* service, TParam*)
{
    ++g_pageCalls;
    service->hWnd = g_servicePage;
    return 1;
}

TEST(SettingDialogsTest, StartUpMakesTheWindowsOnlyForAPluginWithAPage)
{
    struct Case {
        bool pageService;  // registered before start-up's fill
        bool madeByFill;
        int pagesInTree;
    };
    for (const Case& c : {Case{true, true, 1}, Case{false, false, 0}}) {
        CServiceRegistry* registry = CServiceRegistry::GetRegistry();
        ASSERT_NE(registry, nullptr);
        g_pageCalls = 0;
        g_servicePage = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 20, 20, nullptr, nullptr, nullptr, nullptr);
        auto* plugin = new CPluginInterface{};
        std::strcpy(plugin->info.szName, "paged");
        ASSERT_TRUE(registry->AddPlugin(plugin));
        TService record{};
        std::strcpy(record.szName, "paged/GetSettingHandle");
        record.pfnHandler = CountedPage;
        record.pInterface = plugin;
        if (c.pageService)
            registry->AddService(&record);

        CSettingDialogs dialogs;
        ASSERT_NE(dialogs.Create(), nullptr);
        EXPECT_FALSE(dialogs.SettingDialog()->IsWindow());
        const HICON icon = LoadIconW(nullptr, IDI_APPLICATION);
        dialogs.FillPages(icon);
        EXPECT_EQ(dialogs.SettingDialog()->IsWindow(), c.madeByFill) << c.pageService;
        EXPECT_EQ(g_pageCalls, c.pagesInTree);

        // A service registered after the fill is not asked when the windows
        // come later: pages are taken once, at start-up.
        if (!c.pageService)
            registry->AddService(&record);
        ASSERT_TRUE(dialogs.Show());
        EXPECT_TRUE(dialogs.SettingDialog()->IsVisible());
        EXPECT_NE(dialogs.SystemSettingPage(), nullptr);
        EXPECT_EQ(g_pageCalls, c.pagesInTree) << c.pageService;
        EXPECT_EQ(reinterpret_cast<HICON>(dialogs.SettingDialog()->Send(WM_GETICON, ICON_SMALL, 0)), icon);
        EXPECT_EQ(TreeView_GetCount(dialogs.SettingDialog()->Tree()), static_cast<UINT>(c.pagesInTree));
        EXPECT_EQ(dialogs.SettingDialog()->CurrentPage(), c.pagesInTree ? g_servicePage : nullptr);

        dialogs.Destroy();
        DestroyWindow(g_servicePage);
        UnloadAllPlugins();
        CServiceRegistry::DestroyRegistry();
    }
}

}  // namespace
