#include "platform/linux/DBusControlConnection.h"

#include "resources/CommandLineTemplate.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusVariant>

namespace C = CommandLineTemplate;

namespace {

const QString kName = QString::fromLatin1(C::kBusName);
const QString kPath = QString::fromLatin1(C::kObjectPath);

} // namespace

DBusControlConnection::DBusControlConnection(QDBusConnection bus) : m_bus(std::move(bus)) {}

ControlReply DBusControlConnection::ask(QDBusMessage message, QDBusMessage* reply) {
    ControlReply answer;
    // A name nobody owns would be started by the bus if it could: ask only a running copy.
    if (!m_bus.isConnected() || !m_bus.interface()->isServiceRegistered(kName).value())
        return answer;
    message.setAutoStartService(false);
    *reply = m_bus.call(message);
    if (reply->type() == QDBusMessage::ReplyMessage) {
        answer.outcome = ControlReply::Outcome::Answered;
        return answer;
    }
    const QDBusError error(*reply);
    // It ended between the two questions.
    if (error.type() == QDBusError::ServiceUnknown || error.type() == QDBusError::Disconnected)
        return answer;
    answer.outcome = ControlReply::Outcome::Failed;
    answer.error = error.message();
    return answer;
}

ControlReply DBusControlConnection::call(const QString& method) {
    QDBusMessage reply;
    return ask(QDBusMessage::createMethodCall(kName, kPath, kName, method), &reply);
}

ControlReply DBusControlConnection::properties() {
    QDBusMessage getAll = QDBusMessage::createMethodCall(
        kName, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
    getAll << kName;
    QDBusMessage reply;
    ControlReply answer = ask(getAll, &reply);
    if (answer.outcome != ControlReply::Outcome::Answered)
        return answer;
    const QVariant argument = reply.arguments().value(0);
    if (argument.canConvert<QDBusArgument>())
        argument.value<QDBusArgument>() >> answer.properties;
    else
        answer.properties = argument.toMap();
    for (QVariant& value : answer.properties)
        if (value.canConvert<QDBusVariant>())
            value = value.value<QDBusVariant>().variant();
    return answer;
}
