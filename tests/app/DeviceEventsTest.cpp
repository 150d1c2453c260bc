// Device and power events: what reaches the bus and the bound services, and
// the warning sweep's 60 ticks counted out rather than waited for.
#include "app/DeviceEvents.h"

#include <dbt.h>

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "app/Log.h"
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

// Collects what the bus delivers.
class BusRecorder {
public:
    BusRecorder()
    {
        OpInit();
        cookie_ = OpSubscribe(Record, this);
    }
    ~BusRecorder()
    {
        OpUnsubscribe(cookie_);
        OpExit();
    }
    // The messages once count have arrived (or after a second).
    std::vector<BusMessage> Wait(size_t count)
    {
        for (int i = 0; i < 100; ++i, Sleep(10)) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (seen_.size() >= count)
                break;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        return seen_;
    }

private:
    static void __cdecl Record(unsigned long message, unsigned wParam, long lParam, void* self)
    {
        auto* recorder = static_cast<BusRecorder*>(self);
        std::lock_guard<std::mutex> lock(recorder->mutex_);
        recorder->seen_.push_back({message, wParam, lParam});
    }
    std::mutex mutex_;
    std::vector<BusMessage> seen_;
    int cookie_ = 0;
};

TEST(DeviceEventsTest, OnlySuspendAndResumePowerEventsReachTheBus)
{
    BusRecorder bus;
    for (WPARAM event : {0, 2, 4, 7, 10, 18})
        ForwardPowerEvent(event, 77);
    const std::vector<BusMessage> expected = {
        {0x0218, 0, 77}, {0x0218, 4, 77}, {0x0218, 7, 77}, {0x0218, 18, 77}};
    EXPECT_EQ(bus.Wait(4), expected);
}

TParam g_arrival{};
int g_arrivals = 0;
int __cdecl RecordArrival(TService*, TParam* param)
{
    ++g_arrivals;
    g_arrival = *param;
    return 1;
}

TEST(DeviceEventsTest, AnArrivalReachesTheBoundServicesTheBusAndTheLog)
{
    CServiceRegistry* registry = CServiceRegistry::GetRegistry();
    ASSERT_NE(registry, nullptr);
    TService bound{};
    CopyText(bound.szName, "test/DeviceArrived");
    bound.uMessage = WM_DEVICECHANGE;
    bound.pfnHandler = RecordArrival;
    ASSERT_EQ(registry->AddService(&bound), 1);
    GetLog().SetLogFile(L"device-events-test.log");
    DeleteFileW(GetLog().GetLogFile().c_str());

    BusRecorder bus;
    AnnounceDeviceArrival(registry, 0x1234);
    EXPECT_EQ(g_arrivals, 1);
    EXPECT_EQ(g_arrival.nCode, 5);
    EXPECT_EQ(g_arrival.wParam, static_cast<WPARAM>(DBT_DEVICEARRIVAL));
    EXPECT_EQ(g_arrival.lParam, 0x1234);
    EXPECT_EQ(bus.Wait(1), (std::vector<BusMessage>{{0x8069, 0x8000, 0x1234}}));

    char line[256] = {};
    HANDLE file = CreateFileW(GetLog().GetLogFile().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    DWORD read = 0;
    ReadFile(file, line, sizeof(line) - 1, &read, nullptr);
    CloseHandle(file);
    EXPECT_NE(std::string(line).find("WM_DEVICECHANGE.... \r\n"), std::string::npos) << line;
    CServiceRegistry::DestroyRegistry();
}

bool TakeCommand(HWND window, WPARAM* command)
{
    MSG msg;
    if (!PeekMessageW(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE))
        return false;
    *command = msg.wParam;
    return true;
}

TEST(WarningSweepTest, AnswersWarningsFor60TicksThenStops)
{
    WarningSweep sweep;
    HWND warning = nullptr;
    int ticks = 0;
    WPARAM command = 0;
    // 300 ms a tick: the warning comes up about 10 seconds after the arrival.
    while (sweep.Tick()) {
        ++ticks;
        if (ticks == 33)
            warning = CreateWindowExW(0, L"STATIC", L"Unsafe Removal of Device", WS_POPUP, 0, 0, 10, 10, nullptr,
                                      nullptr, nullptr, nullptr);
        if (ticks == 34) {
            ASSERT_TRUE(TakeCommand(warning, &command)) << "not answered within the sweep";
            EXPECT_EQ(command, static_cast<WPARAM>(IDOK));
        }
        while (TakeCommand(warning, &command)) {
        }
        ASSERT_LE(ticks, 100);
    }
    EXPECT_EQ(ticks, 60) << "one arrival sweeps 60 times, about 18 seconds";
    EXPECT_EQ(sweep.Counter(), 1) << "idle again";
    EXPECT_FALSE(TakeCommand(warning, &command)) << "the stopping tick answered a warning";
    DestroyWindow(warning);
}

}  // namespace
