// Pictures and windows for the main-window tests: bitmaps painted pixel by
// pixel, and a plain dialog made from a template in memory. BMP files come
// from tests/support/Bitmaps.h.
#pragma once

#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "framework/Handles.h"
#include "tests/support/Bitmaps.h"

namespace kivra::testing {

// A 32-bit top-down DIB section painted by color.
inline UniqueBitmap MakeBitmap(int width, int height, const PixelColor& color)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (bitmap) {
        auto* pixels = static_cast<DWORD*>(bits);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const COLORREF c = color(x, y);
                pixels[y * width + x] = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
            }
    }
    return bitmap;
}

inline UniqueBitmap SolidBitmap(int width, int height, COLORREF color)
{
    return MakeBitmap(width, height, [color](int, int) { return color; });
}

// The colour of one pixel of a bitmap (not selected anywhere).
inline COLORREF PixelOf(HBITMAP bitmap, int x, int y)
{
    UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
    HGDIOBJ previous = ::SelectObject(dc.get(), bitmap);
    const COLORREF color = ::GetPixel(dc.get(), x, y);
    ::SelectObject(dc.get(), previous);
    return color;
}

// A memory DC with a blank canvas of the given size selected, for drawing tests.
class Canvas {
public:
    Canvas(int width, int height, COLORREF background = RGB(0, 0, 0))
        : bitmap_(SolidBitmap(width, height, background)), dc_(::CreateCompatibleDC(nullptr))
    {
        previous_ = ::SelectObject(dc_.get(), bitmap_.get());
    }
    ~Canvas() { ::SelectObject(dc_.get(), previous_); }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    HDC dc() const { return dc_.get(); }
    COLORREF At(int x, int y) const { return ::GetPixel(dc_.get(), x, y); }

private:
    UniqueBitmap bitmap_;
    UniqueMemoryDc dc_;
    HGDIOBJ previous_ = nullptr;
};

// A dialog template in memory: no controls, the system font.
class DialogTemplate {
public:
    DialogTemplate(DWORD style, short width, short height)
    {
        // DLGTEMPLATE, then empty menu, class and title arrays; DWORD aligned.
        words_.resize((sizeof(DLGTEMPLATE) + 1) / 2 + 3 + 1, 0);
        DLGTEMPLATE header = {};
        header.style = style;
        header.cx = width;
        header.cy = height;
        std::memcpy(words_.data(), &header, sizeof(header));
    }
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    std::vector<WORD> words_;
};

// A modeless dialog of the given style and size in dialog units, hidden,
// that records the WM_COMMAND ids it receives.
class TestDialog {
public:
    static constexpr DWORD kFramedStyle =
        WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME;

    explicit TestDialog(short width = 200, short height = 120, DWORD style = kFramedStyle)
        : template_(style, width, height)
    {
        hwnd_ = ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr), template_.get(), nullptr, &DialogProc,
                                             reinterpret_cast<LPARAM>(this));
    }
    ~TestDialog()
    {
        if (hwnd_)
            ::DestroyWindow(hwnd_);
    }
    TestDialog(const TestDialog&) = delete;
    TestDialog& operator=(const TestDialog&) = delete;

    HWND hwnd() const { return hwnd_; }
    RECT WindowRect() const
    {
        RECT rect = {};
        ::GetWindowRect(hwnd_, &rect);
        return rect;
    }
    const std::vector<WORD>& Commands() const { return commands_; }

    // A child push button with the given control id.
    HWND AddButton(int id)
    {
        return ::CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE, 0, 0, 20, 20, hwnd_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    }

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        if (msg == WM_INITDIALOG)
            ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        auto* self = reinterpret_cast<TestDialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
        if (msg == WM_COMMAND && self != nullptr) {
            self->commands_.push_back(LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    }

    DialogTemplate template_;
    HWND hwnd_ = nullptr;
    std::vector<WORD> commands_;
};

// The message of the given kind posted to hwnd, taken from the queue; false
// when there is none.
inline bool TakePosted(HWND hwnd, UINT message, MSG* msg)
{
    return ::PeekMessageW(msg, hwnd, message, message, PM_REMOVE) != FALSE;
}

}  // namespace kivra::testing
