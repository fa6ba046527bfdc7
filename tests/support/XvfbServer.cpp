#include "tests/support/XvfbServer.h"

XvfbServer::XvfbServer(const QString& screen) {
    m_process.setProgram(QStringLiteral("Xvfb"));
    // -displayfd picks a free display and prints its number once the server accepts clients.
    m_process.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"),
                            QStringLiteral("-screen"), QStringLiteral("0"), screen,
                            QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                            QStringLiteral("-noreset")});
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start();
    if (!m_process.waitForStarted(10000))
        return;
    while (!m_process.canReadLine() && m_process.waitForReadyRead(20000)) {
    }
    const QByteArray line = m_process.readLine().trimmed();
    if (!line.isEmpty())
        m_display = QStringLiteral(":") + QString::fromLatin1(line);
}

XvfbServer::~XvfbServer() {
    m_process.terminate();
    if (!m_process.waitForFinished(5000))
        m_process.kill();
    m_process.waitForFinished(5000);
}
