// The session-lock and power watchers, and the session's end, as the system's messages reach
// their hidden windows under Wine.
#include "platform/ShutdownSignals.h"
#include "platform/windows/WindowsPowerWatcher.h"
#include "platform/windows/WindowsSessionLockWatcher.h"
#include "tests/support/QtTestApp.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <windows.h>
#include <wtsapi32.h>

namespace {

// Sends a message to every hidden window of this thread, as the system sends it to each
// top-level window; the answers of those that answered.
std::vector<LRESULT> sendToHiddenWindows(UINT message, WPARAM wParam, LPARAM lParam = 0) {
    struct Message {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        std::vector<LRESULT> answers;
    } sent{message, wParam, lParam, {}};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL {
            wchar_t name[64] = {};
            GetClassNameW(window, name, 64);
            auto* m = reinterpret_cast<Message*>(data);
            // Top-level: the system's broadcasts would not reach a message-only window.
            if (std::wstring_view(name) == L"TessaronHiddenWindow" && !GetParent(window))
                m->answers.push_back(SendMessageW(window, m->message, m->wParam, m->lParam));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&sent));
    return sent.answers;
}

TEST(HiddenWindowTest, StartAsTheSystemSaysAndFollowItsMessages) {
    ensureQtApplication();
    WindowsSessionLockWatcher lock;
    WindowsPowerWatcher power;
    QSignalSpy locked(&lock, &ScreenLockWatcher::lockedChanged);
    QSignalSpy battery(&power, &PowerSourceWatcher::onBatteryChanged);
    lock.start();
    power.start();
    lock.start(); // a second start changes nothing
    // Wine's session is unlocked, and this machine has no battery.
    EXPECT_FALSE(lock.locked());
    EXPECT_FALSE(power.onBattery());
    EXPECT_EQ(locked.count(), 0);
    EXPECT_EQ(battery.count(), 0);

    sendToHiddenWindows(WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK);
    sendToHiddenWindows(WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK);
    EXPECT_TRUE(lock.locked());
    sendToHiddenWindows(WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK);
    EXPECT_FALSE(lock.locked());
    ASSERT_EQ(locked.count(), 2);
    EXPECT_TRUE(locked.at(0).at(0).toBool());
    EXPECT_FALSE(locked.at(1).at(0).toBool());
    // A power broadcast reads the status again: still on mains, so nothing to tell.
    sendToHiddenWindows(WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE);
    EXPECT_EQ(battery.count(), 0);
}

TEST(HiddenWindowTest, TheSessionsEndIsAnsweredBeforeTheMessageReturns) {
    ensureQtApplication();
    ShutdownSignals shutdown;
    QSignalSpy requested(&shutdown, &ShutdownSignals::terminationRequested);
    // The session may end: nothing is asked of the program yet.
    for (const LRESULT answer : sendToHiddenWindows(WM_QUERYENDSESSION, 0))
        EXPECT_EQ(answer, TRUE);
    EXPECT_EQ(requested.count(), 0);
    // An end that was called off is no request either; the real one is answered at once.
    sendToHiddenWindows(WM_ENDSESSION, FALSE);
    EXPECT_EQ(requested.count(), 0);
    sendToHiddenWindows(WM_ENDSESSION, TRUE);
    EXPECT_EQ(requested.count(), 1);
}

} // namespace
