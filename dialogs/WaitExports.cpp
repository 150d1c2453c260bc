// The wait dialog's exported functions (declared for plugins in
// kivra_plugin.h), each behind the guard of every export
// (framework/NoThrow.h), so that nothing thrown reaches a plugin.
#include <windows.h>

#include "dialogs/WaitDlg.h"
#include "framework/NoThrow.h"
#include "kivra_plugin.h"

using kivra::NoThrow;

// The wait dialog's settings and its opening. Each may be called from any
// thread; the settings are copied under their own guard (dialogs/WaitDlg.h).
// They answer nothing, so the guard's failure value is only a placeholder.

extern "C" KIVRA_API void __cdecl InitWaitDlg(int showProgress, int rangeMax, float, float, DWORD backColour,
                                              DWORD textColour)
{
    NoThrow(0, [&] {
        kivra::TheWaitSettings().Init(showProgress, rangeMax, backColour, textColour);
        return 0;
    });
}

extern "C" KIVRA_API void __cdecl SetWaitDlgBkImage(HBITMAP bitmap)
{
    NoThrow(false, [&] { return kivra::TheWaitSettings().SetBackgroundImage(bitmap); });
}

extern "C" KIVRA_API void __cdecl SetProgressStep(int position)
{
    NoThrow(0, [&] {
        kivra::TheWaitSettings().SetProgressPosition(position);
        return 0;
    });
}

extern "C" KIVRA_API void __cdecl SetWaitDlgPos(float vertical, float horizontal)
{
    NoThrow(0, [&] {
        kivra::TheWaitSettings().SetPlacement(vertical, horizontal);
        return 0;
    });
}

extern "C" KIVRA_API void __cdecl SetWaitDlgBkColor(DWORD backColour)
{
    NoThrow(0, [&] {
        kivra::TheWaitSettings().SetBackgroundColour(backColour);
        return 0;
    });
}

extern "C" KIVRA_API void __cdecl SetWaitDlgRect(int left, int top, int right, int bottom)
{
    NoThrow(0, [&] {
        kivra::TheWaitSettings().SetSizeRect({left, top, right, bottom});
        return 0;
    });
}

extern "C" KIVRA_API void __cdecl SetWaitDlgTextColor(DWORD textColour)
{
    NoThrow(0, [&] {
        kivra::TheWaitSettings().SetTextColour(textColour);
        return 0;
    });
}

// Cut to 255 characters; null changes nothing.
extern "C" KIVRA_API void __cdecl SetWaitDlgText(const wchar_t* text)
{
    NoThrow(0, [&] {
        kivra::TheWaitSettings().SetText(text);
        return 0;
    });
}

// show: open over parent (null: the screen) unless open; otherwise close.
extern "C" KIVRA_API void __cdecl ShowWaitTipWindow(HWND parent, bool show)
{
    NoThrow(false, [&] { return show ? kivra::OpenWaitDialog(parent) : (kivra::CloseWaitDialog(), true); });
}
