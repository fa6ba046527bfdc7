#pragma once

#include "tests/support/ScriptServer.h"

#include <QString>
#include <QStringList>

// A real web server for one test: Python's http.server on 127.0.0.1 serving a temporary folder
// (a folder's index.html, or else its generated listing), over TLS when given a certificate
// and its key. It records every request with the login it carried; when given a login, it
// answers requests without that login and password with 401.
class WebTestServer {
public:
    struct Options {
        QString certificateFile{}; // empty: plain http
        QString keyFile{};
        QString user{};
        QString password{};
    };

    explicit WebTestServer(const Options& options);

    bool isRunning() const { return m_script.isRunning(); }
    quint16 port() const { return m_script.port(); }
    // "https://127.0.0.1:<port>" (or "http://...").
    QString server() const;

    bool writeFile(const QString& path, const QByteArray& content) const;
    // "GET <path> <login>" per request; the login is "-" when none was sent.
    QStringList requests() const { return m_script.log(); }

private:
    bool m_tls;
    ScriptServer m_script;
};
