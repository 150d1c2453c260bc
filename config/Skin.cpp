#include "config/Skin.h"

#include <cwchar>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "config/SkinKeys.h"
#include "config/Values.h"

namespace kivra {

namespace {

constexpr wchar_t kSkinFileName[] = L"skin.xml";
// A skin lives in <product>\skin\<name>; its shared images in <product>\common\.
constexpr wchar_t kSkinsFolderMark[] = L"\\skin\\";
constexpr wchar_t kCommonFolderName[] = L"common\\";

// folder followed by fileName, when it fits.
bool JoinPath(const wchar_t* folder, const wchar_t* fileName, wchar_t (&path)[kMaxPathChars + 1])
{
    return CopyText(path, folder) && AppendText(path, fileName);
}

}  // namespace

CSkin::CSkin() : document_(std::make_unique<CXmlDocument>()) {}

void CSkin::Close()
{
    document_ = std::make_unique<CXmlDocument>();
    CopyText(skinFolder_, nullptr);
    CopyText(commonFolder_, nullptr);
    CopyText(skinName_, nullptr);
    CopyText(version_, nullptr);
    CopyText(company_, nullptr);
    CopyText(url_, nullptr);
    previewFile_.clear();
    previewRead_ = false;
    preview_.reset();
    pictures_.clear();
}

bool CSkin::SetFolders(const wchar_t* folder)
{
    if (!CopyText(skinFolder_, folder) || !AppendText(skinFolder_, L"\\"))
        return false;
    // The common folder sits beside the skins folder: cut right after the
    // backslash that opens the first "\skin\" and append "common\".
    const wchar_t* mark = wcsstr(folder, kSkinsFolderMark);
    if (mark == nullptr)
        return false;
    const size_t keep = static_cast<size_t>(mark - folder) + 1;
    if (keep > kMaxPathChars)
        return false;
    std::wstring common(folder, keep);
    return CopyText(commonFolder_, common.c_str()) && AppendText(commonFolder_, kCommonFolderName);
}

void CSkin::ReadDescription()
{
    struct Entry {
        const wchar_t* path;
        wchar_t* field;
    };
    const Entry entries[] = {
        {skinpath::kDescriptionSkinName, skinName_},
        {skinpath::kDescriptionVersion, version_},
        {skinpath::kDescriptionCompany, company_},
        {skinpath::kDescriptionUrl, url_},
    };
    for (const Entry& entry : entries) {
        std::wstring text;
        if (document_->ReadText(entry.path, &text))
            CopyText(entry.field, kSkinTextSize, text.c_str());  // longer texts are cut to 63
    }
}

bool CSkin::Open(const wchar_t* folder, CDocumentStore* documents)
{
    Close();
    if (folder == nullptr || folder[0] == 0)
        return false;

    wchar_t skinFile[kMaxPathChars + 1];
    if (!SetFolders(folder) || !JoinPath(skinFolder_, kSkinFileName, skinFile) || !document_->Load(skinFile, documents)) {
        Close();
        return false;
    }

    ReadDescription();

    // The preview element is what makes a folder a skin; its text may be empty.
    std::wstring preview;
    if (!document_->ReadText(skinpath::kDescriptionPreview, &preview)) {
        Close();
        return false;
    }
    // Nothing on the way to the main window shows it: it is decoded when it
    // is first asked for.
    previewFile_ = std::move(preview);
    return true;
}

HBITMAP CSkin::Preview() const
{
    if (!previewRead_ && !previewFile_.empty()) {
        previewRead_ = true;
        LoadSkinImage(previewFile_.c_str(), &preview_);  // a preview that does not load is no error
    }
    return preview_.get();
}

bool CSkin::LoadFromSkinThenCommon(const wchar_t* fileName,
                                   const std::function<bool(const wchar_t* path)>& load) const
{
    if (fileName == nullptr || fileName[0] == 0 || skinFolder_[0] == 0)
        return false;
    wchar_t path[kMaxPathChars + 1];
    if (JoinPath(skinFolder_, fileName, path) && load(path))
        return true;
    return JoinPath(commonFolder_, fileName, path) && load(path);
}

bool CSkin::LoadSkinImage(const wchar_t* fileName, HBITMAP* bitmap) const
{
    if (bitmap == nullptr)
        return false;
    *bitmap = nullptr;
    return LoadFromSkinThenCommon(fileName, [&](const wchar_t* path) {
        if (LoadCachedPicture(path, bitmap))
            return true;
        *bitmap = nullptr;
        return false;
    });
}

bool CSkin::FindCachedPicture(const wchar_t* path, TCachedPicture** picture) const
{
    *picture = nullptr;
    if (openBatches_ > 0) {
        try {
            const auto known = pictures_.find(path);
            if (known != pictures_.end() && known->second.batch == batch_) {
                *picture = &known->second;  // looked at in this batch already
                return true;
            }
        } catch (const std::bad_alloc&) {
        }
    }
    return LookAtPictureFile(path, picture);
}

bool CSkin::LoadCachedPicture(const wchar_t* path, HBITMAP* bitmap) const
{
    // Skins name the same few pictures for many buttons; decoding is what
    // costs, a copy of decoded pixels is cheap.
    TCachedPicture* picture = nullptr;
    if (!FindCachedPicture(path, &picture))
        return LoadPictureFile(path, 0, 0, bitmap);  // the cache cannot serve it
    if (picture == nullptr)
        return false;
    // Each caller's own copy is a DIB section, which selects into a memory DC
    // whatever the display's format (a copy of the display's own format could
    // not follow a change of the colour depth).
    *bitmap = BitmapFromPixels(PixelsOf(*picture));
    return *bitmap != nullptr;
}

bool CSkin::LoadSharedPicture(const wchar_t* path, SharedBitmap* bitmap) const
{
    TCachedPicture* picture = nullptr;
    if (!FindCachedPicture(path, &picture)) {
        HBITMAP own = nullptr;
        if (!LoadPictureFile(path, 0, 0, &own))
            return false;
        *bitmap = SharedBitmap(UniqueBitmap(own));
        return *bitmap != nullptr;
    }
    if (picture == nullptr)
        return false;
    // Even a copy of pixels costs: a thousand buttons showing five pictures
    // made three thousand DIB sections. One per picture serves them all.
    if (picture->bitmap == nullptr)
        picture->bitmap = SharedBitmap(UniqueBitmap(BitmapFromPixels(PixelsOf(*picture))));
    *bitmap = picture->bitmap;
    return *bitmap != nullptr;
}

bool CSkin::LookAtPictureFile(const wchar_t* path, TCachedPicture** picture) const
{
    *picture = nullptr;
    WIN32_FILE_ATTRIBUTE_DATA file = {};
    if (!::GetFileAttributesExW(path, GetFileExInfoStandard, &file)) {
        const DWORD error = ::GetLastError();
        // Cannot tell whether it changed: no cache.
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    if (file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return true;
    const ULONGLONG size = (static_cast<ULONGLONG>(file.nFileSizeHigh) << 32) | file.nFileSizeLow;

    try {
        auto cached = pictures_.find(path);
        const bool current = cached != pictures_.end() && cached->second.size == size &&
                             ::CompareFileTime(&cached->second.written, &file.ftLastWriteTime) == 0;
        if (!current) {
            if (cached != pictures_.end())
                pictures_.erase(cached);
            TCachedPicture decoded{file.ftLastWriteTime, size, {}, {}, {}, 0};
            std::wstring key(path);
            // In place: a copy of each stored picture cost a start-up about
            // 1.5 ms. They are copied when the store lets go of its file.
            if (store_ == nullptr || !store_->FindInPlace(key, size, file.ftLastWriteTime, &decoded.stored)) {
                if (!LoadPicturePixels(path, &decoded.pixels))
                    return true;  // no picture
                storeBehind_ = store_ != nullptr;
            }
            cached = pictures_.emplace(std::move(key), std::move(decoded)).first;
        }
        cached->second.batch = openBatches_ > 0 ? batch_ : 0;
        *picture = &cached->second;
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

TPixelsView CSkin::PixelsOf(const TCachedPicture& picture)
{
    if (picture.stored.pixels != nullptr)
        return picture.stored;
    return {picture.pixels.width, picture.pixels.height, picture.pixels.pixels.data()};
}

void CSkin::OwnStoredPixels() const
{
    for (auto it = pictures_.begin(); it != pictures_.end();) {
        TCachedPicture& picture = it->second;
        if (picture.stored.pixels == nullptr) {
            ++it;
            continue;
        }
        const size_t count = static_cast<size_t>(picture.stored.width) * picture.stored.height;
        try {
            picture.pixels.pixels.assign(picture.stored.pixels, picture.stored.pixels + count);
            picture.pixels.width = picture.stored.width;
            picture.pixels.height = picture.stored.height;
            picture.stored = {};
            ++it;
        } catch (const std::bad_alloc&) {
            it = pictures_.erase(it);  // decoded again when next asked for
        }
    }
}

void CSkin::KeepPicturesIn(std::unique_ptr<CPictureStore> store)
{
    OwnStoredPixels();  // the old store goes
    store_ = std::move(store);
    storeBehind_ = false;
}

void CSkin::SavePictures() const
{
    if (store_ == nullptr)
        return;
    OwnStoredPixels();  // the store lets go of its file either way
    if (!storeBehind_) {
        store_->Release();  // all it had is read
        return;
    }
    std::vector<TStoredPictureRef> pictures;
    try {
        pictures.reserve(pictures_.size());
        for (const auto& [path, picture] : pictures_)
            pictures.push_back({&path, picture.size, picture.written, &picture.pixels});
    } catch (const std::bad_alloc&) {
        return;
    }
    if (store_->Save(pictures))
        storeBehind_ = false;
}

CSkin::PictureBatch::PictureBatch(const CSkin& skin) : skin_(skin)
{
    if (skin_.openBatches_++ == 0)
        ++skin_.batch_;
}

CSkin::PictureBatch::~PictureBatch()
{
    --skin_.openBatches_;
}

bool CSkin::LoadSkinImage(const wchar_t* fileName, UniqueBitmap* bitmap) const
{
    if (bitmap == nullptr)
        return false;
    HBITMAP loaded = nullptr;
    const bool ok = LoadSkinImage(fileName, &loaded);
    bitmap->reset(loaded);
    return ok;
}

bool CSkin::LoadSkinImage(const wchar_t* fileName, SharedBitmap* bitmap) const
{
    if (bitmap == nullptr)
        return false;
    bitmap->reset();
    return LoadFromSkinThenCommon(fileName, [&](const wchar_t* path) { return LoadSharedPicture(path, bitmap); });
}

bool CSkin::ReadAccelerators(std::vector<TAccelKey>* keys)
{
    if (keys == nullptr || !document_->Select(skinpath::kAcceleratorKey))
        return false;

    XmlNode node;
    while (document_->NextMatch(nullptr, nullptr, nullptr, &node)) {
        // Every key element starts from empty values: an attribute one key
        // leaves out must not take the value an earlier key gave it.
        TAttributeEntry rows[] = {
            {L"control", L""}, {L"alt", L""}, {L"shift", L""}, {L"code", L""}, {L"cmdid", L""}, {L"name", L""},
        };
        if (!document_->ReadAttributeTable(node, rows))
            continue;
        TAccelKey key{};
        key.control = ParseFalseTestFlag(AttributeValue(rows, L"control"), true);
        key.alt = ParseFalseTestFlag(AttributeValue(rows, L"alt"), false);
        key.shift = ParseFalseTestFlag(AttributeValue(rows, L"shift"), false);
        CopyText(key.code, AttributeValue(rows, L"code"));
        key.cmdid = ParseHex(AttributeValue(rows, L"cmdid"), 0);
        NarrowName(key.name, AttributeValue(rows, L"name"));
        keys->push_back(key);
    }
    return true;
}

}  // namespace kivra
