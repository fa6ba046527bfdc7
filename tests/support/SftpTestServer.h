#pragma once

#include "tests/support/ScriptServer.h"

#include <QString>
#include <QStringList>

// A real SFTP server for one test: paramiko run by the system's python on 127.0.0.1 with a
// host key made at start. Its file system is a temporary folder: "/" is that folder and the
// user lands in /home/<user>. It takes the one user's password and nothing else, lists folders
// in reverse name order (so a client's keeping of the server's order shows), and records
// logins and opened files.
class SftpTestServer {
public:
    SftpTestServer();

    bool isRunning() const { return m_script.isRunning(); }
    quint16 port() const { return m_script.port(); }
    // The server as a user types it: "sftp://127.0.0.1:<port>".
    QString server() const;
    QString user() const { return QStringLiteral("slides"); }
    QString password() const { return QStringLiteral("s3cret pass"); }
    QString home() const { return QStringLiteral("/home/slides"); }

    // A file below the server's "/" ("home/slides/pics/a.jpg").
    bool writeFile(const QString& path, const QByteArray& content) const;
    // The known_hosts line for this server ("[127.0.0.1]:port ecdsa-sha2-nistp256 AAAA...").
    QString knownHostsLine() const;
    // "LOGIN <user> ok|refused" and "OPEN <path>" lines, in order.
    QStringList log() const { return m_script.log(); }

private:
    ScriptServer m_script;
};
