#include "mainwindow/ShellFrame.h"

#include <algorithm>
#include <memory>

#include "config/SkinToolArea.h"
#include "controls/StatusBarEx.h"
#include "framework/ControlBars.h"
#include "mainwindow/CommandIds.h"
#include "mainwindow/PluginPanels.h"
#include "mainwindow/SkinButtons.h"
#include "mainwindow/SkinMenus.h"
#include "mainwindow/ToolArea.h"
#include "plugin/ManagerPlugin.h"
#include "plugin/ServiceRegistry.h"

namespace kivra {

namespace {

// The menu band's control id: outside the control bars' range, which it
// stands above.
constexpr UINT kMenuBandId = 0xE7FF;

}  // namespace

CShellFrame::CShellFrame() : commands_(GetCommandRegistry()) {}

CShellFrame::~CShellFrame() = default;

void CShellFrame::SetUpMenus(FrameContext& frame)
{
    CConfigure& configure = frame.Configure();
    const TMenuServices services = {CServiceRegistry::ExistingRegistry(), ManagerPluginInterface()};
    HWND window = frame.MainWindowHandle();
    // A shaped window has no caption: the system's menu bar would sit under
    // the drawn title bar. Its menu bar is a band in the client area instead.
    const bool shaped = (WindowRef(window).Style() & WS_CAPTION) == 0;
    const TMenuSetUp menus = kivra::SetUpMenus(window, configure.Skin(), configure.Language(), commands_, services,
                                               frame.MenuBar(), !shaped);
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
    CommandRegistry& commands = commands_;
    menuBand_->SetChoiceHandler([&commands](const TPopupResult& chosen) {
        if (chosen.id != 0)
            commands.Check(chosen.checked, chosen.id);
    });
}

void CShellFrame::LayOutBars(FrameContext& frame)
{
    HWND window = frame.MainWindowHandle();
    RECT area = {};
    ::GetClientRect(window, &area);
    if (frame.SkinTitleBar() && (WindowRef(window).Style() & WS_CAPTION) == 0) {
        // The title bar is drawn in window coordinates over the client area.
        frame.LayoutTitleBar();
        POINT client = {0, 0};
        ::ClientToScreen(window, &client);
        const int below = frame.TitleBarLayout().bar.bottom - (client.y - frame.WindowRect().top);
        area.top = std::max<LONG>(area.top, below);
    }
    if (menuBand_) {
        const int height = menuBand_->Height();
        menuBand_->Move(area.left, area.top, area.right - area.left, height);
        area.top += height;
    }
    RepositionBars(window, area, kFirstControlBarId, kLastControlBarId);
}

void CShellFrame::BuildToolArea(FrameContext& frame)
{
    CConfigure& configure = frame.Configure();
    kivra::BuildToolArea(frame.MainWindowHandle(), configure.Skin(), configure.Language(), commands_);
}

int CShellFrame::CreateStatusBar(FrameContext& frame, const std::vector<TStatusItem>& items, bool show)
{
    if (items.empty())
        return 0;
    std::vector<UINT> ids;
    for (const TStatusItem& item : items)
        ids.push_back(StatusPaneCommandId(commands_, item));

    wchar_t idleText[kIdleTextUnits];
    frame.Configure().Language().Translate(kIdleTextId, idleText);
    auto bar = std::make_unique<CStatusBarEx>(idleText);
    if (!bar->Create(frame.MainWindowHandle(), kStatusBarId))
        return 0;
    bar->SetPanes(ids);
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].width != 0)
            bar->SetPaneWidth(static_cast<int>(i), items[i].width);
    if (!show)
        bar->Hide();
    const RECT pane = bar->PaneRect(0);
    commands_.SetStatusBar(std::move(bar));
    return pane.bottom - pane.top + ::GetSystemMetrics(SM_CYFRAME);
}

unsigned CShellFrame::CommandIdForName(const char* name)
{
    const int id = commands_.FindIdByName(name);
    return id > 0 ? static_cast<unsigned>(id) : 0;
}

TButtonHost CShellFrame::ButtonHost(FrameContext& frame)
{
    TButtonHost host;
    host.window = frame.MainWindowHandle();
    host.tooltip = frame.Tooltip();
    host.convertDialogUnits = [&frame](RECT* rect) { frame.ConvertDialogUnits(rect); };
    host.resolve = [&frame](const RECT& rect) { return frame.ResolveRect(rect); };
    host.ownerIsBound = [](const char* owner) {
        CServiceRegistry* registry = CServiceRegistry::ExistingRegistry();
        PluginInfo info{};
        CopyText(info.szName, owner);
        return registry != nullptr && registry->QueryPluginInfo(&info);
    };
    return host;
}

void CShellFrame::PlaceSystemButtons(FrameContext& frame)
{
    kivra::PlaceSystemButtons(buttons_, ButtonHost(frame));
}

void CShellFrame::CreatePanelsButtonsAndStartService(FrameContext& frame, CServiceRegistry& registry)
{
    CConfigure& configure = frame.Configure();
    TPanelState& panels = frame.Panels();
    panels.sameSize = configure.MainFrame().pluginWindowSameSize;
    panels.fitSizeToPlugin = configure.MainFrame().fitSizeToPlugin;
    CPluginInterface* manager = ManagerPluginInterface();
    CollectPluginPanels(registry, manager, PanelServiceHandler, panels, frame.PanelRect());

    CreateSkinButtons(configure, commands_, buttons_, ButtonHost(frame));

    char start[KIVRA_NAME_SIZE];
    if (ReadStartService(configure.Skin().Document(), start))
        registry.CallServiceByName(start);
    FetchMaxPanel(manager, frame.GetMaxPanelService(), panels, frame.MaxPanelRect());
}

int __cdecl CShellFrame::PanelServiceHandler(TService* service, TParam*)
{
    FrameContext* frame = ExistingFrameContext();
    if (service == nullptr || frame == nullptr)
        return 0;
    const TPanelHost host = {frame->MainWindowHandle(), frame->StatusBarHeight(), frame->NormalSize()};
    if (!ShowPanel(frame->Panels(), service->szName, host))
        return 0;
    HoldToolButtonsOf(GetCommandRegistry(), service->szName);
    return 1;
}

}  // namespace kivra
