#pragma once

#include "tests/support/PythonServer.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A real FTP server for one test: pyftpdlib run by the system's python on 127.0.0.1 and a free
// port, serving a temporary root folder to one user. It records every command it receives (the
// password masked) and every connection it accepts and closes, so a test can check what a
// client really sent and that it left nothing open.
class FtpTestServer {
public:
    enum class ListingOrder { Sorted, Reversed };

    struct Options {
        QString user = QStringLiteral("slides");
        QString password = QStringLiteral("s3cret pass");
        // Answers PASV and EPSV with an error, so only active data connections work.
        bool refusePassive = false;
        // Answers PORT and EPRT with an error, so no active data connection can be made.
        bool refuseActive = false;
        // Name listings come in this order, not the file system's.
        ListingOrder order = ListingOrder::Sorted;
        // Accepts connections and then never says anything (not even a greeting).
        bool silent = false;
        // With both: FTP over explicit TLS, required on the control and data connections.
        QString certificateFile{};
        QString keyFile{};
        // Answers PWD with this as the current folder, whatever it is.
        QString directoryReply{};
    };

    FtpTestServer();
    explicit FtpTestServer(const Options& options);
    ~FtpTestServer();
    FtpTestServer(const FtpTestServer&) = delete;
    FtpTestServer& operator=(const FtpTestServer&) = delete;

    bool isRunning() const { return m_port != 0; }
    quint16 port() const { return m_port; }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    // The server as a user types it: "127.0.0.1:<port>".
    QString server() const;
    QString user() const { return m_options.user; }
    QString password() const { return m_options.password; }

    // The folder the user lands in at login.
    QString root() const;
    // Creates a file (and its folders) below the root; false when it cannot be written.
    bool writeFile(const QString& relativePath, const QByteArray& content) const;
    bool makeDir(const QString& relativePath) const;

    // Every command received so far in order, as "CMD argument" ("PASS ****" for passwords).
    QStringList commands() const;
    // Connections accepted and not yet closed by either side.
    int openConnections() const;
    // Forgets the commands and connections recorded so far, once every session has ended.
    void clearLog() const;

    // Stops the server now (it also stops when destroyed).
    void stop();

private:
    QStringList logLines() const;

    Options m_options;
    QTemporaryDir m_dir;
    PythonServer m_server;
    quint16 m_port = 0;
};
