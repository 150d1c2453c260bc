// ServiceRegistry.h - the single process-wide registry of bound plugins and
// stored service records, and the routing of calls and window messages to
// services.
//
// Both lists run newest first: every insertion is at the front, and every walk
// (QueryPluginInfo, EnumPluginInfo, DispatchServiceMessage, unloading) goes
// front to back. Beside the service list the registry keeps two indexes into
// it, by name and by message number, so that a call or a routed message does
// not walk every record; the indexes answer exactly what the walk would. The
// registry owns every CPluginInterface and an 80-byte copy of every stored
// TService; a caller's records stay the caller's. It has no locks: everything
// runs on the user-interface thread.
#pragma once

#include "kivra_plugin.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kivra {

class IManagerHost;

// Characters that separate names in a name list ("a;b", "a, b", "a b").
constexpr bool IsNameSeparator(wchar_t c) { return c == L' ' || c == L',' || c == L';'; }

// The limit SplitNameList applies to 8-bit name lists: one 64-byte field.
constexpr size_t kNameListLimit = KIVRA_NAME_SIZE;

// TParam::nCode of a parameter built from a window message.
constexpr int kMessageParamCode = 5;

class CServiceRegistry {
public:
    using PluginList = std::list<std::unique_ptr<CPluginInterface>>;
    using ServiceList = std::list<std::unique_ptr<TService>>;

    // The registry, made (both lists empty, no host) on the first call.
    // Null when it cannot be allocated.
    static CServiceRegistry* GetRegistry() noexcept;

    // The registry when it exists, without making one (for shutdown paths
    // that may run when start-up ended before the registry was made).
    static CServiceRegistry* ExistingRegistry() noexcept;

    // Deletes every CPluginInterface, then every stored TService copy, then
    // the registry. Plugins must have been unloaded first (UnloadAllPlugins).
    static void DestroyRegistry() noexcept;

    // The host object handed to each plugin's LoadPlugin: the main window,
    // as the built-in plugin's host interface (other plugins only pass it
    // around). And its window, against which DispatchServiceMessage tells
    // plugin dialogs apart.
    IManagerHost* Host() const { return host_; }
    HWND HostWindow() const { return hostWindow_; }
    void SetHost(IManagerHost* host, HWND hostWindow)
    {
        host_ = host;
        hostWindow_ = hostWindow;
    }
    // What library plugins get as their host instead: the main window's
    // window object, whose handle they take with KivraWindowHandle (the SDK
    // describes the host so). Without one they get Host() too.
    void* PluginHost() const { return pluginHost_ != nullptr ? pluginHost_ : static_cast<void*>(host_); }
    void SetPluginHost(void* windowObject) { pluginHost_ = windowObject; }

    // The stored record whose name equals name (over 64 bytes, case-sensitive),
    // or null. Constant time: looked up in the name index.
    TService* FindService(const char* name) const;

    // Runs reader each time a call is about to copy the stored data record
    // of this name, before the copy, so that what the caller gets is made
    // only when first asked for (the settings dialog's window is). One
    // reader per record, gone with the record; an empty reader removes it.
    // False when no data record has that name.
    bool SetDataRecordReader(const char* name, std::function<void()> reader);

    // Stores a copy of *record. Returns 1 when stored, 0 when a record of that
    // name exists already (the first stays in force) or memory ran out.
    int AddService(const TService* record);

    // Removes every stored record registered by plugin. A plugin refused after
    // its LoadPlugin ran, or a library about to be freed, leaves no handler
    // behind that points into unloaded code.
    void RemoveServicesOf(const CPluginInterface* plugin);
    // Removes every stored record whose handler lies in [codeBegin, codeEnd),
    // whoever registered it (a library about to be freed); answers their names.
    std::vector<std::string> RemoveServicesRunningCodeIn(std::uintptr_t codeBegin, std::uintptr_t codeEnd);

    // Calls each name of service->szName in order (see the .cpp for the rules).
    // Returns 1 when every name was found or the list was empty, 0 at the first
    // unknown name.
    int CallService(TService* service, TParam* param);

    // The shell's call of a service by path alone: an all-zero record and
    // parameter, called through caller, the built-in plugin's interface
    // (ManagerPluginInterface()). 0 when caller is null (the built-in plugin
    // is not bound) or the path is unknown.
    int CallServiceByName(CPluginInterface* caller, const char* path);

    // Finds the newest bound plugin whose szName occurs inside info->szName
    // and copies its whole PluginInfo over *info. False leaves *info as it was.
    bool QueryPluginInfo(PluginInfo* info) const;

    // One enumeration cursor for the process: reset places it at the front of
    // the plugin list; next copies the current plugin's PluginInfo and advances,
    // or returns false at the end.
    void EnumPluginInfoReset();
    bool EnumPluginInfoNext(PluginInfo* out);

    // Offers a message to the stored records: keyboard navigation for plugin
    // dialogs, then the record bound to this message and window. Returns 1 when
    // the message was consumed (only dialog navigation consumes). Only key
    // messages walk the records; any other message goes straight to the
    // records registered with its number (compared with their window as it is
    // now, since the shell takes windows back from stored records).
    int DispatchServiceMessage(MSG* msg);

    // Inserts a bound plugin at the front of the plugin list. On success the
    // registry owns it; on failure (out of memory) the caller keeps it.
    bool AddPlugin(CPluginInterface* plugin) noexcept;

    const PluginList& Plugins() const { return plugins_; }
    const ServiceList& Services() const { return services_; }

    // Turns a name list into NUL-ended names: blanks, commas and semicolons
    // separate, runs of them count as one, leading ones vanish. On entry
    // length is the limit: at most that many characters of text are read and
    // at most that many units written. out must hold length + 1 units; the
    // extra unit keeps the last name terminated even when the output is full.
    // On return length is the count of units written.
    static void SplitNameList(const char* text, char* out, size_t& length);
    static void SplitNameList(const wchar_t* text, wchar_t* out, size_t& length);

private:
    CServiceRegistry() = default;
    ~CServiceRegistry();
    CServiceRegistry(const CServiceRegistry&) = delete;
    CServiceRegistry& operator=(const CServiceRegistry&) = delete;

    // Hashes names for lookups by string_view without making a string.
    struct NameHash {
        using is_transparent = void;
        size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
    };
    // One name of a call: its handler run, its data record copied over the
    // caller's (which ends the call), or no such service.
    enum class CallStep { Called, Ended, Unknown };
    CallStep CallOne(TService* service, TParam* param, std::string_view name) const;
    // Removes record from both indexes (it stays in the list).
    void Unindex(const TService* record);
    // The stored record bound to msg's message and window, front to back.
    TService* BoundRecord(const MSG& msg) const;

    PluginList plugins_;
    ServiceList services_;
    // Every stored record by its name as registered (the bytes up to the NUL
    // or the 64th), which is unique.
    std::unordered_map<std::string, TService*, NameHash, std::equal_to<>> byName_;
    // The records with a message number, by that number, oldest first (the
    // reverse of the list, so that registering appends).
    std::unordered_map<UINT, std::vector<TService*>> byMessage_;
    // Every record, oldest first: the list's order in one block of memory,
    // which key messages walk backwards (chasing the list's nodes costs a
    // cache miss per record).
    std::vector<TService*> oldestFirst_;
    // SetDataRecordReader's readers, by stored record.
    std::unordered_map<const TService*, std::function<void()>> readers_;
    PluginList::const_iterator enumCursor_ = plugins_.end();
    IManagerHost* host_ = nullptr;
    HWND hostWindow_ = nullptr;
    void* pluginHost_ = nullptr;
};

}  // namespace kivra
