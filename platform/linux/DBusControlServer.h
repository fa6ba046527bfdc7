#pragma once

#include "platform/ControlServer.h"

#include <QDBusConnection>
#include <QObject>

// The control channel on Linux: the D-Bus interface (DBusControlAdaptor) at the program's
// object path, under the program's bus name.
class DBusControlServer : public ControlServer {
public:
    explicit DBusControlServer(QDBusConnection bus);

    bool publish(ControlTarget& target) override;

private:
    QDBusConnection m_bus;
    // The exported object; it owns the adaptor.
    QObject m_object;
};
