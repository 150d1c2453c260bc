#include "config/XmlDocument.h"

#include <ocidl.h>
#include <olectl.h>

#include <cstring>
#include <cwchar>
#include <iterator>
#include <new>
#include <string_view>
#include <vector>

#include "framework/DiskFile.h"
#include "framework/Text.h"

namespace kivra {

namespace {

// The MSXML DOM document class and its document interface, spelled out here so
// the build does not depend on which MSXML generation the import library knows.
constexpr CLSID kDomDocumentClass = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID kXmlDomDocumentInterface = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

// In-process server and handler, local and remote server.
constexpr DWORD kDocumentClassContext =
    CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
static_assert(kDocumentClassContext == 23);

// Attribute names are compared over at most this many characters.
constexpr size_t kAttributeNameCompareChars = 64;

// Pictures come in 0.01 mm units.
constexpr int kHimetricPerInch = 2540;

// Owns one BSTR.
class BString {
public:
    BString() = default;
    explicit BString(const wchar_t* text) : bstr_(::SysAllocString(text ? text : L"")) {}
    ~BString() { ::SysFreeString(bstr_); }
    BString(const BString&) = delete;
    BString& operator=(const BString&) = delete;

    BSTR get() const { return bstr_; }
    BSTR* put()
    {
        ::SysFreeString(bstr_);
        bstr_ = nullptr;
        return &bstr_;
    }
    // A null BSTR is the empty text.
    std::wstring str() const { return std::wstring(bstr_ ? bstr_ : L"", ::SysStringLen(bstr_)); }

private:
    BSTR bstr_ = nullptr;
};

// The node's text, when the DOM can give it (an empty element gives "").
bool ReadNodeText(IXMLDOMNode* node, std::wstring* text)
{
    BString value;
    if (node->get_text(value.put()) != S_OK)
        return false;
    *text = value.str();
    return true;
}

// The text of the attribute named name (exact case) on node.
bool ReadNamedAttribute(IXMLDOMNode* node, const wchar_t* name, std::wstring* value)
{
    ComPtr<IXMLDOMNamedNodeMap> attributes;
    if (node->get_attributes(attributes.put()) != S_OK || !attributes)
        return false;
    BString attributeName(name);
    ComPtr<IXMLDOMNode> attribute;
    if (attributes->getNamedItem(attributeName.get(), attribute.put()) != S_OK || !attribute)
        return false;
    return ReadNodeText(attribute.get(), value);
}

// Whether a and b are the same over at most count characters, A-Z and a-z
// alike: what _wcsnicmp answers in the C locale the program runs in, without
// its locale look-ups (a skin's attribute names are compared by the thousand).
bool SameNameIgnoringCase(const wchar_t* a, const wchar_t* b, size_t count)
{
    const auto fold = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; };
    for (size_t i = 0; i < count; ++i) {
        if (fold(a[i]) != fold(b[i]))
            return false;
        if (a[i] == 0)
            return true;
    }
    return true;
}

// Next attribute of attributes whose name and text can both be read.
bool NextReadableAttribute(IXMLDOMNamedNodeMap* attributes, std::wstring* name, std::wstring* value)
{
    for (;;) {
        ComPtr<IXMLDOMNode> attribute;
        if (attributes->nextNode(attribute.put()) != S_OK || !attribute)
            return false;
        BString attributeName;
        std::wstring text;
        if (attribute->get_nodeName(attributeName.put()) != S_OK || !ReadNodeText(attribute.get(), &text))
            continue;
        *name = attributeName.str();
        *value = std::move(text);
        return true;
    }
}

// Entities declared in the parsed document type. The text scan before the
// load catches these in every encoding it knows; this catches the rest.
bool DeclaresEntities(IXMLDOMDocument* document)
{
    ComPtr<IXMLDOMDocumentType> doctype;
    if (document->get_doctype(doctype.put()) != S_OK || !doctype)
        return false;
    ComPtr<IXMLDOMNamedNodeMap> entities;
    long count = 0;
    return doctype->get_entities(entities.put()) == S_OK && entities && entities->get_length(&count) == S_OK &&
           count > 0;
}

// "<!ENTITY" as 8-bit text, as UTF-16 little-endian and as UTF-16 big-endian.
constexpr char kEntityMark8[] = "<!ENTITY";
constexpr size_t kEntityMarkChars = sizeof(kEntityMark8) - 1;

bool HoldsEntityMark(const char* bytes, size_t size)
{
    char little[2 * kEntityMarkChars], big[2 * kEntityMarkChars];
    for (size_t i = 0; i < kEntityMarkChars; ++i) {
        little[2 * i] = big[2 * i + 1] = kEntityMark8[i];
        little[2 * i + 1] = big[2 * i] = 0;
    }
    const std::string_view text(bytes, size);
    return text.find(std::string_view(kEntityMark8, kEntityMarkChars)) != std::string_view::npos ||
           text.find(std::string_view(little, sizeof(little))) != std::string_view::npos ||
           text.find(std::string_view(big, sizeof(big))) != std::string_view::npos;
}

}  // namespace

bool FileMentionsEntityDeclaration(const wchar_t* path)
{
    UniqueFile file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return false;
    // Chunks overlap by one mark less a byte, so a mark across two reads is seen.
    constexpr size_t kChunkBytes = 64 * 1024;
    constexpr size_t kOverlap = 2 * kEntityMarkChars - 1;
    std::vector<char> chunk(kOverlap + kChunkBytes);
    char* buffer = chunk.data();
    size_t kept = 0;
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file.get(), buffer + kept, kChunkBytes, &got, nullptr) || got == 0)
            return false;
        const size_t size = kept + got;
        if (HoldsEntityMark(buffer, size))
            return true;
        kept = size < kOverlap ? size : kOverlap;
        std::memmove(buffer, buffer + size - kept, kept);
    }
}

std::wstring CXmlDocument::LastLoadErrorText() const
{
    switch (loadError_) {
    case XmlLoadError::None:
        return {};
    case XmlLoadError::NotRegularFile:
        return L"missing, or not a regular file";
    case XmlLoadError::DeclaresEntities:
        return L"declares entities, which are refused";
    case XmlLoadError::NoParser:
        return L"the system's XML parser is not available";
    case XmlLoadError::NotWellFormed:
        break;
    }
    std::wstring text = L"not well-formed XML";
    if (errorLine_ > 0)
        text += L": line " + std::to_wstring(errorLine_) + L", column " + std::to_wstring(errorColumn_);
    if (!errorReason_.empty())
        text += L": " + errorReason_;
    return text;
}

bool CXmlDocument::Load(const wchar_t* path)
{
    attributes_.reset();
    nodes_.reset();
    document_.reset();
    loadError_ = XmlLoadError::NotRegularFile;
    errorLine_ = errorColumn_ = 0;
    errorReason_.clear();
    // A name from data may name a device or a pipe, whose reading would wait
    // for ever.
    if (path == nullptr || path[0] == 0 || !IsRegularDiskFile(path))
        return false;
    loadError_ = XmlLoadError::DeclaresEntities;
    if (FileMentionsEntityDeclaration(path))
        return false;

    loadError_ = XmlLoadError::NoParser;
    ComPtr<IUnknown> unknown;
    if (FAILED(::CoCreateInstance(kDomDocumentClass, nullptr, kDocumentClassContext, IID_IUnknown,
                                  reinterpret_cast<void**>(unknown.put()))) ||
        !unknown)
        return false;
    if (FAILED(::OleRun(unknown.get())))
        return false;
    ComPtr<IXMLDOMDocument> document;
    if (FAILED(unknown->QueryInterface(kXmlDomDocumentInterface, reinterpret_cast<void**>(document.put()))) ||
        !document)
        return false;
    // Nothing outside the file is read: no external document type (which could
    // name a device as well) and no validation against one.
    if (FAILED(document->put_async(VARIANT_FALSE)) || FAILED(document->put_resolveExternals(VARIANT_FALSE)) ||
        FAILED(document->put_validateOnParse(VARIANT_FALSE)))
        return false;

    BString pathText(path);
    VARIANT source;
    ::VariantInit(&source);
    source.vt = VT_BSTR;
    source.bstrVal = pathText.get();  // still owned by pathText
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (document->load(source, &loaded) != S_OK || loaded != VARIANT_TRUE) {
        loadError_ = XmlLoadError::NotWellFormed;
        ComPtr<IXMLDOMParseError> error;
        if (document->get_parseError(error.put()) == S_OK && error) {
            BString reason;
            error->get_line(&errorLine_);
            error->get_linepos(&errorColumn_);
            if (error->get_reason(reason.put()) == S_OK)
                errorReason_ = reason.str();
            // The parser's reasons end in a line break.
            while (!errorReason_.empty() && iswspace(errorReason_.back()))
                errorReason_.pop_back();
        }
        return false;
    }
    if (DeclaresEntities(document.get())) {
        loadError_ = XmlLoadError::DeclaresEntities;
        return false;
    }

    loadError_ = XmlLoadError::None;
    document_ = std::move(document);
    return true;
}

bool CXmlDocument::Select(const wchar_t* path)
{
    nodes_.reset();
    if (!document_ || path == nullptr)
        return false;
    BString query(path);
    if (FAILED(document_->selectNodes(query.get(), nodes_.put())) || !nodes_) {
        nodes_.reset();
        return false;
    }
    return true;
}

bool CXmlDocument::NextMatch(const wchar_t* attributeName, std::wstring* attributeValue, std::wstring* text,
                             XmlNode* node)
{
    if (!nodes_)
        return false;
    const bool wantAttribute = attributeName != nullptr && attributeName[0] != 0;
    for (;;) {
        XmlNode candidate;
        if (nodes_->nextNode(candidate.put()) != S_OK || !candidate)
            return false;
        std::wstring value;
        if (wantAttribute && !ReadNamedAttribute(candidate.get(), attributeName, &value))
            continue;
        std::wstring nodeText;
        if (!ReadNodeText(candidate.get(), &nodeText))
            continue;
        if (attributeValue && wantAttribute)
            *attributeValue = std::move(value);
        if (text)
            *text = std::move(nodeText);
        if (node)
            *node = std::move(candidate);
        return true;
    }
}

bool CXmlDocument::ReadText(const wchar_t* path, std::wstring* text)
{
    return Select(path) && NextMatch(nullptr, nullptr, text, nullptr);
}

bool CXmlDocument::OpenAttributes(IXMLDOMNode* node)
{
    attributes_.reset();
    if (node == nullptr)
        return false;
    if (node->get_attributes(attributes_.put()) != S_OK || !attributes_) {
        attributes_.reset();
        return false;
    }
    attributes_->reset();
    return true;
}

bool CXmlDocument::NextAttribute(std::wstring* name, std::wstring* value)
{
    if (!attributes_)
        return false;
    std::wstring attributeName, attributeValue;
    if (!NextReadableAttribute(attributes_.get(), &attributeName, &attributeValue))
        return false;
    if (name)
        *name = std::move(attributeName);
    if (value)
        *value = std::move(attributeValue);
    return true;
}

bool CXmlDocument::ReadAttributeTable(IXMLDOMNode* node, TAttributeEntry* table, int count)
{
    if (node == nullptr || table == nullptr || count <= 0)
        return false;
    // Its own enumeration, so a caller walking the attribute cursor keeps its place.
    ComPtr<IXMLDOMNamedNodeMap> attributes;
    if (node->get_attributes(attributes.put()) != S_OK || !attributes)
        return false;
    attributes->reset();
    // A skin of a thousand buttons has eight thousand attributes: only the
    // names asked for have their text read, straight into their row.
    for (;;) {
        ComPtr<IXMLDOMNode> attribute;
        if (attributes->nextNode(attribute.put()) != S_OK || !attribute)
            break;
        BString name;
        if (attribute->get_nodeName(name.put()) != S_OK)
            continue;
        const wchar_t* read = name.get() ? name.get() : L"";
        TAttributeEntry* row = nullptr;
        for (int at = 0; at < count && row == nullptr; ++at)
            if (SameNameIgnoringCase(table[at].name, read, kAttributeNameCompareChars))
                row = &table[at];
        BString value;
        if (row == nullptr || attribute->get_text(value.put()) != S_OK)
            continue;
        // Longer values are cut to the row's 63 characters.
        CopyText(row->value, value.get() ? value.get() : L"");
    }
    return true;
}

const wchar_t* AttributeValue(const TAttributeEntry* table, int count, const wchar_t* name)
{
    if (table == nullptr || name == nullptr)
        return L"";
    for (int row = 0; row < count; ++row)
        if (wcsncmp(table[row].name, name, kAttributeNameCompareChars) == 0)
            return table[row].value;
    return L"";
}

bool NodeText(IXMLDOMNode* node, std::wstring* text)
{
    return node != nullptr && text != nullptr && ReadNodeText(node, text);
}

bool NextChildElement(IXMLDOMNode* parent, XmlNode* cursor, std::wstring* elementName)
{
    if (parent == nullptr || cursor == nullptr)
        return false;
    XmlNode next;
    HRESULT hr = *cursor ? (*cursor)->get_nextSibling(next.put()) : parent->get_firstChild(next.put());
    while (hr == S_OK && next) {
        DOMNodeType type = NODE_INVALID;
        if (next->get_nodeType(&type) == S_OK && type == NODE_ELEMENT) {
            BString name;
            if (next->get_nodeName(name.put()) != S_OK)
                break;
            if (elementName)
                *elementName = name.str();
            *cursor = std::move(next);
            return true;
        }
        XmlNode sibling;
        hr = next->get_nextSibling(sibling.put());
        next = std::move(sibling);
    }
    cursor->reset();
    return false;
}

namespace {

// A decoded picture file: the picture object, which owns its bitmap, and the
// picture's natural size at the screen's resolution.
struct TDecodedPicture {
    ComPtr<IPicture> picture;
    HBITMAP bitmap = nullptr;  // the picture's own
    SIZE natural = {};
};

// Decodes path. width and height 0 ask for the natural size, which only then
// is filled in.
bool DecodePicture(const wchar_t* path, int width, int height, TDecodedPicture* decoded)
{
    if (path == nullptr || path[0] == 0)
        return false;

    // The picture loader takes absolute paths (or URLs) only. A picture name
    // from a skin may name a device or a pipe, which it would wait on.
    wchar_t fullPath[kMaxPathChars + 1];
    DWORD length = ::GetFullPathNameW(path, static_cast<DWORD>(std::size(fullPath)), fullPath, nullptr);
    if (length == 0 || length > kMaxPathChars || !IsRegularDiskFile(fullPath))
        return false;

    ComPtr<IPicture>& picture = decoded->picture;
    if (FAILED(::OleLoadPicturePath(fullPath, nullptr, 0, 0, IID_IPicture,
                                    reinterpret_cast<void**>(picture.put()))) ||
        !picture)
        return false;

    short type = PICTYPE_UNINITIALIZED;
    if (FAILED(picture->get_Type(&type)) || type != PICTYPE_BITMAP)
        return false;

    if (width == 0 && height == 0) {
        OLE_XSIZE_HIMETRIC pictureWidth = 0;
        OLE_YSIZE_HIMETRIC pictureHeight = 0;
        if (FAILED(picture->get_Width(&pictureWidth)) || FAILED(picture->get_Height(&pictureHeight)))
            return false;
        WindowDc screen(nullptr);
        if (!screen)
            return false;
        width = ::MulDiv(pictureWidth, ::GetDeviceCaps(screen.get(), LOGPIXELSX), kHimetricPerInch);
        height = ::MulDiv(pictureHeight, ::GetDeviceCaps(screen.get(), LOGPIXELSY), kHimetricPerInch);
    }
    decoded->natural = {width, height};

    OLE_HANDLE handle = 0;
    if (FAILED(picture->get_Handle(&handle)) || handle == 0)
        return false;
    decoded->bitmap = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
    return true;
}

// A copy of the picture's bitmap at size, as a DIB section: it selects into a
// memory DC whatever the display's format. The picture owns its bitmap and
// deletes it when released, so the copy must not delete the original
// (LR_COPYDELETEORG would leave the picture deleting a handle that is gone).
HBITMAP CopyAtSize(const TDecodedPicture& decoded, SIZE size)
{
    return static_cast<HBITMAP>(
        ::CopyImage(decoded.bitmap, IMAGE_BITMAP, size.cx, size.cy, LR_CREATEDIBSECTION));
}

}  // namespace

bool LoadPictureFile(const wchar_t* path, int width, int height, HBITMAP* bitmap)
{
    if (bitmap == nullptr)
        return false;
    *bitmap = nullptr;
    TDecodedPicture decoded;
    if (!DecodePicture(path, width, height, &decoded))
        return false;
    *bitmap = CopyAtSize(decoded, decoded.natural);
    return *bitmap != nullptr;
}

bool LoadPicturePixels(const wchar_t* path, TPicturePixels* picture)
{
    if (picture == nullptr)
        return false;
    *picture = TPicturePixels{};
    TDecodedPicture decoded;
    if (!DecodePicture(path, 0, 0, &decoded))
        return false;
    const SIZE size = decoded.natural;
    if (size.cx <= 0 || size.cy <= 0)
        return false;

    // The decoded bitmap is read as it is when it has the natural size (it
    // always has at the usual 96 pixels per inch); otherwise from a copy at
    // that size, as LoadPictureFile makes it.
    BITMAP own = {};
    UniqueBitmap resized;
    HBITMAP source = decoded.bitmap;
    if (::GetObjectW(source, sizeof(own), &own) == 0 || own.bmWidth != size.cx || own.bmHeight != size.cy) {
        resized.reset(CopyAtSize(decoded, size));
        source = resized.get();
    }
    return source != nullptr && ReadBitmapPixels(source, picture);
}

}  // namespace kivra
