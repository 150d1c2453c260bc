// CConfigure: the product configuration of common\config.xml, one per
// process, with the opened skin and the language table it names.
//
//   <main-frame>
//     <logo>main.ico</logo>                      required, an icon file in the common folder
//     <title>...</title>                         required (may be a text id)
//     <using-system-language>true</...>          required, exactly "true" or not
//     <default-language>am_EN</...>              required unless the above is "true"
//     <skin>default</skin>                       required, the skin's folder name
//     <help-file-title>, <help-file-name>, <db-file-name>   optional, 63 characters;
//                                                file names that name a device
//                                                (COM1, nul.db) fail the load
//     <enble-log-level>1,1,1,1,1,1</...>         optional, six flags, else mask 255
//     <button-owner>...</button-owner>           required
//   </main-frame>
#pragma once

#include <windows.h>

#include <memory>

#include "config/LanguageTable.h"
#include "config/Skin.h"
#include "config/SkinRecords.h"
#include "config/XmlDocument.h"
#include "framework/Handles.h"
#include "framework/ModulePath.h"
#include "framework/Text.h"

namespace kivra {

// Capacities of the configuration's texts, terminator included.
constexpr size_t kConfigPathUnits = kMaxPathChars + 1;
constexpr size_t kConfigLongTextUnits = 260;
constexpr size_t kConfigShortTextUnits = 64;

// A skin button whose owner is empty is always kept; otherwise its owner must
// occur, with the same case, inside the configuration's button-owner text.
bool ButtonOwnerAccepted(const wchar_t* buttonOwnerText, const wchar_t* owner);

class CConfigure {
public:
    // productFolder: the folder holding common\, skin\ and language\, with its
    // trailing backslash. A folder without one, or one whose paths would not
    // fit 259 characters, leaves the object unusable (Load fails).
    explicit CConfigure(const wchar_t* productFolder);
    CConfigure(const CConfigure&) = delete;
    CConfigure& operator=(const CConfigure&) = delete;

    // Reads config.xml, the language file and the skin. False when config.xml
    // is missing or broken, a required element is missing, a path would be
    // longer than 259 characters, the help or database file name names a
    // device, or the skin does not open. documents, when not null, is the
    // store the three files are read through.
    bool Load(CDocumentStore* documents = nullptr);

    CSkin& Skin() { return skin_; }
    const CLanguageTable& Language() const { return language_; }

    const wchar_t* CommonFolder() const { return commonFolder_; }
    const wchar_t* SkinFolder() const { return skinFolder_; }
    const wchar_t* ConfigFilePath() const { return configFile_; }
    const wchar_t* LanguageFilePath() const { return languageFile_; }
    const wchar_t* ButtonOwner() const { return buttonOwner_; }
    const wchar_t* Title() const { return title_; }
    const wchar_t* HelpTitle() const { return helpTitle_; }
    const wchar_t* HelpFileName() const { return helpFileName_; }
    const wchar_t* DatabaseFileName() const { return databaseFileName_; }
    const TMainFrameSkin& MainFrame() const { return mainFrame_; }
    unsigned LogLevelMask() const { return logLevelMask_; }
    // The logo icon, owned by the configuration; null when it did not load.
    HICON LogoIcon() const { return logoIcon_.get(); }
    // The file the logo was loaded from; empty when it did not load.
    const wchar_t* LogoFilePath() const { return logoFile_; }

    bool ButtonOwnerAccepted(const wchar_t* owner) const { return kivra::ButtonOwnerAccepted(buttonOwner_, owner); }

private:
    bool ReadLogo();
    bool ReadLanguage(CDocumentStore* documents);

    CSkin skin_;
    std::unique_ptr<CXmlDocument> document_;  // config.xml, released after a successful load
    CLanguageTable language_;
    wchar_t commonFolder_[kConfigPathUnits] = {};
    wchar_t skinFolder_[kConfigPathUnits] = {};
    wchar_t configFile_[kConfigPathUnits] = {};
    wchar_t languageFile_[kConfigPathUnits] = {};
    wchar_t logoFile_[kConfigPathUnits] = {};
    wchar_t buttonOwner_[kConfigLongTextUnits] = {};
    wchar_t title_[kConfigLongTextUnits] = {};
    wchar_t helpTitle_[kConfigShortTextUnits] = {};
    wchar_t helpFileName_[kConfigShortTextUnits] = {};
    wchar_t databaseFileName_[kConfigShortTextUnits] = {};
    TMainFrameSkin mainFrame_ = {};
    unsigned logLevelMask_ = 255;
    UniqueIcon logoIcon_;
    bool constructed_ = false;
};

// The process's configuration, made and loaded from the executable's folder
// on first use. COM is initialised for the calling thread while the
// configuration lives (the XML parser and the skin's pictures need it) and
// given back by DestroyConfigure, or at once when the configuration cannot be
// loaded. Null when it cannot be loaded; the next call tries again from the
// beginning.
CConfigure* GetConfigure();
// As GetConfigure, loading from productFolder when no configuration exists yet.
CConfigure* GetConfigureFrom(const wchar_t* productFolder);
// Releases the configuration with its skin and language table.
void DestroyConfigure();
// The store the process's configuration reads its documents through from
// its next load on; null reads them without one.
void KeepDocumentsIn(std::unique_ptr<CDocumentStore> store);
// Writes what this run parsed to that store, when it parsed anything.
void SaveDocuments();
// The configuration when it exists, without making or loading one.
CConfigure* ExistingConfigure();

// The translation of one of the shell's own text ids into buffer[capacity]
// through the process's configuration; the id itself when there is no
// configuration (none is loaded for it) or no entry.
void TranslateShellText(const wchar_t* id, wchar_t* buffer, size_t capacity);
template <size_t N> void TranslateShellText(const wchar_t* id, wchar_t (&buffer)[N])
{
    TranslateShellText(id, buffer, N);
}

}  // namespace kivra
