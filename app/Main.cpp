// Kivra.exe's entry point: the application object runs the main window, or,
// asked for on the command line, the checks for plugin and skin authors run
// instead (app/CheckCommand.h).
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/CheckCommand.h"
#include "framework/CrashReport.h"
#include "app/MainApp.h"
#include "framework/StartupTimes.h"

namespace {

std::vector<std::wstring> Arguments()
{
    std::vector<std::wstring> arguments;
    int count = 0;
    if (LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i)
            arguments.emplace_back(argv[i]);
        ::LocalFree(argv);
    }
    return arguments;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    kivra::MarkStartupStep("wWinMain");
    kivra::InstallCrashReport();
    const std::vector<std::wstring> arguments = Arguments();
    if (kivra::IsCheckCommand(arguments))
        return kivra::RunCheckCommand(arguments);
    kivra::CMainApp app;
    return app.Run();
}
