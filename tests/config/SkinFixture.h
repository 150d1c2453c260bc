// Fixture skins for the skin reader tests: a product-like layout
// <root>\skin\<name>\skin.xml with small BMP images, and <root>\common\,
// written by each test into the test program's scratch folder.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "config/Skin.h"
#include "tests/support/Bitmaps.h"
#include "tests/support/ComScope.h"
#include "tests/support/Files.h"
#include "tests/support/ScratchFolder.h"

namespace kivra::skintest {

// COM for the test's thread, for as long as the object lives.
using ComApartment = testing::ComScope;

using testing::Utf8;
using testing::WindowsPath;

inline void WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    ASSERT_TRUE(testing::WriteFileBytes(path, bytes)) << "cannot write the fixture file";
}

// A 24-bit bottom-up BMP of one colour.
inline std::string BmpBytes(int width, int height, COLORREF color)
{
    return testing::SolidBmpFileBytes(width, height, color);
}

using testing::BitmapSize;

// skin.xml with the preview element every skin needs, and body inside <skin>.
inline std::wstring SkinXml(const std::wstring& body)
{
    return L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<skin>\n<description><preview></preview></description>\n" +
           body + L"\n</skin>\n";
}

// One product folder per fixture, in the test program's short scratch folder
// (ScratchFolder.h): <root>\skin\<skin>\ and <root>\common\, made afresh.
class SkinFixture {
public:
    explicit SkinFixture(const std::wstring& skinName = L"blue")
    {
        static int made = 0;
        std::wstring root = testing::FreshScratchFolder(L"s" + std::to_wstring(++made));
        root.pop_back();
        std::filesystem::create_directories(root + L"\\skin\\" + skinName);
        std::filesystem::create_directories(root + L"\\common");
        root_ = root;
        skinFolder_ = root_ + L"\\skin\\" + skinName;
        commonFolder_ = root_ + L"\\common\\";
    }

    const std::wstring& Root() const { return root_; }
    // Without trailing backslash, as CSkin::Open takes it.
    const std::wstring& SkinFolder() const { return skinFolder_; }
    const std::wstring& CommonFolder() const { return commonFolder_; }

    void WriteSkinFile(const std::wstring& text) const { WriteFileBytes(skinFolder_ + L"\\skin.xml", Utf8(text)); }
    // skin.xml made of SkinXml(body).
    void WriteSkin(const std::wstring& body) const { WriteSkinFile(SkinXml(body)); }
    void WriteSkinImage(const std::wstring& name, int width, int height, COLORREF color = RGB(0, 128, 0)) const
    {
        WriteFileBytes(skinFolder_ + L"\\" + name, BmpBytes(width, height, color));
    }
    void WriteCommonImage(const std::wstring& name, int width, int height, COLORREF color = RGB(0, 0, 128)) const
    {
        WriteFileBytes(commonFolder_ + name, BmpBytes(width, height, color));
    }

    // Writes skin.xml from body and opens it.
    bool Open(CSkin& skin, const std::wstring& body) const
    {
        WriteSkin(body);
        return skin.Open(skinFolder_.c_str());
    }

private:
    std::wstring root_;
    std::wstring skinFolder_;
    std::wstring commonFolder_;
};

// Base of the skin tests: COM outlives every object a test makes.
class SkinTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(com_.ok()); }

    ComApartment com_;
};

}  // namespace kivra::skintest
