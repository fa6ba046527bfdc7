#include "platform/PlatformServices.h"

#include "platform/CurlFtpClient.h"
#include "platform/QSettingsProfile.h"
#include "platform/linux/DesktopWallpaperChooser.h"
#include "platform/linux/LinuxConverterProcess.h"
#include "platform/linux/SymlinkShortcutResolver.h"
#include "platform/linux/XdgAutostart.h"

#include <sys/stat.h>

PlatformServices::PlatformServices() = default;
PlatformServices::PlatformServices(PlatformServices&&) noexcept = default;
PlatformServices::~PlatformServices() = default;

PlatformServices PlatformServices::create(const QString& programPath) {
    // Everything the program writes is the user's own: the profile holds a password, the
    // lists and bitmaps show what the user keeps. Nothing of it is for other users.
    ::umask(077);
    PlatformServices services;
    services.paths = AppPaths::detect(programPath);
    // $XDG_CONFIG_HOME/Halvik/<app>.ini
    services.profile = std::make_unique<QSettingsProfile>(
        QSettings::IniFormat, QStringLiteral("Halvik"), services.paths.appName);
    services.converter = std::make_unique<LinuxConverterProcess>(services.paths.converterPath);
    services.ftp = std::make_shared<CurlFtpClient>();
    services.desktopWallpaper =
        DesktopWallpaperChooser(QProcessEnvironment::systemEnvironment(), services.paths.dataDir,
                                QDBusConnection::sessionBus())
            .choose();
    services.shortcutResolver = std::make_unique<SymlinkShortcutResolver>();
    services.autostart = std::make_unique<XdgAutostart>(services.paths.autostartDir);
    return services;
}
