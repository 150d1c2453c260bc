// Device and power events: what reaches the bus and the bound services (the
// warning sweep runs in the main window: tests/startup).
#include "mainwindow/DeviceEvents.h"

#include <dbt.h>

#include <gtest/gtest.h>

#include <mutex>
#include <utility>
#include <vector>

#include "framework/Text.h"
#include "ostel.h"
#include "plugin/ServiceRegistry.h"

using namespace kivra;

namespace {

struct BusMessage {
    unsigned long message;
    unsigned wParam;
    long lParam;
    bool operator==(const BusMessage&) const = default;
};
std::mutex g_busLock;
std::vector<BusMessage> g_bus;

void __cdecl RecordBus(unsigned long message, unsigned wParam, long lParam, void*)
{
    std::lock_guard<std::mutex> lock(g_busLock);
    g_bus.push_back({message, wParam, lParam});
}

// What the bus delivered once count messages arrived (or after a second).
std::vector<BusMessage> BusSeen(size_t count)
{
    for (int i = 0; i < 100; ++i, Sleep(10)) {
        std::lock_guard<std::mutex> lock(g_busLock);
        if (g_bus.size() >= count)
            break;
    }
    std::lock_guard<std::mutex> lock(g_busLock);
    return std::exchange(g_bus, {});
}

TParam g_arrival{};
int __cdecl RecordArrival(TService*, TParam* param)
{
    g_arrival = *param;
    return 1;
}

TEST(DeviceEventsTest, SuspendAndResumeAndArrivalsReachTheBusAndArrivalsTheBoundServices)
{
    OpInit();
    const int cookie = OpSubscribe(RecordBus, nullptr);
    for (WPARAM event : {0, 2, 4, 7, 10, 18})
        ForwardPowerEvent(event, 77);
    EXPECT_EQ(BusSeen(4), (std::vector<BusMessage>{{0x0218, 0, 77}, {0x0218, 4, 77}, {0x0218, 7, 77}, {0x0218, 18, 77}}));

    CServiceRegistry* registry = CServiceRegistry::GetRegistry();
    ASSERT_NE(registry, nullptr);
    TService bound{};
    CopyText(bound.szName, "test/DeviceArrived");
    bound.uMessage = WM_DEVICECHANGE;
    bound.pfnHandler = RecordArrival;
    ASSERT_EQ(registry->AddService(&bound), 1);
    AnnounceDeviceArrival(registry, 0x1234);
    EXPECT_EQ(g_arrival.nCode, 5);
    EXPECT_EQ(g_arrival.wParam, static_cast<WPARAM>(DBT_DEVICEARRIVAL));
    EXPECT_EQ(g_arrival.lParam, 0x1234);
    EXPECT_EQ(BusSeen(1), (std::vector<BusMessage>{{0x8069, 0x8000, 0x1234}}));
    CServiceRegistry::DestroyRegistry();
    OpUnsubscribe(cookie);
    OpExit();
}

}  // namespace
