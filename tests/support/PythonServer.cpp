#include "tests/support/PythonServer.h"

#include "tests/support/Waiting.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {

// The script runs on the host, outside Wine when the tests run under it: a drive path
// ("C:/users/...") given to it becomes the host's path of that drive's folder. Nothing
// changes where no Wine prefix is set.
QString hostPath(const QString& argument) {
    const QString prefix = qEnvironmentVariable("WINEPREFIX");
    static const QRegularExpression drive(QStringLiteral("^([A-Za-z]):[/\\\\](.*)$"));
    const QRegularExpressionMatch match = drive.match(argument);
    if (prefix.isEmpty() || !match.hasMatch())
        return argument;
    const QString rest = QDir::fromNativeSeparators(match.captured(2));
    const QString letter = match.captured(1).toLower();
    if (letter == QLatin1String("z"))
        return QLatin1Char('/') + rest;
    return QDir::fromNativeSeparators(prefix) + QStringLiteral("/dosdevices/") + letter +
           QStringLiteral(":/") + rest;
}

} // namespace

PythonServer::~PythonServer() {
    stop();
}

quint16 PythonServer::start(const QString& script, const QStringList& arguments) {
    m_process.setProgram(QStringLiteral("/usr/bin/python3"));
    QStringList hostArguments{hostPath(script)};
    for (const QString& argument : arguments)
        hostArguments << hostPath(argument);
    if (!qEnvironmentVariableIsEmpty("WINEPREFIX"))
        return startOnHost(hostArguments);
    m_process.setArguments(hostArguments);
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

quint16 PythonServer::startOnHost(const QStringList& hostArguments) {
    m_control = std::make_unique<QTemporaryDir>();
    if (!m_control->isValid())
        return 0;
    m_process.setArguments(
        QStringList{QStringLiteral(TESSARON_SOURCE_DIR "/tests/support/wine-host-server.py"),
                    hostPath(m_control->path())} +
        hostArguments);
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.start();
    QFile port(m_control->filePath(QStringLiteral("port")));
    if (!waitUntil([&] { return port.exists(); }, 30000) || !port.open(QIODevice::ReadOnly))
        return 0;
    bool ok = false;
    const uint number = port.readAll().trimmed().toUInt(&ok);
    return ok && number > 0 && number < 65536 ? static_cast<quint16>(number) : 0;
}

void PythonServer::stop() {
    if (m_control) {
        QFile stop(m_control->filePath(QStringLiteral("stop")));
        if (stop.open(QIODevice::WriteOnly)) {
            stop.close();
            waitUntil(
                [&] { return QFile::exists(m_control->filePath(QStringLiteral("stopped"))); });
        }
        m_control.reset();
        return;
    }
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000))
        m_process.kill();
    m_process.waitForFinished(5000);
}
