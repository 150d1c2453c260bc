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
// least a start-up with those plugins pays for their libraries.
#include "bench/ProcessCounts.h"

#include <windows.h>

#ifdef KIVRA_BENCH_PLATFORM
#include <commctrl.h>
#include <msxml.h>
#include <olectl.h>

#include <string>
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

void UsePlatform()
{
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    ::OleInitialize(nullptr);
    IXMLDOMDocument* document = nullptr;
    if (SUCCEEDED(::CoCreateInstance(kDomDocumentClass, nullptr, CLSCTX_INPROC_SERVER, kDomDocumentInterface,
                                     reinterpret_cast<void**>(&document)))) {
        const std::wstring config = FullPath(L"common\\config.xml");
        VARIANT path;
        ::VariantInit(&path);
        path.vt = VT_BSTR;
        path.bstrVal = ::SysAllocString(config.c_str());
        VARIANT_BOOL loaded = VARIANT_FALSE;
        document->put_async(VARIANT_FALSE);
        document->load(path, &loaded);
        ::VariantClear(&path);
        document->Release();
    }
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
        ::EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        ::FillRect(item->hDC, &item->rcItem, static_cast<HBRUSH>(::GetStockObject(LTGRAY_BRUSH)));
        return TRUE;
    }
    case WM_DESTROY:
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
