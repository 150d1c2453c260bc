// Where the time of a skin button's window goes. Each case makes 1,007
// owner-drawn BUTTON children in a fresh hidden parent, as the floor program
// bench_bare_buttons does, with one thing of what Kivra's main window and its
// skin buttons do differently, and prints microseconds per button against
// the plain parent of the floor from the same interleaved runs. The last case
// does all of them together, as Kivra does. Each case is also measured for
// the first paint: the parent shown and redrawn with all its buttons at once
// (RedrawWindow, RDW_UPDATENOW), microseconds per button; nobody draws a
// face, so the paint is the window machinery's own.
//
// The program has no manifest of its own: the themed cases run inside an
// activation context made from Kivra.exe's manifest (resource 2 here), the
// "unthemed" case outside it.
#include "bench/BenchSupport.h"

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/Dialog.h"
#include "framework/Window.h"

using namespace kivra::bench;

namespace {

constexpr int kButtons = 1007;
constexpr int kButtonsPerRow = 40;
constexpr int kButtonSide = 12;
constexpr UINT kFirstButtonId = 1000;
constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | BS_OWNERDRAW;
// The main window's template style (resources/Kivra.rc, IDD_MAIN).
constexpr DWORD kMainDialogStyle =
    DS_SETFONT | DS_MODALFRAME | DS_FIXEDSYS | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr wchar_t kParentClass[] = L"KivraBenchSuspectParent";
constexpr int kParentWidth = 520;
constexpr int kParentHeight = 340;

// What a case does besides making the buttons.
struct Suspects {
    bool themed = true;
    bool dialogParent = false;     // the framework's dialog over the main window's template
    bool shapedParent = false;     // a window region of many rectangles, as a skin's outline
    bool plainShape = false;       // a window region of three rectangles (the demo skin's has 13)
    bool clipChildren = false;     // WS_CLIPCHILDREN on the parent
    bool noParentNotify = false;   // WS_EX_NOPARENTNOTIFY on the buttons
    bool attached = false;         // made through CWindow::Create (object table, properties, subclassing)
    bool ownNcPaint = false;       // attached, WM_NCPAINT answered without the default (CImageButton)
    bool tooltipTool = false;      // TTM_DELTOOL + TTM_ADDTOOL per button, as SetButtonTooltip
    bool brush = false;            // a solid brush per button, as CImageButton's
    bool staticParent = false;     // a hidden STATIC popup as the parent
    bool paint = false;            // measure the first paint rather than the making
};

// The main window's template: a dialog with no controls, font "MS Shell Dlg" 8.
std::vector<WORD> MainDialogTemplate()
{
    std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
    auto* head = reinterpret_cast<DLGTEMPLATE*>(words.data());
    head->style = kMainDialogStyle;
    head->dwExtendedStyle = WS_EX_APPWINDOW;
    head->cx = 320;
    head->cy = 200;
    words.push_back(0);  // no menu
    words.push_back(0);  // the dialog class
    for (const wchar_t* c = L"Main"; ; ++c) {
        words.push_back(*c);
        if (*c == 0)
            break;
    }
    words.push_back(8);
    for (const wchar_t* c = L"MS Shell Dlg"; ; ++c) {
        words.push_back(*c);
        if (*c == 0)
            break;
    }
    return words;
}

class CBenchDialog : public kivra::CDialog {
public:
    explicit CBenchDialog(const DLGTEMPLATE* memoryTemplate) : CDialog(memoryTemplate) {}
};

class CBenchButton : public kivra::CWindow {
public:
    explicit CBenchButton(bool ownNcPaint) : ownNcPaint_(ownNcPaint) {}

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_NCPAINT && ownNcPaint_ && !HasNonClientArea())
            return 0;
        return CWindow::WindowProc(msg, wParam, lParam);
    }

private:
    bool ownNcPaint_;
};

// A region of a few hundred rectangles: an ellipse, as a rounded skin outline;
// or of three, a rectangle with its corners cut.
void Shape(HWND parent, bool plain)
{
    HRGN region = plain ? ::CreateRectRgn(0, 4, kParentWidth, kParentHeight - 4)
                        : ::CreateEllipticRgn(0, 0, kParentWidth, kParentHeight);
    if (plain) {
        HRGN middle = ::CreateRectRgn(4, 0, kParentWidth - 4, kParentHeight);
        ::CombineRgn(region, region, middle, RGN_OR);
        ::DeleteObject(middle);
    }
    if (!::SetWindowRgn(parent, region, FALSE))
        ::DeleteObject(region);  // taken by the window on success
}

// Microseconds per button for making kButtons in a new parent with suspects.
double Sample(const Suspects& suspects, HANDLE themeContext)
{
    ULONG_PTR cookie = 0;
    const bool activated = suspects.themed && themeContext != INVALID_HANDLE_VALUE &&
                           ::ActivateActCtx(themeContext, &cookie);
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    std::vector<WORD> dialogTemplate = MainDialogTemplate();
    std::unique_ptr<CBenchDialog> dialog;
    HWND parent = nullptr;
    if (suspects.dialogParent) {
        dialog = std::make_unique<CBenchDialog>(reinterpret_cast<const DLGTEMPLATE*>(dialogTemplate.data()));
        if (dialog->Create(nullptr))
            parent = dialog->Handle();
        // The skin takes the caption away and sizes it (FrameContext).
        ::SetWindowLongW(parent, GWL_STYLE, ::GetWindowLongW(parent, GWL_STYLE) & ~WS_CAPTION);
        ::SetWindowPos(parent, nullptr, 0, 0, kParentWidth, kParentHeight,
                       SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    } else {
        const DWORD style = suspects.staticParent ? WS_POPUP
                                                  : WS_OVERLAPPEDWINDOW | (suspects.clipChildren ? WS_CLIPCHILDREN : 0);
        parent = ::CreateWindowExW(0, suspects.staticParent ? L"STATIC" : kParentClass, L"Suspects", style, CW_USEDEFAULT, CW_USEDEFAULT, kParentWidth,
                                   kParentHeight, nullptr, nullptr, instance, nullptr);
    }
    if (parent == nullptr) {
        if (activated)
            ::DeactivateActCtx(0, cookie);
        return -1;
    }
    if (suspects.shapedParent || suspects.plainShape)
        Shape(parent, suspects.plainShape);
    HWND tooltip = nullptr;
    if (suspects.tooltipTool)
        tooltip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parent, nullptr,
                                    instance, nullptr);
    std::vector<std::unique_ptr<CBenchButton>> objects;
    std::vector<HBRUSH> brushes;
    objects.reserve(kButtons);
    brushes.reserve(kButtons);
    const DWORD exStyle = suspects.noParentNotify ? WS_EX_NOPARENTNOTIFY : 0;
    wchar_t tipText[] = L"Minimize to the tray";

    const double start = NowNs();
    for (int i = 0; i < kButtons; ++i) {
        const int x = (i % kButtonsPerRow) * kButtonSide;
        const int y = (i / kButtonsPerRow) * kButtonSide;
        const UINT id = kFirstButtonId + i;
        HWND button = nullptr;
        if (suspects.brush)
            brushes.push_back(::CreateSolidBrush(RGB(192, 192, 192)));
        if (suspects.attached || suspects.ownNcPaint) {
            auto object = std::make_unique<CBenchButton>(suspects.ownNcPaint);
            if (object->Create(exStyle, L"BUTTON", L"", kButtonStyle, x, y, kButtonSide, kButtonSide, parent, id))
                button = object->Handle();
            objects.push_back(std::move(object));
        } else {
            button = ::CreateWindowExW(exStyle, L"BUTTON", L"", kButtonStyle, x, y, kButtonSide, kButtonSide, parent,
                                       reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), instance, nullptr);
        }
        if (tooltip != nullptr && button != nullptr) {
            TOOLINFOW tool = {};
            tool.cbSize = sizeof(tool);
            tool.uFlags = TTF_IDISHWND;
            tool.hwnd = parent;
            tool.uId = reinterpret_cast<UINT_PTR>(button);
            tool.lpszText = tipText;
            ::SendMessageW(tooltip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
            ::SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        }
    }
    double perButtonUs = (NowNs() - start) / 1e3 / kButtons;
    if (suspects.paint) {
        ::ShowWindow(parent, SW_SHOWNA);
        const double shown = NowNs();
        ::RedrawWindow(parent, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        perButtonUs = (NowNs() - shown) / 1e3 / kButtons;
        ::ShowWindow(parent, SW_HIDE);
    }

    objects.clear();
    for (HBRUSH brush : brushes)
        ::DeleteObject(brush);
    if (tooltip != nullptr)
        ::DestroyWindow(tooltip);
    if (dialog)
        dialog.reset();
    else
        ::DestroyWindow(parent);
    if (activated)
        ::DeactivateActCtx(0, cookie);
    return perButtonUs;
}

struct Case {
    const char* name;
    Suspects suspects;
};

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    // Libraries named on the command line are loaded first: what a process
    // has loaded may cost every window it makes.
    std::string loaded;
    for (int i = 1; i < argc; ++i)
        if (::LoadLibraryW(argv[i]) != nullptr)
            loaded += (loaded.empty() ? " (" : ", ") + std::string(argv[i], argv[i] + wcslen(argv[i]));
    if (!loaded.empty())
        loaded += " loaded)";
    // Kivra.exe's manifest, resource 2 of this program (ButtonCauses.rc).
    ACTCTXW context = {};
    context.cbSize = sizeof(context);
    context.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.hModule = ::GetModuleHandleW(nullptr);
    context.lpResourceName = MAKEINTRESOURCEW(2);
    HANDLE themeContext = ::CreateActCtxW(&context);
    if (themeContext != INVALID_HANDLE_VALUE) {
        ULONG_PTR cookie = 0;
        if (::ActivateActCtx(themeContext, &cookie)) {
            INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
            ::InitCommonControlsEx(&controls);
            ::DeactivateActCtx(0, cookie);
        }
    }
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kParentClass;
    ::RegisterClassW(&windowClass);

    const Case cases[] = {
        {"plain parent (the floor's)", {}},
        {"unthemed buttons", {.themed = false}},
        {"STATIC popup parent", {.staticParent = true}},
        {"dialog parent (main window's template)", {.dialogParent = true}},
        {"shaped parent (region)", {.shapedParent = true}},
        {"shaped parent, three rectangles", {.plainShape = true}},
        {"parent WS_CLIPCHILDREN", {.clipChildren = true}},
        {"without WM_PARENTNOTIFY", {.noParentNotify = true}},
        {"attached, subclassed (CWindow)", {.attached = true}},
        {"attached, WM_NCPAINT answered", {.attached = true, .ownNcPaint = true}},
        {"tooltip tool per button", {.tooltipTool = true}},
        {"solid brush per button", {.brush = true}},
        {"all but theme and notify, as Kivra's",
         {.dialogParent = true, .plainShape = true, .attached = true, .ownNcPaint = true, .tooltipTool = true,
          .brush = true}},
    };
    Cases runs;
    std::vector<Case> painted;
    for (const Case& c : cases) {
        painted.push_back(c);
        painted.back().suspects.paint = true;
    }
    const auto paintName = [](const Case& c) { return std::string("paint: ") + c.name; };
    for (const Case& c : cases)
        runs.Add(c.name, [&c, themeContext] { return Sample(c.suspects, themeContext); });
    for (const Case& c : painted)
        runs.Add(paintName(c), [&c, themeContext] { return Sample(c.suspects, themeContext); });
    runs.Run(RunsFromEnvironment(7));
    const struct {
        const char* what;
        bool paint;
    } measures[] = {{"button window, ", false}, {"button paint, ", true}};
    for (const auto& [what, paint] : measures) {
        const std::string floorName = paint ? paintName(cases[0]) : cases[0].name;
        const Spread floor = runs.Of(floorName);
        for (size_t k = 1; k < std::size(cases); ++k) {
            const std::string measure = std::string(what) + cases[k].name + loaded;
            const std::string name = paint ? paintName(cases[k]) : cases[k].name;
            Report(measure.c_str(), runs.Of(name), cases[0].name, floor, "us", Target::None, 0);
        }
    }
    if (themeContext != INVALID_HANDLE_VALUE)
        ::ReleaseActCtx(themeContext);
    return 0;
}
