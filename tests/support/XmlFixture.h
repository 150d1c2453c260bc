// Fixture files for the configuration tests: folders in the test program's
// scratch folder, XML written as UTF-8, small BMP pictures, and COM for the
// thread.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/Bitmaps.h"
#include "tests/support/ComScope.h"
#include "tests/support/Files.h"
#include "tests/support/ScratchFolder.h"

namespace kivra::testing {

// An empty folder "x\<name>\" in the scratch folder, made afresh; Path() is
// absolute and ends with a backslash.
class FixtureFolder {
public:
    explicit FixtureFolder(const wchar_t* name)
    {
        path_ = FreshScratchFolder(std::wstring(L"x\\") + name);
    }
    const std::wstring& Path() const { return path_; }
    std::wstring operator/(const std::wstring& relative) const { return path_ + relative; }

    // Writes text as UTF-8 (no byte-order mark) to the relative path, making
    // the folders on the way.
    std::wstring WriteText(const std::wstring& relative, const std::wstring& text) const
    {
        return WriteBytes(relative, Utf8(text));
    }

    std::wstring WriteBytes(const std::wstring& relative, const std::string& bytes) const
    {
        std::wstring full = path_ + relative;
        std::filesystem::create_directories(std::filesystem::path(full).parent_path());
        WriteFileBytes(full, bytes);
        return full;
    }

    // A 24-bit BMP of width x height filled with color, except the top-left
    // pixel, which is corner.
    std::wstring WriteBmp(const std::wstring& relative, int width, int height, COLORREF color,
                          COLORREF corner) const
    {
        return WriteBytes(relative, BmpFileBytes(width, height, [=](int x, int y) {
                              return (x == 0 && y == 0) ? corner : color;
                          }));
    }

    // A 16 x 16 icon of 32-bit colour.
    std::wstring WriteIcon(const std::wstring& relative) const
    {
        return WriteBytes(relative, IconFileBytes(16, RGB(0x40, 0x40, 0x40), 0x40));
    }

private:
    std::wstring path_;
};

}  // namespace kivra::testing
