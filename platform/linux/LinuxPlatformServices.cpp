#include "platform/PlatformServices.h"

#include "platform/QSettingsProfile.h"

PlatformServices::PlatformServices() = default;
PlatformServices::PlatformServices(PlatformServices&&) noexcept = default;
PlatformServices::~PlatformServices() = default;

PlatformServices PlatformServices::create(const QString& programPath) {
    PlatformServices services;
    services.paths = AppPaths::detect(programPath);
    // $XDG_CONFIG_HOME/Halvik/<app>.ini
    services.profile = std::make_unique<QSettingsProfile>(
        QSettings::IniFormat, QStringLiteral("Halvik"), services.paths.appName);
    return services;
}
