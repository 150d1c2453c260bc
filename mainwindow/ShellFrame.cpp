#include "mainwindow/ShellFrame.h"

#include <algorithm>
#include <memory>

#include "config/SkinToolArea.h"
#include "controls/StatusBarEx.h"
#include "framework/ControlBars.h"
#include "framework/Text.h"
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

CShellFrame::CShellFrame() : commands_(&GetCommandRegistry()) {}

CShellFrame::~CShellFrame() = default;

void CShellFrame::DestroyCommands()
{
    menuBand_.reset();
    tray_.Attach(nullptr, -1);
    commands_ = nullptr;
    DestroyCommandRegistry();
}

void CShellFrame::SetUpMenus(FrameContext& frame)
{
    CConfigure& configure = frame.Configure();
    const TMenuServices services = {CServiceRegistry::ExistingRegistry(), ManagerPluginInterface()};
    HWND window = frame.MainWindowHandle();
    // A shaped window has no caption: the system's menu bar would sit under
    // the drawn title bar. Its menu bar is a band in the client area instead.
    const bool shaped = (WindowRef(window).Style() & WS_CAPTION) == 0;
    const TMenuSetUp menus = kivra::SetUpMenus(window, configure.Skin(), configure.Language(), *commands_, services,
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
    CommandRegistry& commands = *commands_;
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
    if (frame.TitleBar().drawn && (WindowRef(window).Style() & WS_CAPTION) == 0) {
        // The title bar is drawn in window coordinates over the client area.
        frame.LayoutTitleBar();
        POINT client = {0, 0};
        ::ClientToScreen(window, &client);
        const int below = frame.TitleBar().layout.bar.bottom - (client.y - frame.WindowRect().top);
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
    kivra::BuildToolArea(frame.MainWindowHandle(), configure.Skin(), configure.Language(), *commands_);
}

int CShellFrame::CreateStatusBar(FrameContext& frame, const std::vector<TStatusItem>& items, bool show)
{
    if (items.empty())
        return 0;
    std::vector<UINT> ids;
    for (const TStatusItem& item : items)
        ids.push_back(StatusPaneCommandId(*commands_, item));

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
    commands_->SetStatusBar(std::move(bar));
    return pane.bottom - pane.top + ::GetSystemMetrics(SM_CYFRAME);
}

unsigned CShellFrame::CommandIdForName(const char* name)
{
    const int id = commands_->FindIdByName(name);
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

void CShellFrame::PlaceButtons(FrameContext& frame)
{
    kivra::PlaceButtons(buttons_, ButtonHost(frame));
}

void CShellFrame::CreatePanelsButtonsAndStartService(FrameContext& frame, CServiceRegistry& registry)
{
    CConfigure& configure = frame.Configure();
    TPanelState& panels = frame.Panels();
    panels.sameSize = configure.MainFrame().pluginWindowSameSize;
    panels.fitSizeToPlugin = configure.MainFrame().fitSizeToPlugin;
    CPluginInterface* manager = ManagerPluginInterface();
    CollectPluginPanels(registry, manager, PanelServiceHandler, panels, frame.Normal().panelRect);

    CreateSkinButtons(configure, *commands_, buttons_, ButtonHost(frame));

    char start[KIVRA_NAME_SIZE];
    if (ReadStartService(configure.Skin().Document(), start))
        registry.CallServiceByName(manager, start);
    FetchMaxPanel(manager, frame.GetMaxPanelService(), panels, frame.MaxPanelRect());
}

int __cdecl CShellFrame::PanelServiceHandler(TService* service, TParam*)
{
    FrameContext* frame = ExistingFrameContext();
    if (service == nullptr || frame == nullptr)
        return 0;
    const TPanelHost host = {frame->MainWindowHandle(), frame->StatusBarHeight(), frame->Normal().size};
    if (!ShowPanel(frame->Panels(), service->szName, host))
        return 0;
    HoldToolButtonsOf(GetCommandRegistry(), service->szName);
    return 1;
}

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

bool CShellFrame::ModifyButton(FrameContext& frame, const TButtonChange& change)
{
    CSkin& skin = frame.Configure().Skin();
    const ImageLoader load = [&skin](const wchar_t* file) {
        SharedBitmap bitmap;
        skin.LoadSkinImage(file, &bitmap);
        return bitmap;
    };
    return ApplyButtonChange(buttons_, change, load, frame.Tooltip());
}

}  // namespace kivra
