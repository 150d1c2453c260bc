#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/KeyNames.h"
#include "config/Skin.h"
#include "tests/config/SkinFixture.h"
#include "tests/support/Bitmaps.h"

namespace kivra {
namespace {

using skintest::BitmapSize;
using skintest::SkinFixture;

class SkinPackage : public skintest::SkinTest {};

const std::wstring kDescription =
    L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<skin><description>"
    L"<skin-name>Blue</skin-name><version>1.2</version><company>Kivra</company><URL>http://kivra.example</URL>"
    L"<preview>preview.bmp</preview></description></skin>";

TEST_F(SkinPackage, OpensAndReadsTheDescription)
{
    SkinFixture fixture;
    fixture.WriteSkinFile(kDescription);
    fixture.WriteSkinImage(L"preview.bmp", 6, 4);
    CSkin skin;
    ASSERT_TRUE(skin.Open(fixture.SkinFolder().c_str()));
    EXPECT_STREQ(skin.SkinName(), L"Blue");
    EXPECT_STREQ(skin.Version(), L"1.2");
    EXPECT_STREQ(skin.Company(), L"Kivra");
    EXPECT_STREQ(skin.Url(), L"http://kivra.example");
    EXPECT_EQ(BitmapSize(skin.Preview()).cx, 6);
    EXPECT_EQ(BitmapSize(skin.Preview()).cy, 4);
    EXPECT_EQ(std::wstring(skin.SkinFolder()), fixture.SkinFolder() + L"\\");
    EXPECT_EQ(std::wstring(skin.CommonFolder()), fixture.CommonFolder());
    EXPECT_TRUE(skin.Document().IsLoaded());
}

TEST_F(SkinPackage, EmptyPreviewOpensWithoutPictureAndMissingTextsStayEmpty)
{
    SkinFixture fixture;
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, L""));
    EXPECT_EQ(skin.Preview(), nullptr);
    EXPECT_STREQ(skin.SkinName(), L"");
    EXPECT_STREQ(skin.Url(), L"");
}

TEST_F(SkinPackage, PreviewThatDoesNotLoadIsNoError)
{
    SkinFixture fixture;
    fixture.WriteSkinFile(kDescription);  // preview.bmp is not written
    CSkin skin;
    EXPECT_TRUE(skin.Open(fixture.SkinFolder().c_str()));
    EXPECT_EQ(skin.Preview(), nullptr);
}

TEST_F(SkinPackage, OpenFailsAndLeavesTheSkinClosed)
{
    SkinFixture fixture;
    CSkin skin;

    // No description, hence no preview element.
    fixture.WriteSkinFile(L"<skin><tool-bar/></skin>");
    EXPECT_FALSE(skin.Open(fixture.SkinFolder().c_str()));
    EXPECT_FALSE(skin.Document().IsLoaded());
    EXPECT_STREQ(skin.SkinFolder(), L"");

    // A description without preview.
    fixture.WriteSkinFile(L"<skin><description><skin-name>x</skin-name></description></skin>");
    EXPECT_FALSE(skin.Open(fixture.SkinFolder().c_str()));
    EXPECT_STREQ(skin.SkinName(), L"");

    // Malformed.
    fixture.WriteSkinFile(L"<skin><description><preview></description>");
    EXPECT_FALSE(skin.Open(fixture.SkinFolder().c_str()));

    // Missing folder, empty and null folder.
    EXPECT_FALSE(skin.Open((fixture.Root() + L"\\skin\\absent").c_str()));
    EXPECT_FALSE(skin.Open(L""));
    EXPECT_FALSE(skin.Open(nullptr));
    EXPECT_FALSE(skin.Document().Select(L"skin"));
    HBITMAP bitmap = reinterpret_cast<HBITMAP>(1);
    EXPECT_FALSE(skin.LoadSkinImage(L"skin.xml", &bitmap));
    EXPECT_EQ(bitmap, nullptr);
}

TEST_F(SkinPackage, FolderOutsideASkinsFolderIsRefused)
{
    SkinFixture fixture;
    fixture.WriteSkin(L"");
    // The same skin.xml, reached through a folder path without "\skin\".
    const std::wstring elsewhere = fixture.Root() + L"\\themes";
    skintest::WriteFileBytes(elsewhere + L"\\skin.xml", skintest::Utf8(skintest::SkinXml(L"")));
    CSkin skin;
    EXPECT_FALSE(skin.Open(elsewhere.c_str()));
    // "\skin" at the very end is no skins folder either.
    EXPECT_FALSE(skin.Open((fixture.Root() + L"\\skin").c_str()));
    EXPECT_TRUE(skin.Open(fixture.SkinFolder().c_str()));
}

TEST_F(SkinPackage, CommonFolderIsCutAtTheFirstSkinsFolder)
{
    SkinFixture fixture(L"outer");
    // <root>\skin\outer\skin\inner: the common folder is still <root>\common\.
    const std::wstring inner = fixture.SkinFolder() + L"\\skin\\inner";
    skintest::WriteFileBytes(inner + L"\\skin.xml", skintest::Utf8(skintest::SkinXml(L"")));
    CSkin skin;
    ASSERT_TRUE(skin.Open(inner.c_str()));
    EXPECT_EQ(std::wstring(skin.CommonFolder()), fixture.CommonFolder());
}

TEST_F(SkinPackage, DescriptionTextsAreCutTo63CharactersAndKeepNonAsciiText)
{
    SkinFixture fixture;
    const std::wstring c63(63, L'a'), c64(64, L'b'), c65(65, L'c');
    const std::wstring name = L"\u84dd\u8272\u76ae\u80a4 \u00e9t\u00e9";
    CSkin skin;
    fixture.WriteSkinFile(L"<?xml version=\"1.0\" encoding=\"UTF-8\"?><skin><description><skin-name>" + name +
                          L"</skin-name><version>" + c63 + L"</version><company>" + c64 + L"</company><URL>" +
                          c65 + L"</URL><preview/></description></skin>");
    ASSERT_TRUE(skin.Open(fixture.SkinFolder().c_str()));
    EXPECT_EQ(std::wstring(skin.SkinName()), name);
    EXPECT_EQ(std::wstring(skin.Version()), c63);
    EXPECT_EQ(std::wstring(skin.Company()), c64.substr(0, 63));
    EXPECT_EQ(std::wstring(skin.Url()), c65.substr(0, 63));
}

TEST_F(SkinPackage, OverlongFolderIsRefused)
{
    SkinFixture fixture;
    CSkin skin;
    const std::wstring longFolder = fixture.Root() + L"\\skin\\" + std::wstring(260, L'x');
    EXPECT_FALSE(skin.Open(longFolder.c_str()));
    // A folder that fits, but whose skin.xml path would not.
    std::wstring almost = fixture.Root() + L"\\skin\\";
    almost += std::wstring(kMaxPathChars - 1 - almost.size(), L'y');  // + "\" = 259 characters
    EXPECT_FALSE(skin.Open(almost.c_str()));
}

TEST_F(SkinPackage, ImagesComeFromTheSkinFolderFirstThenFromCommon)
{
    SkinFixture fixture;
    fixture.WriteSkinImage(L"both.bmp", 3, 2);
    fixture.WriteCommonImage(L"both.bmp", 5, 4);
    fixture.WriteCommonImage(L"shared.bmp", 7, 3);
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, L""));

    HBITMAP bitmap = nullptr;
    ASSERT_TRUE(skin.LoadSkinImage(L"both.bmp", &bitmap));
    EXPECT_EQ(BitmapSize(bitmap).cx, 3);
    EXPECT_EQ(BitmapSize(bitmap).cy, 2);
    ::DeleteObject(bitmap);

    ASSERT_TRUE(skin.LoadSkinImage(L"shared.bmp", &bitmap));
    EXPECT_EQ(BitmapSize(bitmap).cx, 7);
    ::DeleteObject(bitmap);

    bitmap = reinterpret_cast<HBITMAP>(1);
    EXPECT_FALSE(skin.LoadSkinImage(L"nowhere.bmp", &bitmap));
    EXPECT_EQ(bitmap, nullptr);
    EXPECT_FALSE(skin.LoadSkinImage(L"", &bitmap));
    EXPECT_FALSE(skin.LoadSkinImage(nullptr, &bitmap));
    EXPECT_FALSE(skin.LoadSkinImage(std::wstring(300, L'z').c_str(), &bitmap));
    EXPECT_EQ(bitmap, nullptr);
    EXPECT_FALSE(skin.LoadSkinImage(L"both.bmp", static_cast<HBITMAP*>(nullptr)));
}

TEST_F(SkinPackage, EachLoadOfAPictureGivesItsOwnBitmapAndAChangedFileIsReadAnew)
{
    const auto pixelOf = [](HBITMAP bitmap, int x, int y) {
        HDC dc = ::CreateCompatibleDC(nullptr);
        HGDIOBJ previous = ::SelectObject(dc, bitmap);
        const COLORREF color = ::GetPixel(dc, x, y);
        ::SelectObject(dc, previous);
        ::DeleteDC(dc);
        return color;
    };
    SkinFixture fixture;
    fixture.WriteSkinImage(L"face.bmp", 4, 3, RGB(10, 20, 30));
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, L""));

    HBITMAP first = nullptr;
    HBITMAP second = nullptr;
    ASSERT_TRUE(skin.LoadSkinImage(L"face.bmp", &first));
    ASSERT_TRUE(skin.LoadSkinImage(L"face.bmp", &second));
    EXPECT_NE(first, second) << "each caller owns and deletes its own";
    ::DeleteObject(first);
    EXPECT_EQ(pixelOf(second, 3, 2), RGB(10, 20, 30));
    ::DeleteObject(second);

    {
        // A batch (one section read) looks at the file once; when it ends,
        // loads look again.
        const CSkin::PictureBatch batch(skin);
        UniqueBitmap inBatch;
        ASSERT_TRUE(skin.LoadSkinImage(L"face.bmp", &inBatch));
        ASSERT_TRUE(skin.LoadSkinImage(L"face.bmp", &inBatch));
    }
    // A plugin that rewrites a picture and loads it again gets the new one.
    fixture.WriteSkinImage(L"face.bmp", 6, 5, RGB(200, 100, 50));
    HBITMAP changed = nullptr;
    ASSERT_TRUE(skin.LoadSkinImage(L"face.bmp", &changed));
    EXPECT_EQ(BitmapSize(changed).cx, 6);
    EXPECT_EQ(pixelOf(changed, 5, 4), RGB(200, 100, 50));
    ::DeleteObject(changed);

    ASSERT_TRUE(::DeleteFileW((fixture.SkinFolder() + L"\\face.bmp").c_str()));
    fixture.WriteCommonImage(L"face.bmp", 2, 2);
    ASSERT_TRUE(skin.LoadSkinImage(L"face.bmp", &changed));
    EXPECT_EQ(BitmapSize(changed).cx, 2) << "a removed file falls back to common";
    ::DeleteObject(changed);
}

// Copies are DIB sections: a device-dependent copy of 24 or 32 bits would not
// select into a memory DC of a 16-bit display (Wine's display here is 24-bit,
// so only the kind of bitmap and its pixels can be checked).
TEST_F(SkinPackage, PictureCopiesAreDibSectionsWithThePicturesPixels)
{
    SkinFixture fixture;
    // Five pixels a row leave padding in the file's rows; each corner differs.
    const auto colour = [](int x, int y) { return RGB(x * 50, y * 100, x == 0 && y == 0 ? 255 : 7); };
    skintest::WriteFileBytes(fixture.SkinFolder() + L"\\odd.bmp", testing::BmpFileBytes(5, 3, colour));
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, L""));
    for (int load = 0; load < 2; ++load) {  // decoded, then from the cache
        UniqueBitmap copy;
        ASSERT_TRUE(skin.LoadSkinImage(L"odd.bmp", &copy));
        DIBSECTION section = {};
        EXPECT_EQ(::GetObjectW(copy.get(), sizeof(section), &section), static_cast<int>(sizeof(section)));
        UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
        SelectedObject selected(dc.get(), copy.get());
        ASSERT_TRUE(selected);
        for (const POINT at : {POINT{0, 0}, POINT{4, 0}, POINT{0, 2}, POINT{4, 2}, POINT{2, 1}})
            EXPECT_EQ(::GetPixel(dc.get(), at.x, at.y), colour(at.x, at.y)) << at.x << "," << at.y;
    }
}

TEST_F(SkinPackage, AcceleratorsTakeDefaultsAndDoNotCarryValuesOver)
{
    SkinFixture fixture;
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin,
                             L"<accelerator>"
                             L"<key code=\"F2\" cmdid=\"8001\"/>"
                             L"<key CONTROL=\"false\" Alt=\"true\" code=\"F5\" cmdid=\"8005\" name=\"Refresh\"/>"
                             L"<key code=\"A\" name=\"SelectAll\" other=\"ignored\"/>"
                             L"<key shift=\"1\" alt=\"FALSE\" control=\"falsehood\" code=\"Page Up\" cmdid=\"0x10\"/>"
                             L"</accelerator>"));
    std::vector<TAccelKey> keys;
    ASSERT_TRUE(skin.ReadAccelerators(&keys));
    ASSERT_EQ(keys.size(), 4u);

    EXPECT_TRUE(keys[0].control);
    EXPECT_FALSE(keys[0].alt);
    EXPECT_FALSE(keys[0].shift);
    EXPECT_STREQ(keys[0].code, L"F2");
    EXPECT_EQ(keys[0].cmdid, 0x8001u);
    EXPECT_STREQ(keys[0].name, "");

    EXPECT_FALSE(keys[1].control);
    EXPECT_TRUE(keys[1].alt);
    EXPECT_EQ(AcceleratorFlags(keys[1]), 0x11);
    EXPECT_EQ(VirtualKeyFromName(keys[1].code), VK_F5);
    EXPECT_EQ(keys[1].cmdid, 0x8005u);
    EXPECT_STREQ(keys[1].name, "Refresh");

    // Nothing from the key before: control back to its default, no cmdid, alt clear.
    EXPECT_TRUE(keys[2].control);
    EXPECT_FALSE(keys[2].alt);
    EXPECT_EQ(keys[2].cmdid, 0u);
    EXPECT_STREQ(keys[2].name, "SelectAll");

    EXPECT_FALSE(keys[3].control);
    EXPECT_FALSE(keys[3].alt);
    EXPECT_TRUE(keys[3].shift);
    EXPECT_EQ(keys[3].cmdid, 0x10u);
    EXPECT_EQ(VirtualKeyFromName(keys[3].code), VK_PRIOR);
}

TEST_F(SkinPackage, AcceleratorTextsAreCutToTheirFields)
{
    SkinFixture fixture;
    CSkin skin;
    const std::wstring longName(70, L'n');
    ASSERT_TRUE(fixture.Open(skin, L"<accelerator><key code=\"Decimal Point and more\" name=\"" + longName +
                                       L"\"/><key code=\"F1\" name=\"caf\u00e9\u4e2d\"/></accelerator>"));
    std::vector<TAccelKey> keys;
    ASSERT_TRUE(skin.ReadAccelerators(&keys));
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_STREQ(keys[0].code, L"Decimal Point a");  // 15 characters
    EXPECT_EQ(std::string(keys[0].name), std::string(63, 'n'));
    // 8-bit names keep the low byte of each unit.
    EXPECT_STREQ(keys[1].name, "caf\xe9-");
}

TEST_F(SkinPackage, NoAcceleratorSectionReadsNothingButSucceeds)
{
    SkinFixture fixture;
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, L"<tool-bar/>"));
    std::vector<TAccelKey> keys;
    EXPECT_TRUE(skin.ReadAccelerators(&keys));
    EXPECT_TRUE(keys.empty());
    EXPECT_FALSE(skin.ReadAccelerators(nullptr));
    CSkin closed;
    EXPECT_FALSE(closed.ReadAccelerators(&keys));
}

// The records make a working accelerator table the way the main window builds it.
TEST_F(SkinPackage, AcceleratorRecordsBuildATableThatTranslatesKeys)
{
    SkinFixture fixture;
    CSkin skin;
    ASSERT_TRUE(fixture.Open(skin, L"<accelerator><key control=\"false\" alt=\"true\" code=\"F5\" cmdid=\"8005\"/>"
                                   L"<key code=\"Q\" cmdid=\"8006\"/></accelerator>"));
    std::vector<TAccelKey> keys;
    ASSERT_TRUE(skin.ReadAccelerators(&keys));
    std::vector<ACCEL> entries;
    for (const TAccelKey& key : keys)
        entries.push_back(ACCEL{AcceleratorFlags(key), VirtualKeyFromName(key.code), static_cast<WORD>(key.cmdid)});
    UniqueAccel table(::CreateAcceleratorTableW(entries.data(), static_cast<int>(entries.size())));
    ASSERT_TRUE(table);
    ACCEL copied[2] = {};
    ASSERT_EQ(::CopyAcceleratorTableW(table.get(), copied, 2), 2);
    EXPECT_EQ(copied[0].fVirt & 0x7F, 0x11);
    EXPECT_EQ(copied[0].key, VK_F5);
    EXPECT_EQ(copied[0].cmd, 0x8005);
    EXPECT_EQ(copied[1].fVirt & 0x7F, FVIRTKEY | FCONTROL);
    EXPECT_EQ(copied[1].key, 'Q');
}

}  // namespace
}  // namespace kivra
