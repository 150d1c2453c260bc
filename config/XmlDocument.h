// CXmlDocument: one XML file parsed by the platform's MSXML DOM and read into
// a compact tree of its elements, with one node cursor and one attribute
// cursor. The configuration, language and skin loaders move these cursors
// section by section over the same document, so a loader must finish
// iterating a selection before it makes the next one.
//
// Each element keeps its name, its attributes in document order and its text
// as MSXML gives it (the text of all it holds), so the readers answer what
// the DOM would. With a document store, a file whose bytes were parsed before
// is read back from the store instead, and MSXML is not asked at all.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/BitmapPixels.h"
#include "framework/Handles.h"

namespace kivra {

class CDocumentStore;

// One row of a fixed attribute table: the loader fills in the names it
// understands, ReadAttributeTable fills in the values (at most 63 characters;
// longer values are cut to 63).
struct TAttributeEntry {
    wchar_t name[64];
    wchar_t value[64];
};

// A parsed document's elements in document order. Element 0 stands for the
// document itself (no name): its children are the top element and whatever
// else the parser put at the top. Texts are ranges of one character pool.
// The records are plain numbers so a store can keep them as they are.
struct TXmlText {
    UINT32 offset;
    UINT32 length;
};
struct TXmlElement {
    TXmlText name;
    TXmlText text;  // as MSXML's text property gives it
    UINT32 firstAttribute;
    UINT32 attributeCount;
    UINT32 firstChild;   // kNoXmlElement when none; always after this one
    UINT32 nextSibling;  // kNoXmlElement when none; always after this one
    UINT32 flags;        // kXmlTextUnreadable
};
struct TXmlAttribute {
    TXmlText name;
    TXmlText value;
};
static_assert(sizeof(TXmlText) == 8 && sizeof(TXmlElement) == 36 && sizeof(TXmlAttribute) == 16);

constexpr UINT32 kNoXmlElement = 0xFFFFFFFFu;
constexpr UINT32 kXmlTextUnreadable = 1;  // the DOM would not give this element's text

struct TXmlTree {
    std::vector<TXmlElement> elements;
    std::vector<TXmlAttribute> attributes;
    std::wstring chars;

    std::wstring_view Text(TXmlText text) const { return std::wstring_view(chars).substr(text.offset, text.length); }
    // Whether every range, link and count stays inside the tree and every link
    // points forwards, so walking it ends. A store checks what it reads back.
    bool IsSound() const;
};

// One element of a loaded document; it keeps its document's tree alive.
class XmlNode {
public:
    XmlNode() = default;
    explicit operator bool() const { return tree_ != nullptr; }
    void reset() { tree_.reset(); }

private:
    friend class CXmlDocument;
    friend bool NextChildElement(const XmlNode& parent, XmlNode* cursor, std::wstring* elementName);
    friend bool NodeText(const XmlNode& node, std::wstring* text);

    XmlNode(std::shared_ptr<const TXmlTree> tree, UINT32 index) : tree_(std::move(tree)), index_(index) {}
    const TXmlElement& Element() const { return tree_->elements[index_]; }

    std::shared_ptr<const TXmlTree> tree_;
    UINT32 index_ = 0;
};

// Why the last Load failed.
enum class XmlLoadError {
    None,
    NotRegularFile,    // missing, a folder, a device or a pipe
    DeclaresEntities,  // its document type declares entities (refused, see Load)
    NotWellFormed,     // the parser refused it
    NoParser,          // the XML document object could not be made
};

class CXmlDocument {
public:
    CXmlDocument() = default;
    CXmlDocument(const CXmlDocument&) = delete;
    CXmlDocument& operator=(const CXmlDocument&) = delete;

    // Loads the file at path (absolute) synchronously; releases what was
    // loaded before. Fails for a missing or not well-formed file, for anything
    // but a regular disk file, and for a document whose document type declares
    // entities: no document of the product needs one, and expanding them can
    // take minutes and hundreds of megabytes. A plain DOCTYPE line is fine;
    // external document types and entities are never fetched. With a store,
    // a file whose bytes it holds is not parsed again, and a parsed one is
    // handed to it to keep.
    bool Load(const wchar_t* path, CDocumentStore* store = nullptr);
    bool IsLoaded() const { return static_cast<bool>(tree_); }
    XmlLoadError LastLoadError() const { return loadError_; }
    // The reason for people ("not well-formed XML: line 3, column 7: ..."),
    // empty after a successful load.
    std::wstring LastLoadErrorText() const;

    // Selects the elements matching a slash-separated path of element names
    // from the document ("skin/tool-bar/button", the same with a leading
    // slash), in document order; the cursor stands before the first. Matching
    // nothing still succeeds. Fails without a loaded document, and for a path
    // that is not plain names (an empty step, ".", "*", "@", a predicate).
    bool Select(const wchar_t* path);

    // Advances the node cursor to the next usable node: one whose text can be
    // read and, when attributeName is not empty, which carries that attribute.
    // Any output may be null.
    bool NextMatch(const wchar_t* attributeName, std::wstring* attributeValue, std::wstring* text,
                   XmlNode* node);

    // Select(path), then the text of the first usable node.
    bool ReadText(const wchar_t* path, std::wstring* text);

    // Makes node's attributes the current attribute collection.
    bool OpenAttributes(const XmlNode& node);
    // Next attribute of the current collection, in document order.
    bool NextAttribute(std::wstring* name, std::wstring* value);

    // Fills table rows from node's attributes: each attribute goes to the first
    // row whose name equals it ignoring case. Fails without node or rows.
    bool ReadAttributeTable(const XmlNode& node, TAttributeEntry* table, int count);
    template <size_t N> bool ReadAttributeTable(const XmlNode& node, TAttributeEntry (&table)[N])
    {
        return ReadAttributeTable(node, table, static_cast<int>(N));
    }

private:
    bool Parse(const wchar_t* path, TXmlTree* tree);

    std::shared_ptr<const TXmlTree> tree_;
    std::vector<UINT32> selection_;
    size_t nextSelected_ = 0;
    XmlNode attributeOwner_;
    UINT32 nextAttribute_ = 0;
    XmlLoadError loadError_ = XmlLoadError::None;
    long errorLine_ = 0;
    long errorColumn_ = 0;
    std::wstring errorReason_;
};

// Whether the file holds the text "<!ENTITY" in 8-bit or UTF-16 form, which an
// entity declaration needs. It is looked for in the whole file, comments
// included: a document of the product never mentions it.
bool FileMentionsEntityDeclaration(const wchar_t* path);

// Value of the row named name in a table filled by ReadAttributeTable (exact
// name as declared by the loader), or an empty text when there is none.
const wchar_t* AttributeValue(const TAttributeEntry* table, int count, const wchar_t* name);
template <size_t N> const wchar_t* AttributeValue(const TAttributeEntry (&table)[N], const wchar_t* name)
{
    return AttributeValue(table, static_cast<int>(N), name);
}

// Child elements of node, in document order (for sections whose children are
// visited by element name: menus, tool areas, plugin controls).
bool NextChildElement(const XmlNode& parent, XmlNode* cursor, std::wstring* elementName);

// The text content of node, as NextMatch gives it.
bool NodeText(const XmlNode& node, std::wstring* text);

// Loads a BMP, JPEG or GIF file as a bitmap. Width and height 0 keep the
// picture's natural size at the screen's resolution.
bool LoadPictureFile(const wchar_t* path, int width, int height, HBITMAP* bitmap);

// Decodes a BMP, JPEG or GIF file at its natural size (as LoadPictureFile with
// 0, 0) and reads its pixels. False when the file is no picture or memory runs
// out.
bool LoadPicturePixels(const wchar_t* path, TPicturePixels* picture);

}  // namespace kivra
