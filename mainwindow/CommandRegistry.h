// CommandRegistry: every command of the main window, by its 16-bit id, and
// the bars and menus that show commands.
//
// A menu item, tool item, skin button, accelerator or menu-bar item produces
// WM_COMMAND with a command id; Execute runs that command: its callback
// first (when it has one), then its service path or list of paths through the
// service registry ("sms/ShowPluginPanel;sms/NewMessage" calls both in order
// and stops at the first unknown one). Status-bar panes are named by command
// ids too; the pane of id 0 is the message pane.
//
// The registry also keeps the skin menus by name (names compare ignoring the
// case of A to Z), the tool bars of the tool area in creation order and the
// status bar, and keeps them in step with the commands: enabling, checking,
// and the message pane's hint for the highlighted menu item or the hot
// tool-bar button.
//
// Ids 0 and -1 never name a command. New ids come from one counter, shared by
// tool items, buttons, menu items and status panes in the order they are
// built (see CommandIds.h); it starts at 1200 and skips ids in use.
//
// It owns the menus, the tool bars and the status bar it is given; the main
// window's frame (CShellFrame) owns it. User-interface thread only.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "kivra_plugin.h"
#include "plugin/LibraryLeftovers.h"

namespace kivra {

class CMenuEx;
class CStatusBarEx;
class CToolBarEx;

constexpr unsigned kFirstAllocatedCommandId = 1200;

// Whether id can name a command (not 0, not -1).
constexpr bool IsCommandId(unsigned id) { return id != 0 && id != static_cast<unsigned>(-1); }

// One command.
struct CommandEntry {
    char name[KIVRA_NAME_SIZE] = {};
    char service[KIVRA_NAME_SIZE] = {};      // a path or a list of paths
    wchar_t tooltip[KIVRA_NAME_SIZE] = {};   // the message pane's hint
    TCommandFunction callback = nullptr;     // runs before the service
};

// Menu names compare ignoring the case of the letters A to Z only.
struct LessIgnoringAsciiCase {
    bool operator()(const std::string& a, const std::string& b) const;
};

class CommandRegistry {
public:
    // Calls a service path list; answers CallService's result.
    using ServiceCaller = std::function<int(const char* paths)>;

    // Services are called through the process's service registry (its
    // built-in plugin) unless SetServiceCaller says otherwise.
    CommandRegistry();
    ~CommandRegistry();
    CommandRegistry(const CommandRegistry&) = delete;
    CommandRegistry& operator=(const CommandRegistry&) = delete;

    void SetServiceCaller(ServiceCaller caller) { callService_ = std::move(caller); }

    // --- Commands ------------------------------------------------------------
    // The next id from the shared counter (1200 first), skipping ids that
    // already name a command.
    unsigned AllocateId();
    // Creates the entry of id when missing and updates it: the callback is
    // always replaced (null too); the service when one is given (an empty one
    // too); the name only by a non-empty one; the tooltip when one is given.
    // Nothing for ids 0 and -1.
    void Register(const char* name, unsigned id, const char* service, const wchar_t* tooltip,
                  TCommandFunction callback);
    // The id of the first entry (in id order) whose name is exactly name; -1.
    int FindIdByName(const char* name) const;
    const CommandEntry* Find(unsigned id) const;
    // Runs the command: callback, then service. False when no entry has the id.
    bool Execute(unsigned id);
    // Enables or grays the command on every tool bar and in every menu with
    // its sub-menus. Nothing for ids 0 and -1.
    void Enable(unsigned id, bool enable);
    // Checks or unchecks the command in every menu (top level). Nothing for 0 and -1.
    void Check(bool checked, unsigned id);
    // The entry's tooltip; false (and empty) when there is no entry.
    bool GetTooltip(unsigned id, std::wstring* tooltip) const;
    // Clears every callback whose code lies in code (a plugin library about
    // to be freed); answers the ids of the commands that had one.
    std::vector<unsigned> DropCallbacksRunningCodeIn(const TCodeRange& code);

    // --- Menus ---------------------------------------------------------------
    CMenuEx* MenuByName(const char* name) const;
    // Keeps menu (for the registry's life) and names it; a menu of the same
    // name (ignoring A-Z case) is replaced in the map. Nothing for an empty
    // name or no menu. Answers the menu.
    CMenuEx* RegisterMenu(const char* name, std::unique_ptr<CMenuEx> menu);
    // Keeps a menu that has no name (an unnamed menu-bar entry).
    CMenuEx* KeepMenu(std::unique_ptr<CMenuEx> menu);

    // --- Bars ----------------------------------------------------------------
    CToolBarEx* AddToolBar(std::unique_ptr<CToolBarEx> bar);
    const std::vector<std::unique_ptr<CToolBarEx>>& ToolBars() const { return toolBars_; }
    // Replaces (and destroys) the status bar.
    void SetStatusBar(std::unique_ptr<CStatusBarEx> bar);
    CStatusBarEx* StatusBar() const { return statusBar_.get(); }

    // --- Message pane --------------------------------------------------------
    // The tooltip of id into the message pane, unless the pane shows it
    // already (id was the last shown and nothing else was written since).
    void ShowCommandText(unsigned id);
    unsigned LastShownId() const { return lastShown_; }
    // Timer 2: the hint of the first hot tool-bar button, with the status
    // bar's hint flag set while there is one.
    void UpdateToolBarHint();
    // The pane of the command named name (or of the id): a non-empty text
    // becomes its text, then it gets icon (SB_SETICON, whose answer is
    // answered). -1 for an unknown name, the negative index for no such pane.
    int SetPaneTextByName(const char* name, const wchar_t* text, HICON icon);
    int SetPaneTextById(unsigned id, const wchar_t* text, HICON icon);

private:
    // Lowers the index's id for the entry id's new name, and moves the old
    // name's to the next entry that still has it.
    void IndexName(unsigned id, const char* oldName, const char* newName);

    std::map<unsigned, CommandEntry> commands_;
    // The lowest id of each non-empty name: a skin of a thousand buttons asks
    // for each button's name before it registers it.
    std::unordered_map<std::string, unsigned> firstIdOfName_;
    std::map<std::string, CMenuEx*, LessIgnoringAsciiCase> menus_;
    std::vector<std::unique_ptr<CMenuEx>> ownedMenus_;  // every menu ever registered
    std::vector<std::unique_ptr<CToolBarEx>> toolBars_;
    std::unique_ptr<CStatusBarEx> statusBar_;
    unsigned nextId_ = kFirstAllocatedCommandId;
    unsigned lastShown_ = 0;
    ServiceCaller callService_;
};

}  // namespace kivra
