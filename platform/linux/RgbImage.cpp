#include "platform/linux/RgbImage.h"

#include "bitmap/BitmapReader.h"
#include "bitmap/BitmapWriter.h"
#include "platform/FileName.h"

#include <fcntl.h>
#include <unistd.h>

namespace {

// Larger than any screen: a file claiming more is not one of ours.
constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;

} // namespace

std::optional<RgbImage> RgbImage::load(const QString& path) {
    BitmapReader bitmap;
    if (bitmap.open(FileName::toNative(path).toStdString()) ||
        std::int64_t{bitmap.width()} * bitmap.height() > kMaxPixels)
        return std::nullopt;
    RgbImage image;
    image.width = bitmap.width();
    image.height = bitmap.height();
    image.pixels.resize(static_cast<std::size_t>(image.width) * image.height * 3);
    for (int y = 0; y < image.height; ++y) {
        std::uint8_t* row = image.at(0, y);
        if (!bitmap.read(y, 0, image.width, row))
            return std::nullopt;
        for (int x = 0; x < image.width; ++x)
            std::swap(row[x * 3], row[x * 3 + 2]);
    }
    return image;
}

bool RgbImage::save(const QString& path) const {
    const QByteArray name = FileName::toNative(path);
    const int file = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (file < 0)
        return false;
    const bool written = BitmapWriter::write(file, width, height, pixels);
    if (::close(file) != 0 || !written) {
        ::unlink(name.constData());
        return false;
    }
    return true;
}
