#pragma once

#include "conversion/ScreenArea.h"
#include "conversion/WallpaperLayout.h"
#include "converter/ImageLibrary.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <cstdint>
#include <optional>
#include <string>

// Turns one picture into a 24-bit bitmap sized for the wallpaper layout, through an
// ImageLibrary. Holds no state between conversions.
class ImageConversion {
public:
    explicit ImageConversion(ImageLibrary& library);

    // Reads the picture in the open file `picture`, brings it to 24 bits, lays it out for
    // `layout` on `screen`, and writes the bitmap into the open, empty file `bitmap`. Nothing
    // when the bitmap was written, else why not in one line (the file then holds nothing
    // usable). The bitmap is never larger than the screen: of a picture that Centered or Tile
    // shows only in part, only that part is written.
    std::optional<std::string> convert(int picture, int bitmap, const WallpaperLayout& layout,
                                       const ScreenArea& screen) const;

    // What the conversion asks of the library for a picture of a given size: stretch it, keep
    // a part of it, and put that on a canvas.
    struct Plan {
        QSize stretched;
        QRect part; // of the stretched picture; all of it when nothing is cut off
        // The library chooses where a part of that size lies (Fill with "Keep the interesting
        // part"); `part` is then its middle.
        bool interesting = false;
        QSize canvas; // empty: the part alone is the bitmap
        QPoint at;    // the part's top left corner on the canvas
        ImageLibrary::Backdrop backdrop;

        // Whether the part leaves some of the canvas to the backdrop.
        bool needsCanvas() const {
            return !canvas.isEmpty() && (at != QPoint(0, 0) || part.size() != canvas);
        }
    };
    // Nothing when no sensible plan exists (no picture, no screen).
    static std::optional<Plan> plan(int width, int height, const WallpaperLayout& layout,
                                    const ScreenArea& screen);

    // The size handed to the library's stretch for a picture of `width` x `height` shown with
    // one of the first four layouts; nothing when no sensible size exists.
    static std::optional<QSize> stretchSize(int width, int height, std::int32_t layout,
                                            const ScreenArea& screen);
    // The part of a picture stretched to `stretched` that the desktop shows for `layout`:
    // for Centered (and unknown layouts) the middle and for Tile the top left corner, at most
    // the screen's size; the whole picture for the layouts that fit it to the screen.
    static QRect visiblePart(const QSize& stretched, std::int32_t layout, const ScreenArea& screen);

private:
    std::optional<std::string> lay(ImageObject* image, const Plan& plan) const;

    ImageLibrary& m_library;
};
