#pragma once

#include <QString>

#include <cstdio>
#include <memory>

class ControlConnection;
struct ControlReply;

// The command line's side of the control channel: asks the running copy and reports on the
// standard streams. Starts nothing: with no copy running every request fails.
class ControlClient {
public:
    explicit ControlClient(std::unique_ptr<ControlConnection> connection);
    ~ControlClient();

    // Calls the method; the exit status (0, or 1 with a line on `errors`).
    int call(const QString& method, std::FILE* errors = stderr);
    // Prints each property as a "key: value" line on `out`; the exit status.
    int printStatus(std::FILE* out = stdout, std::FILE* errors = stderr);

private:
    // True when answered; otherwise the failure is reported on `errors`.
    static bool answered(const ControlReply& reply, std::FILE* errors);

    std::unique_ptr<ControlConnection> m_connection;
};
