// Service calls and message routing with 1,000 services registered, against
// a hash map and a direct call, and against the same message with no records.
#include "bench/BenchSupport.h"

#include "framework/Text.h"
#include "framework/Window.h"
#include "plugin/ServiceRegistry.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_map>

using namespace kivra;
using namespace kivra::bench;

namespace {

constexpr int kServiceCount = 1000;
constexpr int kCallsPerSample = 20000;
constexpr int kMessagesPerSample = 5000;
constexpr UINT kPluginMessage = WM_APP + 7;

volatile int g_handled = 0;

int __cdecl CountCall(TService*, TParam*)
{
    g_handled = g_handled + 1;
    return 1;
}

std::string ServiceName(int i)
{
    char name[32];
    kivra::FormatText(name, "bench/Service%04d", i);
    return name;
}

// The main window's part in routing: messages for other windows are offered
// to the registry before they are dispatched.
class CBenchHost : public CWindow {
public:
    bool PreTranslateMessage(MSG* msg) override
    {
        if (msg->hwnd != hwnd_)
            if (CServiceRegistry* registry = CServiceRegistry::ExistingRegistry())
                return registry->DispatchServiceMessage(msg) != 0;
        return false;
    }
};

class CPluginWindow : public CWindow {};

void RegisterServices(CPluginInterface& plugin)
{
    for (int i = 0; i < kServiceCount; ++i) {
        TService service{};
        CopyText(service.szName, ServiceName(i).c_str());
        service.pfnHandler = CountCall;
        // Some listen for a message, none for the one routed here.
        if (i % 10 == 0)
            service.uMessage = WM_DEVICECHANGE;
        plugin.RegisterService(&service);
    }
}

// The caller's record, filled in afresh for every call as a caller does.
TService CallerRecord(const char* name)
{
    TService service{};
    CopyText(service.szName, name);
    return service;
}

double CallSample(CPluginInterface& plugin, const char* name)
{
    const TService caller = CallerRecord(name);
    TService service{};
    TParam param{};
    return TimePerCall(kCallsPerSample, [&] {
        service = caller;
        plugin.CallService(&service, &param);
    });
}

// One message as the main window offers it to the registry before dispatch.
double RouteSample(HWND window, UINT message, WPARAM wParam)
{
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    return TimePerCall(kMessagesPerSample, [&] {
        MSG copy = msg;
        CServiceRegistry::ExistingRegistry()->DispatchServiceMessage(&copy);
    });
}

// One message sent to a window, through its window procedure.
double SendSample(HWND window)
{
    return TimePerCall(kMessagesPerSample, [&] { ::SendMessageW(window, kPluginMessage, 0, 0); });
}

}  // namespace

int main()
{
    const int runs = RunsFromEnvironment(15);

    // Host window, a plugin's window and an edit control in a plugin page.
    WNDCLASSEXW windowClass{};
    windowClass.lpszClassName = L"KivraBenchWindow";
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    CWindow::RegisterWindowClass(windowClass);
    CBenchHost host;
    host.Create(0, L"KivraBenchWindow", L"host", WS_POPUP, 0, 0, 200, 200, nullptr);
    CPluginWindow pluginWindow;
    pluginWindow.Create(0, L"KivraBenchWindow", L"plugin", WS_CHILD, 0, 0, 100, 100, host.Handle(), 1);
    CPluginWindow page;
    page.Create(0, L"KivraBenchWindow", L"page", WS_CHILD, 0, 0, 100, 100, host.Handle(), 2);
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 80, 20, page.Handle(), nullptr, nullptr, nullptr);
    WNDCLASSEXW plainClass{};
    plainClass.cbSize = sizeof(plainClass);
    plainClass.lpfnWndProc = ::DefWindowProcW;
    plainClass.hInstance = ::GetModuleHandleW(nullptr);
    plainClass.lpszClassName = L"KivraBenchPlain";
    ::RegisterClassExW(&plainClass);
    HWND plainWindow = ::CreateWindowExW(0, L"KivraBenchPlain", L"plain", WS_CHILD, 0, 0, 100, 100, host.Handle(),
                                         nullptr, nullptr, nullptr);

    // The hash-map baseline: the same names, looked up and called.
    std::unordered_map<std::string, TServiceHandler> map;
    for (int i = 0; i < kServiceCount; ++i)
        map.emplace(ServiceName(i), CountCall);
    const std::string oldest = ServiceName(0);
    const std::string middle = ServiceName(kServiceCount / 2);
    const std::string newest = ServiceName(kServiceCount - 1);
    const std::string three = oldest + ";" + middle + ";" + newest;
    const auto mapCall = [&](std::initializer_list<const std::string*> names) {
        const TService caller = CallerRecord(oldest.c_str());
        TService service{};
        TParam param{};
        return TimePerCall(kCallsPerSample, [&] {
            service = caller;
            for (const std::string* name : names) {
                const auto found = map.find(*name);
                if (found != map.end())
                    found->second(&service, &param);
            }
        });
    };
    TServiceHandler volatile direct = CountCall;

    CPluginInterface plugin{};
    std::vector<double> registration;
    Cases cases;
    auto fresh = [&](bool withServices) {
        CServiceRegistry::DestroyRegistry();
        CServiceRegistry* registry = CServiceRegistry::GetRegistry();
        registry->SetHost(nullptr, host.Handle());  // no built-in plugin: only the window counts
        if (withServices) {
            const double start = NowNs();
            RegisterServices(plugin);
            registration.push_back((NowNs() - start) / 1e6);
        }
    };
    cases.Add("oldest", [&] { return CallSample(plugin, oldest.c_str()); });
    cases.Add("newest", [&] { return CallSample(plugin, newest.c_str()); });
    cases.Add("three", [&] { return CallSample(plugin, three.c_str()); });
    cases.Add("unknown", [&] { return CallSample(plugin, "bench/Nobody"); });
    cases.Add("map one", [&] { return mapCall({&oldest}); });
    cases.Add("map three", [&] { return mapCall({&oldest, &middle, &newest}); });
    cases.Add("direct", [&] {
        TService service{};
        TParam param{};
        return TimePerCall(kCallsPerSample, [&] { direct(&service, &param); });
    });
    cases.Add("message 1000", [&] { return RouteSample(pluginWindow.Handle(), kPluginMessage, 0); });
    cases.Add("key 1000", [&] { return RouteSample(edit, WM_KEYDOWN, VK_F24); });
    cases.Add("message none", [&] {
        fresh(false);
        const double sample = RouteSample(pluginWindow.Handle(), kPluginMessage, 0);
        fresh(true);
        return sample;
    });
    cases.Add("key none", [&] {
        fresh(false);
        const double sample = RouteSample(edit, WM_KEYDOWN, VK_F24);
        fresh(true);
        return sample;
    });
    cases.Add("send object", [&] { return SendSample(pluginWindow.Handle()); });
    cases.Add("send plain", [&] { return SendSample(plainWindow); });
    fresh(true);
    cases.Run(runs);

    const Spread mapOne = cases.Of("map one");
    Report("call oldest of 1000 services", cases.Of("oldest"), "hash-map lookup and call", mapOne, "ns",
           Target::RatioAtMost, 3);
    Report("call newest of 1000 services", cases.Of("newest"), "hash-map lookup and call", mapOne, "ns",
           Target::RatioAtMost, 3);
    Report("call a list of three of 1000 services", cases.Of("three"), "hash map, three names",
           cases.Of("map three"), "ns", Target::RatioAtMost, 3);
    Report("call an unknown name among 1000 services", cases.Of("unknown"), "hash-map lookup and call", mapOne,
           "ns", Target::RatioAtMost, 3);
    Report("call oldest of 1000 services", cases.Of("oldest"), "direct call", cases.Of("direct"), "ns",
           Target::None, 0);
    Report("register 1000 services", SpreadOf(registration), "(none)", Spread{}, "ms", Target::None, 0);
    Report("route a message to a plugin window, 1000 records", cases.Of("message 1000"), "same message, no records",
           cases.Of("message none"), "ns", Target::AddsAtMost, 2000);
    Report("route a key in a plugin page's edit, 1000 records", cases.Of("key 1000"), "same key, no records",
           cases.Of("key none"), "ns", Target::AddsAtMost, 2000);
    Report("send a message to a window object", cases.Of("send object"), "window without object",
           cases.Of("send plain"), "ns", Target::None, 0);

    ::DestroyWindow(edit);
    CServiceRegistry::DestroyRegistry();
    return 0;
}
