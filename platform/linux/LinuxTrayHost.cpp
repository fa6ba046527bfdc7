#include "platform/TrayHost.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

bool TrayHost::reportsOnlySingleActivation() {
    // Qt shows its icon as a StatusNotifierItem whenever a watcher owns this name.
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface() &&
           bus.interface()->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher"));
}
