#include "platform/DisplayProbe.h"

#include <QByteArray>
#include <QFile>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <csignal>

struct DisplayProbe::Connection {
    xcb_connection_t* connection = nullptr;
    ~Connection() { xcb_disconnect(connection); }
};

namespace {

// Whether a compositor listens on the socket WAYLAND_DISPLAY names: a socket file left by one
// that has gone does not count.
bool waylandAnswers() {
    const QByteArray display = qgetenv("WAYLAND_DISPLAY");
    if (display.isEmpty())
        return false;
    QByteArray path = display;
    if (!display.startsWith('/')) {
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        if (runtime.isEmpty())
            return false;
        path = runtime + '/' + display;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= static_cast<qsizetype>(sizeof address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.constData(), path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool answered =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return answered;
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
    const bool chosen = !platform.isEmpty();
    const bool hasX = !qEnvironmentVariableIsEmpty("DISPLAY");
    // On a Wayland session the program is a Wayland client of its own, with X (Xwayland) to
    // fall back on.
    if ((!chosen || platform.contains("wayland")) && waylandAnswers()) {
        if (!chosen)
            m_platform = hasX ? "wayland;xcb" : "wayland";
        return true;
    }
    if (hasX && (!chosen || !platform.contains("wayland") || platform.contains("xcb"))) {
        auto held = std::make_unique<Connection>();
        held->connection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(held->connection) == 0) {
            m_connection = std::move(held);
            if (!chosen)
                m_platform = "xcb";
            return true;
        }
    }
    if (reason) {
        if (!hasX && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            *reason = QStringLiteral("neither DISPLAY nor WAYLAND_DISPLAY is set");
        else if (!hasX)
            *reason = QStringLiteral("no compositor answers on WAYLAND_DISPLAY");
        else
            *reason = QStringLiteral("the display named by DISPLAY cannot be opened");
    }
    return false;
}

void DisplayProbe::release() {
    m_connection.reset();
}
