#pragma once

#include "worker/WallpaperSettings.h"

#include <functional>
#include <optional>

// What the tray window calls around it: the desktop's wallpaper record, autostart and the
// program's dialogs. The application binds the real services; tests record the calls.
class TrayServices {
public:
    virtual ~TrayServices() = default;

    virtual void storeOldWallpaper() = 0;
    virtual void restoreOldWallpaper() = 0;
    virtual void updateAutorun(bool autoRun) = 0;
    // Whether the lock screen shows the program's pictures: the user's own lock-screen picture
    // is recorded when it is to, and put back when it is no longer to.
    virtual void updateLockScreen(bool onLockScreen) = 0;
    // Asks "Restore old wallpaper?"; true for Yes.
    virtual bool askRestoreOldWallpaper() = 0;
    // Runs the Properties dialog modally on a copy of the settings. `apply` takes the
    // dialog's values (its Apply button); the result holds the values of OK, or nothing.
    virtual std::optional<WallpaperSettings>
    runProperties(const WallpaperSettings& current,
                  const std::function<void(const WallpaperSettings&)>& apply) = 0;
    virtual void runAbout() = 0;
    // Brings the open dialog to the front (a second request while it is open).
    virtual void raiseModalDialog() = 0;
    // Ends an open modal dialog as if cancelled (Exit chosen while it is open).
    virtual void cancelModalDialog() = 0;
};
