// The plain functions Kivra.exe exports for plugins besides the wait
// dialog's (dialogs/WaitExports.cpp), each behind the same guard
// (framework/NoThrow.h), so that nothing thrown reaches a plugin.
#include "app/Exports.h"

#include <windows.h>

#include "config/Configure.h"
#include "framework/NoThrow.h"
#include "framework/Text.h"
#include "kivra_plugin.h"

namespace kivra {

namespace {

// TranslateText's answer: one buffer for the process, as plugins expect.
wchar_t g_translation[kTranslateTextUnits];

}  // namespace

}  // namespace kivra

using kivra::NoThrow;

// MessageBoxW(owner, text, caption, type) with the product title when caption
// is null; answers MessageBoxW's result, 0 on failure.
extern "C" KIVRA_API int __cdecl PluginMessageBox(const wchar_t* text, HWND owner, unsigned type,
                                                  const wchar_t* caption)
{
    return NoThrow(0, [&] {
        return ::MessageBoxW(owner, text, caption != nullptr ? caption : kivra::MessageBoxCaption(), type);
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
