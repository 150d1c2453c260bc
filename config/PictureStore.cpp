#include "config/PictureStore.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <unordered_set>
#include <utility>

#include "framework/DiskFile.h"
#include "framework/Handles.h"

namespace kivra {

namespace {

// The file: a header, then one entry after another, each a fixed part, the
// path (UTF-16, padded to four bytes) and the pixels as TPicturePixels holds
// them. All numbers little-endian, as the machine writes them.
constexpr char kStoreMagic[4] = {'K', 'V', 'P', 'S'};
constexpr UINT32 kStoreVersion = 1;

struct TStoreHeader {
    char magic[4];
    UINT32 version;
    INT32 dpiX;
    INT32 dpiY;
    UINT32 count;
    UINT32 reserved;
};
static_assert(sizeof(TStoreHeader) == 24);

struct TStoreEntry {
    UINT32 pathChars;
    INT32 width;
    INT32 height;
    UINT32 reserved;
    ULONGLONG size;
    ULONGLONG written;
    ULONGLONG sum;
};
static_assert(sizeof(TStoreEntry) == 40);

// Bounds a damaged file cannot talk us past.
constexpr ULONGLONG kMaxStoreBytes = 32ull * 1024 * 1024;
constexpr ULONGLONG kMaxSavedPixelBytes = 16ull * 1024 * 1024;  // the rest is decoded each time
constexpr UINT32 kMaxStoredPathChars = 32767;
constexpr INT32 kMaxSide = 32768;


ULONGLONG FileTimeValue(const FILETIME& time)
{
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

ULONGLONG PixelsCheckSum(const RGBQUAD* pixels, size_t count)
{
    // Two running sums (Fletcher's): cheap enough to check a picture on each
    // start, and a run of zeros written by a lost write changes the second.
    ULONGLONG first = 1;
    ULONGLONG second = 0;
    for (size_t i = 0; i < count; ++i) {
        UINT32 word;
        memcpy(&word, &pixels[i], sizeof(word));
        first += word;
        second += first;
    }
    return (second << 32) ^ first;
}

CPictureStore::CPictureStore(std::wstring file, SIZE dpi) : file_(std::move(file)), dpi_(dpi) {}

void CPictureStore::Read()
{
    Release();
    read_ = true;
    // Mapped, not read: only the pages of the pictures asked for are touched.
    if (!MapWholeFile(file_, sizeof(TStoreHeader), kMaxStoreBytes, &view_, &viewBytes_))
        return;
    try {
        if (ParseView())
            return;
    } catch (const std::bad_alloc&) {
    }
    Release();
}

bool CPictureStore::ParseView()
{
    TStoreHeader header;
    memcpy(&header, View(), sizeof(header));
    if (memcmp(header.magic, kStoreMagic, sizeof(kStoreMagic)) != 0 || header.version != kStoreVersion ||
        header.dpiX != dpi_.cx || header.dpiY != dpi_.cy)
        return false;

    size_t at = sizeof(header);
    for (UINT32 n = 0; n < header.count; ++n) {
        const size_t recordOffset = at;
        TStoreEntry entry;
        if (viewBytes_ - at < sizeof(entry))
            return false;
        memcpy(&entry, View() + at, sizeof(entry));
        at += sizeof(entry);
        if (entry.pathChars == 0 || entry.pathChars > kMaxStoredPathChars || entry.width <= 0 || entry.height <= 0 ||
            entry.width > kMaxSide || entry.height > kMaxSide)
            return false;
        const size_t pathBytes = PaddedTextBytes(entry.pathChars);
        const ULONGLONG pixelBytes = static_cast<ULONGLONG>(entry.width) * entry.height * sizeof(RGBQUAD);
        if (viewBytes_ - at < pathBytes || viewBytes_ - at - pathBytes < pixelBytes)
            return false;
        std::wstring path(entry.pathChars, L'\0');
        memcpy(path.data(), View() + at, entry.pathChars * sizeof(wchar_t));
        at += pathBytes + static_cast<size_t>(pixelBytes);
        entries_[std::move(path)] = {entry.size,  entry.written, entry.width,  entry.height,
                                     entry.sum,   at - static_cast<size_t>(pixelBytes),
                                     recordOffset, at - recordOffset};
    }
    return at == viewBytes_;
}

void CPictureStore::Release()
{
    entries_.clear();
    view_.reset();
    viewBytes_ = 0;
}

bool CPictureStore::FindInPlace(const std::wstring& path, ULONGLONG size, const FILETIME& written,
                                TPixelsView* pixels)
{
    if (pixels == nullptr)
        return false;
    if (!read_)
        Read();
    const auto found = entries_.find(path);
    if (found == entries_.end())
        return false;
    const TEntry& entry = found->second;
    if (entry.size != size || entry.written != FileTimeValue(written))
        return false;
    const size_t count = static_cast<size_t>(entry.width) * entry.height;
    // Entries start on four-byte boundaries of a view that starts on a page.
    const auto* stored = reinterpret_cast<const RGBQUAD*>(View() + entry.pixelsOffset);
    if (PixelsCheckSum(stored, count) != entry.sum) {
        entries_.erase(found);  // damaged: decoded again, and not carried over
        return false;
    }
    *pixels = {entry.width, entry.height, stored};
    return true;
}

bool CPictureStore::Save(const std::vector<TStoredPictureRef>& pictures)
{
    if (file_.empty())
        return false;
    if (!view_)
        Read();  // what other runs saved meanwhile, to carry it over
    std::vector<unsigned char> out;
    try {
        TStoreHeader header = {{}, kStoreVersion, dpi_.cx, dpi_.cy, 0, 0};
        memcpy(header.magic, kStoreMagic, sizeof(kStoreMagic));
        AppendBytes(out, &header, sizeof(header));
        std::unordered_set<std::wstring> saved;
        ULONGLONG pixelBytes = 0;
        for (const TStoredPictureRef& picture : pictures) {
            if (picture.path == nullptr || picture.pixels == nullptr || picture.path->empty() ||
                picture.path->size() > kMaxStoredPathChars)
                continue;
            const TPicturePixels& pixels = *picture.pixels;
            const size_t count = pixels.pixels.size();
            if (pixels.width <= 0 || pixels.height <= 0 || pixels.width > kMaxSide || pixels.height > kMaxSide ||
                count != static_cast<size_t>(pixels.width) * pixels.height)
                continue;
            if (pixelBytes + count * sizeof(RGBQUAD) > kMaxSavedPixelBytes)
                continue;
            pixelBytes += count * sizeof(RGBQUAD);
            const TStoreEntry entry = {static_cast<UINT32>(picture.path->size()), pixels.width, pixels.height, 0,
                                       picture.size, FileTimeValue(picture.written),
                                       PixelsCheckSum(pixels.pixels.data(), count)};
            AppendBytes(out, &entry, sizeof(entry));
            const size_t pathBytes = picture.path->size() * sizeof(wchar_t);
            AppendBytes(out, picture.path->data(), pathBytes);
            out.resize(out.size() + PaddedTextBytes(picture.path->size()) - pathBytes, 0);
            AppendBytes(out, pixels.pixels.data(), count * sizeof(RGBQUAD));
            saved.insert(*picture.path);
            ++header.count;
        }

        // Then the earlier runs' pictures, in the order the file had them.
        std::vector<const TEntry*> earlier;
        for (const auto& [path, entry] : entries_)
            if (saved.find(path) == saved.end())
                earlier.push_back(&entry);
        std::sort(earlier.begin(), earlier.end(),
                  [](const TEntry* a, const TEntry* b) { return a->recordOffset < b->recordOffset; });
        for (const TEntry* entry : earlier) {
            const ULONGLONG bytes = static_cast<ULONGLONG>(entry->width) * entry->height * sizeof(RGBQUAD);
            if (pixelBytes + bytes > kMaxSavedPixelBytes)
                break;  // the older ones drop out
            pixelBytes += bytes;
            AppendBytes(out, View() + entry->recordOffset, entry->recordBytes);
            ++header.count;
        }
        memcpy(out.data(), &header, sizeof(header));
    } catch (const std::bad_alloc&) {
        return false;
    }
    Release();  // a mapped file cannot be replaced
    return ReplaceFileWhole(file_, out.data(), out.size());
}

SIZE CPictureStore::ScreenDpi()
{
    WindowDc screen(nullptr);
    if (!screen)
        return {};
    return {::GetDeviceCaps(screen.get(), LOGPIXELSX), ::GetDeviceCaps(screen.get(), LOGPIXELSY)};
}

std::wstring CPictureStore::UserStoreFile()
{
    return UserCacheFile(L"pictures.cache");
}

}  // namespace kivra
