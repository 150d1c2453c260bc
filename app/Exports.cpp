// Every plain function Kivra.exe exports, each behind the same guard
// (framework/NoThrow.h), so that nothing thrown reaches a plugin.
//
// The file sits in app/, the top of the shell, because that is the one layer
// that can reach everything the exports call: the configuration below it and
// the wait dialog of dialogs/.
#include "app/Exports.h"

#include <windows.h>

#include "config/Configure.h"
#include "dialogs/WaitDlg.h"
#include "framework/NoThrow.h"
#include "framework/Text.h"
#include "kivra_plugin.h"

namespace kivra {

namespace {

wchar_t g_messageBoxCaption[kMessageBoxCaptionUnits] = L"Bramic";

// TranslateText's answer: one buffer for the process, as plugins expect.
wchar_t g_translation[kTranslateTextUnits];

}  // namespace

void SetMessageBoxCaption(const wchar_t* caption)
{
    CopyText(g_messageBoxCaption, caption);
}

const wchar_t* MessageBoxCaption()
{
    return g_messageBoxCaption;
}

}  // namespace kivra

using kivra::NoThrow;

// MessageBoxW(owner, text, caption, type) with the product title when caption
// is null; answers MessageBoxW's result, 0 on failure.
extern "C" KIVRA_API int __cdecl PluginMessageBox(const wchar_t* text, HWND owner, unsigned type,
                                                  const wchar_t* caption)
{
    return NoThrow(0, [&] {
        return ::MessageBoxW(owner, text, caption != nullptr ? caption : kivra::g_messageBoxCaption, type);
    });
}

// The translation of id, or id itself; an empty text for a null id.
extern "C" KIVRA_API const wchar_t* __cdecl TranslateText(const wchar_t* id)
{
    wchar_t* result = kivra::g_translation;
    return NoThrow<const wchar_t*>(L"", [&] {
        if (id == nullptr) {
            result[0] = 0;
            return result;
        }
        // The configuration the main window made; none is loaded from here, so
        // a plugin translating before start-up or after shutdown gets its id back.
        if (kivra::CConfigure* configure = kivra::ExistingConfigure())
            configure->Language().Translate(id, result, kivra::kTranslateTextUnits);
        else
            kivra::CopyText(result, kivra::kTranslateTextUnits, id);
        return result;
    });
}

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
