// CXmlDocument: one XML file loaded into the platform's MSXML DOM, with one
// node cursor and one attribute cursor. The configuration, language and skin
// loaders move these cursors section by section over the same document, so a
// loader must finish iterating a selection before it makes the next one.
#pragma once

#include <windows.h>
#include <msxml.h>

#include <string>

#include "framework/BitmapPixels.h"
#include "framework/Handles.h"

namespace kivra {

// One row of a fixed attribute table: the loader fills in the names it
// understands, ReadAttributeTable fills in the values (at most 63 characters;
// longer values are cut to 63).
struct TAttributeEntry {
    wchar_t name[64];
    wchar_t value[64];
};

using XmlNode = ComPtr<IXMLDOMNode>;

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
    // external document types and entities are never fetched.
    bool Load(const wchar_t* path);
    bool IsLoaded() const { return static_cast<bool>(document_); }
    XmlLoadError LastLoadError() const { return loadError_; }
    // The reason for people ("not well-formed XML: line 3, column 7: ..."),
    // empty after a successful load.
    std::wstring LastLoadErrorText() const;

    // Selects the nodes matching a slash-separated element path evaluated from
    // the document ("skin/tool-bar/button"); the cursor stands before the first.
    // Matching nothing still succeeds. Fails without a loaded document.
    bool Select(const wchar_t* path);

    // Advances the node cursor to the next usable node: one whose text can be
    // read and, when attributeName is not empty, which carries that attribute.
    // Any output may be null.
    bool NextMatch(const wchar_t* attributeName, std::wstring* attributeValue, std::wstring* text,
                   XmlNode* node);

    // Select(path), then the text of the first usable node.
    bool ReadText(const wchar_t* path, std::wstring* text);

    // Makes node's attributes the current attribute collection.
    bool OpenAttributes(IXMLDOMNode* node);
    // Next attribute of the current collection, in document order.
    bool NextAttribute(std::wstring* name, std::wstring* value);

    // Fills table rows from node's attributes: each attribute goes to the first
    // row whose name equals it ignoring case. Fails without node or rows.
    bool ReadAttributeTable(IXMLDOMNode* node, TAttributeEntry* table, int count);
    template <size_t N> bool ReadAttributeTable(IXMLDOMNode* node, TAttributeEntry (&table)[N])
    {
        return ReadAttributeTable(node, table, static_cast<int>(N));
    }

private:
    ComPtr<IXMLDOMDocument> document_;
    ComPtr<IXMLDOMNodeList> nodes_;
    ComPtr<IXMLDOMNamedNodeMap> attributes_;
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
bool NextChildElement(IXMLDOMNode* parent, XmlNode* cursor, std::wstring* elementName);

// The text content of node, as NextMatch gives it.
bool NodeText(IXMLDOMNode* node, std::wstring* text);

// Loads a BMP, JPEG or GIF file as a bitmap. Width and height 0 keep the
// picture's natural size at the screen's resolution.
bool LoadPictureFile(const wchar_t* path, int width, int height, HBITMAP* bitmap);

// Decodes a BMP, JPEG or GIF file at its natural size (as LoadPictureFile with
// 0, 0) and reads its pixels. False when the file is no picture or memory runs
// out.
bool LoadPicturePixels(const wchar_t* path, TPicturePixels* picture);

}  // namespace kivra
