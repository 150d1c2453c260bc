// CPictureStore: the skin's decoded pictures kept from one run to the next.
// Decoding the two dozen pictures the main window shows at start costs about
// a millisecond each; reading their pixels back from one file costs a
// fraction of that. Each picture is keyed by its file's full path, size and
// last write time, so a picture whose file changed is decoded again. A save
// writes the pictures of this run first, then carries over those of earlier
// runs (another skin, another copy of the product) up to a size limit, the
// least recent dropped first.
//
// The file is only ever replaced whole (written beside it, then moved over
// it). A file whose layout does not add up, or an entry whose pixels do not
// match their check sum, is not used; the pictures are then decoded as if
// there were no store. Nothing here is ever more than a cache: losing the
// file costs one slower start.
#pragma once

#include <windows.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "framework/BitmapPixels.h"
#include "framework/Handles.h"

namespace kivra {

// A picture to keep, as the skin holds it.
struct TStoredPictureRef {
    const std::wstring* path = nullptr;
    ULONGLONG size = 0;
    FILETIME written = {};
    const TPicturePixels* pixels = nullptr;
};

class CPictureStore {
public:
    // The store at file; an empty name keeps nothing. The file is read when
    // the first picture is asked for. dpi is the screen's pixels per inch,
    // at which the stored pictures have their natural size: a store written
    // at another resolution is not used.
    CPictureStore(std::wstring file, SIZE dpi);
    CPictureStore(const CPictureStore&) = delete;
    CPictureStore& operator=(const CPictureStore&) = delete;

    // The stored pixels of the picture at path, when its file still has this
    // size and write time and they match their check sum: in place, in the
    // mapped file, good until Release, Save or the next read of the file.
    // False, with *pixels untouched, otherwise.
    bool FindInPlace(const std::wstring& path, ULONGLONG size, const FILETIME& written, TPixelsView* pixels);

    // Replaces the file with these pictures and the earlier ones carried
    // over, and forgets what was read. False when it cannot be written (the
    // old file then stays as it was).
    bool Save(const std::vector<TStoredPictureRef>& pictures);

    // Forgets what was read, and lets go of the file.
    void Release();

    // The file of the current user's store: "Kivra\pictures.cache" in the
    // local application data folder, made when missing. Empty when there is
    // no such folder.
    static std::wstring UserStoreFile();
    // The screen's pixels per inch, across and down.
    static SIZE ScreenDpi();

private:
    // An entry of the file as read; offsets into the mapped view.
    struct TEntry {
        ULONGLONG size = 0;
        ULONGLONG written = 0;
        int width = 0;
        int height = 0;
        ULONGLONG sum = 0;
        size_t pixelsOffset = 0;
        size_t recordOffset = 0;  // the whole entry, as a save carries it over
        size_t recordBytes = 0;
    };

    void Read();
    bool ParseView();
    const unsigned char* View() const { return static_cast<const unsigned char*>(view_.get()); }

    std::wstring file_;
    SIZE dpi_ = {};
    bool read_ = false;
    UniqueMappedView view_;
    size_t viewBytes_ = 0;
    std::unordered_map<std::wstring, TEntry> entries_;
};

// The check sum the store keeps for pixels.
ULONGLONG PixelsCheckSum(const RGBQUAD* pixels, size_t count);

}  // namespace kivra
