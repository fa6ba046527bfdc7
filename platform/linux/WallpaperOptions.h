#pragma once

#include "platform/DesktopWallpaper.h"

#include <QString>

// The picture placements the desktops offer, and how they correspond to the pair
// ("WallpaperStyle", "TileWallpaper"): tiled (0, "1"), centred (0, "0"), stretched (2, "0"),
// scaled to fit (6, "0"), zoomed to fill (10, "0"), spanned (22, "0").
enum class Placement { None, Tiled, Centred, Stretched, Scaled, Zoomed, Spanned };

class WallpaperOptions {
public:
    // The placement the values ask for; an empty "Wallpaper" asks for none. A style the
    // desktops do not know is centred (the program's own bitmaps are already sized).
    static Placement placementOf(const WallpaperValues& values);
    // Fills "WallpaperStyle" and "TileWallpaper" of `values` for `placement`; None empties
    // "Wallpaper".
    static void describe(Placement placement, WallpaperValues& values);
};
