#include "platform/linux/DBusControlServer.h"

#include "platform/LogCategories.h"
#include "platform/linux/DBusControlAdaptor.h"
#include "resources/CommandLineTemplate.h"

#include <QDBusConnectionInterface>

DBusControlServer::DBusControlServer(QDBusConnection bus) : m_bus(std::move(bus)) {}

bool DBusControlServer::publish(ControlTarget& target) {
    const QString name = QString::fromLatin1(CommandLineTemplate::kBusName);
    const QString path = QString::fromLatin1(CommandLineTemplate::kObjectPath);
    if (!m_bus.isConnected()) {
        qCWarning(lcApp).noquote() << "No session bus, so no command line or D-Bus control:"
                                   << m_bus.lastError().message();
        return false;
    }
    new DBusControlAdaptor(m_object, target, m_bus);
    if (!m_bus.registerObject(path, &m_object, QDBusConnection::ExportAdaptors)) {
        qCWarning(lcApp).noquote()
            << "Cannot export the D-Bus control interface:" << m_bus.lastError().message();
        return false;
    }
    // The single-instance lock is held, so no other copy of this session owns the name; one
    // of another session sharing the bus keeps it.
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        m_bus.interface()->registerService(name, QDBusConnectionInterface::DontQueueService,
                                           QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        qCWarning(lcApp).noquote()
            << "Cannot take the D-Bus name" << name
            << (reply.isValid() ? QStringLiteral("(owned by another program)")
                                : reply.error().message());
        m_bus.unregisterObject(path);
        return false;
    }
    return true;
}
