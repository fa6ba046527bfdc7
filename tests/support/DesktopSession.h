#pragma once

#include "tests/support/PrivateSessionBus.h"
#include "tests/support/ProgramUnderTest.h"
#include "tests/support/SniWatcher.h"
#include "tests/support/XvfbServer.h"

#include <memory>

// One user's desktop for an end-to-end test: a private X display, a private session bus with
// a tray watcher on it, and a fresh home with the program copied into it.
class DesktopSession {
public:
    // Which kind of tray the desktop offers: a StatusNotifierItem watcher on the bus, or an
    // XEmbed system tray window (trayer).
    enum class Tray { StatusNotifier, XEmbed };

    explicit DesktopSession(Tray tray = Tray::StatusNotifier);
    ~DesktopSession();

    bool isReady() const;
    ProgramUnderTest& program() { return m_program; }
    SniWatcher& tray() { return *m_watcher; }
    const PrivateSessionBus& bus() const { return m_bus; }
    const XvfbServer& display() const { return m_xvfb; }

    // Starts the program and waits until its tray icon has registered; the icon's address
    // (a bus address for a StatusNotifierItem, an X window id for XEmbed).
    QString startAndWaitForIcon(std::unique_ptr<QProcess>& process);
    // Runs a command on this desktop (DISPLAY set); its exit code, or -1.
    int runOnDisplay(const QString& program, const QStringList& arguments,
                     QByteArray* output = nullptr) const;

private:
    XvfbServer m_xvfb;
    PrivateSessionBus m_bus;
    std::unique_ptr<SniWatcher> m_watcher;
    QProcess m_trayer;
    Tray m_tray;
    ProgramUnderTest m_program;
};
