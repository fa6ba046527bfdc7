#include "platform/ControlChannel.h"

#include "platform/linux/DBusControlConnection.h"
#include "platform/linux/DBusControlServer.h"

std::unique_ptr<ControlServer> ControlChannel::server() {
    return std::make_unique<DBusControlServer>(QDBusConnection::sessionBus());
}

std::unique_ptr<ControlConnection> ControlChannel::connection() {
    return std::make_unique<DBusControlConnection>(QDBusConnection::sessionBus());
}
