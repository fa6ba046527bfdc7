#pragma once

#include "platform/DesktopWallpaper.h"

#include <QStringList>

// sway and other wlroots compositors through `swaymsg output '*' bg FILE MODE`. The
// compositor cannot tell which picture it shows, so read() has nothing to record. The command
// is given a bounded time and then stopped.
class SwayWallpaper final : public DesktopWallpaper {
public:
    explicit SwayWallpaper(int timeoutMs = 5000) : m_timeoutMs(timeoutMs) {}

    QString name() const override { return QStringLiteral("sway"); }

    // The arguments of swaymsg for the values.
    static QStringList arguments(const WallpaperValues& values);

protected:
    bool doProbe() override;
    bool doShow(const WallpaperValues& values) override;
    std::optional<WallpaperSnapshot> doRead() override;

private:
    int m_timeoutMs;
};
