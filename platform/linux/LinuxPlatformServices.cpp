#include "platform/PlatformServices.h"

#include "platform/IniProfile.h"
#include "platform/linux/DBusScreenLockWatcher.h"
#include "platform/linux/DesktopWallpaperChooser.h"
#include "platform/linux/FreedesktopShell.h"
#include "platform/linux/LinuxConverterProcess.h"
#include "platform/linux/LinuxLockScreen.h"
#include "platform/linux/SymlinkShortcutResolver.h"
#include "platform/linux/UPowerWatcher.h"
#include "platform/linux/XdgAutostart.h"

#include <QDir>

#include <sys/stat.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

PlatformServices::PlatformServices() = default;
PlatformServices::PlatformServices(PlatformServices&&) noexcept = default;
PlatformServices::~PlatformServices() = default;

PlatformServices PlatformServices::create(const QString& programPath) {
    // Everything the program writes is the user's own: the profile holds a password, the
    // lists and bitmaps show what the user keeps. Nothing of it is for other users.
    ::umask(077);
#ifdef __GLIBC__
    // Screen-sized pictures pass through the program at every change (the X11 backend draws
    // one): buffers of a megabyte or more go back to the system when they are freed, instead of
    // staying in the heap once glibc has raised its threshold for that.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
    PlatformServices services;
    services.paths = AppPaths::detect(programPath);
    // $XDG_CONFIG_HOME/Halvik/<app>.ini
    services.profile = std::make_unique<IniProfile>(
        IniProfile::userPath(QStringLiteral("Halvik"), services.paths.appName));
    services.converter = std::make_unique<LinuxConverterProcess>(services.paths.converterPath);
    services.desktopWallpaper =
        DesktopWallpaperChooser(QProcessEnvironment::systemEnvironment(), services.paths.dataDir,
                                QDBusConnection::sessionBus())
            .choose();
    services.shortcutResolver = std::make_unique<SymlinkShortcutResolver>();
    services.autostart = std::make_unique<XdgAutostart>(services.paths.autostartDir);
    services.screenLock = std::make_unique<DBusScreenLockWatcher>(
        QDBusConnection::sessionBus(), QDBusConnection::systemBus(),
        qEnvironmentVariable("XDG_SESSION_ID"));
    services.powerSource = std::make_unique<UPowerWatcher>(QDBusConnection::systemBus());
    services.desktopShell = std::make_unique<FreedesktopShell>(QDBusConnection::sessionBus(),
                                                               FreedesktopShell::runsSandboxed());
    const auto xdgDir = [](const char* variable, const char* fallback) {
        const QString value = qEnvironmentVariable(variable);
        return QDir::isAbsolutePath(value) ? value : QDir::homePath() + QLatin1String(fallback);
    };
    services.lockScreen = std::make_unique<LinuxLockScreen>(
        LinuxLockScreen::desktopOf(services.desktopWallpaper->name()),
        xdgDir("XDG_STATE_HOME", "/.local/state") + QLatin1Char('/') + services.paths.appName,
        xdgDir("XDG_CONFIG_HOME", "/.config"));
    return services;
}
