#pragma once

class LockScreenPicture;
class Profile;

// The user's own lock-screen picture, recorded in the profile section "Store" (key
// "LockScreen", the lock screen's own record) before the program shows its pictures there, and
// put back at exit with the wallpaper, or when the user turns the lock screen off. The key is
// there only while a record waits to be put back, so no start overwrites it with one of the
// program's own pictures.
class PreviousLockScreen {
public:
    PreviousLockScreen(Profile& profile, LockScreenPicture& lockScreen)
        : m_profile(profile), m_lockScreen(lockScreen) {}

    // When the lock screen is to show the program's pictures: at start and at Apply.
    void store();
    // Puts the recorded picture back, if there is a record.
    void restore();

    static constexpr const char* kSection = "Store";
    static constexpr const char* kLockScreen = "LockScreen";

private:
    Profile& m_profile;
    LockScreenPicture& m_lockScreen;
};
