#include "platform/PlatformServices.h"

#include "platform/Autostart.h"
#include "platform/NoDesktopWallpaper.h"
#include "platform/QSettingsProfile.h"
#include "platform/ShortcutResolver.h"
#include "platform/windows/WindowsConverterProcess.h"
#include "platform/windows/WindowsPowerWatcher.h"
#include "platform/windows/WindowsSessionLockWatcher.h"

namespace {

// Until the shell's own are wired in: no shortcut is followed, and no log-on entry is made.
class NoShortcutResolver final : public ShortcutResolver {
public:
    QString resolveShortcut(const QString&) const override { return {}; }
};

class NoAutostart final : public Autostart {
public:
    void enable(const QString&) override {}
    void disable() override {}
};

} // namespace

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
    services.desktopWallpaper = std::make_unique<NoDesktopWallpaper>();
    services.shortcutResolver = std::make_unique<NoShortcutResolver>();
    services.autostart = std::make_unique<NoAutostart>();
    services.screenLock = std::make_unique<WindowsSessionLockWatcher>();
    services.powerSource = std::make_unique<WindowsPowerWatcher>();
    return services;
}
