#include "config/Skin.h"

#include <cwchar>
#include <string>

#include "config/Values.h"

namespace kivra {

namespace {

constexpr wchar_t kSkinFileName[] = L"skin.xml";
// A skin lives in <product>\skin\<name>; its shared images in <product>\common\.
constexpr wchar_t kSkinsFolderMark[] = L"\\skin\\";
constexpr wchar_t kCommonFolderName[] = L"common\\";

// folder followed by fileName, when it fits.
bool JoinPath(const wchar_t* folder, const wchar_t* fileName, wchar_t (&path)[kMaxPathChars + 1])
{
    return CopyText(path, folder) && AppendText(path, fileName);
}

}  // namespace

CSkin::CSkin() : document_(std::make_unique<CXmlDocument>()) {}

void CSkin::Close()
{
    document_ = std::make_unique<CXmlDocument>();
    CopyText(skinFolder_, nullptr);
    CopyText(commonFolder_, nullptr);
    CopyText(skinName_, nullptr);
    CopyText(version_, nullptr);
    CopyText(company_, nullptr);
    CopyText(url_, nullptr);
    preview_.reset();
}

bool CSkin::SetFolders(const wchar_t* folder)
{
    if (!CopyText(skinFolder_, folder) || !AppendText(skinFolder_, L"\\"))
        return false;
    // The common folder sits beside the skins folder: cut right after the
    // backslash that opens the first "\skin\" and append "common\".
    const wchar_t* mark = wcsstr(folder, kSkinsFolderMark);
    if (mark == nullptr)
        return false;
    const size_t keep = static_cast<size_t>(mark - folder) + 1;
    if (keep > kMaxPathChars)
        return false;
    std::wstring common(folder, keep);
    return CopyText(commonFolder_, common.c_str()) && AppendText(commonFolder_, kCommonFolderName);
}

void CSkin::ReadDescription()
{
    struct Entry {
        const wchar_t* path;
        wchar_t* field;
    };
    const Entry entries[] = {
        {L"skin/description/skin-name", skinName_},
        {L"skin/description/version", version_},
        {L"skin/description/company", company_},
        {L"skin/description/URL", url_},
    };
    for (const Entry& entry : entries) {
        std::wstring text;
        if (document_->ReadText(entry.path, &text))
            CopyText(entry.field, kSkinTextSize, text.c_str());  // longer texts are cut to 63
    }
}

bool CSkin::Open(const wchar_t* folder)
{
    Close();
    if (folder == nullptr || folder[0] == 0)
        return false;

    wchar_t skinFile[kMaxPathChars + 1];
    if (!SetFolders(folder) || !JoinPath(skinFolder_, kSkinFileName, skinFile) || !document_->Load(skinFile)) {
        Close();
        return false;
    }

    ReadDescription();

    // The preview element is what makes a folder a skin; its text may be empty.
    std::wstring preview;
    if (!document_->ReadText(L"skin/description/preview", &preview)) {
        Close();
        return false;
    }
    if (!preview.empty()) {
        HBITMAP bitmap = nullptr;
        if (LoadSkinImage(preview.c_str(), &bitmap))  // a preview that does not load is no error
            preview_.reset(bitmap);
    }
    return true;
}

bool CSkin::LoadSkinImage(const wchar_t* fileName, HBITMAP* bitmap) const
{
    if (bitmap == nullptr)
        return false;
    *bitmap = nullptr;
    if (fileName == nullptr || fileName[0] == 0 || skinFolder_[0] == 0)
        return false;

    wchar_t path[kMaxPathChars + 1];
    if (JoinPath(skinFolder_, fileName, path) && LoadPictureFile(path, 0, 0, bitmap))
        return true;
    *bitmap = nullptr;
    return JoinPath(commonFolder_, fileName, path) && LoadPictureFile(path, 0, 0, bitmap);
}

bool CSkin::LoadSkinImage(const wchar_t* fileName, UniqueBitmap* bitmap) const
{
    if (bitmap == nullptr)
        return false;
    HBITMAP loaded = nullptr;
    const bool ok = LoadSkinImage(fileName, &loaded);
    bitmap->reset(loaded);
    return ok;
}

bool CSkin::ReadAccelerators(std::vector<TAccelKey>* keys)
{
    if (keys == nullptr || !document_->Select(L"skin/accelerator/key"))
        return false;

    XmlNode node;
    while (document_->NextMatch(nullptr, nullptr, nullptr, &node)) {
        // Every key element starts from empty values: an attribute one key
        // leaves out must not take the value an earlier key gave it.
        TAttributeEntry rows[] = {
            {L"control", L""}, {L"alt", L""}, {L"shift", L""}, {L"code", L""}, {L"cmdid", L""}, {L"name", L""},
        };
        if (!document_->ReadAttributeTable(node.get(), rows))
            continue;
        TAccelKey key{};
        key.control = ParseFalseTestFlag(AttributeValue(rows, L"control"), true);
        key.alt = ParseFalseTestFlag(AttributeValue(rows, L"alt"), false);
        key.shift = ParseFalseTestFlag(AttributeValue(rows, L"shift"), false);
        CopyText(key.code, AttributeValue(rows, L"code"));
        key.cmdid = ParseHex(AttributeValue(rows, L"cmdid"), 0);
        NarrowName(key.name, AttributeValue(rows, L"name"));
        keys->push_back(key);
    }
    return true;
}

}  // namespace kivra
