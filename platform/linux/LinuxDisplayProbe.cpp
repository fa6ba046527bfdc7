#include "platform/DisplayProbe.h"

#include <QByteArray>
#include <QFileInfo>

#include <xcb/xcb.h>

#include <csignal>

struct DisplayProbe::Connection {
    xcb_connection_t* connection = nullptr;
    ~Connection() { xcb_disconnect(connection); }
};

namespace {

bool waylandReachable() {
    const QByteArray display = qgetenv("WAYLAND_DISPLAY");
    if (display.isEmpty())
        return false;
    if (display.startsWith('/'))
        return QFileInfo::exists(QString::fromLocal8Bit(display));
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(QString::fromLocal8Bit(runtime + '/' + display));
}

} // namespace

DisplayProbe::DisplayProbe() {
    // A server that drops a connection (a display going away, a reset) makes the next write to
    // it fail; that must end as a failed connection, not kill the program with SIGPIPE. The
    // network transfers want the same.
    ::signal(SIGPIPE, SIG_IGN);
}
DisplayProbe::~DisplayProbe() = default;

bool DisplayProbe::canOpenDisplay(QString* reason) {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    // Platforms that need no display (headless test runs) always start.
    if (platform.startsWith("offscreen") || platform.startsWith("minimal"))
        return true;
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
        auto held = std::make_unique<Connection>();
        held->connection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(held->connection) == 0) {
            m_connection = std::move(held);
            return true;
        }
    }
    if (waylandReachable())
        return true;
    if (reason) {
        if (qEnvironmentVariableIsEmpty("DISPLAY") &&
            qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            *reason = QStringLiteral("neither DISPLAY nor WAYLAND_DISPLAY is set");
        else
            *reason = QStringLiteral("the display named by DISPLAY cannot be opened");
    }
    return false;
}

void DisplayProbe::release() {
    m_connection.reset();
}
