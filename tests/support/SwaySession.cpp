#include "tests/support/SwaySession.h"

#include "tests/support/ProgramUnderTest.h"

#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The fields of /proc/PID/stat after the name: "state ppid pgrp ...".
QList<QByteArray> statFields(const QString& pid) {
    QFile stat(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    // "pid (name) state ppid pgrp ...": the name may hold anything, so count from its end.
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2).split(' ');
}

// The processes of a process group other than its leader.
std::vector<pid_t> followers(pid_t group) {
    std::vector<pid_t> pids;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool isPid = false;
        const pid_t pid = entry.toInt(&isPid);
        if (!isPid || pid == group)
            continue;
        const QList<QByteArray> fields = statFields(entry);
        if (fields.size() > 2 && fields[2].toInt() == group)
            pids.push_back(pid);
    }
    return pids;
}

bool giveTo(const QString& path, unsigned uid, mode_t mode) {
    const QByteArray name = QFile::encodeName(path);
    return ::chown(name.constData(), uid, uid) == 0 && ::chmod(name.constData(), mode) == 0;
}

} // namespace

SwaySession::SwaySession(const std::vector<Output>& outputs, const QString& extraConfig, bool bar,
                         unsigned uid)
    : m_uid(uid) {
    // The folder is the user's way in; the runtime folder and home are theirs alone.
    ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
    m_runtimeDir = m_dir.filePath(QStringLiteral("run"));
    for (const char* folder : {"run", "home", "shots"}) {
        const QString path = m_dir.filePath(QString::fromLatin1(folder));
        QDir().mkpath(path);
        giveTo(path, uid, 0700);
    }
    QString config = QStringLiteral("xwayland disable\n");
    for (std::size_t i = 0; i < outputs.size(); ++i)
        config += QStringLiteral("output HEADLESS-%1 mode %2x%3 position %4 %5 scale %6\n")
                      .arg(i + 1)
                      .arg(outputs[i].mode.width())
                      .arg(outputs[i].mode.height())
                      .arg(outputs[i].position.x())
                      .arg(outputs[i].position.y())
                      .arg(outputs[i].scale);
    if (bar)
        config += QStringLiteral("bar {\n    position top\n    tray_output *\n}\n");
    config += extraConfig + u'\n';
    const QString configPath = m_dir.filePath(QStringLiteral("config"));
    QFile file(configPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) < 0) {
        m_failure = QStringLiteral("cannot write the sway configuration");
        return;
    }
    file.close();
    ::chmod(QFile::encodeName(configPath).constData(), 0644);

    if (bar && !startBus()) {
        m_failure = QStringLiteral("the desktop's session bus did not start");
        return;
    }
    QProcessEnvironment environment = baseEnvironment();
    if (!m_busAddress.isEmpty())
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_busAddress);
    environment.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    environment.insert(QStringLiteral("WLR_HEADLESS_OUTPUTS"), QString::number(outputs.size()));
    environment.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    environment.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    m_sway.setProcessEnvironment(environment);
    m_sway.setWorkingDirectory(home());
    m_sway.setProcessChannelMode(QProcess::MergedChannels);
    // A session of its own, so that sway and everything it starts (swaybg) end together.
    m_sway.setChildProcessModifier([] { ::setsid(); });
    const QString id = QString::number(uid);
    m_sway.start(QStringLiteral("setpriv"),
                 {QStringLiteral("--reuid=") + id, QStringLiteral("--regid=") + id,
                  QStringLiteral("--clear-groups"), QStringLiteral("sway"), QStringLiteral("-c"),
                  configPath});
    if (!m_sway.waitForStarted(10000)) {
        m_failure = QStringLiteral("sway did not start: ") + m_sway.errorString();
        return;
    }

    m_ready = waitUntil([&] {
                  if (m_sway.state() != QProcess::Running)
                      return true;
                  const QDir run(m_runtimeDir);
                  const QStringList wayland =
                      run.entryList({QStringLiteral("wayland-*")}, QDir::System)
                          .filter(QRegularExpression(QStringLiteral("^wayland-\\d+$")));
                  const QStringList ipc =
                      run.entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System);
                  if (wayland.isEmpty() || ipc.isEmpty())
                      return false;
                  m_waylandSocket = run.filePath(wayland.first());
                  m_ipcSocket = run.filePath(ipc.first());
                  if (outputNames().size() != static_cast<qsizetype>(outputs.size()))
                      return false;
                  // With a bar, once swaybar's tray watches for items.
                  const QDBusConnection connection = bus();
                  return !bar || (connection.isConnected() &&
                                  connection.interface()->isServiceRegistered(
                                      QStringLiteral("org.kde.StatusNotifierWatcher")));
              }) &&
              m_sway.state() == QProcess::Running;
    if (!m_ready)
        m_failure = QStringLiteral("sway did not come up with %1 outputs: ").arg(outputs.size()) +
                    QString::fromLocal8Bit(m_sway.readAll());
}

SwaySession::~SwaySession() {
    if (m_sway.state() == QProcess::NotRunning)
        return;
    const auto group = static_cast<pid_t>(m_sway.processId());
    // What sway started (swaybg) ends first, while sway is there to collect it.
    for (const pid_t pid : followers(group))
        ::kill(pid, SIGTERM);
    waitUntil([group] { return followers(group).empty(); }, 5000);
    ::kill(-group, SIGTERM);
    if (!m_sway.waitForFinished(10000)) {
        ::kill(-group, SIGKILL);
        m_sway.waitForFinished(5000);
    }
    // Whatever sway started and left (swaybg) goes with it.
    ::kill(-group, SIGKILL);
    if (m_bus.state() != QProcess::NotRunning) {
        QDBusConnection::disconnectFromBus(m_dir.path());
        m_bus.terminate();
        if (!m_bus.waitForFinished(5000))
            m_bus.kill();
        m_bus.waitForFinished(5000);
    }
}

bool SwaySession::startBus() {
    // Root and the user meet on it: it lets every user in.
    const QString socket = m_dir.filePath(QStringLiteral("bus"));
    const QString configPath = m_dir.filePath(QStringLiteral("bus.conf"));
    QFile config(configPath);
    if (!config.open(QIODevice::WriteOnly))
        return false;
    config.write(QStringLiteral(
                     "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                     "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                     "<busconfig><type>session</type><listen>unix:path=%1</listen>"
                     "<auth>EXTERNAL</auth><policy context=\"default\"><allow user=\"*\"/>"
                     "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                     "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n")
                     .arg(socket)
                     .toUtf8());
    config.close();
    m_bus.start(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--config-file=") + configPath, QStringLiteral("--nofork"),
                 QStringLiteral("--print-address=1")});
    if (!m_bus.waitForStarted(10000))
        return false;
    while (!m_bus.canReadLine() && m_bus.waitForReadyRead(20000)) {
    }
    m_busAddress = QString::fromLatin1(m_bus.readLine().trimmed());
    return !m_busAddress.isEmpty();
}

QDBusConnection SwaySession::bus() const {
    // Named after the session's folder, which no other session shares.
    return m_busAddress.isEmpty() ? QDBusConnection(QStringLiteral("none"))
                                  : QDBusConnection::connectToBus(m_busAddress, m_dir.path());
}

QProcessEnvironment SwaySession::baseEnvironment() const {
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
    environment.insert(QStringLiteral("HOME"), home());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtimeDir);
    return environment;
}

void SwaySession::addClientEnvironment(QProcessEnvironment& environment) const {
    for (const char* name : {"DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XDG_SESSION_DESKTOP",
                             "DESKTOP_SESSION", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), m_waylandSocket);
    environment.insert(QStringLiteral("SWAYSOCK"), m_ipcSocket);
    environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("sway"));
    if (!m_busAddress.isEmpty())
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_busAddress);
}

int SwaySession::runAsUser(const QString& program, const QStringList& arguments,
                           const QProcessEnvironment& environment, QByteArray* output) const {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(m_dir.path());
    const QString id = QString::number(m_uid);
    process.start(QStringLiteral("setpriv"),
                  QStringList{QStringLiteral("--reuid=") + id, QStringLiteral("--regid=") + id,
                              QStringLiteral("--clear-groups"), program} +
                      arguments);
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished(5000);
        return -1;
    }
    if (output)
        *output = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

int SwaySession::swaymsg(const QStringList& arguments, QByteArray* output) const {
    QProcessEnvironment environment = baseEnvironment();
    environment.insert(QStringLiteral("SWAYSOCK"), m_ipcSocket);
    return runAsUser(QStringLiteral("swaymsg"), arguments, environment, output);
}

QStringList SwaySession::outputNames() const {
    QByteArray json;
    if (m_ipcSocket.isEmpty() ||
        swaymsg({QStringLiteral("-t"), QStringLiteral("get_outputs")}, &json) != 0)
        return {};
    QStringList names;
    const QJsonArray outputs = QJsonDocument::fromJson(json).array();
    for (const QJsonValue& output : outputs)
        if (output.toObject().value(QStringLiteral("active")).toBool())
            names << output.toObject().value(QStringLiteral("name")).toString();
    return names;
}

QImage SwaySession::grab(const QString& output) const {
    QProcessEnvironment environment = baseEnvironment();
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), m_waylandSocket);
    const QString shot = m_dir.filePath(QStringLiteral("shots/") + output + QStringLiteral(".png"));
    QFile::remove(shot);
    if (runAsUser(QStringLiteral("grim"), {QStringLiteral("-o"), output, shot}, environment,
                  nullptr) != 0)
        return {};
    return QImage(shot);
}

std::vector<int> SwaySession::swaybgsOf(int parent) {
    std::vector<int> pids;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        const QList<QByteArray> fields = statFields(entry);
        QFile comm(QStringLiteral("/proc/") + entry + QStringLiteral("/comm"));
        if (fields.size() > 1 && fields[0] != "Z" && fields[1].toInt() == parent &&
            comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "swaybg")
            pids.push_back(entry.toInt());
    }
    return pids;
}
