// Reading a skin with 1,000 buttons, and making the product folders the
// start-up benchmark runs.
//
//   bench_skin make <demo product folder\> <out folder\>
//       out\demo\     a copy of the demo product (so runs log there);
//       out\idle\     another, which scripts/bench.sh gives the probe plugin;
//       out\buttons\  the demo product with 1,000 more skin buttons, whose
//                     faces cycle through the five pictures of one button;
//       out\plain\    the same without any picture on the added buttons.
//   bench_skin read <out folder\>
//       times reading the tool bar of both and prints the measure.
#include "bench/BenchSupport.h"

#include "config/Skin.h"
#include "config/SkinButton.h"
#include "framework/Handles.h"
#include "framework/Text.h"

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace kivra;
using namespace kivra::bench;
namespace fs = std::filesystem;

namespace {

constexpr int kButtonCount = 1000;
constexpr wchar_t kSkinPath[] = L"skin\\aurora\\";
const char* const kFaces[] = {"btn_connect.bmp", "btn_connect_hover.bmp", "btn_connect_down.bmp",
                              "btn_connect_focus.bmp", "btn_connect_disable.bmp"};

std::string Buttons(bool withPictures)
{
    std::ostringstream xml;
    for (int i = 0; i < kButtonCount; ++i) {
        const int x = 4 + (i % 40) * 11;
        const int y = 40 + (i / 40) * 8;
        xml << "    <button name=\"bench-" << i << "\" owner=\"system\" service=\"manager/ShowTray\""
            << " string=\"IDS_BTN_TRAY\" tooltip=\"IDS_TIP_TO_TRAY\" rect=\"" << x << ',' << y << ',' << x + 10 << ','
            << y + 7 << "\"";
        if (withPictures)
            xml << " image=\"" << kFaces[i % 5] << "\" hover=\"" << kFaces[(i + 1) % 5] << "\" down=\""
                << kFaces[(i + 2) % 5] << "\"";
        xml << " font-size=\"-11\"/>\n";
    }
    return xml.str();
}

enum class Added { Nothing, Buttons, PlainButtons };

bool MakeProduct(const fs::path& demo, const fs::path& out, Added added)
{
    std::error_code error;
    fs::remove_all(out, error);
    fs::create_directories(out);
    for (const auto& entry : fs::directory_iterator(demo)) {
        const std::wstring name = entry.path().filename().wstring();
        if (name == L"log" || name == L"kivra.db")
            continue;
        fs::copy(entry.path(), out / name, fs::copy_options::recursive, error);
        if (error)
            return false;
    }
    if (added == Added::Nothing)
        return true;
    const fs::path skinFile = out / kSkinPath / L"skin.xml";
    std::ifstream in(skinFile, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    const size_t end = text.find("</tool-bar>");
    if (end == std::string::npos)
        return false;
    text.insert(end, Buttons(added == Added::Buttons));
    std::ofstream(skinFile, std::ios::binary | std::ios::trunc) << text;
    return true;
}

// Opens the skin and reads every tool-bar button, as start-up does. Milliseconds.
double ReadSample(const fs::path& product, int* buttons)
{
    const double start = NowNs();
    CSkin skin;
    const std::wstring folder = (product / L"skin" / L"aurora").wstring();
    if (!skin.Open(folder.c_str()))
        return -1;
    TToolBarSkin header{};
    const CSkin::PictureBatch batch(skin);  // as start-up reads them
    ReadToolBar(skin, &header);
    *buttons = 0;
    for (TSkinButton button{}; ReadNextButton(skin, &button); button = TSkinButton{})
        ++*buttons;  // the record's bitmaps go with it
    return (NowNs() - start) / 1e6;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 4 && std::wstring(argv[1]) == L"make") {
        const fs::path out = argv[3];
        const bool made = MakeProduct(argv[2], out / L"demo", Added::Nothing) &&
                          MakeProduct(argv[2], out / L"idle", Added::Nothing) &&
                          MakeProduct(argv[2], out / L"buttons", Added::Buttons) &&
                          MakeProduct(argv[2], out / L"plain", Added::PlainButtons);
        if (!made)
            std::fprintf(stderr, "bench_skin: cannot make the product folders\n");
        return made ? 0 : 1;
    }
    if (argc != 3 || std::wstring(argv[1]) != L"read") {
        std::fprintf(stderr, "usage: bench_skin make <demo folder> <out folder> | read <out folder>\n");
        return 2;
    }
    const kivra::ComScope com;
    if (!com.ok())
        return 1;
    const fs::path out = argv[2];
    int withPictures = 0;
    int plain = 0;
    Cases cases;
    cases.Add("pictures", [&] { return ReadSample(out / L"buttons", &withPictures); });
    cases.Add("plain", [&] { return ReadSample(out / L"plain", &plain); });
    cases.Run(RunsFromEnvironment(7));
    char measure[64];
    kivra::FormatText(measure, "read a skin of %d buttons", withPictures);
    Report(measure, cases.Of("pictures"), "same buttons, no pictures", cases.Of("plain"), "ms", Target::AtMost, 100);
    return 0;
}
