#pragma once

#include <QProcess>
#include <QStringList>

// A server script run by the system's python, which prints the port it listens on as its first
// line. Stopped (terminated, killed if it lingers) when destroyed.
class PythonServer {
public:
    PythonServer() = default;
    ~PythonServer();
    PythonServer(const PythonServer&) = delete;
    PythonServer& operator=(const PythonServer&) = delete;

    // Runs `script` with `arguments` and waits for its port; 0 when it did not come.
    quint16 start(const QString& script, const QStringList& arguments);
    void stop();

private:
    QProcess m_process;
};
