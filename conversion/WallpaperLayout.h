#pragma once

#include <QRect>
#include <QSize>
#include <cstdint>

// The "Layout" setting's values: the program's first four, then those today's desktops offer.
enum class ImageLayout : std::int32_t {
    Centered = 0,
    Tile = 1,
    FitOnDesktop = 2,
    CentredInWorkArea = 3,
    Fill = 4,      // covers the screen, cut to it
    Stretch = 5,   // the screen's size, aspect not kept
    FitOnBlur = 6, // fitted, over a blurred copy that fills the screen
    Span = 7,      // one picture over all screens, each screen its part
};

// How one picture is laid out on one screen: the layout and the settings that refine it. Plain
// C++ with Qt's inline value types, so that the program and the converter program share it.
struct WallpaperLayout {
    std::int32_t layout = 0; // an ImageLayout value; unknown values lay out as Centered
    // 0xRRGGBB around a picture that does not cover the screen ("FitColor"). Black leaves that
    // to the desktop: Centered and the two fit layouts then make bitmaps of the picture alone.
    std::uint32_t fitColor = 0;
    // The fit and fill layouts keep a picture smaller than the screen at its size, centred.
    bool neverEnlarge = false;
    // Fill keeps the part of the picture an attention measure picks, not its middle.
    bool smartCrop = true;
    // Span: the whole desktop and this screen's place on it, in the desktop's coordinates
    // (ScreenMetrics::placeOnDesktop). Empty: the screen alone is the desktop.
    QRect desktop;
    QRect place;

    WallpaperLayout() = default;
    // A layout with every refinement at its default. Implicit: a layout number is a layout.
    WallpaperLayout(std::int32_t value) : layout(value) {}

    ImageLayout value() const;

    // What a conversion for a screen of `screen` device pixels writes: a bitmap of exactly
    // `size` when `exact`, else of at most `size` across and down (the picture's size decides).
    struct BitmapBound {
        QSize size;
        bool exact = false;
        bool operator==(const BitmapBound&) const = default;
    };
    BitmapBound bitmapBound(const QSize& screen) const;
    // Whether the bitmap depends on the screen it is made for (every layout but Tile and a
    // Centered picture without a colour around it), so that screens of different sizes each
    // need their own.
    bool dependsOnScreen() const;

    bool operator==(const WallpaperLayout&) const = default;
};
