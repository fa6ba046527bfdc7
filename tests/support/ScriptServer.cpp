#include "tests/support/ScriptServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

ScriptServer::ScriptServer(const char* script, const QStringList& arguments) {
    QFile file(m_dir.filePath(QStringLiteral("server.py")));
    if (!m_dir.isValid() || !file.open(QIODevice::WriteOnly) || file.write(script) < 0)
        return;
    file.close();
    m_port = m_server.start(file.fileName(), QStringList{m_dir.path()} + arguments);
}

ScriptServer::~ScriptServer() {
    stop();
}

void ScriptServer::stop() {
    m_server.stop();
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
