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

TService* CServiceRegistry::FindService(const char* name) const
{
    if (name == nullptr)
        return nullptr;
    for (const auto& service : services_) {
        if (std::strncmp(service->szName, name, KIVRA_NAME_SIZE) == 0)
            return service.get();
    }
    return nullptr;
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
    try {
        services_.push_front(std::move(copy));
    } catch (...) {
        return 0;
    }
    return 1;
}

void CServiceRegistry::RemoveServicesOf(const CPluginInterface* plugin)
{
    if (plugin == nullptr)
        return;
    services_.remove_if([plugin](const std::unique_ptr<TService>& service) {
        return service->pInterface == plugin;
    });
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

    char names[kNameListLimit + 1];
    size_t count = kNameListLimit;
    SplitNameList(service->szName, names, count);
    if (count == 0 || names[0] == 0)
        return 1;

    for (size_t at = 0; at < count && names[at] != 0; at += std::strlen(names + at) + 1) {
        const char* name = names + at;
        // The handler sees the caller's record carrying just the current name.
        CopyText(service->szName, name);
        TService* stored = FindService(name);
        if (stored == nullptr)
            return 0;  // later names are not called; earlier handlers have run
        if (stored->pfnHandler == nullptr) {
            // A data record: the caller gets a copy of it, and the call ends.
            std::memcpy(service, stored, sizeof(TService));
            return 1;
        }
        PluginCallScope calling(ModuleOf(stored), "service", name);
        stored->pfnHandler(service, param);
    }
    return 1;
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

int CServiceRegistry::DispatchServiceMessage(MSG* msg)
{
    if (msg == nullptr)
        return 0;
    const bool isKeyMessage = msg->message >= kFirstKeyMessage && msg->message <= kLastKeyMessage;

    for (const auto& entry : services_) {
        TService* record = entry.get();

        // Keyboard navigation for a plugin dialog: the dialog handed over is
        // the message window itself or the control's own parent. A control
        // whose parent is the main window belongs to no plugin dialog.
        if (record->hWnd != hostWindow_ && isKeyMessage) {
            if (msg->hwnd == record->hWnd) {
                if (::IsDialogMessageW(msg->hwnd, msg))
                    return 1;
            } else {
                HWND parent = ::GetParent(msg->hwnd);
                HWND grandparent = ::GetParent(parent);
                if (parent != hostWindow_) {
                    if (parent == record->hWnd) {
                        if (::IsDialogMessageW(parent, msg))
                            return 1;
                    } else if (grandparent != hostWindow_ && grandparent == record->hWnd) {
                        if (::IsDialogMessageW(parent, msg))
                            return 1;
                    }
                }
            }
        }

        // A service bound to this message and window. uMessage 0 binds to
        // nothing, so WM_NULL never reaches the unbound records.
        if (record->uMessage != 0 && record->uMessage == msg->message && record->hWnd == msg->hwnd) {
            TParam param{};
            param.nCode = kMessageParamCode;
            param.wParam = msg->wParam;
            param.lParam = msg->lParam;
            param.ptX = msg->pt.x;
            param.ptY = msg->pt.y;
            if (record->pfnHandler != nullptr) {
                PluginCallScope calling(ModuleOf(record), "service", record->szName);
                record->pfnHandler(record, &param);
            }
            return 0;  // the message still goes on to normal processing
        }
    }
    return 0;
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
