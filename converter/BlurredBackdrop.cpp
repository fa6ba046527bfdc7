#include "converter/BlurredBackdrop.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

// The backdrop is made at this size (its longer side), as the libvips library makes it.
constexpr int kBackdropSide = 256;
constexpr int kBoxPasses = 3; // three box blurs come close to a Gaussian one

QSize shrunk(const QSize& size) {
    const double shrink =
        std::min(1.0, static_cast<double>(kBackdropSide) / std::max(size.width(), size.height()));
    return QSize(std::max(1, static_cast<int>(std::lround(size.width() * shrink))),
                 std::max(1, static_cast<int>(std::lround(size.height() * shrink))));
}

// The middle of the picture of the small size's shape, each small pixel the mean of the
// picture's pixels it covers (at least one).
std::vector<float> smallCopy(const std::uint8_t* rgb, const QSize& picture, const QSize& small) {
    const double scale = std::min(static_cast<double>(picture.width()) / small.width(),
                                  static_cast<double>(picture.height()) / small.height());
    const double left = (picture.width() - small.width() * scale) / 2;
    const double top = (picture.height() - small.height() * scale) / 2;
    auto span = [scale](double origin, int cell, int limit) {
        const int first = std::clamp(static_cast<int>(origin + cell * scale), 0, limit - 1);
        const int last =
            std::clamp(static_cast<int>(origin + (cell + 1) * scale), first + 1, limit);
        return std::pair(first, last);
    };
    std::vector<float> out(static_cast<std::size_t>(small.width()) * small.height() * 3);
    for (int y = 0; y < small.height(); ++y) {
        const auto [rowFirst, rowLast] = span(top, y, picture.height());
        for (int x = 0; x < small.width(); ++x) {
            const auto [columnFirst, columnLast] = span(left, x, picture.width());
            double sums[3] = {};
            for (int row = rowFirst; row < rowLast; ++row) {
                const std::uint8_t* pixel =
                    rgb + (static_cast<std::size_t>(row) * picture.width() + columnFirst) * 3;
                for (int column = columnFirst; column < columnLast; ++column, pixel += 3)
                    for (int c = 0; c < 3; ++c)
                        sums[c] += pixel[c];
            }
            const double count =
                static_cast<double>(rowLast - rowFirst) * (columnLast - columnFirst);
            for (int c = 0; c < 3; ++c)
                out[(static_cast<std::size_t>(y) * small.width() + x) * 3 + c] =
                    static_cast<float>(sums[c] / count);
        }
    }
    return out;
}

// One box blur of `radius` along rows (step 3) or columns (step 3 * width), edges repeated.
void boxBlur(std::vector<float>& pixels, const QSize& size, int radius, bool alongRows) {
    const int length = alongRows ? size.width() : size.height();
    const int lines = alongRows ? size.height() : size.width();
    const std::size_t step = alongRows ? 3 : static_cast<std::size_t>(size.width()) * 3;
    std::vector<float> line(static_cast<std::size_t>(length) * 3);
    for (int l = 0; l < lines; ++l) {
        const std::size_t first = alongRows ? static_cast<std::size_t>(l) * size.width() * 3
                                            : static_cast<std::size_t>(l) * 3;
        for (int i = 0; i < length; ++i)
            for (int c = 0; c < 3; ++c)
                line[static_cast<std::size_t>(i) * 3 + c] = pixels[first + step * i + c];
        for (int i = 0; i < length; ++i)
            for (int c = 0; c < 3; ++c) {
                float sum = 0;
                for (int k = -radius; k <= radius; ++k)
                    sum += line[static_cast<std::size_t>(std::clamp(i + k, 0, length - 1)) * 3 + c];
                pixels[first + step * i + c] = sum / static_cast<float>(2 * radius + 1);
            }
    }
}

} // namespace

std::vector<std::uint8_t> BlurredBackdrop::make(const std::uint8_t* rgb, const QSize& picture,
                                                const QSize& canvas) {
    const QSize small = shrunk(canvas);
    std::vector<float> pixels = smallCopy(rgb, picture, small);
    // Three passes of radius r blur about as much as a Gaussian of sigma r.
    const int radius =
        std::max(1, static_cast<int>(std::lround(std::max(small.width(), small.height()) / 40.0)));
    for (int pass = 0; pass < kBoxPasses; ++pass) {
        boxBlur(pixels, small, radius, true);
        boxBlur(pixels, small, radius, false);
    }
    // Enlarged bilinearly, a quarter darker.
    std::vector<std::uint8_t> out(static_cast<std::size_t>(canvas.width()) * canvas.height() * 3);
    const double stepX = static_cast<double>(small.width()) / canvas.width();
    const double stepY = static_cast<double>(small.height()) / canvas.height();
    for (int y = 0; y < canvas.height(); ++y) {
        const double sy = std::clamp((y + 0.5) * stepY - 0.5, 0.0, small.height() - 1.0);
        const int y0 = static_cast<int>(sy), y1 = std::min(y0 + 1, small.height() - 1);
        const double fy = sy - y0;
        for (int x = 0; x < canvas.width(); ++x) {
            const double sx = std::clamp((x + 0.5) * stepX - 0.5, 0.0, small.width() - 1.0);
            const int x0 = static_cast<int>(sx), x1 = std::min(x0 + 1, small.width() - 1);
            const double fx = sx - x0;
            auto at = [&](int px, int py, int c) {
                return pixels[(static_cast<std::size_t>(py) * small.width() + px) * 3 + c];
            };
            for (int c = 0; c < 3; ++c) {
                const double value = (at(x0, y0, c) * (1 - fx) + at(x1, y0, c) * fx) * (1 - fy) +
                                     (at(x0, y1, c) * (1 - fx) + at(x1, y1, c) * fx) * fy;
                out[(static_cast<std::size_t>(y) * canvas.width() + x) * 3 + c] =
                    static_cast<std::uint8_t>(std::clamp(value * 0.75 + 0.5, 0.0, 255.0));
            }
        }
    }
    return out;
}
