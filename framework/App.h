// CApp: the application object. One per process is current at a time; the
// message loops reach it through CApp::Current() to run its message filter.
//
// Lifecycle, in order: construction (becomes current) -> Run(): InitInstance;
// when that answers true, a message loop until WM_QUIT -> ExitInstance, whose
// answer is the process exit code -> destruction (the previous application,
// if any, becomes current again).
#pragma once

#include <windows.h>

namespace kivra {

class CWindow;

class CApp {
public:
    CApp();
    virtual ~CApp();
    CApp(const CApp&) = delete;
    CApp& operator=(const CApp&) = delete;

    // The current application, or null.
    static CApp* Current();

    // The module of the executable, where the dialog templates live.
    HINSTANCE Instance() const { return instance_; }
    // The thread that made the application object: its message filter runs
    // only for the loops of that thread (the wait dialog's thread has its own).
    DWORD ThreadId() const { return threadId_; }

    // The application's main window (not owned), or null.
    CWindow* MainWindow() const { return mainWindow_; }
    void SetMainWindow(CWindow* window) { mainWindow_ = window; }

    int Run();

    // Start of the application. False ends it at once (after ExitInstance):
    // an application that runs its main window as a modal dialog inside
    // InitInstance answers false when that dialog has ended.
    virtual bool InitInstance();
    // End of the application; answers the exit code. The base answers the
    // code of the WM_QUIT that ended the loop, 0 without one.
    virtual int ExitInstance();

    // Offered every message of the shell's message loops on the application's
    // thread, before any other processing (see MessagePump.h). code is
    // MSGF_DIALOGBOX for the loops of modal dialogs and kMessageFilterMainLoop
    // for Run's loop; negative codes are reserved, as for the system's message
    // filter hooks. True consumes the message. The base consumes nothing.
    virtual bool ProcessMessageFilter(int code, MSG* msg);

    // Filter code of the message loop of Run: the first application-defined code.
    static constexpr int kMessageFilterMainLoop = MSGF_USER;

protected:
    int exitCode_ = 0;

private:
    HINSTANCE instance_;
    DWORD threadId_;
    CWindow* mainWindow_ = nullptr;
    CApp* previous_;
};

}  // namespace kivra
