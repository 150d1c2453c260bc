// CNurelMainWindow: the application's main window, a dialog over template
// 102 that the application object runs modally for the whole life of the
// process. Its initialisation is the start-up sequence, its destruction the
// shutdown sequence; what it looks like comes from the skin through its
// frame (CShellFrame, ShellFrame.h), which owns the frame's every part.
//
// Start-up, in this order (StartUp, run by OnInitDialog); any failing step
// ends the dialog with 0, and only a missing configuration says so ("The
// config file may be broken!"):
//   icon -> frame context and configuration -> skin description -> log level
//   and start banner -> frame context attached -> message-box caption ->
//   single instance -> password -> window title -> mutex -> database ->
//   message bus -> tooltip (made when first needed) -> floating dialog ->
//   registry -> skinned frame ->
//   wait dialog defaults -> plugins -> "plugins loaded" on the bus -> panels,
//   buttons and start service -> tray icon -> settings dialog -> start-up
//   rectangle -> timers.
// Shutdown (destructor), in this order: mutex closed; settings dialog,
// floating dialog, system settings page and notifier destroyed; plugins
// unloaded newest first and the registry destroyed; frame context destroyed
// if still there; message bus stopped; tray icon removed; floating dialog,
// tooltip and window destroyed.
#pragma once

#include <windows.h>

#include <string>

#include "controls/TrayIcon.h"
#include "dialogs/FloatDlg.h"
#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "framework/ProgramVersion.h"
#include "mainwindow/DeviceEvents.h"
#include "mainwindow/ShellFrame.h"
#include "plugin/ManagerHost.h"

namespace kivra {

class CServiceRegistry;

// The mutex that tells a second instance that the first one runs.
constexpr wchar_t kSingleInstanceMutexName[] = L"NurelCorpV3SingleObjectMutex";
// The start banner: program version, then the skin's version.
constexpr wchar_t kStartBannerFormat[] =
    L"\r\n\r\n\r\n\r\n\r\n\r\nOmbrix PC Software launched, version: %s%s\r\n\r\n";
constexpr wchar_t kStartLogFile[] = L"ostel.log";
constexpr unsigned kStartBannerLevel = 32;
// The one start-up failure that is reported.
constexpr wchar_t kConfigBrokenText[] = L"The config file may be broken!";
// Posted on the message bus once every plugin is bound (wParam 0), and
// when the main window is up, at its first idle moment (wParam 1).
constexpr unsigned long kPluginsLoadedMessage = 0x8069;
constexpr unsigned kPluginsLoaded = 0;
constexpr unsigned kMainWindowUp = 1;
// Timer 2: the status-bar text of the hot tool-area button.
constexpr UINT_PTR kHoverTextTimer = 2;
// Timer 4, once: the work that waits for the window to be up, begun after the
// first idle moment once the thread has waited for input (a program that
// waits for Kivra with WaitForInputIdle is told only then under Wine).
constexpr UINT_PTR kWindowUpTimer = 4;
constexpr UINT kWindowUpDelayMs = USER_TIMER_MINIMUM;
constexpr UINT kHoverTextPeriodMs = 300;
// The tooltip's automatic-pop delay.
constexpr int kTooltipAutoPopDelayMs = 30000;
// WM_COMMAND identifiers from here up are system commands.
constexpr UINT kFirstSystemCommandId = 0xF000;
// Sent to the status bar on every idle check of the modal loop.
constexpr UINT kIdleUpdateCmdUIMessage = 0x0363;
// The main icon, beside the executable.
constexpr wchar_t kMainIconFile[] = L"common\\main.ico";
// The wait dialog's look until a plugin changes it: a pale green, or the
// skin's picture when it has one.
constexpr COLORREF kWaitDefaultBackground = 0x00D2E9DA;
constexpr wchar_t kWaitDefaultImage[] = L"wait.JPG";

// Where the main icon goes in a minimised window's client area of this size.
POINT IconPosition(const RECT& client, int iconWidth, int iconHeight);

// The main window is the plugins' host object and answers the built-in
// plugin's needs (IManagerHost).
class CNurelMainWindow : public CDialog, public IManagerHost {
public:
    CNurelMainWindow();
    // The shutdown sequence (see the header comment).
    ~CNurelMainWindow() override;

    // --- IManagerHost -----------------------------------------------------
    HWND HostWindow() const override { return hwnd_; }
    // The exit confirmation in message boxes of this window.
    bool ConfirmExit() override;
    // The exit operation: closes the wait dialog when it is open and ends the
    // modal loop with IDOK. WM_CLOSE runs it directly, the system close
    // command and "manager/ProgramExit" after the exit confirmation.
    void ExitOperation() override;
    bool SwitchToMaxMode() override;
    bool SwitchToNormalMode() override;
    CWindow* CreateSettingDialogs() override;
    bool MakeSettingDialogs() override;
    bool ShowSettingDialog() override;
    bool ShowNotification(const wchar_t* text) override;
    bool UpdateDropZoneData(unsigned char sample, long number, const wchar_t* tip) override;
    bool ShowDropZoneDataStatus(bool on) override;
    bool ShowAboutDialog() override;
    void ReleaseFrameContext() override;
    bool SetTrayTip(const wchar_t* tip) override;
    bool SetTrayIcon(HICON icon) override;
    void ShowWaitDialog(const TWaitRequest& request) override;
    bool OpenHelp() override;
    bool StartUpgrade() override;
    bool ShowStatusPane(const TStatusPaneRequest& pane) override { return frame_.ShowStatusPane(pane); }
    bool ToggleDropZone() override;
    bool ModifyButton(const TButtonChange& change) override { return frame_.ModifyButton(change); }
    bool EnableCommandItem(const TCommandRequest& item) override { return frame_.EnableCommandItem(item); }
    bool RegisterCommandFunction(const TCommandRequest& item) override { return frame_.RegisterCommandFunction(item); }
    bool SetMenuCheck(const TMenuCheckRequest& check) override { return frame_.SetMenuCheck(check); }
    bool ShowPluginPanel(const std::string& showService) override { return frame_.ShowPluginPanel(showService); }
    bool PopUpSkinMenu(const std::string& name) override { return frame_.PopUpSkinMenu(name); }

    // The window's frame with all its parts.
    CShellFrame& Frame() { return frame_; }
    // The tooltip control, made on the first call (see CShellFrame::Tooltip).
    HWND Tooltip() { return frame_.Tooltip(); }
    CFloatDlg& FloatDialog() { return frame_.FloatDialog(); }
    // The window rectangle remembered at the end of start-up (empty before).
    const RECT& StartupRect() const { return startupRect_; }
    // The window icon: the configured logo once the frame is set up, else the
    // main icon; null when neither loaded.
    HICON WindowIcon() const;
    // The skin's version text, as written into the start banner.
    const std::wstring& SkinVersion() const { return skinVersion_; }
    const CTrayIcon& TrayIcon() const { return frame_.TrayIcon(); }
    // Hidden to the tray by SC_MINIMIZE, until it is brought back.
    bool InTray() const { return inTray_; }
    // The application's message filter: a key press translated through the
    // skin's accelerator table to this window. True when it was an accelerator.
    bool TranslateSkinAccelerator(MSG* msg) const;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool PreTranslateMessage(MSG* msg) override;
    bool OnInitDialog() override;
    bool ContinueModal() override;
    // Enter and Esc never close the main window.
    void OnOK() override {}
    void OnCancel() override {}

private:
    // The start-up sequence (see the header comment); false ends it.
    bool StartUp();
    // Its steps; those answering bool end the start-up with false.
    void SetIcons(HICON icon);
    bool AttachConfiguration();
    void ReadSkinDescription();
    void WriteStartBanner();
    std::wstring TranslatedTitle() const;
    bool SingleInstanceAllowsStart(const wchar_t* title);
    bool OpenDatabase();
    bool CreateRegistry();
    void LoadPlugins();
    INT_PTR RunPasswordDialog();
    void SetWaitDialogDefaults();
    void InitialiseSettingDialog();

    // Right before a plugin library is freed: the bus forgets its listeners
    // and the commands the callbacks whose code lies in it.
    void ForgetCodeOfLibrary(HMODULE library);
    bool DispatchToolCommand(UINT id);

    // Message handlers (the message map is WindowProc).
    LRESULT OnSysCommand(UINT command, LPARAM lParam);   // WM_SYSCOMMAND
    void OnClose();                                      // WM_CLOSE
    void OnDestroy();                                    // WM_DESTROY
    bool OnCommand(UINT id, UINT code, HWND control);    // WM_COMMAND; true: handled
    void OnHelp();                                       // WM_HELP
    void OnTimer(UINT_PTR id);                           // WM_TIMER
    void OnSize(UINT type, SIZE size);                   // WM_SIZE
    void OnMenuSelect(UINT item, UINT flags, HMENU menu);  // WM_MENUSELECT
    void OnGetMinMaxInfo(MINMAXINFO* info);              // WM_GETMINMAXINFO
    void OnLButtonDown(UINT flags, POINT point);         // WM_LBUTTONDOWN
    void OnRButtonDown(UINT flags, POINT point);         // WM_RBUTTONDOWN
    bool OnNcLButtonDown(UINT hit, POINT screenPoint);   // WM_NCLBUTTONDOWN; true: taken
    void OnNcMouseMove(UINT hit, POINT screenPoint);     // WM_NCMOUSEMOVE
    void OnNcPaint();                                    // WM_NCPAINT, WM_NCACTIVATE
    void OnEraseBackground(HDC dc);                      // WM_ERASEBKGND
    bool OnPaintIconic();                                // WM_PAINT; true when drawn here
    void OnTrayNotify(WPARAM icon, UINT mouseMessage);   // kTrayCallbackMessage
    void OnNotifierClicked();                            // kNotifierClickedMessage
    void OnTaskbarCreated();                             // "TaskbarCreated"
    void OnPowerBroadcast(WPARAM event, LPARAM data);    // WM_POWERBROADCAST, after the default
    void OnDeviceChange(WPARAM event, LPARAM data);      // WM_DEVICECHANGE, after the default
    bool OnMeasureItem(MEASUREITEMSTRUCT* item);         // WM_MEASUREITEM; true: a skin menu's item
    bool OnDrawItem(const DRAWITEMSTRUCT* item);         // WM_DRAWITEM; true: a skin menu's item
    void HideToTray();
    void ShowFromTray();

    // The data the window keeps, in this order.
    CShellFrame frame_;  // the skin state, commands, bars, buttons, tooltip, tray icon, auxiliary windows
    CServiceRegistry* registry_ = nullptr;  // the process's, destroyed by the shutdown
    RECT startupRect_ = {};
    bool firstIdleSeen_ = false;  // the window is up: kWindowUpTimer set
    UniqueKernelHandle mutex_;
    int tooltipAutoPopDelay_ = kTooltipAutoPopDelayMs;
    UniqueIcon mainIcon_;
    std::wstring mainIconFile_;
    std::wstring skinName_, skinVersion_, skinCompany_, skinUrl_;
    bool inTray_ = false;  // hidden to the tray by SC_MINIMIZE
    UINT taskbarCreatedMessage_ = 0;  // registered at construction; 0 when that failed
    WarningSweep warningSweep_;       // timer 3
};

}  // namespace kivra
