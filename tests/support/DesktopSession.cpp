#include "tests/support/DesktopSession.h"

DesktopSession::DesktopSession(Tray tray) : m_tray(tray) {
    if (m_bus.isRunning() && tray == Tray::StatusNotifier)
        m_watcher = std::make_unique<SniWatcher>(m_bus.connection());
    if (tray == Tray::XEmbed && m_xvfb.isRunning()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_xvfb.display());
        m_trayer.setProcessEnvironment(env);
        m_trayer.start(QStringLiteral("trayer"),
                       {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                        QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("request"),
                        QStringLiteral("--height"), QStringLiteral("32")});
        m_trayer.waitForStarted(10000);
        // The tray is ready once its panel window exists.
        waitUntil([this] {
            return runOnDisplay(QStringLiteral("xdotool"),
                                {QStringLiteral("search"), QStringLiteral("--class"), QStringLiteral("trayer")}) == 0;
        });
    }
    auto& env = m_program.environment();
    env.insert(QStringLiteral("DISPLAY"), m_xvfb.display());
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_bus.address());
    for (const char* name : {"WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_CURRENT_DESKTOP",
                             "XDG_SESSION_DESKTOP", "DESKTOP_SESSION", "SESSION_MANAGER"})
        env.remove(QString::fromLatin1(name));
}

DesktopSession::~DesktopSession() {
    if (m_trayer.state() != QProcess::NotRunning) {
        m_trayer.terminate();
        if (!m_trayer.waitForFinished(5000))
            m_trayer.kill();
        m_trayer.waitForFinished(5000);
    }
}

bool DesktopSession::isReady() const {
    if (!m_xvfb.isRunning() || !m_bus.isRunning())
        return false;
    if (m_tray == Tray::XEmbed)
        return m_trayer.state() == QProcess::Running;
    return m_watcher && m_watcher->isRegistered();
}

QString DesktopSession::startAndWaitForIcon(std::unique_ptr<QProcess>& process) {
    process = m_program.start();
    QString icon;
    waitUntil([&] {
        if (m_tray == Tray::StatusNotifier) {
            if (!m_watcher->registeredItems().isEmpty())
                icon = m_watcher->registeredItems().constFirst();
            return !icon.isEmpty();
        }
        // The icon is the program's only visible window: the one embedded in the tray.
        QByteArray ids;
        if (runOnDisplay(QStringLiteral("xdotool"),
                         {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                          QStringLiteral("--classname"), QStringLiteral("tessaron")},
                         &ids) == 0)
            icon = QString::fromLatin1(ids.split('\n').first());
        return !icon.isEmpty();
    });
    return icon;
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
