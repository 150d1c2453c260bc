#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "config/Configure.h"
#include "tests/support/XmlFixture.h"

namespace kivra {
namespace {

using testing::ComScope;
using testing::FixtureFolder;

using Elements = std::vector<std::pair<std::wstring, std::wstring>>;

// Every element of a complete configuration.
Elements FullConfiguration()
{
    return {
        {L"logo", L"main.ico"},
        {L"title", L"\u5361\u7ba1\u7406 Manager"},
        {L"using-system-language", L"false"},
        {L"default-language", L"zh_CN"},
        {L"skin", L"default"},
        {L"help-file-title", L"Product Help"},
        {L"help-file-name", L"product.chm"},
        {L"db-file-name", L"product.db"},
        {L"enble-log-level", L"1,0,1,0,0,1"},
        {L"button-owner", L"connect;sms;phonebook"},
    };
}

Elements Without(Elements elements, const std::wstring& name)
{
    std::erase_if(elements, [&](const auto& e) { return e.first == name; });
    return elements;
}

Elements With(Elements elements, const std::wstring& name, const std::wstring& text)
{
    elements = Without(std::move(elements), name);
    elements.emplace_back(name, text);
    return elements;
}

const wchar_t kSkinXml[] =
    L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    L"<skin>\n"
    L"  <description><skin-name>Default</skin-name><preview></preview></description>\n"
    L"  <main-frame>\n"
    L"    <abnormal-window>true</abnormal-window>\n"
    L"    <mask-color>0,255,0</mask-color>\n"
    L"    <window-size>400, 300</window-size>\n"
    L"  </main-frame>\n"
    L"</skin>\n";

const wchar_t kPlainSkinXml[] =
    L"<skin><description><preview></preview></description></skin>";

// A product folder with common\, skin\default\ and language\zh_CN.xml.
class ConfigureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(com_.ok());
        product_.WriteIcon(L"common\\main.ico");
        product_.WriteText(L"skin\\default\\skin.xml", kSkinXml);
        product_.WriteText(L"skin\\plain\\skin.xml", kPlainSkinXml);
        product_.WriteText(L"skin\\empty\\readme.txt", L"no skin here");
        WriteLanguage(L"zh_CN", L"\u8fde\u63a5");
    }

    void WriteLanguage(const std::wstring& code, const std::wstring& connectText)
    {
        product_.WriteText(L"language\\" + code + L".xml",
                           L"<?xml version=\"1.0\" encoding=\"UTF-8\"?><table><string id=\"Connect\">" +
                               connectText + L"</string></table>");
    }

    void WriteConfig(const Elements& elements)
    {
        std::wstring xml = L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<main-frame>\n";
        for (const auto& [name, text] : elements)
            xml += L"  <" + name + L">" + text + L"</" + name + L">\n";
        xml += L"</main-frame>\n";
        product_.WriteText(L"common\\config.xml", xml);
    }

    bool Loads(const Elements& elements)
    {
        WriteConfig(elements);
        configure_ = std::make_unique<CConfigure>(product_.Path().c_str());
        return configure_->Load();
    }

    std::wstring Translated(const wchar_t* id)
    {
        wchar_t buffer[64];
        configure_->Language().Translate(id, buffer);
        return buffer;
    }

    ComScope com_;
    FixtureFolder product_{L"product"};
    std::unique_ptr<CConfigure> configure_;
};

TEST_F(ConfigureTest, CompleteConfigurationGivesEveryValue)
{
    ASSERT_TRUE(Loads(FullConfiguration()));
    const CConfigure& c = *configure_;
    EXPECT_EQ(std::wstring(c.Title()), L"\u5361\u7ba1\u7406 Manager");
    EXPECT_STREQ(c.ButtonOwner(), L"connect;sms;phonebook");
    EXPECT_STREQ(c.HelpTitle(), L"Product Help");
    EXPECT_STREQ(c.HelpFileName(), L"product.chm");
    EXPECT_STREQ(c.DatabaseFileName(), L"product.db");
    EXPECT_EQ(c.LogLevelMask(), 0x25u);
    EXPECT_EQ(std::wstring(c.CommonFolder()), product_ / L"common\\");
    EXPECT_EQ(std::wstring(c.ConfigFilePath()), product_ / L"common\\config.xml");
    EXPECT_EQ(std::wstring(c.SkinFolder()), product_ / L"skin\\default");
    EXPECT_EQ(std::wstring(c.LanguageFilePath()), product_ / L"language\\zh_CN.xml");
    EXPECT_EQ(Translated(L"connect"), L"\u8fde\u63a5");
    EXPECT_NE(c.LogoIcon(), nullptr);

    const TMainFrameSkin& frame = c.MainFrame();
    EXPECT_TRUE(frame.abnormalWindow);
    EXPECT_EQ(frame.maskColor, RGB(0, 255, 0));
    EXPECT_EQ(frame.windowWidth, 400);
    EXPECT_EQ(frame.windowHeight, 300);
    EXPECT_FALSE(frame.pluginWindowSameSize);
    EXPECT_FALSE(frame.fitSizeToPlugin);
}

TEST_F(ConfigureTest, MissingOptionalElementsKeepTheirDefaults)
{
    Elements elements = FullConfiguration();
    for (const wchar_t* name : {L"help-file-title", L"help-file-name", L"db-file-name", L"enble-log-level"})
        elements = Without(elements, name);
    ASSERT_TRUE(Loads(With(elements, L"skin", L"plain")));
    EXPECT_STREQ(configure_->HelpTitle(), L"Bramic Help");
    EXPECT_STREQ(configure_->HelpFileName(), L"bramic.chm");
    EXPECT_STREQ(configure_->DatabaseFileName(), L"bramic.db");
    EXPECT_EQ(configure_->LogLevelMask(), 255u);
    const TMainFrameSkin& frame = configure_->MainFrame();
    EXPECT_FALSE(frame.abnormalWindow);
    EXPECT_EQ(frame.maskColor, RGB(255, 0, 255));
    EXPECT_EQ(frame.windowWidth, 0);
    EXPECT_EQ(frame.windowHeight, 0);
}

TEST_F(ConfigureTest, MissingRequiredElementFailsTheWholeLoad)
{
    for (const wchar_t* name : {L"logo", L"title", L"using-system-language", L"default-language", L"skin",
                                L"button-owner"}) {
        EXPECT_FALSE(Loads(Without(FullConfiguration(), name))) << name;
    }
}

TEST_F(ConfigureTest, LogMaskComesFromSixFlags)
{
    const std::pair<const wchar_t*, unsigned> cases[] = {
        {L"1,0,1,0,0,1", 0x25u}, {L"1,1", 0x03u}, {L"0,0,0,0,0,0", 0u}, {L"1,1,1,1,1,1", 0x3Fu}};
    for (const auto& [text, mask] : cases) {
        ASSERT_TRUE(Loads(With(FullConfiguration(), L"enble-log-level", text))) << text;
        EXPECT_EQ(configure_->LogLevelMask(), mask) << text;
    }
}

TEST_F(ConfigureTest, CapitalTrueIsNotTrueSoDefaultLanguageIsNeeded)
{
    Elements elements = With(FullConfiguration(), L"using-system-language", L"TRUE");
    ASSERT_TRUE(Loads(elements));
    EXPECT_EQ(std::wstring(configure_->LanguageFilePath()), product_ / L"language\\zh_CN.xml");
    EXPECT_FALSE(Loads(Without(elements, L"default-language")));
}

TEST_F(ConfigureTest, SystemLanguageChoosesTheLanguageFile)
{
    const std::wstring code = CLanguageTable::SystemLanguageCode();
    WriteLanguage(code, L"System");
    Elements elements = Without(With(FullConfiguration(), L"using-system-language", L"true"), L"default-language");
    ASSERT_TRUE(Loads(elements));
    EXPECT_EQ(std::wstring(configure_->LanguageFilePath()), product_ / (L"language\\" + code + L".xml"));
    EXPECT_EQ(Translated(L"Connect"), L"System");
}

TEST_F(ConfigureTest, MissingLanguageFileLeavesAnEmptyTable)
{
    ASSERT_TRUE(Loads(With(FullConfiguration(), L"default-language", L"xx_XX")));
    EXPECT_EQ(configure_->Language().Count(), 0u);
    EXPECT_EQ(Translated(L"Connect"), L"Connect");
}

TEST_F(ConfigureTest, SkinFolderWithoutSkinXmlFails)
{
    EXPECT_FALSE(Loads(With(FullConfiguration(), L"skin", L"empty")));
    EXPECT_FALSE(Loads(With(FullConfiguration(), L"skin", L"absent")));
}

TEST_F(ConfigureTest, MissingOrBrokenConfigFileFails)
{
    CConfigure absent(product_.Path().c_str());
    EXPECT_FALSE(absent.Load());
    product_.WriteText(L"common\\config.xml", L"<main-frame><logo>main.ico</main-frame>");
    CConfigure broken(product_.Path().c_str());
    EXPECT_FALSE(broken.Load());
}

TEST_F(ConfigureTest, LogoThatDoesNotLoadLeavesNoIconWithoutFailing)
{
    ASSERT_TRUE(Loads(With(FullConfiguration(), L"logo", L"absent.ico")));
    EXPECT_EQ(configure_->LogoIcon(), nullptr);
}

// The logo is found in the product's common\ folder wherever the process was
// started from.
TEST_F(ConfigureTest, LogoIsFoundWhateverTheWorkingDirectory)
{
    FixtureFolder elsewhere(L"elsewhere");
    wchar_t previous[MAX_PATH];
    ASSERT_TRUE(GetCurrentDirectoryW(MAX_PATH, previous));
    ASSERT_TRUE(SetCurrentDirectoryW(elsewhere.Path().c_str()));
    const bool loaded = Loads(FullConfiguration());
    SetCurrentDirectoryW(previous);
    ASSERT_TRUE(loaded);
    EXPECT_NE(configure_->LogoIcon(), nullptr);
}

TEST_F(ConfigureTest, OverlongTextsAreCutToTheirFields)
{
    const std::wstring long300(300, L'T'), long70(70, L'h');
    Elements elements = FullConfiguration();
    elements = With(elements, L"title", long300);
    elements = With(elements, L"button-owner", long300);
    elements = With(elements, L"help-file-title", long70);
    elements = With(elements, L"help-file-name", long70);
    elements = With(elements, L"db-file-name", long70);
    ASSERT_TRUE(Loads(elements));
    EXPECT_EQ(std::wstring(configure_->Title()), long300.substr(0, 259));
    EXPECT_EQ(std::wstring(configure_->ButtonOwner()), long300.substr(0, 259));
    EXPECT_EQ(std::wstring(configure_->HelpTitle()), long70.substr(0, 63));
    EXPECT_EQ(std::wstring(configure_->HelpFileName()), long70.substr(0, 63));
    EXPECT_EQ(std::wstring(configure_->DatabaseFileName()), long70.substr(0, 63));
}

TEST_F(ConfigureTest, NamesThatMakePathsTooLongAreRejected)
{
    const std::wstring name(260, L'n');
    EXPECT_FALSE(Loads(With(FullConfiguration(), L"skin", name)));
    EXPECT_FALSE(Loads(With(FullConfiguration(), L"default-language", name)));
    // A logo is optional in effect: one whose path cannot be built loads no icon.
    ASSERT_TRUE(Loads(With(FullConfiguration(), L"logo", name)));
    EXPECT_EQ(configure_->LogoIcon(), nullptr);
}

TEST_F(ConfigureTest, ProductFolderMustEndWithBackslashAndLeaveRoomForPaths)
{
    WriteConfig(FullConfiguration());
    std::wstring withoutBackslash = product_.Path();
    withoutBackslash.pop_back();
    EXPECT_FALSE(CConfigure(withoutBackslash.c_str()).Load());
    EXPECT_FALSE(CConfigure(nullptr).Load());
    EXPECT_FALSE(CConfigure(L"").Load());
    const std::wstring deep = product_.Path() + std::wstring(250, L'd') + L"\\";
    EXPECT_FALSE(CConfigure(deep.c_str()).Load());
    EXPECT_TRUE(CConfigure(product_.Path().c_str()).Load());
}

TEST(ButtonOwner, EmptyOwnerIsAlwaysKeptOtherwiseCaseSensitiveSubstring)
{
    struct Case {
        const wchar_t* ownerText;
        const wchar_t* owner;
        bool kept;
    };
    const Case cases[] = {
        {L"connect;sms", L"", true},       {L"connect;sms", nullptr, true}, {L"", L"", true},
        {L"connect;sms", L"sms", true},    {L"connect;sms", L"nect", true}, {L"connect;sms", L"SMS", false},
        {L"connect;sms", L"phone", false}, {L"", L"sms", false},            {nullptr, L"sms", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ButtonOwnerAccepted(c.ownerText, c.owner), c.kept)
            << (c.ownerText ? c.ownerText : L"(null)") << " / " << (c.owner ? c.owner : L"(null)");
}

TEST(ExecutableFolder, IsTheFolderOfTheRunningProgram)
{
    wchar_t folder[MAX_PATH];
    ASSERT_TRUE(ExecutableFolder(folder, MAX_PATH));
    std::wstring path(folder);
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.back(), L'\\');
    EXPECT_NE(GetFileAttributesW((path + L"config_tests.exe").c_str()), INVALID_FILE_ATTRIBUTES);
    wchar_t tiny[4];
    EXPECT_FALSE(ExecutableFolder(tiny, 4));
}

// The process-wide configuration.
class GlobalConfigureTest : public ConfigureTest {
protected:
    void TearDown() override { DestroyConfigure(); }
};

TEST_F(GlobalConfigureTest, NoProductBesideTheProgramGivesNoConfigurationAndRetries)
{
    DestroyConfigure();
    EXPECT_EQ(GetConfigure(), nullptr);
    EXPECT_EQ(GetConfigure(), nullptr);
    WriteConfig(FullConfiguration());
    CConfigure* configure = GetConfigureFrom(product_.Path().c_str());
    ASSERT_NE(configure, nullptr);
    EXPECT_EQ(GetConfigure(), configure);
    EXPECT_EQ(GetConfigureFrom(L"C:\\other\\"), configure);
    DestroyConfigure();
    EXPECT_EQ(GetConfigure(), nullptr);
}

TEST_F(GlobalConfigureTest, FailedLoadIsForgottenAndTriedAgain)
{
    DestroyConfigure();
    WriteConfig(Without(FullConfiguration(), L"button-owner"));
    EXPECT_EQ(GetConfigureFrom(product_.Path().c_str()), nullptr);
    WriteConfig(FullConfiguration());
    EXPECT_NE(GetConfigureFrom(product_.Path().c_str()), nullptr);
}

}  // namespace
}  // namespace kivra
