#include "tests/support/PythonServer.h"

PythonServer::~PythonServer() {
    stop();
}

quint16 PythonServer::start(const QString& script, const QStringList& arguments) {
    m_process.setProgram(QStringLiteral("/usr/bin/python3"));
    m_process.setArguments(QStringList{script} + arguments);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start();
    if (!m_process.waitForStarted(10000))
        return 0;
    while (!m_process.canReadLine() && m_process.waitForReadyRead(20000)) {
    }
    bool ok = false;
    const uint port = m_process.readLine().trimmed().toUInt(&ok);
    return ok && port > 0 && port < 65536 ? static_cast<quint16>(port) : 0;
}

void PythonServer::stop() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000))
        m_process.kill();
    m_process.waitForFinished(5000);
}
