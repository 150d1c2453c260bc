#include "config/DocumentStore.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "framework/DiskFile.h"

namespace kivra {

namespace {

// The file: a header, then one record after another, each a fixed part and
// the tree's elements, attributes and characters as TXmlTree holds them
// (the characters padded to four bytes). All numbers little-endian, as the
// machine writes them.
constexpr char kStoreMagic[4] = {'K', 'V', 'X', 'D'};
constexpr UINT32 kStoreVersion = 1;

struct TStoreHeader {
    char magic[4];
    UINT32 version;
    UINT32 count;
    UINT32 reserved;
};
static_assert(sizeof(TStoreHeader) == 16);

struct TStoredTree {
    ULONGLONG sourceBytes;
    ULONGLONG sourceSum;
    UINT32 elements;
    UINT32 attributes;
    UINT32 chars;
    UINT32 reserved;
    ULONGLONG treeSum;  // of the arrays that follow
};
static_assert(sizeof(TStoredTree) == 40);

// Bounds a damaged file cannot talk us past; a save stops adding earlier
// documents at the second. A product's three documents take some 60 KB, a
// skin of a thousand buttons about 1 MB.
constexpr size_t kMaxStoreBytes = 16 * 1024 * 1024;
constexpr size_t kMaxSavedBytes = 4 * 1024 * 1024;

// The bytes after a record's fixed part, or 0 when its counts cannot be.
size_t TreeBytes(const TStoredTree& record)
{
    constexpr size_t kMostItems = kMaxStoreBytes / sizeof(TXmlAttribute);
    if (record.elements > kMostItems || record.attributes > kMostItems || record.chars > kMaxStoreBytes)
        return 0;
    return record.elements * sizeof(TXmlElement) + record.attributes * sizeof(TXmlAttribute) +
           PaddedTextBytes(record.chars);
}

}  // namespace

ULONGLONG DocumentCheckSum(const void* bytes, size_t size)
{
    // FNV-1a: cheap over a document's few kilobytes, and one changed byte
    // anywhere changes it.
    ULONGLONG sum = 14695981039346656037ull;
    const auto* at = static_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < size; ++i)
        sum = (sum ^ at[i]) * 1099511628211ull;
    return sum;
}

CDocumentStore::CDocumentStore(std::wstring file) : file_(std::move(file)) {}

void CDocumentStore::Read()
{
    Release();
    read_ = true;
    if (!MapWholeFile(file_, sizeof(TStoreHeader), kMaxStoreBytes, &view_, &viewBytes_))
        return;
    TStoreHeader header;
    memcpy(&header, View(), sizeof(header));
    if (memcmp(header.magic, kStoreMagic, sizeof(kStoreMagic)) != 0 || header.version != kStoreVersion)
        return;
    size_t at = sizeof(header);
    std::map<TKey, TEntry> entries;
    for (UINT32 n = 0; n < header.count; ++n) {
        TStoredTree record;
        if (viewBytes_ - at < sizeof(record))
            return;
        memcpy(&record, View() + at, sizeof(record));
        const size_t treeBytes = TreeBytes(record);
        if (treeBytes == 0 || viewBytes_ - at - sizeof(record) < treeBytes)
            return;
        entries[{record.sourceBytes, record.sourceSum}] = {at, sizeof(record) + treeBytes};
        at += sizeof(record) + treeBytes;
    }
    if (at == viewBytes_)
        entries_ = std::move(entries);
}

void CDocumentStore::Release()
{
    read_ = false;
    entries_.clear();
    view_.reset();
    viewBytes_ = 0;
}

bool CDocumentStore::Find(ULONGLONG sourceBytes, ULONGLONG sourceSum, TXmlTree* tree)
{
    if (!read_)
        Read();
    const auto found = entries_.find({sourceBytes, sourceSum});
    if (found == entries_.end() || tree == nullptr)
        return false;
    TStoredTree record;
    const char* at = View() + found->second.offset;
    memcpy(&record, at, sizeof(record));
    at += sizeof(record);
    if (DocumentCheckSum(at, found->second.bytes - sizeof(record)) != record.treeSum) {
        entries_.erase(found);  // damaged: parsed again, and not carried over
        return false;
    }
    tree->elements.resize(record.elements);
    memcpy(tree->elements.data(), at, record.elements * sizeof(TXmlElement));
    at += record.elements * sizeof(TXmlElement);
    tree->attributes.resize(record.attributes);
    memcpy(tree->attributes.data(), at, record.attributes * sizeof(TXmlAttribute));
    at += record.attributes * sizeof(TXmlAttribute);
    tree->chars.assign(reinterpret_cast<const wchar_t*>(at), record.chars);
    if (!tree->IsSound()) {
        *tree = {};
        entries_.erase(found);
        return false;
    }
    found_.insert(found->first);
    return true;
}

void CDocumentStore::Keep(ULONGLONG sourceBytes, ULONGLONG sourceSum, const TXmlTree& tree)
{
    TStoredTree record = {sourceBytes,
                          sourceSum,
                          static_cast<UINT32>(tree.elements.size()),
                          static_cast<UINT32>(tree.attributes.size()),
                          static_cast<UINT32>(tree.chars.size()),
                          0,
                          0};
    // A tree that would crowd out every other one is parsed each time: a
    // store file past its bound would not be read at all.
    const size_t treeBytes = TreeBytes(record);
    if (treeBytes == 0 || sizeof(TStoreHeader) + sizeof(record) + treeBytes > kMaxSavedBytes)
        return;
    try {
        std::vector<unsigned char> out;
        AppendBytes(out, &record, sizeof(record));
        AppendBytes(out, tree.elements.data(), tree.elements.size() * sizeof(TXmlElement));
        AppendBytes(out, tree.attributes.data(), tree.attributes.size() * sizeof(TXmlAttribute));
        AppendBytes(out, tree.chars.data(), tree.chars.size() * sizeof(wchar_t));
        out.resize(sizeof(record) + treeBytes, 0);
        record.treeSum = DocumentCheckSum(out.data() + sizeof(record), out.size() - sizeof(record));
        memcpy(out.data(), &record, sizeof(record));
        kept_.emplace_back(TKey{sourceBytes, sourceSum}, std::move(out));
    } catch (const std::bad_alloc&) {
    }
}

bool CDocumentStore::Save()
{
    if (kept_.empty())
        return true;
    if (!read_)
        Read();
    std::vector<unsigned char> out;
    try {
        TStoreHeader header = {{}, kStoreVersion, 0, 0};
        memcpy(header.magic, kStoreMagic, sizeof(kStoreMagic));
        AppendBytes(out, &header, sizeof(header));
        std::set<TKey> saved;
        for (const auto& [key, record] : kept_)
            if (out.size() + record.size() <= kMaxSavedBytes && saved.insert(key).second) {
                AppendBytes(out, record.data(), record.size());
                ++header.count;
            }
        // Then the earlier ones: those found this run first, each group in
        // the order the file had them.
        std::vector<std::pair<TKey, const TEntry*>> earlier;
        for (const auto& [key, entry] : entries_)
            if (saved.find(key) == saved.end())
                earlier.emplace_back(key, &entry);
        std::sort(earlier.begin(), earlier.end(), [this](const auto& a, const auto& b) {
            const bool aFound = found_.count(a.first) != 0, bFound = found_.count(b.first) != 0;
            return aFound != bFound ? aFound : a.second->offset < b.second->offset;
        });
        for (const auto& [key, entry] : earlier) {
            if (out.size() + entry->bytes > kMaxSavedBytes)
                break;  // the older ones drop out
            AppendBytes(out, View() + entry->offset, entry->bytes);
            ++header.count;
        }
        memcpy(out.data(), &header, sizeof(header));
    } catch (const std::bad_alloc&) {
        return false;
    }
    Release();  // a mapped file cannot be replaced; what was written is read afresh
    if (!ReplaceFileWhole(file_, out.data(), out.size()))
        return false;
    kept_.clear();
    return true;
}

std::wstring CDocumentStore::UserStoreFile()
{
    return UserCacheFile(L"documents.cache");
}

}  // namespace kivra
