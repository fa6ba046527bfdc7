#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>

#include <cstdio>
#include <optional>

// The command line's side of the D-Bus interface: asks the running copy and reports on the
// standard streams. Starts nothing: with no copy running every request fails.
class ControlClient {
public:
    explicit ControlClient(QDBusConnection bus);

    // Calls the method; the exit status (0, or 1 with a line on `errors`).
    int call(const QString& method, std::FILE* errors = stderr);
    // Prints each property as a "key: value" line on `out`; the exit status.
    int printStatus(std::FILE* out = stdout, std::FILE* errors = stderr);

private:
    // The reply, or nothing after the failure was reported on `errors`.
    std::optional<QDBusMessage> ask(QDBusMessage message, std::FILE* errors);

    QDBusConnection m_bus;
};
