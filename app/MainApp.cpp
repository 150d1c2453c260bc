#include "app/MainApp.h"

#include <commctrl.h>

#include "framework/CrashReport.h"
#include "mainwindow/MainDlg.h"

namespace kivra {

bool CMainApp::InitInstance()
{
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = kCommonControlClasses;
    ::InitCommonControlsEx(&controls);

    // Before the window: a crash last time is worth knowing about first.
    ShowLastCrashOnce(nullptr);

    CMainDlg dialog;
    SetMainWindow(&dialog);
    dialog.DoModal();
    SetMainWindow(nullptr);
    // The dialog's destructor, at the end of this scope, shuts the shell down.
    return false;
}

bool CMainApp::ProcessMessageFilter(int code, MSG* msg)
{
    if (code < 0 || msg == nullptr)
        return CApp::ProcessMessageFilter(code, msg);
    // The skin's accelerators belong to the main window this application runs.
    const auto* mainWindow = dynamic_cast<const CNurelMainWindow*>(MainWindow());
    if (mainWindow != nullptr && IsAcceleratorCandidate(msg->message) && mainWindow->TranslateSkinAccelerator(msg))
        return true;
    return CApp::ProcessMessageFilter(code, msg);
}

}  // namespace kivra
