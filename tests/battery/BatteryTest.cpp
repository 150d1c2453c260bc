// The battery: one table of broken, huge and hostile product folders, each
// started as the real Kivra.exe with a time limit, several side by side. Every
// case must end the way its row says, and none may hang or crash: a clean
// start, the broken-configuration message, or a silent end where the shell
// ends silently (a database that does not open).
#include "tests/battery/Battery.h"

#include "tests/e2e/KivraRun.h"
#include "tests/support/Bitmaps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <map>
#include <thread>

using namespace kivra::battery;

namespace {

using Make = std::function<void(Plan&)>;
struct Case {
    const char* family;
    std::string name;
    Outcome expected;
    Make make;
};

constexpr DWORD kLimitMs = 30000;
constexpr unsigned kSideBySide = 3;
// The product folder of the row whose Kivra.exe path fits and whose
// common\config.xml path does not.
constexpr size_t kDeepFolderChars = 245;
// The deep working folder's whole length: within what CreateProcessW takes.
constexpr size_t kDeepWorkingFolderChars = 240;
// A folder name's longest component used here.
constexpr size_t kComponentChars = 100;

// The product folder name of case i: "b" and three digits, so that every
// case's folder has the same length.
std::wstring CaseFolderName(size_t i)
{
    wchar_t name[8];
    std::swprintf(name, 8, L"b%03u", static_cast<unsigned>(i % 1000));
    return name;
}

size_t ProductFolderChars()
{
    return ProductFolder(CaseFolderName(0)).size();
}

// A relative folder of exactly chars characters (at least 1), in components
// of at most kComponentChars, made of letter.
std::wstring RelativeFolder(size_t chars, wchar_t letter)
{
    std::wstring folder;
    while (chars > kComponentChars + 1) {
        folder += std::wstring(kComponentChars, letter) + L"\\";
        chars -= kComponentChars + 1;
    }
    return folder + std::wstring(chars > 0 ? chars : 1, letter);
}

// The rows whose paths depend on the product folder's real length.
std::vector<Case> PathRows()
{
    const Outcome S = Outcome::Started, B = Outcome::ConfigBroken, N = Outcome::NotStarted;
    const size_t base = ProductFolderChars();
    const std::string baseText = " (product folder of " + std::to_string(base) + " characters)";
    std::vector<Case> rows;
    if (base + 2 <= kDeepWorkingFolderChars) {
        const size_t deep = kDeepWorkingFolderChars - base;
        rows.push_back({"working folder", "a working folder of " + std::to_string(base + deep) + " characters" + baseText, S,
                        [deep](Plan& s) { s.workingFolder = RelativeFolder(deep, L'w'); s.folders.push_back(s.workingFolder); }});
    }
    // Never handed to CreateProcessW (Wine would abort inside the battery):
    // refused first, whatever the base.
    rows.push_back({"working folder", "a working folder past MAX_PATH, refused before the start" + baseText, N,
                    [](Plan& s) { s.workingFolder = RelativeFolder(300, L'x'); }});
    const size_t runs = ProductFolder(L"").size();
    if (runs + 2 < kDeepFolderChars) {
        // Kivra.exe's own path fits; common\config.xml's does not.
        const size_t name = kDeepFolderChars - runs - 1;
        rows.push_back({"working folder", "product folder of " + std::to_string(kDeepFolderChars) + " characters, too deep for its paths", B,
                        [name](Plan& s) { s.folderName = RelativeFolder(name, L'd'); }});
    } else {
        rows.push_back({"working folder", "product folder too deep for its paths: no room under " + std::to_string(runs) +
                                              " characters, refused before the start", N,
                        [](Plan& s) { s.workingFolder = RelativeFolder(300, L'x'); }});
    }
    return rows;
}

std::string Repeat(const std::string& text, size_t times)
{
    std::string out;
    out.reserve(text.size() * times);
    for (size_t i = 0; i < times; ++i)
        out += text;
    return out;
}

std::string Junk(size_t size)
{
    std::string bytes(size, '\0');
    unsigned seed = 12345;
    for (char& c : bytes)
        c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
    return bytes;
}

std::string Bmp(int width, int height)
{
    return kivra::testing::SolidBmpFileBytes(width, height, RGB(10, 200, 10));
}

// A BMP whose header claims a size it does not hold.
std::string LyingBmp(int width, int height)
{
    std::string bytes = Bmp(4, 4);
    std::memcpy(&bytes[18], &width, 4);
    std::memcpy(&bytes[22], &height, 4);
    return bytes;
}

// The first bytes of a Windows library for another processor.
std::string ForeignLibrary(unsigned short machine)
{
    std::string bytes(512, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[0x3C] = 0x40;
    std::memcpy(&bytes[0x40], "PE\0\0", 4);
    std::memcpy(&bytes[0x44], &machine, 2);
    return bytes;
}

std::string Entities(const std::string& root, const std::string& declarations, const std::string& body)
{
    return "<?xml version=\"1.0\"?>\r\n<!DOCTYPE " + root + " [" + declarations + "]>\r\n<" + root + ">" + body +
           "</" + root + ">\r\n";
}

// What a case changes in the base product, one piece each.
Make Config(const std::string& element, const std::string& text) { return [=](Plan& s) { SetConfig(s, element, text); }; }
Make Language(const std::string& code) { return Config("default-language", code); }
Make File(const std::wstring& path, const std::string& bytes) { return [=](Plan& s) { s.files.emplace_back(path, bytes); }; }
// For big contents: made when the case runs, not when the table is built.
Make BigFile(const std::wstring& path, std::function<std::string()> bytes) { return [=](Plan& s) { s.files.emplace_back(path, bytes()); }; }
Make Removed(const std::wstring& path) { return [=](Plan& s) { s.removed.push_back(path); }; }
Make Folder(const std::wstring& path) { return [=](Plan& s) { s.folders.push_back(path); }; }
Make FolderInstead(const std::wstring& path) { return [=](Plan& s) { s.removed.push_back(path); s.folders.push_back(path); }; }
Make Whole(std::string Plan::*file, const std::string& text) { return [=](Plan& s) { s.*file = text; }; }
// The generated config.xml or skin.xml with text put before the first "at".
Make ConfigInsert(const std::string& at, const std::string& text)
{
    return [=](Plan& s) { s.configFile = ConfigText(s); s.configFile.insert(s.configFile.find(at), text); };
}
Make SkinInsert(const std::string& at, const std::string& text)
{
    return [=](Plan& s) { s.skinFile = SkinText(s); s.skinFile.insert(s.skinFile.find(at), text); };
}
Make SkinSwap(const std::string& from, const std::string& to)
{
    return [=](Plan& s) { s.skinBody.replace(s.skinBody.find(from), from.size(), to); };
}
Make Section(const std::string& xml) { return [=](Plan& s) { s.skinBody += "  " + xml + "\r\n"; }; }
Make Picture(const std::string& name) { return SkinSwap("back.bmp</image>", name + "</image>"); }
Make PictureBytes(const std::string& bytes) { return File(L"skin\\battery\\back.bmp", bytes); }
Make Crashy(const char* at) { return [=](Plan& s) { s.crashyAt = at; }; }
Make Both(Make first, Make second) { return [=](Plan& s) { first(s); second(s); }; }
// The whole configuration, with entity declarations and a title that uses them.
Make EntityTitle(const std::string& declarations, const std::string& title)
{
    return Both(Config("title", title), ConfigInsert("<main-frame>", "<!DOCTYPE main-frame [" + declarations + "]>\r\n"));
}

std::vector<Case> FixedRows()
{
    const Outcome S = Outcome::Started, B = Outcome::ConfigBroken, E = Outcome::Ended, C = Outcome::Crashed,
                  L = Outcome::LoginCancelled;
    const std::string laughs =
        "<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
        "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
        "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\"><!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">";
    const std::string bigEntity = "<!ENTITY t \"" + std::string(50000, 'T') + "\">";
    return {
        // --- configuration (common\config.xml) -----------------------------------
        {"configuration", "missing", B, Removed(L"common\\config.xml")},
        {"configuration", "empty file", B, Whole(&Plan::configFile, " ")},
        {"configuration", "not well-formed", B, Whole(&Plan::configFile, "<main-frame><title>x</main-frame>")},
        {"configuration", "binary garbage", B, Whole(&Plan::configFile, Junk(4096))},
        {"configuration", "a folder", B, FolderInstead(L"common\\config.xml")},
        {"configuration", "wrong root element", B, Whole(&Plan::configFile, "<skin><logo>logo.ico</logo><title>x</title></skin>")},
        {"configuration", "no logo", B, Config("logo", kAbsent)},
        {"configuration", "no title", B, Config("title", kAbsent)},
        {"configuration", "no using-system-language", B, Config("using-system-language", kAbsent)},
        {"configuration", "no default-language", B, Config("default-language", kAbsent)},
        {"configuration", "system language without default-language", S,
         Both(Config("using-system-language", "true"), Config("default-language", kAbsent))},
        {"configuration", "no skin", B, Config("skin", kAbsent)},
        {"configuration", "no button-owner", B, Config("button-owner", kAbsent)},
        {"configuration", "title of 5,000 characters, cut", S, [](Plan& s) { s.title = std::wstring(259, L'W'); SetConfig(s, "title", std::string(5000, 'W')); }},
        {"configuration", "format specifiers in the title", S, [](Plan& s) { s.title = L"%s%n%x%d%99999999s"; }},
        {"configuration", "title from an internal entity, 50,000 x 2,000", B, EntityTitle(bigEntity, Repeat("&t;", 2000))},
        {"configuration", "billion laughs", B, EntityTitle(laughs, "&f;")},
        {"configuration", "external entity", B, EntityTitle("<!ENTITY x SYSTEM \"file:///etc/passwd\">", "&x;")},
        {"configuration", "external entity naming a serial port", B, EntityTitle("<!ENTITY x SYSTEM \"COM1\">", "&x;")},
        {"configuration", "parameter entity", B, EntityTitle("<!ENTITY % p \"<!ENTITY q 'x'>\"> %p;", "&q;")},
        {"configuration", "UTF-16 with an entity", B,
         Both(EntityTitle(bigEntity, Repeat("&t;", 2000)), [](Plan& s) { s.configFile = Utf16File(s.configFile); })},
        {"configuration", "plain DOCTYPE line", S, ConfigInsert("<main-frame>", "<!DOCTYPE main-frame>\r\n")},
        {"configuration", "external DTD naming a serial port, not read", S, ConfigInsert("<main-frame>", "<!DOCTYPE main-frame SYSTEM \"COM1\">\r\n")},
        {"configuration", "XInclude, not followed", S,
         ConfigInsert("</main-frame>", "<xi:include xmlns:xi=\"http://www.w3.org/2001/XInclude\" href=\"COM1\"/>")},
        {"configuration", "UTF-16 with a byte-order mark", S, [](Plan& s) { s.configFile = Utf16File(ConfigText(s)); }},
        {"configuration", "5 MB of comments", S, ConfigInsert("</main-frame>", Repeat("<!-- " + std::string(1000, 'c') + " -->\r\n", 5000))},
        {"configuration", "20,000 unknown elements", S, ConfigInsert("</main-frame>", Repeat("<unknown a=\"1\">text</unknown>", 20000))},
        {"configuration", "skin name COM1", B, Config("skin", "COM1")},
        {"configuration", "skin name leaving the skin folder", B, Config("skin", "..\\..\\common")},
        {"configuration", "skin name of 300 characters", B, Config("skin", std::string(300, 's'))},
        {"configuration", "empty skin name", B, Config("skin", "")},
        {"configuration", "log levels unreadable", S, Config("enble-log-level", "x,%n,99999999999,-1")},
        {"configuration", "log levels 1,000 values", S, Config("enble-log-level", Repeat("1,", 1000))},
        {"configuration", "button-owner of 10,000 characters", S, Config("button-owner", std::string(10000, 'b'))},
        {"configuration", "help file name AUX", B, Config("help-file-name", "AUX")},
        {"configuration", "help file name com3.chm", B, Config("help-file-name", "com3.chm")},
        {"configuration", "help file title of 1,000 characters", S, Config("help-file-title", std::string(1000, 'h'))},

        // --- skin (skin\battery\skin.xml and its sections) --------------------------
        {"skin", "skin.xml missing", B, Removed(L"skin\\battery\\skin.xml")},
        {"skin", "skin.xml a folder", B, FolderInstead(L"skin\\battery\\skin.xml")},
        {"skin", "skin.xml empty", B, Whole(&Plan::skinFile, "\r\n")},
        {"skin", "skin.xml not well-formed", B, Whole(&Plan::skinFile, "<skin><description></skin>")},
        {"skin", "skin.xml garbage", B, Whole(&Plan::skinFile, Junk(10000))},
        {"skin", "no description", B, [](Plan& s) { s.skinBody.erase(0, s.skinBody.find("</description>") + 16); }},
        {"skin", "no preview element", B, SkinSwap("<preview></preview>", "")},
        {"skin", "billion laughs", B, Whole(&Plan::skinFile, Entities("skin", laughs, "<description><preview>&f;</preview></description>"))},
        {"skin", "an entity declared, never used", B, SkinInsert("<skin>", "<!DOCTYPE skin [" + bigEntity + "]>\r\n")},
        {"skin", "preview COM1.jpg", S, SkinSwap("<preview></preview>", "<preview>COM1.jpg</preview>")},
        {"skin", "preview missing file", S, SkinSwap("<preview></preview>", "<preview>none.jpg</preview>")},
        {"skin", "description texts of 10,000 characters", S, SkinSwap(">1</version>", ">" + std::string(10000, 'v') + "</version>")},
        {"skin", "window size huge", S, SkinSwap("160, 120", "99999, 99999")},
        {"skin", "window size negative", S, SkinSwap("160, 120", "-500, -7")},
        {"skin", "mask colour covering the whole picture", S, SkinSwap("255,0,255", "40,90,160")},
        {"skin", "not shaped, no background", S, Both(SkinSwap("true</abnormal-window>", "no</abnormal-window>"), SkinSwap("back.bmp", ""))},
        {"skin", "2,000 tool-bar buttons", S, Section("<tool-bar image-size=\"16,16\">" +
                                                      Repeat("<button owner=\"battery\" rect=\"1,1,20,20\" image=\"back.bmp\" string=\"%s%n\"/>", 2000) +
                                                      "</tool-bar>")},
        {"skin", "tool-bar values unreadable", S, Section("<tool-bar image-size=\"x,y\" mask-color=\"300,-1,%n\">"
                                                          "<button owner=\"battery\" rect=\"a,b,c\" cmdid=\"zz\" font-size=\"99999999999\"/></tool-bar>")},
        {"skin", "attributes of 100,000 characters", S, Section("<tool-bar><button owner=\"" + std::string(100000, 'o') +
                                                                "\" service=\"" + std::string(100000, 's') + "\"/></tool-bar>")},
        {"skin", "1,000 title-bar images and buttons", S, Section("<title-bar>" + Repeat("<image from=\"0,0,5,5\" to=\"0,0,5,5\">back.bmp</image>", 500) +
                                                                  Repeat("<button id=\"close\" image=\"COM1\" hover=\"AUX.bmp\"/>", 500) + "</title-bar>")},
        {"skin", "5,000 status-bar items", S, Section("<status-bar show=\"true\">" + Repeat("<item name=\"x\" cmdid=\"FFFFFFFF\" width=\"FFFFFFFF\"/>", 5000) + "</status-bar>")},
        {"skin", "2,000 accelerators", S, Section("<accelerator>" + Repeat("<key code=\"NoSuchKey\" cmdid=\"FFFFFFFFFF\" name=\"%s\"/><key code=\"F5\" cmdid=\"F020\"/>", 1000) + "</accelerator>")},
        {"skin", "1,000 menus of 20 items", S, Section(Repeat("<menu name=\"m\" image-list=\"COM1\">" + Repeat("<item string=\"s\" cmdid=\"0\" checked-image=\"LPT1.bmp\"/>", 20) + "</menu>", 1000))},
        {"skin", "tool area with device pictures", S, Section("<tool image=\"COM1\" background-image=\"aux.bmp\" logo-image=\"NUL\"><item name=\"i\" image=\"CON.bmp\"/></tool>")},
        {"skin", "plugin section with device pictures", S, Section("<plugin name=\"battery\" background-image=\"COM1\"><control name=\"c\" image-list=\"LPT1\"/></plugin>")},
        {"skin", "max mode with device pictures", S, Section("<max-window-service enable=\"true\"><max-window-size>99999,99999</max-window-size>"
                                                             "<max-back-image><image from=\"0,0,1,1\" to=\"0,0,1,1\">COM1.bmp</image></max-back-image></max-window-service>")},
        {"skin", "notifier and floating window with device pictures", S, Section("<notifier-window><text-rect>1,2,3</text-rect><image>AUX</image></notifier-window>"
                                                                                 "<float-dlg><show-window>true</show-window><normal-transparent-layer>300</normal-transparent-layer>"
                                                                                 "<hover-transparent-layer>-1</hover-transparent-layer><backgroud-image>COM1.bmp</backgroud-image></float-dlg>")},
        {"skin", "elements nested 200 deep", S, Section(Repeat("<deep>", 200) + Repeat("</deep>", 200))},

        // --- pictures and icons -------------------------------------------------------
        {"picture and icon", "background COM1", S, Picture("COM1")},
        {"picture and icon", "background com1.bmp", S, Picture("com1.bmp")},
        {"picture and icon", "background AUX.jpg", S, Picture("AUX.jpg")},
        {"picture and icon", "background COM1 .bmp", S, Picture("COM1 .bmp")},
        {"picture and icon", "background LPT9.gif", S, Picture("LPT9.gif")},
        {"picture and icon", "background CON", S, Picture("CON")},
        {"picture and icon", "background nul.bmp", S, Picture("nul.bmp")},
        {"picture and icon", "background CONIN$", S, Picture("CONIN$")},
        {"picture and icon", "background COM superscript one", S, Picture("COM\xC2\xB9.bmp")},
        {"picture and icon", "background in a folder named COM1", S, Picture("COM1\\back.bmp")},
        {"picture and icon", "background a character device reached by ..", S, Picture("..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\dev\\zero")},
        {"picture and icon", "background missing", S, Picture("none.bmp")},
        {"picture and icon", "background empty name", S, Picture("")},
        {"picture and icon", "background name of 400 characters", S, Picture(std::string(400, 'p'))},
        {"picture and icon", "background a folder", S, Both(Picture("pictures"), Folder(L"skin\\battery\\pictures"))},
        {"picture and icon", "background empty file", S, PictureBytes("")},
        {"picture and icon", "background garbage", S, PictureBytes(Junk(20000))},
        {"picture and icon", "background BMP cut short", S, PictureBytes(Bmp(160, 120).substr(0, 500))},
        {"picture and icon", "background BMP claiming 30000 x 30000", S, PictureBytes(LyingBmp(30000, 30000))},
        {"picture and icon", "background BMP claiming a negative size", S, PictureBytes(LyingBmp(-5, -2147483647))},
        {"picture and icon", "background 1 x 1", S, PictureBytes(Bmp(1, 1))},
        {"picture and icon", "background 2000 x 1500", S, BigFile(L"skin\\battery\\back.bmp", [] { return Bmp(2000, 1500); })},
        {"picture and icon", "background JPEG cut short", S, PictureBytes(std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11) + Junk(100))},
        {"picture and icon", "background GIF header only", S, PictureBytes("GIF89a\x10\x00\x10\x00")},
        {"picture and icon", "background is skin.xml", S, Picture("skin.xml")},
        {"picture and icon", "logo COM1", S, Config("logo", "COM1")},
        {"picture and icon", "logo aux.ico", S, Config("logo", "aux.ico")},
        {"picture and icon", "logo missing file", S, Config("logo", "none.ico")},
        {"picture and icon", "logo a folder", S, Both(Config("logo", "icons"), Folder(L"common\\icons"))},
        {"picture and icon", "logo garbage", S, File(L"common\\logo.ico", Junk(5000))},
        {"picture and icon", "logo a bitmap", S, File(L"common\\logo.ico", Bmp(32, 32))},
        {"picture and icon", "logo empty file", S, File(L"common\\logo.ico", "")},
        {"picture and icon", "logo name of 400 characters", S, Config("logo", std::string(400, 'l'))},
        {"picture and icon", "main.ico garbage", S, File(L"common\\main.ico", Junk(3000))},
        {"picture and icon", "main.ico missing", S, Removed(L"common\\main.ico")},
        {"picture and icon", "tool-bar pictures naming devices", S, Section("<tool-bar image-list=\"COM2\" normal-button-image=\"LPT1.bmp\" hover-button-image=\"prn\">"
                                                                            "<button owner=\"battery\" image=\"con.bmp\" hover=\"COM9\" focus=\"aux\" down=\"NUL.gif\" disable=\"COM3.jpg\"/></tool-bar>")},

        // --- language files -----------------------------------------------------------
        {"language", "code COM1", S, Language("COM1")},
        {"language", "code com1", S, Language("com1")},
        {"language", "code AUX", S, Language("AUX")},
        {"language", "code NUL", S, Language("NUL")},
        {"language", "code CON", S, Language("CON")},
        {"language", "code LPT1", S, Language("LPT1")},
        {"language", "code COM1.en", S, Language("COM1.en")},
        {"language", "code leaving the folder", S, Language("..\\common\\config")},
        {"language", "code of 300 characters", B, Language(std::string(300, 'c'))},
        {"language", "empty code", S, Language("")},
        {"language", "file missing", S, Removed(L"language\\am_EN.xml")},
        {"language", "file empty", S, Whole(&Plan::languageFile, " ")},
        {"language", "file garbage", S, Whole(&Plan::languageFile, Junk(8000))},
        {"language", "file a folder", S, FolderInstead(L"language\\am_EN.xml")},
        {"language", "billion laughs", S, Whole(&Plan::languageFile, Entities("table", laughs, "<string id=\"x\">&f;</string>"))},
        {"language", "UTF-16", S, Whole(&Plan::languageFile, Utf16File("<?xml version=\"1.0\" encoding=\"utf-8\"?><table><string id=\"a\">b</string></table>"))},
        {"language", "20,000 entries", S, Whole(&Plan::languageBody, Repeat("<string id=\"Same\">%s%n</string><string id=\"x\">y</string>", 10000))},
        {"language", "an entry of 200,000 characters", S, Whole(&Plan::languageBody, "<string id=\"BatteryGreeting\">" + std::string(200000, 'g') + "</string>")},
        {"language", "wrong root element", S, Whole(&Plan::languageFile, "<skin><string id=\"a\">b</string></skin>")},

        // --- plugin libraries -----------------------------------------------------------
        {"plugin library", "garbage .dll", S, File(L"plugins\\junk.dll", Junk(70000))},
        {"plugin library", "empty .dll", S, File(L"plugins\\empty.dll", "")},
        {"plugin library", "library cut short", S, File(L"plugins\\cut.dll", "MZ" + Junk(300))},
        {"plugin library", "64-bit library", S, File(L"plugins\\x64.dll", ForeignLibrary(IMAGE_FILE_MACHINE_AMD64))},
        {"plugin library", "ARM library", S, File(L"plugins\\arm.dll", ForeignLibrary(0x01C4))},
        {"plugin library", "folder named like a library", S, Folder(L"plugins\\folder.dll")},
        {"plugin library", "file named aux.dll", S, File(L"plugins\\aux.dll", Junk(100))},
        {"plugin library", "200 garbage libraries", S, [](Plan& s) {
             for (int i = 0; i < 200; ++i)
                 s.files.emplace_back(L"plugins\\junk" + std::to_wstring(i) + L".dll", Junk(64));
         }},
        {"plugin library", "load order naming devices and paths", S, Section("<backgroudmain-frame><load-plugin-order>COM1 AUX,NUL;CON LPT1 ..\\..\\Kivra "
                                                                             "C:\\Windows\\system32\\kernel32</load-plugin-order></backgroudmain-frame>")},
        {"plugin library", "load order of 5,000 names", S, Section("<backgroudmain-frame><load-plugin-order>" + Repeat("name ", 1000) +
                                                                   "</load-plugin-order></backgroudmain-frame>")},
        {"plugin library", "plugins a file", S, Both(Removed(L"plugins"), File(L"plugins", ""))},
        {"plugin library", "a plugin that forgets its listeners", S, Crashy("-")},
        {"plugin library", "crash in LoadPlugin", C, Crashy("LoadPlugin")},
        {"plugin library", "crash in a service handler", C, Crashy("service")},
        {"plugin library", "crash in a window procedure", C, Crashy("window")},
        {"plugin library", "crash in a bus listener", C, Crashy("listener")},
        {"plugin library", "abort in LoadPlugin", C, Crashy("abort")},
        // Wine's loader catches a fault in DllMain and refuses the library;
        // where a system does not, the report names the library being loaded.
        {"plugin library", "crash while the library loads", S, Crashy("DllMain")},

        // --- working folder, product folder ---------------------------------------------
        {"working folder", "the root of the drive", S, [](Plan& s) { s.workingFolder = L"C:\\"; }},
        {"working folder", "the plugins folder", S, [](Plan& s) { s.workingFolder = L"plugins"; }},
        {"working folder", "a folder with a broken product of its own", S, [](Plan& s) {
             s.workingFolder = L"elsewhere";
             s.files = {{L"elsewhere\\common\\config.xml", "<broken"}, {L"elsewhere\\common\\main.ico", Junk(10)}};
         }},
        {"working folder", "product folder with blanks and non-ASCII letters", S, [](Plan& s) { s.folderName = L"Kivra \u00FC\u00E9 \u4E2D\u6587"; }},

        // --- log folder -------------------------------------------------------------------
        {"log folder", "log a file", S, File(L"log", "not a folder")},
        {"log folder", "ostel.log a folder", S, Folder(L"log\\ostel.log")},
        {"log folder", "ostel.log of 20 MB", S, BigFile(L"log\\ostel.log", [] { return std::string(20 * 1024 * 1024, 'L'); })},
        {"log folder", "crash notice garbage", S, File(L"log\\last-crash.txt", Junk(2000))},
        {"log folder", "crash notice a folder", S, Folder(L"log\\last-crash.txt")},

        // --- database ---------------------------------------------------------------------
        {"database", "name COM1", B, Config("db-file-name", "COM1")},
        {"database", "name nul.db", B, Config("db-file-name", "nul.db")},
        {"database", "name lpt2.db", B, Config("db-file-name", "lpt2.db")},
        {"database", "empty name", E, Config("db-file-name", "")},
        {"database", "a folder", E, Folder(L"battery.db")},
        {"database", "garbage", E, File(L"battery.db", Junk(4096))},
        {"database", "the earlier format, cut short (moved aside)", S, File(L"battery.db", "KVDB\x01")},
        {"database", "empty file", S, File(L"battery.db", "")},
        {"database", "name of 100 characters, cut", S, Config("db-file-name", std::string(100, 'd'))},

        // --- password file (Config.ini) ---------------------------------------------------
        {"password file", "garbage", S, File(L"Config.ini", Junk(3000))},
        {"password file", "a folder", S, Folder(L"Config.ini")},
        {"password file", "10 MB", L, BigFile(L"Config.ini", [] { return "[GENERAL_SETTING]\r\nADJUST=" + std::string(10 * 1024 * 1024, 'p'); })},
        {"password file", "UTF-16 with format specifiers", L, File(L"Config.ini", Utf16File("[GENERAL_SETTING]\r\nADJUST=%s%n\r\n"))},
        {"password file", "units that decode to nothing", S, File(L"Config.ini", "[GENERAL_SETTING]\r\nADJUST=\x01\x01\r\n")},
        {"password file", "cut in its section name", S, File(L"Config.ini", "[GENERAL_SET")},
    };
}

std::vector<Case> Cases()
{
    std::vector<Case> cases = FixedRows();
    for (Case& row : PathRows())
        cases.push_back(std::move(row));
    return cases;
}

struct Tally {
    int cases = 0;
    std::map<Outcome, int> outcomes;
};

TEST(BatteryTest, EveryProductFolderEndsAsItsRowSaysWithoutHangOrCrash)
{
    // KIVRA_BATTERY_ONLY=<text> runs only the cases whose name holds it.
    std::vector<Case> cases = Cases();
    char only[128] = {};
    if (GetEnvironmentVariableA("KIVRA_BATTERY_ONLY", only, sizeof(only)) > 0)
        std::erase_if(cases, [&](const Case& c) { return c.name.find(only) == std::string::npos; });
    std::vector<RunResult> results(cases.size());
    std::vector<std::string> problems(cases.size());
    std::atomic<size_t> next{0};
    const DWORD begin = GetTickCount();

    const auto worker = [&] {
        for (size_t i; (i = next++) < cases.size();) {
            Plan plan = BasePlan();
            plan.title = L"Battery " + std::to_wstring(i);
            cases[i].make(plan);
            const std::wstring folder = ProductFolder(plan.folderName.empty() ? CaseFolderName(i) : plan.folderName);
            problems[i] = MakeProduct(folder, plan);
            if (problems[i].empty())
                results[i] = RunKivra(folder, plan, kLimitMs);
            for (int attempt = 0; attempt < 20 && !kivra::e2e::DeleteTree(folder); ++attempt)
                Sleep(100);
        }
    };
    std::vector<std::thread> workers;
    for (unsigned w = 0; w < kSideBySide; ++w)
        workers.emplace_back(worker);
    for (std::thread& w : workers)
        w.join();

    std::map<std::string, Tally> families;
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(problems[i], "") << c.family << ": " << c.name << ": the product folder could not be made";
        EXPECT_EQ(OutcomeName(results[i].outcome), std::string(OutcomeName(c.expected)))
            << c.family << ": " << c.name << " (exit code 0x" << std::hex << results[i].exitCode << std::dec << ", "
            << results[i].milliseconds << " ms)\n" << results[i].crashReport.substr(0, 600);
        Tally& tally = families[c.family];
        ++tally.cases;
        ++tally.outcomes[results[i].outcome];
    }

    std::printf("Battery: %zu cases in %.1f s, %u side by side\n", cases.size(), (GetTickCount() - begin) / 1000.0,
                kSideBySide);
    std::vector<size_t> slowest(cases.size());
    for (size_t i = 0; i < slowest.size(); ++i)
        slowest[i] = i;
    std::sort(slowest.begin(), slowest.end(), [&](size_t a, size_t b) { return results[a].milliseconds > results[b].milliseconds; });
    std::printf("  slowest:");
    for (size_t i = 0; i < std::min<size_t>(5, slowest.size()); ++i)
        std::printf(" %s (%lu ms);", cases[slowest[i]].name.c_str(), results[slowest[i]].milliseconds);
    std::printf("\n");
    for (const auto& [family, tally] : families) {
        std::printf("  %-16s %3d:", family.c_str(), tally.cases);
        for (const auto& [outcome, count] : tally.outcomes)
            std::printf("  %d %s", count, OutcomeName(outcome));
        std::printf("\n");
    }
}

}  // namespace
