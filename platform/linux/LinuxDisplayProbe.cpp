#include "platform/DisplayProbe.h"

#include <QByteArray>
#include <QFileInfo>

#include <xcb/xcb.h>

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

bool x11Reachable() {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool ok = connection && xcb_connection_has_error(connection) == 0;
    if (connection)
        xcb_disconnect(connection);
    return ok;
}

} // namespace

bool DisplayProbe::canOpenDisplay(QString* reason) {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    // Platforms that need no display (headless test runs) always start.
    if (platform.startsWith("offscreen") || platform.startsWith("minimal"))
        return true;
    if (waylandReachable() || x11Reachable())
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
