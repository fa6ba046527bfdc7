#include "platform/linux/DBusScreenLockWatcher.h"

#include "platform/LogCategories.h"
#include "platform/linux/DBusFlag.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>

namespace {

const QString kLogin = QStringLiteral("org.freedesktop.login1");

} // namespace

DBusScreenLockWatcher::DBusScreenLockWatcher(QDBusConnection sessionBus, QDBusConnection systemBus,
                                             QString sessionId, QObject* parent)
    : ScreenLockWatcher(parent), m_sessionBus(std::move(sessionBus)),
      m_systemBus(std::move(systemBus)), m_sessionId(std::move(sessionId)) {}

void DBusScreenLockWatcher::start() {
    const auto screenSaver = [this](const char* name, const char* path) {
        const QString service = QString::fromLatin1(name);
        return new DBusFlag(m_sessionBus, {service, QString::fromLatin1(path), service},
                            DBusFlag::Kind::GetterAndSignal, QStringLiteral("Active"), this);
    };
    follow(screenSaver("org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver"));
    follow(screenSaver("org.gnome.ScreenSaver", "/org/gnome/ScreenSaver"));
    findLoginSession();
}

void DBusScreenLockWatcher::follow(DBusFlag* flag) {
    m_flags.append(flag);
    connect(flag, &DBusFlag::valueChanged, this, &DBusScreenLockWatcher::update);
    flag->start();
}

void DBusScreenLockWatcher::findLoginSession() {
    if (!m_systemBus.isConnected()) {
        qCDebug(lcPlatform).noquote()
            << "no system bus, so no login session lock:" << m_systemBus.lastError().message();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        kLogin, QStringLiteral("/org/freedesktop/login1"), kLogin + QStringLiteral(".Manager"),
        QStringLiteral("GetSession"));
    call << (m_sessionId.isEmpty() ? QStringLiteral("auto") : m_sessionId);
    call.setAutoStartService(false);
    auto* pending = new QDBusPendingCallWatcher(m_systemBus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* watcher) {
                watcher->deleteLater();
                const QDBusMessage reply = watcher->reply();
                const QString path = reply.arguments().value(0).value<QDBusObjectPath>().path();
                if (reply.type() != QDBusMessage::ReplyMessage || path.isEmpty()) {
                    qCDebug(lcPlatform).noquote()
                        << "no login session to follow:" << QDBusError(reply).message();
                    return;
                }
                follow(new DBusFlag(m_systemBus,
                                    {kLogin, path, kLogin + QStringLiteral(".Session")},
                                    DBusFlag::Kind::Property, QStringLiteral("LockedHint"), this));
            });
}

void DBusScreenLockWatcher::update() {
    bool locked = false;
    for (const DBusFlag* flag : m_flags)
        locked = locked || flag->value();
    if (locked == m_locked)
        return;
    m_locked = locked;
    emit lockedChanged(locked);
}
