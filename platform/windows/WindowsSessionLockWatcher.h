#pragma once

#include "platform/ScreenLockWatcher.h"

#include <memory>

class HiddenWindow;

// The session's lock as the system reports it to a hidden window of its own
// (WTSRegisterSessionNotification, WM_WTSSESSION_CHANGE). A program starts in a session the
// user has just opened, so it counts as unlocked until the first lock.
class WindowsSessionLockWatcher : public ScreenLockWatcher {
    Q_OBJECT

public:
    explicit WindowsSessionLockWatcher(QObject* parent = nullptr);
    ~WindowsSessionLockWatcher() override;

    void start() override;
    bool locked() const override { return m_locked; }

private:
    void setLocked(bool locked);

    std::unique_ptr<HiddenWindow> m_window;
    bool m_registered = false;
    bool m_locked = false;
};
