#pragma once

#include "platform/AppPaths.h"
#include "platform/NoPictureServices.h"

#include <memory>

class Autostart;
class ConverterProcess;
class DesktopWallpaper;
class PowerSourceWatcher;
class Profile;
class ScreenLockWatcher;
class ShortcutResolver;

// The platform's implementations of every adapter, chosen here and nowhere else.
struct PlatformServices {
    AppPaths paths;
    std::unique_ptr<Profile> profile;
    std::unique_ptr<ConverterProcess> converter; // runs the worker's picture conversions
    // The session's wallpaper service; any thread may call it.
    std::unique_ptr<DesktopWallpaper> desktopWallpaper;
    // Follows shortcut files; any thread may call it.
    std::unique_ptr<ShortcutResolver> shortcutResolver;
    std::unique_ptr<Autostart> autostart;
    // What may pause the timer: nobody sees a locked screen, and the battery. Not started.
    std::unique_ptr<ScreenLockWatcher> screenLock;
    std::unique_ptr<PowerSourceWatcher> powerSource;
    // Opening a picture, showing it in the file manager, the trash: user-interface thread.
    // Nothing of it until a system sets its own.
    std::unique_ptr<DesktopShell> desktopShell = std::make_unique<NoDesktopShell>();
    // The lock screen's picture; shown on the worker thread, read and restored on the
    // user-interface thread.
    std::unique_ptr<LockScreenPicture> lockScreen = std::make_unique<NoLockScreen>();

    PlatformServices();
    PlatformServices(PlatformServices&&) noexcept;
    ~PlatformServices();

    // For the running program, whose file is at `programPath`.
    static PlatformServices create(const QString& programPath);
};
