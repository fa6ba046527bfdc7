#pragma once

#include "platform/ControlConnection.h"

#include <QDBusConnection>
#include <QDBusMessage>

// The command line's side of the D-Bus interface: asks the program's bus name, and only while
// a running copy owns it.
class DBusControlConnection : public ControlConnection {
public:
    explicit DBusControlConnection(QDBusConnection bus);

    ControlReply call(const QString& method) override;
    ControlReply properties() override;

private:
    // The reply message when the outcome is Answered.
    ControlReply ask(QDBusMessage message, QDBusMessage* reply);

    QDBusConnection m_bus;
};
