#include "plugin/ServiceRegistry.h"

#include "framework/CrashContext.h"
#include "framework/Text.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <type_traits>

namespace kivra {

namespace {

CServiceRegistry* g_registry = nullptr;

// Keyboard messages: WM_KEYDOWN (0x0100) up to WM_UNICHAR (0x0109).
constexpr UINT kFirstKeyMessage = 0x0100;
constexpr UINT kLastKeyMessage = 0x0109;

// The library of the plugin that registered record (null for the shell's own).
HMODULE ModuleOf(const TService* record)
{
    return record->pInterface != nullptr ? record->pInterface->hModule : nullptr;
}

template <typename Ch>
void SplitNames(const Ch* text, Ch* out, size_t& length)
{
    const size_t limit = length;
    length = 0;
    if (out == nullptr)
        return;
    std::fill(out, out + limit + 1, Ch(0));
    if (text == nullptr)
        return;
    size_t written = 0;
    for (size_t i = 0; i < limit && text[i] != 0 && written < limit; ++i) {
        const Ch c = text[i];
        if (IsNameSeparator(static_cast<wchar_t>(static_cast<std::make_unsigned_t<Ch>>(c)))) {
            if (written > 0 && out[written - 1] != 0)
                out[written++] = 0;
        } else {
            out[written++] = c;
        }
    }
    length = written;
}

// Whether needle (a 64-byte name field) occurs inside haystack (another one).
// Both are read only up to their NUL or their 64 bytes.
bool NameOccursIn(const char* needle, const char* haystack)
{
    const size_t needleLength = strnlen(needle, KIVRA_NAME_SIZE);
    const size_t haystackLength = strnlen(haystack, KIVRA_NAME_SIZE);
    if (needleLength == 0)
        return true;
    if (needleLength > haystackLength)
        return false;
    return std::search(haystack, haystack + haystackLength, needle, needle + needleLength) !=
           haystack + haystackLength;
}

}  // namespace

CServiceRegistry* CServiceRegistry::ExistingRegistry() noexcept
{
    return g_registry;
}

CServiceRegistry* CServiceRegistry::GetRegistry() noexcept
{
    if (g_registry == nullptr)
        g_registry = new (std::nothrow) CServiceRegistry();
    return g_registry;
}

void CServiceRegistry::DestroyRegistry() noexcept
{
    delete g_registry;
    g_registry = nullptr;
}

CServiceRegistry::~CServiceRegistry()
{
    // Plugin objects first, then the service copies, then the lists go with us.
    for (auto& plugin : plugins_)
        plugin.reset();
    byName_.clear();
    byMessage_.clear();
    oldestFirst_.clear();
    for (auto& service : services_)
        service.reset();
}

void CServiceRegistry::SplitNameList(const char* text, char* out, size_t& length)
{
    SplitNames(text, out, length);
}

void CServiceRegistry::SplitNameList(const wchar_t* text, wchar_t* out, size_t& length)
{
    SplitNames(text, out, length);
}

namespace {

// A name as the registry compares it: the bytes of a 64-byte field up to its
// NUL, so that two names are equal exactly when strncmp over 64 bytes says so.
std::string_view NameKey(const char* name)
{
    return std::string_view(name, strnlen(name, KIVRA_NAME_SIZE));
}

}  // namespace

TService* CServiceRegistry::FindService(const char* name) const
{
    if (name == nullptr)
        return nullptr;
    const auto found = byName_.find(NameKey(name));
    return found != byName_.end() ? found->second : nullptr;
}

int CServiceRegistry::AddService(const TService* record)
{
    if (record == nullptr)
        return 0;
    if (FindService(record->szName) != nullptr)
        return 0;
    std::unique_ptr<TService> copy(new (std::nothrow) TService(*record));
    if (!copy)
        return 0;
    TService* stored = copy.get();
    try {
        services_.push_front(std::move(copy));
    } catch (...) {
        return 0;
    }
    try {
        byName_.emplace(NameKey(stored->szName), stored);
        oldestFirst_.push_back(stored);
        if (stored->uMessage != 0)
            byMessage_[stored->uMessage].push_back(stored);
    } catch (...) {
        // Out of memory: the record was never callable, so it goes again.
        Unindex(stored);
        services_.pop_front();
        return 0;
    }
    return 1;
}

bool CServiceRegistry::SetDataRecordReader(const char* name, std::function<void()> reader)
{
    TService* stored = name != nullptr ? FindService(name) : nullptr;
    if (stored == nullptr || stored->pfnHandler != nullptr)
        return false;
    if (reader)
        readers_[stored] = std::move(reader);
    else
        readers_.erase(stored);
    return true;
}

void CServiceRegistry::Unindex(const TService* record)
{
    readers_.erase(record);
    // Looked up by the record's name and message number, unless a handler
    // changed them in the stored record: then the indexes are searched whole.
    std::erase(oldestFirst_, record);
    const auto named = byName_.find(NameKey(record->szName));
    if (named != byName_.end() && named->second == record)
        byName_.erase(named);
    else
        std::erase_if(byName_, [record](const auto& entry) { return entry.second == record; });

    const auto dropFrom = [this, record](decltype(byMessage_)::iterator listeners) {
        const size_t removed = std::erase(listeners->second, record);
        if (listeners->second.empty())
            byMessage_.erase(listeners);
        return removed != 0;
    };
    const auto listeners = byMessage_.find(record->uMessage);
    if (listeners != byMessage_.end() && dropFrom(listeners))
        return;
    for (auto bucket = byMessage_.begin(); bucket != byMessage_.end();) {
        auto next = std::next(bucket);
        if (dropFrom(bucket))
            return;
        bucket = next;
    }
}

void CServiceRegistry::RemoveServicesOf(const CPluginInterface* plugin)
{
    if (plugin == nullptr)
        return;
    services_.remove_if([this, plugin](const std::unique_ptr<TService>& service) {
        if (service->pInterface != plugin)
            return false;
        Unindex(service.get());
        return true;
    });
}

std::vector<std::string> CServiceRegistry::RemoveServicesRunningCodeIn(std::uintptr_t codeBegin, std::uintptr_t codeEnd)
{
    std::vector<std::string> removed;
    services_.remove_if([&](const std::unique_ptr<TService>& service) {
        const auto handler = reinterpret_cast<std::uintptr_t>(service->pfnHandler);
        if (handler < codeBegin || handler >= codeEnd)
            return false;
        removed.emplace_back(service->szName, strnlen(service->szName, sizeof(service->szName)));
        Unindex(service.get());
        return true;
    });
    return removed;
}

CServiceRegistry::CallStep CServiceRegistry::CallOne(TService* service, TParam* param, std::string_view name) const
{
    const auto found = byName_.find(name);
    if (found == byName_.end())
        return CallStep::Unknown;  // later names are not called; earlier handlers have run
    TService* stored = found->second;
    if (stored->pfnHandler == nullptr) {
        // A data record: the caller gets a copy of it, and the call ends.
        if (const auto reader = readers_.find(stored); reader != readers_.end()) {
            reader->second();
            // The reader may have changed the registry: the record is found again.
            const auto again = byName_.find(name);
            if (again == byName_.end())
                return CallStep::Unknown;
            stored = again->second;
        }
        std::memcpy(service, stored, sizeof(TService));
        return CallStep::Ended;
    }
    // The caller's record carries the current name, terminated.
    PluginCallScope calling(ModuleOf(stored), "service", service->szName);
    stored->pfnHandler(service, param);
    return CallStep::Called;
}

int CServiceRegistry::CallService(TService* service, TParam* param)
{
    if (service == nullptr)
        return 0;
    // Handlers read their arguments from param; one that a caller left out
    // reads as an all-zero block instead of a null pointer.
    TParam noArguments{};
    if (param == nullptr)
        param = &noArguments;

    // The names are read from a copy of the caller's field, which each call
    // overwrites with the current name. A name is a run of characters other
    // than separators among the field's first 64 (the SplitNameList rule).
    // Both copies are of the whole field, which the compiler does inline.
    char list[KIVRA_NAME_SIZE + 1];
    std::memcpy(list, service->szName, KIVRA_NAME_SIZE);
    list[KIVRA_NAME_SIZE] = 0;  // the field's end ends the list
    size_t at = 0;
    for (;;) {
        while (list[at] != 0 && IsNameSeparator(static_cast<unsigned char>(list[at])))
            ++at;
        if (list[at] == 0)
            return 1;  // every name called, or none given
        size_t end = at;
        while (list[end] != 0 && !IsNameSeparator(static_cast<unsigned char>(list[end])))
            ++end;
        const std::string_view name(list + at, end - at);
        at = end;
        // The handler sees the caller's record carrying just the current
        // name, zero-filled after it (and cut to 63 characters, so that it
        // stays terminated).
        char current[sizeof(service->szName)] = {};
        std::memcpy(current, name.data(), std::min(name.size(), sizeof(current) - 1));
        std::memcpy(service->szName, current, sizeof(current));
        switch (CallOne(service, param, name)) {
        case CallStep::Unknown:
            return 0;
        case CallStep::Ended:
            return 1;
        case CallStep::Called:
            break;
        }
    }
}

int CServiceRegistry::CallServiceByName(CPluginInterface* caller, const char* path)
{
    if (caller == nullptr)
        return 0;
    TService service{};
    CopyText(service.szName, path);
    TParam param{};
    return caller->CallService(&service, &param);
}

bool CServiceRegistry::QueryPluginInfo(PluginInfo* info) const
{
    if (info == nullptr)
        return false;
    for (const auto& plugin : plugins_) {
        if (NameOccursIn(plugin->info.szName, info->szName)) {
            std::memcpy(info, &plugin->info, sizeof(PluginInfo));
            return true;
        }
    }
    return false;
}

void CServiceRegistry::EnumPluginInfoReset()
{
    enumCursor_ = plugins_.begin();
}

bool CServiceRegistry::EnumPluginInfoNext(PluginInfo* out)
{
    if (enumCursor_ == plugins_.end())
        return false;
    if (out != nullptr)
        std::memcpy(out, &(*enumCursor_)->info, sizeof(PluginInfo));
    ++enumCursor_;
    return true;
}

TService* CServiceRegistry::BoundRecord(const MSG& msg) const
{
    // uMessage 0 binds to nothing, so WM_NULL never reaches the unbound records.
    if (msg.message == 0)
        return nullptr;
    const auto listeners = byMessage_.find(msg.message);
    if (listeners == byMessage_.end())
        return nullptr;
    const std::vector<TService*>& records = listeners->second;
    for (auto record = records.rbegin(); record != records.rend(); ++record) {
        if ((*record)->uMessage == msg.message && (*record)->hWnd == msg.hwnd)
            return *record;
    }
    return nullptr;
}

int CServiceRegistry::DispatchServiceMessage(MSG* msg)
{
    if (msg == nullptr)
        return 0;
    const bool isKeyMessage = msg->message >= kFirstKeyMessage && msg->message <= kLastKeyMessage;

    TService* bound = nullptr;
    if (isKeyMessage) {
        // Keyboard navigation for a plugin dialog: the dialog handed over is
        // the message window itself or the control's own parent. A control
        // whose parent is the main window belongs to no plugin dialog. The
        // control's parent and grandparent are the same for every record, so
        // they are asked once.
        const HWND target = msg->hwnd;
        const HWND host = hostWindow_;
        const HWND parent = ::GetParent(target);
        const HWND grandparent = ::GetParent(parent);
        // The windows whose record hands a dialog over: the message window
        // itself, else its parent, else its grandparent, each while no main
        // window stands between.
        const bool parentCounts = parent != host;
        const bool grandparentCounts = parentCounts && grandparent != host;
        const UINT message = msg->message;
        const HWND candidateParent = parentCounts ? parent : target;
        const HWND candidateGrandparent = grandparentCounts ? grandparent : target;
        // Newest first, by position: a record registered meanwhile (from a
        // window procedure that IsDialogMessageW called) goes to the end and
        // moves no record still to be visited.
        for (size_t at = oldestFirst_.size(); at-- > 0;) {
            if (at >= oldestFirst_.size())
                continue;  // records removed meanwhile
            TService* record = oldestFirst_[at];
            const HWND window = record->hWnd;
            // Only a record of one of these windows can take the key.
            if (window != target && window != candidateParent && window != candidateGrandparent)
                continue;
            if (window != host) {
                if (window == target) {
                    if (::IsDialogMessageW(target, msg))
                        return 1;
                } else if ((parentCounts && window == parent) || (grandparentCounts && window == grandparent)) {
                    if (::IsDialogMessageW(parent, msg))
                        return 1;
                }
            }
            if (record->uMessage == message && window == target) {
                bound = record;
                break;
            }
        }
    } else {
        bound = BoundRecord(*msg);
    }

    // The service bound to this message and window, if any.
    if (bound != nullptr) {
        TParam param{};
        param.nCode = kMessageParamCode;
        param.wParam = msg->wParam;
        param.lParam = msg->lParam;
        param.ptX = msg->pt.x;
        param.ptY = msg->pt.y;
        if (bound->pfnHandler != nullptr) {
            PluginCallScope calling(ModuleOf(bound), "service", bound->szName);
            bound->pfnHandler(bound, &param);
        }
    }
    return 0;  // the message still goes on to normal processing
}

bool CServiceRegistry::AddPlugin(CPluginInterface* plugin) noexcept
{
    if (plugin == nullptr)
        return false;
    try {
        plugins_.emplace_front(plugin);
    } catch (...) {
        return false;
    }
    return true;
}

}  // namespace kivra
