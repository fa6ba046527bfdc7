#pragma once

#include "tests/support/XvfbServer.h"

#include <QDBusConnection>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSize>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <vector>

// One user's session of a real desktop for a test, as the user logs in to it: the desktop's own
// programs, run as an unprivileged user (GNOME Shell and Plasma refuse or warn about root), a
// session bus run as that user (so that the services it starts on demand, dconf or xfconfd, are
// theirs and keep their settings in the user's home), and the screen read back as pixels.
// Everything the desktop started ends with the session.
//
// GNOME Shell runs headless on Wayland with one virtual monitor per screen, side by side, and a
// system bus of its own; XFCE (xfwm4, xfdesktop) and Plasma (kwin_x11, plasmashell) run on an
// Xvfb of one screen.
class RealDesktop {
public:
    enum class Kind { Gnome, Xfce, Plasma };

    RealDesktop(Kind kind, const std::vector<QSize>& screens, unsigned uid = 65534);
    ~RealDesktop();
    RealDesktop(const RealDesktop&) = delete;
    RealDesktop& operator=(const RealDesktop&) = delete;

    // The desktop programs that are not installed here (empty when all are).
    static QString missingPrograms(Kind kind);

    bool isRunning() const { return m_ready; }
    QString failure() const { return m_failure; }
    unsigned uid() const { return m_uid; }
    QString home() const { return m_dir.filePath(QStringLiteral("home")); }

    // Makes `environment` one of a program the user starts on this desktop: the user's home and
    // runtime folder, the desktop's bus and display, and the desktop's name.
    void addClientEnvironment(QProcessEnvironment& environment) const;
    // The test's own connection to the desktop's session bus.
    QDBusConnection bus() const;
    // The whole desktop as the user sees it; a null image when it cannot be read.
    QImage grab() const;
    // Whether a window of this title is shown.
    bool hasWindow(const QString& title) const;
    // Answers the message box titled "Question" with Yes (Return) or No (Escape), as the user
    // would with the keyboard; false when no such window is shown.
    bool answerQuestion(bool yes) const;

private:
    bool startBus(const QString& name, const QString& type, QProcess& process, QString& address);
    bool startGnome(const std::vector<QSize>& screens);
    bool startXDesktop(const QStringList& windowManager, const QStringList& shell,
                       const QString& readyName);
    // Starts a program as the user with the session's environment; it is kept until the end.
    QProcess& startAsUser(const QStringList& command);
    // Runs a program as the user; its exit code, or -1.
    int runAsUser(const QStringList& command, QByteArray* output = nullptr) const;
    QString evalInShell(const QString& script) const;
    bool waitForName(const QString& name, int boundMs) const;
    void endEverything();

    Kind m_kind;
    unsigned m_uid;
    QTemporaryDir m_dir;
    std::unique_ptr<XvfbServer> m_xvfb;
    QProcessEnvironment m_environment;
    QProcess m_bus;
    QProcess m_systemBus;
    QString m_busAddress;
    std::vector<std::unique_ptr<QProcess>> m_programs;
    bool m_ready = false;
    QString m_failure;
};
