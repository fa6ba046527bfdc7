#pragma once

#include <QObject>

// Follows whether the machine runs on battery power. Lives on the user-interface thread and
// never blocks it.
class PowerSourceWatcher : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Starts following the power source. Until the system has answered, and on a system that
    // cannot tell, the machine counts as on mains power.
    virtual void start() = 0;
    virtual bool onBattery() const = 0;

signals:
    void onBatteryChanged(bool onBattery);
};
