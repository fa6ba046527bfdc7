#include "platform/linux/WallpaperOptions.h"

Placement WallpaperOptions::placementOf(const WallpaperValues& values) {
    if (values.wallpaper.isEmpty())
        return Placement::None;
    if (values.tileWallpaper.trimmed() == u"1")
        return Placement::Tiled;
    switch (values.wallpaperStyle) {
    case 2:
        return Placement::Stretched;
    case 6:
        return Placement::Scaled;
    case 10:
        return Placement::Zoomed;
    case 22:
        return Placement::Spanned;
    default:
        return Placement::Centred;
    }
}

void WallpaperOptions::describe(Placement placement, WallpaperValues& values) {
    values.tileWallpaper =
        placement == Placement::Tiled ? QStringLiteral("1") : QStringLiteral("0");
    switch (placement) {
    case Placement::Stretched:
        values.wallpaperStyle = 2;
        break;
    case Placement::Scaled:
        values.wallpaperStyle = 6;
        break;
    case Placement::Zoomed:
        values.wallpaperStyle = 10;
        break;
    case Placement::Spanned:
        values.wallpaperStyle = 22;
        break;
    default:
        values.wallpaperStyle = 0;
        break;
    }
    if (placement == Placement::None)
        values.wallpaper.clear();
}
