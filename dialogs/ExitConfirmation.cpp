#include "dialogs/ExitConfirmation.h"

#include "config/Configure.h"
#include "framework/ModulePath.h"
#include "framework/Text.h"
#include "marvik.h"

namespace kivra {

namespace {

// Kivra.exe loads marvik.dll at this first call rather than at start (see
// libs/CMakeLists.txt). Without the library or its two entries, named as it
// exports them, that call would end the program; there is no modem then.
bool ModemLibraryLoads()
{
    static const bool loads =
        LoadLibraryWithEntries(L"marvik.dll", {"_ZN5Modem8GetModemEv", "_ZN5Modem7NetStatEPjS0_"});
    return loads;
}

}  // namespace

bool ModemConnected()
{
    if (!ModemLibraryLoads())
        return false;
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
