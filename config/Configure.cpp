#include "config/Configure.h"

#include "config/DocumentStore.h"

#include <cwchar>
#include <string>

#include "config/SkinFrame.h"
#include "config/Values.h"
#include "framework/DiskFile.h"

namespace kivra {

namespace {

const wchar_t kInitialHelpTitle[] = L"Bramic Help";
const wchar_t kInitialHelpFileName[] = L"bramic.chm";
const wchar_t kInitialDatabaseFileName[] = L"bramic.db";

constexpr unsigned kLogMaskWhenNotConfigured = 255;

// The process's configuration with the COM its parser and pictures need,
// given back once the configuration is gone, and the store its documents
// are read through.
struct TProcessConfiguration {
    std::unique_ptr<CDocumentStore> documents;  // outlives configurations made again
    std::unique_ptr<ComScope> com;
    std::unique_ptr<CConfigure> configure;  // released before com
};
TProcessConfiguration g_process;

// path = folder + tail, rejected (false) rather than cut when too long.
bool JoinPath(wchar_t (&path)[kConfigPathUnits], const wchar_t* folder, const wchar_t* tail)
{
    return CopyText(path, folder) && AppendText(path, tail);
}

}  // namespace

bool ButtonOwnerAccepted(const wchar_t* buttonOwnerText, const wchar_t* owner)
{
    if (owner == nullptr || owner[0] == 0)
        return true;
    return buttonOwnerText != nullptr && wcsstr(buttonOwnerText, owner) != nullptr;
}

CConfigure::CConfigure(const wchar_t* productFolder)
{
    CopyText(helpTitle_, kInitialHelpTitle);
    CopyText(helpFileName_, kInitialHelpFileName);
    CopyText(databaseFileName_, kInitialDatabaseFileName);
    mainFrame_.maskColor = kDefaultMaskColor;

    if (productFolder == nullptr || productFolder[0] == 0)
        return;
    const size_t length = wcslen(productFolder);
    if (productFolder[length - 1] != L'\\')
        return;
    constructed_ = JoinPath(commonFolder_, productFolder, L"common\\") &&
                   JoinPath(skinFolder_, productFolder, L"skin\\") &&
                   JoinPath(configFile_, productFolder, L"common\\config.xml") &&
                   JoinPath(languageFile_, productFolder, L"language\\");
}

bool CConfigure::ReadLogo()
{
    std::wstring name;
    if (!document_->ReadText(L"main-frame/logo", &name))
        return false;
    // The icon is taken from the product's own common\ folder. Resolving
    // "common\" against the working directory would lose the logo whenever
    // Kivra is started from elsewhere (a shortcut, another program).
    // A logo that does not load (a name too long for a path included) leaves
    // no icon; that is no error.
    logoIcon_.reset();
    logoFile_[0] = 0;
    wchar_t path[kConfigPathUnits];
    if (JoinPath(path, commonFolder_, name.c_str()))
        logoIcon_.reset(LoadIconFile(path));
    if (logoIcon_)
        CopyText(logoFile_, path);
    return true;
}

bool CConfigure::ReadLanguage(CDocumentStore* documents)
{
    std::wstring flag, code;
    if (!document_->ReadText(L"main-frame/using-system-language", &flag))
        return false;
    if (ParseTrueTestFlag(flag.c_str()))
        code = CLanguageTable::SystemLanguageCode();
    else if (!document_->ReadText(L"main-frame/default-language", &code))
        return false;
    if (!AppendText(languageFile_, code.c_str()) || !AppendText(languageFile_, L".xml"))
        return false;
    // A missing or broken language file leaves the table empty: every text
    // then shows as its id, and the product still starts.
    language_.Load(languageFile_, documents);
    return true;
}

bool CConfigure::Load(CDocumentStore* documents)
{
    if (!constructed_)
        return false;
    document_ = std::make_unique<CXmlDocument>();
    if (!document_->Load(configFile_, documents))
        return false;
    if (!ReadLogo())
        return false;

    std::wstring text;
    if (!document_->ReadText(L"main-frame/title", &text))
        return false;
    CopyText(title_, text.c_str());

    if (!ReadLanguage(documents))
        return false;

    if (!document_->ReadText(L"main-frame/skin", &text) || !AppendText(skinFolder_, text.c_str()))
        return false;

    if (document_->ReadText(L"main-frame/help-file-title", &text))
        CopyText(helpTitle_, text.c_str());
    // The help file and the database are opened by name later; a name that
    // opens a device instead of a file is a broken configuration.
    if (document_->ReadText(L"main-frame/help-file-name", &text)) {
        if (NamesDevice(text.c_str()))
            return false;
        CopyText(helpFileName_, text.c_str());
    }
    if (document_->ReadText(L"main-frame/db-file-name", &text)) {
        if (NamesDevice(text.c_str()))
            return false;
        CopyText(databaseFileName_, text.c_str());
    }
    if (document_->ReadText(L"main-frame/enble-log-level", &text))
        logLevelMask_ = ParseSixFlags(text.c_str());

    if (!document_->ReadText(L"main-frame/button-owner", &text))
        return false;
    CopyText(buttonOwner_, text.c_str());

    if (!skin_.Open(skinFolder_, documents))
        return false;
    ReadMainFrame(skin_.Document(), &mainFrame_);

    document_.reset();
    return true;
}

CConfigure* GetConfigureFrom(const wchar_t* productFolder)
{
    if (g_process.configure)
        return g_process.configure.get();
    // S_FALSE (already initialised on this thread) counts as success; a
    // configuration that does not load gives COM back at once.
    auto com = std::make_unique<ComScope>();
    if (!com->ok())
        return nullptr;
    auto configure = std::make_unique<CConfigure>(productFolder);
    const bool loaded = configure->Load(g_process.documents.get());
    if (g_process.documents)
        g_process.documents->Release();  // read: another program may replace it now
    if (!loaded)
        return nullptr;
    g_process.com = std::move(com);
    g_process.configure = std::move(configure);
    return g_process.configure.get();
}

CConfigure* GetConfigure()
{
    if (g_process.configure)
        return g_process.configure.get();
    wchar_t folder[kConfigPathUnits];
    if (!ExecutableFolder(folder, kConfigPathUnits))
        return nullptr;
    return GetConfigureFrom(folder);
}

void DestroyConfigure()
{
    g_process.configure.reset();
    g_process.com.reset();
}

void KeepDocumentsIn(std::unique_ptr<CDocumentStore> store)
{
    g_process.documents = std::move(store);
}

void SaveDocuments()
{
    if (g_process.documents)
        g_process.documents->Save();
}

CConfigure* ExistingConfigure()
{
    return g_process.configure.get();
}

void TranslateShellText(const wchar_t* id, wchar_t* buffer, size_t capacity)
{
    if (CConfigure* configure = ExistingConfigure())
        configure->Language().Translate(id, buffer, capacity);
    else
        CopyText(buffer, capacity, id);
}

}  // namespace kivra
