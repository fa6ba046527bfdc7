#pragma once

#include <QString>
#include <cstdint>

class DesktopWallpaper;

// Makes a converted bitmap the desktop wallpaper. Called on the worker thread once per change;
// the desktop backend serialises it against the restore at exit.
class WallpaperApplier {
public:
    explicit WallpaperApplier(DesktopWallpaper& desktop) : m_desktop(desktop) {}

    // Shows the bitmap tiled when `layout` is Tile (1), centred for every other layout: the
    // bitmap already has the size its layout needs. Does nothing at all when no file exists at
    // `bitmapPath`. "WallpaperStyle" is always 1.
    void ApplyWallpaper(const QString& bitmapPath, std::int32_t layout);

private:
    DesktopWallpaper& m_desktop;
};
