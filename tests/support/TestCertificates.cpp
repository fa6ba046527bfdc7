#include "tests/support/TestCertificates.h"

#include "tests/support/PythonServer.h"

#include <QFile>
#include <QProcess>

namespace {

bool openssl(const QString& folder, const QStringList& arguments) {
    // Under Wine the host's openssl runs through the host-side launcher of the test servers.
    if (!qEnvironmentVariableIsEmpty("WINEPREFIX")) {
        PythonServer command;
        return command.start(QStringLiteral(TESSARON_SOURCE_DIR "/tests/support/host-command.py"),
                             QStringList{folder, QStringLiteral("openssl")} + arguments) == 1;
    }
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

} // namespace

TestCertificates::TestCertificates() {
    if (!m_dir.isValid())
        return;
    const QString dir = m_dir.path();
    QFile extensions(m_dir.filePath(QStringLiteral("server.ext")));
    if (!extensions.open(QIODevice::WriteOnly) ||
        // The address once more as a DNS name: libcurl's Schannel (Windows) matches a host
        // against DNS names only, where OpenSSL takes the IP entry.
        extensions.write("subjectAltName=IP:127.0.0.1,DNS:127.0.0.1,DNS:localhost\n") < 0)
        return;
    extensions.close();
    const QStringList key{QStringLiteral("-newkey"), QStringLiteral("ec"),
                          QStringLiteral("-pkeyopt"),
                          QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
    m_valid = openssl(dir, QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + key +
                               QStringList{"-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
                                           "-subj", "/CN=Tessaron test authority", "-addext",
                                           "basicConstraints=critical,CA:TRUE", "-addext",
                                           "keyUsage=critical,keyCertSign,cRLSign"}) &&
              openssl(dir, QStringList{QStringLiteral("req")} + key +
                               QStringList{"-keyout", "server.key", "-out", "server.csr", "-subj",
                                           "/CN=127.0.0.1"}) &&
              openssl(dir, {"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey",
                            "ca.key", "-CAcreateserial", "-out", "server.pem", "-days", "2",
                            "-extfile", "server.ext"});
}

ScopedEnvironment::ScopedEnvironment(const char* name, const QString& value)
    : m_name(name), m_wasSet(qEnvironmentVariableIsSet(name)), m_saved(qgetenv(name)) {
    qputenv(name, value.toLocal8Bit());
}

ScopedEnvironment::~ScopedEnvironment() {
    if (m_wasSet)
        qputenv(m_name, m_saved);
    else
        qunsetenv(m_name);
}
