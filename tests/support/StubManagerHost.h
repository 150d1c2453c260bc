// A host for the built-in plugin without a main window: a window of the
// test's (or none) and no answer to anything else. Tests that need one of the
// shell's answers override that need.
#pragma once

#include "plugin/ManagerHost.h"

namespace kivra::testing {

class StubManagerHost : public IManagerHost {
public:
    explicit StubManagerHost(HWND window = nullptr) : window_(window) {}

    HWND HostWindow() const override { return window_; }
    bool ConfirmExit() override { return false; }
    void ExitOperation() override {}
    bool SwitchToMaxMode() override { return false; }
    bool SwitchToNormalMode() override { return false; }
    CWindow* CreateSettingDialogs() override { return nullptr; }
    bool MakeSettingDialogs() override { return false; }
    bool ShowSettingDialog() override { return false; }
    bool ShowNotification(const wchar_t*) override { return false; }
    bool UpdateDropZoneData(unsigned char, long, const wchar_t*) override { return false; }
    bool ShowDropZoneDataStatus(bool) override { return false; }
    bool ShowAboutDialog() override { return false; }
    bool SetTrayTip(const wchar_t*) override { return false; }
    bool SetTrayIcon(HICON) override { return false; }
    void ShowWaitDialog(const TWaitRequest&) override {}
    bool OpenHelp() override { return false; }
    bool StartUpgrade() override { return false; }
    void ReleaseFrameContext() override {}
    bool ShowStatusPane(const TStatusPaneRequest&) override { return false; }
    bool ToggleDropZone() override { return false; }
    bool ModifyButton(const TButtonChange&) override { return false; }
    bool EnableCommandItem(const TCommandRequest&) override { return false; }
    bool RegisterCommandFunction(const TCommandRequest&) override { return false; }
    bool SetMenuCheck(const TMenuCheckRequest&) override { return false; }
    bool ShowPluginPanel(const std::string&) override { return false; }
    bool PopUpSkinMenu(const std::string&) override { return false; }

private:
    HWND window_;
};

}  // namespace kivra::testing
