// ProbeProtocol.h - how the end-to-end tests talk to the probe plugin that
// runs inside Kivra.exe.
//
// The probe plugin opens a hidden control window on Kivra's user-interface
// thread. A test process finds it by its title and sends it WM_COPYDATA with a
// ProbeCall record: the probe calls the named service on its own
// CPluginInterface, exactly as a plugin would, and appends one line describing
// what it saw to the probe log. The SendMessage result is CallService's result.
// Posting kProbeShowMessageBox makes the probe call PluginMessageBox (it blocks
// in the message box, which is why it is posted, not sent).
//
// The probe log is the file named by the environment variable KIVRA_PROBE_LOG;
// each line is 8-bit text ending in "\n".
#pragma once

#include <windows.h>

constexpr wchar_t kProbeControlTitle[] = L"KivraProbeControl";
constexpr wchar_t kProbeLogVariable[] = L"KIVRA_PROBE_LOG";
// Set: the probes leave a window and a command callback behind (ProbePlugin.cpp).
constexpr wchar_t kProbeLeftoversVariable[] = L"KIVRA_PROBE_LEFTOVERS";
constexpr unsigned kProbeLeftoverCommand = 4000;

// WM_COPYDATA kinds (COPYDATASTRUCT::dwData).
enum ProbeCallKind : ULONG_PTR {
    kProbeCallPlain = 1,         // CallService; logs "call <name> <result>"
    kProbeCallRecord = 2,        // CallService; logs the record that came back
    kProbeCallText = 3,          // CallService with pszText = text; logs the text afterwards
    kProbeCallLoadImage = 4,     // pszText = text; logs the size of the bitmap that comes back in pData
    kProbeCallOwnWindow = 5,     // pData = the control window; logs its big icon
    kProbeCallPluginSkin = 6,    // pData = TPluginSkin of name text (8-bit); logs what came back
    kProbeQueryIcons = 7,        // no call: logs the icons of the window in wParam, read from inside
    kProbeCallLater = 8,         // answers 1 at once; the probe makes the plain call from its own posted message
    kProbeListRows = 9,          // no call: logs the rows of the list view in wParam, read from inside; answers the count
    kProbeRecordDrawnText = 10,  // no call: from now on logs each new text the module named in text draws with DrawTextW
};

// kProbeListRows logs "rows count=<n>", then for each of the first
// kProbeRowsLogged rows "row <i> <column 0> | <column 1> | ..." (UTF-8).
// kProbeRecordDrawnText logs "drawn <module file name> <text>" the first time
// that module draws that text (UTF-8); it answers 1 once recording.
constexpr int kProbeRowsLogged = 50;

// Posted to the control window: PluginMessageBox(kProbeMessageText, 0, MB_OK, 0).
constexpr UINT kProbeShowMessageBox = WM_APP + 1;
// Posted by the probe to itself: the call kProbeCallLater asked for.
constexpr UINT kProbeRunLaterCall = WM_APP + 2;
constexpr wchar_t kProbeMessageText[] = L"Probe message box";

struct ProbeCall {
    char service[64];   // service path (or list)
    int nCode;
    int wParam;
    int lParam;
    wchar_t text[256];  // pszText for the kinds that take a text
};
