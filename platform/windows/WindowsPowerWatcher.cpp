#include "platform/windows/WindowsPowerWatcher.h"

#include "platform/windows/HiddenWindow.h"

WindowsPowerWatcher::WindowsPowerWatcher(QObject* parent) : PowerSourceWatcher(parent) {}

WindowsPowerWatcher::~WindowsPowerWatcher() = default;

void WindowsPowerWatcher::start() {
    if (m_window)
        return;
    m_window = std::make_unique<HiddenWindow>(nullptr, [this](UINT message, WPARAM wParam, LPARAM) {
        if (message == WM_POWERBROADCAST &&
            (wParam == PBT_APMPOWERSTATUSCHANGE || wParam == PBT_APMRESUMEAUTOMATIC))
            read();
        return std::optional<LRESULT>();
    });
    read();
}

void WindowsPowerWatcher::read() {
    SYSTEM_POWER_STATUS status{};
    // ACLineStatus: 0 offline, 1 online, 255 unknown.
    const bool battery = GetSystemPowerStatus(&status) && status.ACLineStatus == 0;
    if (battery == m_onBattery)
        return;
    m_onBattery = battery;
    emit onBatteryChanged(battery);
}
