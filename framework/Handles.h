// Small owning wrappers for Win32 handles and COM pointers, and scope guards
// for a paint and for COM on a thread. Each one closes what it holds exactly
// once; none is copyable. Ownership that is handed to
// someone else (a region given to SetWindowRgn, a bitmap given to a control)
// is released with release() and said so where it happens.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

namespace kivra {

template <typename T, typename Traits>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(T handle) : handle_(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    T get() const { return handle_; }
    explicit operator bool() const { return Traits::IsValid(handle_); }
    // As with std::unique_ptr: handle == nullptr when nothing is held.
    bool operator==(std::nullptr_t) const { return !Traits::IsValid(handle_); }
    T release()
    {
        T h = handle_;
        handle_ = Traits::Invalid();
        return h;
    }
    void reset(T handle = Traits::Invalid())
    {
        if (Traits::IsValid(handle_))
            Traits::Close(handle_);
        handle_ = handle;
    }

private:
    T handle_ = Traits::Invalid();
};

struct KernelHandleTraits {
    static HANDLE Invalid() { return nullptr; }
    static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct FileHandleTraits : KernelHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
};
struct MappedViewTraits {
    static const void* Invalid() { return nullptr; }
    static bool IsValid(const void* view) { return view != nullptr; }
    static void Close(const void* view) { ::UnmapViewOfFile(view); }
};

struct FindHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(HANDLE h) { ::FindClose(h); }
};
struct ModuleTraits {
    static HMODULE Invalid() { return nullptr; }
    static bool IsValid(HMODULE h) { return h != nullptr; }
    static void Close(HMODULE h) { ::FreeLibrary(h); }
};
template <typename T> struct GdiObjectTraits {
    static T Invalid() { return nullptr; }
    static bool IsValid(T h) { return h != nullptr; }
    static void Close(T h) { ::DeleteObject(h); }
};
struct MemoryDcTraits {
    static HDC Invalid() { return nullptr; }
    static bool IsValid(HDC h) { return h != nullptr; }
    static void Close(HDC h) { ::DeleteDC(h); }
};
struct IconTraits {
    static HICON Invalid() { return nullptr; }
    static bool IsValid(HICON h) { return h != nullptr; }
    static void Close(HICON h) { ::DestroyIcon(h); }
};
struct MenuTraits {
    static HMENU Invalid() { return nullptr; }
    static bool IsValid(HMENU h) { return h != nullptr; }
    static void Close(HMENU h) { ::DestroyMenu(h); }
};
struct AccelTraits {
    static HACCEL Invalid() { return nullptr; }
    static bool IsValid(HACCEL h) { return h != nullptr; }
    static void Close(HACCEL h) { ::DestroyAcceleratorTable(h); }
};
// A window that its owner or parent may have taken down with itself already:
// only a window that still exists is destroyed.
struct WindowTraits {
    static HWND Invalid() { return nullptr; }
    static bool IsValid(HWND h) { return h != nullptr; }
    static void Close(HWND h)
    {
        if (::IsWindow(h))
            ::DestroyWindow(h);
    }
};

using UniqueKernelHandle = UniqueHandle<HANDLE, KernelHandleTraits>;
using UniqueFile = UniqueHandle<HANDLE, FileHandleTraits>;
using UniqueFind = UniqueHandle<HANDLE, FindHandleTraits>;
using UniqueMappedView = UniqueHandle<const void*, MappedViewTraits>;
using UniqueModule = UniqueHandle<HMODULE, ModuleTraits>;
using UniqueBitmap = UniqueHandle<HBITMAP, GdiObjectTraits<HBITMAP>>;
using UniqueBrush = UniqueHandle<HBRUSH, GdiObjectTraits<HBRUSH>>;
using UniqueFont = UniqueHandle<HFONT, GdiObjectTraits<HFONT>>;
using UniquePen = UniqueHandle<HPEN, GdiObjectTraits<HPEN>>;
using UniqueRegion = UniqueHandle<HRGN, GdiObjectTraits<HRGN>>;
using UniqueMemoryDc = UniqueHandle<HDC, MemoryDcTraits>;
using UniqueIcon = UniqueHandle<HICON, IconTraits>;
using UniqueMenu = UniqueHandle<HMENU, MenuTraits>;
using UniqueAccel = UniqueHandle<HACCEL, AccelTraits>;
// A window made with CreateWindowExW that has no object of its own (a tooltip
// control, say); destroyed with DestroyWindow.
using UniqueWindow = UniqueHandle<HWND, WindowTraits>;

// A bitmap with several owners (the buttons that show the same picture, and
// the skin's picture cache): deleted once, when its last owner lets go. Only
// for pictures nobody draws into; a bitmap to be changed needs its own copy.
class SharedBitmap {
public:
    SharedBitmap() = default;
    explicit SharedBitmap(UniqueBitmap bitmap)
    {
        HBITMAP h = bitmap.release();
        if (h == nullptr)
            return;
        try {
            holder_.reset(h, [](HBITMAP held) { ::DeleteObject(held); });
        } catch (const std::bad_alloc&) {
            // reset deleted the bitmap: nothing is held
        }
    }

    HBITMAP get() const { return holder_.get(); }
    explicit operator bool() const { return holder_ != nullptr; }
    bool operator==(std::nullptr_t) const { return holder_ == nullptr; }
    void reset() { holder_.reset(); }

private:
    std::shared_ptr<std::remove_pointer_t<HBITMAP>> holder_;
};

// A DC of a window, given back with ReleaseDC: of its client area (GetDC),
// or of the whole window with title bar and frame (GetWindowDC).
class WindowDc {
public:
    enum Area { kClient, kWholeWindow };
    explicit WindowDc(HWND hwnd, Area area = kClient)
        : hwnd_(hwnd), dc_(area == kWholeWindow ? ::GetWindowDC(hwnd) : ::GetDC(hwnd))
    {
    }
    ~WindowDc() { if (dc_) ::ReleaseDC(hwnd_, dc_); }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND hwnd_;
    HDC dc_;
};

// The DC of a WM_PAINT: BeginPaint when the guard is made, EndPaint when it
// goes. A failed BeginPaint leaves no DC and nothing to end.
class PaintDc {
public:
    explicit PaintDc(HWND hwnd) : hwnd_(hwnd), dc_(::BeginPaint(hwnd, &paint_)) {}
    ~PaintDc()
    {
        if (dc_)
            ::EndPaint(hwnd_, &paint_);
    }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }
    const PAINTSTRUCT& Paint() const { return paint_; }

private:
    HWND hwnd_;
    PAINTSTRUCT paint_ = {};
    HDC dc_;
};

// Selects an object into a DC for the life of the guard. False when it
// could not be selected (a bitmap selected into another DC, for one).
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ obj) : dc_(dc), previous_(obj ? ::SelectObject(dc, obj) : nullptr) {}
    ~SelectedObject() { if (previous_) ::SelectObject(dc_, previous_); }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    explicit operator bool() const { return previous_ != nullptr; }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// Owning COM interface pointer.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        if (this != &other) {
            reset();
            ptr_ = std::exchange(other.ptr_, nullptr);
        }
        return *this;
    }

    T* get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }
    // Address for an out-parameter; releases what was held first.
    T** put()
    {
        reset();
        return &ptr_;
    }
    void reset()
    {
        if (ptr_) {
            ptr_->Release();
            ptr_ = nullptr;
        }
    }

private:
    T* ptr_ = nullptr;
};

// COM for the calling thread, in a single-threaded apartment as the MSXML
// document and the picture loader want it, for the life of the scope. Every
// successful initialisation (also S_FALSE, when the thread had COM already)
// is balanced by its own CoUninitialize.
class ComScope {
public:
    ComScope() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope()
    {
        if (SUCCEEDED(result_))
            ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    bool ok() const { return SUCCEEDED(result_); }

private:
    HRESULT result_;
};

}  // namespace kivra
