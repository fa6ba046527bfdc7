#include "wallpaper/WallpaperApplier.h"

#include "platform/DesktopWallpaper.h"

#include <QFileInfo>

namespace {

constexpr std::int32_t kTile = 1;
// "WallpaperStyle" of a picture spanned over all screens.
constexpr std::int32_t kSpannedStyle = 22;

bool isFile(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isFile();
}

WallpaperValues valuesOf(const QString& bitmapPath, std::int32_t layout) {
    WallpaperValues values;
    values.wallpaper = QFileInfo(bitmapPath).absoluteFilePath();
    values.wallpaperStyle = 1;
    values.tileWallpaper = layout == kTile ? QStringLiteral("1") : QStringLiteral("0");
    return values;
}

} // namespace

void WallpaperApplier::ApplyWallpaper(const QString& bitmapPath, std::int32_t layout) {
    if (!isFile(bitmapPath))
        return;
    // A desktop that cannot be reached leaves the wallpaper as it was; the tip still moves on.
    m_desktop.show(valuesOf(bitmapPath, layout));
}

bool WallpaperApplier::takesEachScreen() const {
    return m_desktop.takesEachScreen();
}

void WallpaperApplier::ApplyEachScreen(const std::vector<ScreenBitmap>& bitmaps,
                                       std::int32_t layout) {
    std::vector<ScreenWallpaper> pictures;
    for (const ScreenBitmap& bitmap : bitmaps) {
        if (!isFile(bitmap.bitmap))
            return;
        pictures.push_back({bitmap.screen, valuesOf(bitmap.bitmap, layout)});
    }
    m_desktop.showEach(pictures);
}

void WallpaperApplier::ApplySpanned(const QString& bitmapPath) {
    if (!isFile(bitmapPath))
        return;
    WallpaperValues values = valuesOf(bitmapPath, 0);
    values.wallpaperStyle = kSpannedStyle;
    m_desktop.show(values);
}
