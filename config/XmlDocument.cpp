#include "config/XmlDocument.h"

#include <msxml.h>

#include <ocidl.h>
#include <olectl.h>

#include <cstring>
#include <cwchar>
#include <iterator>
#include <new>
#include <string_view>
#include <vector>

#include "config/DocumentStore.h"
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

// Whether a and b are the same over at most count characters, A-Z and a-z
// alike: what _wcsnicmp answers in the C locale the program runs in, without
// its locale look-ups (a skin's attribute names are compared by the thousand).
bool SameNameIgnoringCase(const wchar_t* a, std::wstring_view b, size_t count)
{
    const auto fold = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; };
    for (size_t i = 0; i < count; ++i) {
        const wchar_t other = i < b.size() ? b[i] : L'\0';
        if (fold(a[i]) != fold(other))
            return false;
        if (a[i] == 0)
            return true;
    }
    return true;
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

namespace {

// Documents up to this size are read whole, so their bytes can be looked up
// in a store; larger ones are parsed every time.
constexpr size_t kMaxStoredSourceBytes = 4 * 1024 * 1024;

// Appends text to the tree's pool; a null BSTR is the empty text.
TXmlText AddText(TXmlTree* tree, const BString& text)
{
    const UINT32 length = ::SysStringLen(text.get());
    const TXmlText added = {static_cast<UINT32>(tree->chars.size()), length};
    tree->chars.append(text.get() ? text.get() : L"", length);
    return added;
}

// One element as the DOM gives it: its name, its text, and those of its
// attributes whose name and text both read.
bool AddElement(IXMLDOMNode* node, TXmlTree* tree)
{
    TXmlElement element = {};
    element.firstChild = element.nextSibling = kNoXmlElement;
    BString name, text;
    if (node->get_nodeName(name.put()) != S_OK)
        return false;
    element.name = AddText(tree, name);
    if (node->get_text(text.put()) == S_OK)
        element.text = AddText(tree, text);
    else
        element.flags |= kXmlTextUnreadable;
    element.firstAttribute = static_cast<UINT32>(tree->attributes.size());
    ComPtr<IXMLDOMNamedNodeMap> attributes;
    if (node->get_attributes(attributes.put()) == S_OK && attributes) {
        attributes->reset();
        for (;;) {
            ComPtr<IXMLDOMNode> attribute;
            if (attributes->nextNode(attribute.put()) != S_OK || !attribute)
                break;
            BString attributeName, value;
            if (attribute->get_nodeName(attributeName.put()) != S_OK || attribute->get_text(value.put()) != S_OK)
                continue;
            tree->attributes.push_back({AddText(tree, attributeName), AddText(tree, value)});
        }
    }
    element.attributeCount = static_cast<UINT32>(tree->attributes.size()) - element.firstAttribute;
    tree->elements.push_back(element);
    return true;
}

// The parsed document's elements, in document order. Walked with a stack of
// its own: a deeply nested document must not run out of the thread's stack.
// Children are taken from each node's child list, not through next-sibling
// links, which not every node kind of every MSXML gives. A list that fails
// part way fails the whole: a tree missing part of its file would be kept.
bool BuildTree(IXMLDOMDocument* document, TXmlTree* tree)
{
    struct TLevel {
        ComPtr<IXMLDOMNodeList> children;
        UINT32 parent;
        UINT32 last;  // the last element added at this level
    };
    tree->elements.push_back({{}, {}, 0, 0, kNoXmlElement, kNoXmlElement, 0});
    std::vector<TLevel> levels(1);
    levels[0].parent = 0;
    levels[0].last = kNoXmlElement;
    if (document->get_childNodes(levels[0].children.put()) != S_OK || !levels[0].children)
        return false;
    while (!levels.empty()) {
        TLevel& level = levels.back();
        ComPtr<IXMLDOMNode> node;
        const HRESULT next = level.children->nextNode(node.put());
        if (FAILED(next))
            return false;
        if (next != S_OK || !node) {
            levels.pop_back();
            continue;
        }
        DOMNodeType type = NODE_INVALID;
        if (node->get_nodeType(&type) != S_OK)
            return false;
        if (type != NODE_ELEMENT)
            continue;
        const auto index = static_cast<UINT32>(tree->elements.size());
        if (index == kNoXmlElement || !AddElement(node.get(), tree))
            return false;
        if (level.last == kNoXmlElement)
            tree->elements[level.parent].firstChild = index;
        else
            tree->elements[level.last].nextSibling = index;
        level.last = index;
        ComPtr<IXMLDOMNodeList> children;
        if (node->get_childNodes(children.put()) != S_OK || !children)
            return false;
        levels.push_back({std::move(children), index, kNoXmlElement});  // level is not used after this
    }
    return true;
}

// A name path's step: an element name, nothing the selection language would
// read as more than one.
bool IsPlainName(std::wstring_view step)
{
    return !step.empty() && step != L"." && step != L".." && step.find(L"::") == std::wstring_view::npos &&
           step.find_first_of(L"[]@*()|=!<>\"'$,+ \t\r\n") == std::wstring_view::npos;
}

const TXmlAttribute* FindAttribute(const TXmlTree& tree, const TXmlElement& element, const wchar_t* name)
{
    for (UINT32 at = 0; at < element.attributeCount; ++at) {
        const TXmlAttribute& attribute = tree.attributes[element.firstAttribute + at];
        if (tree.Text(attribute.name) == name)
            return &attribute;
    }
    return nullptr;
}

// value cut to the row's 63 characters.
void CopyCut(wchar_t (&row)[64], std::wstring_view value)
{
    const size_t count = value.size() < std::size(row) - 1 ? value.size() : std::size(row) - 1;
    value.copy(row, count);
    row[count] = 0;
}

}  // namespace

bool TXmlTree::IsSound() const
{
    const auto inPool = [this](TXmlText text) {
        return text.offset <= chars.size() && text.length <= chars.size() - text.offset;
    };
    if (elements.empty() || elements.size() >= kNoXmlElement)
        return false;
    for (size_t at = 0; at < elements.size(); ++at) {
        const TXmlElement& element = elements[at];
        const auto forwards = [&](UINT32 link) {
            return link == kNoXmlElement || (link > at && link < elements.size());
        };
        if (!inPool(element.name) || !inPool(element.text) || !forwards(element.firstChild) ||
            !forwards(element.nextSibling) || element.firstAttribute > attributes.size() ||
            element.attributeCount > attributes.size() - element.firstAttribute)
            return false;
    }
    for (const TXmlAttribute& attribute : attributes)
        if (!inPool(attribute.name) || !inPool(attribute.value))
            return false;
    return true;
}

bool CXmlDocument::Load(const wchar_t* path, CDocumentStore* store)
{
    tree_.reset();
    selection_.clear();
    nextSelected_ = 0;
    attributeOwner_.reset();
    loadError_ = XmlLoadError::NotRegularFile;
    errorLine_ = errorColumn_ = 0;
    errorReason_.clear();
    // A name from data may name a device or a pipe, whose reading would wait
    // for ever.
    if (path == nullptr || path[0] == 0 || !IsRegularDiskFile(path))
        return false;

    // With a store the bytes are read once: the store knows them by their
    // check sum, and the scan for entity declarations reads them there.
    std::vector<char> bytes;
    const bool stored = store != nullptr && ReadWholeFile(path, kMaxStoredSourceBytes, &bytes);
    loadError_ = XmlLoadError::DeclaresEntities;
    if (stored ? HoldsEntityMark(bytes.data(), bytes.size()) : FileMentionsEntityDeclaration(path))
        return false;
    const ULONGLONG sum = stored ? DocumentCheckSum(bytes.data(), bytes.size()) : 0;

    std::shared_ptr<TXmlTree> tree;
    try {
        tree = std::make_shared<TXmlTree>();
        if (!stored || !store->Find(bytes.size(), sum, tree.get())) {
            *tree = {};
            if (!Parse(path, tree.get()))
                return false;
            // Kept only when the parser read the bytes that were summed.
            std::vector<char> parsed;
            if (stored && ReadWholeFile(path, kMaxStoredSourceBytes, &parsed) && parsed == bytes)
                store->Keep(bytes.size(), sum, *tree);
        }
    } catch (const std::bad_alloc&) {
        loadError_ = XmlLoadError::NotWellFormed;
        errorReason_ = L"out of memory";
        return false;
    }
    loadError_ = XmlLoadError::None;
    tree_ = std::move(tree);
    return true;
}

bool CXmlDocument::Parse(const wchar_t* path, TXmlTree* tree)
{
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
    loadError_ = XmlLoadError::NotWellFormed;
    if (!BuildTree(document.get(), tree)) {
        errorReason_ = L"the parser's document could not be read";
        return false;
    }
    return true;
}

bool CXmlDocument::Select(const wchar_t* path)
{
    selection_.clear();
    nextSelected_ = 0;
    if (!tree_ || path == nullptr)
        return false;
    const std::vector<TXmlElement>& elements = tree_->elements;
    std::wstring_view rest(path);
    if (!rest.empty() && rest.front() == L'/')
        rest.remove_prefix(1);
    std::vector<UINT32> matched(1, 0);  // the document
    for (;;) {
        const size_t slash = rest.find(L'/');
        const std::wstring_view step = rest.substr(0, slash);
        if (!IsPlainName(step))
            return false;
        std::vector<UINT32> children;
        for (UINT32 parent : matched)
            for (UINT32 child = elements[parent].firstChild; child != kNoXmlElement;
                 child = elements[child].nextSibling)
                if (tree_->Text(elements[child].name) == step)
                    children.push_back(child);
        matched.swap(children);
        if (slash == std::wstring_view::npos)
            break;
        rest.remove_prefix(slash + 1);
    }
    selection_ = std::move(matched);
    return true;
}

bool CXmlDocument::NextMatch(const wchar_t* attributeName, std::wstring* attributeValue, std::wstring* text,
                             XmlNode* node)
{
    const bool wantAttribute = attributeName != nullptr && attributeName[0] != 0;
    while (tree_ && nextSelected_ < selection_.size()) {
        const UINT32 index = selection_[nextSelected_++];
        const TXmlElement& element = tree_->elements[index];
        if (element.flags & kXmlTextUnreadable)
            continue;
        const TXmlAttribute* attribute = wantAttribute ? FindAttribute(*tree_, element, attributeName) : nullptr;
        if (wantAttribute && attribute == nullptr)
            continue;
        if (attributeValue && attribute)
            attributeValue->assign(tree_->Text(attribute->value));
        if (text)
            text->assign(tree_->Text(element.text));
        if (node)
            *node = XmlNode(tree_, index);
        return true;
    }
    return false;
}

bool CXmlDocument::ReadText(const wchar_t* path, std::wstring* text)
{
    return Select(path) && NextMatch(nullptr, nullptr, text, nullptr);
}

bool CXmlDocument::OpenAttributes(const XmlNode& node)
{
    attributeOwner_ = node;
    nextAttribute_ = 0;
    return static_cast<bool>(node);
}

bool CXmlDocument::NextAttribute(std::wstring* name, std::wstring* value)
{
    if (!attributeOwner_)
        return false;
    const TXmlElement& element = attributeOwner_.Element();
    if (nextAttribute_ >= element.attributeCount)
        return false;
    const TXmlTree& tree = *attributeOwner_.tree_;
    const TXmlAttribute& attribute = tree.attributes[element.firstAttribute + nextAttribute_++];
    if (name)
        name->assign(tree.Text(attribute.name));
    if (value)
        value->assign(tree.Text(attribute.value));
    return true;
}

bool CXmlDocument::ReadAttributeTable(const XmlNode& node, TAttributeEntry* table, int count)
{
    if (!node || table == nullptr || count <= 0)
        return false;
    const TXmlTree& tree = *node.tree_;
    const TXmlElement& element = node.Element();
    for (UINT32 at = 0; at < element.attributeCount; ++at) {
        const TXmlAttribute& attribute = tree.attributes[element.firstAttribute + at];
        const std::wstring_view name = tree.Text(attribute.name);
        for (int row = 0; row < count; ++row)
            if (SameNameIgnoringCase(table[row].name, name, kAttributeNameCompareChars)) {
                CopyCut(table[row].value, tree.Text(attribute.value));
                break;
            }
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

bool NodeText(const XmlNode& node, std::wstring* text)
{
    if (!node || text == nullptr || (node.Element().flags & kXmlTextUnreadable))
        return false;
    text->assign(node.tree_->Text(node.Element().text));
    return true;
}

bool NextChildElement(const XmlNode& parent, XmlNode* cursor, std::wstring* elementName)
{
    if (!parent || cursor == nullptr)
        return false;
    // The cursor's own tree: it may stand in another document than parent.
    std::shared_ptr<const TXmlTree> tree = *cursor ? cursor->tree_ : parent.tree_;
    const UINT32 next = *cursor ? cursor->Element().nextSibling : parent.Element().firstChild;
    if (next == kNoXmlElement) {
        cursor->reset();
        return false;
    }
    if (elementName)
        elementName->assign(tree->Text(tree->elements[next].name));
    *cursor = XmlNode(std::move(tree), next);
    return true;
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
