#include "platform/linux/UPowerWatcher.h"

#include "platform/linux/DBusFlag.h"

UPowerWatcher::UPowerWatcher(QDBusConnection systemBus, QObject* parent)
    : PowerSourceWatcher(parent),
      m_flag(new DBusFlag(std::move(systemBus),
                          {QStringLiteral("org.freedesktop.UPower"),
                           QStringLiteral("/org/freedesktop/UPower"),
                           QStringLiteral("org.freedesktop.UPower")},
                          DBusFlag::Kind::Property, QStringLiteral("OnBattery"), this)) {
    connect(m_flag, &DBusFlag::valueChanged, this, &PowerSourceWatcher::onBatteryChanged);
}

void UPowerWatcher::start() {
    m_flag->start();
}

bool UPowerWatcher::onBattery() const {
    return m_flag->value();
}
