#pragma once

#include <QObject>

// Follows whether nobody can see the desktop: the session is locked or its screen saver runs.
// Lives on the user-interface thread and never blocks it.
class ScreenLockWatcher : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Starts following the desktop. Until the desktop has answered, the screen counts as
    // unlocked; a desktop that offers no way to tell leaves it so.
    virtual void start() = 0;
    virtual bool locked() const = 0;

signals:
    void lockedChanged(bool locked);
};
