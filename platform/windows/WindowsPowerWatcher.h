#pragma once

#include "platform/PowerSourceWatcher.h"

#include <memory>

class HiddenWindow;

// The power source as GetSystemPowerStatus tells it, read again at each power broadcast
// (WM_POWERBROADCAST) to a hidden window of its own. A status the system does not know counts
// as mains power.
class WindowsPowerWatcher : public PowerSourceWatcher {
    Q_OBJECT

public:
    explicit WindowsPowerWatcher(QObject* parent = nullptr);
    ~WindowsPowerWatcher() override;

    void start() override;
    bool onBattery() const override { return m_onBattery; }

private:
    void read();

    std::unique_ptr<HiddenWindow> m_window;
    bool m_onBattery = false;
};
