// CSkin: one opened skin folder (skin\<name>\ beside the executable) with its
// skin.xml, its description, and the image lookup every skin section uses:
// the skin folder first, then the shared common\ folder.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

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
    // skin closed: no document, no folders, no description.
    bool Open(const wchar_t* folder);

    // The skin document for the section readers; empty while not opened.
    CXmlDocument& Document() { return *document_; }

    // Loads fileName from the skin folder, else from the common folder, at its
    // natural size. Fails for a null or empty name, before Open, and for a path
    // that does not fit 259 characters. The caller owns the bitmap.
    bool LoadSkinImage(const wchar_t* fileName, HBITMAP* bitmap) const;
    // The same into an owning handle, which gives up what it held first (and
    // holds nothing when the image does not load).
    bool LoadSkinImage(const wchar_t* fileName, UniqueBitmap* bitmap) const;

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
    // The preview picture, or null; owned by the skin.
    HBITMAP Preview() const { return preview_.get(); }

private:
    void Close();
    bool SetFolders(const wchar_t* folder);
    void ReadDescription();

    wchar_t skinFolder_[kMaxPathChars + 1] = {};
    wchar_t commonFolder_[kMaxPathChars + 1] = {};
    wchar_t skinName_[kSkinTextSize] = {};
    wchar_t version_[kSkinTextSize] = {};
    wchar_t company_[kSkinTextSize] = {};
    wchar_t url_[kSkinTextSize] = {};
    UniqueBitmap preview_;
    // Held by pointer so a failed Open can drop a loaded document.
    std::unique_ptr<CXmlDocument> document_;
};

}  // namespace kivra
