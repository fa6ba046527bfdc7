#include "tests/support/PrivateSessionBus.h"

#include <QUuid>

PrivateSessionBus::PrivateSessionBus()
    : m_connectionName(QStringLiteral("test-bus-") + QUuid::createUuid().toString(QUuid::Id128)) {
    m_process.start(QStringLiteral("dbus-daemon"),
                    {QStringLiteral("--session"), QStringLiteral("--nofork"),
                     QStringLiteral("--print-address=1")});
    if (!m_process.waitForStarted(10000))
        return;
    while (!m_process.canReadLine() && m_process.waitForReadyRead(20000)) {
    }
    m_address = QString::fromLatin1(m_process.readLine().trimmed());
}

PrivateSessionBus::~PrivateSessionBus() {
    QDBusConnection::disconnectFromBus(m_connectionName);
    m_process.terminate();
    if (!m_process.waitForFinished(5000))
        m_process.kill();
    m_process.waitForFinished(5000);
}

QDBusConnection PrivateSessionBus::connection() const {
    return QDBusConnection::connectToBus(m_address, m_connectionName);
}
