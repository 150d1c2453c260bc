// Kivra.exe's entry point: the application object runs the main window.
#include <windows.h>

#include "app/CrashReport.h"
#include "app/MainApp.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    kivra::InstallCrashReport();
    kivra::CMainApp app;
    return app.Run();
}
