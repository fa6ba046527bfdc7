#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>

// A session bus of the test's own, so that tests running side by side never meet on one bus.
class PrivateSessionBus {
public:
    PrivateSessionBus();
    ~PrivateSessionBus();

    bool isRunning() const { return !m_address.isEmpty(); }
    QString address() const { return m_address; }
    // The test's own connection to the bus.
    QDBusConnection connection() const;

private:
    QProcess m_process;
    QString m_address;
    QString m_connectionName;
};
