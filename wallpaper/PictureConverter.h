#pragma once

#include "platform/ScreenInfo.h"

#include <QRect>
#include <QSize>
#include <QString>
#include <cstdint>
#include <optional>

class ImageLibrary;

// Turns one picture into a 24-bit bitmap sized for the wallpaper layout, through an
// ImageLibrary. Holds no state between conversions; safe to call from the worker thread.
class PictureConverter {
public:
    explicit PictureConverter(ImageLibrary& library);

    // Reads `picturePath`, brings it to 24 bits, resamples it for `layout` (an ImageLayout
    // value; unknown values convert as Centered) on `screen`, and writes the bitmap to
    // `bitmapPath`. True only when the bitmap was written; on false no bitmap is left behind
    // and one warning with the reason is logged. The bitmap is never larger than the screen:
    // of a picture that Centered or Tile shows only in part, only that part is written.
    bool ConvertPicture(const QString& picturePath, const QString& bitmapPath, std::int32_t layout,
                        const ScreenMetrics& screen) const;

    // The size handed to the library's stretch for a picture of `width` x `height` shown as
    // the wallpaper; nothing when no sensible size exists.
    static std::optional<QSize> stretchSize(int width, int height, std::int32_t layout,
                                            const ScreenMetrics& screen);
    // The part of a picture stretched to `stretched` that the desktop shows for `layout`:
    // for Centered (and unknown layouts) the middle and for Tile the top left corner, at most
    // the screen's size; the whole picture for the layouts that fit it to the screen.
    static QRect visiblePart(const QSize& stretched, std::int32_t layout,
                             const ScreenMetrics& screen);

private:
    // The conversion itself; the reason it failed, or nothing when the bitmap was written.
    std::optional<QString> convert(const QString& picturePath, const QString& bitmapPath,
                                   std::int32_t layout, const ScreenMetrics& screen) const;

    ImageLibrary& m_library;
};
