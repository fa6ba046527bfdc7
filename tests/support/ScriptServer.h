#pragma once

#include "tests/support/PythonServer.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A test server written in Python, run by the system's python in a temporary folder of its own.
// The script gets the folder as its first argument, listens on 127.0.0.1, prints its port once
// it does and appends what it sees to "<folder>/log", one line per event.
class ScriptServer {
public:
    ScriptServer(const char* script, const QStringList& arguments);
    ~ScriptServer();
    ScriptServer(const ScriptServer&) = delete;
    ScriptServer& operator=(const ScriptServer&) = delete;

    bool isRunning() const { return m_port != 0; }
    quint16 port() const { return m_port; }
    QString filePath(const QString& relative) const { return m_dir.filePath(relative); }
    // Creates a file (and its folders) below the folder; false when it cannot be written.
    bool writeFile(const QString& relativePath, const QByteArray& content) const;
    // The whole lines logged so far.
    QStringList log() const;
    void stop();

private:
    QTemporaryDir m_dir;
    PythonServer m_server;
    quint16 m_port = 0;
};
