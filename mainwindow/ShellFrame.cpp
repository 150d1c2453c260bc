#include "mainwindow/ShellFrame.h"

#include <commctrl.h>

#include <algorithm>
#include <memory>

#include "config/Configure.h"
#include "config/SkinFrame.h"
#include "config/SkinWindows.h"
#include "controls/MenuEx.h"
#include "controls/StatusBarEx.h"
#include "framework/ControlBars.h"
#include "framework/Text.h"
#include "framework/WindowRef.h"
#include "mainwindow/CommandIds.h"
#include "mainwindow/PluginPanels.h"
#include "mainwindow/SkinMenus.h"
#include "mainwindow/ToolArea.h"
#include "plugin/ManagerPlugin.h"
#include "plugin/ServiceRegistry.h"

namespace kivra {

namespace {

// The menu band's control id: outside the control bars' range, which it
// stands above.
constexpr UINT kMenuBandId = 0xE7FF;
// The tooltip's delay before it shows.
constexpr int kTooltipInitialDelayMs = 100;

}  // namespace

CShellFrame::CShellFrame() : commands_(std::make_unique<CommandRegistry>()) {}

CShellFrame::~CShellFrame() = default;

// ---------------------------------------------------------------------------
// The skin state

bool CShellFrame::MakeContext()
{
    if (context_)
        return true;
    CConfigure* configure = GetConfigure();
    if (configure == nullptr)
        return false;
    context_ = std::make_unique<FrameContext>(*configure);
    return true;
}

void CShellFrame::ReleaseContext(HWND window)
{
    // The menu bar goes with the frame context: the window lets go of it first.
    if (window != nullptr && ::IsWindow(window))
        ::SetMenu(window, nullptr);
    context_.reset();
    DestroyConfigure();
}

// ---------------------------------------------------------------------------
// Start-up steps

void CShellFrame::MakeDeferredWindows()
{
    Notifier();
    FloatDialog();
    Tooltip();
}

CTaskbarNotifier& CShellFrame::Notifier()
{
    if (notifierClickTarget_ == nullptr || notifier_.IsWindow())
        return notifier_;
    const HWND clickTarget = notifierClickTarget_;
    notifierClickTarget_ = nullptr;  // tried once
    // Owned by the desktop, as every notification is; its clicks go to the
    // click target, where somebody listens.
    if (!notifier_.Create(::GetDesktopWindow()))
        return notifier_;
    notifier_.SetClickTarget(clickTarget);
    if (!context_)
        return notifier_;
    const TNotifierSkin& skin = context_->NotifierSkin();
    const COLORREF mask = context_->Configure().MainFrame().maskColor;
    notifier_.SetSkin(skin.image.get(), GetRValue(mask), GetGValue(mask), GetBValue(mask));
    if (skin.hasTextRect)
        notifier_.SetTextRect(skin.textRect);
    return notifier_;
}

void CShellFrame::PrepareTooltip(HWND owner, int autoPopDelay)
{
    tooltipOwner_ = owner;
    tooltipAutoPopDelay_ = autoPopDelay;
}

HWND CShellFrame::Tooltip()
{
    if (tooltip_ || tooltipOwner_ == nullptr)
        return tooltip_.get();
    tooltip_.reset(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, tooltipOwner_,
                                     nullptr, ::GetModuleHandleW(nullptr), nullptr));
    HWND tooltip = tooltip_.get();
    if (tooltip == nullptr) {
        tooltipOwner_ = nullptr;  // tried once
        return nullptr;
    }
    ::SendMessageW(tooltip, TTM_ACTIVATE, TRUE, 0);
    ::SendMessageW(tooltip, TTM_SETDELAYTIME, TTDT_AUTOMATIC, MAKELPARAM(kTooltipInitialDelayMs, 0));
    ::SendMessageW(tooltip, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(tooltipAutoPopDelay_, 0));
    AddButtonTooltips(buttons_, tooltip);
    return tooltip;
}

CFloatDlg& CShellFrame::FloatDialog()
{
    if (floatMainWindow_ == nullptr || floatDlg_.IsWindow())
        return floatDlg_;
    floatDlg_.SetMainWindow(floatMainWindow_);
    floatMainWindow_ = nullptr;  // tried once
    if (!floatDlg_.Create(::GetDesktopWindow()))
        return floatDlg_;
    floatDlg_.Hide();
    if (!context_)
        return floatDlg_;
    // Without the skin's section both opacities are 0 and the window is
    // fully transparent.
    TFloatDlgSkin skin;
    ReadFloatDlgSkin(context_->Configure().Skin(), &skin);
    floatDlg_.SetBackgroundImage(skin.backgroundImagePath);
    floatDlg_.SetNormalOpacity(skin.normalOpacity);
    floatDlg_.SetHoverOpacity(skin.hoverOpacity);
    return floatDlg_;
}

int CShellFrame::SetUpFrame(HWND window, const TShownIcon& shownIcon)
{
    FrameContext& context = *context_;
    context.SetUpWindow(window, shownIcon);
    SetUpMenus();
    context.ReadTitleBarSkin();
    BuildToolArea();
    context.SetStatusBarHeight(CreateStatusBar());
    // The commands the menus, tool items and panes registered reach the
    // accelerators written with a command name.
    context.ReadAcceleratorTable([this](const char* name) { return CommandIdForName(name); });
    LayOutBars();
    return 1;
}

void CShellFrame::SetUpMenus()
{
    CConfigure& configure = context_->Configure();
    const TMenuServices services = {CServiceRegistry::ExistingRegistry(), ManagerPluginInterface()};
    HWND window = context_->MainWindowHandle();
    // A shaped window has no caption: the system's menu bar would sit under
    // the drawn title bar. Its menu bar is a band in the client area instead.
    const bool shaped = (WindowRef(window).Style() & WS_CAPTION) == 0;
    const TMenuSetUp menus = kivra::SetUpMenus(window, configure.Skin(), configure.Language(), *commands_, services,
                                               context_->MenuBar(), !shaped);
    tray_.Attach(menus.trayMenu, menus.dropZoneItemId);
    menuBand_.reset();
    if (!shaped || menus.menuBar.empty())
        return;
    menuBand_ = std::make_unique<CMenuBand>();
    if (!menuBand_->Create(window, kMenuBandId)) {
        menuBand_.reset();
        return;
    }
    for (const TMenuBarEntry& entry : menus.menuBar)
        menuBand_->AddMenu(entry.label, entry.menu);
    CommandRegistry& commands = *commands_;
    menuBand_->SetChoiceHandler([&commands](const TPopupResult& chosen) {
        if (chosen.id != 0)
            commands.Check(chosen.checked, chosen.id);
    });
}

void CShellFrame::BuildToolArea()
{
    CConfigure& configure = context_->Configure();
    kivra::BuildToolArea(context_->MainWindowHandle(), configure.Skin(), configure.Language(), *commands_);
}

int CShellFrame::CreateStatusBar()
{
    CConfigure& configure = context_->Configure();
    CXmlDocument& document = configure.Skin().Document();
    bool show = false;
    std::vector<TStatusItem> items;
    if (ReadStatusBar(document, &show))
        ReadStatusItems(document, &items);
    if (items.empty())
        return 0;
    std::vector<UINT> ids;
    for (const TStatusItem& item : items)
        ids.push_back(StatusPaneCommandId(*commands_, item));

    wchar_t idleText[kIdleTextUnits];
    configure.Language().Translate(kIdleTextId, idleText);
    auto bar = std::make_unique<CStatusBarEx>(idleText);
    if (!bar->Create(context_->MainWindowHandle(), kStatusBarId))
        return 0;
    bar->SetPanes(ids);
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].width != 0)
            bar->SetPaneWidth(static_cast<int>(i), items[i].width);
    if (!show)
        bar->Hide();
    const RECT pane = bar->PaneRect(0);
    commands_->SetStatusBar(std::move(bar));
    return pane.bottom - pane.top + ::GetSystemMetrics(SM_CYFRAME);
}

unsigned CShellFrame::CommandIdForName(const char* name) const
{
    const int id = commands_->FindIdByName(name);
    return id > 0 ? static_cast<unsigned>(id) : 0;
}

void CShellFrame::CreatePanelsButtonsAndStartService(CServiceRegistry& registry)
{
    CConfigure& configure = context_->Configure();
    TPanelState& panels = context_->Panels();
    panels.sameSize = configure.MainFrame().pluginWindowSameSize;
    panels.fitSizeToPlugin = configure.MainFrame().fitSizeToPlugin;
    CPluginInterface* manager = ManagerPluginInterface();
    CollectPluginPanels(registry, manager, PanelServiceHandler, panels, context_->Normal().panelRect);

    CreateSkinButtons(configure, *commands_, buttons_, ButtonHost());

    char start[KIVRA_NAME_SIZE];
    if (ReadStartService(configure.Skin().Document(), start))
        registry.CallServiceByName(manager, start);
    FetchMaxPanel(manager, context_->GetMaxPanelService(), panels, context_->MaxPanelRect());
}

void CShellFrame::AddTrayIcon(const wchar_t* tip, HWND window, HICON icon)
{
    // Registered now, shown only while the window is hidden to the tray. Its
    // right click pops up the skin's tray menu (none: the click does nothing).
    trayIcon_.SetMenu(tray_.Handle());
    trayIcon_.Register(tip, window, icon);
}

// ---------------------------------------------------------------------------
// Running

void CShellFrame::LayOutBars()
{
    if (!context_)
        return;
    HWND window = context_->MainWindowHandle();
    RECT area = {};
    ::GetClientRect(window, &area);
    if (context_->TitleBar().drawn && (WindowRef(window).Style() & WS_CAPTION) == 0) {
        // The title bar is drawn in window coordinates over the client area.
        context_->LayoutTitleBar();
        POINT client = {0, 0};
        ::ClientToScreen(window, &client);
        const int below = context_->TitleBar().layout.bar.bottom - (client.y - context_->WindowRect().top);
        area.top = std::max<LONG>(area.top, below);
    }
    if (menuBand_) {
        const int height = menuBand_->Height();
        menuBand_->Move(area.left, area.top, area.right - area.left, height);
        area.top += height;
    }
    RepositionBars(window, area, kFirstControlBarId, kLastControlBarId);
}

bool CShellFrame::SwitchToMaxMode()
{
    if (!context_ || !context_->SwitchToMaxMode())
        return false;
    PlaceButtons();
    return true;
}

bool CShellFrame::SwitchToNormalMode()
{
    if (!context_ || !context_->SwitchToNormalMode())
        return false;
    PlaceButtons();
    return true;
}

TButtonHost CShellFrame::ButtonHost()
{
    TButtonHost host;
    FrameContext* context = context_.get();
    host.window = context->MainWindowHandle();
    host.tooltip = tooltip_.get();  // none yet: the buttons' tips go in when it is made
    host.convertDialogUnits = [context](RECT* rect) { context->ConvertDialogUnits(rect); };
    host.resolve = [context](const RECT& rect) { return context->ResolveRect(rect); };
    host.ownerIsBound = [](const char* owner) {
        CServiceRegistry* registry = CServiceRegistry::ExistingRegistry();
        PluginInfo info{};
        CopyText(info.szName, owner);
        return registry != nullptr && registry->QueryPluginInfo(&info);
    };
    return host;
}

void CShellFrame::PlaceButtons()
{
    kivra::PlaceButtons(buttons_, ButtonHost());
}

bool CShellFrame::ShowPluginPanel(const std::string& showService)
{
    if (!context_)
        return false;
    const TPanelHost host = {context_->MainWindowHandle(), context_->StatusBarHeight(), context_->Normal().size};
    if (!ShowPanel(context_->Panels(), showService.c_str(), host))
        return false;
    if (commands_)
        HoldToolButtonsOf(*commands_, showService.c_str());
    return true;
}

bool CShellFrame::PopUpSkinMenu(const std::string& name)
{
    if (!commands_)
        return false;
    CMenuEx* menu = commands_->MenuByName(name.c_str());
    if (menu == nullptr)
        return false;
    const TPopupResult chosen = menu->PopupAtCursor(menu->Owner());
    // The chosen command ran inside the popup: the commands are asked again.
    if (chosen.id != 0 && commands_)
        commands_->Check(chosen.checked, chosen.id);
    return true;
}

// ---------------------------------------------------------------------------
// Shutdown steps

void CShellFrame::DestroyAuxiliaryWindows()
{
    settings_.Destroy();
    floatMainWindow_ = notifierClickTarget_ = nullptr;  // not made any more
    if (floatDlg_.IsWindow())
        floatDlg_.Destroy();
    if (notifier_.IsWindow())
        notifier_.Destroy();
}

void CShellFrame::DestroyCommands()
{
    menuBand_.reset();
    tray_.Attach(nullptr, -1);
    commands_.reset();
}

// ---------------------------------------------------------------------------
// The manager services

bool CShellFrame::ShowStatusPane(const TStatusPaneRequest& pane)
{
    if (commands_ == nullptr)
        return false;
    const int answer = !pane.commandName.empty()
                           ? commands_->SetPaneTextByName(pane.commandName.c_str(), pane.text.c_str(), pane.icon)
                           : commands_->SetPaneTextById(pane.paneId, pane.text.c_str(), pane.icon);
    return answer >= 0;
}

bool CShellFrame::EnableCommandItem(const TCommandRequest& item)
{
    if (commands_ == nullptr)
        return false;
    const char* name = item.name.c_str();
    if (IsCommandId(item.id)) {
        // Enabling a command keeps what it runs unless the record says anew.
        const CommandEntry* entry = commands_->Find(item.id);
        const TCommandFunction callback =
            item.callback != nullptr ? item.callback : entry != nullptr ? entry->callback : nullptr;
        commands_->Register(name, item.id, !item.service.empty() ? item.service.c_str() : nullptr, nullptr,
                            callback);
    }
    const int id = !item.name.empty() ? commands_->FindIdByName(name) : static_cast<int>(item.id);
    if (!IsCommandId(static_cast<unsigned>(id)))
        return false;
    commands_->Enable(static_cast<unsigned>(id), item.enable);
    return true;
}

bool CShellFrame::RegisterCommandFunction(const TCommandRequest& item)
{
    if (commands_ == nullptr)
        return false;
    unsigned id = item.id;
    if (!IsCommandId(id) && !item.name.empty())
        id = static_cast<unsigned>(commands_->FindIdByName(item.name.c_str()));
    if (!IsCommandId(id))
        return false;
    commands_->Register(item.name.c_str(), id, item.service.c_str(), nullptr, item.callback);
    return true;
}

bool CShellFrame::SetMenuCheck(const TMenuCheckRequest& check)
{
    if (commands_ == nullptr)
        return false;
    const wchar_t* text = check.itemText.c_str();
    CMenuEx* menu = commands_->MenuByName(check.menuName.c_str());
    if (menu == nullptr)
        return false;
    int position = check.position;
    if (check.commandId != 0)
        position = menu->FindItemById(check.commandId);
    else if (text[0] != 0 && menu->FindItemByText(text) >= 0)
        position = menu->FindItemByText(text);
    if (position < 0 || position >= menu->ItemCount())
        return false;
    menu->CheckItem(text, check.commandId, check.position, check.check);
    return true;
}

bool CShellFrame::ModifyButton(const TButtonChange& change)
{
    if (!context_)
        return false;
    CSkin& skin = context_->Configure().Skin();
    const ImageLoader load = [&skin](const wchar_t* file) {
        SharedBitmap bitmap;
        skin.LoadSkinImage(file, &bitmap);
        return bitmap;
    };
    return ApplyButtonChange(buttons_, change, load, tooltip_.get());  // the entry keeps the tip for a later one
}

}  // namespace kivra
