#include "tests/support/RealDesktop.h"

#include "tests/support/ProgramUnderTest.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QStandardPaths>

#include <xcb/xcb.h>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kStartBoundMs = 120000;
const QString kMarker = QStringLiteral("TESSARON_TEST_DESKTOP");

QStringList programsOf(RealDesktop::Kind kind) {
    switch (kind) {
    case RealDesktop::Kind::Gnome:
        return {QStringLiteral("gnome-shell"), QStringLiteral("Xwayland"),
                QStringLiteral("gsettings"), QStringLiteral("xdotool")};
    case RealDesktop::Kind::Xfce:
        return {QStringLiteral("xfwm4"), QStringLiteral("xfdesktop"), QStringLiteral("xdotool")};
    default:
        return {QStringLiteral("kwin_x11"), QStringLiteral("plasmashell"),
                QStringLiteral("xdotool")};
    }
}

bool giveTo(const QString& path, unsigned uid) {
    const QByteArray name = QFile::encodeName(path);
    return ::chown(name.constData(), uid, uid) == 0 && ::chmod(name.constData(), 0700) == 0;
}

// The processes whose environment carries `marker`: everything the session started, however
// it was started (on demand by the bus, or by a program that left its parent).
std::vector<pid_t> marked(const QByteArray& marker) {
    std::vector<pid_t> pids;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool isPid = false;
        const pid_t pid = entry.toInt(&isPid);
        QFile environ(QStringLiteral("/proc/") + entry + QStringLiteral("/environ"));
        if (isPid && pid != ::getpid() && environ.open(QIODevice::ReadOnly) &&
            environ.readAll().split('\0').contains(marker))
            pids.push_back(pid);
    }
    return pids;
}

// The root window's pixels over xcb, as a user would see the screen.
QImage grabRoot(const QString& display) {
    xcb_connection_t* connection = xcb_connect(display.toLocal8Bit().constData(), nullptr);
    QImage image;
    if (!xcb_connection_has_error(connection)) {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
        xcb_get_image_reply_t* reply = xcb_get_image_reply(
            connection,
            xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, screen->root, 0, 0,
                          screen->width_in_pixels, screen->height_in_pixels, ~0u),
            nullptr);
        // A 24-bit TrueColor server stores a pixel as blue, green, red, pad: Qt's RGB32.
        if (reply && xcb_get_image_data_length(reply) ==
                         4 * screen->width_in_pixels * screen->height_in_pixels)
            image = QImage(xcb_get_image_data(reply), screen->width_in_pixels,
                           screen->height_in_pixels, QImage::Format_RGB32)
                        .copy();
        free(reply);
    }
    xcb_disconnect(connection);
    return image;
}

} // namespace

QString RealDesktop::missingPrograms(Kind kind) {
    QStringList missing;
    for (const QString& program : programsOf(kind))
        if (QStandardPaths::findExecutable(program).isEmpty())
            missing << program;
    return missing.join(QStringLiteral(", "));
}

RealDesktop::RealDesktop(Kind kind, const std::vector<QSize>& screens, unsigned uid)
    : m_kind(kind), m_uid(uid) {
    ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
    for (const char* folder : {"home", "run", "logs"}) {
        QDir().mkpath(m_dir.filePath(QString::fromLatin1(folder)));
        giveTo(m_dir.filePath(QString::fromLatin1(folder)), uid);
    }
    m_environment.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
    m_environment.insert(kMarker, m_dir.path());
    m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.filePath(QStringLiteral("run")));
    for (const auto& [name, relative] :
         {std::pair{"HOME", ""}, std::pair{"XDG_CONFIG_HOME", "/.config"},
          std::pair{"XDG_DATA_HOME", "/.local/share"}, std::pair{"XDG_CACHE_HOME", "/.cache"}})
        m_environment.insert(QString::fromLatin1(name), home() + QString::fromLatin1(relative));
    // No accessibility bus: nothing here reads it, and it would outlive the session's bus.
    m_environment.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
    m_environment.insert(QStringLiteral("GTK_A11Y"), QStringLiteral("none"));
    const char* names[] = {"GNOME", "XFCE", "KDE"};
    m_environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"),
                         QString::fromLatin1(names[static_cast<int>(kind)]));

    if (const QString missing = missingPrograms(kind); !missing.isEmpty()) {
        m_failure = QStringLiteral("not installed: ") + missing;
        return;
    }
    if (kind == Kind::Gnome) {
        m_ready = startGnome(screens);
        return;
    }
    // One X screen holds every screen asked for, side by side.
    QSize size;
    for (const QSize& screen : screens)
        size = QSize(size.width() + screen.width(), std::max(size.height(), screen.height()));
    m_xvfb = std::make_unique<XvfbServer>(
        QStringLiteral("%1x%2x24").arg(size.width()).arg(size.height()));
    if (!m_xvfb->isRunning()) {
        m_failure = QStringLiteral("Xvfb did not start");
        return;
    }
    m_environment.insert(QStringLiteral("DISPLAY"), m_xvfb->display());
    m_environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("x11"));
    if (kind == Kind::Xfce) {
        m_ready = startXDesktop({QStringLiteral("xfwm4")}, {QStringLiteral("xfdesktop")},
                                QStringLiteral("org.xfce.xfdesktop"));
    } else {
        m_environment.insert(QStringLiteral("KDE_FULL_SESSION"), QStringLiteral("true"));
        m_environment.insert(QStringLiteral("KDE_SESSION_VERSION"), QStringLiteral("5"));
        m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        m_ready = startXDesktop({QStringLiteral("kwin_x11")}, {QStringLiteral("plasmashell")},
                                QStringLiteral("org.kde.plasmashell"));
    }
}

RealDesktop::~RealDesktop() {
    endEverything();
}

void RealDesktop::endEverything() {
    const QByteArray marker = (kMarker + u'=' + m_dir.path()).toLocal8Bit();
    for (const int signal : {SIGTERM, SIGKILL}) {
        for (const pid_t pid : marked(marker))
            ::kill(pid, signal);
        if (waitUntil([&] { return marked(marker).empty(); }, 10000))
            break;
    }
    for (auto& program : m_programs)
        program->waitForFinished(5000);
    for (QProcess* process : {&m_bus, &m_systemBus})
        process->waitForFinished(5000);
    QDBusConnection::disconnectFromBus(m_dir.path());
}

QProcess& RealDesktop::startAsUser(const QStringList& command) {
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(m_environment);
    process->setWorkingDirectory(home());
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardOutputFile(
        m_dir.filePath(QStringLiteral("logs/") + command.first() + QStringLiteral(".log")));
    const QString id = QString::number(m_uid);
    process->start(QStringLiteral("setpriv"),
                   QStringList{QStringLiteral("--reuid=") + id, QStringLiteral("--regid=") + id,
                               QStringLiteral("--clear-groups")} +
                       command);
    process->waitForStarted(10000);
    m_programs.push_back(std::move(process));
    return *m_programs.back();
}

int RealDesktop::runAsUser(const QStringList& command, QByteArray* output) const {
    QProcess process;
    process.setProcessEnvironment(m_environment);
    process.setWorkingDirectory(home());
    const QString id = QString::number(m_uid);
    process.start(QStringLiteral("setpriv"),
                  QStringList{QStringLiteral("--reuid=") + id, QStringLiteral("--regid=") + id,
                              QStringLiteral("--clear-groups")} +
                      command);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(5000);
        return -1;
    }
    if (output)
        *output = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

bool RealDesktop::startBus(const QString& name, const QString& type, QProcess& process,
                           QString& address) {
    // Run as the user, so that what it starts on demand is theirs; root (the test) may join.
    const QString configPath = m_dir.filePath(name + QStringLiteral(".conf"));
    QFile config(configPath);
    if (!config.open(QIODevice::WriteOnly))
        return false;
    config.write(
        QStringLiteral(
            "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
            "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
            "<busconfig><type>%1</type><listen>unix:path=%2</listen>"
            "<auth>EXTERNAL</auth>%3<policy context=\"default\"><allow user=\"*\"/>"
            "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
            "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n")
            .arg(type, m_dir.filePath(QStringLiteral("run/") + name),
                 type == u"session" ? QStringLiteral("<standard_session_servicedirs/>") : QString())
            .toUtf8());
    config.close();
    ::chmod(QFile::encodeName(configPath).constData(), 0644);
    process.setProcessEnvironment(m_environment);
    const QString id = QString::number(m_uid);
    process.start(QStringLiteral("setpriv"),
                  {QStringLiteral("--reuid=") + id, QStringLiteral("--regid=") + id,
                   QStringLiteral("--clear-groups"), QStringLiteral("dbus-daemon"),
                   QStringLiteral("--config-file=") + configPath, QStringLiteral("--nofork"),
                   QStringLiteral("--print-address=1")});
    if (!process.waitForStarted(10000))
        return false;
    while (!process.canReadLine() && process.waitForReadyRead(20000)) {
    }
    address = QString::fromLatin1(process.readLine().trimmed());
    return !address.isEmpty();
}

bool RealDesktop::waitForName(const QString& name, int boundMs) const {
    const QDBusConnection connection = bus();
    return waitUntil(
        [&] {
            return connection.isConnected() &&
                   connection.interface()->isServiceRegistered(name).value();
        },
        boundMs);
}

bool RealDesktop::startXDesktop(const QStringList& windowManager, const QStringList& shell,
                                const QString& readyName) {
    if (!startBus(QStringLiteral("bus"), QStringLiteral("session"), m_bus, m_busAddress)) {
        m_failure = QStringLiteral("the session bus did not start");
        return false;
    }
    m_environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_busAddress);
    // Without a window manager the desktop's window is never shown.
    startAsUser(windowManager);
    QProcess& desktop = startAsUser(shell);
    // Up once it owns its name and has drawn its wallpaper, a picture: more than one colour
    // where the bare X screen is black.
    const auto drawn = [&] {
        const QImage shot = grab();
        QSet<QRgb> colours;
        for (int y = 0; y < shot.height(); y += shot.height() / 8 + 1)
            for (int x = 0; x < shot.width(); x += shot.width() / 8 + 1)
                colours.insert(shot.pixel(x, y));
        return colours.size() > 1;
    };
    if (!waitForName(readyName, kStartBoundMs) || !waitUntil(drawn, kStartBoundMs) ||
        desktop.state() != QProcess::Running) {
        QFile log(m_dir.filePath(QStringLiteral("logs/") + shell.first() + QStringLiteral(".log")));
        log.open(QIODevice::ReadOnly);
        m_failure = shell.first() + QStringLiteral(" did not come up: ") +
                    QString::fromLocal8Bit(log.readAll().right(4000));
        return false;
    }
    return true;
}

bool RealDesktop::startGnome(const std::vector<QSize>& screens) {
    // The shell ends at start without a system bus.
    QString systemAddress;
    if (!startBus(QStringLiteral("system"), QStringLiteral("system"), m_systemBus, systemAddress) ||
        !startBus(QStringLiteral("bus"), QStringLiteral("session"), m_bus, m_busAddress)) {
        m_failure = QStringLiteral("the buses did not start");
        return false;
    }
    m_environment.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), systemAddress);
    m_environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_busAddress);
    m_environment.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("dconf"));
    m_environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    // The tray: the shell shows StatusNotifierItems through this extension.
    runAsUser({QStringLiteral("gsettings"), QStringLiteral("set"),
               QStringLiteral("org.gnome.shell"), QStringLiteral("enabled-extensions"),
               QStringLiteral("['ubuntu-appindicators@ubuntu.com']")});
    QStringList command{QStringLiteral("gnome-shell"), QStringLiteral("--headless"),
                        QStringLiteral("--wayland"), QStringLiteral("--unsafe-mode")};
    for (const QSize& screen : screens)
        command << QStringLiteral("--virtual-monitor")
                << QStringLiteral("%1x%2").arg(screen.width()).arg(screen.height());
    QProcess& shell = startAsUser(command);
    // Started once its start-up animation is over; it starts in the overview, which hides the
    // desktop.
    const bool started =
        waitForName(QStringLiteral("org.gnome.Shell.Screenshot"), kStartBoundMs) &&
        waitUntil(
            [&] {
                return evalInShell(QStringLiteral("Main.layoutManager._startingUp")) == u"false";
            },
            kStartBoundMs) &&
        waitUntil(
            [&] {
                return evalInShell(QStringLiteral("Main.overview.hide(); Main.overview.visible || "
                                                  "Main.overview.animationInProgress")) == u"false";
            },
            kStartBoundMs);
    if (!started || shell.state() != QProcess::Running) {
        QFile log(m_dir.filePath(QStringLiteral("logs/gnome-shell.log")));
        log.open(QIODevice::ReadOnly);
        m_failure = QStringLiteral("gnome-shell did not come up: ") +
                    QString::fromLocal8Bit(log.readAll().right(4000));
        return false;
    }
    // The program is an X client of the shell's Xwayland: the headless shell gives a Wayland
    // client no keyboard (its seat has none), and the test answers the program's message box
    // with keys, which X takes from xdotool.
    for (const char* name : {"DISPLAY", "XAUTHORITY"}) {
        const QString value =
            evalInShell(QStringLiteral("GLib.getenv('%1')").arg(QLatin1String(name)));
        if (value.size() < 3) {
            m_failure = QStringLiteral("gnome-shell started no Xwayland");
            return false;
        }
        m_environment.insert(QString::fromLatin1(name), value.mid(1, value.size() - 2));
    }
    m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    const QStringList sockets = QDir(m_dir.filePath(QStringLiteral("run")))
                                    .entryList({QStringLiteral("wayland-?")}, QDir::System);
    if (sockets.isEmpty()) {
        m_failure = QStringLiteral("gnome-shell made no Wayland socket");
        return false;
    }
    m_environment.insert(QStringLiteral("WAYLAND_DISPLAY"), sockets.first());
    return true;
}

QString RealDesktop::evalInShell(const QString& script) const {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.gnome.Shell"), QStringLiteral("/org/gnome/Shell"),
        QStringLiteral("org.gnome.Shell"), QStringLiteral("Eval"));
    call << script;
    const QDBusMessage reply = bus().call(call, QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 2 ||
        !reply.arguments().constFirst().toBool())
        return {};
    return reply.arguments().at(1).toString();
}

void RealDesktop::addClientEnvironment(QProcessEnvironment& environment) const {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "SESSION_MANAGER",
                             "XDG_SESSION_DESKTOP", "DESKTOP_SESSION"})
        environment.remove(QString::fromLatin1(name));
    const QStringList keys = m_environment.keys();
    for (const QString& key : keys)
        if (key != u"PATH")
            environment.insert(key, m_environment.value(key));
}

QDBusConnection RealDesktop::bus() const {
    // Named after the session's folder, which no other session shares.
    return m_busAddress.isEmpty() ? QDBusConnection(QStringLiteral("none"))
                                  : QDBusConnection::connectToBus(m_busAddress, m_dir.path());
}

QImage RealDesktop::grab() const {
    if (m_kind != Kind::Gnome)
        return m_xvfb ? grabRoot(m_xvfb->display()) : QImage();
    // The shell writes the shot as the user, into the user's runtime folder.
    const QString shot = m_dir.filePath(QStringLiteral("run/shot.png"));
    QFile::remove(shot);
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.gnome.Shell.Screenshot"), QStringLiteral("/org/gnome/Shell/Screenshot"),
        QStringLiteral("org.gnome.Shell.Screenshot"), QStringLiteral("Screenshot"));
    call << false << false << shot;
    const QDBusMessage reply = bus().call(call, QDBus::Block, 20000);
    if (reply.type() != QDBusMessage::ReplyMessage || !reply.arguments().value(0).toBool())
        return {};
    return QImage(shot);
}

bool RealDesktop::hasWindow(const QString& title) const {
    QProcess xdotool;
    xdotool.setProcessEnvironment(m_environment);
    xdotool.start(QStringLiteral("xdotool"),
                  {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                   QStringLiteral("--name"), u'^' + title + u'$'});
    return xdotool.waitForFinished(20000) && xdotool.exitCode() == 0;
}

bool RealDesktop::answerQuestion(bool yes) const {
    // Until the box is gone: a key may come before the window manager gave it the focus.
    return waitUntil(
        [&] {
            QProcess xdotool;
            xdotool.setProcessEnvironment(m_environment);
            xdotool.start(QStringLiteral("xdotool"),
                          {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                           QStringLiteral("--name"), QStringLiteral("^Question$"),
                           QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                           QStringLiteral("key"),
                           yes ? QStringLiteral("alt+y") : QStringLiteral("alt+n")});
            if (!xdotool.waitForFinished(5000))
                xdotool.kill();
            xdotool.waitForFinished(5000);
            return !hasWindow(QStringLiteral("Question"));
        },
        60000);
}
