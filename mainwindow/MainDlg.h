// CMainDlg: the main window the application object runs. Everything it does
// is CNurelMainWindow's; it only makes sure the window is gone before the
// base class's shutdown runs.
#pragma once

#include "mainwindow/NurelMainWindow.h"

namespace kivra {

class CMainDlg : public CNurelMainWindow {
public:
    CMainDlg() = default;
    ~CMainDlg() override;

protected:
    // No messages of its own: everything goes to the base class.
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        return CNurelMainWindow::WindowProc(msg, wParam, lParam);
    }
};

}  // namespace kivra
