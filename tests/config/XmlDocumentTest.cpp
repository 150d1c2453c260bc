#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/XmlDocument.h"
#include "tests/support/XmlFixture.h"

namespace kivra {
namespace {

using testing::ComScope;
using testing::FixtureFolder;

const wchar_t kSkinXml[] =
    L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    L"<skin>\n"
    L"  <title></title>\n"
    L"  <caption>\u4e2d\u6587\u6807\u9898</caption>\n"
    L"  <strings>\n"
    L"    <string id=\"first\">One</string>\n"
    L"    <string>Two</string>\n"
    L"    <string id=\"third\">Three</string>\n"
    L"  </strings>\n"
    L"  <item RECT=\"1,2,3,4\" Image=\"a.bmp\" other=\"x\" />\n"
    L"  <ordered z=\"1\" a=\"2\" m=\"3\" />\n"
    L"  <menu>text<!-- a comment --><first/>more<second a=\"1\"><inner/></second></menu>\n"
    L"</skin>\n";

class XmlDocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(com_.ok());
        ASSERT_TRUE(document_.Load(folder_.WriteText(L"skin.xml", kSkinXml).c_str()));
    }

    XmlNode SelectOne(const wchar_t* path)
    {
        XmlNode node;
        EXPECT_TRUE(document_.Select(path));
        EXPECT_TRUE(document_.NextMatch(nullptr, nullptr, nullptr, &node));
        return node;
    }

    ComScope com_;
    FixtureFolder folder_{L"xml-document"};
    CXmlDocument document_;
};

TEST(XmlDocumentLoad, MissingOrMalformedFileFails)
{
    ComScope com;
    ASSERT_TRUE(com.ok());
    FixtureFolder folder(L"xml-load");
    CXmlDocument document;
    EXPECT_FALSE(document.Load((folder / L"absent.xml").c_str()));
    EXPECT_FALSE(document.IsLoaded());
    EXPECT_FALSE(document.Load(folder.WriteText(L"broken.xml", L"<skin><title>x</skin>").c_str()));
    EXPECT_FALSE(document.IsLoaded());
    EXPECT_FALSE(document.Load(folder.WriteText(L"empty.xml", L"").c_str()));
    EXPECT_FALSE(document.Load(nullptr));
    EXPECT_FALSE(document.Load(L""));
}

TEST(XmlDocumentLoad, FailedLoadReleasesThePreviousDocument)
{
    ComScope com;
    FixtureFolder folder(L"xml-reload");
    CXmlDocument document;
    ASSERT_TRUE(document.Load(folder.WriteText(L"good.xml", L"<a><b>1</b></a>").c_str()));
    EXPECT_TRUE(document.IsLoaded());
    EXPECT_FALSE(document.Load((folder / L"absent.xml").c_str()));
    EXPECT_FALSE(document.IsLoaded());
    std::wstring text;
    EXPECT_FALSE(document.ReadText(L"a/b", &text));
}

TEST(XmlDocumentLoad, EveryCursorOperationFailsWithoutDocument)
{
    CXmlDocument document;
    std::wstring name, value, text;
    XmlNode node;
    EXPECT_FALSE(document.Select(L"skin"));
    EXPECT_FALSE(document.NextMatch(nullptr, nullptr, &text, &node));
    EXPECT_FALSE(document.ReadText(L"skin", &text));
    EXPECT_FALSE(document.OpenAttributes(XmlNode()));
    EXPECT_FALSE(document.NextAttribute(&name, &value));
}

TEST_F(XmlDocumentTest, SelectionMatchingNothingSucceedsButYieldsNoNode)
{
    EXPECT_TRUE(document_.Select(L"skin/status-bar"));
    std::wstring text = L"untouched";
    EXPECT_FALSE(document_.NextMatch(nullptr, nullptr, &text, nullptr));
    EXPECT_EQ(text, L"untouched");
}

TEST_F(XmlDocumentTest, ReadTextOfEmptyElementSucceedsAndOfMissingElementFails)
{
    std::wstring text = L"x";
    EXPECT_TRUE(document_.ReadText(L"skin/title", &text));
    EXPECT_EQ(text, L"");
    EXPECT_FALSE(document_.ReadText(L"skin/subtitle", &text));
}

TEST_F(XmlDocumentTest, ReadTextGivesNonAsciiTextOfUtf8File)
{
    std::wstring text;
    ASSERT_TRUE(document_.ReadText(L"skin/caption", &text));
    EXPECT_EQ(text, L"\u4e2d\u6587\u6807\u9898");
}

TEST_F(XmlDocumentTest, NextMatchWithAttributeSkipsNodesWithoutIt)
{
    ASSERT_TRUE(document_.Select(L"skin/strings/string"));
    std::vector<std::pair<std::wstring, std::wstring>> seen;
    std::wstring id, text;
    XmlNode node;
    while (document_.NextMatch(L"id", &id, &text, &node)) {
        EXPECT_TRUE(node);
        seen.emplace_back(id, text);
    }
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].first, L"first");
    EXPECT_EQ(seen[0].second, L"One");
    EXPECT_EQ(seen[1].first, L"third");
    EXPECT_EQ(seen[1].second, L"Three");
}

TEST_F(XmlDocumentTest, NextMatchWithoutAttributeVisitsEveryNodeAndAttributeNameIsExact)
{
    ASSERT_TRUE(document_.Select(L"skin/strings/string"));
    int count = 0;
    while (document_.NextMatch(nullptr, nullptr, nullptr, nullptr))
        ++count;
    EXPECT_EQ(count, 3);

    ASSERT_TRUE(document_.Select(L"skin/strings/string"));
    EXPECT_FALSE(document_.NextMatch(L"ID", nullptr, nullptr, nullptr));
}

TEST_F(XmlDocumentTest, NewSelectionRestartsTheCursor)
{
    std::wstring text;
    ASSERT_TRUE(document_.Select(L"skin/strings/string"));
    ASSERT_TRUE(document_.NextMatch(nullptr, nullptr, &text, nullptr));
    ASSERT_TRUE(document_.Select(L"skin/strings/string"));
    ASSERT_TRUE(document_.NextMatch(nullptr, nullptr, &text, nullptr));
    EXPECT_EQ(text, L"One");
}

TEST_F(XmlDocumentTest, AttributesComeInDocumentOrderUntilExhausted)
{
    XmlNode node = SelectOne(L"skin/ordered");
    ASSERT_TRUE(document_.OpenAttributes(node));
    std::wstring name, value, names, values;
    while (document_.NextAttribute(&name, &value)) {
        names += name;
        values += value;
    }
    EXPECT_EQ(names, L"zam");
    EXPECT_EQ(values, L"123");
    EXPECT_FALSE(document_.NextAttribute(&name, &value));
}

TEST_F(XmlDocumentTest, AttributeTableMatchesNamesIgnoringCaseAndIgnoresUnknownOnes)
{
    XmlNode node = SelectOne(L"skin/item");
    TAttributeEntry table[] = {{L"rect", L""}, {L"image", L""}, {L"missing", L"kept"}};
    ASSERT_TRUE(document_.ReadAttributeTable(node, table));
    EXPECT_STREQ(AttributeValue(table, L"rect"), L"1,2,3,4");
    EXPECT_STREQ(AttributeValue(table, L"image"), L"a.bmp");
    EXPECT_STREQ(AttributeValue(table, L"missing"), L"kept");
    EXPECT_STREQ(AttributeValue(table, L"other"), L"");
    // The lookup takes the loader's own spelling.
    EXPECT_STREQ(AttributeValue(table, L"RECT"), L"");
}

TEST_F(XmlDocumentTest, AttributeTableFillsOnlyTheFirstRowOfAName)
{
    XmlNode node = SelectOne(L"skin/item");
    TAttributeEntry table[] = {{L"Rect", L""}, {L"rect", L"second"}};
    ASSERT_TRUE(document_.ReadAttributeTable(node, table));
    EXPECT_STREQ(table[0].value, L"1,2,3,4");
    EXPECT_STREQ(table[1].value, L"second");
}

TEST_F(XmlDocumentTest, AttributeTableNeedsNodeAndRows)
{
    XmlNode node = SelectOne(L"skin/item");
    TAttributeEntry table[] = {{L"rect", L""}};
    EXPECT_FALSE(document_.ReadAttributeTable(XmlNode(), table));
    EXPECT_FALSE(document_.ReadAttributeTable(node, nullptr, 1));
    EXPECT_FALSE(document_.ReadAttributeTable(node, table, 0));
    EXPECT_STREQ(table[0].value, L"");
}

TEST_F(XmlDocumentTest, AttributeTableLeavesTheAttributeCursorAlone)
{
    XmlNode ordered = SelectOne(L"skin/ordered");
    XmlNode item = SelectOne(L"skin/item");
    ASSERT_TRUE(document_.OpenAttributes(ordered));
    std::wstring name, value;
    ASSERT_TRUE(document_.NextAttribute(&name, &value));
    TAttributeEntry table[] = {{L"rect", L""}};
    ASSERT_TRUE(document_.ReadAttributeTable(item, table));
    ASSERT_TRUE(document_.NextAttribute(&name, &value));
    EXPECT_EQ(name, L"a");
}

TEST(XmlAttributeTable, ValuesOfSixtyFourCharactersOrMoreAreCutToSixtyThree)
{
    ComScope com;
    FixtureFolder folder(L"xml-long-values");
    const std::wstring v63(63, L'a'), v64(63, L'b'), v65(63, L'c');
    const std::wstring xml = L"<e short=\"" + v63 + L"\" exact=\"" + v64 + L"X\" long=\"" + v65 + L"YZ\" />";
    CXmlDocument document;
    ASSERT_TRUE(document.Load(folder.WriteText(L"long.xml", xml).c_str()));
    ASSERT_TRUE(document.Select(L"e"));
    XmlNode node;
    ASSERT_TRUE(document.NextMatch(nullptr, nullptr, nullptr, &node));
    TAttributeEntry table[] = {{L"short", L""}, {L"exact", L""}, {L"long", L""}};
    ASSERT_TRUE(document.ReadAttributeTable(node, table));
    EXPECT_EQ(std::wstring(table[0].value), v63);
    EXPECT_EQ(std::wstring(table[1].value), v64);
    EXPECT_EQ(std::wstring(table[2].value), v65);
    for (const TAttributeEntry& row : table)
        EXPECT_EQ(row.value[63], L'\0');
}

TEST(XmlAttributeTable, OnlyTheLettersAToZAreMatchedIgnoringCase)
{
    // As the C locale the program runs in compares them: a longer or shorter
    // name is another name, and letters beyond A-Z keep their case.
    ComScope com;
    FixtureFolder folder(L"xml-attribute-names");
    const std::wstring xml =
        L"<e FONT-SIZE=\"1\" font-sizes=\"2\" \u00c9cran=\"3\" Image-LIST=\"4\" image_list=\"5\" />";
    CXmlDocument document;
    ASSERT_TRUE(document.Load(folder.WriteText(L"names.xml", xml).c_str()));
    ASSERT_TRUE(document.Select(L"e"));
    XmlNode node;
    ASSERT_TRUE(document.NextMatch(nullptr, nullptr, nullptr, &node));
    const struct {
        const wchar_t* row;
        const wchar_t* value;
    } cases[] = {
        {L"font-size", L"1"}, {L"font-siz", L""},    {L"font-sizes", L"2"},
        {L"\u00e9cran", L""}, {L"\u00c9CRAN", L"3"}, {L"image-list", L"4"},
    };
    TAttributeEntry table[std::size(cases)] = {};
    for (size_t i = 0; i < std::size(cases); ++i)
        wcscpy(table[i].name, cases[i].row);
    ASSERT_TRUE(document.ReadAttributeTable(node, table));
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_STREQ(table[i].value, cases[i].value) << "row " << i;
}

TEST_F(XmlDocumentTest, ChildElementsSkipTextAndComments)
{
    XmlNode menu = SelectOne(L"skin/menu");
    XmlNode cursor;
    std::wstring name, names;
    while (NextChildElement(menu, &cursor, &name))
        names += name + L";";
    EXPECT_EQ(names, L"first;second;");
    EXPECT_FALSE(cursor);
    EXPECT_FALSE(NextChildElement(XmlNode(), &cursor, &name));
}

// A picture of natural size 5 x 3 at the test display's 96 dots per inch.
TEST(LoadPictureFile, LoadsBitmapThatOutlivesThePicture)
{
    ComScope com;
    FixtureFolder folder(L"xml-picture");
    const COLORREF fill = RGB(10, 200, 30), corner = RGB(250, 5, 7);
    std::wstring path = folder.WriteBmp(L"p.bmp", 5, 3, fill, corner);
    HBITMAP bitmap = nullptr;
    ASSERT_TRUE(LoadPictureFile(path.c_str(), 0, 0, &bitmap));
    UniqueBitmap owned(bitmap);
    BITMAP info = {};
    ASSERT_EQ(GetObjectW(bitmap, sizeof(info), &info), static_cast<int>(sizeof(info)));
    EXPECT_EQ(info.bmWidth, 5);
    EXPECT_EQ(info.bmHeight, 3);
    EXPECT_NE(info.bmBits, nullptr) << "a DIB section, usable in a DC of any depth";

    WindowDc screen(nullptr);
    UniqueMemoryDc dc(CreateCompatibleDC(screen.get()));
    SelectedObject selected(dc.get(), bitmap);
    EXPECT_EQ(GetPixel(dc.get(), 0, 0), corner);
    EXPECT_EQ(GetPixel(dc.get(), 4, 2), fill);
}

TEST(LoadPictureFile, GivenSizeScalesTheBitmap)
{
    ComScope com;
    FixtureFolder folder(L"xml-picture-size");
    std::wstring path = folder.WriteBmp(L"p.bmp", 4, 4, RGB(1, 2, 3), RGB(1, 2, 3));
    HBITMAP bitmap = nullptr;
    ASSERT_TRUE(LoadPictureFile(path.c_str(), 8, 2, &bitmap));
    UniqueBitmap owned(bitmap);
    BITMAP info = {};
    ASSERT_TRUE(GetObjectW(bitmap, sizeof(info), &info));
    EXPECT_EQ(info.bmWidth, 8);
    EXPECT_EQ(info.bmHeight, 2);
    EXPECT_NE(info.bmBits, nullptr) << "a DIB section";
}

TEST(LoadPictureFile, MissingBrokenOrOverlongFileGivesNoBitmap)
{
    ComScope com;
    FixtureFolder folder(L"xml-picture-bad");
    HBITMAP bitmap = reinterpret_cast<HBITMAP>(1);
    EXPECT_FALSE(LoadPictureFile((folder / L"absent.bmp").c_str(), 0, 0, &bitmap));
    EXPECT_EQ(bitmap, nullptr);
    EXPECT_FALSE(LoadPictureFile(folder.WriteText(L"text.bmp", L"not a picture").c_str(), 0, 0, &bitmap));
    EXPECT_EQ(bitmap, nullptr);
    std::wstring longPath = folder.Path() + std::wstring(300, L'x') + L".bmp";
    EXPECT_FALSE(LoadPictureFile(longPath.c_str(), 0, 0, &bitmap));
    EXPECT_FALSE(LoadPictureFile(nullptr, 0, 0, &bitmap));
    EXPECT_FALSE(LoadPictureFile(L"", 0, 0, &bitmap));
    EXPECT_FALSE(LoadPictureFile((folder / L"COM1.bmp").c_str(), 0, 0, &bitmap)) << "a device is never opened";
    EXPECT_EQ(bitmap, nullptr);
}

}  // namespace
}  // namespace kivra
