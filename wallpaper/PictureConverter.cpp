#include "wallpaper/PictureConverter.h"

#include "platform/ImageLibrary.h"

#include <cmath>
#include <limits>

namespace {

constexpr std::int32_t kFitOnDesktop = 2;
constexpr std::int32_t kCentredInWorkArea = 3;

// Truncates toward zero; at least one pixel, and never beyond what an int holds.
int toPixels(double value) {
    if (!(value >= 1.0)) // also catches NaN
        return 1;
    if (value >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return static_cast<int>(value);
}

// Hands the image back to the library on every way out of the conversion.
class ImageGuard {
public:
    ImageGuard(ImageLibrary& library, ImageObject* image) : m_library(library), m_image(image) {}
    ~ImageGuard() {
        if (m_image)
            m_library.deleteImageObject(m_image);
    }
    ImageGuard(const ImageGuard&) = delete;
    ImageGuard& operator=(const ImageGuard&) = delete;

private:
    ImageLibrary& m_library;
    ImageObject* m_image;
};

} // namespace

PictureConverter::PictureConverter(ImageLibrary& library) : m_library(library) {}

std::optional<QSize> PictureConverter::stretchSize(int width, int height, std::int32_t layout,
                                                   const ScreenMetrics& screen) {
    if (width <= 0 || height <= 0)
        return std::nullopt;
    if (layout != kFitOnDesktop && layout != kCentredInWorkArea) {
        // Centered and Tile (and any unknown layout) keep the picture's size less one pixel.
        return QSize(std::max(width - 1, 1), std::max(height - 1, 1));
    }

    const std::int64_t screenWidth = screen.screen.width();
    const std::int64_t screenHeight = screen.screen.height();
    std::int64_t targetWidth = screenWidth;
    std::int64_t targetHeight = screenHeight;
    if (layout == kCentredInWorkArea) {
        // The work area less the task bar's thickness once more and 1% of the screen.
        const std::int64_t areaWidth = screen.workArea.width();
        const std::int64_t areaHeight = screen.workArea.height();
        targetWidth = 2 * areaWidth - screenWidth - screenWidth / 100;
        targetHeight = 2 * areaHeight - screenHeight - screenHeight / 100;
        // A work area under half the screen leaves no box: fit the screen instead of dividing
        // by zero or a negative size.
        if (targetWidth <= 0 || targetHeight <= 0) {
            targetWidth = screenWidth;
            targetHeight = screenHeight;
        }
    }
    if (targetWidth <= 0 || targetHeight <= 0)
        return std::nullopt;

    // The width ratio in double precision, the height ratio and the height in single
    // precision; the larger ratio wins, the single-precision one on equality.
    const double widthRatio = static_cast<double>(width) / static_cast<double>(targetWidth);
    const float heightRatio =
        static_cast<float>(static_cast<double>(height) / static_cast<double>(targetHeight));
    const float heightAsFloat = static_cast<float>(height);
    const double ratio = widthRatio > heightRatio ? widthRatio : static_cast<double>(heightRatio);
    return QSize(toPixels(static_cast<double>(width) / ratio),
                 toPixels(static_cast<double>(heightAsFloat) / ratio));
}

bool PictureConverter::ConvertPicture(const QString& picturePath, const QString& bitmapPath,
                                      std::int32_t layout, const ScreenMetrics& screen) const {
    try {
        ImageObject* image = m_library.initImageObject(picturePath);
        if (!image)
            return false;
        ImageGuard guard(m_library, image);

        if (m_library.getNumBits(image) != 24 && !m_library.changeImageFormat(image, 24))
            return false;
        const auto size =
            stretchSize(m_library.getWidth(image), m_library.getHeight(image), layout, screen);
        if (!size || !m_library.stretch(image, size->width(), size->height()))
            return false;
        return m_library.save(image, bitmapPath);
    } catch (...) {
        // The library promises not to throw; a picture must never take the worker down.
        return false;
    }
}
