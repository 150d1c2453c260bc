#include "framework/Text.h"

#include <cstdio>
#include <cstring>

namespace kivra {

namespace {

template <typename Dst, typename Src, typename Convert>
bool CopyBounded(Dst* dst, size_t capacity, const Src* src, Convert convert)
{
    if (dst == nullptr || capacity == 0)
        return false;
    size_t n = 0;
    bool fitted = true;
    if (src != nullptr) {
        for (; src[n] != 0; ++n) {
            if (n + 1 >= capacity) {
                fitted = false;
                break;
            }
            dst[n] = convert(src[n]);
        }
    }
    for (size_t i = n; i < capacity; ++i)
        dst[i] = 0;
    return fitted;
}

}  // namespace

bool CopyText(wchar_t* dst, size_t capacity, const wchar_t* src)
{
    return CopyBounded(dst, capacity, src, [](wchar_t c) { return c; });
}

bool CopyText(char* dst, size_t capacity, const char* src)
{
    return CopyBounded(dst, capacity, src, [](char c) { return c; });
}

bool NarrowName(char* dst, size_t capacity, const wchar_t* src)
{
    // A unit whose low byte is 0 (U+0100, U+0200, ...) would end the name early;
    // such names are not valid service names anyway, and the cut stays safe.
    return CopyBounded(dst, capacity, src, [](wchar_t c) { return static_cast<char>(c & 0xFF); });
}

bool WidenName(wchar_t* dst, size_t capacity, const char* src)
{
    return CopyBounded(dst, capacity, src,
                       [](char c) { return static_cast<wchar_t>(static_cast<unsigned char>(c)); });
}

bool AppendText(wchar_t* dst, size_t capacity, const wchar_t* src)
{
    if (dst == nullptr || capacity == 0)
        return false;
    size_t have = wcsnlen(dst, capacity);
    size_t add = src ? wcslen(src) : 0;
    if (have >= capacity || have + add + 1 > capacity)
        return false;
    if (add)
        std::memcpy(dst + have, src, add * sizeof(wchar_t));
    dst[have + add] = 0;
    return true;
}

bool FormatTextV(wchar_t* dst, size_t capacity, const wchar_t* format, va_list args)
{
    if (dst == nullptr || capacity == 0)
        return false;
    if (format == nullptr) {
        dst[0] = 0;
        return false;
    }
    // _vsnwprintf is the C runtime's own (MinGW's C99 replacement would read
    // %s as narrow); it leaves a text that fills the count unterminated.
    const int n = _vsnwprintf(dst, capacity - 1, format, args);
    dst[capacity - 1] = 0;
    return n >= 0;
}

bool FormatText(wchar_t* dst, size_t capacity, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    const bool fitted = FormatTextV(dst, capacity, format, args);
    va_end(args);
    return fitted;
}

bool FormatTextV(char* dst, size_t capacity, const char* format, va_list args)
{
    if (dst == nullptr || capacity == 0)
        return false;
    if (format == nullptr) {
        dst[0] = 0;
        return false;
    }
    const int n = std::vsnprintf(dst, capacity, format, args);
    dst[capacity - 1] = 0;
    return n >= 0 && static_cast<size_t>(n) < capacity;
}

bool FormatText(char* dst, size_t capacity, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const bool fitted = FormatTextV(dst, capacity, format, args);
    va_end(args);
    return fitted;
}

}  // namespace kivra
