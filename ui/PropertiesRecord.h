#pragma once

#include "worker/WallpaperSettings.h"

#include <QString>
#include <cstdint>

// The settings the Properties dialog edits, in the order the form is read and filled (reading
// stops at the first invalid field, so the order matters). It is plain data: Exit and tests
// use it without any window.
struct PropertiesRecord {
    std::int32_t AutoRun{};
    QString StartPath;
    std::int32_t IncludeSubflders{};
    std::uint32_t Minute{};
    std::uint32_t Hour{};
    std::uint32_t Seconds{};
    std::int32_t Layout{};
    std::int32_t RunSlideShowCtrl{};
    std::int32_t UseFileList{};
    QString FtpServer;
    QString FtpPassword;
    QString FtpLogin;
    QString FtpFolder;

    static PropertiesRecord fromSettings(const WallpaperSettings& settings);
    // `base` with the edited fields replaced; the list positions are kept from `base`.
    WallpaperSettings applyTo(WallpaperSettings base) const;

    bool operator==(const PropertiesRecord&) const = default;
};
