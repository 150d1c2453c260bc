// CSkin: one opened skin folder (skin\<name>\ beside the executable) with its
// skin.xml, its description, and the image lookup every skin section uses:
// the skin folder first, then the shared common\ folder.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "config/PictureStore.h"
#include "config/SkinRecords.h"
#include "config/XmlDocument.h"
#include "framework/Handles.h"
#include "framework/Text.h"

namespace kivra {

class CSkin {
public:
    CSkin();
    CSkin(const CSkin&) = delete;
    CSkin& operator=(const CSkin&) = delete;

    // Opens the skin in folder (absolute, without trailing backslash). Fails
    // when skin.xml is missing or not well-formed, when folder does not lie
    // below a "\skin\" folder, when a path would not fit 259 characters, or
    // when the description has no preview element. A failed Open leaves the
    // skin closed: no document, no folders, no description. skin.xml is
    // read through documents when there is one (see CXmlDocument::Load).
    bool Open(const wchar_t* folder, CDocumentStore* documents = nullptr);

    // The skin document for the section readers; empty while not opened.
    CXmlDocument& Document() { return *document_; }

    // Loads fileName from the skin folder, else from the common folder, at its
    // natural size. Fails for a null or empty name, before Open, and for a path
    // that does not fit 259 characters. The caller owns the bitmap: each call
    // gives a bitmap of its own, copied from the picture the skin decoded when
    // the file was first asked for (a file changed since is decoded anew).
    bool LoadSkinImage(const wchar_t* fileName, HBITMAP* bitmap) const;
    // The same into an owning handle, which gives up what it held first (and
    // holds nothing when the image does not load).
    bool LoadSkinImage(const wchar_t* fileName, UniqueBitmap* bitmap) const;
    // The same picture for everyone who asks for the file (until the file
    // changes): for pictures shown as they are, never drawn into. The skin
    // keeps one reference while it is open; the bitmap goes with its last owner.
    bool LoadSkinImage(const wchar_t* fileName, SharedBitmap* bitmap) const;

    // Appends one record per "skin/accelerator/key" element, in document order.
    // False only when the selection fails (no document).
    bool ReadAccelerators(std::vector<TAccelKey>* keys);

    // Both end with a backslash once opened.
    const wchar_t* SkinFolder() const { return skinFolder_; }
    const wchar_t* CommonFolder() const { return commonFolder_; }

    // The description, at most 63 characters each (longer texts are cut).
    const wchar_t* SkinName() const { return skinName_; }
    const wchar_t* Version() const { return version_; }
    const wchar_t* Company() const { return company_; }
    const wchar_t* Url() const { return url_; }
    // The preview picture, or null; owned by the skin. Decoded on the first
    // request.
    HBITMAP Preview() const;

    // Pictures this skin decodes are kept in store for the next run, and the
    // ones it has are read from there instead of decoded (null: none). The
    // store goes with the skin.
    void KeepPicturesIn(std::unique_ptr<CPictureStore> store);
    // Writes the pictures held now to the store when any of them had to be
    // decoded since the store was read or last written; lets go of the
    // store's file either way.
    void SavePictures() const;

    // While one lives, each picture file is looked at on disk once: a section
    // read in one go (a thousand buttons naming the same few faces) runs no
    // plugin meanwhile, so nothing can change a file under it. Outside one,
    // every load sees whether its file changed since it was decoded.
    class PictureBatch {
    public:
        explicit PictureBatch(const CSkin& skin);
        ~PictureBatch();
        PictureBatch(const PictureBatch&) = delete;
        PictureBatch& operator=(const PictureBatch&) = delete;

    private:
        const CSkin& skin_;
    };

private:
    // A decoded picture file: the file's size and time when it was read, and
    // the decoded pixels, from which each copy is made: its own, or the
    // store's in place until the store lets go of its file (OwnStoredPixels).
    struct TCachedPicture {
        FILETIME written = {};
        ULONGLONG size = 0;
        TPicturePixels pixels;
        TPixelsView stored;  // while pixels is empty
        SharedBitmap bitmap;  // made from pixels when first asked for shared
        unsigned batch = 0;  // the batch in which the file was last looked at
    };

    void Close();
    // fileName in the skin folder, else in common\: load answers for the path
    // it is given. False for an empty name or a skin that is not open, or when
    // neither path loads (or fits 259 characters).
    bool LoadFromSkinThenCommon(const wchar_t* fileName, const std::function<bool(const wchar_t* path)>& load) const;
    // The picture at path, copied from the cache or decoded into it.
    bool LoadCachedPicture(const wchar_t* path, HBITMAP* bitmap) const;
    // The cache's shared bitmap of the picture at path.
    bool LoadSharedPicture(const wchar_t* path, SharedBitmap* bitmap) const;
    // The cache entry of path (null when there is no picture): looked at in
    // the current batch already, else by LookAtPictureFile. False when the
    // cache cannot serve the file.
    bool FindCachedPicture(const wchar_t* path, TCachedPicture** picture) const;
    // Looks at the file at path: *picture becomes its cache entry, decoded
    // anew when the file is new or changed, or null when there is no picture.
    // False when the cache cannot serve the file (unreadable attributes, out
    // of memory): it is then decoded without the cache.
    bool LookAtPictureFile(const wchar_t* path, TCachedPicture** picture) const;
    static TPixelsView PixelsOf(const TCachedPicture& picture);
    // Copies the pixels the store holds in place, before it lets go of them.
    void OwnStoredPixels() const;
    bool SetFolders(const wchar_t* folder);
    void ReadDescription();

    wchar_t skinFolder_[kMaxPathChars + 1] = {};
    wchar_t commonFolder_[kMaxPathChars + 1] = {};
    wchar_t skinName_[kSkinTextSize] = {};
    wchar_t version_[kSkinTextSize] = {};
    wchar_t company_[kSkinTextSize] = {};
    wchar_t url_[kSkinTextSize] = {};
    std::wstring previewFile_;  // "skin/description/preview", may be empty
    mutable bool previewRead_ = false;
    mutable UniqueBitmap preview_;
    // Held by pointer so a failed Open can drop a loaded document.
    std::unique_ptr<CXmlDocument> document_;
    // Pictures by full path; they go with the skin (Close, destruction).
    mutable std::unordered_map<std::wstring, TCachedPicture> pictures_;
    std::unique_ptr<CPictureStore> store_;
    mutable bool storeBehind_ = false;  // a picture was decoded that the store lacks
    mutable unsigned openBatches_ = 0;
    mutable unsigned batch_ = 0;  // the current (or last) batch, counting from 1
};

}  // namespace kivra
