#include <gtest/gtest.h>

#include <msxml.h>

#include <string>
#include <vector>

#include "config/DocumentStore.h"
#include "config/XmlDocument.h"
#include "tests/support/XmlFixture.h"

namespace kivra {
namespace {

using testing::ComScope;
using testing::FixtureFolder;
using testing::ReadFileBytes;
using testing::WriteFileBytes;

// What the readers make of every element below the document, one line each.
std::wstring Dump(const XmlNode& parent, const std::wstring& indent = L"")
{
    CXmlDocument attributes;  // only its attribute cursor is used
    std::wstring out, name, text, attribute, value;
    XmlNode child;
    while (NextChildElement(parent, &child, &name)) {
        out += indent + name + L" [";
        attributes.OpenAttributes(child);
        while (attributes.NextAttribute(&attribute, &value))
            out += attribute + L"=" + value + L";";
        NodeText(child, &text);
        out += L"] \"" + text + L"\"\n" + Dump(child, indent + L"  ");
    }
    return out;
}

std::wstring DumpFile(const std::wstring& file, CDocumentStore* store)
{
    CXmlDocument document;
    XmlNode root;
    if (!document.Load(file.c_str(), store) || !document.Select(L"r") ||
        !document.NextMatch(nullptr, nullptr, nullptr, &root))
        return L"(not loaded)";
    return Dump(root);
}

class DocumentStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(com_.ok()); }

    ComScope com_;
    FixtureFolder folder_{L"document-store"};
    std::wstring storeFile_ = folder_ / L"documents.cache";
};

// Texts the parser treats in its own ways: entities, CDATA, mixed content,
// blanks, namespaces, comments and non-ASCII. A tree read back from the store
// answers exactly as the one just parsed.
TEST_F(DocumentStoreTest, StoredTreesAnswerAsParsedOnes)
{
    const std::vector<std::wstring> documents = {
        L"<r><a x=\"1\" y=\"&amp;&lt;\">t &amp; u</a><b/><c></c></r>",
        L"<r>\n  <a>  padded  </a>\n  <a><![CDATA[<raw>]]></a><!-- note --><?pi data?>\n</r>",
        L"<r xmlns:k=\"urn:k\"><k:a k:v=\"2\">one<b>two</b>three</k:a></r>",
        // Under Wine a document type node has no next sibling (E_NOTIMPL),
        // so the element after it is found through its parent's child list.
        L"<?xml version=\"1.0\"?><!DOCTYPE r><r><a \u4e2d=\"\u6587\">\u00e9\u4e2d</a><a><a><a>deep</a></a></a></r>",
    };
    for (size_t at = 0; at < documents.size(); ++at) {
        const std::wstring file = folder_.WriteText(L"doc" + std::to_wstring(at) + L".xml", documents[at]);
        const std::wstring parsed = DumpFile(file, nullptr);
        ASSERT_NE(parsed, L"(not loaded)") << at;
        {
            CDocumentStore first(storeFile_);  // parses and keeps it
            EXPECT_EQ(DumpFile(file, &first), parsed) << at;
            ASSERT_TRUE(first.Save());
        }
        // A later run finds it by its bytes, beside those of earlier runs.
        CDocumentStore later(storeFile_);
        EXPECT_EQ(DumpFile(file, &later), parsed) << at;
        for (size_t earlier = 0; earlier <= at; ++earlier) {
            const std::string bytes = ReadFileBytes(folder_ / (L"doc" + std::to_wstring(earlier) + L".xml"));
            TXmlTree tree;
            EXPECT_TRUE(later.Find(bytes.size(), DocumentCheckSum(bytes.data(), bytes.size()), &tree)) << earlier;
        }
    }
}

// An edited document is parsed again, never answered from the store; a store
// file that was cut, changed or replaced is not used, and the next save mends it.
TEST_F(DocumentStoreTest, ChangedDocumentOrDamagedStoreIsParsedAgain)
{
    const std::wstring file = folder_.WriteText(L"doc.xml", L"<r><a>before</a></r>");
    {
        CDocumentStore store(storeFile_);
        ASSERT_NE(DumpFile(file, &store), L"(not loaded)");
        ASSERT_TRUE(store.Save());
    }
    const std::string good = ReadFileBytes(storeFile_);
    std::string flipped = good;
    flipped[good.size() - 10] ^= 0x20;  // inside the tree's characters
    const std::vector<std::string> damaged = {good.substr(0, good.size() - 4), flipped, std::string(64, 'x'), ""};
    for (size_t at = 0; at < damaged.size(); ++at) {
        ASSERT_TRUE(WriteFileBytes(storeFile_, damaged[at]));
        folder_.WriteText(L"doc.xml", L"<r><a>run " + std::to_wstring(at) + L"</a></r>");
        CDocumentStore store(storeFile_);
        EXPECT_EQ(DumpFile(file, &store), L"a [] \"run " + std::to_wstring(at) + L"\"\n") << at;
        ASSERT_TRUE(store.Save());
        CDocumentStore mended(storeFile_);
        const std::string bytes = ReadFileBytes(file);
        TXmlTree tree;
        EXPECT_TRUE(mended.Find(bytes.size(), DocumentCheckSum(bytes.data(), bytes.size()), &tree)) << at;
    }
}

// One huge tree is parsed each time rather than crowd the store out (a file
// past the store's bound would not be read at all).
TEST_F(DocumentStoreTest, ATreeTooLargeToKeepLeavesTheOthersKept)
{
    TXmlTree small;
    small.elements = {{{0, 0}, {0, 0}, 0, 0, kNoXmlElement, kNoXmlElement, 0}};
    TXmlTree large = small;
    large.chars.assign(3 * 1024 * 1024, L'x');  // 6 MB of characters
    CDocumentStore store(storeFile_);
    store.Keep(10, 1, large);
    store.Keep(20, 2, small);
    ASSERT_TRUE(store.Save());
    CDocumentStore later(storeFile_);
    TXmlTree found;
    EXPECT_FALSE(later.Find(10, 1, &found));
    EXPECT_TRUE(later.Find(20, 2, &found));
}

// A store record whose check sum holds can still be made by hand: its links
// and ranges are checked before any walk trusts them.
TEST(XmlTreeTest, UnsoundTreesAreRefused)
{
    TXmlTree sound;
    sound.chars = L"rav";
    sound.elements = {{{0, 0}, {0, 0}, 0, 0, 1, kNoXmlElement, 0},
                      {{0, 1}, {0, 0}, 0, 1, kNoXmlElement, kNoXmlElement, 0}};
    sound.attributes = {{{1, 1}, {2, 1}}};
    ASSERT_TRUE(sound.IsSound());
    const auto broken = [&](auto change) {
        TXmlTree tree = sound;
        change(tree);
        return tree.IsSound();
    };
    EXPECT_FALSE(broken([](TXmlTree& t) { t.elements[1].firstChild = 0; }));   // a loop back to the document
    EXPECT_FALSE(broken([](TXmlTree& t) { t.elements[1].nextSibling = 1; }));  // a loop to itself
    EXPECT_FALSE(broken([](TXmlTree& t) { t.elements[0].firstChild = 2; }));   // past the last element
    EXPECT_FALSE(broken([](TXmlTree& t) { t.elements[1].name = {2, 2}; }));    // past the characters
    EXPECT_FALSE(broken([](TXmlTree& t) { t.elements[1].attributeCount = 2; }));
    EXPECT_FALSE(broken([](TXmlTree& t) { t.attributes[0].value = {0xFFFFFFFF, 2}; }));
    EXPECT_FALSE(broken([](TXmlTree& t) { t.elements.clear(); }));
}

// Paths are read as MSXML's selectNodes reads them from the document, in
// document order; anything but plain names fails rather than guessing.
TEST_F(DocumentStoreTest, SelectMatchesTheParsersSelection)
{
    const std::wstring file = folder_.WriteText(
        L"select.xml", L"<r><a><b>1</b></a><B>x</B><a><b>2</b><b>3</b><c><b>no</b></c></a><a.b>4</a.b></r>");
    CXmlDocument ours;
    ASSERT_TRUE(ours.Load(file.c_str()));
    ComPtr<IXMLDOMDocument> theirs;
    constexpr CLSID kDomDocument = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
    ASSERT_TRUE(SUCCEEDED(::CoCreateInstance(kDomDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                                             reinterpret_cast<void**>(theirs.put()))));
    VARIANT source;
    source.vt = VT_BSTR;
    source.bstrVal = ::SysAllocString(file.c_str());
    VARIANT_BOOL loaded = VARIANT_FALSE;
    ASSERT_EQ(theirs->load(source, &loaded), S_OK);
    ::VariantClear(&source);
    for (const wchar_t* path : {L"r", L"/r", L"r/a/b", L"r/b", L"r/B", L"r/a", L"r/a.b", L"a/b", L"r/a/c/b"}) {
        std::wstring ourTexts, theirTexts, text;
        ASSERT_TRUE(ours.Select(path)) << path;
        while (ours.NextMatch(nullptr, nullptr, &text, nullptr))
            ourTexts += text + L";";
        ComPtr<IXMLDOMNodeList> list;
        BSTR query = ::SysAllocString(path);
        ASSERT_EQ(theirs->selectNodes(query, list.put()), S_OK) << path;
        ::SysFreeString(query);
        for (ComPtr<IXMLDOMNode> node; list->nextNode(node.put()) == S_OK && node;) {
            BSTR value = nullptr;
            node->get_text(&value);
            theirTexts += std::wstring(value ? value : L"") + L";";
            ::SysFreeString(value);
        }
        EXPECT_EQ(ourTexts, theirTexts) << path;
    }
    for (const wchar_t* path : {L"", L"r/", L"//b", L"r/*", L"r/a[1]", L"r/@x", L"r/..", L"child::r"})
        EXPECT_FALSE(ours.Select(path)) << path;
}

}  // namespace
}  // namespace kivra
