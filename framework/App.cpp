#include "framework/App.h"

#include "framework/MessagePump.h"

namespace kivra {

namespace {

CApp* gCurrentApp = nullptr;

}  // namespace

CApp::CApp()
    : instance_(::GetModuleHandleW(nullptr)), threadId_(::GetCurrentThreadId()), previous_(gCurrentApp)
{
    gCurrentApp = this;
}

CApp::~CApp()
{
    if (gCurrentApp == this)
        gCurrentApp = previous_;
}

CApp* CApp::Current()
{
    return gCurrentApp;
}

int CApp::Run()
{
    if (InitInstance()) {
        MSG msg{};
        BOOL got;
        while ((got = ::GetMessageW(&msg, nullptr, 0, 0)) > 0)
            ProcessMessage(msg, nullptr, kMessageFilterMainLoop);
        if (got == 0)
            exitCode_ = static_cast<int>(msg.wParam);
    }
    return ExitInstance();
}

bool CApp::InitInstance()
{
    return true;
}

int CApp::ExitInstance()
{
    return exitCode_;
}

bool CApp::ProcessMessageFilter(int, MSG*)
{
    return false;
}

}  // namespace kivra
