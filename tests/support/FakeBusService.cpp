#include "tests/support/FakeBusService.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QUuid>

namespace {

const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

QString key(const QString& path, const QString& interface, const QString& member) {
    return path + QLatin1Char(' ') + interface + QLatin1Char('.') + member;
}

} // namespace

FakeBusService::FakeBusService(const QString& busAddress)
    : m_connectionName(QStringLiteral("fake-") + QUuid::createUuid().toString(QUuid::Id128)),
      m_bus(QDBusConnection::connectToBus(busAddress, m_connectionName)) {
    m_bus.registerVirtualObject(QStringLiteral("/"), this, QDBusConnection::SubPath);
}

FakeBusService::~FakeBusService() {
    m_bus.unregisterObject(QStringLiteral("/"));
    QDBusConnection::disconnectFromBus(m_connectionName);
}

bool FakeBusService::own(const QString& name) {
    m_name = name;
    return m_bus.registerService(name);
}

void FakeBusService::leave() {
    m_bus.unregisterService(m_name);
}

void FakeBusService::setReply(const QString& path, const QString& interface, const QString& method,
                              const QVariantList& reply) {
    std::lock_guard lock(m_mutex);
    m_replies[key(path, interface, method)] = reply;
}

void FakeBusService::setProperty(const QString& path, const QString& interface, const QString& name,
                                 const QVariant& value) {
    {
        std::lock_guard lock(m_mutex);
        m_properties[key(path, interface, name)] = value;
    }
    emitSignal(path, kProperties, QStringLiteral("PropertiesChanged"),
               {interface, QVariantMap{{name, value}}, QStringList()});
}

void FakeBusService::emitSignal(const QString& path, const QString& interface, const QString& name,
                                const QVariantList& arguments) {
    QDBusMessage signal = QDBusMessage::createSignal(path, interface, name);
    signal.setArguments(arguments);
    m_bus.send(signal);
}

QList<QDBusMessage> FakeBusService::calls() const {
    std::lock_guard lock(m_mutex);
    return m_calls;
}

QString FakeBusService::introspect(const QString&) const {
    return {};
}

bool FakeBusService::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
    if (message.type() != QDBusMessage::MethodCallMessage)
        return false;
    const QVariantList arguments = message.arguments();
    std::lock_guard lock(m_mutex);
    m_calls.append(message);
    if (message.interface() == kProperties && message.member() == QStringLiteral("Get")) {
        const QString property =
            key(message.path(), arguments.value(0).toString(), arguments.value(1).toString());
        if (m_properties.contains(property))
            return connection.send(message.createReply(
                QVariant::fromValue(QDBusVariant(m_properties.value(property)))));
    }
    const QString method = key(message.path(), message.interface(), message.member());
    if (m_replies.contains(method))
        return connection.send(message.createReply(m_replies.value(method)));
    return connection.send(
        message.createErrorReply(QDBusError::UnknownMethod, QStringLiteral("not offered")));
}
