#pragma once

class DesktopWallpaper;
class Profile;

// The user's own wallpaper, recorded in the profile section "Store" before the program first
// changes it and put back at exit when the user wants it back.
//
// "NeedStore" tells the state of the record: absent (never recorded) or 1 (restored) means the
// next start records the wallpaper then shown; 0 means a record exists that has not been put
// back, and no start overwrites it. "NeedStore" only ever says what really happened: a start
// that cannot read the desktop records nothing and leaves it as it was, and a restore the
// desktop refuses keeps the record for a later exit.
class PreviousWallpaper {
public:
    PreviousWallpaper(Profile& profile, DesktopWallpaper& desktop)
        : m_profile(profile), m_desktop(desktop) {}

    // At start, before the settings are loaded and before the worker runs.
    void StoreOldWallpaper();
    // At exit, after the user said Yes to "Restore old wallpaper?".
    void RestoreOldWallpaper();

    static constexpr const char* kSection = "Store";
    static constexpr const char* kNeedStore = "NeedStore";
    static constexpr const char* kWallpaper = "Wallpaper";
    static constexpr const char* kWallpaperStyle = "WallpaperStyle";
    static constexpr const char* kTileWallpaper = "TileWallpaper";
    // The desktop's own record beside the three values, so that restore is exact.
    static constexpr const char* kDesktopRecord = "DesktopRecord";

private:
    Profile& m_profile;
    DesktopWallpaper& m_desktop;
};
