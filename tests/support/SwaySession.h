#pragma once

#include <QDBusConnection>
#include <QImage>
#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSize>
#include <QString>
#include <QTemporaryDir>
#include <vector>

// A real headless sway for one test, with outputs of the test's own sizes and places, read
// back with grim. sway refuses to run as root, so it runs as an unprivileged user, and so must
// its clients; it is ended with everything it started when the session goes.
//
// With a bar, swaybar shows a tray on every output (`tray_output *`) and owns the
// StatusNotifierItem watcher on a session bus of the desktop's own, which the user's programs
// and the test (root) share.
class SwaySession {
public:
    struct Output {
        QSize mode;
        QPoint position;
        int scale = 1;
    };

    // The outputs are named HEADLESS-1, HEADLESS-2, ... in this order. `config` is added to
    // sway's configuration as the user's own (a background, ...).
    explicit SwaySession(const std::vector<Output>& outputs, const QString& config = {},
                         bool bar = false, unsigned uid = 65534);
    ~SwaySession();
    SwaySession(const SwaySession&) = delete;
    SwaySession& operator=(const SwaySession&) = delete;

    // Whether sway runs and answers with every output; when not, why (its own output).
    bool isRunning() const { return m_ready; }
    QString failure() const { return m_failure; }
    unsigned uid() const { return m_uid; }
    // The user's home, which is also sway's working folder.
    QString home() const { return m_dir.filePath(QStringLiteral("home")); }

    // Makes `environment` one of a client of this desktop: Wayland only (no X display), with
    // the toolkit left to find its platform, and the desktop's bus when it has a bar.
    void addClientEnvironment(QProcessEnvironment& environment) const;
    // The Wayland socket (an absolute path) and sway's IPC socket.
    QString waylandSocket() const { return m_waylandSocket; }
    QString ipcSocket() const { return m_ipcSocket; }
    // The test's own connection to the desktop's bus (with a bar only).
    QDBusConnection bus() const;
    // Runs swaymsg with the arguments; its exit code, or -1.
    int swaymsg(const QStringList& arguments, QByteArray* output = nullptr) const;
    // The names of the active outputs as sway reports them.
    QStringList outputNames() const;
    // The output's pixels in device pixels, as grim reads them; a null image on failure.
    QImage grab(const QString& output) const;
    // The swaybg processes that `parent` started and that still run.
    static std::vector<int> swaybgsOf(int parent);

private:
    int runAsUser(const QString& program, const QStringList& arguments,
                  const QProcessEnvironment& environment, QByteArray* output) const;
    QProcessEnvironment baseEnvironment() const;
    bool startBus();

    unsigned m_uid;
    QTemporaryDir m_dir;
    QString m_runtimeDir;
    QString m_waylandSocket;
    QString m_ipcSocket;
    QProcess m_sway;
    QProcess m_bus;
    QString m_busAddress;
    bool m_ready = false;
    QString m_failure;
};
