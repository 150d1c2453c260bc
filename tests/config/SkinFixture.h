// Fixture skins for the skin reader tests: a product-like layout
// <root>\skin\<name>\skin.xml with small BMP images, and <root>\common\,
// written by each test below the test's working directory.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "config/Skin.h"

namespace kivra::skintest {

// COM for the test's thread, for as long as the object lives.
class ComApartment {
public:
    ComApartment() : result_(::CoInitialize(nullptr)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(result_))
            ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool ok() const { return SUCCEEDED(result_); }

private:
    HRESULT result_;
};

inline std::wstring WindowsPath(const std::filesystem::path& path)
{
    std::wstring text = path.wstring();
    for (wchar_t& c : text)
        if (c == L'/')
            c = L'\\';
    return text;
}

inline void WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot write the fixture file";
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
}

inline std::string Utf8(const std::wstring& text)
{
    int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                     nullptr);
    std::string bytes(size, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                          nullptr);
    return bytes;
}

// A 24-bit bottom-up BMP of one colour.
inline std::string BmpBytes(int width, int height, COLORREF color)
{
    const int rowBytes = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = rowBytes * height;
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
    bytes.append(reinterpret_cast<const char*>(&info), sizeof(info));
    std::string row(rowBytes, '\0');
    for (int x = 0; x < width; ++x) {
        row[x * 3 + 0] = static_cast<char>(GetBValue(color));
        row[x * 3 + 1] = static_cast<char>(GetGValue(color));
        row[x * 3 + 2] = static_cast<char>(GetRValue(color));
    }
    for (int y = 0; y < height; ++y)
        bytes += row;
    return bytes;
}

inline SIZE BitmapSize(HBITMAP bitmap)
{
    BITMAP info = {};
    if (bitmap == nullptr || ::GetObjectW(bitmap, sizeof(info), &info) == 0)
        return SIZE{-1, -1};
    return SIZE{info.bmWidth, info.bmHeight};
}

// skin.xml with the preview element every skin needs, and body inside <skin>.
inline std::wstring SkinXml(const std::wstring& body)
{
    return L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<skin>\n<description><preview></preview></description>\n" +
           body + L"\n</skin>\n";
}

// One product folder per test: <cwd>\skin-fixtures\<test>\skin\<skin>\ and
// <cwd>\skin-fixtures\<test>\common\, made afresh.
class SkinFixture {
public:
    explicit SkinFixture(const std::wstring& skinName = L"blue")
    {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string testName = std::string(test->test_suite_name()) + "." + test->name();
        std::filesystem::path root = std::filesystem::current_path() / L"skin-fixtures" / testName;
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
        std::filesystem::create_directories(root / L"skin" / skinName);
        std::filesystem::create_directories(root / L"common");
        root_ = WindowsPath(root);
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
