#include "converter/VipsBitmapWriter.h"

#include "bitmap/BitmapWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

using vips::VImage;

namespace {

// The blurred backdrop is made at this size (its longer side) and enlarged: the blur hides how
// small it was, and it costs next to nothing.
constexpr int kBackdropSide = 256;

std::vector<double> channels(std::uint32_t colour) {
    return {static_cast<double>((colour >> 16) & 0xFF), static_cast<double>((colour >> 8) & 0xFF),
            static_cast<double>(colour & 0xFF)};
}

QSize shrunk(const QSize& size) {
    const double shrink =
        std::min(1.0, static_cast<double>(kBackdropSide) / std::max(size.width(), size.height()));
    return QSize(std::max(1, static_cast<int>(std::lround(size.width() * shrink))),
                 std::max(1, static_cast<int>(std::lround(size.height() * shrink))));
}

// A small copy of a picture, gathered a strip of rows at a time as the picture is made: each of
// its pixels the mean of the picture's pixels it covers.
class SmallCopy {
public:
    explicit SmallCopy(const QSize& picture)
        : m_picture(picture), m_size(shrunk(picture)),
          m_sums(static_cast<std::size_t>(m_size.width()) * m_size.height() * 3, 0),
          m_counts(static_cast<std::size_t>(m_size.width()) * m_size.height(), 0) {
        for (int x = 0; x < picture.width(); ++x)
            m_cellOfColumn.push_back(
                static_cast<int>(std::int64_t{x} * m_size.width() / picture.width()));
    }

    void gather(const std::uint8_t* rows, std::size_t stride, int top, int count) {
        for (int i = 0; i < count; ++i) {
            const auto cellRow = static_cast<std::size_t>(std::int64_t{top + i} * m_size.height() /
                                                          m_picture.height());
            std::uint64_t* sums = m_sums.data() + cellRow * m_size.width() * 3;
            std::uint32_t* counts = m_counts.data() + cellRow * m_size.width();
            const std::uint8_t* pixel = rows + stride * static_cast<std::size_t>(i);
            for (int x = 0; x < m_picture.width(); ++x, pixel += 3) {
                const auto cell = static_cast<std::size_t>(m_cellOfColumn[x]);
                sums[cell * 3] += pixel[0];
                sums[cell * 3 + 1] += pixel[1];
                sums[cell * 3 + 2] += pixel[2];
                ++counts[cell];
            }
        }
    }

    // The copy, held by this object.
    VImage image() {
        m_means.resize(m_sums.size());
        for (std::size_t i = 0; i < m_sums.size(); ++i)
            m_means[i] = static_cast<std::uint8_t>(m_sums[i] / std::max(m_counts[i / 3], 1u));
        return VImage::new_from_memory(m_means.data(), m_means.size(), m_size.width(),
                                       m_size.height(), 3, VIPS_FORMAT_UCHAR);
    }

private:
    QSize m_picture;
    QSize m_size;
    std::vector<std::uint64_t> m_sums;
    std::vector<std::uint32_t> m_counts;
    std::vector<int> m_cellOfColumn;
    std::vector<std::uint8_t> m_means;
};

// Where the strips of an image go: the block of the bitmap from `at`, and the small copy.
struct Sink {
    int file;
    QSize bitmap;
    QPoint at;
    SmallCopy* copy = nullptr;
    bool writeFailed = false;
};

int writeStrip(VipsRegion* region, VipsRect* area, void* user) {
    auto& sink = *static_cast<Sink*>(user);
    const auto* rows =
        reinterpret_cast<const std::uint8_t*>(VIPS_REGION_ADDR(region, 0, area->top));
    const auto stride = static_cast<std::size_t>(VIPS_REGION_LSKIP(region));
    if (sink.copy)
        sink.copy->gather(rows, stride, area->top, area->height);
    if (BitmapWriter::writeBlock(sink.file, sink.bitmap.width(), sink.bitmap.height(), sink.at.x(),
                                 sink.at.y() + area->top, area->width, area->height, rows, stride))
        return 0;
    sink.writeFailed = true;
    return -1;
}

bool sinkInto(const VImage& image, Sink sink, std::string* error) {
    if (vips_sink_disc(image.get_image(), writeStrip, &sink) == 0)
        return true;
    *error = sink.writeFailed ? std::string("cannot write the file") : vips_error_buffer();
    vips_error_clear();
    return false;
}

// The picture that a small copy stands for, filled to `canvas` (cut to it, centred), blurred
// and a little darker; enlarged only where it is asked for.
VImage blurredBackdrop(VImage small, const QSize& canvas) {
    const QSize size = shrunk(canvas);
    small = small
                .thumbnail_image(size.width(), VImage::option()
                                                   ->set("height", size.height())
                                                   ->set("crop", VIPS_INTERESTING_CENTRE)
                                                   ->set("size", VIPS_SIZE_FORCE))
                .gaussblur(std::max(size.width(), size.height()) / 40.0)
                .linear({0.75}, {0.0})
                .cast(VIPS_FORMAT_UCHAR)
                .copy_memory();
    VImage large =
        small.resize(static_cast<double>(canvas.width()) / small.width(),
                     VImage::option()
                         ->set("vscale", static_cast<double>(canvas.height()) / small.height())
                         ->set("kernel", VIPS_KERNEL_LINEAR));
    if (large.width() != canvas.width() || large.height() != canvas.height())
        large = large.embed(0, 0, canvas.width(), canvas.height(),
                            VImage::option()->set("extend", VIPS_EXTEND_COPY));
    return large;
}

// The picture at `place` goes in first, its small copy gathered on the way; then the backdrop
// made from that copy fills the bands around it.
bool writeOnBlurredBackdrop(const VImage& picture, const QRect& place, const QSize& canvas,
                            int file, std::string* error) {
    SmallCopy copy(QSize(picture.width(), picture.height()));
    if (!sinkInto(picture, {file, canvas, place.topLeft(), &copy}, error))
        return false;
    const VImage backdrop = blurredBackdrop(copy.image(), canvas);
    const int below = place.y() + place.height(), beside = place.x() + place.width();
    const QRect bands[] = {{0, 0, canvas.width(), place.y()},
                           {0, below, canvas.width(), canvas.height() - below},
                           {0, place.y(), place.x(), place.height()},
                           {beside, place.y(), canvas.width() - beside, place.height()}};
    for (const QRect& band : bands)
        if (!band.isEmpty() &&
            !sinkInto(backdrop.extract_area(band.x(), band.y(), band.width(), band.height()),
                      {file, canvas, band.topLeft()}, error))
            return false;
    return true;
}

} // namespace

bool VipsBitmapWriter::write(const VImage& stretched, const Layout& layout, int file,
                             std::string* error) {
    VImage picture = stretched;
    if (layout.interesting)
        picture = stretched.copy_memory().smartcrop(
            layout.part.width(), layout.part.height(),
            VImage::option()->set("interesting", VIPS_INTERESTING_ATTENTION));
    else if (!layout.part.isEmpty())
        picture = stretched.extract_area(layout.part.x(), layout.part.y(), layout.part.width(),
                                         layout.part.height());
    const QSize canvas =
        layout.canvas.isEmpty() ? QSize(picture.width(), picture.height()) : layout.canvas;
    if (!BitmapWriter::writeHeaders(file, canvas.width(), canvas.height())) {
        *error = "cannot write the file";
        return false;
    }
    // Only what falls on the canvas is put on it.
    const QPoint at = layout.canvas.isEmpty() ? QPoint(0, 0) : layout.at;
    const int left = std::max(at.x(), 0), top = std::max(at.y(), 0);
    const int right = std::min(at.x() + picture.width(), canvas.width());
    const int bottom = std::min(at.y() + picture.height(), canvas.height());
    if (left >= right || top >= bottom) {
        const VImage blank =
            VImage::black(canvas.width(), canvas.height(), VImage::option()->set("bands", 3))
                .new_from_image(channels(layout.backdrop.colour));
        return sinkInto(blank.cast(VIPS_FORMAT_UCHAR), {file, canvas, {}}, error);
    }
    if (right - left != picture.width() || bottom - top != picture.height())
        picture = picture.extract_area(left - at.x(), top - at.y(), right - left, bottom - top);
    const QRect place(left, top, right - left, bottom - top);
    if (layout.backdrop.blurred && place.size() != canvas)
        return writeOnBlurredBackdrop(picture, place, canvas, file, error);
    if (place.size() != canvas)
        picture = picture.embed(left, top, canvas.width(), canvas.height(),
                                VImage::option()
                                    ->set("extend", VIPS_EXTEND_BACKGROUND)
                                    ->set("background", channels(layout.backdrop.colour)));
    return sinkInto(picture, {file, canvas, {}}, error);
}
