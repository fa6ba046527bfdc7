#include "conversion/WallpaperLayout.h"

ImageLayout WallpaperLayout::value() const {
    if (layout < 0 || layout > static_cast<std::int32_t>(ImageLayout::Span))
        return ImageLayout::Centered;
    return static_cast<ImageLayout>(layout);
}

WallpaperLayout::BitmapBound WallpaperLayout::bitmapBound(const QSize& screen) const {
    switch (value()) {
    case ImageLayout::Tile:
        return {screen, false};
    case ImageLayout::Centered:
    case ImageLayout::FitOnDesktop:
    case ImageLayout::CentredInWorkArea:
        return {screen, fitColor != 0};
    default:
        return {screen, true};
    }
}

bool WallpaperLayout::dependsOnScreen() const {
    const ImageLayout kind = value();
    return kind != ImageLayout::Tile && (kind != ImageLayout::Centered || fitColor != 0);
}
