// CMainApp: the application object. Its start runs the main window as a
// modal dialog for the whole life of the process and then answers false, so
// the application ends with the dialog. Its message filter gives the skin's
// accelerators to every modal loop of the user-interface thread.
#pragma once

#include "framework/App.h"

namespace kivra {

// The common control classes the shell uses (every class of ICC_WIN95_CLASSES).
constexpr DWORD kCommonControlClasses = 0xFF;

// The settings key name the application was generated with. Kept as a name
// only: the shell keeps no settings in the system registry.
constexpr wchar_t kSettingsKeyName[] = L"应用程序向导生成的本地应用程序";

// Whether a message may be an accelerator: a key press, with or without Alt.
constexpr bool IsAcceleratorCandidate(UINT message) { return message == WM_KEYDOWN || message == WM_SYSKEYDOWN; }

class CMainApp : public CApp {
public:
    bool InitInstance() override;
    bool ProcessMessageFilter(int code, MSG* msg) override;
};

}  // namespace kivra
