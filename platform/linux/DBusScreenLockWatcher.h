#pragma once

#include "platform/ScreenLockWatcher.h"

#include <QDBusConnection>
#include <QList>

class DBusFlag;

// The screen counts as locked while any of the desktop's own reports says so: the screen
// saver's ActiveChanged (org.freedesktop.ScreenSaver or org.gnome.ScreenSaver on the session
// bus) or the login session's LockedHint (logind on the system bus). Desktops offer one or
// more of them; whichever they offer is followed.
class DBusScreenLockWatcher : public ScreenLockWatcher {
    Q_OBJECT

public:
    // `sessionId` names the logind session (XDG_SESSION_ID); when empty, logind picks the
    // session of this process or the user's graphical one.
    DBusScreenLockWatcher(QDBusConnection sessionBus, QDBusConnection systemBus, QString sessionId,
                          QObject* parent = nullptr);

    void start() override;
    bool locked() const override { return m_locked; }

private:
    void follow(DBusFlag* flag);
    void findLoginSession();
    void update();

    QDBusConnection m_sessionBus;
    QDBusConnection m_systemBus;
    const QString m_sessionId;
    QList<DBusFlag*> m_flags;
    bool m_locked = false;
};
