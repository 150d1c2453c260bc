#include "mainwindow/DeviceEvents.h"

#include <dbt.h>

#include "framework/Log.h"
#include "ostel.h"
#include "plugin/ServiceRegistry.h"

namespace kivra {

const WarningWindow kWarningWindows[6] = {
    {L"Windows 资源管理器", IDCANCEL},
    {L"Windows Explorer", IDCANCEL},
    {L"Desktop", IDCANCEL},
    {L"Unsafe Removal of Device", IDOK},
    {L"桌面", IDCANCEL},
    {L"不安全的设备删除", IDOK},
};

void ForwardPowerEvent(WPARAM event, LPARAM data)
{
    if (IsForwardedPowerEvent(event))
        TPostMessage(kPowerBusMessage, static_cast<unsigned>(event), static_cast<long>(data));
}

void AnnounceDeviceArrival(CServiceRegistry* registry, LPARAM data)
{
    if (registry != nullptr) {
        MSG arrival{};
        arrival.message = WM_DEVICECHANGE;
        arrival.wParam = DBT_DEVICEARRIVAL;
        arrival.lParam = data;
        registry->DispatchServiceMessage(&arrival);
    }
    TPostMessage(kDeviceArrivedBusMessage, kDeviceArrivedBusCode, static_cast<long>(data));
    GetLog().Log(kDeviceChangeLogLevel, L"%s", kDeviceChangeLogLine);
}

bool WarningSweep::Tick()
{
    if (counter_ > kWarningSweepTicks) {
        counter_ = 1;
        return false;
    }
    for (const WarningWindow& warning : kWarningWindows)
        if (HWND window = ::FindWindowW(nullptr, warning.title))
            ::PostMessageW(window, WM_COMMAND, warning.command, 0);
    ++counter_;
    return true;
}

}  // namespace kivra
