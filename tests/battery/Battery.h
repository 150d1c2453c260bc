// The battery's product folders and runs: a small fixture product described
// by a Plan (config.xml elements, skin sections, language entries, extra
// files), laid out in runs\<name>\ of the test program's short scratch
// folder, and one run of the real Kivra.exe in it with a time limit,
// classified by how it ended.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace kivra::battery {

// How a run ended.
enum class Outcome {
    Started,       // the main window came up and closed cleanly on WM_CLOSE
    ConfigBroken,  // "The config file may be broken!", then a clean end
    Ended,         // ended by itself, without a window and without a crash
    LoginCancelled,  // asked for the stored password, cancelled, then a clean end
    Crashed,       // an exception code as exit code, or a crash report in log\ .
    NotStarted,    // refused before the start: a path past what CreateProcessW takes
    Hung,          // none of the above within the time limit
};
const char* OutcomeName(Outcome outcome);

struct Plan {
    std::wstring title;  // main-frame/title; set by the battery, unique per case
    // config.xml's elements in order; an element set to kAbsent is left out.
    std::vector<std::pair<std::string, std::string>> config;
    std::string skinBody;      // everything inside <skin>
    std::string languageBody;  // everything inside <table>
    // Whole files instead of the generated ones, when not empty.
    std::string configFile, skinFile, languageFile;
    std::vector<std::pair<std::wstring, std::string>> files;  // relative path, bytes
    std::vector<std::wstring> folders;                        // made after the files
    std::vector<std::wstring> removed;                        // files deleted last
    std::wstring workingFolder;  // relative to the product folder, or absolute; empty: the product folder
    std::wstring folderName;     // the product folder's name; empty: the case's
    std::string crashyAt;        // crashy.dll goes into plugins\ when set ("-": crashes nowhere)
};

// The plan every case starts from: a shaped window from back.bmp, logo.ico,
// am_EN.xml, no plugins.
Plan BasePlan();
constexpr const char* kAbsent = "\x01";
void SetConfig(Plan& plan, const std::string& element, const std::string& text);

// The generated files, for cases that change them as a whole.
std::string ConfigText(const Plan& plan);
std::string SkinText(const Plan& plan);
std::string Utf16File(const std::string& utf8);  // with a byte-order mark

struct RunResult {
    Outcome outcome = Outcome::Hung;
    DWORD exitCode = 0;
    DWORD milliseconds = 0;
    std::string crashReport;  // the report's text when one was written
};

// runs\<name>\ in the test program's scratch folder.
std::wstring ProductFolder(const std::wstring& name);
// Lays out plan in folder (made afresh), the program files copied
// in. Returns what could not be made, empty when all was.
std::string MakeProduct(const std::wstring& folder, const Plan& plan);
// Runs folder's Kivra.exe until it ends or limitMs passed; a main window is
// closed, a broken-configuration message answered.
RunResult RunKivra(const std::wstring& folder, const Plan& plan, DWORD limitMs);

}  // namespace kivra::battery
