#include "mainwindow/NurelMainWindow.h"

#include <commctrl.h>
#include <dbt.h>

#include <memory>
#include <optional>

#include "config/Configure.h"
#include "config/DocumentStore.h"
#include "config/PictureStore.h"
#include "controls/MenuEx.h"
#include "dialogs/AboutDlg.h"
#include "dialogs/ExitConfirmation.h"
#include "dialogs/HelpLauncher.h"
#include "dialogs/PasswdDlg.h"
#include "dialogs/SettingDlg.h"
#include "dialogs/WaitDlg.h"
#include "dunra.h"
#include "framework/ControlBars.h"
#include "framework/DiskFile.h"
#include "framework/Log.h"
#include "framework/ModulePath.h"
#include "framework/StartupTimes.h"
#include "mainwindow/CommandRegistry.h"
#include "mainwindow/FrameContext.h"
#include "ostel.h"
#include "plugin/LibraryLeftovers.h"
#include "plugin/ManagerPlugin.h"
#include "plugin/PluginLoader.h"
#include "plugin/ServiceRegistry.h"
#include "resources/resource.h"

namespace kivra {

namespace {

// OpenMutexW access: everything (MUTEX_ALL_ACCESS).
constexpr DWORD kMutexAllAccess = 0x1F0001;
// WM_SYSCHAR's key data: the Alt key was down.
constexpr LPARAM kAltDownBit = 1 << 29;
// What a freed plugin library left running is logged at this level.
constexpr unsigned kPluginLeftoverLogLevel = 1;
// The database library's notes (a file refused, an old file moved aside).
constexpr unsigned kDatabaseLogLevel = 1;

void LogPluginLeftover(const wchar_t* line)
{
    GetLog().Log(kPluginLeftoverLogLevel, L"%s", line);
}

// dunra calls it on the thread that called into it: the user-interface
// thread, where the shell and plugins use the database.
void LogDatabaseNote(const wchar_t* line)
{
    GetLog().Log(kDatabaseLogLevel, L"%s", line);
}

}  // namespace

POINT IconPosition(const RECT& client, int iconWidth, int iconHeight)
{
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    return {(width - iconWidth + 1) / 2, (height - iconHeight + 1) / 2};
}

CNurelMainWindow::CNurelMainWindow()
    : CDialog(IDD_MAIN), taskbarCreatedMessage_(::RegisterWindowMessageW(kTaskbarCreatedMessageName))
{
    // The icon beside the executable, not beside the current directory: a
    // shell started from another working directory keeps its icon.
    mainIconFile_ = ExecutableRelativePath(kMainIconFile);
    if (!mainIconFile_.empty())
        mainIcon_.reset(LoadIconFile(mainIconFile_.c_str()));
}

CNurelMainWindow::~CNurelMainWindow()
{
    // 1. Other instances may start from now on.
    mutex_.reset();

    // 2. The auxiliary windows.
    frame_.DestroyAuxiliaryWindows();
    // A window closed before it was up has not kept its pictures yet.
    if (frame_.Context() != nullptr)
        frame_.Context()->Configure().Skin().SavePictures();
    SaveDocuments();

    // 3. Plugins newest first, the built-in plugin last, then the registry
    //    with every plugin object and stored record.
    if (registry_ != nullptr) {
        // An UnloadPlugin may pump messages (a message box): meanwhile no
        // click may reach the window and run a command of a plugin gone.
        if (IsWindow())
            ::EnableWindow(hwnd_, FALSE);
        UnloadAllPlugins();
        CServiceRegistry::DestroyRegistry();
        registry_ = nullptr;
    }
    SetLibraryReleaseHandler(nullptr);

    // 4. The built-in plugin's UnloadPlugin normally released it already;
    //    the commands with their menus and bars follow.
    if (frame_.Context() != nullptr)
        ReleaseFrameContext();
    frame_.DestroyCommands();

    // 5. The message bus, after every plugin is gone.
    OpExit();

    // 6. The tray icon leaves the notification area.
    frame_.TrayIcon().Remove();

    // 7. The tooltip and the window (the floating dialog object goes with the frame).
    frame_.DestroyTooltip();
    if (IsWindow())
        Destroy();
}

HICON CNurelMainWindow::WindowIcon() const
{
    const FrameContext* context = frame_.Context();
    if (context != nullptr && context->WindowIcon() != nullptr)
        return context->WindowIcon();
    return mainIcon_.get();
}

bool CNurelMainWindow::TranslateSkinAccelerator(MSG* msg) const
{
    const FrameContext* context = frame_.Context();
    return context != nullptr && context->MainWindowHandle() != nullptr && context->AcceleratorTable() != nullptr &&
           context->TranslateSkinAccelerator(msg);
}

// ---------------------------------------------------------------------------
// What the built-in plugin asks of the shell

bool CNurelMainWindow::ConfirmExit()
{
    return kivra::ConfirmExit(hwnd_);
}

void CNurelMainWindow::ExitOperation()
{
    kivra::CloseWaitDialog();
    EndDialog(IDOK);
}

bool CNurelMainWindow::SetTrayTip(const wchar_t* tip)
{
    CTrayIcon& trayIcon = frame_.TrayIcon();
    if (!trayIcon.Added())
        return false;
    trayIcon.SetTip(tip);
    return true;
}

bool CNurelMainWindow::SetTrayIcon(HICON icon)
{
    CTrayIcon& trayIcon = frame_.TrayIcon();
    if (!trayIcon.Added())
        return false;
    trayIcon.SetIcon(icon);
    return true;
}

void CNurelMainWindow::ShowWaitDialog(const TWaitRequest& request)
{
    ShowWaitDialogRequest(request, hwnd_);
}

bool CNurelMainWindow::OpenHelp()
{
    return ShowHelpFile();
}

bool CNurelMainWindow::StartUpgrade()
{
    return UpgradeOnline();
}

bool CNurelMainWindow::SwitchToMaxMode()
{
    const FrameContext* context = frame_.Context();
    if (context == nullptr || !context->MaxWindowEnabled())
        return false;
    frame_.SwitchToMaxMode();
    return true;
}

bool CNurelMainWindow::SwitchToNormalMode()
{
    if (frame_.Context() == nullptr)
        return false;
    frame_.SwitchToNormalMode();
    return true;
}

CWindow* CNurelMainWindow::CreateSettingDialogs()
{
    return frame_.Settings().Create();
}

bool CNurelMainWindow::MakeSettingDialogs()
{
    return frame_.Settings().Make();
}

bool CNurelMainWindow::ShowSettingDialog()
{
    return frame_.Settings().Show();
}

bool CNurelMainWindow::ShowNotification(const wchar_t* text)
{
    CTaskbarNotifier& notifier = frame_.Notifier();
    if (!notifier.IsWindow())
        return false;
    notifier.Show(text);
    return true;
}

bool CNurelMainWindow::UpdateDropZoneData(unsigned char sample, long number, const wchar_t* tip)
{
    CFloatDlg& floatDlg = frame_.FloatDialog();
    if (!floatDlg.IsWindow())
        return false;
    floatDlg.UpdateLastData(sample, number, tip);
    return true;
}

bool CNurelMainWindow::ShowDropZoneDataStatus(bool on)
{
    CFloatDlg& floatDlg = frame_.FloatDialog();
    if (!floatDlg.IsWindow())
        return false;
    floatDlg.ShowDataStatus(on);
    return true;
}

bool CNurelMainWindow::ShowAboutDialog()
{
    // The configured logo, as the title bar shows it; none leaves the box without an icon.
    const FrameContext* context = frame_.Context();
    CAboutDlg about(context != nullptr ? context->WindowIcon() : nullptr);
    return about.DoModal(hwnd_) != kDialogFailed;
}

void CNurelMainWindow::ReleaseFrameContext()
{
    frame_.ReleaseContext(IsWindow() ? hwnd_ : nullptr);
}

// ---------------------------------------------------------------------------
// Start-up

bool CNurelMainWindow::OnInitDialog()
{
    MarkStartupStep("main window made");
    CDialog::OnInitDialog();
    // The one failure exit: the dialog ends with 0, and so does the
    // application; the shutdown runs on whatever was made.
    if (!StartUp())
        EndDialog(0);
    return true;
}

// The start-up sequence, step by step in its fixed order (plugins and the log
// observe it). False at the first step that fails; only a missing
// configuration says so.
bool CNurelMainWindow::StartUp()
{
    SetIcons(mainIcon_.get());                     // 1. the main icon
    if (!AttachConfiguration())                    // 2. frame context and configuration
        return false;
    MarkStartupStep("configuration read");
    ReadSkinDescription();                         // 3.
    WriteStartBanner();                            // 4., 5. log level and start banner
    frame_.Context()->AttachMainWindow(hwnd_);     // 6.
    frame_.PrepareNotifier(hwnd_);                 //    made once the window is up, or on need
    const std::wstring title = TranslatedTitle();  // 7. PluginMessageBox's caption from now on
    SetMessageBoxCaption(title.c_str());
    if (!SingleInstanceAllowsStart(title.c_str())) // 8. one instance per title
        return false;
    if (RunPasswordDialog() != IDOK)               // 9. a login that failed to run lets nobody in
        return false;
    if (!title.empty())                            // 10.
        SetText(title.c_str());
    // 11. Held until shutdown: later instances find it.
    mutex_.reset(::CreateMutexW(nullptr, FALSE, kSingleInstanceMutexName));
    if (!OpenDatabase())                           // 12. silently
        return false;
    MarkStartupStep("database opened");
    OpInit();                                      // 13. its answer says nothing we act on
    frame_.PrepareTooltip(hwnd_, tooltipAutoPopDelay_);  // 14. made once the window is up
    frame_.PrepareFloatDialog(hwnd_);              // 15. made once the window is up, or on need
    if (!CreateRegistry())                         // 16.
        return false;
    if (frame_.SetUpFrame(hwnd_, {mainIcon_.get(), mainIconFile_.c_str()}) != 1)  // 17. the skinned frame
        return false;
    MarkStartupStep("frame set up");
    SetWaitDialogDefaults();                       // 18.
    MarkStartupStep("wait dialog defaults");
    LoadPlugins();                                 // 19.
    MarkStartupStep("plugins loaded");
    TPostMessage(kPluginsLoadedMessage, kPluginsLoaded, 0);  // 20. the plugins are there
    frame_.CreatePanelsButtonsAndStartService(*registry_);  // 21.
    MarkStartupStep("panels and skin buttons");
    frame_.AddTrayIcon(GetText().c_str(), hwnd_, WindowIcon());  // 22.
    InitialiseSettingDialog();                     // 23.
    MarkStartupStep("settings pages");
    startupRect_ = WindowRect();                   // 24. what the window is maximised to
    SetTimer(kHoverTextTimer, kHoverTextPeriodMs); // 25. (timer 3 belongs to the device events)
    return true;
}

void CNurelMainWindow::SetIcons(HICON icon)
{
    Send(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    Send(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

bool CNurelMainWindow::AttachConfiguration()
{
    // The frame context makes the configuration, which reads config.xml, the
    // language file and the skin: as the last run parsed them, when their
    // files have not changed since.
    KeepDocumentsIn(std::make_unique<CDocumentStore>(CDocumentStore::UserStoreFile()));
    if (!frame_.MakeContext()) {
        ::MessageBoxW(hwnd_, kConfigBrokenText, MessageBoxCaption(), MB_OK);
        return false;
    }
    // The skin's pictures as the last run decoded them: read back, not decoded.
    frame_.Context()->Configure().Skin().KeepPicturesIn(
        std::make_unique<CPictureStore>(CPictureStore::UserStoreFile(), CPictureStore::ScreenDpi()));
    return true;
}

void CNurelMainWindow::ReadSkinDescription()
{
    CSkin& skin = frame_.Context()->Configure().Skin();
    skinName_ = skin.SkinName();
    skinVersion_ = skin.Version();
    skinCompany_ = skin.Company();
    skinUrl_ = skin.Url();
}

void CNurelMainWindow::WriteStartBanner()
{
    // The configured levels: a single level is added, anything else replaces
    // the mask.
    CLog& log = GetLog();
    log.ApplyConfiguredLevel(frame_.Context()->Configure().LogLevelMask());
    log.LogTo(kStartLogFile, kStartBannerLevel, kStartBannerFormat, kProgramVersion, skinVersion_.c_str());
}

std::wstring CNurelMainWindow::TranslatedTitle() const
{
    CConfigure& configure = frame_.Context()->Configure();
    wchar_t title[kConfigLongTextUnits];
    configure.Language().Translate(configure.Title(), title);
    return title;
}

bool CNurelMainWindow::SingleInstanceAllowsStart(const wchar_t* title)
{
    // An empty title cannot find anybody: every instance starts.
    if (title == nullptr || title[0] == 0)
        return true;
    HWND other = ::FindWindowW(nullptr, title);
    if (other == nullptr || other == hwnd_)
        return true;
    // A window of that title alone is not enough: the mutex tells that it is
    // ours.
    UniqueKernelHandle running(::OpenMutexW(kMutexAllAccess, FALSE, kSingleInstanceMutexName));
    if (!running)
        return true;
    // Bring the first instance forward as a tray double click would.
    ::PostMessageW(other, kTrayCallbackMessage, 0, WM_LBUTTONDBLCLK);
    if (::IsIconic(other))
        ::ShowWindow(other, SW_RESTORE);
    ::SetForegroundWindow(other);
    return false;
}

bool CNurelMainWindow::OpenDatabase()
{
    const std::wstring path = ExecutableRelativePath(frame_.Context()->Configure().DatabaseFileName());
    dbSetLogHandler(LogDatabaseNote);
    return !path.empty() && dbOpen(path.c_str());
}

bool CNurelMainWindow::CreateRegistry()
{
    registry_ = CServiceRegistry::GetRegistry();
    if (registry_ == nullptr)
        return false;
    registry_->SetHost(this, hwnd_);  // the built-in plugin's IManagerHost
    registry_->SetPluginHost(static_cast<CWindow*>(this));  // every other plugin's host object
    return true;
}

void CNurelMainWindow::LoadPlugins()
{
    // Before a plugin library is freed nothing may run its code any more:
    // the bus forgets its listeners, the commands their callbacks, the loader
    // destroys its windows and removes its handlers, and the log says what
    // was left.
    SetLibraryReleaseHandler([this](HMODULE library) { ForgetCodeOfLibrary(library); });
    SetLibraryLeftoverNote(LogPluginLeftover);
    LoadStartupPlugins(registry_, ManagerPluginEntryPoints(), &frame_.Context()->Configure().Skin().Document());
}

void CNurelMainWindow::ForgetCodeOfLibrary(HMODULE library)
{
    OpUnsubscribeModule(library);
    CommandRegistry* commands = frame_.Commands();
    if (commands == nullptr)
        return;
    const std::wstring name = LibraryFileName(library);
    for (unsigned id : commands->DropCallbacksRunningCodeIn(ModuleCodeRange(library))) {
        const std::wstring line =
            name + L" was freed with the callback of command " + std::to_wstring(id) + L" still set: dropped";
        LogPluginLeftover(line.c_str());
    }
}

// ---------------------------------------------------------------------------
// Start-up steps of the auxiliary windows

INT_PTR CNurelMainWindow::RunPasswordDialog()
{
    // No password in Config.ini: nothing to ask, and the dialog (which would
    // end at once, never shown) is not made at all. Without an owner: this
    // window is not shown yet, and the login gets a taskbar button.
    const std::wstring path = PasswordFilePath();
    if (ReadStoredPassword(path.c_str()).empty())
        return IDOK;
    CPasswdDlg login(path);
    return login.DoModal(nullptr);
}

void CNurelMainWindow::SetWaitDialogDefaults()
{
    WaitSettings& wait = TheWaitSettings();
    wait.SetBackgroundColour(kWaitDefaultBackground);
    // The pattern brush keeps its own copy: the picture goes at once.
    UniqueBitmap image;
    if (frame_.Context()->Configure().Skin().LoadSkinImage(kWaitDefaultImage, &image))
        wait.SetBackgroundImage(image.get());
}

void CNurelMainWindow::InitialiseSettingDialog()
{
    // Every plugin is bound: their pages go into the tree.
    frame_.Settings().FillPages(mainIcon_.get());
}

bool CNurelMainWindow::DispatchToolCommand(UINT id)
{
    CommandRegistry* commands = frame_.Commands();
    return commands != nullptr && commands->Execute(id);
}

// ---------------------------------------------------------------------------
// Message map

LRESULT CNurelMainWindow::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    // A registered message: no case label can name it.
    if (msg == taskbarCreatedMessage_ && msg != 0) {  // void OnTaskbarCreated()
        OnTaskbarCreated();
        return 0;
    }
    switch (msg) {
    case WM_SYSCOMMAND:  // LRESULT OnSysCommand(UINT command, LPARAM lParam)
        return OnSysCommand(static_cast<UINT>(wParam), lParam);
    case WM_CLOSE:  // void OnClose()
        OnClose();
        return 0;
    case WM_DESTROY:  // void OnDestroy(), then the default
        OnDestroy();
        break;
    case WM_COMMAND:  // bool OnCommand(UINT id, UINT code, HWND control); false: routed on
        if (OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)))
            return 0;
        break;
    case WM_HELP:  // void OnHelp()
        OnHelp();
        return TRUE;
    case WM_TIMER:  // void OnTimer(UINT_PTR id)
        OnTimer(wParam);
        return 0;
    case WM_SIZE:  // void OnSize(UINT type, SIZE size), then the default
        OnSize(static_cast<UINT>(wParam), SizeFromLParam(lParam));
        break;
    case WM_MENUSELECT:  // default, then void OnMenuSelect(UINT item, UINT flags, HMENU menu)
        return DefaultThen(msg, wParam, lParam, [&] {
            OnMenuSelect(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HMENU>(lParam));
        });
    case WM_GETMINMAXINFO:  // void OnGetMinMaxInfo(MINMAXINFO* info), then the default
        OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
        break;
    case WM_LBUTTONDOWN:  // default, then void OnLButtonDown(UINT flags, POINT point)
        return DefaultThen(msg, wParam, lParam,
                           [&] { OnLButtonDown(static_cast<UINT>(wParam), PointFromLParam(lParam)); });
    case WM_RBUTTONDOWN:  // void OnRButtonDown(UINT flags, POINT point), then the default
        OnRButtonDown(static_cast<UINT>(wParam), PointFromLParam(lParam));
        break;
    case WM_NCLBUTTONDOWN:  // bool OnNcLButtonDown(UINT hit, POINT screenPoint); false: the default
        if (OnNcLButtonDown(static_cast<UINT>(wParam), PointFromLParam(lParam)))
            return 0;
        break;
    case WM_NCMOUSEMOVE:  // default, then void OnNcMouseMove(UINT hit, POINT screenPoint)
        return DefaultThen(msg, wParam, lParam,
                           [&] { OnNcMouseMove(static_cast<UINT>(wParam), PointFromLParam(lParam)); });
    case WM_NCPAINT:
    case WM_NCACTIVATE:  // default, then void OnNcPaint()
        return DefaultThen(msg, wParam, lParam, [&] { OnNcPaint(); });
    case WM_ERASEBKGND:  // default, then void OnEraseBackground(HDC dc)
        return DefaultThen(msg, wParam, lParam, [&] { OnEraseBackground(reinterpret_cast<HDC>(wParam)); });
    case WM_PAINT:  // bool OnPaintIconic(); false: the dialog's painting
        if (OnPaintIconic())
            return 0;
        break;
    case WM_QUERYDRAGICON:  // HICON WindowIcon()
        return reinterpret_cast<LRESULT>(WindowIcon());
    case WM_MEASUREITEM:  // bool OnMeasureItem(MEASUREITEMSTRUCT* item); false: the default
        if (OnMeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)))
            return TRUE;
        break;
    case WM_DRAWITEM:  // bool OnDrawItem(const DRAWITEMSTRUCT* item); false: the default
        if (OnDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)))
            return TRUE;
        break;
    case kTrayCallbackMessage:  // void OnTrayNotify(WPARAM icon, UINT mouseMessage)
        OnTrayNotify(wParam, static_cast<UINT>(lParam));
        return 0;
    case kNotifierClickedMessage:  // void OnNotifierClicked()
        OnNotifierClicked();
        return 0;
    case WM_POWERBROADCAST:  // default, then void OnPowerBroadcast(WPARAM event, LPARAM data)
        return DefaultThen(msg, wParam, lParam, [&] { OnPowerBroadcast(wParam, lParam); });
    case WM_DEVICECHANGE:  // default, then void OnDeviceChange(WPARAM event, LPARAM data)
        return DefaultThen(msg, wParam, lParam, [&] { OnDeviceChange(wParam, lParam); });
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}

bool CNurelMainWindow::PreTranslateMessage(MSG* msg)
{
    // Alt+letter for the menu band, whichever control has the focus: the
    // system's default sends that control's SC_KEYMENU to a menu bar the
    // window does not have (under Wine without asking this window).
    if (msg->message == WM_SYSCHAR && (msg->lParam & kAltDownBit) != 0 &&
        frame_.OnKeyMenu(static_cast<wchar_t>(msg->wParam)))
        return true;
    if (msg->message == WM_MOUSEMOVE) {
        // The shared tooltip of the skin buttons sees every mouse move once
        // it is made, with the window up.
        if (HWND tooltip = frame_.ExistingTooltip())
            ::SendMessageW(tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
    } else if (msg->hwnd != hwnd_ && registry_ != nullptr) {
        // Plugin dialogs get their keyboard navigation, services bound to a
        // window their messages.
        if (registry_->DispatchServiceMessage(msg) != 0)
            return true;
    }
    return CDialog::PreTranslateMessage(msg);
}

bool CNurelMainWindow::ContinueModal()
{
    // The window is up and painted: the windows that do not show at start,
    // and the plugins' work that can wait for it, come with kWindowUpTimer.
    if (!firstIdleSeen_) {
        firstIdleSeen_ = true;
        MarkStartupStep("first idle: shown and painted");
        SetTimer(kWindowUpTimer, kWindowUpDelayMs);
    }
    if (HWND statusBar = ::GetDlgItem(hwnd_, kStatusBarId))
        ::SendMessageW(statusBar, kIdleUpdateCmdUIMessage, TRUE, 0);
    return CDialog::ContinueModal();
}

LRESULT CNurelMainWindow::OnSysCommand(UINT command, LPARAM lParam)
{
    const UINT id = command & 0xFFF0;
    if (id == SC_CLOSE && !ConfirmExit())
        return 0;
    // A shaped window's menu bar is the menu band: Alt, F10 and Alt+letter
    // reach it as they reach a system menu bar.
    if (id == SC_KEYMENU && frame_.OnKeyMenu(static_cast<wchar_t>(lParam)))
        return 0;
    // SC_CLOSE's default sends WM_CLOSE, which ends the modal loop.
    const LRESULT result = DefaultProc(WM_SYSCOMMAND, command, lParam);
    switch (id) {
    case SC_MINIMIZE:
        HideToTray();
        break;
    case SC_MAXIMIZE:
        SwitchToMaxMode();
        break;
    case SC_RESTORE:
        if (frame_.FloatDialog().IsWindow())
            frame_.FloatDialog().Hide();
        SwitchToNormalMode();
        break;
    default:
        break;
    }
    return result;
}

void CNurelMainWindow::HideToTray()
{
    Hide();
    inTray_ = true;
    frame_.TrayIcon().Show();
    // With the tray menu's floating-window item checked the floating dialog
    // stands in for the hidden window.
    if (frame_.Tray().DropZoneChecked() && frame_.FloatDialog().IsWindow())
        frame_.FloatDialog().Show(SW_SHOWNOACTIVATE);
}

void CNurelMainWindow::ShowFromTray()
{
    ::SetForegroundWindow(hwnd_);
    Show(SW_SHOW);
    Send(WM_SYSCOMMAND, SC_RESTORE, 0);
    inTray_ = false;
}

void CNurelMainWindow::OnTrayNotify(WPARAM icon, UINT mouseMessage)
{
    // A double click brings the window back, which is also what
    // "manager/PopupTray", "manager/ShowMainWindow" and a second instance ask
    // for: the tray icon does it and leaves the tray. Without a tray icon
    // (none could be registered) the window still comes back.
    if (icon != kTrayIconId)
        return;  // another icon's
    CTrayIcon& trayIcon = frame_.TrayIcon();
    if (!trayIcon.Added()) {
        if (mouseMessage == WM_LBUTTONDBLCLK)
            ShowFromTray();
        else if (mouseMessage == WM_RBUTTONUP)
            ::SetForegroundWindow(hwnd_);  // as the icon does: the menu closes on a click elsewhere
    } else {
        trayIcon.OnTrayNotification(icon, mouseMessage);
        if (mouseMessage == WM_LBUTTONDBLCLK)
            inTray_ = false;
    }
    // The right button (also the floating window's, which is the way to the
    // tray menu when no tray icon could be registered): the tray menu; once
    // it closes the floating window shows when its item is checked and the
    // main window is hidden, whatever the chosen item did to the window.
    if (mouseMessage == WM_RBUTTONUP) {
        const std::optional<bool> showFloat = frame_.Tray().PopupFromTray(hwnd_, [this] { return IsVisible(); });
        if (showFloat && frame_.FloatDialog().IsWindow())
            frame_.FloatDialog().Show(*showFloat ? SW_SHOWNOACTIVATE : SW_HIDE);
    }
}

void CNurelMainWindow::OnTaskbarCreated()
{
    frame_.TrayIcon().OnTaskbarCreated();
}

void CNurelMainWindow::OnPowerBroadcast(WPARAM event, LPARAM data)
{
    ForwardPowerEvent(event, data);
}

void CNurelMainWindow::OnDeviceChange(WPARAM event, LPARAM data)
{
    if (event != DBT_DEVICEARRIVAL)
        return;
    // Restarted at each arrival; the count goes on (WarningSweep).
    SetTimer(kWarningSweepTimer, kWarningSweepPeriodMs);
    AnnounceDeviceArrival(registry_, data);
}

bool CNurelMainWindow::ToggleDropZone()
{
    const std::optional<bool> show = frame_.Tray().ToggleDropZone();
    if (!show)
        return false;
    if (frame_.FloatDialog().IsWindow())
        frame_.FloatDialog().Show(*show ? SW_SHOWNOACTIVATE : SW_HIDE);
    return true;
}

void CNurelMainWindow::OnNotifierClicked()
{
    // The user answers the notification: it goes, and the window comes
    // forward, out of the tray if need be.
    frame_.Notifier().Hide();
    if (IsVisible())
        ::SetForegroundWindow(hwnd_);  // a restore would leave max mode
    else
        OnTrayNotify(kTrayIconId, WM_LBUTTONDBLCLK);  // as from the tray: the icon leaves it too
}

void CNurelMainWindow::OnClose()
{
    ExitOperation();
}

void CNurelMainWindow::OnDestroy()
{
    frame_.DestroyTooltip();
}

bool CNurelMainWindow::OnCommand(UINT id, UINT, HWND control)
{
    if (id >= kFirstSystemCommandId) {
        // Menu items and buttons that carry a system command.
        Send(WM_SYSCOMMAND, id, reinterpret_cast<LPARAM>(control));
        return true;
    }
    DispatchToolCommand(id);
    return false;  // and the dialog's own routing
}

void CNurelMainWindow::OnHelp()
{
    if (registry_ != nullptr)
        registry_->CallServiceByName(ManagerPluginInterface(), "manager/ShowHelpFile");
}

void CNurelMainWindow::OnTimer(UINT_PTR id)
{
    if (id == kWindowUpTimer) {
        KillTimer(kWindowUpTimer);
        frame_.MakeDeferredWindows();
        if (frame_.Context() != nullptr)
            frame_.Context()->Configure().Skin().SavePictures();  // only when one had to be decoded
        SaveDocuments();  // only when one had to be parsed
        TPostMessage(kPluginsLoadedMessage, kMainWindowUp, 0);
        MarkStartupStep("deferred windows");
        WriteStartupTimes();
    }
    if (id == kWarningSweepTimer && !warningSweep_.Tick())
        KillTimer(kWarningSweepTimer);
    if (id == kHoverTextTimer && frame_.Commands() != nullptr)
        frame_.Commands()->UpdateToolBarHint();
}

void CNurelMainWindow::OnSize(UINT, SIZE)
{
    frame_.LayOutBars();
}

void CNurelMainWindow::OnMenuSelect(UINT item, UINT, HMENU)
{
    if (CommandRegistry* commands = frame_.Commands())
        commands->ShowCommandText(item);
}

bool CNurelMainWindow::OnMeasureItem(MEASUREITEMSTRUCT* item)
{
    return CMenuEx::RouteMeasureItem(item);
}

bool CNurelMainWindow::OnDrawItem(const DRAWITEMSTRUCT* item)
{
    return CMenuEx::RouteDrawItem(item);
}

void CNurelMainWindow::OnGetMinMaxInfo(MINMAXINFO* info)
{
    FillMinMaxInfo(startupRect_, info);
}

void CNurelMainWindow::OnLButtonDown(UINT, POINT point)
{
    const FrameContext* context = frame_.Context();
    if (context == nullptr || !context->PixelCoordinates())
        return;
    // A shaped window has no caption: any point of it drags. The caption
    // press takes screen coordinates, so the client point is converted.
    POINT screen = point;
    ::ClientToScreen(hwnd_, &screen);
    Send(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(screen.x, screen.y));
}

void CNurelMainWindow::OnRButtonDown(UINT, POINT)
{
    const FrameContext* context = frame_.Context();
    if (context == nullptr || registry_ == nullptr)
        return;
    const char* service = context->RightButtonService();
    if (context->PixelCoordinates() && ::IsZoomed(hwnd_) && context->RegionFlag() && service[0] != 0)
        registry_->CallServiceByName(ManagerPluginInterface(), service);
}

bool CNurelMainWindow::OnNcLButtonDown(UINT hit, POINT screenPoint)
{
    FrameContext* context = frame_.Context();
    if (context == nullptr || (hit != HTMINBUTTON && hit != HTMAXBUTTON && hit != HTCLOSE))
        return false;
    return context->ClickTitleBar(screenPoint);
}

void CNurelMainWindow::OnNcMouseMove(UINT, POINT screenPoint)
{
    if (FrameContext* context = frame_.Context())
        context->DrawTitleBarHover(screenPoint);
}

void CNurelMainWindow::OnNcPaint()
{
    // Without a caption (a shaped window) the drawn title bar lies in the
    // client area, which the frame's painting leaves alone: the background's
    // painting draws it (OnEraseBackground). Drawn here as well, it was
    // drawn three times as the window first showed.
    if ((Style() & WS_CAPTION) == 0)
        return;
    if (FrameContext* context = frame_.Context())
        context->DrawTitleBar();
}

void CNurelMainWindow::OnEraseBackground(HDC dc)
{
    FrameContext* context = frame_.Context();
    if (context == nullptr || dc == nullptr)
        return;
    context->DrawBackground(dc);
    // A shaped window has no caption, so the drawn title bar lies over the
    // client area, where the background has just covered it. A transparent
    // child (a tool bar) asks for the background under it with a DC of its
    // own: the title bar, drawn on the window's own DC, was not covered then.
    if ((Style() & WS_CAPTION) == 0 && ::WindowFromDC(dc) == hwnd_)
        context->DrawTitleBar();
}

bool CNurelMainWindow::OnPaintIconic()
{
    if (!::IsIconic(hwnd_))
        return false;
    PaintDc dc(hwnd_);
    if (!dc)
        return true;
    Send(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.get()), 0);
    const POINT at = IconPosition(ClientRect(), ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON));
    if (HICON icon = WindowIcon())
        ::DrawIcon(dc.get(), at.x, at.y, icon);
    return true;
}

}  // namespace kivra
