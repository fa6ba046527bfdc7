#include "wallpaper/PictureConverter.h"

#include "platform/ImageLibrary.h"
#include "platform/LogCategories.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

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
QString failure(const ImageLibrary& library, const QString& step) {
    const QString detail = library.lastError();
    return detail.isEmpty() ? step : step + QStringLiteral(" (") + detail + QLatin1Char(')');
}

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

QRect PictureConverter::visiblePart(const QSize& stretched, std::int32_t layout,
                                    const ScreenMetrics& screen) {
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

bool PictureConverter::ConvertPicture(const QString& picturePath, const QString& bitmapPath,
                                      std::int32_t layout, const ScreenMetrics& screen) const {
    const std::optional<QString> reason = convert(picturePath, bitmapPath, layout, screen);
    if (reason)
        qCWarning(lcConvert).noquote()
            << QStringLiteral("Cannot convert %1: %2").arg(picturePath, *reason);
    return !reason;
}

std::optional<QString> PictureConverter::convert(const QString& picturePath,
                                                 const QString& bitmapPath, std::int32_t layout,
                                                 const ScreenMetrics& screen) const {
    try {
        ImageObject* image = m_library.initImageObject(picturePath);
        if (!image)
            return failure(m_library, QStringLiteral("cannot read the picture"));
        ImageGuard guard(m_library, image);

        if (m_library.getNumBits(image) != 24 && !m_library.changeImageFormat(image, 24))
            return failure(m_library, QStringLiteral("cannot bring it to 24 bits"));
        const int width = m_library.getWidth(image);
        const int height = m_library.getHeight(image);
        const auto size = stretchSize(width, height, layout, screen);
        if (!size)
            return QStringLiteral("no size for a %1 x %2 picture on a %3 x %4 screen")
                .arg(width)
                .arg(height)
                .arg(screen.screen.width())
                .arg(screen.screen.height());
        if (!m_library.stretch(image, size->width(), size->height()))
            return failure(m_library, QStringLiteral("cannot resample it to %1 x %2")
                                          .arg(size->width())
                                          .arg(size->height()));
        // Only what the screen can show is resampled and written: a huge picture centred or
        // tiled makes a screen-sized bitmap, and what the desktop shows is the same.
        const QRect part = visiblePart(*size, layout, screen);
        if (part.size() != *size && !m_library.crop(image, part))
            return failure(m_library, QStringLiteral("cannot cut it to the screen"));
        if (!m_library.save(image, bitmapPath))
            return failure(m_library,
                           QStringLiteral("cannot decode it or write %1").arg(bitmapPath));
        return std::nullopt;
    } catch (const std::exception& e) {
        // The library promises not to throw; a picture must never take the worker down.
        return QStringLiteral("fault in the picture library: %1")
            .arg(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        return QStringLiteral("fault in the picture library");
    }
}
