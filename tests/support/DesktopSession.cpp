#include "tests/support/DesktopSession.h"

DesktopSession::DesktopSession() {
    if (m_bus.isRunning())
        m_watcher = std::make_unique<SniWatcher>(m_bus.connection());
    auto& env = m_program.environment();
    env.insert(QStringLiteral("DISPLAY"), m_xvfb.display());
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_bus.address());
    for (const char* name : {"WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_CURRENT_DESKTOP",
                             "XDG_SESSION_DESKTOP", "DESKTOP_SESSION", "SESSION_MANAGER"})
        env.remove(QString::fromLatin1(name));
}

bool DesktopSession::isReady() const {
    return m_xvfb.isRunning() && m_bus.isRunning() && m_watcher && m_watcher->isRegistered();
}

QString DesktopSession::startAndWaitForIcon(std::unique_ptr<QProcess>& process) {
    process = m_program.start();
    if (!waitUntil([&] { return !m_watcher->registeredItems().isEmpty(); }))
        return {};
    return m_watcher->registeredItems().constFirst();
}

int DesktopSession::runOnDisplay(const QString& program, const QStringList& arguments,
                                 QByteArray* output) const {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_xvfb.display());
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    if (!process.waitForFinished(30000))
        return -1;
    if (output)
        *output = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}
