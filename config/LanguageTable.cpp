#include "config/LanguageTable.h"

#include <cwchar>

#include "framework/Text.h"

namespace kivra {

namespace {

constexpr LANGID kChineseSimplifiedPrc = 0x0804;
constexpr LANGID kChineseTraditionalTaiwan = 0x0404;
constexpr LANGID kChineseTraditionalHongKong = 0x0C04;
constexpr LANGID kChineseTraditionalMacao = 0x1004;

}  // namespace

bool LessIgnoringCase::operator()(const std::wstring& a, const std::wstring& b) const
{
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                  TRUE) == CSTR_LESS_THAN;
}

const wchar_t* LanguageCodeFor(LANGID languageId)
{
    switch (languageId) {
    case kChineseSimplifiedPrc:
        return L"zh_CN";
    case kChineseTraditionalTaiwan:
    case kChineseTraditionalHongKong:
    case kChineseTraditionalMacao:
        return L"zh_HK";
    default:
        return L"am_EN";
    }
}

const wchar_t* CLanguageTable::SystemLanguageCode()
{
    return LanguageCodeFor(::GetSystemDefaultLangID());
}

bool CLanguageTable::Load(const wchar_t* path, CDocumentStore* documents)
{
    entries_.clear();
    if (!document_.Load(path, documents) || !document_.Select(L"table/string"))
        return false;
    std::wstring id, text;
    while (document_.NextMatch(L"id", &id, &text, nullptr)) {
        if (id.empty() || text.empty())
            continue;
        entries_[id] = text;
    }
    return true;
}

bool CLanguageTable::Translate(const wchar_t* id, wchar_t* buffer, size_t capacity) const
{
    if (buffer == nullptr || capacity == 0)
        return false;
    if (id == nullptr || id[0] == 0) {
        buffer[0] = 0;
        return true;
    }
    // A copy of the id, because buffer may be the id's own storage.
    const std::wstring key(id);
    auto entry = entries_.find(key);
    if (entry == entries_.end()) {
        CopyText(buffer, capacity, key.c_str());
        return false;
    }
    CopyText(buffer, capacity, entry->second.c_str());
    return true;
}

}  // namespace kivra
