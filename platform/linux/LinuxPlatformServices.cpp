#include "platform/PlatformServices.h"

#include "platform/CurlFtpClient.h"
#include "platform/QSettingsProfile.h"
#include "platform/VipsImageLibrary.h"

PlatformServices::PlatformServices() = default;
PlatformServices::PlatformServices(PlatformServices&&) noexcept = default;
PlatformServices::~PlatformServices() = default;

PlatformServices PlatformServices::create(const QString& programPath) {
    PlatformServices services;
    services.paths = AppPaths::detect(programPath);
    // $XDG_CONFIG_HOME/Halvik/<app>.ini
    services.profile = std::make_unique<QSettingsProfile>(
        QSettings::IniFormat, QStringLiteral("Halvik"), services.paths.appName);
    services.imageLibrary = std::make_unique<VipsImageLibrary>();
    services.ftp = std::make_shared<CurlFtpClient>();
    return services;
}
