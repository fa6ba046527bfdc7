#include "converter/ImageConversion.h"

#include "converter/ImageLibrary.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <new>
#include <utility>

namespace {

constexpr std::int32_t kTile = static_cast<std::int32_t>(ImageLayout::Tile);
constexpr std::int32_t kFitOnDesktop = static_cast<std::int32_t>(ImageLayout::FitOnDesktop);
constexpr std::int32_t kCentredInWorkArea =
    static_cast<std::int32_t>(ImageLayout::CentredInWorkArea);
// Below this, a fraction of a pixel is the arithmetic's and not the picture's.
constexpr double kRoundingSlack = 1e-6;

// Truncates toward zero; at least one pixel, and never beyond what an int holds.
int toPixels(double value) {
    if (!(value >= 1.0)) // also catches NaN
        return 1;
    if (value >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return static_cast<int>(value);
}

// The box a fit layout fits the picture into; nothing when there is none.
std::optional<QSize> fitTarget(std::int32_t layout, const ScreenArea& screen) {
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
    return QSize(static_cast<int>(targetWidth), static_cast<int>(targetHeight));
}

// Where a part of `part` lies centred on `canvas`, as the desktops centre a picture: the left
// edge at (canvas - part) / 2, truncated.
QPoint centred(const QSize& canvas, const QSize& part) {
    return QPoint((canvas.width() - part.width()) / 2, (canvas.height() - part.height()) / 2);
}

// The whole pixels from `from` to `to`, a fraction of a pixel beyond them taken in; nothing
// when that does not fit an int.
std::optional<std::pair<int, int>> pixelSpan(double from, double to) {
    const double first = std::floor(from + kRoundingSlack);
    const double last = std::max(std::ceil(to - kRoundingSlack), first + 1);
    constexpr double kMax = std::numeric_limits<int>::max() / 4;
    if (!(first > -kMax && last < kMax))
        return std::nullopt;
    return std::pair(static_cast<int>(first), static_cast<int>(last));
}

// Fill, and Span's part for one screen: the picture scaled to cover the desktop (for Fill the
// screen alone) and centred on it, then the screen's part of it, in the screen's own pixels.
std::optional<ImageConversion::Plan> coverPlan(int width, int height, const WallpaperLayout& layout,
                                               const ScreenArea& screen) {
    const QSize size = screen.screen;
    if (size.isEmpty())
        return std::nullopt;
    const bool spanned = !layout.desktop.isEmpty() && !layout.place.isEmpty();
    const QRect desktop = spanned ? layout.desktop : QRect(QPoint(0, 0), size);
    const QRect place = spanned ? layout.place : desktop;
    // The screen's pixels for one of the desktop's (more than one on a screen of a larger scale).
    const double scaleX = static_cast<double>(size.width()) / place.width();
    const double scaleY = static_cast<double>(size.height()) / place.height();
    double scale = std::max(static_cast<double>(desktop.width()) / width,
                            static_cast<double>(desktop.height()) / height);
    if (layout.neverEnlarge)
        scale = std::min(scale, 1.0);
    const double left = desktop.x() - place.x() + (desktop.width() - width * scale) / 2;
    const double top = desktop.y() - place.y() + (desktop.height() - height * scale) / 2;
    const auto columns = pixelSpan(left * scaleX, (left + width * scale) * scaleX);
    const auto rows = pixelSpan(top * scaleY, (top + height * scale) * scaleY);
    if (!columns || !rows)
        return std::nullopt;

    ImageConversion::Plan plan;
    plan.canvas = size;
    plan.backdrop.colour = layout.fitColor;
    const QRect onScreen(columns->first, rows->first, columns->second - columns->first,
                         rows->second - rows->first);
    const int visibleLeft = std::max(onScreen.left(), 0);
    const int visibleTop = std::max(onScreen.top(), 0);
    const int visibleRight = std::min(onScreen.left() + onScreen.width(), size.width());
    const int visibleBottom = std::min(onScreen.top() + onScreen.height(), size.height());
    if (visibleLeft >= visibleRight || visibleTop >= visibleBottom) {
        // None of the picture reaches this screen: a pixel of it, put off the canvas.
        plan.stretched = QSize(1, 1);
        plan.part = QRect(0, 0, 1, 1);
        plan.at = QPoint(-1, -1);
        return plan;
    }
    plan.stretched = onScreen.size();
    plan.part = QRect(visibleLeft - onScreen.left(), visibleTop - onScreen.top(),
                      visibleRight - visibleLeft, visibleBottom - visibleTop);
    plan.at = QPoint(visibleLeft, visibleTop);
    // Span keeps the middle: each screen's part is cut in a process of its own, and they must
    // meet.
    plan.interesting = layout.value() == ImageLayout::Fill && layout.smartCrop &&
                       plan.part.size() != plan.stretched;
    return plan;
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
    const std::optional<QSize> target = fitTarget(layout, screen);
    if (!target)
        return std::nullopt;

    // The width ratio in double precision, the height ratio and the height in single
    // precision; the larger ratio wins, the single-precision one on equality.
    const double widthRatio = static_cast<double>(width) / static_cast<double>(target->width());
    const float heightRatio =
        static_cast<float>(static_cast<double>(height) / static_cast<double>(target->height()));
    const float heightAsFloat = static_cast<float>(height);
    const double ratio = widthRatio > heightRatio ? widthRatio : static_cast<double>(heightRatio);
    return QSize(toPixels(static_cast<double>(width) / ratio),
                 toPixels(static_cast<double>(heightAsFloat) / ratio));
}

std::optional<ImageConversion::Plan> ImageConversion::plan(int width, int height,
                                                           const WallpaperLayout& layout,
                                                           const ScreenArea& screen) {
    if (width <= 0 || height <= 0)
        return std::nullopt;
    const ImageLayout kind = layout.value();
    if (kind == ImageLayout::Fill || kind == ImageLayout::Span)
        return coverPlan(width, height, layout, screen);
    Plan plan;
    plan.backdrop.colour = layout.fitColor;
    if (kind == ImageLayout::Stretch) {
        if (screen.screen.isEmpty())
            return std::nullopt;
        plan.stretched = screen.screen;
        plan.part = QRect(QPoint(0, 0), screen.screen);
        return plan;
    }
    // The first four layouts as they always were; the blurred copy's picture fitted as "Fit on
    // desktop" fits it.
    const bool blurred = kind == ImageLayout::FitOnBlur;
    const std::int32_t sizing = blurred ? kFitOnDesktop : static_cast<std::int32_t>(kind);
    std::optional<QSize> size = stretchSize(width, height, sizing, screen);
    if (!size)
        return std::nullopt;
    const bool fitted = sizing == kFitOnDesktop || sizing == kCentredInWorkArea;
    if (fitted && layout.neverEnlarge) {
        const std::optional<QSize> target = fitTarget(sizing, screen);
        if (target && width <= target->width() && height <= target->height())
            size = QSize(width, height);
    }
    plan.stretched = *size;
    plan.part = visiblePart(*size, sizing, screen);
    if (blurred || (kind != ImageLayout::Tile && layout.fitColor != 0))
        plan.canvas = screen.screen;
    plan.backdrop.blurred = blurred;
    plan.at = centred(plan.canvas, plan.part.size());
    return plan;
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

std::optional<std::string> ImageConversion::convert(int picture, int bitmap,
                                                    const WallpaperLayout& layout,
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
        const std::optional<Plan> steps = plan(width, height, layout, screen);
        if (!steps)
            return "no size for a " + std::to_string(width) + " x " + std::to_string(height) +
                   " picture on a " + std::to_string(screen.screen.width()) + " x " +
                   std::to_string(screen.screen.height()) + " screen";
        if (std::optional<std::string> reason = lay(image, *steps))
            return reason;
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

std::optional<std::string> ImageConversion::lay(ImageObject* image, const Plan& plan) const {
    const QSize& size = plan.stretched;
    if (!m_library.stretch(image, size.width(), size.height()))
        return failure(m_library, "cannot resample it to " + std::to_string(size.width()) + " x " +
                                      std::to_string(size.height()));
    // Only what the screen shows is resampled and written: a huge picture centred or tiled
    // makes a screen-sized bitmap, and what the desktop shows is the same.
    const bool cut = plan.part.size() != size;
    if (cut && !(plan.interesting ? m_library.cropInteresting(image, plan.part)
                                  : m_library.crop(image, plan.part)))
        return failure(m_library, "cannot cut it to the screen");
    if (plan.needsCanvas() && !m_library.place(image, plan.canvas, plan.at, plan.backdrop))
        return failure(m_library, "cannot put it on the screen's canvas");
    return std::nullopt;
}
