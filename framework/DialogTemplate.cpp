#include "framework/DialogTemplate.h"

#include <cstring>

namespace kivra {

namespace {

constexpr WORD kExtendedVersion = 1;
constexpr WORD kExtendedSignature = 0xFFFF;
constexpr WORD kOrdinalMark = 0xFFFF;
constexpr size_t kItemCountOffset = 16;  // dlgVer, signature, helpID, exStyle, style
constexpr size_t kItemAlignment = 4;

// The predefined control classes a template may name by ordinal.
const wchar_t* PredefinedClassName(WORD ordinal)
{
    switch (ordinal) {
    case 0x0080: return L"Button";
    case 0x0081: return L"Edit";
    case 0x0082: return L"Static";
    case 0x0083: return L"ListBox";
    case 0x0084: return L"ScrollBar";
    case 0x0085: return L"ComboBox";
    default: return nullptr;
    }
}

// Reads the template front to back; every read checks the bytes are there.
class TemplateReader {
public:
    TemplateReader(const std::vector<BYTE>& bytes) : bytes_(bytes) {}

    size_t Offset() const { return offset_; }
    bool Word(WORD* value) { return Copy(value, sizeof(*value)); }
    bool Dword(DWORD* value) { return Copy(value, sizeof(*value)); }
    bool Short(short* value) { return Copy(value, sizeof(*value)); }
    bool Skip(size_t count)
    {
        if (count > bytes_.size() - offset_)
            return false;
        offset_ += count;
        return true;
    }
    bool Align()
    {
        const size_t rest = offset_ % kItemAlignment;
        return rest == 0 || Skip(kItemAlignment - rest) || offset_ == bytes_.size();
    }
    // A string up to its terminator.
    bool String(std::wstring* text)
    {
        for (;;) {
            WORD unit = 0;
            if (!Word(&unit))
                return false;
            if (unit == 0)
                return true;
            if (text != nullptr)
                text->push_back(static_cast<wchar_t>(unit));
        }
    }
    // A string or an ordinal; *ordinal is 0 for a string.
    bool Name(std::wstring* text, WORD* ordinal)
    {
        WORD unit = 0;
        *ordinal = 0;
        if (!Word(&unit))
            return false;
        if (unit == kOrdinalMark)
            return Word(ordinal);
        if (unit == 0)
            return true;
        if (text != nullptr)
            text->push_back(static_cast<wchar_t>(unit));
        return String(text);
    }

private:
    bool Copy(void* value, size_t count)
    {
        if (count > bytes_.size() - offset_)
            return false;
        std::memcpy(value, bytes_.data() + offset_, count);
        offset_ += count;
        return true;
    }

    const std::vector<BYTE>& bytes_;
    size_t offset_ = 0;
};

bool SkipHeader(TemplateReader& reader, WORD* items)
{
    WORD version = 0, signature = 0;
    DWORD helpId = 0, exStyle = 0, style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    WORD ordinal = 0;
    if (!reader.Word(&version) || !reader.Word(&signature) || version != kExtendedVersion ||
        signature != kExtendedSignature)
        return false;
    if (!reader.Dword(&helpId) || !reader.Dword(&exStyle) || !reader.Dword(&style) || !reader.Word(items) ||
        !reader.Short(&x) || !reader.Short(&y) || !reader.Short(&cx) || !reader.Short(&cy))
        return false;
    if (!reader.Name(nullptr, &ordinal) || !reader.Name(nullptr, &ordinal) || !reader.String(nullptr))
        return false;  // menu, class, caption
    if ((style & DS_SETFONT) != 0) {
        WORD points = 0, weight = 0;
        if (!reader.Word(&points) || !reader.Word(&weight) || !reader.Skip(2) || !reader.String(nullptr))
            return false;  // italic and character set, then the face
    }
    return true;
}

bool ReadItem(TemplateReader& reader, TTemplateControl* item)
{
    short x = 0, y = 0, cx = 0, cy = 0;
    WORD classOrdinal = 0, textOrdinal = 0, extra = 0;
    if (!reader.Dword(&item->helpId) || !reader.Dword(&item->exStyle) || !reader.Dword(&item->style) ||
        !reader.Short(&x) || !reader.Short(&y) || !reader.Short(&cx) || !reader.Short(&cy) || !reader.Dword(&item->id))
        return false;
    item->position = {x, y};
    item->size = {cx, cy};
    if (!reader.Name(&item->className, &classOrdinal) || !reader.Name(&item->text, &textOrdinal) ||
        !reader.Word(&extra) || !reader.Skip(extra))
        return false;
    if (classOrdinal != 0) {
        const wchar_t* name = PredefinedClassName(classOrdinal);
        if (name == nullptr)
            return false;
        item->className = name;
    }
    return true;
}

}  // namespace

std::vector<BYTE> CopyDialogResource(HINSTANCE module, UINT id)
{
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));  // RT_DIALOG
    if (found == nullptr)
        return {};
    HGLOBAL loaded = ::LoadResource(module, found);
    const DWORD size = ::SizeofResource(module, found);
    const auto* bytes = static_cast<const BYTE*>(loaded != nullptr ? ::LockResource(loaded) : nullptr);
    if (bytes == nullptr || size == 0)
        return {};
    return std::vector<BYTE>(bytes, bytes + size);
}

bool TakeControlOut(std::vector<BYTE>* dialogTemplate, DWORD id, TTemplateControl* control)
{
    if (dialogTemplate == nullptr || control == nullptr)
        return false;
    TemplateReader reader(*dialogTemplate);
    WORD items = 0;
    if (!SkipHeader(reader, &items))
        return false;
    // Every item is read before any is taken out: a count the items do not
    // fill is a damaged template.
    size_t begin = 0, end = 0;
    TTemplateControl found;
    bool seen = false;
    for (WORD i = 0; i < items; ++i) {
        if (!reader.Align())
            return false;
        const size_t itemBegin = reader.Offset();
        TTemplateControl item;
        if (!ReadItem(reader, &item))
            return false;
        if (seen || item.id != id)
            continue;
        // Up to the next item's boundary, so the items after it stay aligned.
        if (!reader.Align())
            return false;
        seen = true;
        begin = itemBegin;
        end = reader.Offset();
        item.index = i;
        found = std::move(item);
    }
    if (!seen)
        return false;
    dialogTemplate->erase(dialogTemplate->begin() + static_cast<std::ptrdiff_t>(begin),
                          dialogTemplate->begin() + static_cast<std::ptrdiff_t>(end));
    const WORD fewer = items - 1;
    std::memcpy(dialogTemplate->data() + kItemCountOffset, &fewer, sizeof(fewer));
    *control = std::move(found);
    return true;
}

}  // namespace kivra
