#include "platform/windows/WindowsSessionLockWatcher.h"

#include "platform/LogCategories.h"
#include "platform/windows/HiddenWindow.h"

#include <wtsapi32.h>

WindowsSessionLockWatcher::WindowsSessionLockWatcher(QObject* parent) : ScreenLockWatcher(parent) {}

WindowsSessionLockWatcher::~WindowsSessionLockWatcher() {
    if (m_registered)
        WTSUnRegisterSessionNotification(m_window->handle());
}

void WindowsSessionLockWatcher::start() {
    if (m_window)
        return;
    m_window = std::make_unique<HiddenWindow>(nullptr, [this](UINT message, WPARAM wParam, LPARAM) {
        if (message == WM_WTSSESSION_CHANGE) {
            if (wParam == WTS_SESSION_LOCK)
                setLocked(true);
            else if (wParam == WTS_SESSION_UNLOCK)
                setLocked(false);
        }
        return std::optional<LRESULT>();
    });
    if (!m_window->handle())
        return;
    m_registered = WTSRegisterSessionNotification(m_window->handle(), NOTIFY_FOR_THIS_SESSION);
    if (!m_registered)
        qCWarning(lcPlatform) << "the session's lock cannot be followed, error" << GetLastError();
}

void WindowsSessionLockWatcher::setLocked(bool locked) {
    if (locked == m_locked)
        return;
    m_locked = locked;
    emit lockedChanged(locked);
}
