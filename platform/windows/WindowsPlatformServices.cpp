#include "platform/PlatformServices.h"

#include "platform/QSettingsProfile.h"
#include "platform/windows/ShellLinkResolver.h"
#include "platform/windows/StartupShortcut.h"
#include "platform/windows/WindowsConverterProcess.h"
#include "platform/windows/WindowsDesktopShell.h"
#include "platform/windows/WindowsDesktopWallpaper.h"
#include "platform/windows/WindowsPowerWatcher.h"
#include "platform/windows/WindowsSessionLockWatcher.h"

PlatformServices::PlatformServices() = default;
PlatformServices::PlatformServices(PlatformServices&&) noexcept = default;
PlatformServices::~PlatformServices() = default;

PlatformServices PlatformServices::create(const QString& programPath) {
    PlatformServices services;
    services.paths = AppPaths::detect(programPath);
    // HKEY_CURRENT_USER\Software\Halvik\<app>\<section>
    services.profile = std::make_unique<QSettingsProfile>(
        QSettings::NativeFormat, QStringLiteral("Halvik"), services.paths.appName);
    services.converter = std::make_unique<WindowsConverterProcess>(services.paths.converterPath);
    services.desktopWallpaper = std::make_unique<WindowsDesktopWallpaper>();
    services.shortcutResolver = std::make_unique<ShellLinkResolver>();
    services.autostart = std::make_unique<StartupShortcut>(services.paths.autostartDir);
    services.screenLock = std::make_unique<WindowsSessionLockWatcher>();
    services.powerSource = std::make_unique<WindowsPowerWatcher>();
    services.desktopShell = std::make_unique<WindowsDesktopShell>();
    return services;
}
