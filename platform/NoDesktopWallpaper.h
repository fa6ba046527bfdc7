#pragma once

#include "platform/DesktopWallpaper.h"

// The backend of a session where no desktop could be reached: nothing can be shown or read.
class NoDesktopWallpaper final : public DesktopWallpaper {
public:
    QString name() const override { return QStringLiteral("none"); }

protected:
    bool doProbe() override { return false; }
    bool doShow(const WallpaperValues&) override { return false; }
    std::optional<WallpaperSnapshot> doRead() override { return std::nullopt; }
};
