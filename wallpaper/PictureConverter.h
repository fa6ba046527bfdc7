#pragma once

#include "platform/ScreenInfo.h"

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
    // `bitmapPath`. True only when the bitmap was written; on false no bitmap is left behind.
    bool ConvertPicture(const QString& picturePath, const QString& bitmapPath, std::int32_t layout,
                        const ScreenMetrics& screen) const;

    // The size handed to the library's stretch for a picture of `width` x `height` shown as
    // the wallpaper; nothing when no sensible size exists.
    static std::optional<QSize> stretchSize(int width, int height, std::int32_t layout,
                                            const ScreenMetrics& screen);

private:
    ImageLibrary& m_library;
};
