// The baseline of the start-up and idle measures: a program that opens one
// window, paints it and waits, and nothing else.
//
// Built a second time as bench_bare_buttons (KIVRA_BENCH_BUTTONS set, with
// Kivra.exe's manifest): the same program with that many owner-drawn BUTTON
// children made before the window shows, the least any start-up that makes a
// window per skin button pays. And a third time as bench_bare_platform
// (KIVRA_BENCH_PLATFORM): before its window shows it asks of the platform
// what every start of Kivra does, the common controls, COM, one MSXML
// document (common\config.xml) and one JPEG (common\wait.JPG), read from the
// working folder, a product folder. A fourth time as bench_bare_plugins
// (KIVRA_BENCH_PLUGINS too, named Kivra.exe): after the platform it loads
// every plugins\*.dll of the working folder and calls nothing of them, the
// least a start-up with those plugins pays for their libraries. And a fifth
// time as bench_bare_platform_more (KIVRA_BENCH_PLATFORM_MORE too): what
// else of the platform a start of Kivra asks for before its window is up,
// which the floor leaves out: the language file and the skin document read
// too (the first of each kind in the folder), the window cut to a region, a
// tray icon, and a line of text drawn in its paint.
#include "bench/ProcessCounts.h"

#include <windows.h>

#ifdef KIVRA_BENCH_PLATFORM
#include <commctrl.h>
#include <msxml.h>
#include <olectl.h>

#include <string>
#endif
#ifdef KIVRA_BENCH_PLATFORM_MORE
#include <shellapi.h>
#endif

namespace {

UINT g_countsMessage = 0;

#ifdef KIVRA_BENCH_BUTTONS
constexpr int kButtons = KIVRA_BENCH_BUTTONS;
constexpr int kButtonsPerRow = 40;
constexpr int kButtonSide = 12;
constexpr UINT kFirstButtonId = 1000;

void CreateButtons(HWND parent, HINSTANCE instance)
{
    for (int i = 0; i < kButtons; ++i)
        ::CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, (i % kButtonsPerRow) * kButtonSide,
                          (i / kButtonsPerRow) * kButtonSide, kButtonSide, kButtonSide, parent,
                          reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kFirstButtonId + i)), instance, nullptr);
}
#endif

#ifdef KIVRA_BENCH_PLATFORM
// MSXML's DOMDocument and its interface, as Kivra's reader asks for them.
constexpr CLSID kDomDocumentClass = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID kDomDocumentInterface = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

std::wstring FullPath(const wchar_t* relative)
{
    wchar_t full[MAX_PATH] = {};
    ::GetFullPathNameW(relative, MAX_PATH, full, nullptr);
    return full;
}

void LoadDocument(const std::wstring& file)
{
    IXMLDOMDocument* document = nullptr;
    if (FAILED(::CoCreateInstance(kDomDocumentClass, nullptr, CLSCTX_INPROC_SERVER, kDomDocumentInterface,
                                  reinterpret_cast<void**>(&document))))
        return;
    VARIANT path;
    ::VariantInit(&path);
    path.vt = VT_BSTR;
    path.bstrVal = ::SysAllocString(file.c_str());
    VARIANT_BOOL loaded = VARIANT_FALSE;
    document->put_async(VARIANT_FALSE);
    document->load(path, &loaded);
    ::VariantClear(&path);
    document->Release();
}

#ifdef KIVRA_BENCH_PLATFORM_MORE
// The name of the first file (or, with folder, the first folder but "." and
// "..") that pattern finds, or "".
std::wstring FirstMatch(const std::wstring& pattern, bool folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return {};
    std::wstring name;
    do {
        const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder == folder && found.cFileName[0] != L'.')
            name = found.cFileName;
    } while (name.empty() && ::FindNextFileW(search, &found));
    ::FindClose(search);
    return name;
}
#endif

void UsePlatform()
{
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    ::OleInitialize(nullptr);
    LoadDocument(FullPath(L"common\\config.xml"));
#ifdef KIVRA_BENCH_PLATFORM_MORE
    LoadDocument(FullPath((L"language\\" + FirstMatch(FullPath(L"language\\*.xml"), false)).c_str()));
    LoadDocument(FullPath((L"skin\\" + FirstMatch(FullPath(L"skin\\*"), true) + L"\\skin.xml").c_str()));
#endif
    std::wstring picturePath = FullPath(L"common\\wait.JPG");
    IPicture* picture = nullptr;
    if (SUCCEEDED(::OleLoadPicturePath(picturePath.data(), nullptr, 0, 0, IID_IPicture,
                                       reinterpret_cast<void**>(&picture))))
        picture->Release();
}
#endif

#ifdef KIVRA_BENCH_PLUGINS
}  // namespace

// Every name this stand-in exports for the plugins' imports is this function
// (bench/ExportStubs.cmake); nothing of a plugin is called, so nothing runs it.
extern "C" void KivraBenchUnusedExport() {}

namespace {

void LoadPlugins()
{
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW(L"plugins\\*.dll", &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring path = FullPath((std::wstring(L"plugins\\") + found.cFileName).c_str());
        ::LoadLibraryW(path.c_str());  // kept to the end, as a bound plugin's library
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}
#endif

LRESULT CALLBACK BareProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == g_countsMessage && g_countsMessage != 0)
        return kivra::bench::AnswerCounts(wParam);
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(hwnd, &paint);
        ::FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH)));
#ifdef KIVRA_BENCH_PLATFORM_MORE
        RECT line = {8, 8, 400, 40};
        HGDIOBJ previous = ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
        ::DrawTextW(dc, L"Kivra Mobile Broadband", -1, &line, DT_SINGLELINE | DT_NOPREFIX);
        ::SelectObject(dc, previous);
#endif
        ::EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        ::FillRect(item->hDC, &item->rcItem, static_cast<HBRUSH>(::GetStockObject(LTGRAY_BRUSH)));
        return TRUE;
    }
    case WM_DESTROY:
#ifdef KIVRA_BENCH_PLATFORM_MORE
    {
        NOTIFYICONDATAW icon{};
        icon.cbSize = sizeof(icon);
        icon.hWnd = hwnd;
        ::Shell_NotifyIconW(NIM_DELETE, &icon);
    }
#endif
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, wchar_t*, int)
{
    g_countsMessage = ::RegisterWindowMessageW(kivra::bench::kCountsMessageName);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = BareProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = L"KivraBenchBare";
    ::RegisterClassW(&windowClass);
    HWND window = ::CreateWindowExW(0, L"KivraBenchBare", L"Bare", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                    480, 320, nullptr, nullptr, instance, nullptr);
#ifdef KIVRA_BENCH_PLATFORM
    UsePlatform();
#endif
#ifdef KIVRA_BENCH_PLATFORM_MORE
    HRGN shape = ::CreateRoundRectRgn(0, 0, 480, 320, 24, 24);
    if (!::SetWindowRgn(window, shape, FALSE))  // the window owns it once set
        ::DeleteObject(shape);
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof(icon);
    icon.hWnd = window;
    icon.uFlags = NIF_ICON | NIF_TIP;
    icon.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
    lstrcpynW(icon.szTip, L"Bare", ARRAYSIZE(icon.szTip));
    ::Shell_NotifyIconW(NIM_ADD, &icon);
#endif
#ifdef KIVRA_BENCH_BUTTONS
    CreateButtons(window, instance);
#endif
#ifdef KIVRA_BENCH_PLUGINS
    LoadPlugins();
#endif
    ::ShowWindow(window, SW_SHOW);
    ::UpdateWindow(window);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
