#include "dialogs/ExitConfirmation.h"

#include "config/Configure.h"
#include "framework/Text.h"
#include "marvik.h"

namespace kivra {

bool ModemConnected()
{
    unsigned first = 0;
    unsigned second = 0;
    Modem::GetModem()->NetStat(&first, &second);  // its result says nothing
    return IsConnectionUp(first, second);
}

bool ConfirmExit(HWND mainWindow)
{
    wchar_t caption[kExitCaptionUnits] = {};
    if (mainWindow != nullptr)
        GetWindowTextW(mainWindow, caption, static_cast<int>(kExitCaptionUnits));

    // Translations are cut to this buffer; the texts are short sentences.
    wchar_t text[1024];
    if (ModemConnected()) {
        TranslateShellText(kPleaseDisconnectText, text);
        MessageBoxW(mainWindow, text, caption, kPleaseDisconnectBoxStyle);
        return false;
    }
    TranslateShellText(kConfirmExitText, text);
    return MessageBoxW(mainWindow, text, caption, kConfirmExitBoxStyle) == IDYES;
}

}  // namespace kivra
