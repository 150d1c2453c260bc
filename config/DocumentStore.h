// CDocumentStore: parsed XML documents kept from one run to the next. MSXML
// takes several milliseconds to come up and parse the configuration, the
// language file and the skin on each start; reading their trees back from
// one file takes a fraction of that. A document is known by its bytes (their
// count and check sum), not by its name or time: a file whose text changed
// is parsed again, and one that was copied elsewhere is not.
//
// The file is only ever replaced whole. A file whose layout does not add up,
// or a tree whose check sum or links do not hold, is not used; the document
// is then parsed as if there were no store. Nothing here is ever more than a
// cache: losing the file costs one slower start.
#pragma once

#include <windows.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "config/XmlDocument.h"
#include "framework/Handles.h"

namespace kivra {

class CDocumentStore {
public:
    // The store at file; an empty name keeps nothing. The file is read when
    // the first document is asked for.
    explicit CDocumentStore(std::wstring file);
    CDocumentStore(const CDocumentStore&) = delete;
    CDocumentStore& operator=(const CDocumentStore&) = delete;

    // The tree parsed from a file of exactly sourceBytes bytes with this check
    // sum (DocumentCheckSum), when the store holds a sound one.
    bool Find(ULONGLONG sourceBytes, ULONGLONG sourceSum, TXmlTree* tree);
    // Keeps a tree parsed this run, for Save.
    void Keep(ULONGLONG sourceBytes, ULONGLONG sourceSum, const TXmlTree& tree);

    // When this run parsed some document, replaces the file with this run's
    // documents, then the earlier ones, up to a size limit (4 MB), the least
    // recent dropped first; a tree larger than that is never kept. True when nothing needed writing; false when the file
    // cannot be written (the old one then stays as it was).
    bool Save();

    // Lets go of the file, so that another program's save can replace it;
    // the trees kept this run stay for Save, which reads the file again.
    void Release();

    // The file of the current user's store, "Kivra\documents.cache" in the
    // local application data folder. Empty when there is no such folder.
    static std::wstring UserStoreFile();

private:
    using TKey = std::pair<ULONGLONG, ULONGLONG>;  // source bytes and check sum
    struct TEntry {
        size_t offset = 0;  // the whole record in the view, as a save carries it over
        size_t bytes = 0;
    };

    void Read();
    const char* View() const { return static_cast<const char*>(view_.get()); }

    std::wstring file_;
    bool read_ = false;
    UniqueMappedView view_;  // mapped, not read: a start touches only its own documents' pages
    size_t viewBytes_ = 0;
    std::map<TKey, TEntry> entries_;
    std::set<TKey> found_;  // found this run: saved before the other earlier ones
    std::vector<std::pair<TKey, std::vector<unsigned char>>> kept_;  // this run's, as records
};

// The check sum a store knows a document's bytes, and its trees, by.
ULONGLONG DocumentCheckSum(const void* bytes, size_t size);

}  // namespace kivra
