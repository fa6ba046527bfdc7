#pragma once

#include "platform/DesktopWallpaper.h"

// The backend of a session where no desktop could be reached: nothing can be shown or read.
class NoDesktopWallpaper final : public DesktopWallpaper {
public:
    QString name() const override { return QStringLiteral("none"); }

protected:
    bool doProbe() override { return fail(reason()); }
    bool doShow(const WallpaperValues&) override { return fail(reason()); }
    std::optional<WallpaperSnapshot> doRead() override {
        fail(reason());
        return std::nullopt;
    }

private:
    static QString reason() {
        return QStringLiteral("no desktop wallpaper service was found at start");
    }
};
