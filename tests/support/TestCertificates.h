#pragma once

#include <QString>
#include <QTemporaryDir>

// A certificate authority made for one test, and a server certificate it signed for 127.0.0.1
// and localhost (keys unencrypted, PEM files), made with the openssl command.
class TestCertificates {
public:
    TestCertificates();

    bool isValid() const { return m_valid; }
    // The authority's certificate: what TESSARON_CA_BUNDLE names to trust it.
    QString authorityFile() const { return m_dir.filePath(QStringLiteral("ca.pem")); }
    QString certificateFile() const { return m_dir.filePath(QStringLiteral("server.pem")); }
    QString keyFile() const { return m_dir.filePath(QStringLiteral("server.key")); }

private:
    QTemporaryDir m_dir;
    bool m_valid = false;
};

// Sets an environment variable for one scope and puts back what was there.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const QString& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* m_name;
    bool m_wasSet;
    QByteArray m_saved;
};
