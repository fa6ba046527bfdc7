#pragma once

#include "conversion/ScreenArea.h"

#include <QRect>
#include <QSize>
#include <cstdint>
#include <optional>
#include <string>

class ImageLibrary;

// Turns one picture into a 24-bit bitmap sized for the wallpaper layout, through an
// ImageLibrary. Holds no state between conversions.
class ImageConversion {
public:
    explicit ImageConversion(ImageLibrary& library);

    // Reads the picture in the open file `picture`, brings it to 24 bits, resamples it for
    // `layout` (an ImageLayout value; unknown values convert as Centered) on `screen`, and
    // writes the bitmap into the open, empty file `bitmap`. Nothing when the bitmap was
    // written, else why not in one line (the file then holds nothing usable). The bitmap is
    // never larger than the screen: of a picture that Centered or Tile shows only in part, only
    // that part is written.
    std::optional<std::string> convert(int picture, int bitmap, std::int32_t layout,
                                       const ScreenArea& screen) const;

    // The size handed to the library's stretch for a picture of `width` x `height` shown as
    // the wallpaper; nothing when no sensible size exists.
    static std::optional<QSize> stretchSize(int width, int height, std::int32_t layout,
                                            const ScreenArea& screen);
    // The part of a picture stretched to `stretched` that the desktop shows for `layout`:
    // for Centered (and unknown layouts) the middle and for Tile the top left corner, at most
    // the screen's size; the whole picture for the layouts that fit it to the screen.
    static QRect visiblePart(const QSize& stretched, std::int32_t layout, const ScreenArea& screen);

private:
    ImageLibrary& m_library;
};
