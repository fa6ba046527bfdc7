#include "tests/support/OneClientDisplay.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

sockaddr_un addressOf(const QString& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::strncpy(address.sun_path, name.constData(), sizeof(address.sun_path) - 1);
    return address;
}

QString socketPath(int display) {
    return QStringLiteral("/tmp/.X11-unix/X%1").arg(display);
}

bool writeAll(int fd, const char* data, ssize_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

} // namespace

OneClientDisplay::OneClientDisplay(const QString& upstream)
    : m_upstreamPath(socketPath(upstream.mid(1).toInt())) {
    if (::pipe(m_stop) != 0)
        return;
    m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // The first display number whose socket and lock are both free.
    for (int number = 300; number < 400 && m_listener >= 0; ++number) {
        const QString path = socketPath(number);
        if (QFile::exists(path) || QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)))
            continue;
        const sockaddr_un address = addressOf(path);
        if (::bind(m_listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(m_listener, 8) == 0) {
            m_path = path;
            m_display = QStringLiteral(":%1").arg(number);
            m_thread = std::thread([this] { run(); });
            return;
        }
    }
}

OneClientDisplay::~OneClientDisplay() {
    if (m_thread.joinable()) {
        const char stop = 0;
        writeAll(m_stop[1], &stop, 1);
        m_thread.join();
    }
    for (const int fd : {m_listener, m_stop[0], m_stop[1]})
        if (fd >= 0)
            ::close(fd);
    if (!m_path.isEmpty())
        QFile::remove(m_path);
}

void OneClientDisplay::run() {
    int client = -1;
    int upstream = -1;
    bool served = false;
    for (;;) {
        pollfd fds[] = {{m_stop[0], POLLIN, 0},
                        {m_listener, POLLIN, 0},
                        {client, POLLIN, 0},
                        {upstream, POLLIN, 0}};
        if (::poll(fds, 4, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents)
            break;
        if (fds[1].revents & POLLIN) {
            const int accepted = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (accepted >= 0 && !served) {
                served = true;
                client = accepted;
                upstream = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
                const sockaddr_un address = addressOf(m_upstreamPath);
                if (::connect(upstream, reinterpret_cast<const sockaddr*>(&address),
                              sizeof address) != 0) {
                    ::close(upstream);
                    upstream = -1;
                }
            } else if (accepted >= 0) {
                ::close(accepted); // every later client finds the display gone
            }
        }
        // Pass the first client's bytes both ways until either side ends.
        for (const auto& [from, to] : {std::pair{2, upstream}, std::pair{3, client}}) {
            if (!(fds[from].revents & (POLLIN | POLLHUP | POLLERR)) || fds[from].fd < 0)
                continue;
            char buffer[65536];
            const ssize_t got = ::read(fds[from].fd, buffer, sizeof buffer);
            if (got <= 0 || to < 0 || !writeAll(to, buffer, got)) {
                for (int* fd : {&client, &upstream})
                    if (*fd >= 0) {
                        ::close(*fd);
                        *fd = -1;
                    }
                break;
            }
        }
    }
    for (const int fd : {client, upstream})
        if (fd >= 0)
            ::close(fd);
}
