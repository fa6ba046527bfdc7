#pragma once

#include "platform/DesktopWallpaper.h"

#include <QDBusConnection>
#include <QVariantMap>

// XFCE's desktop through xfconf over D-Bus: channel `xfce4-desktop`, every
// `/backdrop/.../last-image` (the picture of one monitor and workspace) and the `image-style`
// beside it (1 centred, 2 tiled, 3 stretched, 4 scaled, 5 zoomed, 6 spanning, 0 none); each
// monitor can have a picture of its own. Calls are bounded so that a hung settings daemon
// cannot hold the caller.
class XfceWallpaper final : public DesktopWallpaper {
public:
    explicit XfceWallpaper(QDBusConnection bus, int timeoutMs = 3000);

    QString name() const override { return QStringLiteral("xfce"); }
    bool takesEachScreen() const override { return true; }

protected:
    bool doProbe() override;
    bool doShow(const WallpaperValues& values) override;
    bool doShowEach(const std::vector<ScreenWallpaper>& pictures) override;
    std::optional<WallpaperSnapshot> doRead() override;
    bool doRestore(const WallpaperSnapshot& snapshot) override;

private:
    // Every property under /backdrop, or nothing when xfconf cannot be reached. Failures here
    // and below record their reason.
    std::optional<QVariantMap> backdropProperties();
    bool setProperty(const QString& property, const QVariant& value);
    bool resetProperty(const QString& property);
    // Sets one `last-image` and the `image-style` beside it.
    bool setPicture(const QVariantMap& properties, const QString& imageKey,
                    const WallpaperValues& values);

    QDBusConnection m_bus;
    int m_timeoutMs;
};
