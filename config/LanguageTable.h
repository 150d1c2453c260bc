// CLanguageTable: the text ids of the product's language file and their
// display texts. Ids compare ignoring case, so "Ok" and "OK" are one id.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "config/XmlDocument.h"

namespace kivra {

// Ordinal comparison ignoring case, over the whole of Unicode's simple case
// mapping rather than A to Z only.
struct LessIgnoringCase {
    bool operator()(const std::wstring& a, const std::wstring& b) const;
};

// The language code for a system language identifier: 0x0804 is "zh_CN",
// 0x0404, 0x0C04 and 0x1004 are "zh_HK", anything else "am_EN".
const wchar_t* LanguageCodeFor(LANGID languageId);

class CLanguageTable {
public:
    CLanguageTable() = default;
    CLanguageTable(const CLanguageTable&) = delete;
    CLanguageTable& operator=(const CLanguageTable&) = delete;

    // Reads the "table/string" elements of the file at path: each one with a
    // non-empty "id" attribute and a non-empty text is an entry; a later entry
    // replaces an earlier one of the same id. False when the file cannot be
    // loaded (the table is then empty); true also for a file without entries.
    // The file is read through documents when there is one.
    bool Load(const wchar_t* path, CDocumentStore* documents = nullptr);

    // Writes the display text of id into buffer[capacity], cut to fit:
    //   empty id: empty text, true;  known id: its text, true;
    //   unknown id: the id itself, false.
    // buffer may be id's own storage (translation in place). With no buffer
    // nothing is written and the result is false.
    bool Translate(const wchar_t* id, wchar_t* buffer, size_t capacity) const;
    template <size_t N> bool Translate(const wchar_t* id, wchar_t (&buffer)[N]) const
    {
        return Translate(id, buffer, N);
    }

    size_t Count() const { return entries_.size(); }

    // LanguageCodeFor the system's default language.
    static const wchar_t* SystemLanguageCode();

private:
    CXmlDocument document_;  // kept open for the life of the table
    std::map<std::wstring, std::wstring, LessIgnoringCase> entries_;
};

// The size of TranslateText's process-wide result buffer, in UTF-16 units.
constexpr size_t kTranslateTextUnits = 1024;

}  // namespace kivra
