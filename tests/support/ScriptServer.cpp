#include "tests/support/ScriptServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

ScriptServer::ScriptServer(const char* script, const QStringList& arguments) {
    QFile file(m_dir.filePath(QStringLiteral("server.py")));
    if (!m_dir.isValid() || !file.open(QIODevice::WriteOnly) || file.write(script) < 0)
        return;
    file.close();
    m_process.setProgram(QStringLiteral("/usr/bin/python3"));
    m_process.setArguments(QStringList{file.fileName(), m_dir.path()} + arguments);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start();
    if (!m_process.waitForStarted(10000))
        return;
    while (!m_process.canReadLine() && m_process.waitForReadyRead(20000)) {
    }
    bool ok = false;
    const uint port = m_process.readLine().trimmed().toUInt(&ok);
    if (ok && port > 0 && port < 65536)
        m_port = static_cast<quint16>(port);
}

ScriptServer::~ScriptServer() {
    stop();
}

void ScriptServer::stop() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000))
        m_process.kill();
    m_process.waitForFinished(5000);
}

bool ScriptServer::writeFile(const QString& relativePath, const QByteArray& content) const {
    const QString path = m_dir.filePath(relativePath);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size();
}

QStringList ScriptServer::log() const {
    QFile file(m_dir.filePath(QStringLiteral("log")));
    QStringList lines;
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (line.endsWith('\n')) // a line still being written is read on the next look
            lines.append(QString::fromUtf8(line.chopped(1)));
    }
    return lines;
}
