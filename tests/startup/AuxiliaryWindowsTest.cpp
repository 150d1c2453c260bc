// The auxiliary windows as the running shell makes them and as plugins reach
// them through the manager's services: the About box, the notifier and the
// floating window.
#include "tests/startup/ShellTestSupport.h"

#include <gtest/gtest.h>

#include "config/LanguageTable.h"
#include "dialogs/AboutDlg.h"
#include "dialogs/FloatDlg.h"
#include "dialogs/TaskbarNotifier.h"
#include "framework/Text.h"
#include "plugin/ManagerPlugin.h"
#include "resources/resource.h"

using namespace kivra;
using namespace kivra::testing;

namespace {

constexpr wchar_t kTitle[] = L"Kivra Auxiliary";

int CallManager(const char* path, TParam param = {})
{
    TService service{};
    CopyText(service.szName, path);
    return ManagerPluginInterface()->CallService(&service, &param);
}

class AuxiliaryWindowsTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        DestroyConfigure();
    }
    std::unique_ptr<e2e::FixtureProduct> product_;
};

struct AboutSeen {
    bool shown = false;
    std::wstring caption, product, version, maker;
    bool icon = false;
};

// Opens the About box through its service and reads it from inside its loop.
AboutSeen RunAboutBox()
{
    AboutSeen seen;
    RunShell({
        [](CMainDlg&) { CallManager("manager/ShowAboutDlg"); },  // returns once it closes
        [&](CMainDlg&) {
            CDialog* about = CDialog::RunningModal();
            if (about == nullptr || about->Item(IDC_ABOUT_OK).Handle() == nullptr)
                return;
            seen.shown = about->IsVisible();
            seen.caption = about->GetText();
            seen.product = about->ItemText(IDC_ABOUT_PRODUCT);
            seen.version = about->ItemText(IDC_ABOUT_VERSION);
            seen.maker = about->ItemText(IDC_ABOUT_MAKER);
            seen.icon = about->Item(IDC_ABOUT_ICON).Send(STM_GETICON) != 0;
            about->Item(IDC_ABOUT_OK).Send(BM_CLICK);
        },
        [](CMainDlg& shell) { shell.Post(WM_CLOSE); },
    });
    return seen;
}

TEST_F(AuxiliaryWindowsTest, AboutBoxShowsIconTitleVersionsAndMaker)
{
    for (const bool logo : {true, false}) {
        SCOPED_TRACE(logo ? "with a logo" : "without a logo");
        product_ = PrimeConfiguration(logo ? L"about" : L"about-nologo", kTitle, logo);
        ASSERT_NE(product_, nullptr);
        const AboutSeen seen = RunAboutBox();
        ASSERT_TRUE(seen.shown);
        EXPECT_EQ(seen.caption, L"About");
        EXPECT_EQ(seen.product, kTitle);
        // The fixture language has no "Version:"; the skin's version follows
        // the program's without a separator.
        EXPECT_EQ(seen.version, L"Version:V5.0.1.27.7.1");
        EXPECT_EQ(seen.maker, L"Kivra tests");
        EXPECT_EQ(seen.icon, logo) << "the icon control stays empty without a logo";
        DestroyConfigure();
    }
}

TEST(AboutTextsTest, SkinVersionFollowsTheProgramsAndMissingTextsStayEmpty)
{
    const CLanguageTable ids;  // no file: every id shows as it is
    const AboutTexts full = ComposeAboutTexts(ids, L"Kivra", L"1.0", L"Kivra Labs");
    EXPECT_EQ(full.version, L"Version:V5.0.1.21.0");
    EXPECT_EQ(full.maker, L"Kivra Labs");
    const AboutTexts bare = ComposeAboutTexts(ids, nullptr, nullptr, nullptr);
    EXPECT_EQ(bare.product, L"");
    EXPECT_EQ(bare.version, L"Version:V5.0.1.2");
    EXPECT_EQ(bare.maker, L"") << "a skin without a company";
    const std::wstring huge(5000, L'x');
    EXPECT_LT(ComposeAboutTexts(ids, huge.c_str(), nullptr, nullptr).product.size(), huge.size());
}

TEST_F(AuxiliaryWindowsTest, NotificationSlidesInAndItsClickBringsTheWindowBack)
{
    product_ = PrimeConfiguration(L"notifier", kTitle);
    ASSERT_NE(product_, nullptr);
    HWND notifierWindow = nullptr;
    RunShell({
        [&](CMainDlg& shell) {
            CTaskbarNotifier& notifier = shell.Frame().Notifier();
            notifierWindow = notifier.Handle();
            ASSERT_TRUE(notifier.IsWindow());
            shell.Send(WM_SYSCOMMAND, SC_MINIMIZE);
            ASSERT_FALSE(shell.IsVisible());
            TParam param{};
            wchar_t text[] = L"You have a new text message.";
            param.pszText = text;
            CallManager("manager/Notification/DisplayWnd", param);
            EXPECT_TRUE(notifier.IsVisible());
            EXPECT_EQ(notifier.Text(), text);
            CallManager("manager/Notification/DisplayWnd");  // no text: nothing
            EXPECT_EQ(notifier.Text(), text);
            notifier.Send(WM_LBUTTONUP);
        },
        [&](CMainDlg& shell) {
            EXPECT_TRUE(shell.IsVisible());
            EXPECT_FALSE(shell.Frame().Notifier().IsVisible());
            shell.Post(WM_CLOSE);
        },
    });
    EXPECT_FALSE(IsWindow(notifierWindow));  // gone with the shell
}

TEST_F(AuxiliaryWindowsTest, PluginsFeedTheFloatingWindowThroughTheServices)
{
    product_ = PrimeConfiguration(L"dropzone", kTitle);
    ASSERT_NE(product_, nullptr);
    RunShell({[](CMainDlg& shell) {
        CFloatDlg& zone = shell.FloatDialog();
        ASSERT_TRUE(zone.IsWindow());
        EXPECT_FALSE(zone.IsVisible());
        EXPECT_EQ(zone.NormalOpacity(), 0);  // the fixture skin has no float-dlg section

        TParam on{};
        on.wParam = 1;
        CallManager("manager/Dropzone/ShowDataStatus", on);
        EXPECT_TRUE(zone.DataStatus());
        TParam sample{};
        sample.wParam = 0x1FF;  // the low 8 bits
        sample.lParam = 1234;
        wchar_t tip[] = L"1234 kB";
        sample.pszText = tip;
        CallManager("manager/Dropzone/UpdateLastData", sample);
        EXPECT_EQ(zone.History().Samples().back(), 0xFF);
        EXPECT_EQ(zone.NumberText(), L"1234");
        EXPECT_EQ(zone.TipText(), tip);
        CallManager("manager/Dropzone/ShowDataStatus");
        EXPECT_FALSE(zone.DataStatus());
        shell.Post(WM_CLOSE);
    }});
}

}  // namespace
