// Running the main window inside a test: a fixture product primes the
// configuration, then a CMainDlg runs modally while timer steps act on it
// from inside its loop.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "app/MainApp.h"
#include "config/Configure.h"
#include "mainwindow/FrameContext.h"
#include "mainwindow/MainDlg.h"
#include "tests/e2e/KivraRun.h"

namespace kivra::testing {

// A fixture product without program files, whose configuration is the one
// the shell finds.
inline std::unique_ptr<e2e::FixtureProduct> PrimeConfiguration(const wchar_t* name, const wchar_t* title,
                                                                 bool withLogo = true)
{
    e2e::FixtureOptions options;
    options.withProgram = false;
    options.withProbes = false;
    options.titleText = title;
    options.withLogoFile = withLogo;
    auto product = std::make_unique<e2e::FixtureProduct>(name, options);
    if (!product->Ready() || GetConfigureFrom(product->Folder().c_str()) == nullptr)
        return nullptr;
    return product;
}

using ShellStep = std::function<void(CMainDlg& shell)>;

struct ShellRun {
    std::vector<ShellStep> steps;
    size_t next = 0;
    CMainDlg* shell = nullptr;
};

inline ShellRun*& CurrentShellRun()
{
    static ShellRun* current = nullptr;
    return current;
}

inline void CALLBACK RunNextShellStep(HWND, UINT, UINT_PTR, DWORD)
{
    ShellRun* run = CurrentShellRun();
    if (run == nullptr || run->next >= run->steps.size())
        return;
    // Steps may run nested loops (message boxes): the index moves first so
    // that a tick inside such a loop runs the next step, never this one again.
    ShellStep step = run->steps[run->next++];
    step(*run->shell);
}

// Runs a CMainDlg with a CMainApp current (so its message filter runs) and
// runs each step on its own timer tick inside the modal loop, 50 ms apart.
// The last step normally ends the dialog. Answers DoModal's result; the
// shutdown has run when it returns.
inline INT_PTR RunShell(std::vector<ShellStep> steps)
{
    ShellRun run{std::move(steps)};
    CurrentShellRun() = &run;
    INT_PTR result = kDialogFailed;
    {
        CMainApp app;
        CMainDlg shell;
        run.shell = &shell;
        app.SetMainWindow(&shell);
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, RunNextShellStep);
        result = shell.DoModal();
        KillTimer(nullptr, timer);
        app.SetMainWindow(nullptr);
    }
    CurrentShellRun() = nullptr;
    return result;
}

}  // namespace kivra::testing
