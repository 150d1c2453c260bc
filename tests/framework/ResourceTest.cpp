// The executable's resource script, compiled into this test program: every
// dialog template the system fixes, the version resource and the manifest.
#include "framework/Dialog.h"
#include "resources/resource.h"
#include "FrameworkTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kivra;
using namespace kivra::test;

namespace {

struct ControlSpec {
    int id;
    const wchar_t* className;
    DWORD styleMask;  // the bits of the style that must equal style
    DWORD style;
    RECT units;  // x, y, cx, cy in dialog units; cx 0: not checked
    const wchar_t* text;  // null: not checked
    bool bordered = false;
};

struct TemplateSpec {
    UINT id;
    const char* name;
    short cx, cy;
    bool child;
    const wchar_t* caption;  // null: no caption bar
    DWORD exStyle;            // bits that must be set
    std::vector<ControlSpec> controls;
};

constexpr DWORD kButtonType = BS_TYPEMASK;
constexpr DWORD kStaticType = SS_TYPEMASK;
constexpr RECT kUnchecked{};

const std::vector<TemplateSpec>& Templates()
{
    static const std::vector<TemplateSpec> templates = {
        {IDD_ABOUT, "about", 238, 67, false, L"About", 0,
         {{IDC_ABOUT_ICON, L"Static", kStaticType, SS_ICON, kUnchecked, nullptr},
          {IDC_ABOUT_PRODUCT, L"Static", kStaticType, SS_LEFT, {37, 8, 141, 8}, L"Stavrel"},
          {IDC_ABOUT_VERSION, L"Static", SS_NOPREFIX, SS_NOPREFIX, {37, 27, 163, 8}, L"Version: 3.3.0"},
          {IDC_ABOUT_MAKER, L"Static", kStaticType, SS_LEFT, {37, 46, 197, 10}, nullptr},
          {IDC_ABOUT_OK, L"Button", kButtonType, BS_DEFPUSHBUTTON, {194, 4, 40, 14}, L"OK"}}},
        {IDD_MAIN, "main window", 320, 200, false, L"Main", WS_EX_APPWINDOW, {}},
        {IDD_FLOAT, "floating", 31, 30, false, nullptr, 0,
         {{IDC_FLOAT_TEXT, L"Static", kStaticType, SS_RIGHT, {0, 0, 31, 8}, L""}}},
        {IDD_SETTING, "settings", 340, 214, false, L"Settings...", WS_EX_TOOLWINDOW,
         {{IDC_SETTING_OK, L"Button", kButtonType, BS_PUSHBUTTON, {149, 190, 50, 14}, L"OK"},
          {IDC_SETTING_CANCEL, L"Button", kButtonType, BS_PUSHBUTTON, {213, 190, 50, 14}, L"Cancel"},
          {IDC_SETTING_APPLY, L"Button", kButtonType, BS_PUSHBUTTON, {273, 190, 50, 14}, L"Apply"},
          {IDC_SETTING_TREE, WC_TREEVIEWW,
           TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS | WS_TABSTOP,
           TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS | WS_TABSTOP,
           {8, 7, 83, 177}, nullptr, true}}},
        {IDD_SYSTEM_SETTING, "system settings page", 239, 155, true, nullptr, 0,
         {{IDC_STATIC, L"Static", kStaticType, SS_LEFT, {27, 16, 17, 8}, nullptr}}},
        {IDD_PASSWORD, "password", 181, 76, false, L"Password:", 0,
         {{IDC_PASSWORD_EDIT, L"Edit", ES_PASSWORD | ES_AUTOHSCROLL | WS_TABSTOP,
           ES_PASSWORD | ES_AUTOHSCROLL | WS_TABSTOP, {65, 14, 91, 14}, nullptr, true},
          {IDOK, L"Button", kButtonType, BS_DEFPUSHBUTTON, {34, 50, 50, 14}, L"OK"},
          {IDCANCEL, L"Button", kButtonType, BS_PUSHBUTTON, {101, 50, 50, 14}, L"Cancel"},
          {IDC_PASSWORD_LABEL, L"Static", kStaticType, SS_LEFT, {19, 15, 42, 14}, L"Password:"},
          {IDC_PASSWORD_MESSAGE, L"Static", kStaticType, SS_CENTER, {7, 33, 167, 8}, L""}}},
        {IDD_WAIT, "wait", 189, 30, false, nullptr, WS_EX_TOOLWINDOW,
         {{IDC_WAIT_TEXT, L"Static", kStaticType, SS_CENTER, {5, 7, 175, 10}, L"Please  wait...."},
          {IDC_WAIT_PROGRESS, PROGRESS_CLASSW, PBS_SMOOTH, PBS_SMOOTH, {2, 17, 181, 10}, nullptr}}},
    };
    return templates;
}

RECT ToPixels(HWND dialog, RECT units)
{
    ::MapDialogRect(dialog, &units);
    return units;
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

}  // namespace

TEST(Resources, EveryDialogTemplateHasItsSizeStylesAndControls)
{
    EnsureCommonControls();
    HWND host = CreateHostWindow(700, 600);
    for (const TemplateSpec& spec : Templates()) {
        SCOPED_TRACE(spec.name);
        CDialog dialog(spec.id);
        ASSERT_TRUE(dialog.Create(spec.child ? host : nullptr));
        EXPECT_FALSE(dialog.IsVisible()) << "templates are not visible by themselves";
        EXPECT_EQ((dialog.Style() & WS_CHILD) != 0, spec.child);
        EXPECT_EQ((dialog.Style() & WS_CAPTION) == WS_CAPTION, spec.caption != nullptr);
        if (spec.caption) {
            EXPECT_EQ(dialog.GetText(), spec.caption);
        }
        EXPECT_EQ(dialog.ExStyle() & spec.exStyle, static_cast<LONG_PTR>(spec.exStyle));

        RECT size = ToPixels(dialog, RECT{0, 0, spec.cx, spec.cy});
        RECT client = dialog.ClientRect();
        EXPECT_EQ(client.right, size.right);
        EXPECT_EQ(client.bottom, size.bottom);

        int children = 0;
        for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
            ++children;
        EXPECT_EQ(children, static_cast<int>(spec.controls.size()));

        for (const ControlSpec& control : spec.controls) {
            SCOPED_TRACE(control.id);
            WindowRef item = control.id == IDC_STATIC ? WindowRef(::GetWindow(dialog, GW_CHILD))
                                                      : dialog.Item(control.id);
            ASSERT_TRUE(item.IsWindow());
            EXPECT_EQ(item.Id(), control.id);
            EXPECT_EQ(_wcsicmp(item.ClassName().c_str(), control.className), 0) << Narrow(item.ClassName());
            EXPECT_EQ(static_cast<DWORD>(item.Style()) & control.styleMask, control.style);
            if (control.text) {
                EXPECT_EQ(item.GetText(), control.text);
            }
            if (control.units.right) {
                // The dialog manager converts position and size each on its own.
                RECT expected = ToPixels(dialog, control.units);
                RECT placed = item.RectInParent();
                EXPECT_EQ(placed.left, expected.left);
                EXPECT_EQ(placed.top, expected.top);
                EXPECT_EQ(placed.right - placed.left, expected.right);
                EXPECT_EQ(placed.bottom - placed.top, expected.bottom);
            }
            // A bordered control may get its border as a client edge in a dialog.
            bool bordered = (item.Style() & WS_BORDER) || (item.ExStyle() & WS_EX_CLIENTEDGE);
            EXPECT_EQ(bordered, control.bordered);
        }
    }
    ::DestroyWindow(host);
}

TEST(Resources, VersionResourceCarriesTheProgramVersion)
{
    wchar_t path[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeW(path, &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> data(size);
    ASSERT_TRUE(::GetFileVersionInfoW(path, 0, size, data.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 5));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(2, 1));
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(0, 5));

    auto text = [&](const wchar_t* key) {
        wchar_t* value = nullptr;
        UINT chars = 0;
        std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + key;
        if (!::VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &chars) || !value)
            return std::wstring();
        return std::wstring(value);
    };
    EXPECT_EQ(text(L"FileVersion"), L"V5.0.1.2");
    EXPECT_EQ(text(L"ProductName"), L"Kivra");
}

TEST(Resources, ManifestAsksForCommonControls6AndTheInvokersRights)
{
    HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
    ASSERT_NE(found, nullptr);
    HGLOBAL loaded = ::LoadResource(nullptr, found);
    ASSERT_NE(loaded, nullptr);
    std::string manifest(static_cast<const char*>(::LockResource(loaded)), ::SizeofResource(nullptr, found));
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
}

TEST(Resources, ProgramIconIsTheProductIcon)
{
    auto icon = static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON,
                                                0, 0, LR_DEFAULTSIZE));
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    EXPECT_TRUE(::GetIconInfo(icon, &info));
    if (info.hbmColor)
        ::DeleteObject(info.hbmColor);
    if (info.hbmMask)
        ::DeleteObject(info.hbmMask);
    ::DestroyIcon(icon);
}
