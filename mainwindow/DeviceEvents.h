// System events that matter for a USB modem.
//
// Power events that announce or end a suspend go to the message bus. A device
// arrival goes to the plugin services bound to WM_DEVICECHANGE and to the
// bus, and starts the warning sweep: for about 18 seconds (60 ticks of 300
// ms) the system's warning windows about a removed device are answered, since
// the modem's storage part comes and goes when the modem switches modes.
#pragma once

#include <windows.h>

namespace kivra {

class CServiceRegistry;

// Timer 3 of the main window: the warning sweep.
constexpr UINT_PTR kWarningSweepTimer = 3;
constexpr UINT kWarningSweepPeriodMs = 300;
// A sweep answers the warnings on this many ticks; the next one stops it.
constexpr int kWarningSweepTicks = 60;
// Posted on the bus: 0x8069 with wParam 0x8000 for an arrival, and the
// forwarded power events under their own message number.
constexpr unsigned long kDeviceArrivedBusMessage = 0x8069;
constexpr unsigned kDeviceArrivedBusCode = 0x8000;
constexpr unsigned long kPowerBusMessage = WM_POWERBROADCAST;
constexpr unsigned kDeviceChangeLogLevel = 1;
constexpr wchar_t kDeviceChangeLogLine[] = L"WM_DEVICECHANGE....";

// A system warning window and the command that answers it.
struct WarningWindow {
    const wchar_t* title;
    WPARAM command;
};
// In the order they are looked for.
extern const WarningWindow kWarningWindows[6];

// Query suspend, suspend, resume from suspend and automatic resume.
constexpr bool IsForwardedPowerEvent(WPARAM event)
{
    return event == PBT_APMQUERYSUSPEND || event == PBT_APMSUSPEND || event == PBT_APMRESUMESUSPEND ||
           event == PBT_APMRESUMEAUTOMATIC;
}

// WM_POWERBROADCAST: the forwarded events go to the bus.
void ForwardPowerEvent(WPARAM event, LPARAM data);

// A device arrival: to the services bound to WM_DEVICECHANGE with a null
// window (registry may be null), to the bus, and one log line. The sweep is
// started by the caller (it owns the timer). The bus gets data as a number
// only: the record it points to is gone by the time the bus delivers it.
void AnnounceDeviceArrival(CServiceRegistry* registry, LPARAM data);

// The sweep's tick counter: idle at 1, active from 2 to 61.
class WarningSweep {
public:
    // One tick of timer 3: answers every warning window found and counts,
    // true while the sweep goes on; on the tick after the 60th it resets the
    // counter and answers false (the caller stops the timer).
    bool Tick();
    int Counter() const { return counter_; }

private:
    int counter_ = 1;
};

}  // namespace kivra
