#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/PictureStore.h"
#include "config/Skin.h"
#include "tests/config/SkinFixture.h"
#include "tests/support/Bitmaps.h"

namespace kivra {
namespace {

using skintest::SkinFixture;

class PictureStoreTest : public skintest::SkinTest {};

constexpr SIZE kDpi = {96, 96};

FILETIME WriteTimeOf(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

void SetWriteTime(const std::wstring& path, FILETIME time)
{
    UniqueFile file(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                  nullptr));
    ASSERT_TRUE(file && ::SetFileTime(file.get(), nullptr, nullptr, &time));
}

COLORREF CornerOf(CSkin& skin, const wchar_t* name)
{
    UniqueBitmap bitmap;
    if (!skin.LoadSkinImage(name, &bitmap))
        return CLR_INVALID;
    return testing::PixelOf(bitmap.get(), 0, 0);
}

TEST_F(PictureStoreTest, SkinPicturesComeBackFromTheStoreUntilTheirFileChanges)
{
    SkinFixture fixture;
    const std::wstring face = fixture.SkinFolder() + L"\\face.bmp";
    const std::wstring storeFile = fixture.Root() + L"\\pictures.cache";
    fixture.WriteSkinImage(L"face.bmp", 4, 3, RGB(10, 20, 30));
    const auto openWithStore = [&](CSkin& skin) {
        ASSERT_TRUE(fixture.Open(skin, L""));
        skin.KeepPicturesIn(std::make_unique<CPictureStore>(storeFile, kDpi));
    };
    {
        CSkin skin;
        openWithStore(skin);
        EXPECT_EQ(CornerOf(skin, L"face.bmp"), RGB(10, 20, 30));
        skin.SavePictures();
    }
    ASSERT_FALSE(testing::ReadFileBytes(storeFile).empty());

    // Other pixels of the same size under the old write time: only a picture
    // read back from the store still shows the first colour.
    const FILETIME firstTime = WriteTimeOf(face);
    fixture.WriteSkinImage(L"face.bmp", 4, 3, RGB(200, 100, 50));
    SetWriteTime(face, firstTime);
    {
        CSkin skin;
        openWithStore(skin);
        EXPECT_EQ(CornerOf(skin, L"face.bmp"), RGB(10, 20, 30));
        // Read in place from the store, kept when the store lets go of its file.
        skin.SavePictures();
        EXPECT_EQ(CornerOf(skin, L"face.bmp"), RGB(10, 20, 30));
    }

    // A later write time is a changed file: decoded, and then stored.
    FILETIME later = firstTime;
    later.dwHighDateTime += 1;
    SetWriteTime(face, later);
    {
        CSkin skin;
        openWithStore(skin);
        EXPECT_EQ(CornerOf(skin, L"face.bmp"), RGB(200, 100, 50));
        skin.SavePictures();
    }
    fixture.WriteSkinImage(L"face.bmp", 4, 3, RGB(1, 2, 3));
    SetWriteTime(face, later);
    CSkin skin;
    openWithStore(skin);
    EXPECT_EQ(CornerOf(skin, L"face.bmp"), RGB(200, 100, 50));
}

// One stored picture of 3 x 2 pixels, each its own colour.
struct StoredPicture {
    std::wstring path = L"C:\\product\\skin\\blue\\face.bmp";
    ULONGLONG size = 1234;
    FILETIME written = {0x89ABCDEF, 0x01D9};
    TPicturePixels pixels;
    StoredPicture()
    {
        pixels.width = 3;
        pixels.height = 2;
        for (BYTE n = 1; n <= 6; ++n)
            pixels.pixels.push_back({n, static_cast<BYTE>(n * 2), static_cast<BYTE>(n * 3), 0});
    }
    std::vector<TStoredPictureRef> Refs() const { return {{&path, size, written, &pixels}}; }
};

bool SamePixels(const TPicturePixels& a, const TPicturePixels& b)
{
    return a.width == b.width && a.height == b.height && a.pixels.size() == b.pixels.size() &&
           memcmp(a.pixels.data(), b.pixels.data(), a.pixels.size() * sizeof(RGBQUAD)) == 0;
}

// What the store holds for the picture, copied out of its file.
bool Find(CPictureStore& store, const std::wstring& path, ULONGLONG size, const FILETIME& written,
          TPicturePixels* pixels)
{
    TPixelsView view;
    if (!store.FindInPlace(path, size, written, &view))
        return false;
    pixels->width = view.width;
    pixels->height = view.height;
    pixels->pixels.assign(view.pixels, view.pixels + static_cast<size_t>(view.width) * view.height);
    return true;
}
bool Find(CPictureStore&& store, const std::wstring& path, ULONGLONG size, const FILETIME& written,
          TPicturePixels* pixels)
{
    return Find(store, path, size, written, pixels);
}

TEST_F(PictureStoreTest, FindsAPictureOnlyUnderItsOwnPathSizeAndWriteTimeAndKeepsEarlierOnes)
{
    const StoredPicture stored;
    const std::wstring file = testing::FreshScratchFolder(L"ps1") + L"pictures.cache";
    ASSERT_TRUE(CPictureStore(file, kDpi).Save(stored.Refs()));

    FILETIME otherTime = stored.written;
    otherTime.dwLowDateTime += 1;
    struct Case {
        const char* what;
        std::wstring path;
        ULONGLONG size;
        FILETIME written;
        SIZE dpi;
        bool found;
    };
    const Case cases[] = {
        {"the same file", stored.path, stored.size, stored.written, kDpi, true},
        {"another path", stored.path + L"x", stored.size, stored.written, kDpi, false},
        {"another size", stored.path, stored.size + 1, stored.written, kDpi, false},
        {"another write time", stored.path, stored.size, otherTime, kDpi, false},
        {"another resolution", stored.path, stored.size, stored.written, {120, 120}, false},
    };
    for (const Case& c : cases) {
        CPictureStore store(file, c.dpi);
        TPicturePixels found;
        EXPECT_EQ(Find(store, c.path, c.size, c.written, &found), c.found) << c.what;
        EXPECT_EQ(SamePixels(found, stored.pixels), c.found) << c.what;
    }

    // A later run's save (another skin) carries the earlier picture over,
    // and a save over a damaged picture does not.
    StoredPicture other;
    other.path = L"C:\\product\\common\\wait.bmp";
    ASSERT_TRUE(CPictureStore(file, kDpi).Save(other.Refs()));
    TPicturePixels found;
    EXPECT_TRUE(Find(CPictureStore(file, kDpi), stored.path, stored.size, stored.written, &found));
    EXPECT_TRUE(Find(CPictureStore(file, kDpi), other.path, other.size, other.written, &found));
    {
        std::string bytes = testing::ReadFileBytes(file);
        bytes[bytes.size() - 1] ^= 0x01;  // the carried-over picture, last in the file
        skintest::WriteFileBytes(file, bytes);
        CPictureStore store(file, kDpi);
        EXPECT_FALSE(Find(store, stored.path, stored.size, stored.written, &found));
        ASSERT_TRUE(store.Save(other.Refs()));
    }
    // A store that let go of its file after start-up reads it again to carry
    // it over.
    StoredPicture third;
    third.path = L"C:\\product\\common\\third.bmp";
    {
        CPictureStore store(file, kDpi);
        EXPECT_TRUE(Find(store, other.path, other.size, other.written, &found));
        store.Release();
        ASSERT_TRUE(store.Save(third.Refs()));
    }
    CPictureStore reread(file, kDpi);
    EXPECT_TRUE(Find(reread, third.path, third.size, third.written, &found));
    EXPECT_TRUE(Find(reread, other.path, other.size, other.written, &found));
    EXPECT_FALSE(Find(reread, stored.path, stored.size, stored.written, &found));

    EXPECT_FALSE(CPictureStore(testing::ScratchFolder() + L"no such folder\\pictures.cache", kDpi).Save(other.Refs()));
    EXPECT_FALSE(CPictureStore(L"", kDpi).Save(other.Refs()));
}

TEST_F(PictureStoreTest, ADamagedStoreIsNotUsed)
{
    const StoredPicture stored;
    const std::wstring good = testing::FreshScratchFolder(L"ps2") + L"good.cache";
    ASSERT_TRUE(CPictureStore(good, kDpi).Save(stored.Refs()));
    const std::string bytes = testing::ReadFileBytes(good);
    ASSERT_GT(bytes.size(), 64u + 24u);

    const auto setWord = [](std::string& b, size_t at, UINT32 value) { memcpy(&b[at], &value, sizeof(value)); };
    struct Case {
        const char* what;
        std::function<void(std::string&)> damage;
    };
    const Case cases[] = {
        {"empty", [](std::string& b) { b.clear(); }},
        {"header only", [](std::string& b) { b.resize(24); }},
        {"last byte missing", [](std::string& b) { b.pop_back(); }},
        {"a byte too many", [](std::string& b) { b.push_back('\0'); }},
        {"another magic", [](std::string& b) { b[0] = 'X'; }},
        {"a later version", [&](std::string& b) { setWord(b, 4, 2); }},
        {"more entries than there are", [&](std::string& b) { setWord(b, 16, 2); }},
        {"a path longer than the file", [&](std::string& b) { setWord(b, 24, 0x7FFF); }},
        {"an empty path", [&](std::string& b) { setWord(b, 24, 0); }},
        {"a huge width", [&](std::string& b) { setWord(b, 28, 0x7FFFFFFF); }},
        {"a negative height", [&](std::string& b) { setWord(b, 32, 0xFFFFFFFF); }},
        {"a pixel changed", [](std::string& b) { b[b.size() - 5] ^= 0x40; }},
        {"pixels lost to zeros", [](std::string& b) { std::fill(b.end() - 24, b.end(), '\0'); }},
    };
    for (const Case& c : cases) {
        std::string damaged = bytes;
        c.damage(damaged);
        const std::wstring file = testing::ScratchFolder() + L"ps2\\damaged.cache";
        skintest::WriteFileBytes(file, damaged);
        CPictureStore store(file, kDpi);
        TPicturePixels found;
        found.width = -7;
        EXPECT_FALSE(Find(store, stored.path, stored.size, stored.written, &found)) << c.what;
        EXPECT_EQ(found.width, -7) << c.what << ": left untouched";
    }
    TPicturePixels found;
    EXPECT_TRUE(Find(CPictureStore(good, kDpi), stored.path, stored.size, stored.written, &found));
}

}  // namespace
}  // namespace kivra
