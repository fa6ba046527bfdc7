#include "platform/linux/DBusFlag.h"

#include "platform/LogCategories.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

namespace {

const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// Errors that only say the desktop does not offer the service: nothing to warn about.
bool meansAbsent(const QDBusError& error) {
    // A call that may not start its service is answered so when nobody owns the name.
    if (error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        return true;
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::NoReply:
    case QDBusError::Disconnected:
    case QDBusError::UnknownObject:
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownMethod:
    case QDBusError::UnknownProperty:
        return true;
    default:
        return false;
    }
}

} // namespace

DBusFlag::DBusFlag(QDBusConnection bus, Address address, Kind kind, QString member, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)), m_address(std::move(address)), m_kind(kind),
      m_member(std::move(member)) {}

QString DBusFlag::describe() const {
    return m_address.service + QLatin1Char(' ') + m_address.path + QLatin1Char(' ') +
           m_address.interface + QLatin1Char('.') + m_member;
}

void DBusFlag::start() {
    if (!m_bus.isConnected()) {
        qCDebug(lcPlatform).noquote()
            << "not following" << describe() << "(no bus:" << m_bus.lastError().message() << ')';
        return;
    }
    // The D-Bus connections name their slots as text: there is no typed form for bus signals.
    if (m_kind == Kind::Property)
        m_bus.connect(m_address.service, m_address.path, kProperties,
                      QStringLiteral("PropertiesChanged"), this,
                      SLOT(onPropertiesChanged(QString, QVariantMap, QStringList)));
    else
        m_bus.connect(m_address.service, m_address.path, m_address.interface,
                      m_member + QStringLiteral("Changed"), this, SLOT(onChangedSignal(bool)));

    m_serviceWatcher = new QDBusServiceWatcher(m_address.service, m_bus,
                                               QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_serviceWatcher, &QDBusServiceWatcher::serviceRegistered, this, &DBusFlag::read);
    connect(m_serviceWatcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        ++m_announcements;
        set(false);
    });
    read();
}

void DBusFlag::read() {
    QDBusMessage call =
        m_kind == Kind::Property
            ? QDBusMessage::createMethodCall(m_address.service, m_address.path, kProperties,
                                             QStringLiteral("Get"))
            : QDBusMessage::createMethodCall(m_address.service, m_address.path, m_address.interface,
                                             QStringLiteral("Get") + m_member);
    if (m_kind == Kind::Property)
        call << m_address.interface << m_member;
    // Asking must not start a service the desktop did not start itself.
    call.setAutoStartService(false);
    const quint64 announcements = m_announcements;
    auto* pending = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, announcements](QDBusPendingCallWatcher* watcher) {
                watcher->deleteLater();
                const QDBusMessage reply = watcher->reply();
                if (reply.type() == QDBusMessage::ErrorMessage) {
                    const QDBusError error(reply);
                    if (meansAbsent(error))
                        qCDebug(lcPlatform).noquote()
                            << "not offered:" << describe() << '(' << error.message() << ')';
                    else
                        qCWarning(lcPlatform).noquote()
                            << "Cannot read" << describe() << ':' << error.message();
                    return;
                }
                QVariant value = reply.arguments().value(0);
                if (value.canConvert<QDBusVariant>())
                    value = value.value<QDBusVariant>().variant();
                if (value.metaType() != QMetaType::fromType<bool>()) {
                    qCWarning(lcPlatform).noquote()
                        << "Cannot read" << describe() << ": the answer is not a yes or no";
                    return;
                }
                if (announcements == m_announcements)
                    set(value.toBool());
            });
}

void DBusFlag::onChangedSignal(bool value) {
    ++m_announcements;
    set(value);
}

void DBusFlag::onPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                   const QStringList& invalidated) {
    if (interface != m_address.interface)
        return;
    QVariant value = changed.value(m_member);
    if (value.canConvert<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    if (value.metaType() == QMetaType::fromType<bool>()) {
        ++m_announcements;
        set(value.toBool());
    } else if (invalidated.contains(m_member)) {
        read();
    }
}

void DBusFlag::set(bool value) {
    if (value == m_value)
        return;
    m_value = value;
    emit valueChanged(value);
}
