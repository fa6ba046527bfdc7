#include "converter/ImageConversion.h"

#include "converter/ImageLibrary.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <new>

namespace {

constexpr std::int32_t kTile = 1;
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

// What went wrong at `step`, with the library's own words where it has them.
std::string failure(const ImageLibrary& library, const std::string& step) {
    const std::string detail = library.lastError();
    return detail.empty() ? step : step + " (" + detail + ')';
}

} // namespace

ImageConversion::ImageConversion(ImageLibrary& library) : m_library(library) {}

std::optional<QSize> ImageConversion::stretchSize(int width, int height, std::int32_t layout,
                                                  const ScreenArea& screen) {
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

QRect ImageConversion::visiblePart(const QSize& stretched, std::int32_t layout,
                                   const ScreenArea& screen) {
    const QRect whole(QPoint(0, 0), stretched);
    if (layout == kFitOnDesktop || layout == kCentredInWorkArea || screen.screen.isEmpty())
        return whole;
    const int width = std::min(stretched.width(), screen.screen.width());
    const int height = std::min(stretched.height(), screen.screen.height());
    if (layout == kTile) // tiles start at the top left corner of the screen
        return QRect(0, 0, width, height);
    // Centred as the desktops centre it: the left edge at (screen - picture) / 2, truncated.
    return QRect((stretched.width() - width) / 2, (stretched.height() - height) / 2, width, height);
}

std::optional<std::string> ImageConversion::convert(int picture, int bitmap, std::int32_t layout,
                                                    const ScreenArea& screen) const {
    try {
        ImageObject* image = m_library.initImageObject(picture);
        if (!image)
            return failure(m_library, "cannot read the picture");
        ImageGuard guard(m_library, image);

        if (m_library.getNumBits(image) != 24 && !m_library.changeImageFormat(image, 24))
            return failure(m_library, "cannot bring it to 24 bits");
        const int width = m_library.getWidth(image);
        const int height = m_library.getHeight(image);
        const auto size = stretchSize(width, height, layout, screen);
        if (!size)
            return "no size for a " + std::to_string(width) + " x " + std::to_string(height) +
                   " picture on a " + std::to_string(screen.screen.width()) + " x " +
                   std::to_string(screen.screen.height()) + " screen";
        if (!m_library.stretch(image, size->width(), size->height()))
            return failure(m_library, "cannot resample it to " + std::to_string(size->width()) +
                                          " x " + std::to_string(size->height()));
        // Only what the screen can show is resampled and written: a huge picture centred or
        // tiled makes a screen-sized bitmap, and what the desktop shows is the same.
        const QRect part = visiblePart(*size, layout, screen);
        if (part.size() != *size && !m_library.crop(image, part))
            return failure(m_library, "cannot cut it to the screen");
        if (!m_library.save(image, bitmap))
            return failure(m_library, "cannot decode it or write the bitmap");
        return std::nullopt;
    } catch (const std::bad_alloc&) {
        return std::string("out of memory");
    } catch (const std::exception& e) {
        // The library promises not to throw; whatever it throws still ends as a reason.
        return std::string("fault in the picture library: ") + e.what();
    } catch (...) {
        return std::string("fault in the picture library");
    }
}
