// A plugin library for the end-to-end tests, built from the plugin header and
// the bus header alone, like any third-party plugin. Built twice:
//
//   PROBE_TAG      its name (and the tag of its log lines)
//   PROBE_CONTROL  also opens the control window of ProbeProtocol.h
//
// It appends to the probe log:
//   "<tag> load"                      in LoadPlugin
//   "<tag> bus <message> <wParam>"    for every 0x8069 notice on the bus (hex)
//   "<tag> unload post=<result>"      in UnloadPlugin, with the result of a
//                                     TPostMessage made there (1 while the bus
//                                     still runs)
//   one line per control-window call (see ProbeProtocol.h), and the rows of
//   a list view or the texts a module draws, when the test asks for them.
//
// With KIVRA_PROBE_LEFTOVERS set it behaves as a careless plugin would: the
// probe with the control window leaves a window of its own class ("a panel")
// and the callback of command kProbeLeftoverCommand behind, and queues a
// click on that window in its UnloadPlugin ("<tag> leftover <message>" would
// be logged if its procedure ever ran after that); the other probe pumps the
// messages waiting in its UnloadPlugin, as a message box would, and logs
// "<tag> pumped".
#include "kivra_plugin.h"
#include "ostel.h"

#include "tests/e2e/ProbeProtocol.h"
#include "tests/support/TaggedLog.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string>

#define PROBE_EXPORT extern "C" __declspec(dllexport)

namespace {

CPluginInterface* g_iface = nullptr;
int g_busCookie = 0;
#ifdef PROBE_CONTROL
HWND g_control = nullptr;
#endif

void WriteLine(const char* text) { kivra::testing::AppendTaggedLine(kProbeLogVariable, PROBE_TAG, text); }

void __cdecl OnBus(unsigned long message, unsigned int wParam, long, void*)
{
    if (message != 0x8069)
        return;
    char text[64];
    std::snprintf(text, sizeof(text), "bus %lx %x", message, wParam);
    WriteLine(text);
}

bool LeavesLeftovers()
{
    return GetEnvironmentVariableW(kProbeLeftoversVariable, nullptr, 0) > 0;
}

#ifdef PROBE_CONTROL

// A hidden top-level window of a class of its own, whose procedure is ours.
HWND MakeProbeWindow(WNDPROC procedure, const wchar_t* className, const wchar_t* title)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    RegisterClassW(&wc);
    return CreateWindowExW(0, className, title, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
}

HWND g_leftover = nullptr;
bool g_unloaded = false;

LRESULT CALLBACK LeftoverProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (g_unloaded && (message == WM_LBUTTONDOWN || message == WM_LBUTTONUP)) {
        char line[48];
        std::snprintf(line, sizeof(line), "leftover %u", message);
        WriteLine(line);
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void __cdecl LeftoverCommand()
{
    WriteLine("leftover command");
}

// A panel and a command callback it never takes back.
void LeaveLeftovers()
{
    g_leftover = MakeProbeWindow(LeftoverProc, L"KivraProbeLeftover", L"Leftover panel");
    TCommandItem item{};
    item.nCommandId = kProbeLeftoverCommand;
    item.pfnFunction = LeftoverCommand;
    TService service{};
    std::snprintf(service.szName, sizeof(service.szName), "manager/RegisterCommandFunction");
    TParam param{};
    param.pData = &item;
    g_iface->CallService(&service, &param);
}

// Runs one call of the test: the service named in call, as the kind says.
// Icons cannot be read across processes under every system: the probe reads
// them on Kivra's side.
LRESULT QueryIcons(HWND window)
{
    const LRESULT big = SendMessageW(window, WM_GETICON, ICON_BIG, 0);
    const LRESULT small = SendMessageW(window, WM_GETICON, ICON_SMALL, 0);
    const LRESULT drag = SendMessageW(window, WM_QUERYDRAGICON, 0, 0);
    char line[128];
    std::snprintf(line, sizeof(line), "icons big=%d small=%d drag=%d same=%d", big != 0, small != 0, drag != 0,
                  big == drag);
    WriteLine(line);
    return big != 0;
}

std::string Utf8(const wchar_t* text, int length = -1)
{
    if (length == 0)
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return {};
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, narrow.data(), size, nullptr, nullptr);
    if (length < 0)
        narrow.pop_back();  // the terminator
    return narrow;
}

// The rows of a list view as it answers LVM_GETITEMTEXTW. Asked from inside
// the process: a virtual list (LVS_OWNERDATA) gets its texts from its owner's
// LVN_GETDISPINFO, and the text buffers could not cross processes anyway.
LRESULT ListRows(HWND view)
{
    if (!IsWindow(view)) {
        WriteLine("rows none");
        return -1;
    }
    const int count = static_cast<int>(SendMessageW(view, LVM_GETITEMCOUNT, 0, 0));
    HWND header = reinterpret_cast<HWND>(SendMessageW(view, LVM_GETHEADER, 0, 0));
    const int columns = header != nullptr ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
    char line[64];
    std::snprintf(line, sizeof(line), "rows count=%d", count);
    WriteLine(line);
    for (int row = 0; row < count && row < kProbeRowsLogged; ++row) {
        std::string text = "row " + std::to_string(row);
        for (int column = 0; column < columns; ++column) {
            wchar_t cell[256] = {};
            LVITEMW item{};
            item.iSubItem = column;
            item.pszText = cell;
            item.cchTextMax = 256;
            SendMessageW(view, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
            text += (column == 0 ? " " : " | ") + Utf8(cell);
        }
        WriteLine(text.c_str());
    }
    return count;
}

// Recording what a module draws: its import of DrawTextW is pointed at
// RecordingDrawText, which logs each new text with the caller's module name
// and draws it as before. Painted texts (a panel's labels, the notifier's
// message) have no window text to read from outside.
using DrawTextFunction = int(WINAPI*)(HDC, LPCWSTR, int, LPRECT, UINT);
DrawTextFunction g_drawText = nullptr;  // user32's own
std::mutex g_drawnLock;
std::set<std::string> g_drawn;  // "<module> <text>" already logged

struct ImportPatch {
    HMODULE module;
    void** slot;
};
constexpr int kMaxPatches = 4;
ImportPatch g_patches[kMaxPatches];
int g_patchCount = 0;

std::string ModuleNameAt(const void* address)
{
    HMODULE module = nullptr;
    wchar_t path[MAX_PATH] = {};
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(address), &module) ||
        GetModuleFileNameW(module, path, MAX_PATH) == 0)
        return "?";
    const wchar_t* name = std::wcsrchr(path, L'\\');
    return Utf8(name != nullptr ? name + 1 : path);
}

int WINAPI RecordingDrawText(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format)
{
    if (text != nullptr) {
        std::string line = "drawn " + ModuleNameAt(__builtin_return_address(0)) + " " + Utf8(text, count < 0 ? -1 : count);
        std::lock_guard<std::mutex> hold(g_drawnLock);
        if (g_drawn.insert(line).second)
            WriteLine(line.c_str());
    }
    return g_drawText(dc, text, count, rect, format);
}

// The import address slot through which module calls function of dll, or null.
void** ImportSlot(HMODULE module, const char* dll, const char* function)
{
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0)
        return nullptr;
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name != 0;
         ++entry) {
        // Without the name table the slots hold only addresses: nothing to match.
        if (_stricmp(reinterpret_cast<const char*>(base + entry->Name), dll) != 0 || entry->OriginalFirstThunk == 0)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

bool WriteSlot(void** slot, void* value)
{
    DWORD before = 0;
    if (!VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &before))
        return false;
    *slot = value;
    VirtualProtect(slot, sizeof(*slot), before, &before);
    return true;
}

LRESULT RecordDrawnText(const wchar_t* moduleName)
{
    HMODULE module = GetModuleHandleW(moduleName);
    if (g_drawText == nullptr)
        g_drawText = reinterpret_cast<DrawTextFunction>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "DrawTextW")));
    void** slot = module != nullptr ? ImportSlot(module, "user32.dll", "DrawTextW") : nullptr;
    bool recording = slot != nullptr && *slot == reinterpret_cast<void*>(RecordingDrawText);
    if (slot != nullptr && !recording && g_drawText != nullptr && g_patchCount < kMaxPatches &&
        WriteSlot(slot, reinterpret_cast<void*>(RecordingDrawText))) {
        g_patches[g_patchCount++] = {module, slot};
        recording = true;
    }
    const std::string line = "record-drawn " + Utf8(moduleName) + (recording ? " on" : " failed");
    WriteLine(line.c_str());
    return recording ? 1 : 0;
}

// Gives the modules that are still loaded their DrawTextW back, before this
// library goes (a module unloaded before it has no imports left to mend).
void StopRecordingDrawnText()
{
    for (int i = 0; i < g_patchCount; ++i) {
        HMODULE stillThere = nullptr;
        if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                               reinterpret_cast<LPCWSTR>(g_patches[i].slot), &stillThere) &&
            stillThere == g_patches[i].module)
            WriteSlot(g_patches[i].slot, reinterpret_cast<void*>(g_drawText));
    }
    g_patchCount = 0;
}

LRESULT RunCall(ULONG_PTR kind, const ProbeCall& call)
{
    if (kind == kProbeQueryIcons)
        return QueryIcons(reinterpret_cast<HWND>(static_cast<INT_PTR>(call.wParam)));
    if (kind == kProbeListRows)
        return ListRows(reinterpret_cast<HWND>(static_cast<INT_PTR>(call.wParam)));
    if (kind == kProbeRecordDrawnText) {
        wchar_t name[MAX_PATH];
        std::memcpy(name, call.text, sizeof(call.text));
        name[255] = 0;
        return RecordDrawnText(name);
    }
    TService service{};
    std::memcpy(service.szName, call.service, sizeof(service.szName));
    service.szName[sizeof(service.szName) - 1] = 0;
    TParam param{};
    param.nCode = call.nCode;
    param.wParam = static_cast<WPARAM>(call.wParam);
    param.lParam = call.lParam;

    wchar_t text[256];
    std::memcpy(text, call.text, sizeof(text));
    text[255] = 0;
    HBITMAP bitmap = nullptr;
    TPluginSkin skin{};

    switch (kind) {
    case kProbeCallText:
        param.pszText = text;
        break;
    case kProbeCallLoadImage:
        param.pszText = text[0] ? text : nullptr;  // the bitmap comes back in pData
        break;
    case kProbeCallOwnWindow:
        param.pData = g_control;
        break;
    case kProbeCallPluginSkin:
        for (int i = 0; i < 63 && text[i]; ++i)
            skin.szPluginName[i] = static_cast<char>(text[i] & 0xFF);
        param.pData = &skin;
        break;
    default:
        break;
    }

    const int result = g_iface ? g_iface->CallService(&service, &param) : -1;
    if (kind == kProbeCallLoadImage)
        bitmap = static_cast<HBITMAP>(param.pData);

    char line[600];
    switch (kind) {
    case kProbeCallRecord: {
        const char* owner = service.pInterface ? service.pInterface->info.szName : "(null)";
        std::snprintf(line, sizeof(line),
                      "record %s result=%d name=%s message=%u handler=%d owner=%s hwnd=%d", call.service,
                      result, service.szName, service.uMessage, service.pfnHandler != nullptr, owner,
                      service.hWnd != nullptr);
        break;
    }
    case kProbeCallText: {
        char narrow[300];
        int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow, sizeof(narrow), nullptr, nullptr);
        if (n <= 0)
            narrow[0] = 0;
        std::snprintf(line, sizeof(line), "text %s result=%d code=%d text=%s", call.service, result,
                      param.nCode, narrow);
        break;
    }
    case kProbeCallLoadImage: {
        BITMAP info{};
        const bool real = bitmap != nullptr && GetObjectType(bitmap) == OBJ_BITMAP;
        if (real)
            GetObjectW(bitmap, sizeof(info), &info);
        std::snprintf(line, sizeof(line), "image %s result=%d bitmap=%s size=%ldx%ld", call.service, result,
                      bitmap == nullptr ? "null" : (real ? "set" : "untouched"), info.bmWidth, info.bmHeight);
        if (real)
            DeleteObject(bitmap);
        break;
    }
    case kProbeCallOwnWindow: {
        HICON big = reinterpret_cast<HICON>(SendMessageW(g_control, WM_GETICON, ICON_BIG, 0));
        HICON small = reinterpret_cast<HICON>(SendMessageW(g_control, WM_GETICON, ICON_SMALL, 0));
        std::snprintf(line, sizeof(line), "icon %s result=%d big=%d small=%d", call.service, result,
                      big != nullptr, small != nullptr);
        break;
    }
    case kProbeCallPluginSkin:
        std::snprintf(line, sizeof(line), "skin %s result=%d found=%d background=%lx mask=%lx image=%d",
                      call.service, result, skin.bFound, skin.crBackground, skin.crMask,
                      skin.hBackground != nullptr);
        break;
    default:
        std::snprintf(line, sizeof(line), "call %s result=%d", call.service, result);
        break;
    }
    WriteLine(line);
    return result;
}

ProbeCall g_laterCall;

LRESULT CALLBACK ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COPYDATA: {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (data == nullptr || data->cbData != sizeof(ProbeCall) || data->lpData == nullptr)
            return -2;
        ProbeCall call;
        std::memcpy(&call, data->lpData, sizeof(call));
        if (data->dwData == kProbeCallLater) {
            // Run from the probe's own message, as a plugin's call usually is.
            g_laterCall = call;
            PostMessageW(hwnd, kProbeRunLaterCall, 0, 0);
            return 1;
        }
        return RunCall(data->dwData, call);
    }
    case kProbeRunLaterCall:
        RunCall(kProbeCallPlain, g_laterCall);
        return 0;
    case kProbeShowMessageBox: {
        const int answer = PluginMessageBox(kProbeMessageText, nullptr, MB_OK, nullptr);
        char line[64];
        std::snprintf(line, sizeof(line), "messagebox answer=%d", answer);
        WriteLine(line);
        return 0;
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void OpenControlWindow()
{
    // A top-level window (not message-only) so that FindWindowW sees it.
    g_control = MakeProbeWindow(ControlProc, L"KivraProbeControlClass", kProbeControlTitle);
}

#endif  // PROBE_CONTROL

}  // namespace

PROBE_EXPORT void __cdecl GetPluginInfo(PluginInfo* info)
{
    std::memset(info, 0, sizeof(*info));
    std::snprintf(info->szName, sizeof(info->szName), "%s", PROBE_TAG);
    info->dwVersion = 1;
}

PROBE_EXPORT bool __cdecl CheckDependenceInfo(unsigned long hostVersion)
{
    return hostVersion == PLUGIN_HOST_VERSION;
}

PROBE_EXPORT bool __cdecl LoadPlugin(CPluginInterface* iface, void*)
{
    g_iface = iface;
    WriteLine("load");
    g_busCookie = OpSubscribe(OnBus, nullptr);
#ifdef PROBE_CONTROL
    OpenControlWindow();
    if (LeavesLeftovers())
        LeaveLeftovers();
#endif
    return true;
}

PROBE_EXPORT bool __cdecl UnloadPlugin(void)
{
    char line[64];
    std::snprintf(line, sizeof(line), "unload post=%d", TPostMessage(0x7FFF, 0, 0));
    WriteLine(line);
    if (g_busCookie > 0)
        OpUnsubscribe(g_busCookie);
    g_busCookie = 0;
#ifdef PROBE_CONTROL
    StopRecordingDrawnText();
    if (g_control)
        DestroyWindow(g_control);
    g_control = nullptr;
    if (g_leftover != nullptr) {
        g_unloaded = true;
        PostMessageW(g_leftover, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        PostMessageW(g_leftover, WM_LBUTTONUP, 0, 0);
    }
#else
    if (LeavesLeftovers()) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        WriteLine("pumped");
    }
#endif
    g_iface = nullptr;
    return true;
}

PROBE_EXPORT int __cdecl ExecuteService(TService*, TParam*)
{
    return 0;
}
