#include "framework/WindowRef.h"

namespace kivra {

std::wstring WindowRef::GetText() const
{
    if (!hwnd_)
        return {};
    int length = ::GetWindowTextLengthW(hwnd_);
    if (length <= 0)
        return {};
    // The length is an upper bound (it may count a DBCS text twice).
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    int copied = ::GetWindowTextW(hwnd_, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

std::wstring WindowRef::ClassName() const
{
    wchar_t name[256] = {};  // class names are at most 256 characters
    int copied = hwnd_ ? ::GetClassNameW(hwnd_, name, 256) : 0;
    return std::wstring(name, copied > 0 ? static_cast<size_t>(copied) : 0);
}

RECT WindowRef::ClientRect() const
{
    RECT rect{};
    if (hwnd_)
        ::GetClientRect(hwnd_, &rect);
    return rect;
}

bool WindowRef::HasNonClientArea() const
{
    const RECT client = ClientRect();
    const RECT window = WindowRect();
    return client.right != window.right - window.left || client.bottom != window.bottom - window.top;
}

RECT WindowRef::WindowRect() const
{
    RECT rect{};
    if (hwnd_)
        ::GetWindowRect(hwnd_, &rect);
    return rect;
}

RECT WindowRef::RectInParent() const
{
    RECT rect = WindowRect();
    if (HWND parent = (Style() & WS_CHILD) ? ::GetParent(hwnd_) : nullptr)
        ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

namespace {

bool ModifyLong(HWND hwnd, int index, LONG_PTR remove, LONG_PTR add, bool frameChanged)
{
    if (!hwnd)
        return false;
    LONG_PTR old = ::GetWindowLongPtrW(hwnd, index);
    LONG_PTR updated = (old & ~remove) | add;
    if (updated == old)
        return false;
    ::SetWindowLongPtrW(hwnd, index, updated);
    if (frameChanged)
        ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return true;
}

}  // namespace

bool WindowRef::ModifyStyle(LONG_PTR remove, LONG_PTR add, bool frameChanged) const
{
    return ModifyLong(hwnd_, GWL_STYLE, remove, add, frameChanged);
}

bool WindowRef::ModifyExStyle(LONG_PTR remove, LONG_PTR add, bool frameChanged) const
{
    return ModifyLong(hwnd_, GWL_EXSTYLE, remove, add, frameChanged);
}

}  // namespace kivra
