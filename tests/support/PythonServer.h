#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A server script run by the system's python, which prints the port it listens on as its first
// line. Stopped (terminated, killed if it lingers) when destroyed. Under Wine the script runs
// on the host through tests/support/wine-host-server.py, which passes the port and the stop
// through files, as a Windows program can neither read a host process's output nor end it.
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
    quint16 startOnHost(const QStringList& hostArguments);

    QProcess m_process;
    std::unique_ptr<QTemporaryDir> m_control; // under Wine only
};
