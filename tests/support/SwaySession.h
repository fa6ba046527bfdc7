#pragma once

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
class SwaySession {
public:
    struct Output {
        QSize mode;
        QPoint position;
        int scale = 1;
    };

    // The outputs are named HEADLESS-1, HEADLESS-2, ... in this order.
    explicit SwaySession(const std::vector<Output>& outputs, unsigned uid = 65534);
    ~SwaySession();
    SwaySession(const SwaySession&) = delete;
    SwaySession& operator=(const SwaySession&) = delete;

    // Whether sway runs and answers with every output; when not, why (its own output).
    bool isRunning() const { return m_ready; }
    QString failure() const { return m_failure; }
    unsigned uid() const { return m_uid; }
    // The user's home, which is also sway's working folder.
    QString home() const { return m_dir.filePath(QStringLiteral("home")); }

    // Makes `environment` one of a native Wayland client of this desktop.
    void addClientEnvironment(QProcessEnvironment& environment) const;
    // Runs swaymsg with the arguments; its exit code, or -1.
    int swaymsg(const QStringList& arguments, QByteArray* output = nullptr) const;
    // The names of the active outputs as sway reports them.
    QStringList outputNames() const;
    // The output's pixels in device pixels, as grim reads them; a null image on failure.
    QImage grab(const QString& output) const;

private:
    int runAsUser(const QString& program, const QStringList& arguments,
                  const QProcessEnvironment& environment, QByteArray* output) const;
    QProcessEnvironment baseEnvironment() const;

    unsigned m_uid;
    QTemporaryDir m_dir;
    QString m_runtimeDir;
    QString m_waylandSocket;
    QString m_ipcSocket;
    QProcess m_sway;
    bool m_ready = false;
    QString m_failure;
};
