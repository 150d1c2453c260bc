// The plain functions Kivra.exe exports to plugins: PluginMessageBox with the
// product title as its caption, and TranslateText through the configuration.
#include "app/Exports.h"

#include <gtest/gtest.h>

#include <string>

#include "config/Configure.h"
#include "kivra_plugin.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/XmlFixture.h"

namespace kivra {
namespace {

using testing::MessageBoxWatcher;

// Taken before any test can have run a start-up.
const std::wstring g_captionAtProgramStart = MessageBoxCaption();

TEST(PluginMessageBoxTest, CaptionIsBramicUntilStartUpSetsTheTitle)
{
    EXPECT_EQ(g_captionAtProgramStart, kDefaultMessageBoxCaption);
    SetMessageBoxCaption(kDefaultMessageBoxCaption);
    {
        MessageBoxWatcher watcher(L"before start-up", IDOK);
        EXPECT_EQ(PluginMessageBox(L"before start-up", nullptr, MB_OK, nullptr), IDOK);
        EXPECT_EQ(watcher.Caption(), L"Bramic");
    }
    SetMessageBoxCaption(L"Translated Product");
    {
        MessageBoxWatcher watcher(L"after start-up", IDCANCEL);
        EXPECT_EQ(PluginMessageBox(L"after start-up", nullptr, MB_OKCANCEL, nullptr), IDCANCEL);
        EXPECT_EQ(watcher.Caption(), L"Translated Product");
    }
    {
        MessageBoxWatcher watcher(L"own caption", IDOK);
        PluginMessageBox(L"own caption", nullptr, MB_OK, L"Mine");
        EXPECT_EQ(watcher.Caption(), L"Mine");
    }
    // A title longer than the caption holds is cut to 255 characters.
    SetMessageBoxCaption(std::wstring(300, L't').c_str());
    EXPECT_EQ(std::wstring(MessageBoxCaption()), std::wstring(255, L't'));
    SetMessageBoxCaption(kDefaultMessageBoxCaption);
}

// A product whose language has "Connect" and a text longer than
// TranslateText's buffer; the configuration is made by the test.
class TranslateTextTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(com_.ok());
        DestroyConfigure();
        product_.WriteIcon(L"common\\main.ico");
        product_.WriteText(L"skin\\default\\skin.xml", L"<skin><description><preview></preview></description></skin>");
        product_.WriteText(L"common\\config.xml",
                           L"<main-frame><logo>main.ico</logo><title>Product</title>"
                           L"<using-system-language>false</using-system-language>"
                           L"<default-language>zh_CN</default-language><skin>default</skin>"
                           L"<button-owner>connect</button-owner></main-frame>");
        product_.WriteText(L"language\\zh_CN.xml",
                           L"<table><string id=\"Connect\">\u8fde\u63a5</string>"
                           L"<string id=\"Long\">" + longText_ + L"</string></table>");
    }
    void TearDown() override { DestroyConfigure(); }

    const std::wstring longText_ = std::wstring(2000, L'L');
    testing::ComScope com_;
    testing::FixtureFolder product_{L"exports"};
};

TEST_F(TranslateTextTest, UsesTheConfigurationsLanguage)
{
    ASSERT_NE(GetConfigureFrom(product_.Path().c_str()), nullptr);
    EXPECT_STREQ(TranslateText(L"connect"), L"\u8fde\u63a5");
    EXPECT_STREQ(TranslateText(L"Unknown id"), L"Unknown id");
    EXPECT_STREQ(TranslateText(L""), L"");
    EXPECT_STREQ(TranslateText(nullptr), L"");
    EXPECT_EQ(std::wstring(TranslateText(L"long")), longText_.substr(0, 1023));
    // The result is one shared buffer; feeding it back translates in place.
    const wchar_t* result = TranslateText(L"Connect");
    EXPECT_STREQ(TranslateText(result), L"\u8fde\u63a5");
}

TEST_F(TranslateTextTest, WithoutConfigurationGivesTheIdCutToItsBuffer)
{
    EXPECT_STREQ(TranslateText(L"Connect"), L"Connect");
    const std::wstring longId(1500, L'i');
    EXPECT_EQ(std::wstring(TranslateText(longId.c_str())), longId.substr(0, 1023));
    EXPECT_STREQ(TranslateText(nullptr), L"");
}

}  // namespace
}  // namespace kivra
