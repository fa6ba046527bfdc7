#pragma once

#include "platform/ScreenInfo.h"

#include <mutex>
#include <vector>

class LockScreenPicture;
class Profile;

// The lock screen as the program uses it. The user's own lock-screen picture is recorded in
// the profile section "Store" (key "LockScreen", the lock screen's own record) before the
// program shows its pictures there, and put back at exit with the wallpaper, or when the user
// turns the lock screen off. The key is there only while a record waits to be put back, so no
// start overwrites it with one of the program's own pictures. Once put back, nothing more is
// shown there, even by a change that was under way.
class PreviousLockScreen {
public:
    PreviousLockScreen(Profile& profile, LockScreenPicture& lockScreen)
        : m_profile(profile), m_lockScreen(lockScreen) {}

    // The lock screen is to show the program's pictures: at start and at Apply.
    void store();
    // Puts the recorded picture back, if there is a record; nothing is shown from then on.
    void restore();
    // Shows a change's bitmaps, between store() and restore(). Called on the worker thread.
    void show(const std::vector<ScreenBitmap>& screens);

    static constexpr const char* kSection = "Store";
    static constexpr const char* kLockScreen = "LockScreen";

private:
    Profile& m_profile;
    LockScreenPicture& m_lockScreen;
    std::mutex m_mutex;
    bool m_showing = false;
};
