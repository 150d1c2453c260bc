#include "mainwindow/CommandIds.h"

#include <cstring>

#include "framework/Text.h"
#include "mainwindow/ButtonRegistry.h"

namespace kivra {

namespace {

// The command named name, 0 when there is none (or no name).
unsigned IdOfName(const CommandRegistry& commands, const char* name)
{
    if (name == nullptr || name[0] == 0)
        return 0;
    const int id = commands.FindIdByName(name);
    return id > 0 ? static_cast<unsigned>(id) : 0;
}

}  // namespace

unsigned MenuItemCommandId(CommandRegistry& commands, const TMenuItemSkin& item, const wchar_t* tooltip)
{
    if (item.cmdid != 0 || item.name[0] == 0 || item.string[0] == 0)
        return item.cmdid;
    char name[KIVRA_NAME_SIZE];
    NarrowName(name, item.name);
    unsigned id = IdOfName(commands, name);
    if (id == 0) {
        id = commands.AllocateId();
        commands.Register(name, id, item.service, tooltip, nullptr);
    }
    return id;
}

unsigned ToolItemCommandId(CommandRegistry& commands, const TToolItem& item, const wchar_t* tooltip)
{
    char name[KIVRA_NAME_SIZE];
    NarrowName(name, item.name);
    if (item.cmdid != 0) {
        if (commands.Find(item.cmdid) == nullptr)
            commands.Register(name, item.cmdid, item.service, tooltip, nullptr);
        return item.cmdid;
    }
    unsigned id = IdOfName(commands, name);
    if (id == 0 && item.service[0] != 0) {
        id = commands.AllocateId();
        commands.Register(name, id, item.service, tooltip, nullptr);
    }
    return id;
}

unsigned StatusPaneCommandId(CommandRegistry& commands, const TStatusItem& item)
{
    if (item.cmdid != 0 || item.name[0] == 0)
        return item.cmdid;
    unsigned id = IdOfName(commands, item.name);
    if (id == 0) {
        id = commands.AllocateId();
        commands.Register(item.name, id, nullptr, nullptr, nullptr);
    }
    return id;
}

std::string ButtonCommandService(const char* owner, const char* service)
{
    std::string text;
    // The shell's own buttons have no panel: a call of "system/ShowPluginPanel"
    // would find nothing and so stop the call before the button's service.
    if (owner != nullptr && owner[0] != 0 && std::strncmp(owner, kSystemButtonOwner, KIVRA_NAME_SIZE) != 0)
        text = std::string(owner) + "/ShowPluginPanel";
    if (service != nullptr && service[0] != 0) {
        if (!text.empty())
            text += ";";
        text += service;
    }
    if (text.size() > KIVRA_NAME_SIZE - 1)
        text.resize(KIVRA_NAME_SIZE - 1);
    return text;
}

unsigned ButtonCommandId(CommandRegistry& commands, const TSkinButton& button, const wchar_t* tooltip)
{
    if (button.cmdid != 0)
        return button.cmdid;
    unsigned id = IdOfName(commands, button.name);
    if (id != 0)
        return id;
    char owner[KIVRA_NAME_SIZE];
    char service[KIVRA_NAME_SIZE];
    NarrowName(owner, button.owner);
    NarrowName(service, button.service);
    id = commands.AllocateId();
    commands.Register(button.name, id, ButtonCommandService(owner, service).c_str(), tooltip, nullptr);
    return id;
}

}  // namespace kivra
