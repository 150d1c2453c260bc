#include "mainwindow/CommandRegistry.h"

#include <commctrl.h>

#include <cstring>

#include "controls/MenuEx.h"
#include "controls/StatusBarEx.h"
#include "controls/ToolBarEx.h"
#include "framework/Text.h"
#include "plugin/ManagerPlugin.h"
#include "plugin/ServiceRegistry.h"

namespace kivra {

namespace {

char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether a name field holds text (it may not be terminated within its 64 bytes).
bool HasText(const char* text)
{
    return text != nullptr && text[0] != 0;
}

void EnableInMenu(HMENU menu, unsigned id, bool enable, int depth)
{
    // Skin menus are flat; the depth bound keeps a menu that contains itself harmless.
    if (menu == nullptr || depth > 8)
        return;
    ::EnableMenuItem(menu, id, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
    for (int position = 0;; ++position) {
        HMENU sub = ::GetSubMenu(menu, position);
        if (sub == nullptr)
            break;
        EnableInMenu(sub, id, enable, depth + 1);
    }
}

}  // namespace

bool LessIgnoringAsciiCase::operator()(const std::string& a, const std::string& b) const
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const char x = AsciiLower(a[i]);
        const char y = AsciiLower(b[i]);
        if (x != y)
            return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    }
    return a.size() < b.size();
}

CommandRegistry::CommandRegistry()
    : callService_([](const char* paths) {
          CServiceRegistry* registry = CServiceRegistry::ExistingRegistry();
          return registry != nullptr ? registry->CallServiceByName(ManagerPluginInterface(), paths) : 0;
      })
{
}

// The status bar and the tool bars go first, then the menus.
CommandRegistry::~CommandRegistry() = default;

unsigned CommandRegistry::AllocateId()
{
    // An id the skin gave a command itself is not handed out a second time.
    while (!IsCommandId(nextId_) || commands_.count(nextId_) != 0)
        ++nextId_;
    return nextId_++;
}

void CommandRegistry::Register(const char* name, unsigned id, const char* service, const wchar_t* tooltip,
                               TCommandFunction callback)
{
    if (!IsCommandId(id))
        return;
    CommandEntry& entry = commands_[id];
    entry.callback = callback;
    if (service != nullptr)
        CopyText(entry.service, service);
    if (HasText(name)) {
        char oldName[KIVRA_NAME_SIZE];
        CopyText(oldName, entry.name);
        CopyText(entry.name, name);
        IndexName(id, oldName, entry.name);
    }
    if (tooltip != nullptr)
        CopyText(entry.tooltip, tooltip);
}

void CommandRegistry::IndexName(unsigned id, const char* oldName, const char* newName)
{
    if (oldName[0] != 0 && std::strcmp(oldName, newName) != 0) {
        const auto old = firstIdOfName_.find(oldName);
        if (old != firstIdOfName_.end() && old->second == id) {
            // Renamed from a name it was the first of: rare, so a scan.
            old->second = 0;
            for (const auto& [other, entry] : commands_)
                if (std::strcmp(entry.name, oldName) == 0) {
                    old->second = other;
                    break;
                }
            if (old->second == 0)
                firstIdOfName_.erase(old);
        }
    }
    const auto [found, added] = firstIdOfName_.try_emplace(newName, id);
    if (!added && id < found->second)
        found->second = id;
}

int CommandRegistry::FindIdByName(const char* name) const
{
    if (name == nullptr)
        return -1;
    if (name[0] == 0) {
        // Entries without a name are not in the index.
        for (const auto& [id, entry] : commands_)
            if (entry.name[0] == 0)
                return static_cast<int>(id);
        return -1;
    }
    // A name too long for an entry names none.
    const auto found = firstIdOfName_.find(std::string(name, strnlen(name, KIVRA_NAME_SIZE)));
    return found != firstIdOfName_.end() ? static_cast<int>(found->second) : -1;
}

const CommandEntry* CommandRegistry::Find(unsigned id) const
{
    const auto found = commands_.find(id);
    return found == commands_.end() ? nullptr : &found->second;
}

bool CommandRegistry::Execute(unsigned id)
{
    const auto found = commands_.find(id);
    if (found == commands_.end())
        return false;
    // Copies: the callback or the service may register commands anew.
    const TCommandFunction callback = found->second.callback;
    char service[KIVRA_NAME_SIZE];
    CopyText(service, found->second.service);
    if (callback != nullptr)
        callback();
    if (service[0] != 0 && callService_)
        callService_(service);
    return true;
}

void CommandRegistry::Enable(unsigned id, bool enable)
{
    if (!IsCommandId(id))
        return;
    for (const auto& bar : toolBars_)
        bar->EnableButton(id, enable);
    for (const auto& [name, menu] : menus_)
        EnableInMenu(menu->Handle(), id, enable, 0);
}

void CommandRegistry::Check(bool checked, unsigned id)
{
    if (!IsCommandId(id))
        return;
    for (const auto& [name, menu] : menus_)
        ::CheckMenuItem(menu->Handle(), id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool CommandRegistry::GetTooltip(unsigned id, std::wstring* tooltip) const
{
    const CommandEntry* entry = Find(id);
    if (tooltip != nullptr)
        *tooltip = entry != nullptr ? entry->tooltip : L"";
    return entry != nullptr;
}

CMenuEx* CommandRegistry::MenuByName(const char* name) const
{
    if (!HasText(name))
        return nullptr;
    const auto found = menus_.find(std::string(name, strnlen(name, KIVRA_NAME_SIZE)));
    return found == menus_.end() ? nullptr : found->second;
}

CMenuEx* CommandRegistry::RegisterMenu(const char* name, std::unique_ptr<CMenuEx> menu)
{
    if (!HasText(name) || !menu)
        return nullptr;
    CMenuEx* kept = KeepMenu(std::move(menu));
    menus_[std::string(name, strnlen(name, KIVRA_NAME_SIZE))] = kept;
    return kept;
}

CMenuEx* CommandRegistry::KeepMenu(std::unique_ptr<CMenuEx> menu)
{
    if (!menu)
        return nullptr;
    // A replaced menu stays alive: the menu bar or the tray may still show it.
    ownedMenus_.push_back(std::move(menu));
    return ownedMenus_.back().get();
}

CToolBarEx* CommandRegistry::AddToolBar(std::unique_ptr<CToolBarEx> bar)
{
    if (!bar)
        return nullptr;
    toolBars_.push_back(std::move(bar));
    return toolBars_.back().get();
}

void CommandRegistry::SetStatusBar(std::unique_ptr<CStatusBarEx> bar)
{
    statusBar_ = std::move(bar);
    lastShown_ = 0;
}

void CommandRegistry::ShowCommandText(unsigned id)
{
    if (!statusBar_)
        return;
    // Once the idle text has replaced a hint, the same command shows it again.
    if (id == lastShown_ && !statusBar_->ShowsIdleText())
        return;
    const int pane = statusBar_->CommandToIndex(0);
    const CommandEntry* entry = Find(id);
    if (pane < 0 || entry == nullptr)
        return;
    lastShown_ = id;
    statusBar_->SetPaneText(pane, entry->tooltip);
}

void CommandRegistry::UpdateToolBarHint()
{
    if (!statusBar_)
        return;
    for (const auto& bar : toolBars_) {
        const int hot = bar->HotId();
        if (hot >= 0) {
            ShowCommandText(static_cast<unsigned>(hot));
            statusBar_->SetHintShown(true);
            return;
        }
    }
    statusBar_->SetHintShown(false);
}

int CommandRegistry::SetPaneTextByName(const char* name, const wchar_t* text, HICON icon)
{
    const int id = FindIdByName(name);
    if (id == -1)
        return -1;
    return SetPaneTextById(static_cast<unsigned>(id), text, icon);
}

int CommandRegistry::SetPaneTextById(unsigned id, const wchar_t* text, HICON icon)
{
    if (!statusBar_)
        return -1;
    const int pane = statusBar_->CommandToIndex(id);
    if (pane < 0)
        return pane;
    if (text != nullptr && text[0] != 0) {
        wchar_t bounded[KIVRA_NAME_SIZE];
        CopyText(bounded, text);
        statusBar_->SetPaneText(pane, bounded);
    }
    return static_cast<int>(statusBar_->SetPaneIcon(pane, icon));
}

std::vector<unsigned> CommandRegistry::DropCallbacksRunningCodeIn(const TCodeRange& code)
{
    std::vector<unsigned> dropped;
    for (auto& [id, entry] : commands_)
        if (entry.callback != nullptr && code.Holds(reinterpret_cast<const void*>(entry.callback))) {
            entry.callback = nullptr;
            dropped.push_back(id);
        }
    return dropped;
}

}  // namespace kivra
