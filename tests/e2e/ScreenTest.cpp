// The demo product on the screen: its pixels are read back from the screen
// device context while the real Kivra.exe shows its main window, and real
// clicks switch its plugin panels.
#include "tests/e2e/KivraRun.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <vector>

using namespace kivra::e2e;

namespace {

constexpr wchar_t kDemoTitle[] = L"Kivra Mobile Broadband";

// The whole screen as 32-bit pixels.
class ScreenShot {
public:
    ScreenShot()
    {
        width_ = GetSystemMetrics(SM_CXSCREEN);
        height_ = GetSystemMetrics(SM_CYSCREEN);
        HDC screen = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screen);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = -height_;  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (bitmap != nullptr) {
            HGDIOBJ old = SelectObject(memory, bitmap);
            BitBlt(memory, 0, 0, width_, height_, screen, 0, 0, SRCCOPY);
            GdiFlush();
            const auto* pixels = static_cast<const DWORD*>(bits);
            pixels_.assign(pixels, pixels + static_cast<size_t>(width_) * height_);
            SelectObject(memory, old);
            DeleteObject(bitmap);
        }
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
    }
    bool Valid() const { return !pixels_.empty(); }
    COLORREF At(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= width_ || y >= height_ || pixels_.empty())
            return CLR_INVALID;
        const DWORD p = pixels_[static_cast<size_t>(y) * width_ + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<DWORD> pixels_;
};

// A picture of the skin, for the colours the window should show.
class Picture {
public:
    explicit Picture(const std::wstring& path)
        : bitmap_(static_cast<HBITMAP>(LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE))),
          dc_(CreateCompatibleDC(nullptr))
    {
        if (bitmap_ != nullptr)
            old_ = SelectObject(dc_, bitmap_);
    }
    ~Picture()
    {
        if (old_ != nullptr)
            SelectObject(dc_, old_);
        DeleteDC(dc_);
        if (bitmap_ != nullptr)
            DeleteObject(bitmap_);
    }
    bool Valid() const { return bitmap_ != nullptr; }
    COLORREF At(int x, int y) const { return GetPixel(dc_, x, y); }

private:
    HBITMAP bitmap_;
    HDC dc_;
    HGDIOBJ old_ = nullptr;
};

bool IsDark(COLORREF c)
{
    return GetRValue(c) + GetGValue(c) + GetBValue(c) < 300;
}

TEST(DemoScreenTest, ShowsTheShapedSkinWithItsTitleBarOnTheDesktop)
{
    DemoProductCopy product(L"demo");
    ASSERT_TRUE(product.Ready());
    const std::wstring skin = product.Folder() + L"skin\\aurora\\";
    Picture background(skin + L"background.bmp");
    Picture close(skin + L"title_close.bmp");
    ASSERT_TRUE(background.Valid());
    ASSERT_TRUE(close.Valid());
    const COLORREF mask = RGB(255, 0, 255);
    ASSERT_EQ(background.At(0, 0), mask) << "the skin's corner is no longer cut";

    KivraProcess kivra;
    HWND window = kivra.StartAndWaitForWindow(product.Folder(), kDemoTitle);
    ASSERT_NE(window, nullptr);
    SetForegroundWindow(window);
    Sleep(2500);  // painted
    RECT rect;
    GetWindowRect(window, &rect);
    const ScreenShot shot;
    ASSERT_TRUE(shot.Valid());
    kivra.CloseAndWait(window);

    // Outside the shape the desktop shows: the cut corner has the colour of
    // the desktop away from the window, not the mask colour.
    const COLORREF desktop = shot.At(2, 2);
    ASSERT_LT(rect.left, 2 + 1 + 640) << "the window covers the desktop sample";
    EXPECT_EQ(shot.At(rect.left + 1, rect.top + 1), desktop);
    EXPECT_NE(shot.At(rect.left + 1, rect.top + 1), mask);

    // Inside it, the background picture, one to one from the client origin.
    const int clientX = rect.left + GetSystemMetrics(SM_CXDLGFRAME);
    const int clientY = rect.top + GetSystemMetrics(SM_CYDLGFRAME);
    // (Points the bars, the panel and the buttons leave free: the margins
    // beside the panel card and the footer between and below the buttons.)
    for (POINT p : {POINT{5, 200}, POINT{634, 200}, POINT{103, 390}, POINT{320, 411}})
        EXPECT_EQ(shot.At(clientX + p.x, clientY + p.y), background.At(p.x, p.y)) << p.x << "," << p.y;

    // The drawn title bar: the close button's face at its place, and the
    // caption text beside the icon.
    const int s = GetSystemMetrics(SM_CXSMICON);
    const int t = GetSystemMetrics(SM_CYSMICON);
    const int f = GetSystemMetrics(SM_CXFRAME);
    const int g = GetSystemMetrics(SM_CYFRAME);
    const int h = f >> 1;
    const int closeRight = (rect.right - rect.left) - 3 * h;
    const int closeLeft = closeRight - s;
    for (POINT p : {POINT{8, 8}, POINT{4, 4}, POINT{11, 4}, POINT{2, 13}})
        EXPECT_EQ(shot.At(rect.left + closeLeft + p.x, rect.top + g + p.y), close.At(p.x, p.y))
            << "close button " << p.x << "," << p.y;
    int dark = 0;
    for (int y = g; y < g + t; ++y)
        for (int x = f + s; x < f + s + 150; ++x)
            dark += IsDark(shot.At(rect.left + x, rect.top + y)) ? 1 : 0;
    EXPECT_GT(dark, 40) << "no caption text in the title bar";
}

// A real click of the left button at a screen point.
// times clicks of one button (down and up) at a point of the screen.
void ClickAt(POINT at, int times = 1, DWORD down = MOUSEEVENTF_LEFTDOWN, DWORD up = MOUSEEVENTF_LEFTUP)
{
    SetCursorPos(at.x, at.y);
    Sleep(150);  // hover first: flat tool bars press their hot button
    INPUT input[4] = {};
    for (int i = 0; i < 2 * times && i < 4; ++i) {
        input[i].type = INPUT_MOUSE;
        input[i].mi.dwFlags = i % 2 == 0 ? down : up;
    }
    SendInput(2 * times < 4 ? 2 * times : 4, input, sizeof(INPUT));
}

POINT Centre(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// Waits until the panel of this window class is the one shown.
bool ShowsPanel(HWND main, const wchar_t* panelClass, DWORD timeoutMs = 5000)
{
    const DWORD start = GetTickCount();
    for (;;) {
        HWND panel = FindWindowExW(main, nullptr, panelClass, nullptr);
        if (panel != nullptr && IsWindowVisible(panel))
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(50);
    }
}

TEST(DemoScreenTest, ToolItemsAndSkinButtonsSwitchThePluginPanels)
{
    DemoProductCopy product(L"panels");
    ASSERT_TRUE(product.Ready());
    KivraProcess kivra;
    ASSERT_TRUE(kivra.Start(product.Folder()));
    HWND window = WaitForWindow(kivra.Id(), kDemoTitle);
    ASSERT_NE(window, nullptr);
    SetForegroundWindow(window);

    // The skin's start service shows the connection panel.
    EXPECT_TRUE(ShowsPanel(window, L"KivraConnectPanel"));
    HWND toolBar = nullptr;
    for (HWND child = FindWindowExW(window, nullptr, L"ToolbarWindow32", nullptr); child != nullptr;
         child = FindWindowExW(window, child, L"ToolbarWindow32", nullptr))
        if (GetDlgCtrlID(child) == 0xE800)
            toolBar = child;
    HWND connect = FindWindowExW(window, nullptr, L"Button", L"Connect");
    ASSERT_NE(toolBar, nullptr);
    ASSERT_NE(connect, nullptr);

    // The tool bar's second button, "Messages": 76 x 56 buttons after an indent of 4.
    RECT bar;
    GetWindowRect(toolBar, &bar);
    ClickAt({bar.left + 4 + 76 + 38, bar.top + 28});
    EXPECT_TRUE(ShowsPanel(window, L"KivraSmsPanel"));
    EXPECT_FALSE(IsWindowVisible(FindWindowExW(window, nullptr, L"KivraConnectPanel", nullptr)));

    // The connection plugin's skin button shows its plugin's panel first.
    ClickAt(Centre(connect));
    EXPECT_TRUE(ShowsPanel(window, L"KivraConnectPanel"));
    EXPECT_FALSE(IsWindowVisible(FindWindowExW(window, nullptr, L"KivraSmsPanel", nullptr)));
    kivra.CloseAndWait(window);
}

TEST(DemoScreenTest, ThePluginsReachTheSettingsDialogTheDropZoneAndTheNotifier)
{
    DemoProductCopy product(L"windows");
    ASSERT_TRUE(product.Ready());
    KivraProcess kivra;
    HWND window = kivra.StartAndWaitForWindow(product.Folder(), kDemoTitle);
    ASSERT_NE(window, nullptr);
    SetForegroundWindow(window);
    Sleep(500);

    // The Settings tool item (the fourth, after a separator) opens the
    // settings: one page from each sample plugin, made a child of the dialog
    // the plugins get through "manager/ProvideSetCWnd".
    HWND toolBar = GetDlgItem(window, 0xE800);
    ASSERT_NE(toolBar, nullptr);
    RECT bar;
    GetWindowRect(toolBar, &bar);
    ClickAt({bar.left + 4 + 3 * 76 + 8 + 38, bar.top + 28});
    HWND settings = WaitForWindow(kivra.Id(), L"Settings", 5000);
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(SendMessageW(FindWindowExW(settings, nullptr, WC_TREEVIEWW, nullptr), TVM_GETCOUNT, 0, 0), 3);
    PostMessageW(settings, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitUntilVisible(settings, false));

    // The shell's Tray button hides the window; the drop zone stands in, and
    // a double click on it brings the window back.
    ClickAt(Centre(FindWindowExW(window, nullptr, L"Button", L"Tray")));
    ASSERT_TRUE(WaitUntilVisible(window, false)) << "the Tray button did not reach manager/ShowTray";
    HWND zone = FindLayeredWindow(kivra.Id());
    ASSERT_NE(zone, nullptr);
    EXPECT_TRUE(WaitUntilVisible(zone, true));
    // Its right click opens the tray menu, as the tray icon's does.
    ClickAt(Centre(zone), 1, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
    HWND menu = nullptr;
    for (int i = 0; i < 50 && menu == nullptr; ++i, Sleep(100))
        for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32768", nullptr)) != nullptr;)  // pop-up menus
            menu = IsWindowVisible(w) ? w : menu;
    ASSERT_NE(menu, nullptr) << "no tray menu";
    PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(WaitUntilVisible(menu, false));
    EXPECT_TRUE(WaitUntilVisible(zone, true)) << "the window is still in the tray";
    ClickAt(Centre(zone), 2);
    EXPECT_TRUE(WaitUntilVisible(window, true));
    EXPECT_TRUE(WaitUntilVisible(zone, false));

    // Connecting raises a notification, which slides in (under Wine, which
    // has no dial-up networking, the demo's simulated link comes up at once).
    ClickAt(Centre(FindWindowExW(window, nullptr, L"Button", L"Connect")));
    HWND notifier = FindWindowW(L"KivraTaskbarNotifier", nullptr);
    ASSERT_NE(notifier, nullptr);
    EXPECT_TRUE(WaitUntilVisible(notifier, true, 10000)) << "once connected";
    kivra.CloseAndWait(window);
}

}  // namespace
