#pragma once

#include "platform/PowerSourceWatcher.h"

#include <QDBusConnection>

class DBusFlag;

// UPower's OnBattery on the system bus.
class UPowerWatcher : public PowerSourceWatcher {
    Q_OBJECT

public:
    explicit UPowerWatcher(QDBusConnection systemBus, QObject* parent = nullptr);

    void start() override;
    bool onBattery() const override;

private:
    DBusFlag* m_flag;
};
