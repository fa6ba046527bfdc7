#pragma once

#include "platform/ScreenInfo.h"

#include <QString>
#include <cstdint>
#include <vector>

class DesktopWallpaper;

// Makes converted bitmaps the desktop wallpaper. Called on the worker thread once per change;
// the desktop backend serialises it against the restore at exit.
class WallpaperApplier {
public:
    explicit WallpaperApplier(DesktopWallpaper& desktop) : m_desktop(desktop) {}

    // Shows the bitmap tiled when `layout` is Tile (1), centred for every other layout: the
    // bitmap already has the size its layout needs. Does nothing at all when no file exists at
    // `bitmapPath`. "WallpaperStyle" is always 1.
    void ApplyWallpaper(const QString& bitmapPath, std::int32_t layout);

    // Whether the desktop takes a bitmap of its own for each screen; where it does not,
    // several screens' bitmaps are put together and shown with ApplySpanned().
    bool takesEachScreen() const;
    // Shows each bitmap on its screen, tiled or centred as ApplyWallpaper() does. Does nothing
    // at all when a bitmap is missing.
    void ApplyEachScreen(const std::vector<ScreenBitmap>& bitmaps, std::int32_t layout);
    // Shows one bitmap made for all screens together over the whole desktop ("spanned"). Does
    // nothing at all when no file exists at `bitmapPath`.
    void ApplySpanned(const QString& bitmapPath);

private:
    DesktopWallpaper& m_desktop;
};
