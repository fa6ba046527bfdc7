#include "app/ControlClient.h"

#include "platform/PrintableText.h"
#include "resources/CommandLineTemplate.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusVariant>

namespace C = CommandLineTemplate;

namespace {

const QString kName = QString::fromLatin1(C::kBusName);
const QString kPath = QString::fromLatin1(C::kObjectPath);

// The properties in the order they are printed, each on a line of its own: a picture's name
// may hold line breaks and terminal escapes, and the bus peer answering may be anyone.
constexpr const char* kStatusKeys[] = {
    "Suspended",           "PausedBy", "SourceMode", "CurrentPicture",
    "SecondsToNextChange", "Screens",  "History",    "Favourites"};

QString printable(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<bool>())
        return value.toBool() ? QStringLiteral("yes") : QStringLiteral("no");
    if (value.metaType() == QMetaType::fromType<QStringList>()) {
        const QStringList items = value.toStringList();
        return items.isEmpty() ? QStringLiteral("none")
                               : PrintableText::escaped(items.join(QStringLiteral("; ")));
    }
    return PrintableText::escaped(value.toString());
}

} // namespace

ControlClient::ControlClient(QDBusConnection bus) : m_bus(std::move(bus)) {}

std::optional<QDBusMessage> ControlClient::ask(QDBusMessage message, std::FILE* errors) {
    const auto notRunning = [errors] {
        std::fprintf(errors, "%s\n", C::kNotRunning);
        return std::nullopt;
    };
    // A name nobody owns would be started by the bus if it could: ask only a running copy.
    if (!m_bus.isConnected() || !m_bus.interface()->isServiceRegistered(kName).value())
        return notRunning();
    message.setAutoStartService(false);
    const QDBusMessage reply = m_bus.call(message);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return reply;
    const QDBusError error(reply);
    // It ended between the two questions.
    if (error.type() == QDBusError::ServiceUnknown || error.type() == QDBusError::Disconnected)
        return notRunning();
    std::fprintf(errors, "tessaron: %s\n", qPrintable(PrintableText::escaped(error.message())));
    return std::nullopt;
}

int ControlClient::call(const QString& method, std::FILE* errors) {
    return ask(QDBusMessage::createMethodCall(kName, kPath, kName, method), errors) ? 0 : 1;
}

int ControlClient::printStatus(std::FILE* out, std::FILE* errors) {
    QDBusMessage getAll = QDBusMessage::createMethodCall(
        kName, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
    getAll << kName;
    const std::optional<QDBusMessage> reply = ask(getAll, errors);
    if (!reply)
        return 1;
    QVariantMap properties;
    const QVariant argument = reply->arguments().value(0);
    if (argument.canConvert<QDBusArgument>())
        argument.value<QDBusArgument>() >> properties;
    else
        properties = argument.toMap();
    for (const char* key : kStatusKeys) {
        QVariant value = properties.value(QString::fromLatin1(key));
        if (value.canConvert<QDBusVariant>())
            value = value.value<QDBusVariant>().variant();
        std::fprintf(out, "%s: %s\n", key, qPrintable(printable(value)));
    }
    return 0;
}
