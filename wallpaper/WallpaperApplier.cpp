#include "wallpaper/WallpaperApplier.h"

#include "platform/DesktopWallpaper.h"

#include <QFileInfo>

void WallpaperApplier::ApplyWallpaper(const QString& bitmapPath, std::int32_t layout) {
    const QFileInfo bitmap(bitmapPath);
    if (bitmapPath.isEmpty() || !bitmap.isFile())
        return;
    constexpr std::int32_t kTile = 1;
    WallpaperValues values;
    values.wallpaper = bitmap.absoluteFilePath();
    values.wallpaperStyle = 1;
    values.tileWallpaper = layout == kTile ? QStringLiteral("1") : QStringLiteral("0");
    // A desktop that cannot be reached leaves the wallpaper as it was; the tip still moves on.
    m_desktop.show(values);
}
